// Pages for the tools that are not part of the program yet: each only names its tool. A tool
// that arrives defines its factory in its own folder and its line here goes.
#include "ToolPage.h"

#include "../framework/Controls.h"

namespace {

class TToolPlaceholderForm : public TToolPage {
 public:
  TToolPlaceholderForm(TControl* host, const std::string& caption) : TToolPage(host, "TToolPlaceholderForm") {
    SetColor(clWhite);
    auto* title = new TLabel(this);
    title->SetBounds(16, 16, 440, 24);
    title->SetFont({.Height = 16, .Bold = true, .Color = clNavy});
    title->SetCaption(caption);
    DoCreate();
  }
};

}  // namespace

TToolPage* NewToolPlaceholder(TControl* host, const std::string& caption) {
  return new TToolPlaceholderForm(host, caption);
}

TToolPage* NewStartupManagerPage(TControl* host) { return NewToolPlaceholder(host, "Startup Manager"); }

TToolPage* NewUninstallerManagerPage(TControl* host) { return NewToolPlaceholder(host, "Uninstaller Manager"); }

TToolPage* NewJunkFileCleanerPage(TControl* host) { return NewToolPlaceholder(host, "Junk File Cleaner"); }

TToolPage* NewBrowserRestorePage(TControl* host) { return NewToolPlaceholder(host, "Internet Explorer Restorer"); }

TToolPage* NewBrowserPluginsPage(TControl* host) { return NewToolPlaceholder(host, "BHO Manager"); }

TToolPage* NewHistoryCleanerPage(TControl* host) { return NewToolPlaceholder(host, "History Cleaner"); }

TToolPage* NewActiveXBlockerPage(TControl* host) { return NewToolPlaceholder(host, "Block ActiveX"); }

TToolPage* NewMemoryOptimizerPage(TControl* host) { return NewToolPlaceholder(host, "Tweak Memory"); }

TToolPage* NewRestorePointsPage(TControl* host) { return NewToolPlaceholder(host, "System Restore Point"); }

TToolPage* NewActiveXRegisterPage(TControl* host) { return NewToolPlaceholder(host, "Register ActiveX"); }

TToolPage* NewErrorUtilitiesPage(TControl* host) { return NewToolPlaceholder(host, "Error Utilities"); }
