// The main window in-process: pages and guards, tool hosting, a whole scan over sections of the
// test's own, the results page, exclusion, and the tray and instance messages.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "support/HeldFile.h"
#include "support/MainWindowHost.h"
#include "app/AboutUnit.h"

using namespace MainUnit;
using testing_support::MessageBoxes;
using testing_support::THeldFile;
using testing_support::MessageTexts;

namespace {

struct MainWindowFixture : ::testing::Test, MainWindowHost {
  MainWindowFixture() { CreateAndShow(); }
};

}  // namespace

TEST_F(MainWindowFixture, StartsOnTheSectionPageWithEverySectionTickedAndWaitsWhileAScanRuns) {
  EXPECT_EQ(std::pair(form->MainNotebook->PageIndex(), form->ScanNotebook->PageIndex()), std::pair(0, 0));
  EXPECT_TRUE(form->ScanNowBtn->Visible() && form->cbSelectAll->Visible() && form->LabelHint->Visible());
  EXPECT_FALSE(form->AbortScanBtn->Visible() || form->RepairBtn->Visible() || form->pbTotalProcess->Visible());
  auto ticks = [&] {
    std::string t;
    for (TImage* pic : form->SectionImages) t += std::to_string(pic->Tag);
    return t;
  };
  EXPECT_EQ(ticks(), std::string(SectionCount, '1'));
  // The label and the box both untick and tick every section.
  form->cbSelectAllClick(form->abSelectAll);
  EXPECT_EQ(ticks(), std::string(SectionCount, '0'));
  form->cbSelectAll->Click();
  EXPECT_EQ(ticks(), std::string(SectionCount, '1'));

  // While a scan runs the page buttons and section clicks wait.
  dm.ScanTimer.SetEnabled(true);
  form->BackupBtnClick(form->BackupBtn);
  form->AdvanceBtnClick(form->AdvanceBtn);
  form->picSection01Click(form->SectionImages[3]);
  EXPECT_EQ(form->MainNotebook->PageIndex(), 0);
  EXPECT_EQ(form->SectionImages[3]->Tag, 1);
  dm.ScanTimer.SetEnabled(false);

  form->AdvanceBtnClick(form->AdvanceBtn);
  EXPECT_EQ(form->MainNotebook->PageIndex(), 2);
  form->BackupBtnClick(form->BackupBtn);
  EXPECT_EQ(form->MainNotebook->PageIndex(), 1);
  form->ScanBtnClick(form->ScanBtn);
  EXPECT_EQ(form->MainNotebook->PageIndex(), 0);
}

namespace {
// A tool page that says for itself what the main window must respect.
class TContractPage : public TToolPage {
 public:
  explicit TContractPage(TControl* host) : TToolPage(host, "TContractPage") { DoCreate(); }
  bool HoldsWindow() const override { return Holds; }
  bool BlocksLaunchers() const override { return Blocks; }
  void StopForExit() override { ++StopRequests; }
  bool Holds = false, Blocks = false;
  int StopRequests = 0;
};
}  // namespace

TEST_F(MainWindowFixture, ToolPagesOpenInTheirPanelAndAreFreedByPageButtonsUnlessBusyOrHolding) {
  form->AdvanceBtnClick(form->AdvanceBtn);
  form->LaunchTool(1, form->ToolIcons[1]);
  form->LaunchTool(0, form->ToolLabels[0]);
  TForm* tool = form->Tools[0].Window;
  ASSERT_NE(tool, nullptr);
  EXPECT_EQ(GetParent(tool->Handle()), form->AdvancePanel->Handle());
  EXPECT_TRUE(form->ToolLabels[0]->Font().Underline && !form->ToolLabels[1]->Font().Underline);

  {
    TBusyGuard busy(tool);   // the tool runs a long operation
    form->AdvanceBtnClick(form->AdvanceBtn);
    form->ScanBtnClick(form->ScanBtn);
    EXPECT_EQ(form->Tools[0].Window, tool);
    EXPECT_EQ(form->MainNotebook->PageIndex(), 2);
  }
  form->AdvanceBtnClick(form->AdvanceBtn);
  EXPECT_TRUE(form->Tools[0].Window == nullptr && form->Tools[1].Window == nullptr);
  for (TLabel* label : form->ToolLabels) EXPECT_FALSE(label->Font().Underline);

  PublicFunctionUnit::PlatformKind = 2;
  form->LaunchTool(9, form->ToolIcons[9]);
  PublicFunctionUnit::PlatformKind = 0;   // neither family: nothing at all
  form->LaunchTool(9, form->ToolIcons[9]);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"System Restore Point for Windows 2000 and XP!"});
  EXPECT_EQ(MessageBoxes().Calls[0].flags, 48u);
  EXPECT_EQ(form->Tools[9].Window, nullptr);
  PublicFunctionUnit::PlatformKind = 4;
  form->LaunchTool(9, form->ToolIcons[9]);
  EXPECT_NE(form->Tools[9].Window, nullptr);

  // A page says for itself whether it holds the window and blocks the launchers.
  form->Tools[2].Create = [](TControl* host) -> TToolPage* { return new TContractPage(host); };
  form->AdvanceBtnClick(form->AdvanceBtn);
  form->LaunchTool(2, form->ToolIcons[2]);
  auto* page = dynamic_cast<TContractPage*>(form->Tools[2].Window);
  ASSERT_NE(page, nullptr);

  page->Blocks = true;   // the other launchers do nothing; the page buttons still act
  form->LaunchTool(3, form->ToolIcons[3]);
  EXPECT_EQ(form->Tools[3].Window, nullptr);
  page->Blocks = false;

  page->Holds = true;   // nothing frees the page
  form->ScanBtnClick(form->ScanBtn);
  form->OptionsBtnClick(form->OptionsBtn);
  EXPECT_EQ(form->Tools[2].Window, page);
  EXPECT_EQ(form->MainNotebook->PageIndex(), 2);

  page->Holds = false;
  form->ScanBtnClick(form->ScanBtn);
  EXPECT_TRUE(form->Tools[2].Window == nullptr && form->MainNotebook->PageIndex() == 0);
}

TEST_F(MainWindowFixture, ExitAsksABusyToolToStopAndEndsTheProgramWithoutAnotherWord) {
  form->Tools[2].Create = [](TControl* host) -> TToolPage* { return new TContractPage(host); };
  form->AdvanceBtnClick(form->AdvanceBtn);
  form->LaunchTool(2, form->ToolIcons[2]);
  auto* page = dynamic_cast<TContractPage*>(form->Tools[2].Window);
  ASSERT_NE(page, nullptr);
  page->Holds = true;
  bool stoppedInTime = false, shown = true;
  {
    TBusyGuard busy(page);   // the tool's long operation, which the tray's Exit interrupts
    dm.Exit1Click(dm.Exit1);
    // the operation sees the stop at its next step, and what it would say after it is not shown
    stoppedInTime = page->StopRequests == 1 && page->Closing();
    shown = ShowMessageBox("Finished!", MB_OK) != IDCANCEL;
  }
  EXPECT_TRUE(stoppedInTime && Application.Terminated());
  EXPECT_FALSE(shown);
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(form->Tools[2].Window, page);   // freed with the window, never under its own handler
}

TEST_F(MainWindowFixture, ExitDuringAScanStopsItBeforeTheNextSectionAndEndsTheProgram) {
  std::vector<int> calls;
  for (TSection& s : Sections()) s.Scan = Reports({}, &calls);
  Sections()[1].Scan = [&](int index, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&) {
    calls.push_back(index);
    dm.Exit1Click(dm.Exit1);   // the tray menu's Exit, taken in the scan's message pump
    for (int i = 0; i < 1000 && !PublicFunctionUnit::ScanStopRequested(); ++i) calls.push_back(-1);
  };
  form->ScanNowBtnClick(form->ScanNowBtn);
  EXPECT_EQ(calls, (std::vector<int>{0, 1}));
  EXPECT_TRUE(Application.Terminated());
  EXPECT_FALSE(dm.ScanTimer.Enabled());
  EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(MainWindowFixture, NothingTickedWarnsAndNoFindingsGoesToTheFinishPage) {
  form->cbSelectAll->Click();   // unticks every section
  form->ScanNowBtnClick(form->ScanNowBtn);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Please select the specific options before scanning."});
  EXPECT_EQ(MessageBoxes().Calls[0].flags, 48u);
  EXPECT_TRUE(form->ScanNowBtn->Visible());

  // Ticked again, a scan without findings goes to the finish page.
  form->cbSelectAll->Click();
  form->ScanNowBtnClick(form->ScanNowBtn);
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
  EXPECT_TRUE(form->FinishBtn->Visible() && !form->ScanNowBtn->Visible());
  ASSERT_EQ(RepairLog->Count(), 1);
  EXPECT_EQ(RepairLog->GetItem(0).Content.KeyPath + "|" + RepairLog->GetItem(0).Content.Status, "Problems Found: 0|");
  EXPECT_EQ(form->abExcludeMsg->Caption(), "Elapsed time: 0 second      ");
  EXPECT_FALSE(dm.ScanTimer.Enabled() || dm.ScanTimerEx.Enabled());

  form->FinishBtnClick(form->FinishBtn);
  EXPECT_EQ(form->ScanNotebook->PageIndex() + RepairLog->Count(), 0);
  EXPECT_TRUE(form->ScanNowBtn->Visible());
}

TEST_F(MainWindowFixture, FindingsAreListedPerSectionWithTheirDetails) {
  Sections()[4].Scan = Reports({"HKEY_LOCAL_MACHINE\\a", "HKEY_LOCAL_MACHINE\\b", "HKEY_LOCAL_MACHINE\\c"});
  Sections()[11].Scan = Reports({"HKEY_CURRENT_USER\\m"});
  form->ScanNowBtnClick(form->ScanNowBtn);

  EXPECT_EQ(form->ScanNotebook->PageIndex(), 1);
  EXPECT_TRUE(form->RepairBtn->Visible());
  ASSERT_EQ(form->RepairGrid->Count(), 2);
  EXPECT_EQ(form->RepairGrid->Item(0)->Caption, "Font Entries");
  EXPECT_EQ(form->RepairGrid->Item(0)->SubItems, (std::vector<std::string>{"3", "4"}));
  EXPECT_EQ(form->RepairGrid->Item(1)->SubItems, (std::vector<std::string>{"1", "11"}));
  EXPECT_EQ(form->RepairGrid->ColumnCaption(1), "Problems Found: 4");
  EXPECT_EQ(form->ProblemsListBox->Count(), 3);
  EXPECT_EQ(form->ProblemsPanel->Caption(), "3 Problems Found");
  EXPECT_EQ(form->abSeverity->Caption() + form->abLevel->Caption(), "Severity:Normal");
  EXPECT_EQ(form->ItemCountLabels[4]->Caption(), "3");

  // The details pane stays hidden while another section is chosen.
  form->abShowHideDetailsClick(form->abShowHideDetails);
  form->RepairGrid->SetItemIndex(1);
  EXPECT_TRUE(!form->panDetails->Visible() && form->abShowHideDetails->Caption() == "Show Details");
  EXPECT_EQ(form->ProblemsListBox->Count(), 1);
  EXPECT_EQ(form->DetailsMemo->Text(), Sections()[11].Description);
  form->abShowHideDetailsClick(form->abShowHideDetails);
  EXPECT_TRUE(form->panDetails->Visible() && form->abShowHideDetails->Caption() == "Hide Details");

  // Select All on the results page changes what is drawn and what will be repaired together.
  form->RepairGrid->SetItemIndex(0);
  form->cbSelectAll->SetChecked(false);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE((*SectionResults)[4].GetItem(i).Content.Checked);
    EXPECT_EQ(ShownTick(*form->ProblemsListBox, i), 0);
  }
  EXPECT_TRUE((*SectionResults)[11].GetItem(0).Content.Checked);   // another section keeps its ticks

  // A left click inside the drawn box ticks that one finding; just outside it does not.
  RECT r = form->ProblemsListBox->ItemRect(1);
  form->ProblemsListBoxMouseDown(TMouseButton::Left, r.left + 10, r.top + 28);
  EXPECT_FALSE((*SectionResults)[4].GetItem(1).Content.Checked);
  form->ProblemsListBoxMouseDown(TMouseButton::Left, r.left + 26, r.top + 46);
  EXPECT_TRUE((*SectionResults)[4].GetItem(1).Content.Checked);
  EXPECT_EQ(ShownTick(*form->ProblemsListBox, 1), 1);
}

TEST_F(MainWindowFixture, ExclusionAppendsTheLineAndTheNextScanSkipsIt) {
  Sections()[4].Scan = Reports({"HKEY_LOCAL_MACHINE\\a", "HKEY_LOCAL_MACHINE\\b", "HKEY_LOCAL_MACHINE\\c"});
  form->ScanNowBtnClick(form->ScanNowBtn);
  (*SectionResults)[4].GetItem(2).Content.Checked = false;
  form->ProblemsListBox->SetItemIndex(1);
  LVITEMW unfocus{.stateMask = LVIS_FOCUSED};
  SendMessageW(form->RepairGrid->Handle(), LVM_SETITEMSTATE, 0, (LPARAM)&unfocus);
  form->ExcludeMenuClick(dm.ExcludeMenu);

  EXPECT_EQ(ReadFileBytes(PublicFunctionUnit::IgnoreFileName()), "Font Entries|HKEY_LOCAL_MACHINE\\b|v\r\n");
  ASSERT_EQ((*SectionResults)[4].Count(), 2);
  EXPECT_EQ((*SectionResults)[4].GetItem(1).Content.KeyPath, "HKEY_LOCAL_MACHINE\\c");
  EXPECT_FALSE((*SectionResults)[4].GetItem(1).Content.Checked);
  EXPECT_EQ(form->ProblemsListBox->Count(), 2);
  EXPECT_EQ(form->RepairGrid->Item(0)->SubItems[0], "2");
  EXPECT_EQ(form->RepairGrid->ColumnCaption(1), "Problems Found: 2");
  EXPECT_EQ(form->ProblemsPanel->Caption(), "  Details of Problems found: 2");
  EXPECT_EQ(form->RepairGrid->ItemFocused(), 0);

  form->ScanBtnClick(form->ScanBtn);
  form->ScanNowBtnClick(form->ScanNowBtn);
  ASSERT_EQ((*SectionResults)[4].Count(), 2);
  EXPECT_EQ((*SectionResults)[4].GetItem(0).Content.KeyPath + (*SectionResults)[4].GetItem(1).Content.KeyPath,
            "HKEY_LOCAL_MACHINE\\aHKEY_LOCAL_MACHINE\\c");

  // A hand-edited last line without its line break stays whole; an empty value name ends in "|".
  std::string file = PublicFunctionUnit::IgnoreFileName();
  WriteFileBytes(file, "Sounds Section|HKEY_LOCAL_MACHINE\\y|");
  form->AppendIgnoreEntry("Help Section", "HKEY_LOCAL_MACHINE\\h", "");
  EXPECT_EQ(ReadFileBytes(file), "Sounds Section|HKEY_LOCAL_MACHINE\\y|\r\nHelp Section|HKEY_LOCAL_MACHINE\\h|\r\n");

  // A finding whose name holds a line break would come back as lines naming other entries: it
  // stays listed, with a word, and the file is left as it was.
  form->ScanBtnClick(form->ScanBtn);
  Sections()[4].Scan = [](int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents& c) {
    for (const char* name : {"v\rHKEY_LOCAL_MACHINE\\a|v", "w\nx"}) {
      TContent& f = SectionCommon::NewFinding(c);
      f.KeyPath = "HKEY_LOCAL_MACHINE\\a";
      f.ValueName = name;
    }
  };
  form->ScanNowBtnClick(form->ScanNowBtn);
  for (int row : {0, 1}) {
    form->ProblemsListBox->SetItemIndex(row);
    form->ExcludeMenuClick(dm.ExcludeMenu);
  }
  EXPECT_EQ((*SectionResults)[4].Count(), 2);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>(2, "This entry cannot be added to the ignore list: its key or "
                                                        "value name holds a line break."));
  EXPECT_EQ(ReadFileBytes(file), "Sounds Section|HKEY_LOCAL_MACHINE\\y|\r\nHelp Section|HKEY_LOCAL_MACHINE\\h|\r\n");
}

// The system software settings walk the current user's tree under its name below HKEY_USERS, so
// the user section's findings are listed there too: excluding one takes it out of every section,
// whatever name the key has there, and leaves the findings of other keys.
TEST_F(MainWindowFixture, AnExclusionTakesTheSameEntryOutOfEverySection) {
  const std::string users = PublicFunctionUnit::KeyIdentity(HKEY_CURRENT_USER, "");   // HKEY_USERS\<the user>
  Sections()[14].Scan = Reports({users + "\\Software\\Zv", users + "\\Software\\Other"});
  Sections()[16].Scan = Reports({"HKEY_CURRENT_USER\\Software\\Zv", "HKEY_CURRENT_USER\\Software\\Zv\\sub"});
  form->ScanNowBtnClick(form->ScanNowBtn);
  ASSERT_EQ(form->RepairGrid->Count(), 2);
  form->RepairGrid->SetItemIndex(1);   // "User Software Settings"
  form->ProblemsListBox->SetItemIndex(0);
  form->ExcludeMenuClick(dm.ExcludeMenu);

  EXPECT_EQ(ReadFileBytes(PublicFunctionUnit::IgnoreFileName()),
            "User Software Settings|HKEY_CURRENT_USER\\Software\\Zv|v\r\n");
  auto paths = [](int section) {
    std::vector<std::string> p;
    for (int i = 0; i < (*SectionResults)[section].Count(); ++i) p.push_back((*SectionResults)[section].GetItem(i).Content.KeyPath);
    return p;
  };
  EXPECT_EQ(paths(14), std::vector<std::string>{users + "\\Software\\Other"});
  EXPECT_EQ(paths(16), std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Zv\\sub"});
  EXPECT_EQ(form->RepairGrid->Item(0)->SubItems[0] + "|" + form->RepairGrid->Item(1)->SubItems[0], "1|1");
  EXPECT_EQ(form->RepairGrid->ColumnCaption(1), "Problems Found: 2");
  EXPECT_EQ(form->ProblemsPanel->Caption(), "  Details of Problems found: 2");
  EXPECT_EQ(form->ProblemsListBox->Count(), 1);
}

// The ignore file held by another program: the finding stays listed and the user is told, the
// file keeps what it had; once the file is free the same exclusion goes through.
TEST_F(MainWindowFixture, AnExclusionThatCannotBeWrittenKeepsTheFindingAndSaysSo) {
  Sections()[4].Scan = Reports({"HKEY_LOCAL_MACHINE\\a", "HKEY_LOCAL_MACHINE\\b"});
  form->ScanNowBtnClick(form->ScanNowBtn);
  const std::string file = PublicFunctionUnit::IgnoreFileName(), before = "Sounds Section|HKEY_LOCAL_MACHINE\\y|";
  WriteFileBytes(file, before);   // a last line without its line break
  auto exclude = [&] {
    form->ProblemsListBox->SetItemIndex(1);
    form->ExcludeMenuClick(dm.ExcludeMenu);
  };
  {
    // another program writes it and lets others only read
    THeldFile held(file, FILE_SHARE_READ, GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(held.Held());
    exclude();
    held.Release();
  }
  {
    THeldFile lock(file);   // nobody else may even read it: whether it ends well is unknown
    ASSERT_TRUE(lock.Held());
    exclude();
  }
  EXPECT_EQ(MessageTexts(),
            std::vector<std::string>(2, "The ignore list could not be saved, so the entry was not excluded."));
  EXPECT_EQ(MessageBoxes().Calls[0].flags & MB_ICONWARNING, (unsigned)MB_ICONWARNING);
  EXPECT_EQ((*SectionResults)[4].Count(), 2);
  EXPECT_EQ(form->RepairGrid->ColumnCaption(1), "Problems Found: 2");
  EXPECT_EQ(ReadFileBytes(file), before);

  exclude();
  EXPECT_EQ(MessageTexts().size(), 2u);
  EXPECT_EQ((*SectionResults)[4].Count(), 1);
  EXPECT_EQ(ReadFileBytes(file), before + "\r\nFont Entries|HKEY_LOCAL_MACHINE\\b|v\r\n");
}

namespace {
// Where the pop-up menus shown while it lives were placed (their windows' top-left corners).
struct TMenuPlaces {
  static inline std::vector<POINT> Points;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, Record, nullptr, GetCurrentThreadId());
  TMenuPlaces() { Points.clear(); }
  ~TMenuPlaces() { UnhookWindowsHookEx(hook); }
  static LRESULT CALLBACK Record(int code, WPARAM wp, LPARAM lp) {
    const CWPRETSTRUCT& m = *reinterpret_cast<CWPRETSTRUCT*>(lp);
    wchar_t name[16] = L"";
    if (code == HC_ACTION && m.message == WM_WINDOWPOSCHANGED && GetClassNameW(m.hwnd, name, 16) &&
        std::wstring(name) == L"#32768") {
      const WINDOWPOS& pos = *reinterpret_cast<WINDOWPOS*>(m.lParam);
      if (!(pos.flags & SWP_NOMOVE)) Points.push_back({pos.x, pos.y});
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }
};
}  // namespace

TEST_F(MainWindowFixture, TheMenuKeyOpensTheExclusionMenuAtTheFocusedRow) {
  Sections()[4].Scan = Reports({"HKEY_LOCAL_MACHINE\\a", "HKEY_LOCAL_MACHINE\\b", "HKEY_LOCAL_MACHINE\\c"});
  form->ScanNowBtnClick(form->ScanNowBtn);
  form->ProblemsListBox->SetItemIndex(1);
  RECT row = form->ProblemsListBox->ItemRect(1);
  MapWindowPoints(form->ProblemsListBox->Handle(), nullptr, reinterpret_cast<POINT*>(&row), 2);
  TMenuPlaces menus;
  // what the user types in the menu waits in the queue: the first item, then Enter
  PostMessageW(form->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(form->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  form->ProblemsListBox->Perform(WM_CONTEXTMENU, (WPARAM)form->ProblemsListBox->Handle(), -1);

  ASSERT_FALSE(TMenuPlaces::Points.empty());
  EXPECT_TRUE(PtInRect(&row, TMenuPlaces::Points[0])) << TMenuPlaces::Points[0].x << "," << TMenuPlaces::Points[0].y;
  EXPECT_EQ(ReadFileBytes(PublicFunctionUnit::IgnoreFileName()), "Font Entries|HKEY_LOCAL_MACHINE\\b|v\r\n");
  EXPECT_EQ((*SectionResults)[4].Count(), 2);
}

TEST_F(MainWindowFixture, AbortAndScannerErrorsLeaveTheWindowUsable) {
  Sections()[0].Scan = Reports({"HKEY_CLASSES_ROOT\\x"});
  Sections()[1].Scan = [this](int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&) {
    form->AbortScanBtnClick(form->AbortScanBtn);
  };
  Sections()[2].Scan = Reports({"HKEY_USERS\\never"});
  form->ScanNowBtnClick(form->ScanNowBtn);
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 1);
  EXPECT_EQ(form->RepairGrid->Count(), 1);
  EXPECT_EQ((*SectionResults)[2].Count(), 0);

  form->ScanBtnClick(form->ScanBtn);
  Sections()[1].Scan = [](int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&) {
    throw std::runtime_error("Invalid data type");
  };
  form->ScanNowBtnClick(form->ScanNowBtn);
  EXPECT_FALSE(dm.ScanTimer.Enabled() || dm.ScanTimerEx.Enabled());
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Invalid data type"});
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 1);
  EXPECT_EQ(form->RepairGrid->Count(), 1);

  // An ignore file that another program holds locked ends the scan the same way, before any
  // section could report what the user excluded.
  form->ScanBtnClick(form->ScanBtn);
  WriteFileBytes(PublicFunctionUnit::IgnoreFileName(), "Font Entries|HKEY_CLASSES_ROOT\\x|v\r\n");
  {
    THeldFile lock(PublicFunctionUnit::IgnoreFileName());
    ASSERT_TRUE(lock.Held());
    form->ScanNowBtnClick(form->ScanNowBtn);
  }
  EXPECT_FALSE(dm.ScanTimer.Enabled() || dm.ScanTimerEx.Enabled());
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Invalid data type", "Cannot open file \"" +
                                                          PublicFunctionUnit::IgnoreFileName() + "\""}));
  EXPECT_EQ((*SectionResults)[0].Count(), 0);
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
  form->BackupBtnClick(form->BackupBtn);
  EXPECT_EQ(form->MainNotebook->PageIndex(), 1);
}

TEST_F(MainWindowFixture, TimersShowTheElapsedTimeAndTheRunningTotal) {
  dm.ScanStartTime = 100.0;
  dm.Clock = [] { return 100.0 + 3723.0 / 86400; };
  dm.ScanTimerExTimer(&dm.ScanTimerEx);
  EXPECT_EQ(form->abScanTime->Caption(), "01:02:03");

  (*SectionResults)[3].Add();
  (*SectionResults)[9].Add();
  dm.AnimFrame = 11;
  dm.ScanSection = 4;
  dm.ScanTimerTimer(&dm.ScanTimer);
  EXPECT_EQ(dm.AnimFrame, 5);
  EXPECT_EQ(form->LabelWarning->Caption(), "2 Problems Found");
}

TEST_F(MainWindowFixture, ButtonsSwapTheirPicturesUnderTheMouse) {
  struct Case {
    TImageEx* Button;
    const TImageList& List;
    int Normal, Hovered;
  };
  for (const Case& c : {Case{form->ScanNowBtn, dm.ScanImageList, 0, 1}, Case{form->AbortScanBtn, dm.ScanImageList, 2, 3},
                        Case{form->RepairBtn, dm.ScanImageList, 4, 5}, Case{form->FinishBtn, dm.ScanImageList, 6, 7},
                        Case{form->HelpBtn, dm.ExBtnImageList, 0, 1}, Case{form->OptionsBtn, dm.ExBtnImageList, 2, 3},
                        Case{form->AboutBtn, dm.ExBtnImageList, 4, 5},
                        Case{form->wsMinimizedBtn, dm.MinCloseImageList, 0, 1},
                        Case{form->wsCloseBtn, dm.MinCloseImageList, 2, 3}, Case{form->HomeBtn, dm.AboutImageList, 0, 1}})
    ExpectHoverPictures(c.Button, c.List, c.Normal, c.Hovered);

  // Page buttons show which page is up; the minimise and hide buttons never overlap.
  EXPECT_TRUE(ShowsImage(form->ScanBtn, dm.MainImageList, 1));
  EXPECT_TRUE(ShowsImage(form->BackupBtn, dm.MainImageList, 2));
  form->AdvanceBtnClick(form->AdvanceBtn);
  EXPECT_TRUE(ShowsImage(form->ScanBtn, dm.MainImageList, 0));
  EXPECT_TRUE(ShowsImage(form->AdvanceBtn, dm.MainImageList, 5));
  EXPECT_LE(form->wsMinimizedBtn->Left() + form->wsMinimizedBtn->Width(), form->wsCloseBtn->Left());
  EXPECT_LE(form->wsCloseBtn->Left() + form->wsCloseBtn->Width(), form->ClientWidth());
  EXPECT_LE(form->wsCloseBtn->Top() + form->wsCloseBtn->Height(), form->AboutBtn->Top());

  // A tool's icon and its label light the label up together.
  TImageEx* icon = form->ToolIcons[4];
  EXPECT_FALSE(icon->Picture().Empty());
  icon->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(form->ToolLabels[4]->Font().Color, 0xF0CAA6u);
  icon->Perform(WM_MOUSELEAVE);
  EXPECT_EQ(form->ToolLabels[4]->Font().Color, clBlack);
  form->ToolLabels[4]->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(form->ToolLabels[4]->Font().Color, 0xF0CAA6u);
  EXPECT_EQ(form->ToolLabels[3]->Font().Color, clBlack);
}

TEST_F(MainWindowFixture, AboutBoxFromTheButtonAndTheTrayMenu) {
  std::vector<std::string> versions;
  TModalHookScope hook([&](TForm& dialog) {
    auto* about = dynamic_cast<TAboutForm*>(&dialog);
    ASSERT_NE(about, nullptr);
    versions.push_back(about->abVersion->Caption());
    about->BitBtn1->Click();
  });
  form->AboutBtnClick(form->AboutBtn);
  dm.About1->Click();
  EXPECT_EQ(versions, (std::vector<std::string>{"Version 3.0", "Version 3.0"}));

  dm.ScanTimer.SetEnabled(true);   // while a scan runs only the tray menu's item answers
  form->AboutBtnClick(form->AboutBtn);
  EXPECT_EQ(versions.size(), 2u);
  dm.About1->Click();
  EXPECT_EQ(versions.size(), 3u);
  dm.ScanTimer.SetEnabled(false);
}

TEST_F(MainWindowFixture, BackFromTheTrayTheResultsAndTicksAreAsTheUserLeftThemAndExitEnds) {
  Sections()[4].Scan = Reports({"HKEY_LOCAL_MACHINE\\a", "HKEY_LOCAL_MACHINE\\b"});
  form->ScanNowBtnClick(form->ScanNowBtn);
  ASSERT_EQ(form->ScanNotebook->PageIndex(), 1);
  RECT r = form->ProblemsListBox->ItemRect(1);
  form->ProblemsListBoxMouseDown(TMouseButton::Left, r.left + 12, r.top + 30);   // untick the second
  ASSERT_FALSE((*SectionResults)[4].GetItem(1).Content.Checked);

  form->wsCloseBtnClick(form->wsCloseBtn);
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  dm.OpenMenu->Click();
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  // Closing hides it in the tray; the second instance's message brings it back.
  form->Perform(WM_CLOSE);
  EXPECT_TRUE(!IsWindowVisible(form->Handle()) && IsIconic(form->Handle()));
  EXPECT_NE(ZelvoranMainForm, nullptr);
  form->Perform(WM_RESTORE_INSTANCE);
  EXPECT_TRUE(IsWindowVisible(form->Handle()) && !IsIconic(form->Handle()));
  form->Perform(WM_RESTORE_INSTANCE);   // shown and not minimised: nothing changes
  EXPECT_TRUE(IsWindowVisible(form->Handle()));

  EXPECT_EQ(form->ScanNotebook->PageIndex(), 1);
  EXPECT_TRUE(form->RepairBtn->Visible());
  EXPECT_TRUE((*SectionResults)[4].GetItem(0).Content.Checked && !(*SectionResults)[4].GetItem(1).Content.Checked);

  form->Perform(WM_TRAY_ICON, 0, 0x10);   // the tray menu's Exit
  EXPECT_EQ(PublicFunctionUnit::ScanState, PublicFunctionUnit::TRunState::StopScan);
  EXPECT_TRUE(Application.Terminated());
}

// ---- the tray icon while the shell's taskbar comes and goes ----

namespace {

// The shell's notification area as the tray icon sees it: it may not be there yet, and Explorer
// may start again, which forgets every icon and announces its new taskbar.
struct TShellTray {
  struct TIcon {
    UINT Callback;
    HICON Icon;
    std::wstring Tip;
  };
  bool Up = true;
  std::map<std::pair<HWND, UINT>, TIcon> Icons;
  int Adds = 0;

  BOOL Notify(DWORD action, NOTIFYICONDATAW* data) {
    auto key = std::make_pair(data->hWnd, data->uID);
    if (!Up) return FALSE;
    bool known = Icons.count(key) > 0;
    switch (action) {
      case NIM_ADD:
        ++Adds;
        if (known) return FALSE;
        Icons[key] = {data->uCallbackMessage, data->hIcon, data->szTip};
        return TRUE;
      case NIM_MODIFY:
        if (!known) return FALSE;
        Icons[key] = {data->uCallbackMessage, data->hIcon, data->szTip};
        return TRUE;
      case NIM_DELETE:
        return Icons.erase(key) > 0;
    }
    return FALSE;
  }
  void Restart(bool up) {
    Icons.clear();
    Up = up;
  }
};

struct TrayFixture : ::testing::Test, MainWindowHost {
  TShellTray shell;
  testing_support::TKeep<std::function<BOOL(DWORD, NOTIFYICONDATAW*)>> notify{TTrayIcon::NotifyIcon};
  testing_support::TKeep<int> retry{TTrayIcon::RetryInterval};

  TrayFixture() {
    TTrayIcon::NotifyIcon = [this](DWORD action, NOTIFYICONDATAW* data) { return shell.Notify(action, data); };
    TTrayIcon::RetryInterval = 20;
  }
  ~TrayFixture() {
    if (form != nullptr) form->Free();   // while the shell is still the test's
    form = nullptr;
  }
  // The main window's icon in the notification area: its callback message and tip.
  bool Shown() const {
    auto it = shell.Icons.find({form->Handle(), 0});
    return it != shell.Icons.end() && it->second.Callback == WM_TRAY_ICON && it->second.Tip == L"Zelvoran" &&
           it->second.Icon != nullptr;
  }
  // Messages are handled (the retry's timer among them) until the icon is shown, a few seconds at most.
  bool ShownSoon() {
    for (int i = 0; i < 500 && !Shown(); ++i) {
      Application.ProcessMessages();
      Sleep(10);
    }
    return Shown();
  }
  void TaskbarCreated() { SendMessageW(form->Handle(), TTrayIcon::TaskbarCreatedMessage(), 0, 0); }
};

}  // namespace

TEST_F(TrayFixture, TheIconIsInTheNotificationAreaWhateverTheShellDoesUntilTheProgramEnds) {
  struct TStep {
    const char* What;
    std::function<void()> Do;
  };
  const TStep steps[] = {
      {"the taskbar is there at the start", [&] { CreateAndShow(); }},
      {"Explorer starts again", [&] {
         shell.Restart(true);
         TaskbarCreated();
       }},
      {"Explorer starts again and its taskbar comes later", [&] {
         shell.Restart(false);
         TaskbarCreated();
         EXPECT_FALSE(Shown());
         shell.Up = true;
       }},
      {"the announcement comes twice", [&] { TaskbarCreated(); }},
  };
  for (const TStep& step : steps) {
    step.Do();
    EXPECT_TRUE(ShownSoon()) << step.What;
    EXPECT_EQ(shell.Icons.size(), 1u) << step.What;
  }
  // the tray's messages still reach the window, also an elevated one (the system's call is there)
  EXPECT_TRUE(AllowMessageFromLowerRights(form->Handle(), TTrayIcon::TaskbarCreatedMessage()));
  form->Perform(WM_CLOSE);
  form->Perform(WM_TRAY_ICON, 0, WM_LBUTTONDOWN);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));

  // the program ends: the icon goes and nothing adds it again
  form->Free();
  form = nullptr;
  int adds = shell.Adds;
  for (int i = 0; i < 10; ++i) {
    Application.ProcessMessages();
    Sleep(30);
  }
  EXPECT_TRUE(shell.Icons.empty());
  EXPECT_EQ(shell.Adds, adds);
}

TEST_F(TrayFixture, AProgramStartedBeforeTheTaskbarGetsItsIconWhenTheTaskbarComes) {
  shell.Up = false;
  CreateAndShow();
  EXPECT_FALSE(Shown());
  shell.Up = true;   // no announcement: the add is tried again by itself
  EXPECT_TRUE(ShownSoon());
  int adds = shell.Adds;
  for (int i = 0; i < 10; ++i) {
    Application.ProcessMessages();
    Sleep(30);
  }
  EXPECT_EQ(shell.Adds, adds);   // once there, it is not added again
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}
