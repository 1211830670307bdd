// A fixed drive of the test prefix whose root is a folder of the test's own, plugged in and
// unplugged while the test runs: defined and removed through Wine's mount manager, as Wine's own
// drive settings do it (the letter exists, then it does not). The letter is global to the prefix:
// each test that plugs a drive takes a letter no other test uses.
#pragma once

#include <string>

namespace testing_support {

class TPluggedDrive {
 public:
  TPluggedDrive(char letter, const std::string& folder);
  ~TPluggedDrive() { Unplug(); }
  TPluggedDrive(const TPluggedDrive&) = delete;
  TPluggedDrive& operator=(const TPluggedDrive&) = delete;
  bool Plug() const { return !unixFolder_.empty() && Define(unixFolder_); }
  bool Unplug() const { return Define(""); }
  std::string Root() const { return std::string(1, letter_) + ":"; }   // "X:", without a backslash

 private:
  bool Define(const std::string& unixFolder) const;
  char letter_;
  std::string unixFolder_;
};

}  // namespace testing_support
