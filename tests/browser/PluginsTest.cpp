// The browser plug-in manager: the list of planted plug-ins, removal after a backup and the
// restore bringing back every key and value, the backup list and its details, the removal's guards.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>

#include "BrowserTestSupport.h"
#include "app/RegBackupUnit.h"
#include "framework/Exceptions.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/ExactNames.h"
#include "support/Fuzz.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"
#include "tools/browser/IERepairItemUnit.h"
#include "tools/browser/IePluginsUnit.h"

using namespace browser_test;
using namespace testing_support;
using namespace IePluginsUnit;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE, HKCU = HKEY_CURRENT_USER;
const std::string kMenuExt = "Software\\Microsoft\\Internet Explorer\\MenuExt";
const std::string kToolbar = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const std::string kBars = "Software\\Microsoft\\Internet Explorer\\Explorer Bars";
const std::string kMenuExtPath = "HKEY_CURRENT_USER\\" + kMenuExt;
const std::string kToolbarPath = "HKEY_LOCAL_MACHINE\\" + kToolbar;
const std::string kUserBarsPath = "HKEY_CURRENT_USER\\" + kBars;
const std::string kMachineBarsPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars";
// The note after a backup's header saying whose HKEY_CURRENT_USER it holds.
const std::string kUserNote = ";User: " + PublicFunctionUnit::CurrentUserSid();

TRegValue Blob() {
  TRegValue blob{REG_BINARY, std::vector<uint8_t>(4096)};
  for (size_t i = 0; i < blob.Data.size(); ++i) blob.Data[i] = (uint8_t)(i * 7 + 3);
  return blob;
}

// The lines of a file in UTF-16LE with its byte-order mark.
std::vector<std::string> FileLines(const std::string& fileName) {
  return DecodeTextLines(ReadUtf16File(fileName));
}

struct Plugins : ::testing::Test {
  std::vector<TArea> areas = BrowserAreas({"{ZV-C1}", "{ZV-E1}"});
  TAreaGuard guard{areas};
  std::string folder = PluginBackupFolder();
  TNewFiles added{folder};
  const std::set<std::string>& filesBefore = added.Before();
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::Dialog})};
  TFormIePlugins* page = nullptr;
  TKeep<uint8_t> platform{PublicFunctionUnit::PlatformKind, 4};

  Plugins() {
    MessageBoxes().Clear();
    for (auto [root, key] : std::initializer_list<std::pair<HKEY, std::string>>{
             {HKCU, kMenuExt}, {HKCU, kBars}, {HKLM, kToolbar}, {HKLM, kBars}})
      SHDeleteKeyW(root, Widen(key).c_str());
    Plant(HKCU, kMenuExt + "\\&ZvFoo", L"", Sz("res://x"));
    Plant(HKCU, kMenuExt + "\\&ZvFoo", L"Contexts", Dword(2));
    Plant(HKCU, kMenuExt + "\\&ZvFoo\\Sub", L"Blob", Blob());
    Plant(HKCU, kMenuExt + "\\&ZvFoo\\Empty");
    Plant(HKCU, kMenuExt + "\\&ZvGoo", L"", Sz("res://y"));
    Plant(HKLM, kToolbar, L"{ZV-C1}", Sz(""));
    Plant(HKEY_CLASSES_ROOT, "CLSID\\{ZV-C1}", L"", Sz("My Bar"));
    Plant(HKLM, kToolbar, L"{ZV-C2}", Dword(10));
    Plant(HKLM, kToolbar, L"{ZV-C3}", TRegValue{REG_BINARY, {0x01, 0xAB}});
    Plant(HKCU, kBars + "\\{ZV-E1}", L"BarSize", Sz("x"));
    Plant(HKEY_CLASSES_ROOT, "CLSID\\{ZV-E1}", L"", Sz("Bar One"));
    Plant(HKCU, kBars + "\\{ZV-E2}");
    Plant(HKLM, kBars + "\\{ZV-E3}", L"v", Dword(3));
    page = dynamic_cast<TFormIePlugins*>(NewBrowserPluginsPage(host.get()));
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }
  ~Plugins() override {
    if (page != nullptr) page->Free();
  }
  std::vector<std::string> NewFiles() const { return added.Names(); }
  std::vector<std::vector<std::string>> Rows() const {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < page->IEItemListView->Count(); ++i) rows.push_back(page->IEItemListView->Item(i)->SubItems);
    return rows;
  }
  // Ticks the rows whose name or entry is one of these, and removes them.
  void Remove(std::initializer_list<std::string> entries) {
    for (int i = 0; i < page->IEItemListView->Count(); ++i)
      for (int column : {1, 3})
        if (std::count(entries.begin(), entries.end(), page->IEItemListView->Item(i)->Text(column)))
          page->IEItemListView->SetChecked(i, true);
    page->RepairItemBtnClick(page->RepairItemBtn);
  }
  int BackupRow(const std::string& file) const {
    for (int i = 0; i < page->IEBackupListView->Count(); ++i)
      if (page->IEBackupListView->Item(i)->Text(1) == file) return i;
    return -1;
  }
};

TEST_F(Plugins, TheListShowsMenuExtensionsToolbarsAndExplorerBars) {
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
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(page->IEItemListView->IsChecked(i));
  EXPECT_EQ(IERepairItemUnit::ToolbarDisplayText("x", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}), "0xFFFFFFFF(-1)");
  EXPECT_EQ(IERepairItemUnit::ToolbarDisplayText("x", REG_MULTI_SZ, {'a', 0, 0, 0}), "");

  for (TCheckBox* box : {page->CkMenuExtension, page->CkToolBar, page->CkExplorerBars}) box->SetChecked(false);
  EXPECT_TRUE(Rows().empty());
  page->CkToolBar->SetChecked(true);
  ASSERT_EQ(Rows().size(), 3u);
  for (const auto& row : Rows()) EXPECT_EQ(row[4], "2");
  page->abSelectAll->Click();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(page->IEItemListView->IsChecked(i));
}

TEST_F(Plugins, RemovedPluginsComeBackFromTheirBackupExactly) {
  std::set<std::string> before = Dump(areas);
  Remove({"&ZvFoo", "{ZV-C2}", "{ZV-E1}", "{ZV-E3}"});
  std::set<std::string> removed;
  for (const std::string& line : before)
    for (const char* gone : {"&ZvFoo", "{ZV-C2}", "Bars\\{ZV-E1}", "{ZV-E3}"})
      if (line.find(gone) != std::string::npos) removed.insert("-" + line);
  EXPECT_EQ(Changes(before, Dump(areas)), removed);
  EXPECT_EQ(Rows().size(), 4u);

  std::vector<std::string> files = NewFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].substr(0, 7) + files[0].substr(22), "Backup__IE.reg");
  std::string blob = "\"Blob\"=hex:";
  for (uint8_t b : Blob().Data) blob += Format("%02X,", (unsigned)b);
  blob.pop_back();
  EXPECT_EQ(FileLines(folder + files[0]),
            (std::vector<std::string>{
                "Windows Registry Editor Version 5.00", kUserNote, "[" + kMenuExtPath + "\\&ZvFoo]", "@=\"res://x\"",
                "\"Contexts\"=dword:00000002", "[" + kMenuExtPath + "\\&ZvFoo\\Empty]",
                "[" + kMenuExtPath + "\\&ZvFoo\\Sub]", blob, "[" + kToolbarPath + "]",
                "\"{ZV-C2}\"=dword:0000000A", "[" + kUserBarsPath + "\\{ZV-E1}]",
                "\"BarSize\"=\"x\"", "[" + kMachineBarsPath + "\\{ZV-E3}]", "\"v\"=dword:00000003"}));

  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  int row = BackupRow(folder + files[0]);
  ASSERT_GE(row, 0);
  EXPECT_FALSE(page->IEBackupListView->Item(row)->Caption.empty());
  page->IEBackupListView->SetItemIndex(row);   // the hidden details follow the selection
  ASSERT_EQ(page->Details.size(), 6u);
  EXPECT_EQ(page->Details[0].ValueLine, "\"Contexts\"=dword:00000002");
  TListItem shown;
  page->DetailListView->GetRow(2, shown);
  EXPECT_EQ(shown.Caption + " " + shown.SubItems.at(0), "[" + kMenuExtPath + "\\&ZvFoo\\Sub] " + blob);
  EXPECT_FALSE(page->DetailListView->Visible());

  page->RepairItemBtnClick(page->RepairItemBtn);
  EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
  EXPECT_TRUE(MessageBoxes().Calls.empty()) << "neither removal nor import shows a message";
}

// A toolbar's backup holds its own value only: restoring the first of three removals brings back
// that toolbar alone, not those removed later on purpose nor old data over a toolbar's newer data.
TEST_F(Plugins, EachToolbarsBackupHoldsItsOwnValueAndNothingTickedWritesNoFile) {
  Remove({});
  EXPECT_TRUE(NewFiles().empty());
  EXPECT_TRUE(DirectoryExists(ExcludeTrailingBackslash(folder)));
  EXPECT_EQ(Rows().size(), 8u);
  Remove({"{ZV-C1}", "{ZV-C3}"});
  EXPECT_FALSE(RegValueExists(HKLM, kToolbar, "{ZV-C1}") || RegValueExists(HKLM, kToolbar, "{ZV-C3}"));
  EXPECT_TRUE(RegValueExists(HKLM, kToolbar, "{ZV-C2}"));
  ASSERT_EQ(NewFiles().size(), 1u);
  EXPECT_EQ(FileLines(folder + NewFiles()[0]),
            (std::vector<std::string>{"Windows Registry Editor Version 5.00", kUserNote, "[" + kToolbarPath + "]",
                                      "\"{ZV-C1}\"=\"\"", "[" + kToolbarPath + "]", "\"{ZV-C3}\"=hex:01,AB"}));

  // three removals, one toolbar each; then a program writes the second one again, newer
  TempFolder temp;
  std::vector<std::string> files;
  for (const char* name : {"{ZV-C1}", "{ZV-C2}", "{ZV-C3}"}) {
    Plant(HKLM, kToolbar, Widen(name), Sz(std::string("old ") + name));
    files.push_back(RemovePlugins({{.KeyPath = kToolbarPath, .Entry = name, .Category = "2"}}, 4, temp.Path(),
                                  Now() + files.size() / 86400.0)
                        .FileName);
  }
  Plant(HKLM, kToolbar, L"{ZV-C2}", Sz("newer"));
  RegBackupUnit::TRestoreResult result = RegBackupUnit::RestoreUndoBackup(files[0]);
  EXPECT_TRUE(result.Succeeded()) << RegBackupUnit::RestoreFailureText(result);
  EXPECT_EQ(ReadText(HKLM, kToolbar, "{ZV-C1}"), "old {ZV-C1}");
  EXPECT_EQ(ReadText(HKLM, kToolbar, "{ZV-C2}"), "newer");
  EXPECT_FALSE(RegValueExists(HKLM, kToolbar, "{ZV-C3}"));

  // a backup of an earlier version holds the whole Toolbar key: it still restores what is absent
  Plant(HKLM, kToolbar, L"{ZV-C2}", Sz("newer"));
  const std::string whole = temp.WriteFile(
      "Backup_old_IE.reg", RegScript({"Windows Registry Editor Version 5.00", "[" + kToolbarPath + "]",
                                      "\"{ZV-C1}\"=\"old {ZV-C1}\"", "\"{ZV-C2}\"=\"old {ZV-C2}\"", "\"{ZV-C3}\"=\"old {ZV-C3}\""}));
  result = RegBackupUnit::RestoreUndoBackup(whole);
  EXPECT_EQ(result.Left, std::vector<std::string>{kToolbarPath + "\\\"{ZV-C2}\""});
  EXPECT_EQ(ReadText(HKLM, kToolbar, "{ZV-C3}"), "old {ZV-C3}");
  EXPECT_EQ(ReadText(HKLM, kToolbar, "{ZV-C2}"), "newer");
}

TEST_F(Plugins, TheRestorePageListsRemovesAndGoesBack) {
  CreateDirectoryW(Widen(ExcludeTrailingBackslash(folder)).c_str(), nullptr);
  std::string a = folder + "Backup_20260101_000000_IE.reg", b = folder + "Backup with blanks.reg";
  WriteFileBytes(a, "REGEDIT4\r\n");
  WriteFileBytes(b, "REGEDIT4\r\n");
  WriteFileBytes(folder + "notes.txt", "x");
  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  auto buttons = [&] {
    return page->RepairItemBtn->Caption() + "|" + page->RemoveRestoreBtn->Caption() + "|" +
           (page->cbSelectAll->Visible() ? "all" : "") + (page->BackBtn->Visible() ? "back" : "");
  };
  EXPECT_EQ(buttons(), "Restore|Remove Backup|back");
  EXPECT_EQ(page->IEBackupListView->Count(), (int)filesBefore.size() + 2);

  for (auto button : {&TFormIePlugins::RepairItemBtnClick, &TFormIePlugins::RemoveRestoreBtnClick})
    (page->*button)(nullptr);
  page->IEBackupListView->SetItemIndex(BackupRow(b));
  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  EXPECT_FALSE(FileExists(b));
  EXPECT_EQ(BackupRow(b), -1);
  page->IEBackupListView->SetItemIndex(BackupRow(a));
  DeleteFileW(Widen(a).c_str());
  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  std::vector<std::string> shown;
  for (const MessageBoxCall& c : MessageBoxes().Calls) shown.push_back(c.text + "|" + c.caption + Format("|%u", c.flags));
  EXPECT_EQ(shown, (std::vector<std::string>{"Please select one backup file!|Warning|0",
                                             "Please select one backup file!|Warning|0",
                                             "Backup file was remove failed!|warning!|0"}));
  page->BackBtnClick(page->BackBtn);
  EXPECT_EQ(buttons(), "Remove Checked|Restore|all");
  EXPECT_EQ(Rows().size(), 8u);
}

// Backups whose names the system reads as another file ("x.reg." and "x.reg " as "x.reg"): their
// details and their removal take exactly the file listed, and the import, which would read the
// name itself, refuses them and says why.
TEST_F(Plugins, ABackupIsReadRemovedAndImportedAsListedNeverAsALookAlike) {
  CreateDirectoryW(Widen(ExcludeTrailingBackslash(folder)).c_str(), nullptr);
  const std::string name = "Backup_" + TestName() + ".reg";
  const std::string plainKey = "HKEY_CURRENT_USER\\" + kMenuExt + "\\&ZvPlain";
  PlantExact(folder, name, RegScript({"Windows Registry Editor Version 5.00", "[" + plainKey + "]", "\"v\"=dword:00000001"}));
  PlantExact(folder, name + ".", RegScript({"Windows Registry Editor Version 5.00", "[" + kMenuExtPath + "\\&ZvDot]"}));
  PlantExact(folder, name + " ", RegScript({"Windows Registry Editor Version 5.00", "[" + kMenuExtPath + "\\&ZvBlank]"}));
  const std::string plain = ExactContent(folder, name);
  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  for (const std::string& listed : {name, name + ".", name + " "}) ASSERT_GE(BackupRow(folder + listed), 0) << listed;

  page->IEBackupListView->SetItemIndex(BackupRow(folder + name + "."));
  ASSERT_EQ(page->Details.size(), 1u);
  EXPECT_EQ(page->Details[0].KeyLine, "[" + kMenuExtPath + "\\&ZvDot]");

  MessageBoxes().Clear();
  page->IEBackupListView->SetItemIndex(BackupRow(folder + name + " "));
  page->RepairItemBtnClick(page->RepairItemBtn);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, "The registry was not restored completely!\r\r" +
                                              Format(RegBackupUnit::NameReadAsAnotherText, folder + name + " ") +
                                              "\r\rPlease make sure that the registry backup has not been modified or changed.");
  EXPECT_FALSE(RegKeyExists(HKCU, kMenuExt + "\\&ZvPlain") || RegKeyExists(HKCU, kMenuExt + "\\&ZvBlank"));

  page->IEBackupListView->SetItemIndex(BackupRow(folder + name + "."));
  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  EXPECT_FALSE(ExactlyThere(folder, name + "."));
  EXPECT_EQ(BackupRow(folder + name + "."), -1);
  EXPECT_EQ(ExactContent(folder, name), plain);
  EXPECT_TRUE(ExactlyThere(folder, name + " "));
  EXPECT_EQ(MessageBoxes().Calls.size(), 1u);
}

// The Toolbar key's unnamed value beside a value named "Toolbar": removing the unnamed one leaves
// the other, and a row whose value is gone meanwhile counts as nothing removed.
TEST_F(Plugins, TheUnnamedToolbarValueIsRemovedAloneAndOnlyWhatWasThereCounts) {
  Plant(HKLM, kToolbar, L"", Sz("unnamed bar"));
  Plant(HKLM, kToolbar, L"Toolbar", Sz("named bar"));
  page->RefreshItemList();
  std::vector<std::string> unnamed = {"unnamed bar", kToolbarPath, "", "unnamed bar", "2"};
  std::vector<std::string> named = {"named bar", kToolbarPath, "Toolbar", "named bar", "2"};
  auto shown = [&](const std::vector<std::string>& row) {
    std::vector<std::vector<std::string>> rows = Rows();
    return std::count(rows.begin(), rows.end(), row);
  };
  ASSERT_EQ(shown(unnamed), 1);
  ASSERT_EQ(shown(named), 1);
  Remove({"unnamed bar"});
  EXPECT_FALSE(RegValueExists(HKLM, kToolbar, ""));
  EXPECT_TRUE(RegValueExists(HKLM, kToolbar, "Toolbar"));
  EXPECT_EQ(shown(named), 1);
  EXPECT_EQ(shown(unnamed), 0);

  TempFolder temp;
  std::set<std::string> before = Dump(areas);
  for (const std::string& entry : {std::string(), std::string("{ZV-gone}")}) {
    TPluginRemoval removal = RemovePlugins({{.KeyPath = kToolbarPath, .Entry = entry, .Category = "2"}}, 4,
                                           temp.Path(), Now());
    EXPECT_TRUE(removal.Saved);
    EXPECT_EQ(removal.Removed, 0) << entry;
  }
  EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
  TPluginRemoval removal = RemovePlugins({{.KeyPath = kToolbarPath, .Entry = "Toolbar", .Category = "2"}}, 4,
                                         temp.Path(), Now());
  EXPECT_EQ(removal.Removed, 1);
  EXPECT_FALSE(RegValueExists(HKLM, kToolbar, "Toolbar"));
}

// Plug-ins whose keys went after they were listed: their removal creates no key, which the backup
// written first could not take away again.
TEST_F(Plugins, RemovingPluginsWhoseKeysWentMeanwhileCreatesNoKey) {
  for (auto [root, key] : std::initializer_list<std::pair<HKEY, std::string>>{
           {HKCU, kMenuExt}, {HKCU, kBars}, {HKLM, kToolbar}, {HKLM, kBars}})
    SHDeleteKeyW(root, Widen(key).c_str());
  std::set<std::string> before = Dump(areas);
  ASSERT_EQ(page->IEItemListView->Count(), 8);
  page->cbSelectAll->SetChecked(true);
  page->abSelectAllClick(page->cbSelectAll);
  page->RepairItemBtnClick(page->RepairItemBtn);
  EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
  EXPECT_EQ(page->IEItemListView->Count(), 0);
}

// A backup that cannot be restored says why, as the registry backup page does; the double click
// restores the same way.
TEST_F(Plugins, ABackupThatCannotBeRestoredShowsItsProblems) {
  // below a key of the fixture's lasting keys, all put back when the test ends
  const std::string volatileKey = kMenuExt + "\\&ZvVolatile";
  const std::string child = "HKEY_CURRENT_USER\\" + volatileKey + "\\child";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKCU, Widen(volatileKey).c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  CreateDirectoryW(Widen(ExcludeTrailingBackslash(folder)).c_str(), nullptr);
  struct TCase {
    std::string Name, Bytes;
    std::string Told;   // after the heading; "%s" is the file
  };
  const std::string hint = "\rPlease make sure that the registry backup has not been modified or changed.";
  const TCase cases[] = {
      {"Backup_not a script_IE.reg", "hello # | = \"x\"\r\n", "The file is not a registry script: %s\r" + hint},
      {"Backup_bad line_IE.reg", RegScript({"Windows Registry Editor Version 5.00", "[" + kMenuExtPath + "\\&ZvNew]", "\"v\"=\"cut"}),
       "Unreadable line: \"v\"=\"cut\r" + hint},
      // a lasting key cannot be made below a volatile one: the import leaves it missing, which is
      // named once, for its value too, and is no sign of a changed backup
      {"Backup_mismatch_IE.reg", RegScript({"Windows Registry Editor Version 5.00", "[" + child + "]", "\"v\"=dword:00000001"}),
       "These entries could not be written back:\r" + child + "\r"},
  };
  for (const TCase& c : cases) WriteFileBytes(folder + c.Name, c.Bytes);
  page->RemoveRestoreBtnClick(page->RemoveRestoreBtn);
  bool doubleClick = false;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MessageBoxes().Clear();
    page->IEBackupListView->SetItemIndex(BackupRow(folder + c.Name));
    if (doubleClick) page->IEBackupListViewDblClick(page->IEBackupListView);
    else page->RepairItemBtnClick(page->RepairItemBtn);
    doubleClick = !doubleClick;
    ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
    EXPECT_EQ(MessageBoxes().Calls[0].text, "The registry was not restored completely!\r\r" +
                                                StringReplace(c.Told, "%s", folder + c.Name));
    EXPECT_EQ(MessageBoxes().Calls[0].caption, "Zelvoran");
    EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)MB_ICONWARNING);
  }
  EXPECT_FALSE(RegKeyExists(HKCU, kMenuExt + "\\&ZvNew"));
}

// ---- the removal's guards ----

TEST_F(Plugins, NothingIsRemovedWithoutItsBackupAndBackupsOfOneSecondKeepTheirOwnFiles) {
  TempFolder temp;
  std::set<std::string> before = Dump(areas);
  EXPECT_FALSE(IERepairItemUnit::DeleteMenuExtension(kMenuExtPath + "\\", kMenuExt + "\\", ""));
  EXPECT_FALSE(IERepairItemUnit::DeleteExplorerBar(kUserBarsPath + "\\", ""));
  TPluginRow foo{.KeyPath = kMenuExtPath + "\\&ZvFoo", .Entry = kMenuExt + "\\", .DisplayName = "&ZvFoo", .Category = "1"};
  EXPECT_THROW(RemovePlugins({foo}, 4, temp.Path() + "no\\such\\", Now()), EInOutError);
  EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});

  // a value name that a script cannot hold: the key is not backed up completely and stays
  Plant(HKCU, kMenuExt + "\\&ZvFoo\\Odd", std::wstring(1, wchar_t(0xD800)), Sz("x"));
  TPluginRow goo{.KeyPath = kMenuExtPath + "\\&ZvGoo", .Entry = kMenuExt + "\\", .DisplayName = "&ZvGoo", .Category = "1"};
  TPluginRemoval removal = RemovePlugins({foo, goo}, 4, temp.Path(), Now());
  EXPECT_EQ(removal.NotBackedUp, std::vector<std::string>{foo.KeyPath});
  EXPECT_EQ(removal.Removed, 1);
  EXPECT_TRUE(RegKeyExists(HKCU, kMenuExt + "\\&ZvFoo\\Sub"));
  EXPECT_FALSE(RegKeyExists(HKCU, kMenuExt + "\\&ZvGoo"));

  // backups of the same second keep their own files; the header follows the platform
  TDateTime stamp = 46000.5;
  TPluginRemoval first = RemovePlugins({{.KeyPath = kToolbarPath, .Entry = "{ZV-C2}", .Category = "2"}}, 4, temp.Path(), stamp);
  TPluginRemoval second = RemovePlugins({{.KeyPath = kToolbarPath, .Entry = "{ZV-C3}", .Category = "2"}}, 2, temp.Path(), stamp);
  EXPECT_EQ(first.FileName, temp.Path() + "Backup_" + FormatDateTime("yyyymmdd_hhnnss", stamp) + "_IE.reg");
  EXPECT_EQ(second.FileName, temp.Path() + "Backup_" + FormatDateTime("yyyymmdd_hhnnss", stamp + 1.0 / 86400) + "_IE.reg");
  EXPECT_EQ(FileLines(first.FileName).at(3), "\"{ZV-C2}\"=dword:0000000A");
  EXPECT_EQ(ReadFileBytes(second.FileName).substr(0, 10 + kUserNote.size() + 2), "REGEDIT4\r\n" + kUserNote + "\r\n");
}

// ---- the backup files and their details ----

TEST(BackupDetails, ScriptsAreListedAndKeyLinesStartRecordsWhereTheNewestValueLineStays) {
  std::pair<std::string, std::vector<std::string>> cases[] = {   // text, records as "key | value"
      {"REGEDIT4\r\n\r\n\"early\"=\"x\"\r\n[HKEY_A\\k]\r\n\"a\"=\"1\"\r\n  \"b\"=\"2\"  \r\n[HKEY_A\\k2]\r\n",
       {"[HKEY_A\\k] | \"b\"=\"2\"", "[HKEY_A\\k2] | "}},
      {"Windows Registry Editor Version 5.00\n[x]\n\"v\"=\"[y]\"\n", {"[x] | ", "\"v\"=\"[y]\" | "}},
      {"no key lines\r\nat all", {}},
  };
  for (const auto& [text, expected] : cases) {
    std::vector<std::string> records;
    for (const TDetailBackup& r : ParseBackupDetails(text)) records.push_back(Format("%s | %s", r.KeyLine, r.ValueLine));
    EXPECT_EQ(records, expected) << text;
  }
  EXPECT_TRUE(LoadBackupDetails("C:\\ZelvoranTest\\no such file.reg").empty());

  // The list holds the scripts of the folder and leaves the current directory.
  TempFolder temp;
  temp.WriteFile("a.reg");
  temp.WriteFile("b.txt");
  CreateDirectoryW(Widen(temp.Path() + "c.reg").c_str(), nullptr);
  wchar_t cwd[MAX_PATH], after[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  std::vector<TBackupFile> files = ListBackupFiles(temp.Path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].FileName, temp.Path() + "a.reg");
  GetCurrentDirectoryW(MAX_PATH, after);
  EXPECT_EQ(std::wstring(after), std::wstring(cwd));
  EXPECT_TRUE(ListBackupFiles(temp.Path() + "missing\\").empty());
}

TEST(BackupDetails, MalformedFilesNeitherCrashNorHang) {
  TFuzzInputs inputs({std::string("\xFF\xFEW\0i\0n\0\r\0\n\0[\0H\0]\0\r\0\n\0@\0=\0\"\0x\0\"\0", 32),
                                       "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"v\"=hex:01,02\r\n[[]]\n\n\r\r"});
  for (int i = 0; i < 3000; ++i)
    for (const TDetailBackup& r : ParseBackupDetails(inputs.Next())) ASSERT_EQ(r.Flag, 1);
}

}  // namespace
