#include "ShowLiveUpdateUnit.h"

#include "../framework/Application.h"

namespace {
const wchar_t* kClass = L"TShowLiveUpdateForm";

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CTLCOLORSTATIC) {
    SetBkMode((HDC)wp, TRANSPARENT);
    return (LRESULT)GetStockObject(WHITE_BRUSH);
  }
  if (msg == WM_CLOSE) return 0;   // the check closes it
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterOnce() {
  static bool done = false;
  if (done) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_WAIT);
  wc.hbrBackground = CreateSolidBrush(RGB(0xFD, 0xFD, 0xFD));
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);
  done = true;
}
}  // namespace

TShowLiveUpdateForm::TShowLiveUpdateForm() {
  RegisterOnce();
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
  RECT r{0, 0, 380, 166};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  handle_ = CreateWindowExW(exStyle, kClass, L"Live Update", style, x, y, w, h, Application.Handle, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  font_ = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Georgia");
  label_ = CreateWindowExW(0, L"STATIC", L"The newest version is testing , wait please...", WS_CHILD | WS_VISIBLE,
                           16, 100, 350, 24, handle_, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(label_, WM_SETFONT, (WPARAM)font_, FALSE);
}

TShowLiveUpdateForm::~TShowLiveUpdateForm() {
  if (handle_ != nullptr) DestroyWindow(handle_);
  if (font_ != nullptr) DeleteObject(font_);
}

void TShowLiveUpdateForm::ShowAndPaint() {
  ShowWindow(handle_, SW_SHOWNORMAL);
  UpdateWindow(handle_);
}
