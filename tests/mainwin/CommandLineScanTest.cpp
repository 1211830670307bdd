// The unattended scan of a start with a command-line argument (the scheduled job passes "-Scan"):
// the main window scans by itself a second after its first activation, with the real scanners
// of two sections pointed at problems planted in the test's own keys, and lists what they found.
// A later start hands its parameter over to the running window, which scans once it is free.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/ZelvoranStartup.h"
#include "support/Fuzz.h"
#include "support/HeldFile.h"
#include "support/MainWindowHost.h"
#include "scan/SharedDLLsUnit.h"
#include "scan/WindowsFontsUnit.h"

using namespace MainUnit;
using testing_support::MessageBoxes;
using testing_support::RegSandbox;
using testing_support::THeldFile;

namespace {

struct CommandLineScan : ::testing::Test, MainWindowHost {
  RegSandbox fonts{HKEY_CURRENT_USER, "Software\\ZelvoranTest", "Fonts"};
  RegSandbox dlls{HKEY_CURRENT_USER, "Software\\ZelvoranTest", "SharedDlls"};
  std::vector<std::string> events;   // activations, waits and scans, in order

  CommandLineScan() {
    // The problems: a font file that is not there, one named by its full path, and a shared DLL
    // that is gone; beside them entries that are sound.
    fonts.SetString("", "Zv Missing", "zv-cmdline-missing.ttf");
    fonts.SetString("", "Zv Gone", folder.Path() + "gone.ttf");
    fonts.SetString("", "Zv Present", folder.WriteFile("present.ttf"));
    dlls.SetDword("", folder.Path() + "gone.dll", 1);
    dlls.SetDword("", folder.WriteFile("present.dll"), 2);

    // Every section runs: the first one notes the time, the two planted ones scan their keys.
    Sections()[0].Scan = [this](int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&) {
      events.push_back("scan");
    };
    MainUnit::Delay = [this](DWORD ms) {
      events.push_back(Format("wait %d ms", (int)ms));
      Application.ProcessMessages();
    };
    Sections()[4].Scan = ScanAt(WindowsFontsUnit::ScanFonts, fonts.Path());
    Sections()[9].Scan = ScanAt(SharedDLLsUnit::ScanSharedDlls, dlls.Path());
  }

  // What the activations started: the waits and scans, in order.
  std::vector<std::string> Work() const {
    std::vector<std::string> work = events;
    std::erase(work, "activated");
    return work;
  }

  // Creates the window as start-up does and shows it; its first activation runs the scan.
  void Start(const std::string& parameter) {
    PublicFunctionUnit::CommandLineParam = parameter;
    Create();
    TNotifyEvent activate = form->OnActivate;
    form->OnActivate = [this, activate](TObject* s) {
      events.push_back("activated");
      activate(s);
    };
    Application.ProcessMessages();
    EXPECT_TRUE(events.empty());   // nothing before the window is up
    form->Show();
    Application.ProcessMessages();
    // The activation handler runs the whole scan before it returns.
    if (events.empty()) form->Perform(WM_ACTIVATE, WA_ACTIVE);
    Application.ProcessMessages();
  }
};

}  // namespace

TEST_F(CommandLineScan, ScansASecondAfterTheFirstActivationAndListsThePlantedProblems) {
  Start("-Scan");
  // It waits its second, processing messages, then scans.
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], "activated");
  ASSERT_EQ(Work(), (std::vector<std::string>{"wait 1000 ms", "scan"}));
  EXPECT_FALSE(dm.ScanTimer.Enabled() || dm.ScanTimerEx.Enabled());

  // The results page, as after the scan button (its layout is the main window tests' own).
  ASSERT_EQ(form->ScanNotebook->PageIndex(), 1);
  ASSERT_EQ(form->RepairGrid->Count(), 2);
  EXPECT_EQ(form->RepairGrid->Item(0)->SubItems, (std::vector<std::string>{"2", "4"}));
  EXPECT_EQ(form->RepairGrid->Item(1)->SubItems, (std::vector<std::string>{"1", "9"}));

  // Each finding with its detail lines, ticked as the setting says.
  ASSERT_EQ(form->ProblemsListBox->Count(), 2);
  std::string keyPath, valueName, value, fault;
  form->GetFindingText(4, 1, keyPath, valueName, value, fault);   // values come in name order
  EXPECT_EQ(keyPath + valueName + value, " Key Path:" + fonts.FullPath() + " ValueName:Zv Missing Value:zv-cmdline-missing.ttf");
  form->GetFindingText(4, 0, keyPath, valueName, value, fault);
  EXPECT_EQ(valueName, " ValueName:Zv Gone");
  EXPECT_EQ(ShownTick(*form->ProblemsListBox, 1), 1);
  form->RepairGrid->SetItemIndex(1);
  ASSERT_EQ(form->ProblemsListBox->Count(), 1);
  EXPECT_EQ((*SectionResults)[9].GetItem(0).Content.ValueName, folder.Path() + "gone.dll");
  EXPECT_EQ(form->abLevel->Caption(), "High");

  // Later activations start nothing.
  form->Perform(WM_ACTIVATE, WA_ACTIVE);
  Application.ProcessMessages();
  EXPECT_EQ(Work(), (std::vector<std::string>{"wait 1000 ms", "scan"}));
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(CommandLineScan, ABlankArgumentStartsNothing) {
  Start("   ");
  EXPECT_TRUE(!events.empty() && Work().empty());
  EXPECT_EQ(form->ScanNotebook->PageIndex() + (*SectionResults)[4].Count(), 0);
  EXPECT_TRUE(form->ScanNowBtn->Visible());
}

TEST_F(CommandLineScan, AnUnreadableIgnoreFileEndsTheScanAndLeavesTheWindowUsable) {
  WriteFileBytes(PublicFunctionUnit::IgnoreFileName(), "Font Entries|HKEY_CURRENT_USER\\x|v\r\n");
  {
    THeldFile lock(PublicFunctionUnit::IgnoreFileName());
    Start("-Scan");
  }
  EXPECT_EQ(std::count(events.begin(), events.end(), "scan"), 0);
  EXPECT_FALSE(dm.ScanTimer.Enabled() || dm.ScanTimerEx.Enabled());
  EXPECT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
  form->FinishBtnClick(form->FinishBtn);
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 0);
  EXPECT_TRUE(form->ScanNowBtn->Visible());
}

// ---- a later start's parameter, handed over to the running instance ----

namespace {

// While the tray menu is open: whether a scan asked for started (read by a timer inside the menu).
TZelvoranMainForm* menuOwner = nullptr;
int scansInMenu = -1;
void CALLBACK TryScanInMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  menuOwner->StartRequestedScan();
  scansInMenu = menuOwner->ScanRequested() ? 0 : 1;
  EndMenu();
}

// The handed-over text as a later start sends it.
LRESULT Send(TZelvoranMainForm* form, const std::wstring& text, ULONG_PTR kind = CommandLineData) {
  COPYDATASTRUCT data{kind, (DWORD)(text.size() * sizeof(wchar_t)), (void*)text.data()};
  return form->Perform(WM_COPYDATA, 0, (LPARAM)&data);
}

}  // namespace

TEST_F(CommandLineScan, TheScheduledStartHandsItsScanToTheInstanceInTheTrayWhichShowsItselfAndScans) {
  Start("");
  ASSERT_TRUE(Work().empty());
  form->Perform(WM_CLOSE);   // in the tray
  ASSERT_TRUE(!IsWindowVisible(form->Handle()) && IsIconic(form->Handle()));

  // the second start of the scheduled job: its parameter goes over and it ends
  EXPECT_TRUE(Zelvoran::HandOverToRunningInstance(form->Handle(), "-Scan"));
  EXPECT_TRUE(IsWindowVisible(form->Handle()) && !IsIconic(form->Handle()));
  EXPECT_TRUE(form->ScanRequested());
  EXPECT_TRUE(Work().empty()) << "the scan starts from the message loop, not inside the message";

  // the program is free: as a start with the parameter, a second's pause, then the scan
  form->AdvanceBtnClick(form->AdvanceBtn);
  form->StartRequestedScan();
  EXPECT_EQ(Work(), (std::vector<std::string>{"wait 1000 ms", "scan"}));
  EXPECT_FALSE(form->ScanRequested());
  EXPECT_EQ(form->MainNotebook->PageIndex(), 0);
  ASSERT_EQ(form->ScanNotebook->PageIndex(), 1);
  EXPECT_EQ(form->RepairGrid->Count(), 2);
  form->StartRequestedScan();   // asked once, scanned once
  EXPECT_EQ(Work().size(), 2u);

  // a start without a parameter only brings the window back, as before
  form->Perform(WM_CLOSE);
  EXPECT_TRUE(Zelvoran::HandOverToRunningInstance(form->Handle(), "  "));
  Application.ProcessMessages();
  EXPECT_TRUE(IsWindowVisible(form->Handle()) && !IsIconic(form->Handle()));
  EXPECT_FALSE(form->ScanRequested());
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(CommandLineScan, AHandedOverScanWaitsUntilTheProgramIsFreeForIt) {
  Start("");
  struct THold {
    const char* What;
    std::function<void()> Take, Release;
  };
  HWND box = nullptr;
  TBusyGuard* busy = nullptr;
  const THold holds[] = {
      {"a repair or a busy page", [&] { busy = new TBusyGuard(form); }, [&] { delete busy; }},
      {"a modal dialog", [&] { EnableWindow(form->Handle(), FALSE); }, [&] { EnableWindow(form->Handle(), TRUE); }},
      {"a message box",
       [&] {
         box = CreateWindowExW(0, L"#32770", L"Zelvoran", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
       },
       [&] { DestroyWindow(box); }},
  };
  for (const THold& hold : holds) {
    events.clear();
    hold.Take();
    Send(form, L"-Scan");
    form->StartRequestedScan();
    EXPECT_TRUE(Work().empty()) << hold.What;
    EXPECT_TRUE(form->ScanRequested()) << hold.What;
    hold.Release();
    form->StartRequestedScan();
    EXPECT_EQ(Work(), (std::vector<std::string>{"wait 1000 ms", "scan"})) << hold.What;
    EXPECT_FALSE(form->ScanRequested()) << hold.What;
  }

  // asked for while the tray menu is open: the scan waits until the menu has closed
  events.clear();
  Send(form, L"-Scan");
  menuOwner = form;
  scansInMenu = -1;
  SetTimer(nullptr, 0, 200, TryScanInMenu);
  dm.MainPopupMenu.Popup(300, 300, form->Handle());
  EXPECT_EQ(scansInMenu, 0);
  EXPECT_TRUE(Work().empty());
  form->StartRequestedScan();
  EXPECT_EQ(Work(), (std::vector<std::string>{"wait 1000 ms", "scan"}));

  // asked for during a scan: that scan is the one asked for
  events.clear();
  dm.ScanTimer.SetEnabled(true);
  Send(form, L"-Scan");
  dm.ScanTimer.SetEnabled(false);
  form->StartRequestedScan();
  EXPECT_TRUE(Work().empty());
  EXPECT_FALSE(form->ScanRequested());

  // asked for while busy, then the user scans first: no second scan follows
  {
    TBusyGuard repair(form);
    Send(form, L"-Scan");
  }
  form->ScanBtnClick(form->ScanBtn);
  form->ScanNowBtnClick(form->ScanNowBtn);
  form->StartRequestedScan();
  EXPECT_EQ(Work(), (std::vector<std::string>{"scan"}));
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

// The scheduled job's scan that arrives while a repair runs, or while its finish page is shown,
// waits until the user has left that page: the page is the repair's only report.
TEST_F(CommandLineScan, AScanHandedOverDuringARepairWaitsUntilTheUserLeavesTheFinishPage) {
  Start("-Scan");
  ASSERT_EQ(form->RepairGrid->Count(), 2);
  PublicFunctionUnit::MyRegistryInfo.NotAutoBackup = true;
  int repaired = 0;
  Sections()[4].Repair = [&](TCaptionTarget&, TListCountTarget& finish, TRegistryContents& c, TRepairContents& log) {
    for (int i = 0; i < c.Count(); ++i) {
      TRepairRec& line = log.GetItem(log.Add()).Content;
      line.KeyPath = c.GetItem(i).Content.KeyPath;
      line.Status = SectionCommon::RepairedText;
      finish.SetItemCount(log.Count());
      ++repaired;
    }
    // the second start of the scheduled job, and the request's timer, while the repair runs
    Send(form, L"-Scan");
    form->StartRequestedScan();
  };
  Sections()[9].Repair = [](TCaptionTarget&, TListCountTarget&, TRegistryContents&, TRepairContents&) {};
  events.clear();
  form->RepairBtnClick(form->RepairBtn);
  ASSERT_EQ(repaired, 2);
  EXPECT_TRUE(form->ScanRequested());

  // on the finish page and from each place that does not leave it, the request waits
  struct TStay {
    const char* What;
    std::function<void()> Do;
  };
  const TStay stays[] = {
      {"the finish page as the repair left it", [] {}},
      {"hidden in the tray and brought back", [&] {
         form->Perform(WM_CLOSE);
         form->WMRestoreInstance();
       }},
      {"another request", [&] { Send(form, L"-Scan"); }},
  };
  for (const TStay& stay : stays) {
    stay.Do();
    form->StartRequestedScan();
    EXPECT_TRUE(Work().empty()) << stay.What;
    EXPECT_TRUE(form->ScanRequested()) << stay.What;
    EXPECT_EQ(form->ScanNotebook->PageIndex(), 2) << stay.What;
    EXPECT_EQ(form->FinishListView->Count(), 2) << stay.What;
    EXPECT_EQ(RepairLog->Count(), 2) << stay.What;
  }

  // the user leaves the finish page: the scan asked for runs, once
  form->FinishBtnClick(form->FinishBtn);
  form->StartRequestedScan();
  EXPECT_EQ(Work(), (std::vector<std::string>{"wait 1000 ms", "scan"}));
  EXPECT_FALSE(form->ScanRequested());
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 1);

  // leaving it by a page button does as well
  events.clear();
  form->RepairBtnClick(form->RepairBtn);
  ASSERT_EQ(form->ScanNotebook->PageIndex(), 2);
  Send(form, L"-Scan");
  form->StartRequestedScan();
  EXPECT_TRUE(Work().empty());
  form->BackupBtnClick(form->BackupBtn);
  form->StartRequestedScan();
  EXPECT_EQ(Work(), (std::vector<std::string>{"wait 1000 ms", "scan"}));
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(CommandLineScan, OnlyTheScheduledJobsParameterStartsAScan) {
  Start("");
  struct TCase {
    std::wstring Text;
    ULONG_PTR Kind;
    LRESULT Taken;
    bool Scan;
  };
  const TCase cases[] = {
      {L"-Scan", CommandLineData, TRUE, true},
      {L"  -scan ", CommandLineData, TRUE, true},
      {L"/Scan", CommandLineData, TRUE, false},
      {L"-Scan -Repair", CommandLineData, TRUE, false},
      {L"", CommandLineData, TRUE, false},
      {std::wstring(L"-Scan\0x", 7), CommandLineData, TRUE, false},
      {L"-Scan", 1, FALSE, false},
      {std::wstring(MaxCommandLineData, L'-'), CommandLineData, FALSE, false},
  };
  for (const TCase& c : cases) {
    form->Perform(WM_CLOSE);
    EXPECT_EQ(Send(form, c.Text, c.Kind), c.Taken) << Narrow(c.Text);
    EXPECT_EQ(form->ScanRequested(), c.Scan) << Narrow(c.Text);
    EXPECT_EQ(IsWindowVisible(form->Handle()) != FALSE, c.Taken == TRUE) << Narrow(c.Text);
    form->ScanNowBtnClick(form->ScanNowBtn);   // answers any request
    form->ScanBtnClick(form->ScanBtn);
  }
  // an odd number of bytes, or none where some are announced
  COPYDATASTRUCT odd{CommandLineData, 3, (void*)L"-S"};
  EXPECT_EQ(form->Perform(WM_COPYDATA, 0, (LPARAM)&odd), FALSE);
  COPYDATASTRUCT none{CommandLineData, 10, nullptr};
  EXPECT_EQ(form->Perform(WM_COPYDATA, 0, (LPARAM)&none), FALSE);
  EXPECT_FALSE(form->ScanRequested());

  // malformed data of every shape, from a fixed seed: never more than a scan request for the parameter
  std::vector<std::string> samples;
  for (const wchar_t* text : {L"-Scan", L" -Scan", L"-Scan ", L"-scan", L"Scan", L"-Scanner", L"-Ścan"})
    samples.emplace_back((const char*)text, wcslen(text) * sizeof(wchar_t));
  testing_support::TFuzzInputs inputs(samples);
  for (int i = 0; i < 300; ++i) {
    std::string bytes = inputs.Next();
    COPYDATASTRUCT data{CommandLineData, (DWORD)bytes.size(), bytes.data()};
    form->Perform(WM_COPYDATA, 0, (LPARAM)&data);
    if (form->ScanRequested()) {
      std::wstring text((const wchar_t*)bytes.data(), bytes.size() / 2);
      EXPECT_TRUE(SameText(Trim(Narrow(text)), "-Scan")) << i;
      form->ScanNowBtnClick(form->ScanNowBtn);
      form->ScanBtnClick(form->ScanBtn);
    }
  }
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}
