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
  if (Hook()) return Hook()({text, caption, flags});
  HWND owner = GetActiveWindow();
  return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
}

void ShowMessage(const std::string& text) { ShowMessageBox(text, Application.Title, MB_OK); }

void ShowException(const std::string& message) {
  ShowMessageBox(message, Application.Title, MB_OK | MB_ICONSTOP);
}

void Abort() { throw EAbort(); }
