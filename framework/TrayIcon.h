// The notification-area icon: added with an icon and a tip, its mouse events arrive at the
// owner window as the callback message (lParam = the mouse message, e.g. WM_LBUTTONDBLCLK).
//
// How to use: `TTrayIcon tray(form->Handle(), 0x500); tray.Add(icon, "Zelvoran");` ... the
// form's WndProc handles 0x500; the icon is removed when the object goes (or with Remove).
#pragma once

#include <string>

#include <windows.h>

class TTrayIcon {
 public:
  TTrayIcon(HWND owner, UINT callbackMessage, UINT id = 1);
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  bool Add(HICON icon, const std::string& tip);
  bool Modify(HICON icon, const std::string& tip);
  bool Remove();
  bool Added() const { return added_; }
  UINT CallbackMessage() const { return message_; }

 private:
  bool Call(DWORD action, HICON icon, const std::string& tip);
  HWND owner_;
  UINT message_;
  UINT id_;
  bool added_ = false;
};
