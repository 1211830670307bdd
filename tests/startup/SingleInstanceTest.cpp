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

// Starts the program and closes its window, which only hides it in the tray; its main window.
HWND StartInTray(PROCESS_INFORMATION& first) {
  first = Start();
  HWND main = nullptr;
  if (!WaitFor([&] { return (main = MainWindowOf(first.dwProcessId)) != nullptr && IsWindowVisible(main); }))
    return nullptr;
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), (DWORD)WAIT_TIMEOUT);
  return main;
}

// A second start with these arguments ends at once, without a window of its own.
void ExpectSecondStartEnds(const std::string& arguments) {
  PROCESS_INFORMATION second = Start(arguments);
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(second.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(MainWindowOf(second.dwProcessId), nullptr);
  CloseHandle(second.hProcess);
  CloseHandle(second.hThread);
}

// Ends the first start through the tray's end message.
void EndThroughTray(PROCESS_INFORMATION& first, HWND main) {
  PostMessageW(main, 0x500, 0, 0x10);
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
  if (WaitForSingleObject(first.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(first.hProcess, 1);
  CloseHandle(first.hProcess);
  CloseHandle(first.hThread);
}

}  // namespace

TEST(BuiltProgram, SecondStartRestoresTheFirstAndEnds) {
  PROCESS_INFORMATION first{};
  HWND main = StartInTray(first);
  ASSERT_NE(main, nullptr);
  ExpectSecondStartEnds("");
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && !IsIconic(main); }));
  EXPECT_FALSE(ShowsText(main, L"Scanning entry:"));
  EndThroughTray(first, main);
}

TEST(BuiltProgram, TheScheduledJobsStartHandsItsScanToTheRunningInstance) {
  PROCESS_INFORMATION first{};
  HWND main = StartInTray(first);
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(ShowsText(main, L"Scanning entry:"));
  ExpectSecondStartEnds("-Scan");
  // the first one comes back from the tray and scans (it is stopped as soon as it does)
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && ShowsText(main, L"Scanning entry:"); }));
  EndThroughTray(first, main);
}
