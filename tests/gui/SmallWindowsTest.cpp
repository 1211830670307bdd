// The small windows: the repair-progress dialog, the please-wait window, the About box and the
// hover picture.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/AboutUnit.h"
#include "app/HintUnit.h"
#include "app/ImageEx.h"
#include "app/RepairDialogUnit.h"
#include "framework/Application.h"
#include "framework/ImageList.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"

namespace {
bool IsTopmost(TControl* c) { return (GetWindowLongW(c->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
}  // namespace

TEST(GuiRepairDialog, CancelSetsTheRunStateToStopAndHidesTheDialog) {
  using RepairDialogUnit::RepairDialogForm;
  testing_support::TKeep state(PublicFunctionUnit::ScanState);
  RepairDialogForm = new TRepairDialogForm;
  EXPECT_EQ(RepairDialogForm->Caption() + "|" + RepairDialogForm->abRepair->Caption(), "Zelvoran|Repair");
  EXPECT_TRUE(IsTopmost(RepairDialogForm) && RepairDialogForm->Animate1->Playing());
  RepairDialogForm->Show();
  RepairDialogForm->Repaint();
  EXPECT_TRUE(IsWindowEnabled(Application.Handle ? Application.Handle : RepairDialogForm->Handle()));

  // The work writes each item into the status label.
  static_cast<TCaptionTarget*>(RepairDialogForm->abRepair)->SetCaption("HKEY_CURRENT_USER\\Software\\Gone");
  EXPECT_EQ(RepairDialogForm->abRepair->Caption(), "HKEY_CURRENT_USER\\Software\\Gone");

  for (auto before : {PublicFunctionUnit::TRunState::Idle, PublicFunctionUnit::TRunState::HistoryCleaning}) {
    PublicFunctionUnit::ScanState = before;
    RepairDialogForm->Show();
    RepairDialogForm->Button1->Perform(BM_CLICK);
    EXPECT_EQ(PublicFunctionUnit::ScanState, PublicFunctionUnit::TRunState::StopRepair);
    EXPECT_FALSE(RepairDialogForm->Visible());
    EXPECT_TRUE(IsWindow(RepairDialogForm->Handle()));
  }
  RepairDialogForm->Free();
  EXPECT_EQ(RepairDialogForm, nullptr);
}

TEST(GuiHintForm, ShowsTheGivenMessageUnderTheTitleHint) {
  THintForm* HintForm = new THintForm;
  EXPECT_TRUE(IsTopmost(HintForm) && (GetWindowLongW(HintForm->Handle(), GWL_STYLE) & WS_CAPTION) == 0);
  EXPECT_EQ(HintForm->LabelMsg->Caption(), "LabelMsg");
  HintForm->LabelMsg->SetCaption("Please wait while the backup list is read...");
  HintForm->Show();
  HintForm->Repaint();
  EXPECT_EQ(HintForm->PanelHint->Caption(), "Hint");
  EXPECT_LE(HintForm->PanelHint->Top() + HintForm->PanelHint->Height(), HintForm->LabelMsg->Top());
  HintForm->Free();
}

TEST(GuiAboutForm, ShowsTheVersionEndsWithOkAndLightsItsLink) {
  TFormPtr<TAboutForm> about(new TAboutForm);
  EXPECT_EQ(about->Caption() + "|" + about->abVersion->Caption(), "About|Version 3.0");
  EXPECT_EQ(about->abHomeBtn->Cursor(), TCursor::HandPoint);
  EXPECT_EQ(about->Image1->Picture().Width(), 160);
  EXPECT_FALSE(about->Image2->Picture().Empty());
  TModalHookScope hook([&](TForm& f) {
    EXPECT_EQ(&f, about.get());
    about->BitBtn1->Perform(BM_CLICK);
  });
  EXPECT_EQ(about->ShowModal(), 1);

  // The link turns blue and underlined under the mouse, and black after.
  TLabel* link = about->abHomeBtn;
  link->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(link->Font().Color == 0xFF0000u && link->Font().Underline);
  link->Perform(WM_MOUSELEAVE);
  EXPECT_TRUE(link->Font().Color == clBlack && !link->Font().Underline && !link->Font().Bold);
}

TEST(GuiImageEx, RaisesEnterAndLeaveOnceWithItselfAsSender) {
  struct TBox : TForm {
    TBox() : TForm({}) { DoCreate(); }
  };
  TFormPtr<TBox> form(new TBox);
  // One pair of handlers for several pictures, told apart by the sender.
  std::vector<std::string> events;
  TImageEx* abort = nullptr;
  for (int tag : {0, 1}) {
    auto* image = abort = new TImageEx(form.get());
    image->Tag = tag;
    image->OnMouseEnter = [&](TObject* s) { events.push_back("enter" + std::to_string(((TImageEx*)s)->Tag)); };
    image->OnMouseLeave = [&](TObject* s) { events.push_back("leave" + std::to_string(((TImageEx*)s)->Tag)); };
  }
  for (UINT message : {WM_MOUSEMOVE, WM_MOUSEMOVE, WM_MOUSELEAVE, WM_MOUSELEAVE}) abort->Perform(message, 0, MAKELPARAM(5, 5));
  Application.ProcessMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"enter1", "leave1"}));
}

// Shows the About box for a while so that a screenshot can be taken of the display
// (scripts/screenshot-about runs it).
TEST(GuiAboutForm, DISABLED_StaysOnScreenForAScreenshot) {
  TFormPtr<TAboutForm> about(new TAboutForm);
  about->Show();
  about->Repaint();
  const char* seconds = std::getenv("ZELVORAN_SCREENSHOT_SECONDS");
  DWORD end = GetTickCount() + 1000 * (seconds ? std::atoi(seconds) : 5);
  while (GetTickCount() < end) {
    Application.ProcessMessages();
    Sleep(20);
  }
}
