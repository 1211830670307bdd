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

TToolPage* NewUninstallerManagerPage(TControl* host) { return NewToolPlaceholder(host, "Uninstaller Manager"); }

TToolPage* NewHistoryCleanerPage(TControl* host) { return NewToolPlaceholder(host, "History Cleaner"); }

TToolPage* NewMemoryOptimizerPage(TControl* host) { return NewToolPlaceholder(host, "Tweak Memory"); }
