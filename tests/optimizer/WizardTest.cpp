// The optimizer page in-process: its buttons, the models' presets, hover texts, Optimize and Fast
// Optimize with their backups, the backup list with Restore and Delete, and the messages.
#include <gtest/gtest.h>

#include "OptimizerTestSupport.h"
#include "framework/Exceptions.h"
#include "framework/IniFiles.h"
#include "framework/StringList.h"
#include "scan/PublicFunctionUnit.h"
#include "support/HeldFile.h"
#include "support/TestSupport.h"
#include "tools/optimizer/SpeedItemUnit.h"
#include "tools/optimizer/SystemSpeedUnit.h"

using namespace optimizer_test;
using namespace SystemSpeedUnit;
using namespace UnitServicesOptimize;
using testing_support::THeldFile;
using testing_support::MessageBoxes;
using testing_support::MessageTexts;
using testing_support::TempFolder;

namespace {

const char* const kDesktop = "Control Panel\\Desktop";
const char* const kPolicy = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const TDateTime kStamp = 45293.12792824074;   // 2024-01-02 03:04:13
const char* const kFileName = "speedRestore20240102_030413.ini";

struct OptimizerWizard : ::testing::Test {
  TServiceGuard services;
  TTweakKeysGuard keys;
  TempFolder temp;
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::Dialog})};
  TOptimizeForm* page = nullptr;
  testing_support::TKeep<SpeedItemUnit::TRegistryRefusal> refusal{SpeedItemUnit::RefuseRegistryChange, nullptr};

  OptimizerWizard() {
    MessageBoxes().Clear();
    host->SetClientSize(500, 370);
    page = static_cast<TOptimizeForm*>(NewSystemOptimizerPage(host.get()));
    page->BackupFolder = temp.Path();
    page->Clock = [] { return kStamp; };
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }

  void Press(TButton* button) { Guarded([&] { button->Click(); }); }
  // Restore on the backup page with the row of `name` selected; the message boxes it showed.
  std::vector<std::string> Restore(const std::string& name) {
    if (page->Step() != TOptimizeStep::Backups) Press(page->btnDefault);
    MessageBoxes().Clear();
    page->ListView1->SetItemIndex(RowOf(name));
    Press(page->BtnRestore);
    return MessageTexts();
  }
  // Back to the model page, the model chosen, on to the services page.
  void Model(int index) {
    for (int i = 0; i < 3 && page->Step() != TOptimizeStep::Model; ++i) Press(page->ReturnBtn);
    page->RGMode->SetItemIndex(index);
    Press(page->btnOptimize);
  }
  int RowOf(const std::string& name) const {
    for (int i = 0; i < page->ListView1->Count(); ++i)
      if (page->ListView1->Item(i)->Caption == name) return i;
    return -1;
  }
  std::vector<bool> ServiceBoxes() const {
    std::vector<bool> boxes;
    for (TCheckBox* box : page->chk) boxes.push_back(box->Checked());
    return boxes;
  }
};

// The spooler disabled in the service manager and stopped, as by a user without a printer.
void DisableSpooler() {
  ASSERT_TRUE(SetServiceStartValue(SERVICE_DISABLED, "Spooler"));
  StopServiceByName("Spooler");
  ASSERT_TRUE(WaitForServiceState("Spooler", false));
}

// Button states: page, Next visible/enabled, Optimize visible/enabled, Fast Optimize, Back and
// Reset enabled, Reset's caption.
std::string States(const TOptimizeForm& p) {
  auto flag = [](TControl* c) { return std::string(c->Visible() ? "v" : "h") + (c->Enabled() ? "e" : "d"); };
  return std::to_string((int)p.Step() + 1) + " next " + flag(p.btnOptimize) + " exe " + flag(p.btnExe) + " fast " +
         flag(p.btnOneClick) + " back " + flag(p.ReturnBtn) + " " + p.btnDefault->Caption() + " " +
         flag(p.btnDefault);
}

TEST_F(OptimizerWizard, StartsOnTheModelPageWithTheSystemsServicesAndDescribesWhatIsHovered) {
  EXPECT_EQ(page->Caption(), "Optimize System ");
  EXPECT_EQ(page->RGMode->ItemIndex(), 1);
  EXPECT_EQ(page->MemoText->Text(), Models[1].Description);
  EXPECT_EQ(page->Memo1->Text(), IntroductionText);
  EXPECT_EQ(page->RGMode->Button(4)->Caption(), "Internet Café Model");
  EXPECT_EQ(page->chk[0]->Caption(), "Enalbe Event Viewer");
  EXPECT_EQ(page->Ochk[26]->Caption(), "System Board and Memory Optimizations");
  // Installed and not disabled: Eventlog (chk1), Spooler (chk4); not installed: Themes (chk20).
  EXPECT_TRUE(page->chk[0]->Checked() && page->chk[3]->Checked() && !page->chk[19]->Checked());
  for (TCheckBox* box : page->Ochk) EXPECT_FALSE(box->Checked());
  page->RGMode->SetItemIndex(6);
  EXPECT_EQ(page->MemoText->Text(), "Manually modify part of services settings.");
  // Hovering over a box replaces the description.
  page->chk[0]->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(page->MemoSer->Text(),
            "Enables event log messages issued by Windows-based programs and components to be viewed inEvent Viewer. "
            "This service cannot be stopped.");
  page->Ochk[1]->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(page->MemoReg->Text(), "Optimization of Start Menu is able to accelerate all menus\u2019 speed. ");
  page->Ochk[13]->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(page->MemoReg->Text(), "");
}

TEST_F(OptimizerWizard, ButtonsFollowTheStepsTable) {
  struct TStep {
    TButton* TOptimizeForm::*Button;
    const char* After;
  };
  const TStep steps[] = {
      {nullptr, "1 next ve exe he fast ve back ve Reset ve"},
      {&TOptimizeForm::btnOptimize, "2 next ve exe he fast ve back ve Reset vd"},
      {&TOptimizeForm::btnOptimize, "3 next he exe ve fast ve back ve Reset vd"},
      {&TOptimizeForm::ReturnBtn, "2 next ve exe he fast ve back ve Reset vd"},
      {&TOptimizeForm::ReturnBtn, "1 next ve exe he fast ve back ve Reset ve"},
      {&TOptimizeForm::btnDefault, "4 next vd exe hd fast vd back vd Return ve"},
      {&TOptimizeForm::btnDefault, "1 next ve exe he fast ve back ve Reset ve"},
  };
  for (const TStep& s : steps) {
    if (s.Button != nullptr) Press(page->*s.Button);
    EXPECT_EQ(States(*page), s.After);
  }
}

TEST_F(OptimizerWizard, ModelsPresetTheBoxesWhenTheirPagesAreReached) {
  Model(1);
  Press(page->btnOptimize);
  page->Ochk[2]->SetChecked(true);   // off in the "Office Model": Back then Next presets it again
  Press(page->ReturnBtn);
  Press(page->btnOptimize);
  EXPECT_FALSE(page->Ochk[2]->Checked());
  EXPECT_TRUE(page->Ochk[0]->Checked());
  Model(4);   // "Internet Café Model"
  EXPECT_FALSE(page->chk[0]->Checked());    // Event Viewer off
  EXPECT_TRUE(page->chk[16]->Checked());    // Time Synchronizing on
  EXPECT_FALSE(page->chk[3]->Checked());    // printer support off
  Press(page->btnOptimize);
  EXPECT_TRUE(page->Ochk[20]->Checked());   // Quit Without Auto Saving
  EXPECT_FALSE(page->Ochk[25]->Checked());  // Athlon fix
  page->Ochk[2]->SetChecked(true);
  Model(0);
  EXPECT_EQ(ServiceBoxes(), std::vector<bool>(ServiceBoxCount, true));
  Press(page->btnOptimize);
  EXPECT_TRUE(page->Ochk[2]->Checked());    // model 0 keeps the tweak boxes
  EXPECT_TRUE(page->Ochk[20]->Checked());
  Press(page->ReturnBtn);
  Press(page->ReturnBtn);
  page->RGMode->SetItemIndex(6);
  page->chk[5]->SetChecked(false);
  std::vector<bool> before = ServiceBoxes();
  Press(page->btnOptimize);
  EXPECT_EQ(ServiceBoxes(), before);        // Customization keeps the service boxes
  Press(page->btnOptimize);
  for (TCheckBox* box : page->Ochk) EXPECT_FALSE(box->Checked());   // and clears the tweak boxes
}

TEST_F(OptimizerWizard, OptimizeBacksUpAppliesAndRestoreUndoes) {
  TServiceState spooler = QueryServiceState("Spooler"), term = QueryServiceState("TermService"),
                wu = QueryServiceState("wuauserv");
  Plant(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay", Sz("250"));
  Model(6);
  page->chk[3]->SetChecked(false);   // printer support (Spooler) off
  page->chk[17]->Click();            // multi-users (TermService): off, then on again
  page->chk[17]->Click();
  Press(page->btnOptimize);
  page->Ochk[1]->SetChecked(true);   // "Optimize Menu Display"
  Press(page->btnExe);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{OptimizedText});
  EXPECT_EQ(MessageBoxes().Calls[0].flags, 0u);
  EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay"), Describe(Sz("400")));
  EXPECT_TRUE(ServiceIs("Spooler", SERVICE_DISABLED, false));
  EXPECT_TRUE(ServiceIs("TermService", SERVICE_AUTO_START, true));
  EXPECT_EQ(QueryServiceState("wuauserv").StartType, wu.StartType);   // a box only showing the system
  TIniFile ini(temp.Path() + kFileName);
  EXPECT_EQ(ini.ReadString("Quicken menu display speed", "F1", ""), "250");

  EXPECT_EQ(States(*page), "3 next he exe ve fast ve back ve Reset ve");
  temp.WriteFile("SPEEDtest.ini", "");
  temp.WriteFile("backup.ini", "");
  Press(page->btnDefault);
  EXPECT_GE(RowOf(kFileName), 0);
  EXPECT_GE(RowOf("SPEEDtest.ini"), 0);
  EXPECT_EQ(RowOf("backup.ini"), -1);
  EXPECT_EQ(page->ListView1->Item(RowOf(kFileName))->Text(1), temp.Path() + kFileName);

  MessageBoxes().Clear();
  page->ListView1->SetItemIndex(RowOf(kFileName));
  Press(page->BtnRestore);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{RestoredText});
  EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay"), Describe(Sz("250")));
  EXPECT_TRUE(ServiceIs("Spooler", spooler.StartType, spooler.Running));
  EXPECT_TRUE(ServiceIs("TermService", term.StartType, term.Running));

  MessageBoxes().Clear();
  page->ListView1->SetItemIndex(RowOf(kFileName));
  Press(page->btndelete);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{DeletedText});
  EXPECT_EQ(RowOf(kFileName), -1);
  EXPECT_FALSE(FileExists(temp.Path() + kFileName));
  Press(page->btnDefault);   // Return: "Optimize" stays as it was on the tweak page
  EXPECT_EQ(States(*page), "1 next he exe ve fast ve back ve Reset ve");
}

TEST_F(OptimizerWizard, FastOptimizeKeepsTheServicesWithCustomizationAndSwitchesThemOnWithTheDefaultModel) {
  auto states = [] {
    std::string text;
    for (const char* name : {"Eventlog", "Spooler", "TermService", "wuauserv"})
      text += Format("%s %u %d, ", name, (unsigned)QueryServiceState(name).StartType, (int)QueryServiceState(name).Running);
    return text;
  };
  std::string before = states();
  page->RGMode->SetItemIndex(6);
  Press(page->btnOneClick);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{FastOptimizedText});
  EXPECT_EQ(states(), before);
  EXPECT_FALSE(FileExists(temp.Path() + kFileName));
  EXPECT_EQ(page->Step(), TOptimizeStep::Model);

  // The default model switches every service on, and its backup switches them back.
  TServiceState spooler = QueryServiceState("Spooler");
  page->RGMode->SetItemIndex(0);
  MessageBoxes().Clear();
  Press(page->btnOneClick);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{FastOptimizedText});
  for (const char* name : {"Spooler", "TermService", "wuauserv"}) EXPECT_TRUE(ServiceIs(name, SERVICE_AUTO_START, true)) << name;
  RestoreSpeedFile(temp.Path() + kFileName);
  EXPECT_TRUE(ServiceIs("Spooler", spooler.StartType, spooler.Running));
}

// A refused write shows a warning instead of success; a value of the wrong type ends the run
// with the error box.
TEST_F(OptimizerWizard, RefusedChangeOrWrongValueTypeShowsNoSuccess) {
  SpeedItemUnit::RefuseRegistryChange = [](HKEY, const std::string&, const std::string& value) {
    return value == "MenuShowDelay";
  };
  Model(6);
  Press(page->btnOptimize);
  page->Ochk[1]->SetChecked(true);
  Press(page->btnExe);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, Format(NotOptimizedText, 1));
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)MB_ICONWARNING);
  // Refused again in the restore: the item is named, and no success is shown.
  EXPECT_EQ(Restore(kFileName), std::vector<std::string>{Format(NotRestoredText, "Quicken menu display speed")});
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)MB_ICONWARNING);
  SpeedItemUnit::RefuseRegistryChange = nullptr;
  Plant(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay", Dw(400));
  page->Clock = [] { return kStamp + 1; };   // a backup file of its own
  MessageBoxes().Clear();
  Press(page->btnExe);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Invalid data type for 'MenuShowDelay'"});
}

TEST_F(OptimizerWizard, RestoreAndDeleteNeedARowAndOldFilesSwitchEveryServiceOn) {
  Press(page->btnDefault);
  Press(page->BtnRestore);
  Press(page->btndelete);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{ChooseFirstText, ChooseFirstText}));
  temp.WriteFile("speedOld.ini", "[Unknown]\r\nF1=1\r\n");
  Press(page->btnDefault);
  Press(page->btnDefault);
  DisableSpooler();
  EXPECT_EQ(Restore("speedOld.ini"), std::vector<std::string>{RestoredText});
  EXPECT_EQ(ServiceBoxes(), std::vector<bool>(ServiceBoxCount, true));
  EXPECT_TRUE(ServiceIs("Spooler", SERVICE_AUTO_START, true));
  EXPECT_TRUE(WaitForServiceState("wuauserv", true));
}

// The backups lie in the program's folder, shared by every user of the machine: one noting another
// user is not listed, and restoring it (reached otherwise) writes nothing, leaves the file and says
// why; the current user's (their SID in any case) and those noting no user are listed and restored.
TEST_F(OptimizerWizard, AnotherUsersBackupIsNeitherListedNorRestoredAndStays) {
  Plant(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay", Sz("400"));
  struct TCase {
    std::string Name, User, Saved;
    bool Mine;
  };
  const TCase cases[] = {
      {"speedRestore20240101_000001.ini", "User=S-1-5-21-1004336348-1177238915-682003330-1001\r\n", "111", false},
      {"speedRestore20240101_000002.ini", "User=" + AnsiLowerCase(PublicFunctionUnit::CurrentUserSid()) + "\r\n", "222", true},
      {"speedRestore20240101_000003.ini", "", "333", true},
  };
  for (const TCase& c : cases)
    temp.WriteFile(c.Name, "[Backup]\r\nFormat=2\r\n" + c.User + "[Quicken menu display speed]\r\nF1=" + c.Saved + "\r\n");
  Press(page->btnDefault);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(RowOf(c.Name) >= 0, c.Mine);
    const std::string bytes = ReadFileBytes(temp.Path() + c.Name);
    MessageBoxes().Clear();
    Guarded([&] { page->RestoreSpeedBackup(temp.Path() + c.Name); });
    if (c.Mine) {
      EXPECT_EQ(MessageTexts(), std::vector<std::string>{RestoredText});
      EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay"), Describe(Sz(c.Saved)));
      continue;
    }
    EXPECT_EQ(MessageTexts(),
              std::vector<std::string>{Format(PublicFunctionUnit::OtherUsersBackupText, temp.Path() + c.Name)});
    EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)MB_ICONWARNING);
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay"), Describe(Sz("400")));
    EXPECT_EQ(ReadFileBytes(temp.Path() + c.Name), bytes);
    EXPECT_TRUE(RestoreSpeedFile(temp.Path() + c.Name).OtherUser);
  }
}

// A run never saves into the file of an earlier run, which may be another user's (of the same
// second): its backup goes to a file of its own, named after the next free second.
TEST_F(OptimizerWizard, ARunNeverSavesIntoTheBackupOfAnEarlierRun) {
  const std::string theirs = "[Backup]\r\nFormat=2\r\nUser=S-1-5-21-1004336348-1177238915-682003330-1001\r\n"
                             "[Quicken menu display speed]\r\nF1=111\r\n";
  temp.WriteFile(kFileName, theirs);
  Plant(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay", Sz("250"));
  Model(6);
  Press(page->btnOptimize);
  page->Ochk[1]->SetChecked(true);
  Press(page->btnExe);
  EXPECT_EQ(ReadFileBytes(temp.Path() + kFileName), theirs);
  const std::string mine = "speedRestore20240102_030414.ini";
  TIniFile ini(temp.Path() + mine);
  EXPECT_EQ(ini.ReadString("Backup", "User", ""), PublicFunctionUnit::CurrentUserSid());
  EXPECT_EQ(ini.ReadString("Quicken menu display speed", "F1", ""), "250");
  EXPECT_EQ(Restore(mine), std::vector<std::string>{RestoredText});
  EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay"), Describe(Sz("250")));
  EXPECT_EQ(RowOf(kFileName), -1);
}

// A run that drives no service saves none, and its Reset leaves every service as it is, a spooler
// the user had disabled too. While another program holds the file, Reset reads nothing from it.
TEST_F(OptimizerWizard, ResetOfARunThatDroveNoServiceLeavesTheServicesAlone) {
  DisableSpooler();
  Plant(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay", Sz("250"));
  Model(6);
  Press(page->btnOptimize);
  page->Ochk[1]->SetChecked(true);
  Press(page->btnExe);
  const std::string file = temp.Path() + kFileName;
  EXPECT_EQ(TIniFile(file).ReadSections(), (std::vector<std::string>{"Backup", "Quicken menu display speed"}));
  const std::string saved = ReadFileBytes(file);
  {
    THeldFile held(file, 0, GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(held.Held());
    EXPECT_EQ(Restore(kFileName), std::vector<std::string>{Format(RestoreUnreadableText, file)});
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay"), Describe(Sz("400")));
    EXPECT_TRUE(ServiceIs("Spooler", SERVICE_DISABLED, false));
  }
  EXPECT_EQ(ReadFileBytes(file), saved);
  EXPECT_EQ(Restore(kFileName), std::vector<std::string>{RestoredText});
  EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, kDesktop, "MenuShowDelay"), Describe(Sz("250")));
  EXPECT_TRUE(ServiceIs("Spooler", SERVICE_DISABLED, false));
  EXPECT_FALSE(page->chk[3]->Checked());   // the boxes show the system's services
}

// Reset after a usual Fast Optimize puts back all the run changed: the items without an undo of
// their own before (the thumbnail cache, the modem and TCP settings), both roots of the shortcut
// tracking, and the services.
TEST_F(OptimizerWizard, ResetAfterFastOptimizePutsBackAllTheRunChanged) {
  const struct {
    HKEY Root;
    const char* Key;
    const char* Name;
    TMaybeValue Before;
  } values[] = {
      {HKEY_CURRENT_USER, kPolicy, "NoThumbnailCache", std::nullopt},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "EnablePMTUDiscovery", Dw(0)},
      {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DefaultTTL", Sz("64")},
      {HKEY_CURRENT_USER, kPolicy, "NoResolveTrack", Dw(0)},
      {HKEY_LOCAL_MACHINE, kPolicy, "NoResolveTrack", std::nullopt},
      {HKEY_CURRENT_USER, kDesktop, "MenuShowDelay", Ex("%DELAY%")},
  };
  for (const auto& v : values) Plant(v.Root, v.Key, v.Name, v.Before);
  const char* const names[] = {"Spooler", "TermService", "wuauserv"};
  std::vector<TServiceState> services;
  for (const char* name : names) services.push_back(QueryServiceState(name));
  page->RGMode->SetItemIndex(3);   // "Home Model"
  Press(page->btnOneClick);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{FastOptimizedText});
  EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, kPolicy, "NoThumbnailCache"), Describe(Dw(1)));
  EXPECT_EQ(Restore(kFileName), std::vector<std::string>{RestoredText});
  for (const auto& v : values) EXPECT_EQ(ValueAt(v.Root, v.Key, v.Name), Describe(v.Before)) << v.Name;
  for (size_t i = 0; i < services.size(); ++i)
    EXPECT_TRUE(ServiceIs(names[i], services[i].StartType, services[i].Running)) << names[i];
}

}  // namespace
