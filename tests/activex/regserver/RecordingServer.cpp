// A COM server whose registration only appends "begin <file>" and "end <file>" to registrations.log
// beside it: a test sees which copies regsvr32 registered and that no two ran at once.
#include <windows.h>

#include <wchar.h>

static HMODULE self;

static void Append(const char* word) {
  wchar_t path[MAX_PATH + 32];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  wchar_t* slash = n == 0 || n >= MAX_PATH ? nullptr : wcsrchr(path, L'\\');
  if (slash == nullptr) return;
  char name[3 * MAX_PATH], line[3 * MAX_PATH + 16];
  WideCharToMultiByte(CP_UTF8, 0, slash + 1, -1, name, sizeof name, nullptr, nullptr);
  int size = wsprintfA(line, "%s %s\r\n", word, name);
  lstrcpyW(slash + 1, L"registrations.log");
  HANDLE h = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, line, (DWORD)size, &written, nullptr);
  CloseHandle(h);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  Append("begin");
  Sleep(100);   // a registration that takes a moment: two at once would interleave their lines
  Append("end");
  return S_OK;
}
