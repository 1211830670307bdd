// Owns one WinINet handle and closes it when it goes.
#pragma once

#include <windows.h>
#include <wininet.h>

struct TInternetHandle {
  HINTERNET Handle = nullptr;
  explicit TInternetHandle(HINTERNET h) : Handle(h) {}
  ~TInternetHandle() {
    if (Handle != nullptr) InternetCloseHandle(Handle);
  }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
};
