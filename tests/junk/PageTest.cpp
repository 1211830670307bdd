// The cleaner wizard in-process: its steps over a drive that is the test's own folder, the junk
// type editing, the report and the cleanup, Stop, and the main window's guards while it scans.
#include <gtest/gtest.h>

#include "framework/Application.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "support/MainWindowHost.h"
#include "support/HeldFile.h"
#include "support/TestSupport.h"
#include "tools/junk/DetailTempFileUnit.h"
#include "tools/junk/SysDiskCleanerUnit.h"
#include "tools/junk/TemporaryFileUnit.h"

using namespace SysDiskCleanerUnit;
using testing_support::MessageBoxes;
using testing_support::TempFolder;
using testing_support::THeldFile;

namespace {

const char* const kConfirm = "The files will be permanently deleted and can not recovered!\r\rAre you sure to proceed?";

// A page over the test's own tree: "C:" here is the folder tree\, never the drive.
struct JunkPage : ::testing::Test {
  TempFolder dir;
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::Dialog})};
  TSysDiskCleanerForm* page = nullptr;
  std::string tree = dir.Path() + "tree";

  JunkPage() {
    MessageBoxes().Clear();
    host->SetClientSize(500, 380);
    page = new TSysDiskCleanerForm(host.get(), dir.Path() + "JunkFile.dat");
    page->UseDrives({{.Caption = "Test (C:)", .Drive = "C:", .Root = tree, .TotalMb = 100, .FreeMb = 50}});
    dir.WriteFile("tree\\a.tmp", std::string(3000, 'a'));
    dir.WriteFile("tree\\sub\\b.TMP", std::string(2000, 'b'));
    dir.WriteFile("tree\\sub\\c.log", "c");
    dir.WriteFile("tree\\keep.txt", "k");
  }
  void Next(int times = 1) {
    for (int i = 0; i < times; ++i) page->NextBtnClick(page->NextBtn);
  }
  int RowOf(const std::string& pattern) const {
    for (int i = 0; i < page->JunkFilesListView->Count(); ++i)
      if (page->JunkFilesListView->Item(i)->Caption == pattern) return i;
    return -1;
  }
};

}  // namespace

TEST_F(JunkPage, WizardScansReportsAndMovesWithoutOverwriting) {
  EXPECT_EQ(page->Step(), TCleanerStep::Drives);
  EXPECT_FALSE(page->BackBtn->Enabled());
  EXPECT_EQ(page->DiskListView->Item(0)->Text(1) + " " + page->DiskListView->Item(0)->Text(3), "100MB C:");

  Next();   // JunkFiles: the defaults, written at once
  ASSERT_EQ(page->JunkFilesListView->Count(), 47);
  EXPECT_EQ(ReadFileBytes(dir.Path() + "JunkFile.dat").size(), 9541u);
  EXPECT_TRUE(page->BackBtn->Enabled());
  page->JunkFilesListView->SetChecked(RowOf("*.log"), false);   // a keyboard toggle, no mouse-down

  Next();   // Scan
  EXPECT_EQ(page->State, TCleanerState::ScanFinished);
  EXPECT_TRUE(page->BlocksLaunchers());
  EXPECT_FALSE(page->HoldsWindow());
  EXPECT_EQ(page->ScanListView->Item(0)->Text(1), StatusFinished);
  EXPECT_EQ(page->ScanMessage->Caption(), "");
  EXPECT_EQ(page->FoundFiles.size(), 2u);
  std::vector<TJunkType> saved;
  LoadJunkTypeFile(page->JunkFilePath, saved);
  EXPECT_FALSE(saved.at(RowOf("*.log")).Checked);   // saved as seen

  Next();   // Report
  ASSERT_EQ(page->ReportListView->Count(), 1);
  EXPECT_EQ(page->ReportListView->Item(0)->Text(1) + "|" + page->ReportListView->Item(0)->Text(2), "2|4 KB");
  EXPECT_EQ(page->ReportStatusBar->PanelText(1) + "|" + page->ReportStatusBar->PanelText(2), "2|4 KB");
  page->ReportListView->SetChecked(0, false);
  page->ReportListViewMouseDown(page->ReportListView, TMouseButton::Left, 5, 5);
  EXPECT_EQ(page->ReportStatusBar->PanelText(1) + "|" + page->ReportStatusBar->PanelText(2), "0|0 KB");
  page->ReportListView->SetChecked(0, true);

  Next();   // CleanupOptions: move without a folder is refused
  page->PickFolder = [] { return std::string(); };
  page->RadioButton3->SetChecked(true);
  Next();
  EXPECT_EQ(page->Step(), TCleanerStep::CleanupOptions);
  EXPECT_EQ(testing_support::MessageTexts(), std::vector<std::string>{"Please select the destination folder for the junk files."});

  std::string to = dir.Path() + "moved";
  dir.WriteFile("moved\\a.tmp", "already there");
  page->PickFolder = [&] { return to; };
  page->RadioButton1->SetChecked(true);
  page->RadioButton3->SetChecked(true);
  EXPECT_EQ(page->panJunkMoveFolder->Caption(), to);
  MessageBoxes().Clear();
  MessageBoxes().NextAnswer = IDYES;
  Next();   // Cleanup
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, kConfirm);
  EXPECT_EQ(MessageBoxes().Calls[0].caption, "Junk File Cleaner - Delete Confirmation");
  EXPECT_EQ(MessageBoxes().Calls[0].flags, 308u);
  EXPECT_EQ(page->State, TCleanerState::Cleaning);
  ASSERT_EQ(page->CleanedFiles().size(), 2u);
  for (const auto& row : page->CleanedFiles()) EXPECT_EQ(row.Status, StatusFileMoved);
  EXPECT_EQ(ReadFileBytes(to + "\\a.tmp"), "already there");
  EXPECT_EQ(ReadFileBytes(to + "\\a (2).tmp"), std::string(3000, 'a'));
  EXPECT_TRUE(FileExists(to + "\\b.TMP"));
  EXPECT_TRUE(FileExists(tree + "\\sub\\c.log"));
  EXPECT_EQ(page->NextBtn->Caption(), "Finish");
  EXPECT_FALSE(page->BackBtn->Enabled());

  Next();   // Finish
  EXPECT_EQ(page->Step(), TCleanerStep::Drives);
  EXPECT_EQ(page->NextBtn->Caption(), "Next>");
}

TEST_F(JunkPage, NoToTheConfirmationKeepsEveryFileAndDeleteReportsFailures) {
  Next(4);
  page->RadioButton1->SetChecked(true);
  MessageBoxes().NextAnswer = IDNO;
  Next();
  EXPECT_EQ(page->Step(), TCleanerStep::Cleanup);
  EXPECT_TRUE(page->CleanedFiles().empty());
  EXPECT_EQ(page->State, TCleanerState::ScanFinished);
  EXPECT_TRUE(FileExists(tree + "\\a.tmp"));
  // the page says nothing was removed, and the user may go back and choose again
  EXPECT_EQ(page->RemovedLabel->Caption(), "The cleanup was cancelled: no junk files were removed.");
  EXPECT_EQ(page->NextBtn->Caption(), "Finish");
  ASSERT_TRUE(page->BackBtn->Enabled());
  page->BackBtnClick(page->BackBtn);
  EXPECT_EQ(page->Step(), TCleanerStep::CleanupOptions);
  EXPECT_TRUE(page->BackBtn->Enabled());
  MessageBoxes().NextAnswer = IDNO;
  Next();
  EXPECT_EQ(page->Step(), TCleanerStep::Cleanup);
  EXPECT_TRUE(page->BackBtn->Enabled());
  EXPECT_TRUE(FileExists(tree + "\\a.tmp"));

  Next();   // Finish, then the whole way again: the second cleanup finds the files gone
  SetFileAttributesW(Widen(tree + "\\a.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
  Next(4);
  page->RadioButton1->SetChecked(true);
  MessageBoxes().NextAnswer = IDYES;
  Next();
  std::vector<std::string> statuses;   // a.tmp (read-only), sub\b.TMP, sub\c.log
  for (const auto& row : page->CleanedFiles()) statuses.push_back(row.Status);
  EXPECT_EQ(statuses, (std::vector<std::string>{StatusDeletedError, StatusFileDeleted, StatusFileDeleted}));
  EXPECT_EQ(page->RemovedLabel->Caption(), "The Junk File Cleaner has removed the specific junk files as shown below:");
  EXPECT_FALSE(page->BackBtn->Enabled());   // after a cleanup there is no way back
  TColor colors[2] = {1, 1};
  for (int row = 0; row < 2; ++row) page->CleanerListView->OnCustomDrawSubItem(page->CleanerListView, row, 1, colors[row]);
  EXPECT_EQ(colors[0], 255u);   // an error shows red
  EXPECT_EQ(colors[1], clBlack);
  EXPECT_FALSE(FileExists(tree + "\\sub\\c.log"));
  SetFileAttributesW(Widen(tree + "\\a.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(JunkPage, StopEndsTheScanAtOnceAndTheReportWorksOnWhatWasFound) {
  page->UseDrives({{.Caption = "One", .Drive = "C:", .Root = tree}, {.Caption = "Two", .Drive = "D:", .Root = tree}});
  Next();
  PostMessageW(page->StopScanBtn->Handle(), BM_CLICK, 0, 0);
  Next();
  EXPECT_EQ(page->State, TCleanerState::StopRequested);
  EXPECT_EQ(page->ScanListView->Item(0)->Text(1) + "|" + page->ScanListView->Item(1)->Text(1), std::string(StatusUserStop) + "|");
  auto color = [&](int column) {
    TColor c = 1;
    page->ScanListView->OnCustomDrawSubItem(page->ScanListView, 0, column, c);
    return c;
  };
  EXPECT_EQ(color(1), clBlack);
  page->ScanListView->Item(0)->SubItems[0] = StatusScanning;
  EXPECT_EQ(color(1), 255u);   // red only while scanning
  EXPECT_EQ(color(0), clBlack);
  Next();
  EXPECT_EQ(page->Step(), TCleanerStep::Report);
}

TEST_F(JunkPage, JunkTypesAreAddedEditedRemovedAndSavedOnTheWayToTheScan) {
  Next();
  std::string longPattern(150, 'q');
  std::vector<std::string> captions;
  TModalHookScope hook([&](TForm& form) {
    auto& dialog = dynamic_cast<TTemporaryFileForm&>(form);
    captions.push_back(form.Caption());
    if (captions.size() == 1) {
      dialog.edExtension->SetText("   ");
      EXPECT_FALSE(dialog.mrOkBtn->Enabled());
      dialog.edExtension->SetText(longPattern);
      dialog.edDesc->SetText("long");
    } else {
      EXPECT_EQ(dialog.edExtension->Text(), "*.swp");
      EXPECT_TRUE(dialog.mrOkBtn->Enabled());
      dialog.edExtension->SetText("*.swap");
    }
    ASSERT_TRUE(dialog.mrOkBtn->Enabled());
    dialog.mrOkBtn->Click();
  });
  page->AddBtnClick(page->AddBtn);
  ASSERT_EQ(page->JunkFilesListView->Count(), 48);
  EXPECT_EQ(page->JunkFilesListView->Item(47)->Caption, longPattern);
  page->JunkFilesListView->SetItemIndex(0);
  page->EditBtnClick(page->EditBtn);
  EXPECT_EQ(captions, (std::vector<std::string>{"Add a new file type", "Modify file type"}));

  page->JunkFilesListView->SetItemIndex(1);
  MessageBoxes().NextAnswer = IDNO;
  page->DelBtnClick(page->DelBtn);
  EXPECT_EQ(page->JunkFilesListView->Count(), 48);
  MessageBoxes().NextAnswer = IDYES;
  page->DelBtnClick(page->DelBtn);
  EXPECT_EQ(page->JunkFilesListView->Count(), 47);
  EXPECT_EQ(MessageBoxes().Calls.back().text, "Are you sure to remove the selected item(s)?");
  EXPECT_EQ(MessageBoxes().Calls.back().flags, 52u);
  page->JunkFilesListView->SetItemIndex(-1);
  page->DelBtnClick(page->DelBtn);
  EXPECT_EQ(MessageBoxes().Calls.size(), 2u);   // nothing selected: nothing asked
  page->cbJunkFileSelectAll->SetChecked(false);

  Next();   // saved on the way to the scan
  page->BackBtnClick(page->BackBtn);
  page->BackBtnClick(page->BackBtn);
  Next();   // reloaded from the file
  ASSERT_EQ(page->JunkFilesListView->Count(), 47);
  EXPECT_EQ(page->JunkFilesListView->Item(0)->Caption, "*.swap");
  EXPECT_EQ(page->JunkFilesListView->Item(1)->Caption, "*.~*");
  EXPECT_EQ(page->JunkFilesListView->Item(46)->Caption, std::string(100, 'q'));
  for (int i = 0; i < 47; ++i) EXPECT_FALSE(page->JunkFilesListView->IsChecked(i)) << i;
}

// A pattern or description the code page cannot hold is refused in the dialog, which stays open
// for the user to correct it; nothing reaches the list or the file with a "?" in its place.
TEST_F(JunkPage, JunkTypesTheCodePageCannotHoldAreRefusedWhenAddedOrEdited) {
  Next();
  const std::string chinese = "\xe6\x97\xa5\xe5\xbf\x97.log";   // 日志.log
  const std::string lookAlike = "L\xc5\x8dg";                      // Lōg: ō has only a look-alike
  std::vector<std::string> refused;
  TModalHookScope hook([&](TForm& form) {
    auto& dialog = dynamic_cast<TTemporaryFileForm&>(form);
    if (form.Caption() == "Add a new file type") {
      dialog.edExtension->SetText(chinese);
      dialog.edDesc->SetText("Chinese logs");
      dialog.mrOkBtn->Click();
      refused.push_back(MessageBoxes().Calls.empty() ? "" : MessageBoxes().Calls.back().text);
      EXPECT_EQ(dialog.ModalResult, mrNone);   // still open
      dialog.edExtension->SetText("*.log");
      dialog.edDesc->SetText(lookAlike);
      dialog.mrOkBtn->Click();
      refused.push_back(MessageBoxes().Calls.empty() ? "" : MessageBoxes().Calls.back().text);
      dialog.edDesc->SetText("Logs \xc3\xa4");   // corrected: ä is in the code page
      dialog.mrOkBtn->Click();
      EXPECT_EQ(dialog.ModalResult, mrOk);
    } else {
      dialog.edExtension->SetText("*.\xef\xbc\x8a");   // a full-width asterisk
      dialog.mrOkBtn->Click();
      refused.push_back(MessageBoxes().Calls.empty() ? "" : MessageBoxes().Calls.back().text);
      dialog.mrCancelBtn->Click();
    }
  });
  page->AddBtnClick(page->AddBtn);
  page->JunkFilesListView->SetItemIndex(0);
  page->EditBtnClick(page->EditBtn);
  EXPECT_EQ(refused, (std::vector<std::string>{Format(UnstorableJunkText, chinese),
                                               Format(UnstorableJunkText, lookAlike),
                                               Format(UnstorableJunkText, "*.\xef\xbc\x8a")}));
  EXPECT_EQ(MessageBoxes().Calls.at(0).flags, (unsigned)MB_ICONWARNING);
  ASSERT_EQ(page->JunkFilesListView->Count(), 48);
  EXPECT_EQ(page->JunkFilesListView->Item(0)->Caption, "*.swp");
  EXPECT_EQ(page->JunkFilesListView->Item(47)->Text(1), "Logs \xc3\xa4");

  Next();   // saved on the way to the scan
  std::vector<TJunkType> saved;
  ASSERT_TRUE(LoadJunkTypeFile(page->JunkFilePath, saved));
  std::vector<TJunkType> expected = DefaultJunkTypeList();
  expected.push_back({true, "*.log", "Logs \xc3\xa4"});
  EXPECT_EQ(saved, expected);
}

// Another program holds the junk type file without sharing as the "JunkFiles" page opens: the
// page asks to retry, keeps the list as it was, and never saves an empty list over the user's
// types; the scan then runs with the user's ticked types.
TEST_F(JunkPage, AJunkTypeFileHeldByAnotherProgramIsNeverTakenForAnEmptyOne) {
  std::string file = page->JunkFilePath;
  SaveJunkTypeFile(file, {{true, "*.tmp", "mine"}, {false, "*.log", "logs"}, {true, "*.mine", "own"}});
  const std::string before = ReadFileBytes(file);
  THeldFile held(file);
  ASSERT_TRUE(held.Held());
  auto captions = [&] {
    std::vector<std::string> rows;
    for (int i = 0; i < page->JunkFilesListView->Count(); ++i) rows.push_back(page->JunkFilesListView->Item(i)->Caption);
    return rows;
  };

  MessageBoxes().Answers = {IDCANCEL};
  EXPECT_NO_THROW(Next());
  EXPECT_EQ(page->Step(), TCleanerStep::Drives);   // Cancel: back where the user was
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, Format(UnreadableJunkText, "Cannot open file \"" + file + "\""));
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_RETRYCANCEL | MB_ICONWARNING));

  // Retry while it is still held, then the other program lets go while the question is up
  MessageBoxes().Clear();
  MessageBoxes().Answers = {IDRETRY, IDRETRY};
  MessageBoxes().WhileShown = [&](const MessageBoxCall&) {
    if (MessageBoxes().Calls.size() == 2) held.Release();
  };
  EXPECT_NO_THROW(Next());
  EXPECT_EQ(MessageBoxes().Calls.size(), 2u);
  EXPECT_EQ(page->Step(), TCleanerStep::JunkFiles);
  EXPECT_EQ(captions(), (std::vector<std::string>{"*.tmp", "*.log", "*.mine"}));
  EXPECT_EQ(ReadFileBytes(file), before);

  Next();   // the scan: the user's list saved as it was, and used
  EXPECT_EQ(page->Step(), TCleanerStep::Scan);
  EXPECT_EQ(ReadFileBytes(file), before);
  EXPECT_EQ(page->FoundFiles.size(), 2u);   // a.tmp and sub\b.TMP; the unticked *.log finds nothing
}

TEST_F(JunkPage, TheDrivesColumnIsFittedAtTheFirstShow) {
  host->Show();
  TListView* drives = page->DiskListView;
  EXPECT_EQ(drives->ColumnWidth(0), drives->Width() - drives->ColumnWidth(1) - drives->ColumnWidth(2) - 23);
  EXPECT_GT(drives->ColumnWidth(0), 142);
}

TEST_F(JunkPage, TheReportStatusPanelsShowTheCountCentredAndTheSizeRightAligned) {
  Next(3);
  TStatusBar* status = page->ReportStatusBar;
  EXPECT_EQ(status->PanelText(0) + "|" + status->PanelText(1) + "|" + status->PanelText(2), "Selected:|3|4 KB");
  EXPECT_EQ(status->PanelAlignment(0), TAlignment::LeftJustify);
  EXPECT_EQ(status->PanelAlignment(1), TAlignment::Center);
  EXPECT_EQ(status->PanelAlignment(2), TAlignment::RightJustify);
}

TEST_F(JunkPage, TheFoundFilesListShowsThreeLinesPerFile) {
  Next(3);
  std::vector<std::string> seen;
  TModalHookScope hook([&](TForm& form) {
    auto& details = dynamic_cast<TDetailTempFileForm&>(form);
    seen.push_back(details.Caption() + "|" + details.abFileTotal->Caption() + "|" +
                   IntToStr(details.TempFilesListBox->Count()));
    for (int i = 0; i < (int)details.Files().size(); ++i)
      if (details.Files()[i].FileName == "a.tmp") seen.push_back(details.ItemText(i));
  });
  page->Label23Click(page->Label23);
  page->ReportListView->SetItemIndex(0);
  page->ReportListViewDblClick(page->ReportListView);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "Details of Temporary Files found|Total: 3|3",
                      "FileName: a.tmp\rPath: " + tree + "\\a.tmp\rSize: 2KB",
                      "Details of Temporary Files found|Total: 3|3",
                      "FileName: a.tmp\rPath: " + tree + "\\a.tmp\rSize: 2KB"}));
}

namespace {
struct JunkInMainWindow : ::testing::Test, MainWindowHost {
  JunkInMainWindow() { CreateAndShow(); }
};
}  // namespace

TEST_F(JunkInMainWindow, WhileItScansThePageButtonsAndLaunchersWaitAndExitStopsTheScanAndEnds) {
  form->AdvanceBtnClick(form->AdvanceBtn);
  form->LaunchTool(2, form->ToolLabels[2]);
  auto* page = dynamic_cast<TSysDiskCleanerForm*>(form->Tools[2].Window);
  ASSERT_NE(page, nullptr);
  page->JunkFilePath = folder.Path() + "JunkFile.dat";
  folder.WriteFile("tree\\x.tmp");
  page->UseDrives({{.Caption = "Test", .Drive = "C:", .Root = folder.Path() + "tree"}});
  page->NextBtnClick(page->NextBtn);

  bool held = false;
  Application.Post([&] {   // runs inside the scan's first pump
    held = page->HoldsWindow() && page->State == TCleanerState::Scanning;
    form->ScanBtnClick(form->ScanBtn);
    form->BackupBtnClick(form->BackupBtn);
    form->LaunchTool(0, form->ToolLabels[0]);
    page->NextBtnClick(page->NextBtn);
    page->BackBtnClick(page->BackBtn);
    form->LaunchTool(0, form->ToolLabels[0]);
  });
  page->NextBtnClick(page->NextBtn);
  EXPECT_TRUE(held);
  EXPECT_EQ(form->Tools[2].Window, page);
  EXPECT_EQ(form->Tools[0].Window, nullptr);
  EXPECT_EQ(form->MainNotebook->PageIndex(), 2);
  EXPECT_EQ(page->Step(), TCleanerStep::Scan);
  form->LaunchTool(0, form->ToolLabels[0]);   // the scan page still shows: launchers wait
  EXPECT_EQ(form->Tools[0].Window, nullptr);

  // Exit in the middle of the next scan stops it at its next entry and ends the program: the
  // scan returns at once and nothing more is shown.
  page->BackBtnClick(page->BackBtn);
  for (int i = 0; i < 50; ++i) folder.WriteFile("tree\\f" + IntToStr(i) + "\\x.tmp");
  Application.Post([&] { dm.Exit1Click(dm.Exit1); });   // the tray's Exit, in the scan's first pump
  page->NextBtnClick(page->NextBtn);
  EXPECT_TRUE(Application.Terminated());
  EXPECT_EQ(page->State, TCleanerState::StopRequested);
  EXPECT_TRUE(page->FoundFiles.empty());
  EXPECT_TRUE(testing_support::MessageTexts().empty());
  EXPECT_EQ(form->Tools[2].Window, page);
}
