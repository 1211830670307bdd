// The unattended scan of a start with a command-line argument (the scheduled job passes "-Scan"):
// the main window scans by itself a second after its first activation, with the real scanners
// of two sections pointed at problems planted in the test's own keys, and lists what they found.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/MainWindowHost.h"
#include "scan/SharedDLLsUnit.h"
#include "scan/WindowsFontsUnit.h"

using namespace MainUnit;
using testing_support::MessageBoxes;
using testing_support::RegSandbox;

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
    TLockedFile lock(PublicFunctionUnit::IgnoreFileName());
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
