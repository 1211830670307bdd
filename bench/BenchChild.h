// The benchmarks run each measure in a process of their own, so that each peak of memory is that
// measure's own: this program started again with other arguments, its output passed through and
// kept.
#pragma once

#include <cstdio>
#include <string>

#include <windows.h>

// Runs this program with `arguments` and waits for it; what it printed, also passed to stdout.
// "" when it could not be started.
inline std::string RunSelf(const std::wstring& arguments) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return {};
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return {};
  }
  std::string output;
  char buf[4096];
  DWORD got;
  while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) {
    fwrite(buf, 1, got, stdout);
    fflush(stdout);
    output.append(buf, got);
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(readEnd);
  return output;
}
