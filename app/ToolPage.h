// A tool of the "Advanced" page: a borderless page that the main window creates inside its
// tool panel when its launcher is clicked and frees when a page button is pressed, so that each
// visit builds the tool anew. The page tells the main window for itself what it must respect
// while the page is open; the main window has no special case for any tool.
//
// How to write one (tools/<tool>/<Unit>.h/.cpp):
//   class TMyToolForm : public TToolPage {
//    public:
//     explicit TMyToolForm(TControl* host) : TToolPage(host, "TMyToolForm") { ...; DoCreate(); }
//     bool HoldsWindow() const override { return TToolPage::HoldsWindow() || scanning_; }
//   };
//   TToolPage* NewMyToolPage(TControl* host) { return new TMyToolForm(host); }   // see below
// Handlers that pump messages hold a TBusyGuard; the page is then never freed under itself.
#pragma once

#include <string>

#include "../framework/Forms.h"

class TToolPage : public TForm {
 public:
  TToolPage(TControl* host, const std::string& className)
      : TForm({.Host = host, .Border = TBorderStyle::None, .ClassName = className}) {}

  // True while a long operation of the page runs: the page buttons, the launchers, options,
  // about, minimise and the tray's Exit then do nothing, so nothing frees the page under it.
  virtual bool HoldsWindow() const { return Busy(); }
  // True while the other tools' launchers must do nothing (the page shows a step that must not
  // be left for another tool).
  virtual bool BlocksLaunchers() const { return false; }
  // The tray's Exit asks a running operation to stop at its next step.
  virtual void StopForExit() {}
};

// The pages of the twelve tools, in the launchers' order; each tool defines its factory in its
// own folder under tools/.
TToolPage* NewStartupManagerPage(TControl* host);      // "Startup Manager"
TToolPage* NewUninstallerManagerPage(TControl* host);  // "Uninstaller Manager"
TToolPage* NewJunkFileCleanerPage(TControl* host);     // "Junk File Cleaner"
TToolPage* NewBrowserRestorePage(TControl* host);      // "Internet Explorer Restorer"
TToolPage* NewBrowserPluginsPage(TControl* host);      // "BHO Manager"
TToolPage* NewHistoryCleanerPage(TControl* host);      // "History Cleaner"
TToolPage* NewSystemOptimizerPage(TControl* host);     // "System Optimizer"
TToolPage* NewActiveXBlockerPage(TControl* host);      // "Block ActiveX"
TToolPage* NewMemoryOptimizerPage(TControl* host);     // "Tweak Memory"
TToolPage* NewRestorePointsPage(TControl* host);       // "System Restore Point"
TToolPage* NewActiveXRegisterPage(TControl* host);     // "Register ActiveX"
TToolPage* NewErrorUtilitiesPage(TControl* host);      // "Error Utilities"

