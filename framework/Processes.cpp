#include "Processes.h"

#include "Application.h"
#include "Handles.h"
#include "Strings.h"

TKernelHandle StartProcess(const std::string& commandLine, WORD showWindow, DWORD* error) {
  if (error != nullptr) *error = ERROR_SUCCESS;
  std::wstring cmd = Widen(commandLine);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = showWindow;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    if (error != nullptr) *error = GetLastError();
    return {};
  }
  TKernelHandle thread(pi.hThread);
  return TKernelHandle(pi.hProcess);
}

bool WaitHandlingMessages(HANDLE handle, DWORD timeoutMs) {
  ULONGLONG deadline = timeoutMs == INFINITE ? 0 : GetTickCount64() + timeoutMs;
  for (;;) {
    DWORD left = INFINITE;
    if (timeoutMs != INFINITE) {
      ULONGLONG now = GetTickCount64();
      left = now >= deadline ? 0 : (DWORD)(deadline - now);
    }
    DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0 + 1) {
      Application.ProcessMessages();
      continue;
    }
    return wait != WAIT_TIMEOUT;   // signalled (or the wait itself failed: the caller waits on)
  }
}

TRunOutcome RunHiddenAndWait(const std::string& commandLine, DWORD timeoutMs, DWORD& exitCode) {
  exitCode = (DWORD)-1;
  TKernelHandle process = StartProcess(commandLine, SW_HIDE);
  if (!process) return TRunOutcome::NotStarted;
  if (!WaitHandlingMessages(process.Get(), timeoutMs)) {
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 5000);
    return TRunOutcome::TimedOut;
  }
  WaitForSingleObject(process.Get(), INFINITE);
  GetExitCodeProcess(process.Get(), &exitCode);
  return TRunOutcome::Ended;
}
