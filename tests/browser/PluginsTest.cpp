// The browser plug-in manager: the plug-ins planted in the browser's keys as the list shows them,
// removal after a backup in "IEBackUp\" and its restore bringing back every key and value, the
// backup list and its details, and the removers' guards.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <random>

#include "BrowserTestSupport.h"
#include "app/MainUnitBackup.h"
#include "framework/Exceptions.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"
#include "tools/browser/IERepairItemUnit.h"
#include "tools/browser/IePluginsUnit.h"

using namespace browser_test;
using namespace IePluginsUnit;
using testing_support::MessageBoxes;
using testing_support::TempFolder;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE, HKCU = HKEY_CURRENT_USER;
const std::string kMenuExt = "Software\\Microsoft\\Internet Explorer\\MenuExt";
const std::string kToolbar = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const std::string kBars = "Software\\Microsoft\\Internet Explorer\\Explorer Bars";
const std::string kMenuExtPath = "HKEY_CURRENT_USER\\" + kMenuExt;
const std::string kToolbarPath = "HKEY_LOCAL_MACHINE\\" + kToolbar;
const std::string kUserBarsPath = "HKEY_CURRENT_USER\\" + kBars;
const std::string kMachineBars = "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars";
const std::string kMachineBarsPath = "HKEY_LOCAL_MACHINE\\" + kMachineBars;

std::vector<uint8_t> Blob() {
  std::vector<uint8_t> data(4096);
  for (size_t i = 0; i < data.size(); ++i) data[i] = (uint8_t)(i * 7 + 3);
  return data;
}

// A UTF-16LE file's lines (the writer's files under the NT header).
std::vector<std::string> FileLines(const std::string& fileName) {
  std::string bytes = ReadFileBytes(fileName);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  std::wstring w((bytes.size() - 2) / 2, L'\0');
  memcpy(w.data(), bytes.data() + 2, w.size() * 2);
  std::vector<std::string> lines;
  std::string text = Narrow(w);
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

struct Plugins : ::testing::Test {
  std::vector<TArea> areas = BrowserAreas({"{ZV-C1}", "{ZV-E1}"});
  TAreaGuard guard{areas};
  std::string folder = PluginBackupFolder();
  bool folderWasThere = DirectoryExists(ExcludeTrailingBackslash(folder));
  std::set<std::string> filesBefore = FilesIn(folder);
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::Dialog})};
  TFormIePlugins* page = nullptr;

  Plugins() {
    MessageBoxes().Clear();
    PublicFunctionUnit::PlatformKind = 4;
    SHDeleteKeyW(HKCU, Widen(kMenuExt).c_str());
    SHDeleteKeyW(HKCU, Widen(kBars).c_str());
    SHDeleteKeyW(HKLM, Widen(kToolbar).c_str());
    SHDeleteKeyW(HKLM, Widen(kMachineBars).c_str());
  }
  ~Plugins() override {
    if (page != nullptr) page->Free();
    for (const std::string& file : NewFiles()) DeleteFileW(Widen(folder + file).c_str());
    if (!folderWasThere) RemoveDirectoryW(Widen(ExcludeTrailingBackslash(folder)).c_str());
  }
  std::vector<std::string> NewFiles() const {
    std::vector<std::string> files;
    for (const std::string& f : FilesIn(folder))
      if (!filesBefore.count(f)) files.push_back(f);
    return files;
  }

  void PlantAll() {
    PlantString(HKCU, kMenuExt + "\\&ZvFoo", "", "res://x");
    PlantDword(HKCU, kMenuExt + "\\&ZvFoo", "Contexts", 2);
    Plant(HKCU, kMenuExt + "\\&ZvFoo\\Sub", L"Blob", REG_BINARY, Blob());
    PlantKey(HKCU, kMenuExt + "\\&ZvFoo\\Empty");
    PlantString(HKCU, kMenuExt + "\\&ZvGoo", "", "res://y");
    PlantString(HKLM, kToolbar, "{ZV-C1}", "");
    PlantString(HKEY_CLASSES_ROOT, "CLSID\\{ZV-C1}", "", "My Bar");
    PlantDword(HKLM, kToolbar, "{ZV-C2}", 10);
    Plant(HKLM, kToolbar, L"{ZV-C3}", REG_BINARY, {0x01, 0xAB});
    PlantString(HKCU, kBars + "\\{ZV-E1}", "BarSize", "x");
    PlantString(HKEY_CLASSES_ROOT, "CLSID\\{ZV-E1}", "", "Bar One");
    PlantKey(HKCU, kBars + "\\{ZV-E2}");
    PlantDword(HKLM, kMachineBars + "\\{ZV-E3}", "v", 3);
  }

  void Open() {
    page = dynamic_cast<TFormIePlugins*>(NewBrowserPluginsPage(host.get()));
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }

  std::vector<std::vector<std::string>> Rows() const {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < page->IEItemListView->Count(); ++i) rows.push_back(page->IEItemListView->Item(i)->SubItems);
    return rows;
  }
  // Ticks the rows whose entry (sub-item 2) is one of these.
  void Tick(std::initializer_list<std::string> entries) {
    for (int i = 0; i < page->IEItemListView->Count(); ++i)
      for (const std::string& e : entries)
        if (page->IEItemListView->Item(i)->Text(3) == e || page->IEItemListView->Item(i)->Text(1) == e)
          page->IEItemListView->SetChecked(i, true);
  }
  int BackupRow(const std::string& file) const {
    for (int i = 0; i < page->IEBackupListView->Count(); ++i)
      if (page->IEBackupListView->Item(i)->Text(1) == file) return i;
    return -1;
  }
};

TEST_F(Plugins, TheListShowsMenuExtensionsToolbarsAndExplorerBars) {
  PlantAll();
  Open();
  const std::string menuKey = kMenuExt + "\\";
  EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{
                        {"&ZvFoo", kMenuExtPath + "\\&ZvFoo", menuKey, "&ZvFoo", "1"},
                        {"&ZvGoo", kMenuExtPath + "\\&ZvGoo", menuKey, "&ZvGoo", "1"},
                        {"My Bar", kToolbarPath, "{ZV-C1}", "My Bar", "2"},
                        {"0x0000000A(10)", kToolbarPath, "{ZV-C2}", "0x0000000A(10)", "2"},
                        {"01 AB", kToolbarPath, "{ZV-C3}", "01 AB", "2"},
                        {"Bar One", kUserBarsPath + "\\{ZV-E1}", "{ZV-E1}", "Bar One", "3"},
                        {"", kUserBarsPath + "\\{ZV-E2}", "{ZV-E2}", "", "3"},
                        {"", kMachineBarsPath + "\\{ZV-E3}", "{ZV-E3}", "", "3"},
                    }));
  for (int i = 0; i < page->IEItemListView->Count(); ++i) EXPECT_FALSE(page->IEItemListView->IsChecked(i));
  EXPECT_EQ(page->IEItemListView->ColumnWidth(2), page->IEItemListView->Width() - 25 - 150 - 20);

  page->CkMenuExtension->SetChecked(false);
  page->CkToolBar->SetChecked(false);
  page->CkExplorerBars->SetChecked(false);
  EXPECT_TRUE(Rows().empty());
  page->CkToolBar->SetChecked(true);
  ASSERT_EQ(Rows().size(), 3u);
  for (const auto& row : Rows()) EXPECT_EQ(row[4], "2");

  page->abSelectAll->Click();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(page->IEItemListView->IsChecked(i));
}

TEST(ToolbarText, FollowsTheValuesType) {
  struct TCase {
    DWORD Type;
    std::vector<uint8_t> Data;
    std::string Text;
  } cases[] = {
      {REG_SZ, {'a', 0, 'b', 0, 0, 0}, "ab"},
      {REG_EXPAND_SZ, {'%', 0, 0, 0}, "%"},
      {REG_SZ, {0, 0}, ""},   // no class registered under that name
      {REG_DWORD, {10, 0, 0, 0}, "0x0000000A(10)"},
      {REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, "0xFFFFFFFF(-1)"},
      {REG_BINARY, {0x01, 0xAB}, "01 AB"},
      {REG_BINARY, {}, ""},
      {REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}, ""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(IERepairItemUnit::ToolbarDisplayText("{ZV-NONE}", c.Type, c.Data), c.Text) << c.Text;
}

TEST_F(Plugins, RemovedPluginsComeBackFromTheirBackupExactly) {
  PlantAll();
  std::set<std::string> before = Dump(areas);
  Open();
  Tick({"&ZvFoo", "{ZV-C2}", "{ZV-E1}", "{ZV-E3}"});
  page->RepairItemBtnClick(page->RepairItemBtn);

  std::set<std::string> removed;
  for (const std::string& line : before)
    if (line.find("&ZvFoo") != std::string::npos || line.find("{ZV-C2}") != std::string::npos ||
        line.find("Bars\\{ZV-E1}") != std::string::npos || line.find("{ZV-E3}") != std::string::npos)
      removed.insert("-" + line);
  EXPECT_EQ(Changes(before, Dump(areas)), removed);
  EXPECT_EQ(Rows().size(), 4u);
  EXPECT_TRUE(MessageBoxes().Calls.empty());

  std::vector<std::string> files = NewFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].size(), std::string("Backup_20261207_015253_IE.reg").size());
  EXPECT_EQ(files[0].substr(0, 7), "Backup_");
  std::string blob = "\"Blob\"=hex:";
  for (uint8_t b : Blob()) blob += Format("%02X,", (unsigned)b);
  blob.pop_back();
  EXPECT_EQ(FileLines(folder + files[0]),
            (std::vector<std::string>{
                "Windows Registry Editor Version 5.00",
                "[" + kMenuExtPath + "\\&ZvFoo]", "@=\"res://x\"", "\"Contexts\"=dword:00000002",
                "[" + kMenuExtPath + "\\&ZvFoo\\Empty]",
                "[" + kMenuExtPath + "\\&ZvFoo\\Sub]", blob,
                "[" + kToolbarPath + "]", "\"{ZV-C1}\"=\"\"", "\"{ZV-C2}\"=dword:0000000A", "\"{ZV-C3}\"=hex:01,AB",
                "[" + kUserBarsPath + "\\{ZV-E1}]", "\"BarSize\"=\"x\"",
                "[" + kMachineBarsPath + "\\{ZV-E3}]", "\"v\"=dword:00000003",
            }));

  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  int row = BackupRow(folder + files[0]);
  ASSERT_GE(row, 0);
  EXPECT_FALSE(page->IEBackupListView->Item(row)->Caption.empty());
  page->IEBackupListView->SetItemIndex(row);
  ASSERT_EQ(page->Details.size(), 6u);
  EXPECT_EQ(page->Details[0].KeyLine, "[" + kMenuExtPath + "\\&ZvFoo]");
  EXPECT_EQ(page->Details[0].ValueLine, "\"Contexts\"=dword:00000002");
  EXPECT_EQ(page->Details[1].ValueLine, "");
  TListItem shown;
  page->DetailListView->GetRow(2, shown);
  EXPECT_EQ(shown.Caption, "[" + kMenuExtPath + "\\&ZvFoo\\Sub]");
  EXPECT_EQ(shown.SubItems, std::vector<std::string>{blob});
  EXPECT_FALSE(page->DetailListView->Visible());

  page->RepairItemBtnClick(page->RepairItemBtn);
  EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
  EXPECT_TRUE(MessageBoxes().Calls.empty()) << "the import shows no message";
}

TEST_F(Plugins, TwoToolbarsExportTheirKeyTwiceAndBothGo) {
  PlantAll();
  Open();
  Tick({"{ZV-C1}", "{ZV-C3}"});
  page->RepairItemBtnClick(page->RepairItemBtn);
  EXPECT_FALSE(ValueThere(HKLM, kToolbar, "{ZV-C1}"));
  EXPECT_FALSE(ValueThere(HKLM, kToolbar, "{ZV-C3}"));
  EXPECT_TRUE(ValueThere(HKLM, kToolbar, "{ZV-C2}"));
  ASSERT_EQ(NewFiles().size(), 1u);
  std::vector<std::string> lines = FileLines(folder + NewFiles()[0]);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[" + kToolbarPath + "]"), 2);
  EXPECT_EQ(lines.size(), 1u + 2 * 4);
}

TEST_F(Plugins, NothingTickedWritesNoFile) {
  PlantAll();
  Open();
  std::set<std::string> before = Dump(areas);
  page->RepairItemBtnClick(page->RepairItemBtn);
  EXPECT_TRUE(NewFiles().empty());
  EXPECT_TRUE(DirectoryExists(ExcludeTrailingBackslash(folder)));
  EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
  EXPECT_EQ(Rows().size(), 8u);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(Plugins, TheRestorePageListsRemovesAndGoesBack) {
  Open();
  EXPECT_EQ(page->RepairItemBtn->Caption(), "Remove Checked");
  EXPECT_EQ(page->RemoveRestoreBtn->Caption(), "Restore");
  EXPECT_FALSE(page->BackBtn->Visible());
  std::string dir = ExcludeTrailingBackslash(folder);
  if (!DirectoryExists(dir)) CreateDirectoryW(Widen(dir).c_str(), nullptr);
  std::string a = folder + "Backup_20260101_000000_IE.reg", b = folder + "Backup 2 with blanks.reg";
  WriteFileBytes(a, "REGEDIT4\r\n");
  WriteFileBytes(b, "REGEDIT4\r\n");
  WriteFileBytes(folder + "notes.txt", "x");

  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  EXPECT_EQ(page->Page(), TFormIePlugins::TPluginsPage::Restore);
  EXPECT_EQ(page->RepairItemBtn->Caption(), "Restore");
  EXPECT_EQ(page->RemoveRestoreBtn->Caption(), "Remove Backup");
  EXPECT_FALSE(page->cbSelectAll->Visible());
  EXPECT_FALSE(page->abSelectAll->Visible());
  EXPECT_TRUE(page->BackBtn->Visible());
  EXPECT_GE(BackupRow(a), 0);
  EXPECT_GE(BackupRow(b), 0);
  EXPECT_EQ(page->IEBackupListView->Count(), (int)filesBefore.size() + 2);

  for (auto button : {&TFormIePlugins::RepairItemBtnClick, &TFormIePlugins::RemoveRestoreBtnClick}) {
    MessageBoxes().Clear();
    page->IEBackupListView->SetItemIndex(-1);
    (page->*button)(nullptr);
    ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
    EXPECT_EQ(MessageBoxes().Calls[0].text, "Please select one backup file!");
    EXPECT_EQ(MessageBoxes().Calls[0].caption, "Warning");
    EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)MB_OK);
  }

  MessageBoxes().Clear();
  page->IEBackupListView->SetItemIndex(BackupRow(b));
  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  EXPECT_FALSE(FileExists(b));
  EXPECT_EQ(BackupRow(b), -1);
  EXPECT_TRUE(MessageBoxes().Calls.empty());

  page->IEBackupListView->SetItemIndex(BackupRow(a));
  DeleteFileW(Widen(a).c_str());
  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, "Backup file was remove failed!");
  EXPECT_EQ(MessageBoxes().Calls[0].caption, "warning!");

  page->BackBtnClick(page->BackBtn);
  EXPECT_EQ(page->Page(), TFormIePlugins::TPluginsPage::List);
  EXPECT_EQ(page->RepairItemBtn->Caption(), "Remove Checked");
  EXPECT_EQ(page->RemoveRestoreBtn->Caption(), "Restore");
  EXPECT_TRUE(page->cbSelectAll->Visible());
  EXPECT_FALSE(page->BackBtn->Visible());
}

// ---- the routines ----

TEST_F(Plugins, AnEmptySubkeyNameNeverRemovesTheParentKey) {
  PlantAll();
  std::set<std::string> before = Dump(areas);
  EXPECT_FALSE(IERepairItemUnit::DeleteMenuExtension(kMenuExtPath + "\\", kMenuExt + "\\", ""));
  EXPECT_FALSE(IERepairItemUnit::DeleteExplorerBar(kUserBarsPath + "\\", ""));
  EXPECT_TRUE(RemovePlugins({{.KeyPath = kMenuExtPath + "\\", .Entry = kMenuExt + "\\", .Category = "1"}}, 4,
                            folder, Now())
                  .Saved);
  EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
}

TEST_F(Plugins, APluginWhoseKeyCannotBeReadCompletelyStays) {
  PlantAll();
  Plant(HKCU, kMenuExt + "\\&ZvFoo\\Odd", std::wstring(1, wchar_t(0xD800)), REG_SZ, {'x', 0, 0, 0});
  TempFolder temp;
  TRegistryContents plugins;
  IERepairItemUnit::ListMenuExtensions(plugins);
  std::vector<TPluginRow> rows;
  for (int i = 0; i < plugins.Count(); ++i) rows.push_back(PluginRow(plugins.GetItem(i).Content));
  TPluginRemoval removal = RemovePlugins(rows, 4, temp.Path(), Now());
  EXPECT_EQ(removal.NotBackedUp, std::vector<std::string>{kMenuExtPath + "\\&ZvFoo"});
  EXPECT_EQ(removal.Removed, 1);
  EXPECT_TRUE(KeyThere(HKCU, kMenuExt + "\\&ZvFoo\\Sub"));
  EXPECT_FALSE(KeyThere(HKCU, kMenuExt + "\\&ZvGoo"));
}

TEST_F(Plugins, ABackupThatCannotBeWrittenRemovesNothing) {
  PlantAll();
  TempFolder temp;
  std::set<std::string> before = Dump(areas);
  TPluginRow row{.KeyPath = kMenuExtPath + "\\&ZvFoo", .Entry = kMenuExt + "\\", .DisplayName = "&ZvFoo", .Category = "1"};
  EXPECT_THROW(RemovePlugins({row}, 4, temp.Path() + "no\\such\\", Now()), EInOutError);
  EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
}

TEST_F(Plugins, BackupsOfTheSameSecondKeepTheirOwnFilesAndTheHeaderFollowsThePlatform) {
  PlantAll();
  TempFolder temp;
  TDateTime stamp = 46000.5;
  TPluginRow c2{.KeyPath = kToolbarPath, .Entry = "{ZV-C2}", .Category = "2"};
  TPluginRow c3{.KeyPath = kToolbarPath, .Entry = "{ZV-C3}", .Category = "2"};
  TPluginRemoval first = RemovePlugins({c2}, 4, temp.Path(), stamp);
  TPluginRemoval second = RemovePlugins({c3}, 2, temp.Path(), stamp);
  EXPECT_EQ(first.FileName, temp.Path() + "Backup_" + FormatDateTime("yyyymmdd_hhnnss", stamp) + "_IE.reg");
  EXPECT_EQ(second.FileName, temp.Path() + "Backup_" + FormatDateTime("yyyymmdd_hhnnss", stamp + 1.0 / 86400) + "_IE.reg");
  EXPECT_EQ(FileLines(first.FileName)[3], "\"{ZV-C2}\"=dword:0000000A");
  EXPECT_EQ(ReadFileBytes(second.FileName).substr(0, 10), "REGEDIT4\r\n");
}

TEST(BackupList, ListsTheScriptsOfTheFolderAndLeavesTheCurrentDirectory) {
  TempFolder temp;
  temp.WriteFile("a.reg");
  temp.WriteFile("b.txt");
  CreateDirectoryW(Widen(temp.Path() + "c.reg").c_str(), nullptr);
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  std::vector<TBackupFile> files = ListBackupFiles(temp.Path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].FileName, temp.Path() + "a.reg");
  EXPECT_GT(files[0].Created, 40000.0);
  wchar_t after[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, after);
  EXPECT_EQ(std::wstring(after), std::wstring(cwd));
  EXPECT_TRUE(ListBackupFiles(temp.Path() + "missing\\").empty());
}

TEST(BackupDetails, KeyLinesStartRecordsAndTheNewestValueLineStays) {
  struct TCase {
    std::string Text;
    std::vector<std::string> Records;   // "key | value"
  } cases[] = {
      {"REGEDIT4\r\n\r\n\"early\"=\"x\"\r\n[HKEY_A\\k]\r\n\"a\"=\"1\"\r\n  \"b\"=\"2\"  \r\n[HKEY_A\\k2]\r\n",
       {"[HKEY_A\\k] | \"b\"=\"2\"", "[HKEY_A\\k2] | "}},
      {"Windows Registry Editor Version 5.00\n[x]\n\"v\"=\"[y]\"\n", {"[x] | ", "\"v\"=\"[y]\" | "}},
      {"", {}},
      {"no key lines\r\nat all", {}},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> records;
    for (const TDetailBackup& r : ParseBackupDetails(c.Text)) {
      EXPECT_EQ(r.Flag, 1);
      records.push_back(r.KeyLine + " | " + r.ValueLine);
    }
    EXPECT_EQ(records, c.Records) << c.Text;
  }
  std::wstring wide = L"Windows Registry Editor Version 5.00\r\n[HKEY_Ж\\k]\r\n@=\"ж\"\r\n";
  std::string utf16 = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
  ASSERT_EQ(ParseBackupDetails(utf16).size(), 1u);
  EXPECT_EQ(ParseBackupDetails(utf16)[0].ValueLine, "@=\"ж\"");
  EXPECT_TRUE(LoadBackupDetails("C:\\ZelvoranTest\\no such file.reg").empty());
}

TEST(BackupDetails, MalformedFilesNeitherCrashNorHang) {
  std::mt19937 random(19);
  const char kSeed[] = "\xFF\xFEW\0i\0n\0\r\0\n\0[\0H\0]\0\r\0\n\0@\0=\0\"\0x\0\"\0"
                       "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"v\"=hex:01,02\r\n[[]]\n\n\r\r";
  const std::string seed(kSeed, sizeof kSeed - 1);
  for (int i = 0; i < 3000; ++i) {
    std::string text = seed.substr(random() % seed.size());
    switch (i % 5) {
      case 0: text += text; break;                                          // doubled
      case 1: text = std::string(5000 + random() % 5000, "[]x\r\n\"\0"[random() % 6]); break;   // overlong
      case 2: for (char& c : text) c = (char)random(); break;             // binary
      case 3: text = text.substr(0, random() % (text.size() + 1)); break;  // cut
      default: text.insert(random() % (text.size() + 1), "\xC3\x28\xFF\xFE\x80"); break;   // wrong encodings
    }
    std::vector<TDetailBackup> records = ParseBackupDetails(text);
    for (const TDetailBackup& r : records) EXPECT_FALSE(r.KeyLine.empty());
  }
}

}  // namespace
