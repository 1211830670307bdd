#include "Fuzz.h"

#include <windows.h>

#include "framework/Strings.h"

namespace testing_support {

namespace {
// Bytes a reader treats specially: line ends, separators, quotes, escapes, brackets, zero, the
// byte-order mark's bytes and lead bytes of multi-byte sequences.
const char kSpecial[] = {'\r', '\n', '|', '"', '\\', '[', ']', '=', '@', ':', ',', '-', ';', '\0',
                         '\t', ' ', char(0xFF), char(0xFE), char(0xEF), char(0xBB), char(0xBF), char(0xC3), char(0x81)};
}  // namespace

TFuzzInputs::TFuzzInputs(std::vector<std::string> samples, uint32_t seed)
    : samples_(std::move(samples)), state_(seed * 6364136223846793005ULL + 1442695040888963407ULL) {
  if (samples_.empty()) samples_.push_back("");
}

uint32_t TFuzzInputs::Random(uint32_t bound) {
  state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;   // a fixed generator on every compiler
  uint32_t value = (uint32_t)(state_ >> 33);
  return bound == 0 ? 0 : value % bound;
}

std::string TFuzzInputs::RandomBytes(size_t count) {
  std::string bytes(count, '\0');
  for (char& c : bytes) c = Random(4) == 0 ? kSpecial[Random(sizeof kSpecial)] : char(Random(256));
  return bytes;
}

std::string TFuzzInputs::Mutate(std::string text) {
  size_t at = Random((uint32_t)text.size() + 1);
  switch (Random(10)) {
    case 0:   // cut short
      return text.substr(0, at);
    case 1: {   // doubled: the whole text, or one of its lines
      if (Random(2) == 0) return text + text;
      size_t start = text.rfind('\n', at == 0 ? 0 : at - 1);
      start = start == std::string::npos ? 0 : start + 1;
      size_t end = text.find('\n', at);
      std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
      return text.insert(start, line);
    }
    case 2:   // binary
      return RandomBytes(Random(2048));
    case 3: {   // an overlong line
      std::string line(1 + Random(20000), Random(2) == 0 ? 'A' : kSpecial[Random(sizeof kSpecial)]);
      return text.insert(at, Random(2) == 0 ? line : "\r\n" + line + "\r\n");
    }
    case 4: {   // another encoding: UTF-16 with or without its mark, or the mark alone
      std::string wide = Random(2) == 0 ? "\xFF\xFE" : "";
      for (char c : text) {
        wide.push_back(c);
        wide.push_back(Random(50) == 0 ? char(0xD8) : '\0');   // now and then half a surrogate pair
      }
      return Random(8) == 0 ? wide.substr(0, 2 + Random(3)) : wide;
    }
    case 5:   // flipped bytes
      for (uint32_t n = 1 + Random(8); n > 0 && !text.empty(); --n) text[Random((uint32_t)text.size())] ^= char(1 << Random(8));
      return text;
    case 6:   // bytes put in
      for (uint32_t n = 1 + Random(16); n > 0; --n) text.insert(Random((uint32_t)text.size() + 1), RandomBytes(1 + Random(4)));
      return text;
    case 7: {   // other line ends
      const char* ends[] = {"\r", "\n", "\n\r", "\r\r\n", ""};
      std::string out, end = ends[Random(5)];
      for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
          out += end;
          ++i;
        } else {
          out.push_back(text[i]);
        }
      }
      return out;
    }
    case 8: {   // two samples spliced
      const std::string& other = samples_[Random((uint32_t)samples_.size())];
      return text.substr(0, at) + other.substr(Random((uint32_t)other.size() + 1));
    }
    default:   // bytes of an 8-bit code page or broken UTF-8
      for (uint32_t n = 1 + Random(16); n > 0; --n) text.insert(Random((uint32_t)text.size() + 1), 1, char(0x80 + Random(128)));
      return text;
  }
}

std::string TFuzzInputs::Next() {
  std::string text = samples_[Random((uint32_t)samples_.size())];
  for (uint32_t n = 1 + Random(3); n > 0; --n) text = Mutate(std::move(text));
  return text;
}

bool WriteInput(const std::string& file, const std::string& bytes) {
  HANDLE h = CreateFileW(Widen(file).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size() &&
            SetEndOfFile(h);
  CloseHandle(h);
  return ok;
}

}  // namespace testing_support
