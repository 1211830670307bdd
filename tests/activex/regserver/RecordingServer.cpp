// A COM server that registers nothing: its registration appends "begin <file>" and "end <file>"
// lines to registrations.log in its own folder, so a test sees which copies regsvr32 registered
// and that no two registrations ran at once.
#include <windows.h>

static HMODULE self;

static void Append(const wchar_t* word) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  const wchar_t* name = path;
  for (wchar_t* p = path; *p != 0; ++p)
    if (*p == L'\\') name = p + 1;
  wchar_t line[MAX_PATH + 16];
  wsprintfW(line, L"%s %s\r\n", word, name);
  wchar_t log[MAX_PATH];
  lstrcpyW(log, path);
  log[name - path] = 0;
  lstrcatW(log, L"registrations.log");
  HANDLE h = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  char bytes[2 * (MAX_PATH + 16)];
  int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof bytes, nullptr, nullptr) - 1;
  DWORD written = 0;
  if (size > 0) WriteFile(h, bytes, (DWORD)size, &written, nullptr);
  CloseHandle(h);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  Append(L"begin");
  Sleep(100);   // a registration that takes a moment: two at once would interleave their lines
  Append(L"end");
  return S_OK;
}
