// The repair button in the main window: scan, back up, repair and restore end to end; when no
// backup is made; the refusal without a complete backup; Cancel; a failing repair routine; the
// first-run offers; and the window's guards while a repair runs.
#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>

#include "app/RegBackupUnit.h"
#include "app/RepairDialogUnit.h"
#include "framework/Handles.h"
#include "scan/ApplicationPathsUnit.h"
#include "scan/InvalidShortCutsUnit.h"
#include "scan/SharedDLLsUnit.h"
#include "scan/UserSoftWareSettings.h"
#include "scan/WindowsFontsUnit.h"
#include "support/MainWindowHost.h"
#include "support/Planting.h"
#include "support/RegistryTree.h"

using namespace MainUnit;
using namespace testing_support;
using PublicFunctionUnit::MyRegistryInfo;

namespace {

// A repair that logs every ticked finding as repaired, then runs `then` (what happens meanwhile).
TRepairRoutine LogsAnd(std::vector<int>& calls, int id, std::function<void()> then = {}) {
  return [&calls, id, then](TCaptionTarget& status, TListCountTarget& finish, TRegistryContents& c,
                            TRepairContents& log) {
    calls.push_back(id);
    for (int i = 0; i < c.Count(); ++i) {
      const TContent& f = c.GetItem(i).Content;
      if (!f.Checked) continue;
      status.SetCaption(f.KeyPath);
      TRepairRec& line = log.GetItem(log.Add()).Content;
      line.KeyPath = f.KeyPath;
      line.Status = SectionCommon::RepairedText;
      finish.SetItemCount(log.Count());
    }
    if (then) then();
  };
}

struct RepairFixture : ::testing::Test, MainWindowHost {
  std::vector<int> calls;   // the repair routines called, by section index

  RepairFixture() {
    PublicFunctionUnit::PlatformKind = 4;
    CreateAndShow();
  }

  void ScanOnly(std::initializer_list<int> sections) {
    for (TImage* pic : form->SectionImages)
      if (pic->Tag == 1) form->picSection01Click(pic);
    for (int s : sections) form->picSection01Click(form->SectionImages[s]);
    form->ScanNowBtnClick(form->ScanNowBtn);
  }

  void Repair() { form->RepairBtnClick(form->RepairBtn); }
  static void ExpectRepairDialogGone() {
    EXPECT_TRUE(RepairDialogUnit::RepairDialogForm == nullptr && ThreadWindows(L"TRepairDialogForm") == 0);
  }

  // The finish list as shown: "first column | second column".
  std::vector<std::string> FinishRows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < form->FinishListView->Count(); ++i) {
      TListItem row;
      form->FinishListView->GetRow(i, row);
      rows.push_back(row.Caption + " | " + (row.SubItems.empty() ? "" : row.SubItems[0]));
    }
    return rows;
  }

  std::vector<std::string> BackupFiles() const {
    std::vector<std::string> names;
    ForEachFile(RepairDir(), "*.reg", [&](const TFoundFile& f) {
      names.push_back(f.Name);
      return true;
    });
    return names;
  }
};

const std::string kRepaired = " | Repaired Successfully";

// "Invalid Shortcuts" walking one folder; a broken shortcut planted there with BrokenShortcut.
MainUnit::TScanRoutine ShortcutsIn(const std::string& folder) {
  return [folder](int index, TCaptionTarget* item, TCaptionTarget* count, TIgnoreContents& ignore,
                  TRegistryContents& c) {
    InvalidShortCutsUnit::ScanShortcutFolder(ExcludeTrailingBackslash(folder), index, item, count, ignore, c);
  };
}
std::string BrokenShortcut(const TempFolder& folder, const std::string& name) {
  std::string file = folder.Path() + name;
  MakeShortcut(file, folder.Path() + "no such program.exe");
  return file;
}

}  // namespace

TEST_F(RepairFixture, ScanRepairAndRestoreBringThePlantedTreeBackByteForByte) {
  RegSandbox box;
  const std::string base = box.Path(), full = box.FullPath();
  const std::string here = folder.WriteFile("here.dll"), gone = folder.Path() + "gone";
  // Fonts: two missing font files, one present.
  box.SetString("Fonts", "Gone Font (TrueType)", gone + ".ttf");
  box.SetString("Fonts", "Шрифт 中文", gone + "шрифт.ttf");
  box.SetString("Fonts", "Here Font", here);
  // Application Paths: a missing program whose key is a whole tree, and a present one.
  const std::string app = base + "\\AppPaths\\gone.exe";
  box.SetString("AppPaths\\gone.exe", "", gone + ".exe");
  box.SetString("AppPaths\\gone.exe", "Path", folder.Path());
  SetExact(HKEY_CURRENT_USER, app, L"bin", REG_BINARY, Pattern(700));   // every kind of value: see the backup tests
  SetExact(HKEY_CURRENT_USER, app + "\\Sub Кириллица", L"", REG_SZ, Utf16(L"nested default"));
  box.CreateKey("AppPaths\\gone.exe\\empty");
  box.SetString("AppPaths\\here.exe", "", here);
  // Shared DLLs: a missing DLL, one used by nobody, one in use.
  box.SetDword("SharedDlls", gone + ".dll", 1);
  SetExact(HKEY_CURRENT_USER, base + "\\SharedDlls", Widen(folder.WriteFile("unused.dll")), REG_BINARY, Bytes({0}));
  box.SetDword("SharedDlls", here, 1);
  const TTreeDump before = DumpTree(HKEY_CURRENT_USER, base);
  const std::string shortcut = BrokenShortcut(folder, "gone.lnk");

  Sections()[1].Scan = ScanAt(ApplicationPathsUnit::ScanApplicationPaths, base + "\\AppPaths");
  Sections()[4].Scan = ScanAt(WindowsFontsUnit::ScanFonts, base + "\\Fonts");
  Sections()[7].Scan = ShortcutsIn(folder.Path());
  Sections()[9].Scan = ScanAt(SharedDLLsUnit::ScanSharedDlls, base + "\\SharedDlls");
  ScanOnly({1, 4, 7, 9});
  ASSERT_EQ(form->RepairGrid->Count(), 4);
  ASSERT_EQ(TotalProblemCount(), 6);
  Repair();

  // The user is told where the backup is, and it holds what the repair removed.
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Registry backup complete! Backup file at \r" + RepairDir() +
                                                     " folder.\r\rYou can use registry restore function to restore "
                                                     "it.\rPress OK to repair problems now!"});
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)MB_ICONINFORMATION);
  ASSERT_EQ(BackupFiles().size(), 1u);
  EXPECT_EQ(RepairBackupFile, RepairDir() + BackupFiles()[0]);
  EXPECT_EQ(BackupFiles()[0].size(), 20u);   // "_yyyymmdd_hhnnss.reg"
  std::string script = ReadUtf16File(RepairBackupFile);
  EXPECT_EQ(script.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(script.find("[" + full + "\\AppPaths\\gone.exe\\Sub Кириллица]\r\n@=\"nested default\"\r\n"),
            std::string::npos);
  EXPECT_NE(script.find("\"Шрифт 中文\"=\"" + StringReplace(gone, "\\", "\\\\") + "шрифт.ttf\""), std::string::npos);
  EXPECT_EQ(script.find("Here Font"), std::string::npos);
  EXPECT_EQ(script.find("gone.lnk"), std::string::npos) << "shortcut files are not registry data";

  // The repair removed exactly the findings.
  EXPECT_FALSE(box.KeyExists("AppPaths\\gone.exe") || box.ValueExists("Fonts", "Шрифт 中文") ||
               box.ValueExists("SharedDlls", gone + ".dll") || FileExists(shortcut));
  EXPECT_TRUE(box.KeyExists("AppPaths\\here.exe") && box.ValueExists("Fonts", "Here Font") &&
              box.ValueExists("SharedDlls", here));

  // The finish page lists each repaired finding, section by section.
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
  EXPECT_TRUE(form->FinishBtn->Visible() && !form->RepairBtn->Visible());
  ExpectRepairDialogGone();
  std::vector<std::string> rows = FinishRows();
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], full + "\\AppPaths\\gone.exe" + kRepaired);
  EXPECT_EQ(rows[3], shortcut + kRepaired);
  for (const std::string& row : rows) EXPECT_TRUE(row.ends_with(kRepaired)) << row;

  // Restoring the backup brings back exactly what was planted.
  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(RepairBackupFile);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  EXPECT_EQ(Differences(before, DumpTree(HKEY_CURRENT_USER, base)), "");
}

TEST_F(RepairFixture, NoBackupWhenSwitchedOffOrWhenNothingTickedIsRegistryData) {
  RegSandbox box;
  const std::string fonts = box.Path() + "\\Fonts";
  Sections()[4].Scan = ScanAt(WindowsFontsUnit::ScanFonts, fonts);

  // Switched off: no file and no message; the last backup's name stays for the upload.
  MyRegistryInfo.NotAutoBackup = true;
  RepairBackupFile = "C:\\earlier.reg";
  box.SetString("Fonts", "Gone", folder.Path() + "gone.ttf");
  ScanOnly({4});
  Repair();
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  EXPECT_EQ(RepairBackupFile, "C:\\earlier.reg");
  EXPECT_FALSE(DirectoryExists(RepairDir()) || box.ValueExists("Fonts", "Gone"));
  EXPECT_EQ(FinishRows(), (std::vector<std::string>{box.FullPath() + "\\Fonts" + kRepaired}));
  form->FinishBtnClick(form->FinishBtn);

  // Only shortcuts ticked: they go to the recycle bin; no backup file is claimed.
  MyRegistryInfo.NotAutoBackup = false;
  const std::string shortcut = BrokenShortcut(folder, "x.lnk");
  Sections()[7].Scan = ShortcutsIn(folder.Path());
  ScanOnly({7});
  Repair();
  EXPECT_TRUE(MessageBoxes().Calls.empty() && RepairBackupFile.empty() && BackupFiles().empty());
  EXPECT_FALSE(FileExists(shortcut));
  EXPECT_EQ(FinishRows(), (std::vector<std::string>{shortcut + kRepaired}));
  form->FinishBtnClick(form->FinishBtn);

  // Nothing ticked: the repair runs and lists nothing; nothing is removed.
  box.SetString("Fonts", "Gone", folder.Path() + "gone.ttf");
  ScanOnly({4});
  form->cbSelectAll->Click();   // unticks the shown section's findings
  ASSERT_FALSE((*SectionResults)[4].GetItem(0).Content.Checked);
  Repair();
  EXPECT_TRUE(MessageBoxes().Calls.empty() && box.ValueExists("Fonts", "Gone"));
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
  EXPECT_EQ(RepairLog->Count() + form->FinishListView->Count(), 0);
}

// A line that was left is not drawn as a success, and it names the value that was left; an
// entry excluded since the scan (another section's exclusion names it) is neither backed up nor
// removed.
TEST_F(RepairFixture, LinesThatWereLeftNameTheirValueAndAreNotDrawnAsSuccesses) {
  RegSandbox box;
  const std::string fonts = box.FullPath() + "\\Fonts";
  for (const char* name : {"Gone A", "Gone B", "Gone C"}) box.SetString("Fonts", name, folder.Path() + name + ".ttf");
  Sections()[4].Scan = ScanAt(WindowsFontsUnit::ScanFonts, box.Path() + "\\Fonts");
  ScanOnly({4});
  ASSERT_EQ(TotalProblemCount(), 3);
  box.SetString("Fonts", "Gone B", folder.WriteFile("Gone B.ttf"));   // the font is back since the scan
  AppendFileBytes(PublicFunctionUnit::IgnoreFileName(), "Sounds Section|" + fonts + "|Gone C\r\n");
  Repair();

  EXPECT_EQ(FinishRows(), (std::vector<std::string>{fonts + kRepaired, fonts + " (Gone B) | Changed since scan",
                                                    fonts + " (Gone C) | In ignore list"}));
  EXPECT_TRUE(!box.ValueExists("Fonts", "Gone A") && box.ValueExists("Fonts", "Gone B") &&
              box.ValueExists("Fonts", "Gone C"));
  std::string script = ReadUtf16File(RepairBackupFile);
  EXPECT_EQ(script.find("Gone C"), std::string::npos) << script;
  auto statusColor = [&](int row) {
    TColor color = clBlack;
    form->FinishListView->OnCustomDrawSubItem(form->FinishListView, row, 1, color);
    return color;
  };
  EXPECT_EQ((std::vector<TColor>{statusColor(0), statusColor(1), statusColor(2)}),
            (std::vector<TColor>{clGreen, clRed, clRed}));
  TColor path = clRed;
  form->FinishListView->OnCustomDrawSubItem(form->FinishListView, 1, 0, path);
  EXPECT_EQ(path, clBlack);
}

TEST_F(RepairFixture, WithoutACompleteBackupTheRepairWaitsForAnExplicitYes) {
  RegSandbox box;
  box.SetString("Fonts", "Gone", folder.Path() + "gone.ttf");
  Sections()[4].Scan = ScanAt(WindowsFontsUnit::ScanFonts, box.Path() + "\\Fonts");
  form->BackupFolder = folder.Path() + "no such folder\\RepairBackup\\";   // cannot be made: no parent
  ScanOnly({4});

  MessageBoxes().NextAnswer = IDNO;
  Repair();
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  const MessageBoxCall question = MessageBoxes().Calls[0];
  EXPECT_EQ(question.caption, "Zelvoran");
  EXPECT_EQ(question.flags, (unsigned)(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
  EXPECT_TRUE(question.text.starts_with("The registry backup could not be completed.") &&
              question.text.ends_with("Repair the problems anyway?")) << question.text;
  EXPECT_NE(question.text.find(form->BackupFolder), std::string::npos);
  EXPECT_EQ(question.text.find("complete!"), std::string::npos);
  // No: nothing is repaired and the results stay.
  EXPECT_TRUE(box.ValueExists("Fonts", "Gone") && form->RepairBtn->Visible());
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 1);
  EXPECT_EQ(RepairLog->Count(), 0);
  EXPECT_EQ(RepairBackupFile, "");

  // Yes: the repair goes on without the backup.
  MessageBoxes().Clear();
  MessageBoxes().NextAnswer = IDYES;
  Repair();
  // the same question, but for the backup's name, which holds the second it was made
  auto withoutStamp = [](const std::string& text) {
    return std::regex_replace(text, std::regex("_[0-9]{8}_[0-9]{6}\\.reg"), "_<stamp>.reg");
  };
  ASSERT_EQ(MessageTexts().size(), 1u);
  EXPECT_EQ(withoutStamp(MessageTexts()[0]), withoutStamp(question.text));
  EXPECT_FALSE(box.ValueExists("Fonts", "Gone"));
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
}

TEST_F(RepairFixture, AnEntryThatCannotBeBackedUpIsNamedAndKeptUnlessTheUserSaysYes) {
  RegSandbox box;
  const std::string app = box.Path() + "\\AppPaths\\gone.exe";
  box.SetString("AppPaths\\gone.exe", "", folder.Path() + "gone.exe");
  // A value whose name is no valid text: the script cannot hold it.
  SetExact(HKEY_CURRENT_USER, app, std::wstring(L"bad\xD800name"), REG_SZ, Utf16(L"x"));
  Sections()[1].Scan = ScanAt(ApplicationPathsUnit::ScanApplicationPaths, box.Path() + "\\AppPaths");
  ScanOnly({1});
  ASSERT_EQ(TotalProblemCount(), 1);

  MessageBoxes().NextAnswer = IDNO;
  Repair();
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  const std::string& text = MessageBoxes().Calls[0].text;
  EXPECT_NE(text.find("These entries could not be backed up:\r" + box.FullPath() + "\\AppPaths\\gone.exe\r"),
            std::string::npos) << text;
  EXPECT_EQ(text.find("could not be written"), std::string::npos);   // the file itself was saved
  EXPECT_TRUE(box.KeyExists("AppPaths\\gone.exe"));
  EXPECT_EQ(RepairBackupFile, RepairDir() + BackupFiles().at(0));
}

TEST_F(RepairFixture, CancelOrAFailingRoutineStopsBeforeTheNextSectionAndFinishStartsOver) {
  MyRegistryInfo.NotAutoBackup = true;
  Sections()[4].Scan = Reports({"HKEY_CURRENT_USER\\a", "HKEY_CURRENT_USER\\b"});
  Sections()[9].Scan = Reports({"HKEY_CURRENT_USER\\c"});
  bool dialogShown = false;
  Sections()[4].Repair = LogsAnd(calls, 4, [&] {
    TRepairDialogForm* dialog = RepairDialogUnit::RepairDialogForm;
    ASSERT_NE(dialog, nullptr);
    dialogShown = IsWindowVisible(dialog->Handle()) && dialog->StayOnTop();
    EXPECT_EQ(dialog->abRepair->Caption(), "HKEY_CURRENT_USER\\b");
    SendMessageW(dialog->Button1->Handle(), BM_CLICK, 0, 0);   // the user presses Cancel
    EXPECT_FALSE(IsWindowVisible(dialog->Handle()));
  });
  Sections()[9].Repair = LogsAnd(calls, 9);
  ScanOnly({4, 9});
  Repair();

  const std::vector<std::string> twoRows = {"HKEY_CURRENT_USER\\a" + kRepaired, "HKEY_CURRENT_USER\\b" + kRepaired};
  EXPECT_TRUE(dialogShown);
  EXPECT_EQ(calls, (std::vector<int>{4}));
  EXPECT_EQ(FinishRows(), twoRows);
  ExpectRepairDialogGone();
  EXPECT_EQ(PublicFunctionUnit::ScanState, PublicFunctionUnit::TRunState::StopRepair);   // until the finish button

  form->FinishBtnClick(form->FinishBtn);
  EXPECT_EQ(PublicFunctionUnit::ScanState, PublicFunctionUnit::TRunState::Idle);
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 0);
  EXPECT_TRUE(form->ScanNowBtn->Visible());
  for (TImage* pic : form->SectionImages) EXPECT_EQ(pic->Tag, 1);
  EXPECT_EQ(TotalProblemCount() + form->RepairGrid->Count() + RepairLog->Count() + form->FinishListView->Count(), 0);

  // A repair routine that fails still closes the dialog and shows the finish page.
  calls.clear();
  MessageBoxes().Clear();
  Sections()[4].Repair = LogsAnd(calls, 4, [] { throw std::runtime_error("Invalid data type"); });
  ScanOnly({4, 9});
  Repair();
  ExpectRepairDialogGone();
  EXPECT_EQ(calls, (std::vector<int>{4}));
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
  EXPECT_TRUE(form->FinishBtn->Visible() && !form->Busy());
  EXPECT_EQ(FinishRows(), twoRows);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Invalid data type"});
  form->FinishBtnClick(form->FinishBtn);
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 0);
}

// The status label of the dialog; while the first finding is shown the user clicks Cancel.
struct TCancelAtFirstItem : TCaptionTarget {
  TRepairDialogForm* Dialog = RepairDialogUnit::RepairDialogForm;
  void SetCaption(const std::string& text) override {
    if (Dialog->abRepair->Caption() == "Repair") SendMessageW(Dialog->Button1->Handle(), BM_CLICK, 0, 0);
    Dialog->abRepair->SetCaption(text);
  }
  std::string Caption() const override { return Dialog->abRepair->Caption(); }
};

TEST_F(RepairFixture, CancelDuringASectionStopsItsRepairBeforeTheNextFinding) {
  RegSandbox box;
  for (const char* name : {"one", "two", "three"}) box.SetString("Settings", name, folder.Path() + name + ".exe");
  const std::string key = box.FullPath() + "\\Settings";
  Sections()[16].Scan = ScanAt(UserSoftWareSettings::ScanUserSoftwareSettings, box.Path());
  Sections()[16].Repair = [](TCaptionTarget&, TListCountTarget& finish, TRegistryContents& c, TRepairContents& log) {
    TCancelAtFirstItem status;
    UserSoftWareSettings::RepairUserSoftwareSettings(status, finish, c, log);
  };
  ScanOnly({16});
  Repair();

  EXPECT_FALSE(box.ValueExists("Settings", "one"));
  EXPECT_TRUE(box.ValueExists("Settings", "two") && box.ValueExists("Settings", "three"));
  EXPECT_EQ(FinishRows(), (std::vector<std::string>{key + kRepaired}));
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
}

TEST_F(RepairFixture, FirstRunOffersComeWhileDueAndStopOnceTheUploadIsConfirmed) {
  RegSandbox box;
  Sections()[4].Scan = ScanAt(WindowsFontsUnit::ScanFonts, box.Path() + "\\Fonts");
  std::vector<std::string> offers;
  bool confirm = false;   // the upload dialog's OK (else Cancel)
  ShowFirstFullBackup = [&] {
    offers.push_back(Format("full export, %d boxes, page %d", (int)MessageBoxes().Calls.size(),
                            form->ScanNotebook->PageIndex()));
  };
  ShowBackupUpload = [&] {
    offers.push_back(Format("upload %s, %d boxes, page %d", FileExists(RepairBackupFile) ? "file" : "nothing",
                            (int)MessageBoxes().Calls.size(), form->ScanNotebook->PageIndex()));
    if (confirm) MyRegistryInfo.OneTime = false;
  };
  auto repairOnce = [&] {
    MessageBoxes().Clear();
    box.SetString("Fonts", "Gone", folder.Path() + "gone.ttf");
    ScanOnly({4});
    Repair();
    EXPECT_FALSE(box.ValueExists("Fonts", "Gone"));
    form->FinishBtnClick(form->FinishBtn);
  };
  const std::vector<std::string> both = {"full export, 0 boxes, page 1", "upload file, 1 boxes, page 2"};

  MyRegistryInfo.OneTime = true;
  repairOnce();   // the upload dialog is cancelled: the offers stay due
  EXPECT_EQ(offers, both);
  offers.clear();
  confirm = true;
  repairOnce();
  EXPECT_EQ(offers, both);
  EXPECT_FALSE(MyRegistryInfo.OneTime);
  offers.clear();
  repairOnce();
  EXPECT_TRUE(offers.empty());
}

TEST_F(RepairFixture, ExitDuringARepairStopsItBeforeTheNextSectionAndOffersNothingMore) {
  MyRegistryInfo.OneTime = true;
  std::vector<std::string> offers;
  ShowFirstFullBackup = [&] { offers.push_back("full export"); };
  ShowBackupUpload = [&] { offers.push_back("upload"); };
  Sections()[4].Scan = Reports({"HKEY_CURRENT_USER\\a"});
  Sections()[9].Scan = Reports({"HKEY_CURRENT_USER\\c"});
  Sections()[4].Repair = LogsAnd(calls, 4, [&] { dm.Exit1Click(dm.Exit1); });
  Sections()[9].Repair = LogsAnd(calls, 9);
  ScanOnly({4, 9});
  Repair();
  EXPECT_EQ(calls, (std::vector<int>{4}));
  EXPECT_EQ(offers, std::vector<std::string>{"full export"});
  EXPECT_TRUE(Application.Terminated());
  ExpectRepairDialogGone();
}

// Writing the backup of many findings keeps the window live: the repair dialog shows the finding
// at work, and its Cancel or the tray menu's Exit, handled meanwhile, stops the backup: no file
// is left and nothing is repaired. After Cancel the results stay for another try.
TEST_F(RepairFixture, TheBackupOfManyFindingsKeepsTheWindowLiveAndStopsOnCancelOrExit) {
  RegSandbox box;
  box.SetString("k", "v", "x");
  const std::string key = box.FullPath() + "\\k";
  // 3000 findings of as many keys (one key met again is listed once)
  std::vector<std::string> keys = {key};
  for (int i = 1; i < 3000; ++i) keys.push_back(key + "\\" + IntToStr(i));
  Sections()[4].Scan = Reports(keys);
  Sections()[4].Repair = LogsAnd(calls, 4);
  ScanOnly({4});
  ASSERT_EQ(TotalProblemCount(), 3000);

  bool shownDuring = false;
  std::string statusDuring;
  auto duringTheBackup = [&](std::function<void()> then) {
    Application.Post([&, then] {
      TRepairDialogForm* dialog = RepairDialogUnit::RepairDialogForm;
      ASSERT_NE(dialog, nullptr);
      shownDuring = IsWindowVisible(dialog->Handle());
      statusDuring = dialog->abRepair->Caption();
      then();
    });
  };
  duringTheBackup([] { SendMessageW(RepairDialogUnit::RepairDialogForm->Button1->Handle(), BM_CLICK, 0, 0); });
  Repair();
  EXPECT_TRUE(shownDuring);
  EXPECT_EQ(statusDuring, key);
  EXPECT_TRUE(calls.empty() && BackupFiles().empty() && MessageBoxes().Calls.empty());
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 1);
  EXPECT_EQ(PublicFunctionUnit::ScanState, PublicFunctionUnit::TRunState::Idle);
  ExpectRepairDialogGone();

  statusDuring.clear();
  duringTheBackup([&] { dm.Exit1Click(dm.Exit1); });
  Repair();
  EXPECT_EQ(statusDuring, key);
  EXPECT_TRUE(calls.empty() && BackupFiles().empty() && MessageBoxes().Calls.empty());
  EXPECT_TRUE(Application.Terminated());
  EXPECT_TRUE(box.ValueExists("k", "v"));
  ExpectRepairDialogGone();
}

TEST_F(RepairFixture, ExitWhileTheFirstRunOfferIsOpenRepairsNothing) {
  MyRegistryInfo.OneTime = true;
  ShowFirstFullBackup = [&] { dm.Exit1Click(dm.Exit1); };
  ShowBackupUpload = [] { ADD_FAILURE() << "no upload offer after Exit"; };
  Sections()[4].Scan = Reports({"HKEY_CURRENT_USER\\a"});
  Sections()[4].Repair = LogsAnd(calls, 4);
  ScanOnly({4});
  Repair();
  EXPECT_TRUE(calls.empty() && BackupFiles().empty());
  EXPECT_TRUE(Application.Terminated());
}

TEST_F(RepairFixture, WhileARepairRunsTheWindowLeavesFindingsTicksAndPagesAlone) {
  MyRegistryInfo.NotAutoBackup = true;
  std::vector<int> scans;
  Sections()[4].Scan = Reports({"HKEY_CURRENT_USER\\a", "HKEY_CURRENT_USER\\b", "HKEY_CURRENT_USER\\c"}, &scans);
  Sections()[4].Repair = LogsAnd(calls, 4, [&] {
    form->RepairBtnClick(form->RepairBtn);
    form->ProblemsListBox->SetItemIndex(1);
    form->ExcludeMenuClick(dm.ExcludeMenu);
    form->cbSelectAll->Click();
    RECT r = form->ProblemsListBox->ItemRect(0);
    form->ProblemsListBoxMouseDown(TMouseButton::Left, r.left + 12, r.top + 30);
    form->BackupBtnClick(form->BackupBtn);
    form->AdvanceBtnClick(form->AdvanceBtn);
    form->ScanBtnClick(form->ScanBtn);
    form->ScanNowBtnClick(form->ScanNowBtn);
    form->picSection01Click(form->SectionImages[4]);
    form->FinishBtnClick(form->FinishBtn);

    EXPECT_EQ((*SectionResults)[4].Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE((*SectionResults)[4].GetItem(i).Content.Checked);
    EXPECT_FALSE(FileExists(PublicFunctionUnit::IgnoreFileName()));
    EXPECT_EQ(std::pair(form->MainNotebook->PageIndex(), form->ScanNotebook->PageIndex()), std::pair(0, 1));
    EXPECT_TRUE(form->SectionImages[4]->Tag == 1 && scans.size() == 1u);
  });
  ScanOnly({4});
  Repair();

  EXPECT_EQ(calls, (std::vector<int>{4}));   // no repair inside the repair
  EXPECT_EQ(FinishRows().size(), 3u);
  EXPECT_EQ(form->ScanNotebook->PageIndex(), 2);
  form->BackupBtnClick(form->BackupBtn);   // usable again afterwards
  EXPECT_EQ(form->MainNotebook->PageIndex(), 1);
}
