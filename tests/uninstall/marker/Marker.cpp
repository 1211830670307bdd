// Stands in for an uninstaller: writes the command line it was started with to cmdline.txt in
// its own folder (UTF-8), then ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  wchar_t* slash = path;
  for (wchar_t* p = path; *p != 0; ++p)
    if (*p == L'\\') slash = p;
  if (slash - path + 13 >= MAX_PATH) return 1;
  lstrcpyW(slash + 1, L"cmdline.txt");
  char bytes[4 * 32768];
  int size = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, bytes, sizeof bytes, nullptr, nullptr) - 1;
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  if (size > 0) WriteFile(h, bytes, (DWORD)size, &written, nullptr);
  CloseHandle(h);
  return 0;
}
