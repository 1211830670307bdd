// Holds Wine's desktop for a whole test run. The first program of a prefix that needs the
// desktop starts Wine's explorer.exe, which owns it and inherits that program's standard error;
// it ends only a second after the last program using the desktop has gone. Were that program a
// test, ctest would wait for its output pipe as long as other tests keep the desktop in use, and
// a short test would run into its time limit. scripts/test starts this program before ctest,
// with its output in a log: the desktop is up before the first test and stays up to the end.
// It writes ZvDesktop.ready beside itself once a window can be made, then waits to be ended.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  if (GetDesktopWindow() == nullptr) return 1;
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (probe == nullptr) return 1;
  DestroyWindow(probe);

  wchar_t path[MAX_PATH + 16];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t* slash = n > 0 && n < MAX_PATH ? wcsrchr(path, L'\\') : nullptr;
  if (slash == nullptr) return 1;
  wcscpy(slash + 1, L"ZvDesktop.ready");
  HANDLE ready = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(ready);

  // The run ends it (wineserver -k); meanwhile its thread keeps the desktop in use.
  for (;;) Sleep(INFINITE);
}
