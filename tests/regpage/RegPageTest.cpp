// The main window's backup page: both lists, the full export, restore (checked), remove, the
// page's life inside the main window.
#include <gtest/gtest.h>

#include <set>

#include "app/HintUnit.h"
#include "app/MainUnitBackup.h"
#include "app/RegBackupUnit.h"
#include "framework/Handles.h"
#include "support/ExactNames.h"
#include "support/MainWindowHost.h"
#include "support/RegistryTree.h"

using PublicFunctionUnit::MyRegistryInfo;
using testing_support::MessageBoxes;
using testing_support::MessageTexts;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {

const char* const kSelect = "Please select the specific item for this operation!";
const char* const kRestoreQuestion = "Would you like to restore the registry now?";
const char* const kRestored = "The registry was restored successfully!";
const char* const kNotRestored = "The registry was not restored completely!";
const char* const kRemoveQuestion = "Are you sure to remove this backup file now?\rThis operation is not reversible!";
const char* const kRemoved = "The backup file was removed successfully!";

// A file of exactly `size` bytes.
std::string SizedFile(const TempFolder& temp, const std::string& name, size_t size) {
  return temp.WriteFile(name, std::string(size, 'x'));
}

// The rows as "size text | full path", in name order (the file system's order is not fixed).
std::set<std::string> Rows(const TListView& list) {
  std::set<std::string> rows;
  for (int i = 0; i < list.Count(); ++i) {
    const TListItem* row = list.Item(i);
    rows.insert(row->Text(1) + " | " + row->Text(3));
  }
  return rows;
}

int RowOf(const TListView& list, const std::string& path) {
  for (int i = 0; i < list.Count(); ++i)
    if (list.Item(i)->Text(3) == path) return i;
  return -1;
}

// A registry script of the program's own writer holding box\k with its values and subkeys.
std::string ScriptOf(const RegSandbox& box, const TempFolder& temp, const std::string& name) {
  TStringList lines;
  lines.Add(MainUnit::RegScriptHeaderNT);
  EXPECT_EQ(MainUnit::ExportRegKey(box.FullPath() + "\\k", lines), MainUnit::TExportOutcome::Written);
  return temp.WriteFile(name, MainUnit::EncodeRegScript(lines));
}

struct RegPageFixture : ::testing::Test, MainWindowHost {
  const testing_support::TempFolder& temp = folder;

  RegPageFixture() { CreateAndShow(); }

  std::string FullDir() const { return temp.Path() + "FullBackup\\"; }

  // Selects the row (unless -1), has the question answered and presses the page's button;
  // returns the texts of the message boxes shown.
  std::vector<std::string> Press(TListView* list, int row, void (TRegBackupForm::*button)(TObject*),
                                 int answer = IDYES) {
    MessageBoxes().Clear();
    if (row >= 0) list->SetItemIndex(row);
    MessageBoxes().NextAnswer = answer;
    (form->BackupPage()->*button)(nullptr);
    return MessageTexts();
  }

  // Opens the backup page as the page button does, its full list pointed at the test's folder.
  TRegBackupForm* Open() {
    form->BackupBtnClick(form->BackupBtn);
    EXPECT_NE(form->BackupPage(), nullptr);
    form->BackupPage()->FullFolder = FullDir();
    return form->BackupPage();
  }
};

TEST_F(RegPageFixture, ButtonsTabsAndRowsShowTheirPictures) {
  SizedFile(temp, "RepairBackup\\_1.reg", 10);
  TRegBackupForm* page = Open();
  const TImageList& buttons = dm.BackupImageList;
  ASSERT_EQ(buttons.Count(), 6);
  const std::vector<std::pair<TImageEx*, int>> pictures = {{page->BackupRegistryBtn, 0}, {page->RestoreRegistryBtn, 2},
                                                          {page->RestorePartialBtn, 2}, {page->RemoveBackupBtn, 4},
                                                          {page->RemovePartialBtn, 4}};
  for (const auto& [button, leave] : pictures) ExpectHoverPictures(button, buttons, leave, leave + 1);
  EXPECT_FALSE(ShowsImage(page->BackupRegistryBtn, buttons, 2)) << "the pictures differ";

  const TImageList& tabs = dm.BackupTabImageList;
  EXPECT_TRUE(ShowsImage(page->PartialSheet, tabs, 1) && ShowsImage(page->FullSheet, tabs, 2));
  page->FullSheet->Click();
  EXPECT_TRUE(ShowsImage(page->PartialSheet, tabs, 0) && ShowsImage(page->FullSheet, tabs, 3));
  EXPECT_EQ(page->BackupNotebook->PageIndex(), 1);
  page->PartialSheet->Click();
  EXPECT_TRUE(ShowsImage(page->PartialSheet, tabs, 1) && page->BackupNotebook->PageIndex() == 0);

  // The rows are drawn as the other owner-drawn lists.
  ASSERT_EQ(page->PartialListView->Count(), 1);
  for (int row : {0, 1})   // there is no row 1: nothing is drawn
    for (bool selected : {true, false}) {
      TBitmap bmp(300, 56, 0x123456);
      TBitmapDC dc(bmp);
      TCanvas canvas(dc.Handle());
      page->BackupListDrawItem(page->PartialListView, row, canvas, {0, 0, 300, 56}, selected);
      EXPECT_EQ(bmp.Pixel(1, 20), 0x123456u) << "2 pixels left out at the left";
      EXPECT_EQ(bmp.Pixel(150, 3), 0x123456u) << "4 pixels left out at the top";
      EXPECT_EQ(bmp.Pixel(2, 20), row == 1 ? 0x123456u : selected ? 0xFF0000u : 0xFDE9E5u) << "the frame";
      EXPECT_EQ(bmp.Pixel(5, 30), row == 1 ? 0x123456u : selected ? 0xFFF2D9u : 0xFFFFFFu) << "the fill";
    }
}

// Adds "title | message" of a shown please-wait window to the list in lp.
BOOL CALLBACK AddHintText(HWND window, LPARAM lp) {
  auto* hint = dynamic_cast<THintForm*>(TControl::FromHandle(window));
  if (hint != nullptr && hint->Visible())
    reinterpret_cast<std::vector<std::string>*>(lp)->push_back(hint->PanelHint->Caption() + " | " +
                                                               hint->LabelMsg->Caption());
  return TRUE;
}

TEST_F(RegPageFixture, TheFullExportWritesAFileAndListsIt) {
  RegSandbox box;
  box.SetString("k", "v", "x");
  TRegBackupForm* page = Open();
  page->ExportKey = box.FullPath();
  page->FullSheetClick(page->FullSheet);
  // While regedit exports, the please-wait window shows and the page buttons wait.
  std::vector<std::string> during;
  Application.Post([&] {
    form->ScanBtnClick(form->ScanBtn);
    during.push_back(Format("page %d", form->MainNotebook->PageIndex()));
    EnumThreadWindows(GetCurrentThreadId(), AddHintText, reinterpret_cast<LPARAM>(&during));
  });
  page->BackupRegistryBtnClick(page->BackupRegistryBtn);
  EXPECT_EQ(during, (std::vector<std::string>{
                        "page 1", "Registry Backup | Please wait until the backup operation is finished."}));
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"The registry backup was created successfully!"}));
  EXPECT_EQ(MessageBoxes().Calls[0].caption, "Zelvoran");
  EXPECT_EQ(MessageBoxes().Calls[0].flags, 0u);
  ASSERT_EQ(page->BackupDataListView->Count(), 1);
  std::string file = page->BackupDataListView->Item(0)->Text(3);
  EXPECT_EQ(ExtractFilePath(file), FullDir());
  EXPECT_EQ(ExtractFileName(file).size(), std::string("Backup_yyyymmdd_hhnnss.reg").size());
  EXPECT_TRUE(RegBackupUnit::VerifyRegistryScript(file).Verified);
  EXPECT_TRUE(page->BackupNotebook->PageIndex() == 1 && !page->Busy());

  // An export that writes nothing is reported as failed and listed nowhere.
  MessageBoxes().Clear();
  page->ExportKey = box.FullPath() + "\\missing";
  page->Clock = [] { return Now() + 1.0; };   // a new time stamp, a new file name
  page->BackupRegistryBtnClick(page->BackupRegistryBtn);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Creating registry backup was failed."}));
  EXPECT_EQ(page->BackupDataListView->Count(), 1);
}

// Exit from the tray menu while the whole registry is exported ends the export at once: its
// partial file is removed and nothing more is said.
TEST_F(RegPageFixture, ExitDuringTheFullExportEndsItAndLeavesNoFile) {
  TRegBackupForm* page = Open();
  page->ExportKey = "";   // the whole registry: seconds of work
  page->FullSheetClick(page->FullSheet);
  Application.Post([&] { dm.Exit1Click(dm.Exit1); });
  DWORD started = GetTickCount();
  page->BackupRegistryBtnClick(page->BackupRegistryBtn);
  EXPECT_LT(GetTickCount() - started, 5000u);
  EXPECT_TRUE(Application.Terminated());
  EXPECT_TRUE(MessageTexts().empty());
  std::vector<std::string> files;
  ForEachFile(FullDir(), "*", [&](const TFoundFile& f) {
    if (!f.IsFolder()) files.push_back(f.Name);
    return true;
  });
  EXPECT_EQ(files, std::vector<std::string>{});
}

TEST_F(RegPageFixture, RestoreBringsTheKeysBackAndSaysSoOnlyWhenTheyReadBack) {
  RegSandbox box;
  box.SetString("k", "text", "Ключ \"quoted\"");
  box.SetDword("k\\sub", "n", 42);
  std::string script = ScriptOf(box, temp, "RepairBackup\\_20260101_101010.reg");
  PublicFunctionUnit::DeleteRegistryKey(box.Root(), box.Path() + "\\k");
  TRegBackupForm* page = Open();
  ASSERT_EQ(page->PartialListView->Count(), 1);

  TListView* list = page->PartialListView;
  EXPECT_EQ(Press(list, -1, &TRegBackupForm::RestorePartialBtnClick), (std::vector<std::string>{kSelect}));
  EXPECT_EQ(Press(list, 0, &TRegBackupForm::RestorePartialBtnClick, IDNO),
            (std::vector<std::string>{kRestoreQuestion}));
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_YESNO | MB_ICONINFORMATION));
  EXPECT_FALSE(box.KeyExists("k"));

  // While regedit runs the window stays live, but neither the page nor the page buttons act; the
  // please-wait window tells the step.
  int pageDuring = -1, rowsDuring = -1;
  std::vector<std::string> hints;
  Application.Post([&] {
    form->ScanBtnClick(form->ScanBtn);
    page->RemovePartialBtnClick(page->RemovePartialBtn);
    pageDuring = form->MainNotebook->PageIndex();
    rowsDuring = page->PartialListView->Count();
    EnumThreadWindows(GetCurrentThreadId(), AddHintText, reinterpret_cast<LPARAM>(&hints));
  });
  EXPECT_EQ(Press(list, 0, &TRegBackupForm::RestorePartialBtnClick),
            (std::vector<std::string>{kRestoreQuestion, kRestored}));
  EXPECT_EQ(MessageBoxes().Calls[1].flags, 0u);
  EXPECT_EQ(std::pair(pageDuring, rowsDuring), std::pair(1, 1));
  EXPECT_EQ(hints, std::vector<std::string>{"Registry Restore | Writing the entries back into the registry..."});
  hints.clear();
  EnumThreadWindows(GetCurrentThreadId(), AddHintText, reinterpret_cast<LPARAM>(&hints));
  EXPECT_TRUE(hints.empty()) << "gone with the restore";
  EXPECT_TRUE(FileExists(script) && box.ValueExists("k", "text") && box.ValueExists("k\\sub", "n"));
  EXPECT_FALSE(page->Busy());
}

// A repair backup is restored without writing over what was written anew since the repair: the
// page brings back what is absent, leaves the rest, names it and does not say the registry was
// restored. A full backup puts everything back as it was.
TEST_F(RegPageFixture, APartialRestoreLeavesWhatChangedSinceTheRepairAndNamesIt) {
  RegSandbox box;
  box.SetString("k", "text", "old");
  box.SetDword("k", "n", 1);
  std::string script = ScriptOf(box, temp, "RepairBackup\\_20260101_101010.reg");
  temp.WriteFile("FullBackup\\Backup_20260101_101010.reg", ReadFileBytes(script));
  PublicFunctionUnit::DeleteRegistryKey(box.Root(), box.Path() + "\\k");
  box.SetString("k", "text", "new");   // the program wrote it again since the repair
  TRegBackupForm* page = Open();

  std::vector<std::string> texts = Press(page->PartialListView, 0, &TRegBackupForm::RestorePartialBtnClick);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], std::string(kNotRestored) +
                          "\r\rThese entries have changed since the backup and were left as they are now:\r" +
                          box.FullPath() + "\\k\\\"text\"\r");
  EXPECT_EQ(MessageBoxes().Calls[1].flags, (unsigned)MB_ICONWARNING);
  EXPECT_EQ(box.Read("k", "text"), "new");
  EXPECT_TRUE(box.ValueExists("k", "n"));

  page->FullSheetClick(page->FullSheet);
  EXPECT_EQ(Press(page->BackupDataListView, 0, &TRegBackupForm::RestoreRegistryBtnClick),
            (std::vector<std::string>{kRestoreQuestion, kRestored}));
  EXPECT_EQ(box.Read("k", "text"), "old");
}

TEST_F(RegPageFixture, RestoreOfAMissingOrDamagedFileFailsAndChangesNothing) {
  RegSandbox box;
  box.SetString("k", "v", "x");
  std::string gone = ScriptOf(box, temp, "RepairBackup\\_1.reg");
  std::string key = "[" + box.FullPath() + "\\k]\r\n\"v\"=\"restored\"\r\n\"w\"=\"new\"\r\n";
  // not a registry script; a script whose last line is cut off; bytes that are no text
  temp.WriteFile("RepairBackup\\_2.reg", "REGEDIT5\r\n" + key);
  temp.WriteFile("RepairBackup\\_3.reg", testing_support::RegScript({MainUnit::RegScriptHeaderNT, "[" + box.FullPath() + "\\k]",
                                                                     "\"v\"=\"restored\"", "\"w\"=\"new"}));
  temp.WriteFile("RepairBackup\\_4.reg", std::string("\xFF\xFE\x01\xD8\x00\x00\x5B\x00", 8));
  SizedFile(temp, "FullBackup\\Backup_20260101_101010.reg", 0);

  TRegBackupForm* page = Open();
  DeleteFileW(Widen(gone).c_str());
  for (const char* name : {"_1.reg", "_2.reg", "_3.reg", "_4.reg"}) {
    SCOPED_TRACE(name);
    std::vector<std::string> texts = Press(page->PartialListView, RowOf(*page->PartialListView, RepairDir() + name),
                                           &TRegBackupForm::RestorePartialBtnClick);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].rfind(kNotRestored, 0), 0u) << texts[1];
    EXPECT_EQ(MessageBoxes().Calls[1].flags, (unsigned)MB_ICONWARNING);
    EXPECT_EQ(page->BackupNotebook->PageIndex(), 0);
  }
  EXPECT_EQ(box.Read("k", "v") + box.Read("k", "w"), "x<none>");

  // an empty full backup: nothing to restore from; the full page stays shown
  page->FullSheetClick(page->FullSheet);
  std::vector<std::string> texts = Press(page->BackupDataListView, 0, &TRegBackupForm::RestoreRegistryBtnClick);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1].rfind(kNotRestored, 0), 0u);
  EXPECT_EQ(page->BackupNotebook->PageIndex(), 1);
}

TEST_F(RegPageFixture, RemoveDeletesOnlyTheSelectedFileOnceConfirmed) {
  std::string keep = SizedFile(temp, "RepairBackup\\_1.reg", 10);
  std::string drop = SizedFile(temp, "RepairBackup\\_2.reg", 10);
  std::string locked = SizedFile(temp, "RepairBackup\\_3.reg", 10);
  std::string full = SizedFile(temp, "FullBackup\\Backup_20260101_101010.reg", 10);
  TRegBackupForm* page = Open();
  TListView* list = page->PartialListView;

  const auto remove = &TRegBackupForm::RemovePartialBtnClick;
  EXPECT_EQ(Press(list, -1, remove), (std::vector<std::string>{kSelect}));
  EXPECT_EQ(Press(list, RowOf(*list, drop), remove, IDNO), (std::vector<std::string>{kRemoveQuestion}));
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_YESNO | MB_ICONWARNING));
  EXPECT_TRUE(FileExists(drop) && list->Count() == 3);

  EXPECT_EQ(Press(list, -1, remove), (std::vector<std::string>{kRemoveQuestion, kRemoved}));
  EXPECT_FALSE(FileExists(drop));
  EXPECT_TRUE(FileExists(keep) && FileExists(locked) && FileExists(full));
  EXPECT_EQ(list->Count(), 2);
  EXPECT_EQ(RowOf(*list, drop), -1);

  // A file that cannot be deleted: the warning, file and row stay.
  SetFileAttributesW(Widen(locked).c_str(), FILE_ATTRIBUTE_READONLY);
  std::vector<std::string> texts = Press(list, RowOf(*list, locked), remove);
  SetFileAttributesW(Widen(locked).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(texts, (std::vector<std::string>{kRemoveQuestion,
                                               "The backup file cannot be deleted or does not exist!\rPlease make sure "
                                               "that the registry backup has not been modified or changed."}));
  EXPECT_EQ(MessageBoxes().Calls[1].flags, (unsigned)MB_ICONWARNING);
  EXPECT_TRUE(FileExists(locked) && list->Count() == 2);

  // A file already gone: nothing more is said and the row stays.
  DeleteFileW(Widen(keep).c_str());
  EXPECT_EQ(Press(list, RowOf(*list, keep), remove), (std::vector<std::string>{kRemoveQuestion}));
  EXPECT_EQ(list->Count(), 2);

  // The full list removes its own file and returns to its page.
  page->FullSheetClick(page->FullSheet);
  EXPECT_EQ(Press(page->BackupDataListView, 0, &TRegBackupForm::RemoveBackupBtnClick),
            (std::vector<std::string>{kRemoveQuestion, kRemoved}));
  EXPECT_TRUE(!FileExists(full) && FileExists(locked));
  EXPECT_EQ(std::pair(page->BackupDataListView->Count(), page->BackupNotebook->PageIndex()), std::pair(0, 1));
}

// A backup whose name ends in a dot or a blank is read by regedit and the file routines as the
// file without them: it is never restored, and removing it removes exactly the file listed.
TEST_F(RegPageFixture, ABackupIsRestoredAndRemovedAsListedNeverAsALookAlike) {
  RegSandbox box;
  box.SetString("k", "v", "backed up");
  const std::string dir = RepairDir();
  const std::string plain = ReadFileBytes(ScriptOf(box, temp, "RepairBackup\\_1.reg"));
  box.SetString("k", "v", "other");
  testing_support::PlantExact(dir, "_1.reg.", ReadFileBytes(ScriptOf(box, temp, "RepairBackup\\_2.reg")));
  testing_support::PlantExact(dir, "_1.reg ", "x");
  PublicFunctionUnit::DeleteRegistryKey(box.Root(), box.Path() + "\\k");
  TRegBackupForm* page = Open();
  TListView* list = page->PartialListView;

  for (const std::string name : {"_1.reg.", "_1.reg "}) {
    SCOPED_TRACE(name);
    ASSERT_GE(RowOf(*list, dir + name), 0);
    std::vector<std::string> texts = Press(list, RowOf(*list, dir + name), &TRegBackupForm::RestorePartialBtnClick);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], std::string(kNotRestored) + "\r\r" + Format(RegBackupUnit::NameReadAsAnotherText, dir + name) +
                            "\r\rPlease make sure that the registry backup has not been modified or changed.");
    EXPECT_FALSE(box.KeyExists("k"));
  }

  EXPECT_EQ(Press(list, RowOf(*list, dir + "_1.reg."), &TRegBackupForm::RemovePartialBtnClick),
            (std::vector<std::string>{kRemoveQuestion, kRemoved}));
  EXPECT_FALSE(testing_support::ExactlyThere(dir, "_1.reg."));
  EXPECT_EQ(testing_support::ExactContent(dir, "_1.reg"), plain);
  EXPECT_TRUE(testing_support::ExactlyThere(dir, "_1.reg "));
}

TEST_F(RegPageFixture, ThePageIsMadeOnceAndListsTheBackupFilesOfItsFoldersOnEveryVisit) {
  EXPECT_EQ(form->BackupPage(), nullptr);
  TRegBackupForm* page = Open();
  EXPECT_TRUE(page->Parent() == form->BackupPanel && page->Owner() == form);
  EXPECT_EQ(page->Caption(), "Registry Backup");
  EXPECT_EQ(page->PartialListView->Count(), 0);
  page->FullSheetClick(page->FullSheet);

  // Files written meanwhile are listed at the next visit, with their sizes, on the partial page.
  const std::vector<std::pair<size_t, std::string>> sizes = {
      {0, "0 KB"}, {1023, "1023 B"}, {1024, "1 KB"}, {1536, "2 KB"}, {2560, "2 KB"}, {1048576, "1 MB"}};
  std::set<std::string> expected;
  for (const auto& [size, text] : sizes)
    expected.insert(text + " | " + SizedFile(temp, Format("RepairBackup\\_%d.reg", (int)size), size));
  SizedFile(temp, "RepairBackup\\notes.txt", 10);
  CreateDirectoryW(Widen(RepairDir() + "folder.reg").c_str(), nullptr);
  form->ScanBtnClick(form->ScanBtn);
  form->AdvanceBtnClick(form->AdvanceBtn);
  EXPECT_TRUE(Open() == page && page->BackupNotebook->PageIndex() == 0);
  EXPECT_EQ(Rows(*page->PartialListView), expected);
  for (int i = 0; i < page->PartialListView->Count(); ++i) {
    EXPECT_EQ(page->PartialListView->Item(i)->Text(2), RepairDir());
    EXPECT_FALSE(page->PartialListView->Item(i)->Caption.empty());
  }
  EXPECT_EQ(page->PartialListView->ColumnWidth(0), page->PartialListView->Width() - 20);
  SizedFile(temp, "RepairBackup\\_2.reg", 10);
  EXPECT_EQ(Open(), page);   // pressed again while shown
  EXPECT_EQ(page->PartialListView->Count(), (int)sizes.size() + 1);
  int pages = 0;
  for (int i = 0; i < form->BackupPanel->ControlCount(); ++i)
    if (dynamic_cast<TRegBackupForm*>(form->BackupPanel->Controls(i)) != nullptr) ++pages;
  EXPECT_EQ(pages, 1);

  // No "FullBackup\" folder: an empty full list, whatever the partial folder holds.
  page->FullSheetClick(page->FullSheet);
  EXPECT_EQ(std::pair(page->BackupDataListView->Count(), page->BackupNotebook->PageIndex()), std::pair(0, 1));
  std::string full = SizedFile(temp, "FullBackup\\Backup_20260101_101010.reg", 3000);
  page->FullSheetClick(page->FullSheet);
  EXPECT_EQ(Rows(*page->BackupDataListView), (std::set<std::string>{"3 KB | " + full}));
  page->PartialSheetClick(page->PartialSheet);
  EXPECT_EQ(std::pair(page->PartialListView->Count(), page->BackupNotebook->PageIndex()), std::pair((int)sizes.size() + 1, 0));
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

// Backups noted as another user's (the program's folder is shared by every user of the machine,
// and HKEY_CURRENT_USER is each one's own hive) are in neither list: a repair backup notes its
// user after its header, a full export at its end. The current user's and those noting no user
// are listed as before. A backup that becomes another user's after it was listed is not restored:
// nothing is written, the page says why and the file stays as it is.
TEST_F(RegPageFixture, AnotherUsersBackupsAreNeitherListedNorRestored) {
  RegSandbox box;
  const std::string nt = MainUnit::RegScriptHeaderNT;
  const std::string key = "[" + box.FullPath() + "\\k]";
  const std::string other = ";User: S-1-5-21-1004336348-1177238915-682003330-1001";
  const std::string mine = ";User: " + AnsiLowerCase(PublicFunctionUnit::CurrentUserSid());
  auto partial = [&](const std::string& note) { return testing_support::RegScript({nt, note, key, "\"v\"=\"back\""}); };
  auto full = [&](const std::string& header, const std::string& note) {
    return testing_support::RegScript({header, "", key, "\"v\"=\"back\"", "", note});
  };
  struct TCase {
    std::string Name;
    std::string Bytes;
    bool Listed;
  };
  const TCase cases[] = {
      {"RepairBackup\\_other.reg", partial(other), false},
      {"RepairBackup\\_mine.reg", partial(mine), true},
      {"RepairBackup\\_no user.reg", partial("; a comment"), true},
      {"FullBackup\\Backup_other.reg", full(nt, other), false},
      {"FullBackup\\Backup_other 8-bit.reg", full("REGEDIT4", other), false},
      {"FullBackup\\Backup_mine.reg", full(nt, mine), true},
      {"FullBackup\\Backup_no user.reg", full(nt, ""), true},
  };
  std::set<std::string> partialRows, fullRows;
  for (const TCase& c : cases) {
    std::string file = temp.WriteFile(c.Name, c.Bytes);
    if (c.Listed) (c.Name.starts_with("Repair") ? partialRows : fullRows).insert(RegBackupUnit::BackupSizeText((DWORD)c.Bytes.size()) + " | " + file);
  }
  TRegBackupForm* page = Open();
  EXPECT_EQ(Rows(*page->PartialListView), partialRows);
  page->FullSheetClick(page->FullSheet);
  EXPECT_EQ(Rows(*page->BackupDataListView), fullRows);

  // listed as the current user's, then written as another user's
  struct TTurned {
    TListView* List;
    void (TRegBackupForm::*Button)(TObject*);
    std::string Name;
    std::string Bytes;
  };
  const TTurned turned[] = {{page->PartialListView, &TRegBackupForm::RestorePartialBtnClick, "RepairBackup\\_mine.reg", partial(other)},
                            {page->BackupDataListView, &TRegBackupForm::RestoreRegistryBtnClick,
                             "FullBackup\\Backup_mine.reg", full(nt, other)}};
  for (const TTurned& t : turned) {
    SCOPED_TRACE(t.Name);
    const std::string file = temp.WriteFile(t.Name, t.Bytes);
    std::vector<std::string> texts = Press(t.List, RowOf(*t.List, file), t.Button);
    EXPECT_EQ(texts, (std::vector<std::string>{kRestoreQuestion, std::string(kNotRestored) + "\r\r" +
                                                                     Format(PublicFunctionUnit::OtherUsersBackupText, file) + "\r"}));
    EXPECT_EQ(box.Read("k", "v"), "<none>");
    EXPECT_EQ(ReadFileBytes(file), t.Bytes);
  }

  // a full backup noting no user is restored as before
  EXPECT_EQ(Press(page->BackupDataListView, RowOf(*page->BackupDataListView, FullDir() + "Backup_no user.reg"),
                  &TRegBackupForm::RestoreRegistryBtnClick),
            (std::vector<std::string>{kRestoreQuestion, kRestored}));
  EXPECT_EQ(box.Read("k", "v"), "back");
}

// A restore refuses scripts with lines it cannot read, so every line of the system's own export
// of the whole registry must read.
TEST(WholeRegistryExport, EveryLineOfItReads) {
  TempFolder temp;
  RegBackupUnit::TFullBackupResult backup = RegBackupUnit::MakeFullBackup(temp.Path() + "FullBackup\\", Now());
  ASSERT_TRUE(backup.Succeeded);
  RegBackupUnit::TRestoreResult check = RegBackupUnit::VerifyRegistryScript(backup.FileName);
  EXPECT_GT(check.Keys, 1000);
  for (const std::string& problem : check.Problems)
    EXPECT_FALSE(problem.starts_with("Unreadable line") || problem.starts_with("The file")) << problem;
}

}  // namespace
