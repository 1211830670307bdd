// Malformed file contents for the fuzz tests of the readers of files that users, other programs
// or servers can change. The generator starts from well-formed samples and always from the same
// seed, so every run reads the same inputs: samples cut short, doubled, spliced, mixed with
// binary bytes, given overlong lines, other line ends or another encoding, or plain binary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class TFuzzInputs {
 public:
  explicit TFuzzInputs(std::vector<std::string> samples, uint32_t seed = 20261207);
  // The next malformed input.
  std::string Next();

 private:
  uint32_t Random(uint32_t bound);   // 0 .. bound - 1 (0 when bound is 0)
  std::string RandomBytes(size_t count);
  std::string Mutate(std::string text);

  std::vector<std::string> samples_;
  uint64_t state_;
};

// Writes an input over the file, which keeps its name (rewriting in place is far quicker under
// Wine than creating the file anew for every input).
bool WriteInput(const std::string& file, const std::string& bytes);

}  // namespace testing_support
