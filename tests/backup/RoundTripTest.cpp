// The promise of the repair backup: importing it brings back exactly what the repair removed.
// Every section is scanned over planted data, backed up and repaired with the section table's
// own form and routine, then restored with regedit.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <tuple>

#include "app/MainUnitBackup.h"
#include "app/MainUnitSections.h"
#include "app/RegBackupUnit.h"
#include "framework/Registry.h"
#include "scan/ActivexSection.h"
#include "scan/ApplicationPathsUnit.h"
#include "scan/EmptyRegistryUnit.h"
#include "scan/FileAssociationsUnit.h"
#include "scan/FileExtensionUnit.h"
#include "scan/HelpSectionUnit.h"
#include "scan/InvalidShortCutsUnit.h"
#include "scan/RecentlyFileUnit.h"
#include "scan/SharedDLLsUnit.h"
#include "scan/SoundsUnit.h"
#include "scan/StartMenuItemUnit.h"
#include "scan/StartUpUnit.h"
#include "scan/SystemServicesUnit.h"
#include "scan/SystemSoftWareSettingUnit.h"
#include "scan/UninstallSectionUnit.h"
#include "scan/UserSoftWareSettings.h"
#include "scan/WindowsFontsUnit.h"
#include "support/Planting.h"
#include "support/RegistryTree.h"
#include "support/ScanFixture.h"

using namespace testing_support;
using namespace scan_test;
using MainUnit::Sections;
using SectionCommon::TRepairForm;

namespace {

const TDateTime kStamp = 46000.5;   // the backup file's name comes from it
const std::string kMissing = "C:\\ZelvoranMissing\\";
const std::string kUserKey = "S-1-5-21-0-0-0-1000";   // HKEY_CURRENT_USER under HKEY_USERS

// Every section's repair, in table order, into one log, as the repair button runs them; the
// path of each section's first log line.
std::map<int, std::string> RepairAll(MainUnit::TSectionResults& results, TRepairRun& repair) {
  std::map<int, std::string> firstLines;
  for (int i = 0; i < MainUnit::SectionCount; ++i) {
    int before = repair.Log.Count();
    if (Sections()[i].Repair) Sections()[i].Repair(repair.Status, repair.FinishList, results[i], repair.Log);
    if (repair.Log.Count() > before) firstLines[i] = repair.Log.GetItem(before).Content.KeyPath;
  }
  return firstLines;
}

std::vector<MainUnit::TBackupSection> BackupSections(MainUnit::TSectionResults& results) {
  std::vector<MainUnit::TBackupSection> sections;
  for (int i = 0; i < MainUnit::SectionCount; ++i)
    sections.push_back({Sections()[i].Caption, Sections()[i].RepairForm, &results[i]});
  return sections;
}

TContent& Finding(TRegistryContents& contents, const std::string& keyPath, const std::string& valueName,
                  bool checked = true) {
  return contents.GetItem(contents.Add()).Content = {.Checked = checked, .KeyPath = keyPath, .ValueName = valueName};
}

// Named values of keys the prefix shares with other tests, read one by one.
void AddValues(TTreeDump& tree, HKEY root, const std::string& key, const std::vector<std::string>& names) {
  TRegKeyHandle h;
  if (!h.Open(root, key, KEY_READ)) return;
  for (const std::string& n : names) {
    TDumpedValue v;
    if (MainUnit::ReadRawValue(h.Get(), Widen(n), v.Type, v.Data) == ERROR_SUCCESS) tree[key + "|" + n] = v;
  }
}

void AddTree(TTreeDump& tree, HKEY root, const std::string& path) {
  for (const auto& [name, value] : DumpTree(root, path)) tree[path + name] = value;
}

// The data each section's scan reports, planted in the test's own keys and folder, in the
// class keys of the prefix and among the values of its help keys and Run list.
class AllSections : public ScanTest {
 protected:
  void SetUp() override {
    const std::string t = TestName();
    for (const auto& [sub, name, value] : std::vector<std::array<std::string, 3>>{
             {"AppPaths\\zvgone.exe", "", kMissing + "zvgone.exe"}, {"AppPaths\\zvgone.exe\\sub", "x", "y"},
             {"Fonts", "Zv (TrueType)", "zvmissing-" + t + ".ttf"}, {"Mru\\txt", "a", "C:\\x.txt"}, {"Mru\\txt", "MRUList", "a"},
             {"Sounds", "", "x"}, {"Sounds", "a", "y"}, {"Menu\\S1", "a", "x"}, {"Machine\\k1", "", kMissing + "unnamed.exe"},
             {"Machine\\k1", "a", "\"" + kMissing + "app.exe\" /s"}, {"Uninst\\App", "UninstallString", kMissing + "un.exe"},
             {"Uninst\\App", "DisplayName", "App"}, {"User\\k1", "a", "\"" + kMissing + "app.exe\" /s"}})
      box.SetString(sub, name, value);
    for (const char* sub : {"Menu\\S1", "Machine\\k1", "User\\k1"}) box.SetDword(sub, "n", 3);
    box.CreateKey("Empty\\leaf");
    box.SetDword("Dlls", kMissing + "zv.dll", 1);
    box.SetRaw("Menu\\S1\\deeper", "Order", REG_BINARY, {1, 2, 3});
    box.SetRaw("Order\\Start Menu\\Programs\\" + t + " group", "Order", REG_BINARY, {9, 8});
    box.SetString("User\\k1", "d", "C:\\ZelvoranOld Folder\\Data", REG_EXPAND_SZ);
    classes.Set(clsid, "Planted class");
    classes.Set(clsid + "\\InprocServer32", "");
    classes.Set(clsid + "\\InprocServer32\\HELPDIR", "");
    classes.Set(clsid + "\\TypeLib", NewGuid());
    classes.Set(emptyExt, "");
    classes.Set(badExt, "ZvNoSuchClass" + NewGuid());
    classes.Set(badExt + "\\OpenWithList", "stays");
    help.SetString(t + "-a.hlp", kMissing + "help");
    runA = run.Set("a", "notepad\\1");
    MakeShortcut(Folder.Path() + "broken.lnk", kMissing + "tool.exe");
  }

  void Scan(int i, TScanRoutine routine, const std::string& keyPath, HKEY root) {
    routine(i, &CurrentItem, &CountLabel, IgnoreList, results[i], keyPath, root);
  }
  // Each section's scan over the planted data, with the section's own key paths.
  void ScanAll() {
    auto scan = [&](int i, TScanRoutine routine, const std::string& keyPath, HKEY root) { Scan(i, routine, keyPath, root); };
    const std::string b = box.Path() + "\\";
    scan(0, ActivexSection::ScanComKeys, clsid, HKEY_CLASSES_ROOT);
    scan(0, ActivexSection::ScanClsidTypeLibs, "", HKEY_CLASSES_ROOT);
    scan(1, ApplicationPathsUnit::ScanApplicationPaths, b + "AppPaths", HKEY_CURRENT_USER);
    scan(2, EmptyRegistryUnit::ScanEmptyRegistryKeys, kUserKey + "\\" + b + "Empty", HKEY_USERS);
    scan(3, FileExtensionUnit::ScanFileExtensions, "", HKEY_CLASSES_ROOT);
    scan(4, WindowsFontsUnit::ScanFonts, b + "Fonts", HKEY_CURRENT_USER);
    HelpSectionUnit::ScanHelpFiles(5, &CurrentItem, &CountLabel, IgnoreList, results[5], HKEY_LOCAL_MACHINE);
    scan(6, FileAssociationsUnit::ScanFileAssociations, "", HKEY_CLASSES_ROOT);
    InvalidShortCutsUnit::ScanShortcutFolder(ExcludeTrailingBackslash(Folder.Path()), 7, &CurrentItem, &CountLabel,
                                             IgnoreList, results[7]);
    scan(8, RecentlyFileUnit::ScanRecentFiles, b + "Mru", HKEY_CURRENT_USER);
    scan(9, SharedDLLsUnit::ScanSharedDlls, b + "Dlls", HKEY_CURRENT_USER);
    scan(10, SoundsUnit::ScanSounds, b + "Sounds", HKEY_CURRENT_USER);
    scan(11, StartMenuItemUnit::ScanStartMenuItems, b + "Menu", HKEY_CURRENT_USER);
    scan(12, StartUpUnit::ScanStartupPrograms, b + "Order", HKEY_CURRENT_USER);
    SystemServicesUnit::ScanServices(results[13], b + "Services", HKEY_CURRENT_USER);
    scan(14, SystemSoftWareSettingUnit::ScanSoftwareSettings, b + "Machine", HKEY_CURRENT_USER);
    scan(15, UninstallSectionUnit::ScanUninstallEntries, b + "Uninst", HKEY_CURRENT_USER);
    scan(16, UserSoftWareSettings::ScanUserSoftwareSettings, b + "User", HKEY_CURRENT_USER);
  }

  // Only this test's findings are ticked: the prefix's own classes, help files and Run entries
  // stay alone.
  void TickPlanted() {
    for (TRegistryContents& contents : results)
      for (int i = 0; i < contents.Count(); ++i) {
        TContent& c = contents.GetItem(i).Content;
        c.Checked = Pos(box.Path(), c.KeyPath) > 0 || Pos(clsid, c.KeyPath) > 0 ||
                    Pos(emptyExt, c.KeyPath) > 0 || Pos(badExt, c.KeyPath) > 0 ||
                    Pos(TestName(), c.ShortName) == 1 || Pos(Folder.Path(), c.KeyPath) == 1 ||
                    c.ValueName == runA;
      }
  }

  TTreeDump Snapshot() const {
    TTreeDump tree;
    AddTree(tree, box.Root(), box.Path());
    for (const std::string& key : {clsid, emptyExt, badExt}) AddTree(tree, HKEY_CLASSES_ROOT, key);
    AddValues(tree, HKEY_LOCAL_MACHINE, HelpSectionUnit::HelpKey, {TestName() + "-a.hlp"});
    AddValues(tree, HKEY_CURRENT_USER, RecentlyFileUnit::RunMruKey, {runA});
    return tree;
  }

  RegSandbox box;
  ClassKeys classes;
  const std::string clsid = "CLSID\\" + NewGuid();
  const std::string emptyExt = ".zv" + NewGuid().substr(1, 8);
  const std::string badExt = ".zv" + NewGuid().substr(1, 8);
  TPlantedValues help{HKEY_LOCAL_MACHINE, HelpSectionUnit::HelpKey};
  RunListValues run;
  std::string runA;
  MainUnit::TSectionResults results;
};

struct TValueCase {
  std::wstring Name;
  DWORD Type;
  std::vector<uint8_t> Data;
};

std::vector<TValueCase> EveryKindOfValue() {
  std::vector<uint8_t> multi = Utf16(std::wstring(L"a\0b\0", 4));
  std::vector<uint8_t> multiWide = Utf16(std::wstring(L"中文\0Кириллица\0", 14));
  return {
      {L"sz", REG_SZ, Utf16(L"C:\\x\"y Кириллица 中文 tab\t% [x] a=b")},
      {L"sz_empty", REG_SZ, Utf16(L"")},
      {L"sz_crlf", REG_SZ, Utf16(L"line1\r\nline2")},
      {L"sz_long", REG_SZ, Utf16(std::wstring(3000, L'ж'))},
      {L"expand", REG_EXPAND_SZ, Utf16(L"%SystemRoot%\\system32\\Ω.dll")},
      {L"expand_empty", REG_EXPAND_SZ, {}},
      {L"multi", REG_MULTI_SZ, multi},
      {L"multi_wide", REG_MULTI_SZ, multiWide},
      {L"multi_empty", REG_MULTI_SZ, {}},
      {L"dword", REG_DWORD, Bytes({0x02, 0x00, 0x00, 0x01})},
      {L"dword_zero", REG_DWORD, Bytes({0, 0, 0, 0})},
      {L"qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
      {L"bin_empty", REG_BINARY, {}},
      {L"bin5", REG_BINARY, Bytes({0x00, 0xFF, 0x10, 0x00, 0x7F})},
      {L"bin300", REG_BINARY, Pattern(300)},
      {L"bin4000", REG_BINARY, Pattern(4000)},
      {L"none", REG_NONE, {}},
      {L"none_data", REG_NONE, Bytes({9, 8, 7})},
      {L"name\\with\\backslash", REG_SZ, Utf16(L"v1")},
      {L"name \"quoted\"", REG_SZ, Utf16(L"v2")},
      {L"a=b", REG_DWORD, Bytes({1, 0, 0, 0})},
      {L"[brackets]", REG_SZ, Utf16(L"v3")},
      {L"Значение", REG_SZ, Utf16(L"Данные")},
      {L"値の名前", REG_BINARY, Bytes({0xE5, 0x80})},
      {L"C:\\WINDOWS\\a.dll", REG_DWORD, Bytes({5, 0, 0, 0})},
      {L"#hash|pipe=", REG_SZ, Utf16(L"#|=\"\\")},
      {L"", REG_SZ, Utf16(L"the default value")},
      {L"default", REG_SZ, Utf16(L"a value really named default")},
  };
}

// Every kind of value, planted in box\\sub.
void PlantEveryKindOfValue(const RegSandbox& box, const std::string& sub) {
  for (const TValueCase& v : EveryKindOfValue()) SetExact(box.Root(), box.Path() + "\\" + sub, v.Name, v.Type, v.Data);
}

}  // namespace

TEST_F(AllSections, WhatEveryRepairRemovesComesBackFromTheBackup) {
  const TTreeDump before = Snapshot();
  ScanAll();
  TickPlanted();
  int ticked = 0;
  for (TRegistryContents& contents : results)
    for (int j = 0; j < contents.Count(); ++j) ticked += contents.GetItem(j).Content.Checked ? 1 : 0;

  MainUnit::TBackupResult backup = MainUnit::BackupCheckedFindings(BackupSections(results), 4,
                                                                   Folder.Path() + "RepairBackup\\", kStamp);
  ASSERT_TRUE(backup.Saved);
  EXPECT_TRUE(backup.Complete && backup.Missed.empty());
  EXPECT_EQ(ReadUtf16File(backup.FileName).find("broken.lnk"), std::string::npos) << "shortcut files are no registry data";

  std::map<int, std::string> firstLines = RepairAll(results, *this);
  // Every section but System Services repaired; each line names its key with its root, but for
  // help files and class entries.
  const std::string k = box.FullPath() + "\\";
  EXPECT_EQ(firstLines, (std::map<int, std::string>{
                            {0, "\\" + clsid + "\\InprocServer32"},
                            {1, k + "AppPaths\\zvgone.exe"},
                            {2, "HKEY_USERS\\" + kUserKey + "\\" + box.Path() + "\\Empty\\leaf"},
                            {3, "HKEY_CLASSES_ROOT\\" + emptyExt},
                            {4, k + "Fonts"},
                            {5, std::string("\\") + HelpSectionUnit::HelpKey},
                            {6, "HKEY_CLASSES_ROOT\\" + badExt},
                            {7, Folder.Path() + "broken.lnk"},
                            {8, k + "Mru\\txt"},
                            {9, k + "Dlls"},
                            {10, k + "Sounds"},
                            {11, k + "Menu\\S1"},
                            {12, k + "Order\\Start Menu\\Programs\\" + TestName() + " group"},
                            {14, k + "Machine\\k1"},
                            {15, k + "Uninst\\App"},
                            {16, k + "User\\k1"},
                        }));
  EXPECT_EQ(Log.Count(), ticked);
  for (const auto& [path, status] : TRepairRun::Lines()) EXPECT_EQ(status, kOk) << path;
  // What each repair takes, and what it leaves.
  EXPECT_FALSE(ClassKeys::Exists(clsid + "\\InprocServer32") || ClassKeys::Exists(clsid + "\\TypeLib"));
  EXPECT_TRUE(ClassKeys::Exists(clsid) && ClassKeys::Exists(badExt + "\\OpenWithList"));
  EXPECT_FALSE(ClassKeys::Exists(emptyExt));
  EXPECT_FALSE(ClassKeys::Exists(badExt) && RegGetValueW(HKEY_CLASSES_ROOT, Widen(badExt).c_str(), L"", RRF_RT_ANY,
                                                           nullptr, nullptr, nullptr) == ERROR_SUCCESS);
  EXPECT_FALSE(help.HasValue(TestName() + "-a.hlp") || run.Exists(runA) || FileExists(Folder.Path() + "broken.lnk"));
  for (const char* key : {"AppPaths\\zvgone.exe", "Empty\\leaf", "Menu\\S1"}) EXPECT_FALSE(box.KeyExists(key)) << key;
  EXPECT_FALSE(box.KeyExists("Order\\Start Menu\\Programs\\" + TestName() + " group"));
  const std::vector<std::tuple<std::string, std::string, bool>> values = {
      {"Fonts", "Zv (TrueType)", false}, {"Mru\\txt", "a", false},           {"Dlls", kMissing + "zv.dll", false},
      {"Sounds", "", false},              {"Sounds", "a", true},             {"Machine\\k1", "", false},
      {"Machine\\k1", "n", true},         {"Uninst\\App", "UninstallString", false}, {"Uninst\\App", "DisplayName", true},
      {"User\\k1", "d", false},           {"User\\k1", "n", true}};
  for (const auto& [key, name, kept] : values) EXPECT_EQ(box.ValueExists(key, name), kept) << key << "|" << name;
  EXPECT_TRUE(box.KeyExists("Empty"));

  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  EXPECT_EQ(Differences(before, Snapshot()), "");
}

// The results stay on screen while the program waits in the tray: what changed since the scan
// (a program installed again, a value written anew, a key that holds something by now) is left
// by every section's repair, and its line says why.
TEST_F(AllSections, WhatChangedSinceTheScanIsLeft) {
  const std::string t = TestName(), here = Folder.Path();
  // the programs some findings name, missing at the scan, lie in the test's own folder
  box.SetString("AppPaths\\zvgone.exe", "", here + "zvgone.exe");
  box.SetString("Uninst\\App", "UninstallString", here + "un.exe");
  for (const char* key : {"Machine\\k1", "User\\k1"}) box.SetString(key, "a", "\"" + here + "app.exe\" /s");
  ScanAll();
  TickPlanted();
  // Start Menu Items and the file dialogs' lists report every entry there is: nothing of theirs
  // changes here.
  for (TRegistryContents* c : {&results[8], &results[11]})
    for (int i = 0; i < c->Count(); ++i)
      if (c->GetItem(i).Content.ShortName != "RunMRU") c->GetItem(i).Content.Checked = false;
  int ticked = 0;
  for (TRegistryContents& contents : results)
    for (int j = 0; j < contents.Count(); ++j) ticked += contents.GetItem(j).Content.Checked ? 1 : 0;

  classes.Set(clsid + "\\InprocServer32", "zv.dll");
  classes.Set(clsid + "\\InprocServer32\\HELPDIR", "C:\\help");
  classes.Set(clsid + "\\TypeLib", NewGuid());                        // another library, also unregistered
  Folder.WriteFile("zvgone.exe");                                    // the program is there again
  box.SetString("Empty\\leaf", "new", "a value written since");       // the key is not empty any more
  classes.Set(emptyExt, "zvclass");
  box.SetString("Fonts", "Zv (TrueType)", "zvmissing-other-" + t + ".ttf");
  help.SetString(t + "-a.hlp", kMissing + "help2");
  classes.Set(badExt, "CLSID");                                       // a class that is there
  MakeShortcut(here + "broken.lnk", Folder.WriteFile("tool.exe"));
  run.Set("a", "notepad\\2");
  box.SetDword("Dlls", kMissing + "zv.dll", 2);
  box.SetString("Sounds", "", "z");
  const std::string group = StartUpUnit::AllUsersProgramsDir() + t + " group";
  ASSERT_TRUE(ForceDirectories(group));
  box.SetString("Machine\\k1", "", kMissing + "unnamed2.exe");
  Folder.WriteFile("app.exe");
  Folder.WriteFile("un.exe");
  box.SetString("User\\k1", "d", "C:\\ZelvoranOld Folder\\Data2", REG_EXPAND_SZ);
  const TTreeDump changed = Snapshot();

  std::map<int, std::string> firstLines = RepairAll(results, *this);
  RemoveDirectoryW(Widen(group).c_str());
  EXPECT_EQ(firstLines.size(), 15u) << "every section but Start Menu Items and System Services";
  ASSERT_EQ(Log.Count(), ticked);
  for (const auto& [path, status] : TRepairRun::Lines()) EXPECT_EQ(status, SectionCommon::ChangedSinceScanText) << path;
  EXPECT_EQ(Differences(changed, Snapshot()), "");
  EXPECT_TRUE(FileExists(here + "broken.lnk"));
}

// System Software Settings walks the whole machine and every user's tree before the Uninstall
// and User Software Settings sections repair: a value it already removed is repaired, not failed.
TEST_F(AllSections, AValueAnEarlierSectionRemovedCountsAsRepaired) {
  const std::string b = box.Path() + "\\";
  Scan(14, SystemSoftWareSettingUnit::ScanSoftwareSettings, b + "Uninst", HKEY_CURRENT_USER);
  Scan(14, SystemSoftWareSettingUnit::ScanSoftwareSettings, kUserKey + "\\" + b + "User", HKEY_USERS);
  Scan(15, UninstallSectionUnit::ScanUninstallEntries, b + "Uninst", HKEY_CURRENT_USER);
  Scan(16, UserSoftWareSettings::ScanUserSoftwareSettings, b + "User", HKEY_CURRENT_USER);
  RepairAll(results, *this);   // one line for each finding of each section
  const std::string uninst = box.FullPath() + "\\Uninst\\App", user = box.FullPath() + "\\User\\k1",
                    users = "HKEY_USERS\\" + kUserKey + "\\" + b + "User\\k1";
  EXPECT_EQ(TRepairRun::Lines(),
            (scan_test::Lines{{uninst, kOk}, {users, kOk}, {users, kOk}, {uninst, kOk}, {user, kOk}, {user, kOk}}));
  EXPECT_FALSE(box.ValueExists("Uninst\\App", "UninstallString"));

  // What no line of this repair removed is left when it is gone, and its line says so.
  RegDeleteKeyValueW(HKEY_CURRENT_USER, Widen(b + "Machine\\k1").c_str(), L"a");
  TRegistryContents gone;
  Finding(gone, box.FullPath() + "\\Machine\\k1", "a");
  Sections()[16].Repair(Status, FinishList, gone, Log);
  EXPECT_EQ(Log.GetItem(Log.Count() - 1).Content.Status, SectionCommon::ChangedSinceScanText);
}

TEST(RoundTrip, EveryKindOfFindingComesBackByteForByte) {
  RegSandbox box;
  TempFolder temp;
  const HKEY root = box.Root();
  const std::string base = box.Path(), full = box.FullPath();
  PlantEveryKindOfValue(box, "Values");
  box.SetString("Values", "keep_me", "not ticked");
  box.SetString("Help", "Справка.hlp", "C:\\missing\\help.hlp");
  box.SetString("Help", "", "help folder");
  box.SetString("Tree", "", "tree default");
  box.SetDword("Tree", "Path", 7);
  box.SetString("Tree\\Кириллица", "x", "y");
  SetExact(root, base + "\\Tree\\中文", L"bin", REG_BINARY, Pattern(600));
  box.SetString("Tree\\with [brackets] and space", "e", "%TEMP%", REG_EXPAND_SZ);
  SetExact(root, base + "\\Tree\\deep\\er\\nest", L"", REG_MULTI_SZ, Utf16(std::wstring(L"one\0two\0", 8)));
  box.CreateKey("Tree\\empty");
  box.CreateKey("Menu\\Item\\sub");
  box.SetString("Menu\\Item", "Target", "C:\\gone.exe");
  box.SetString("Menu", "lnk", "C:\\gone.lnk");
  box.SetString("Menu", "other", "stays");
  const TTreeDump before = DumpTree(root, base);

  // Findings as the scanners make them.
  TRegistryContents values, help, keys, menu, shortcuts;
  for (const TValueCase& v : EveryKindOfValue())   // the unnamed value shows as "default", marked apart
    Finding(values, full + "\\Values", v.Name.empty() ? "default" : Narrow(v.Name)).UnnamedValue = v.Name.empty();
  Finding(values, full + "\\Values", "keep_me", false);
  Finding(values, full + "\\Values", "no such value");
  Finding(values, full + "\\NoSuchKey", "x");
  Finding(help, full + "\\Help", "").ShortName = "Справка.hlp";
  Finding(keys, full + "\\Tree", "Path");
  Finding(menu, full + "\\Menu\\Item", "").Value = "key";
  Finding(menu, full + "\\Menu", "lnk").Value = "C:\\gone.lnk";
  const std::string shortcut = temp.WriteFile("a.lnk");
  Finding(shortcuts, shortcut, "");

  // Sections of each repair form: Shared DLL's, Help, Application Paths, Start Menu Items and
  // Invalid Shortcuts, with the table's forms and repair routines.
  const std::vector<std::pair<int, TRegistryContents*>> rows = {
      {9, &values}, {5, &help}, {1, &keys}, {11, &menu}, {7, &shortcuts}};
  std::vector<MainUnit::TBackupSection> sections;
  for (const auto& [index, contents] : rows)
    sections.push_back({Sections()[index].Caption, Sections()[index].RepairForm, contents});
  MainUnit::TBackupResult backup =
      MainUnit::BackupCheckedFindings(sections, 4, temp.Path() + "RepairBackup\\", kStamp);
  ASSERT_TRUE(backup.Saved);
  EXPECT_TRUE(backup.Complete && backup.Missed.empty());
  // the help value, the Tree key and the menu's item key; a Start Menu value finding removes
  // nothing, so nothing of it is backed up
  EXPECT_EQ(backup.Exported, (int)EveryKindOfValue().size() + 3);
  EXPECT_EQ(ReadUtf16File(backup.FileName).find("keep_me"), std::string::npos) << "an unticked finding was backed up";

  EXPECT_NE(ReadUtf16File(backup.FileName).find("\"default\"=\"a value really named default\""), std::string::npos);

  // The repair walk with each section's form, section by section (the findings are made here,
  // not by the sections' scans, so their tests are not run again); the shortcut file goes to the
  // recycle bin.
  TRepairRun repair;
  for (const auto& [index, contents] : rows)
    SectionCommon::RepairFindings({.Form = Sections()[index].RepairForm}, repair.Status, repair.FinishList, *contents,
                                  repair.Log);
  EXPECT_FALSE(FileExists(shortcut) || box.KeyExists("Tree") || box.KeyExists("Menu\\Item"));
  EXPECT_FALSE(box.ValueExists("Values", "bin4000") || box.ValueExists("Values", "") ||
               box.ValueExists("Values", "default") || box.ValueExists("Help", "Справка.hlp"));
  EXPECT_TRUE(box.ValueExists("Help", "") && box.ValueExists("Values", "keep_me") && box.ValueExists("Menu", "lnk"));

  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  EXPECT_GE(restore.Values, (int)EveryKindOfValue().size());
  EXPECT_EQ(Differences(before, DumpTree(root, base)), "");
}

// A line break in a key or value name cannot go into a script: such a finding is missed, and the
// file saved beside it still restores.
TEST(RoundTrip, NamesWithLineBreaksAreMissedAndWhatWasWrittenRestores) {
  RegSandbox box;
  TempFolder temp;
  std::string full = box.FullPath();
  box.SetString("Values", "line\nbreak", "x");
  box.SetString("Values", "plain", "y");
  box.SetString("Key\r\nName", "v", "k");
  box.SetString("Tree", "t", "w");
  box.SetString("Tree\\sub\rkey", "v", "z");
  TRegistryContents values, keys;
  Finding(values, full + "\\Values", "line\nbreak");
  Finding(values, full + "\\Values", "plain");
  Finding(values, full + "\\Key\r\nName", "v");
  Finding(keys, full + "\\Tree", "");
  MainUnit::TBackupResult backup = MainUnit::BackupCheckedFindings(
      {{"Shared DLLs", TRepairForm::Value, &values}, {"Application Paths", TRepairForm::Key, &keys}}, 4,
      temp.Path(), Now());
  ASSERT_TRUE(backup.Saved);
  EXPECT_FALSE(backup.Complete);
  EXPECT_EQ(backup.Exported, 1);
  EXPECT_EQ(backup.Missed, (std::vector<std::string>{full + "\\Values (line\nbreak)", full + "\\Key\r\nName (v)",
                                                     full + "\\Tree"}));

  ASSERT_TRUE(PublicFunctionUnit::DeleteRegistryValue(full + "\\Values", "plain"));
  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  EXPECT_TRUE(box.ValueExists("Values", "plain"));
}

// The undo of a repair never writes over what was written since: values written anew (the
// program installed again), a value of another type now, and a key of a removed tree made again
// with other data stay as they are now and are named; everything else of every type and name
// comes back byte for byte, also into the key made again; the restore does not count as a
// success. Restored once more, nothing more is written.
TEST(RoundTrip, RestoringARepairBackupLeavesWhatChangedSinceAndNamesIt) {
  RegSandbox box;
  TempFolder temp;
  PlantEveryKindOfValue(box, "Values");
  const HKEY root = box.Root();
  const std::string base = box.Path(), full = box.FullPath();
  box.SetString("Tree", "", "tree default");
  box.SetString("Tree", "kept", "old");
  SetExact(root, base + "\\Tree\\Кириллица", L"bin", REG_BINARY, Pattern(600));
  const TTreeDump before = DumpTree(root, base);

  TRegistryContents values, keys;
  for (const TValueCase& v : EveryKindOfValue())   // the unnamed value shows as "default", marked apart
    Finding(values, full + "\\Values", v.Name.empty() ? "default" : Narrow(v.Name)).UnnamedValue = v.Name.empty();
  Finding(keys, full + "\\Tree", "Path");
  const std::vector<std::pair<int, TRegistryContents*>> rows = {{9, &values}, {1, &keys}};
  std::vector<MainUnit::TBackupSection> sections;
  for (const auto& [index, contents] : rows)
    sections.push_back({Sections()[index].Caption, Sections()[index].RepairForm, contents});
  MainUnit::TBackupResult backup = MainUnit::BackupCheckedFindings(sections, 4, temp.Path(), kStamp);
  ASSERT_TRUE(backup.Saved && backup.Complete);
  // the repair walk with each section's form (the findings are made here, not by a scan)
  TRepairRun repair;
  for (const auto& [index, contents] : rows)
    SectionCommon::RepairFindings({.Form = Sections()[index].RepairForm}, repair.Status, repair.FinishList, *contents,
                                  repair.Log);
  ASSERT_FALSE(box.KeyExists("Tree") || box.ValueExists("Values", "sz"));

  // Written since the repair: other data, another type with the same bytes, the same data again.
  const std::vector<std::pair<std::string, std::wstring>> changed = {
      {"Values", L"sz"}, {"Values", L"dword"}, {"Values", L"a=b"}, {"Values", L"Значение"},
      {"Values", L"#hash|pipe="}, {"Values", L""}, {"Tree", L""}};
  box.SetString("Values", "sz", "reinstalled");
  SetExact(root, base + "\\Values", L"dword", REG_BINARY, Bytes({0x02, 0x00, 0x00, 0x01}));
  box.SetDword("Values", "a=b", 2);
  box.SetString("Values", "Значение", "Новые");
  box.SetString("Values", "#hash|pipe=", "#|= new");
  box.SetString("Values", "", "new default");
  SetExact(root, base + "\\Values", L"bin5", REG_BINARY, Bytes({0x00, 0xFF, 0x10, 0x00, 0x7F}));
  box.SetString("Tree", "", "new tree default");
  TTreeDump expected = before;
  const TTreeDump now = DumpTree(root, base);
  for (const auto& [key, name] : changed) {
    const std::string entry = "\\" + key + "\\|" + Narrow(name);
    expected[entry] = now.at(entry);
  }

  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreUndoBackup(backup.FileName);
  EXPECT_FALSE(restore.Succeeded());
  EXPECT_TRUE(restore.Imported && restore.Verified) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  std::vector<std::string> left = restore.Left, named;
  for (const auto& [key, name] : changed)
    named.push_back(full + "\\" + key + (name.empty() ? std::string("\\@") : "\\\"" + Narrow(name) + "\""));
  std::sort(left.begin(), left.end());
  std::sort(named.begin(), named.end());
  EXPECT_EQ(left, named);
  EXPECT_EQ(Differences(expected, DumpTree(root, base)), "");

  restore = RegBackupUnit::RestoreUndoBackup(backup.FileName);
  EXPECT_EQ(restore.Keys + restore.Values, 0);   // nothing absent: nothing imported nor checked
  EXPECT_EQ(restore.Left.size(), changed.size());
  EXPECT_EQ(Differences(expected, DumpTree(root, base)), "");
}

// Backups of earlier versions (8-bit scripts, both headers) are restored as the system's importer
// reads them, exactly as the whole import would.
TEST(RoundTrip, AnEarlierEightBitBackupRestoresAsTheWholeImportDoes) {
  RegSandbox box;
  TempFolder temp;
  const std::string key = "[" + box.FullPath() + "\\old]";
  for (const std::string& header : {std::string("REGEDIT4"), std::string("Windows Registry Editor Version 5.00")}) {
    SCOPED_TRACE(header);
    const std::string file = temp.WriteFile(
        "_old.reg", header + "\r\n" + key + "\r\n\"caf\xE9 #|=\"=\"C:\\\\x\\\"y\xE9\"\r\n" +
                        "\"e\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,00\r\n\"m\"=hex(7):61,00,62,00,00\r\n" +
                        "\"d\"=dword:0000002a\r\n\"b\"=hex:00,ff\r\n@=\"default\"\r\n");
    ASSERT_TRUE(RegBackupUnit::RestoreRegistryScript(file).Imported);
    const TTreeDump whole = DumpTree(box.Root(), box.Path());
    PublicFunctionUnit::DeleteRegistryKey(box.Root(), box.Path() + "\\old");
    RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreUndoBackup(file);
    EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
    EXPECT_EQ(Differences(whole, DumpTree(box.Root(), box.Path())), "");
    EXPECT_EQ(whole.size(), 8u);   // the sandbox, the key and its six values
    PublicFunctionUnit::DeleteRegistryKey(box.Root(), box.Path() + "\\old");
  }
}

// A finding met through the classes root lies in the user's classes (when the key is there) or
// the machine's: the backup names that key, the repair removes it there, and the restore brings
// back exactly what was removed at the key it was removed from; the machine's copy behind the
// user's is left as it was, and the line of that finding does not count as repaired.
TEST(RoundTrip, AFindingMetThroughTheClassesRootComesBackWhereItLay) {
  TempFolder temp;
  const std::string name = "ZvRoundTrip-" + TestName(), second = name + "-2";
  RegSandbox user(HKEY_CURRENT_USER, ExactPath{"Software\\Classes\\" + name}),
      machine(HKEY_LOCAL_MACHINE, ExactPath{"Software\\Classes\\" + name}),
      userOnly(HKEY_CURRENT_USER, ExactPath{"Software\\Classes\\" + second});
  PlantEveryKindOfValue(user, "Values");
  user.SetString("shell\\open\\command", "", "\"C:\\ZelvoranMissing\\app.exe\" \"%1\"");
  machine.SetString("", "", "the machine's class");
  machine.SetString("CLSID", "", "{00000000-0000-0000-0000-000000000000}");
  userOnly.SetString("", "v", "user's value");
  userOnly.SetString("", "w", "stays");
  const TTreeDump userBefore = DumpTree(HKEY_CURRENT_USER, user.Path()), machineBefore = DumpTree(HKEY_LOCAL_MACHINE, machine.Path()),
                  userOnlyBefore = DumpTree(HKEY_CURRENT_USER, userOnly.Path());

  TRegistryContents keys, values;
  Finding(keys, "HKEY_CLASSES_ROOT\\" + name, "default").UnnamedValue = true;
  Finding(values, "HKEY_CLASSES_ROOT\\" + second, "v");
  MainUnit::TBackupResult backup = MainUnit::BackupCheckedFindings(
      {{"ActiveX, OLE/COM Entries", TRepairForm::Key, &keys}, {"System Software Settings", TRepairForm::Value, &values}},
      4, temp.Path() + "RepairBackup\\", kStamp);
  ASSERT_TRUE(backup.Saved && backup.Complete);
  const std::string script = ReadUtf16File(backup.FileName);
  EXPECT_NE(script.find("[HKEY_CURRENT_USER\\Software\\Classes\\" + name + "]\r\n"), std::string::npos) << script;
  EXPECT_NE(script.find("[HKEY_CURRENT_USER\\Software\\Classes\\" + second + "]\r\n\"v\"="), std::string::npos) << script;
  EXPECT_EQ(script.find("HKEY_CLASSES_ROOT"), std::string::npos) << script;
  EXPECT_EQ(script.find("the machine's class"), std::string::npos) << script;

  TRepairRun repair;
  SectionCommon::RepairFindings({.Form = TRepairForm::Key}, repair.Status, repair.FinishList, keys, repair.Log);
  SectionCommon::RepairFindings({.Form = TRepairForm::Value}, repair.Status, repair.FinishList, values, repair.Log);
  EXPECT_EQ(repair.Lines(), (Lines{{"HKEY_CLASSES_ROOT\\" + name, SectionCommon::OtherCopyText},
                                   {"HKEY_CLASSES_ROOT\\" + second, kOk}}));
  EXPECT_FALSE(user.KeyExists("") || userOnly.ValueExists("", "v"));
  EXPECT_EQ(Differences(machineBefore, DumpTree(HKEY_LOCAL_MACHINE, machine.Path())), "");

  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreUndoBackup(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  EXPECT_EQ(Differences(userBefore, DumpTree(HKEY_CURRENT_USER, user.Path())), "");
  EXPECT_EQ(Differences(userOnlyBefore, DumpTree(HKEY_CURRENT_USER, userOnly.Path())), "");
  EXPECT_EQ(Differences(machineBefore, DumpTree(HKEY_LOCAL_MACHINE, machine.Path())), "");
}
