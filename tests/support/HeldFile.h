// A file another program holds open for a moment, with the access and the sharing that program
// asked for, for the length of a scope or until it lets go.
//
// How to use:
//   testing_support::THeldFile held(file);                    // nobody else may even read it
//   testing_support::THeldFile held(file, FILE_SHARE_READ);   // read, but never replaced
//   testing_support::THeldFile held(file, 0, GENERIC_READ | GENERIC_WRITE);
//   ASSERT_TRUE(held.Held());
//   held.Release();   // the other program lets go
#pragma once

#include <string>

#include <windows.h>

#include "framework/Handles.h"
#include "framework/Strings.h"

namespace testing_support {

class THeldFile {
 public:
  // Opens the existing file with `access`, letting others share only `share`.
  explicit THeldFile(const std::string& path, DWORD share = 0, DWORD access = GENERIC_READ)
      : handle_(CreateFileW(Widen(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  bool Held() const { return static_cast<bool>(handle_); }
  void Release() { handle_.Reset(); }

 private:
  TKernelHandle handle_;
};

}  // namespace testing_support
