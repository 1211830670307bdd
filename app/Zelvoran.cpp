// Zelvoran's start-up: load the settings and show the main window until it is closed.
#include <windows.h>

#include "../framework/Application.h"
#include "../framework/Exceptions.h"
#include "../scan/PublicFunctionUnit.h"

static LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  Guarded([] { PublicFunctionUnit::LoadSettings(); });
  WNDCLASSW wc{};
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"TZelvoranMainForm";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"TZelvoranMainForm", L"Zelvoran", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 1;
  Application.Handle = hwnd;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  Application.Run();
  return 0;
}
