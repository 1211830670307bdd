// The one entry point for message boxes. Tests install a hook that records each box and
// answers it, so no test ever waits on a dialog.
#pragma once

#include <functional>
#include <string>

#include <windows.h>

struct MessageBoxCall {
  std::string text;
  std::string caption;
  unsigned flags = 0;
};

// Shows a message box owned by the active window; returns IDOK, IDYES, IDNO, ... Once the
// application is ending (Terminate), shows nothing and returns IDCANCEL.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);
// The same, captioned with the application's title.
int ShowMessageBox(const std::string& text, unsigned flags);

// The framework's plain message: the application's title as caption, no icon.
void ShowMessage(const std::string& text);

// With a hook installed, boxes are not shown: the hook's return value is the answer.
using MessageBoxHook = std::function<int(const MessageBoxCall&)>;
void SetMessageBoxHook(MessageBoxHook hook);
