// The built program: a second start brings the first one back from the tray and ends, handing
// over the scheduled job's "-Scan", which the first one then scans; "Exit" through the tray
// message ends the first.
#include <gtest/gtest.h>

#include "framework/Strings.h"
#include "support/TestSupport.h"

namespace {

struct WindowOf {
  DWORD Process;
  HWND Found = nullptr;
  static BOOL CALLBACK Visit(HWND hwnd, LPARAM p) {
    auto* self = reinterpret_cast<WindowOf*>(p);
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 63);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == self->Process && wcscmp(name, L"TZelvoranMainForm") == 0) self->Found = hwnd;
    return TRUE;
  }
};

HWND MainWindowOf(DWORD process) {
  WindowOf search{process};
  EnumWindows(WindowOf::Visit, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

PROCESS_INFORMATION Start(const std::string& arguments = "") {
  std::string exe = ExeDir() + "..\\Zelvoran.exe";
  std::wstring line = Widen("\"" + exe + "\" " + arguments);
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, Widen(ExeDir() + "..").c_str(), &si,
                      &pi))
    ADD_FAILURE() << "cannot start " << exe;
  return pi;
}

// The visible child window of the main window that shows this text, or null.
struct ShownText {
  std::wstring Text;
  bool Found = false;
  static BOOL CALLBACK Visit(HWND hwnd, LPARAM p) {
    auto* self = reinterpret_cast<ShownText*>(p);
    wchar_t text[64] = {};
    GetWindowTextW(hwnd, text, 63);
    if (self->Text == text && IsWindowVisible(hwnd)) self->Found = true;
    return TRUE;
  }
};

bool ShowsText(HWND main, const std::wstring& text) {
  ShownText search{text};
  EnumChildWindows(main, ShownText::Visit, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

template <class F>
bool WaitFor(F condition, DWORD ms = 30000) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    if (condition()) return true;
    Sleep(100);
  }
  return condition();
}

}  // namespace

TEST(BuiltProgram, SecondStartRestoresTheFirstAndEnds) {
  PROCESS_INFORMATION first = Start();
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindowOf(first.dwProcessId)) != nullptr && IsWindowVisible(main); }));

  PostMessageW(main, WM_CLOSE, 0, 0);   // closing only hides it in the tray
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), (DWORD)WAIT_TIMEOUT);

  PROCESS_INFORMATION second = Start();
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(second.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(MainWindowOf(second.dwProcessId), nullptr);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && !IsIconic(main); }));

  PostMessageW(main, 0x500, 0, 0x10);   // the tray's end message
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
  if (WaitForSingleObject(first.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(first.hProcess, 1);
  for (auto* pi : {&first, &second}) {
    CloseHandle(pi->hProcess);
    CloseHandle(pi->hThread);
  }
}

TEST(BuiltProgram, TheScheduledJobsStartHandsItsScanToTheRunningInstance) {
  PROCESS_INFORMATION first = Start();
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindowOf(first.dwProcessId)) != nullptr && IsWindowVisible(main); }));
  PostMessageW(main, WM_CLOSE, 0, 0);   // in the tray, as after a start with Windows
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
  EXPECT_FALSE(ShowsText(main, L"Scanning entry:"));

  PROCESS_INFORMATION second = Start("-Scan");
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(second.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(MainWindowOf(second.dwProcessId), nullptr);
  // the first one comes back from the tray and scans (it is stopped as soon as it does)
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && ShowsText(main, L"Scanning entry:"); }));

  PostMessageW(main, 0x500, 0, 0x10);   // the tray's end message
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
  if (WaitForSingleObject(first.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(first.hProcess, 1);
  for (auto* pi : {&first, &second}) {
    CloseHandle(pi->hProcess);
    CloseHandle(pi->hThread);
  }
}
