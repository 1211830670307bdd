#include "TrayIcon.h"

#include <cwchar>

#include "Strings.h"

std::function<BOOL(DWORD, NOTIFYICONDATAW*)> TTrayIcon::NotifyIcon = [](DWORD action, NOTIFYICONDATAW* data) {
  return Shell_NotifyIconW(action, data);
};

TTrayIcon::TTrayIcon(HWND owner, UINT callbackMessage, UINT id) : owner_(owner), message_(callbackMessage), id_(id) {
  retry_.SetInterval(RetryInterval);
  retry_.OnTimer = [this](TObject*) { AddNow(); };
  // an elevated program hears the shell's taskbar too
  AllowMessageFromLowerRights(owner_, TaskbarCreatedMessage());
}

TTrayIcon::~TTrayIcon() { Remove(); }

UINT TTrayIcon::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

bool TTrayIcon::Call(DWORD action) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = owner_;
  data.uID = id_;
  if (action != NIM_DELETE) {
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = message_;
    data.hIcon = icon_;
    std::wstring w = Widen(tip_);
    wcsncpy(data.szTip, w.c_str(), 63);
  }
  return NotifyIcon && NotifyIcon(action, &data) != FALSE;
}

bool TTrayIcon::AddNow() {
  if (!wanted_) return false;
  added_ = Call(NIM_ADD);
  // an icon the shell still shows under this id (the add came twice): it is there
  if (!added_) added_ = Call(NIM_MODIFY);
  retry_.SetEnabled(!added_);
  return added_;
}

bool TTrayIcon::Add(HICON icon, const std::string& tip) {
  icon_ = icon;
  tip_ = tip;
  if (added_) return Modify(icon, tip);
  wanted_ = true;
  return AddNow();
}

bool TTrayIcon::Modify(HICON icon, const std::string& tip) {
  icon_ = icon;
  tip_ = tip;
  return added_ && Call(NIM_MODIFY);
}

bool TTrayIcon::Remove() {
  wanted_ = false;
  retry_.SetEnabled(false);
  if (!added_) return false;
  added_ = false;
  return Call(NIM_DELETE);
}

bool TTrayIcon::HandleMessage(UINT msg, WPARAM, LPARAM) {
  if (msg == 0 || msg != TaskbarCreatedMessage()) return false;
  // the new taskbar knows no icon of this program
  added_ = false;
  AddNow();
  return true;
}

bool AllowMessageFromLowerRights(HWND window, UINT message) {
  using TFilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  using TFilter = BOOL(WINAPI*)(UINT, DWORD);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr || window == nullptr) return false;
  const DWORD kAllow = 1;   // MSGFLT_ALLOW / MSGFLT_ADD
  // Windows 7 and later: for this window only; Windows Vista: for the whole process
  if (auto filterEx = reinterpret_cast<TFilterEx>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
    return filterEx(window, message, kAllow, nullptr) != FALSE;
  if (auto filter = reinterpret_cast<TFilter>(GetProcAddress(user32, "ChangeWindowMessageFilter")))
    return filter(message, kAllow) != FALSE;
  return false;
}
