// Owns one WinINet handle and closes it when it goes; and the deadline of a whole exchange with
// a server, which gives every call of it the time that is left.
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

// The moment (GetTickCount64) by which an exchange must have ended; At 0: there is none.
struct TNetDeadline {
  ULONGLONG At = 0;

  static TNetDeadline In(DWORD milliseconds) { return {GetTickCount64() + milliseconds}; }
  bool Passed() const { return At != 0 && GetTickCount64() >= At; }
  // A call's time-out: at most `each` milliseconds, and never beyond the deadline (at least 1).
  DWORD Limit(DWORD each) const {
    if (At == 0) return each;
    ULONGLONG now = GetTickCount64();
    ULONGLONG left = now >= At ? 1 : At - now;
    return (DWORD)(left < each ? left : each);
  }
  // Gives the handle's connect, send and receive calls (and those of the handles made from it)
  // the time-out Limit(each).
  void Apply(HINTERNET handle, DWORD each) const {
    DWORD timeout = Limit(each);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
      InternetSetOptionW(handle, option, &timeout, sizeof timeout);
  }
};
