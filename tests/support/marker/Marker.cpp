// Stands in for another program (an uninstaller the tests register, or a look-alike of a system
// program planted where a bare name would find it first): writes the command line it was started
// with to cmdline.txt in its own folder (UTF-8), then ends.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t path[MAX_PATH + 16];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t* slash = n > 0 && n < MAX_PATH ? wcsrchr(path, L'\\') : nullptr;
  if (slash == nullptr) return 1;
  wcscpy(slash + 1, L"cmdline.txt");
  static char bytes[4 * 32768];
  int size = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, bytes, sizeof bytes, nullptr, nullptr);
  FILE* file = _wfopen(path, L"wb");
  if (file == nullptr) return 1;
  if (size > 1) fwrite(bytes, 1, size - 1, file);
  return fclose(file) == 0 ? 0 : 1;
}
