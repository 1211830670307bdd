#include "Dialogs.h"

#include "Application.h"
#include "Exceptions.h"
#include "Strings.h"

static MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  // Once the program is ending no box stops it: the answer is Cancel (neither OK nor Yes).
  if (Application.Terminated()) return IDCANCEL;
  if (Hook()) return Hook()({text, caption, flags});
  HWND owner = GetActiveWindow();
  return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
}

int ShowMessageBox(const std::string& text, unsigned flags) { return ShowMessageBox(text, Application.Title, flags); }

void ShowMessage(const std::string& text) { ShowMessageBox(text, MB_OK); }

void ShowException(const std::string& message) {
  ShowMessageBox(message, MB_OK | MB_ICONSTOP);
}

void Abort() { throw EAbort(); }
