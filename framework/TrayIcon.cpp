#include "TrayIcon.h"

#include <shellapi.h>

#include <cwchar>

#include "Strings.h"

TTrayIcon::TTrayIcon(HWND owner, UINT callbackMessage, UINT id) : owner_(owner), message_(callbackMessage), id_(id) {}

TTrayIcon::~TTrayIcon() { Remove(); }

bool TTrayIcon::Call(DWORD action, HICON icon, const std::string& tip) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = owner_;
  data.uID = id_;
  if (action != NIM_DELETE) {
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = message_;
    data.hIcon = icon;
    std::wstring w = Widen(tip);
    wcsncpy(data.szTip, w.c_str(), 63);
  }
  return Shell_NotifyIconW(action, &data) != FALSE;
}

bool TTrayIcon::Add(HICON icon, const std::string& tip) {
  if (added_) return Modify(icon, tip);
  added_ = Call(NIM_ADD, icon, tip);
  return added_;
}

bool TTrayIcon::Modify(HICON icon, const std::string& tip) { return added_ && Call(NIM_MODIFY, icon, tip); }

bool TTrayIcon::Remove() {
  if (!added_) return false;
  added_ = false;
  return Call(NIM_DELETE, nullptr, "");
}
