// The notification-area icon: added with an icon and a tip, its mouse events arrive at the
// owner window as the callback message (lParam = the mouse message, e.g. WM_LBUTTONDBLCLK).
// The icon stays in the notification area for the object's life: an add that fails (the shell's
// taskbar is not there yet) is tried again every few seconds until it succeeds, and when the
// shell starts again (Explorer restarted) it announces "TaskbarCreated" and the icon is added anew.
//
// How to use: `TTrayIcon tray(form->Handle(), 0x500); tray.Add(icon, "Zelvoran");` ... the
// form's WndProc handles 0x500 and hands every message to tray.HandleMessage first; the icon is
// removed when the object goes (or with Remove).
#pragma once

#include <functional>
#include <string>

#include <windows.h>
#include <shellapi.h>

#include "Timer.h"

class TTrayIcon {
 public:
  TTrayIcon(HWND owner, UINT callbackMessage, UINT id = 1);
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // True when the icon is in the notification area now; false when the add failed and is being
  // tried again.
  bool Add(HICON icon, const std::string& tip);
  bool Modify(HICON icon, const std::string& tip);
  bool Remove();
  bool Added() const { return added_; }
  bool Retrying() const { return retry_.Enabled(); }
  UINT CallbackMessage() const { return message_; }

  // The owner window's share of its messages: true for the shell's "TaskbarCreated", after
  // which the icon is in the notification area again (or its add is being tried again).
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  // The registered message the shell sends every top-level window when its taskbar is created.
  static UINT TaskbarCreatedMessage();
  // How often a failed add is tried again, in milliseconds (for icons made from then on).
  static inline int RetryInterval = 3000;

  // The shell call (Shell_NotifyIconW); tests put their own in.
  static std::function<BOOL(DWORD action, NOTIFYICONDATAW* data)> NotifyIcon;

 private:
  bool Call(DWORD action);
  bool AddNow();
  HWND owner_;
  UINT message_;
  UINT id_;
  HICON icon_ = nullptr;
  std::string tip_;
  bool wanted_ = false;   // Add was called and Remove was not
  bool added_ = false;
  TTimer retry_;
};

// Lets the window receive the message from programs that run with fewer rights than this one (a
// program started elevated gets no message of a program that is not, unless it allows it). False
// where the system cannot tell (before Windows Vista every message passes).
bool AllowMessageFromLowerRights(HWND window, UINT message);
