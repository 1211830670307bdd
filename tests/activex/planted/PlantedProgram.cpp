// A stand-in planted under a system program's name (regsvr32.exe) in a folder that a bare program
// name would be searched in first. When it runs it appends "planted <its own path>" to planted.log
// in the folder of the last quoted argument (the file it was asked to register): a test sees that
// it ran, without it ever registering anything.
#include <windows.h>

#include <wchar.h>

static void AppendMarker(const wchar_t* folderEnd, const wchar_t* folderStart) {
  wchar_t log[MAX_PATH + 32];
  size_t length = (size_t)(folderEnd - folderStart);
  if (length == 0 || length >= MAX_PATH) return;
  lstrcpynW(log, folderStart, (int)length + 1);
  lstrcatW(log, L"planted.log");
  wchar_t self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  char line[3 * MAX_PATH + 16] = "planted ";
  WideCharToMultiByte(CP_UTF8, 0, self, -1, line + 8, 3 * MAX_PATH, nullptr, nullptr);
  lstrcatA(line, "\r\n");
  HANDLE h = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, line, (DWORD)lstrlenA(line), &written, nullptr);
  CloseHandle(h);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const wchar_t* command = GetCommandLineW();
  const wchar_t* close = wcsrchr(command, L'"');
  if (close == nullptr || close == command) return 0;
  const wchar_t* open = close - 1;
  while (open > command && *open != L'"') --open;
  if (*open != L'"') return 0;
  const wchar_t* slash = close;
  while (slash > open && *slash != L'\\') --slash;
  if (slash > open) AppendMarker(slash + 1, open + 1);
  return 0;
}
