#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Registry.h"
#include "support/Fuzz.h"
#include "support/HeldFile.h"
#include "support/Planting.h"
#include "support/ScanFixture.h"

using namespace PublicFunctionUnit;
using testing_support::RegSandbox;
using testing_support::THeldFile;
using testing_support::TKeep;
using testing_support::TempFolder;

namespace {
std::string ReadSetting(const char* name) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKey(SettingsKey, false)) return "<no key>";
  if (!reg.ValueExists(name)) return "<missing>";
  return reg.ReadString(name);
}
}  // namespace

// The only test that touches the program's own settings key.
TEST(Settings, FirstStartWritesDefaultsAndOddTextsStayAsTheyAre) {
  RegSandbox settings(HKEY_LOCAL_MACHINE, testing_support::ExactPath{SettingsKey + 1});
  SHDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(settings.Path()).c_str());   // a first start: no key at all
  TKeep<TMyRegistryInfo> info(MyRegistryInfo, {});
  LoadSettings();
  std::vector<std::string> written;
  for (const char* name : {"NotAutoBackup", "OneTime", "SelectAll", "CheckUpdate", "Version", "HomePage", "HelpURL"})
    written.push_back(ReadSetting(name));
  EXPECT_EQ(written, (std::vector<std::string>{"0", "0", "1", "1", "3.0", "<missing>", "<missing>"}));
  // NotRun: no Run value named after the executable
  const TMyRegistryInfo& i = MyRegistryInfo;
  EXPECT_EQ((std::vector<bool>{i.SelectAll, i.CheckUpdate, i.OneTime, i.NotAutoBackup, i.NotRun}),
            (std::vector<bool>{true, true, true, false, true}));
  EXPECT_FALSE(MyRegistryInfo.HomePage.empty());
  EXPECT_EQ(MyRegistryInfo.HelpURL, MyRegistryInfo.HomePage + "/help");

  for (auto [name, text] : std::initializer_list<std::pair<const char*, const char*>>{
           {"SelectAll", "yes"}, {"OneTime", "1"}, {"NotAutoBackup", "1"}, {"HomePage", "http://127.0.0.1:1/"}, {"Version", "2.0"}})
    settings.SetString("", name, text);
  LoadSettings();
  EXPECT_EQ((std::vector<bool>{i.SelectAll, i.OneTime, i.NotAutoBackup}), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(MyRegistryInfo.HomePage, "http://127.0.0.1:1/");
  EXPECT_EQ(ReadSetting("SelectAll"), "yes");   // not rewritten
  EXPECT_EQ(ReadSetting("Version"), "3.0");     // written at every start

  // A flag that holds data of another kind is the user's: it counts as its default and stays.
  settings.SetDword("", "CheckUpdate", 0);
  settings.SetRaw("", "OneTime", REG_BINARY, {'1', 0});
  MyRegistryInfo.CheckUpdate = false;
  LoadSettings();
  EXPECT_TRUE(i.CheckUpdate && i.OneTime);
  {
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(reg.OpenKey(SettingsKey, false));
    EXPECT_EQ(reg.GetDataType("CheckUpdate"), rdInteger);
    EXPECT_EQ(reg.GetDataType("OneTime"), rdBinary);
  }

  // NotRun follows the Run value named after the executable: the program's path in quotes or
  // bare, compared case-sensitively; with arguments or in another case it is not this program.
  testing_support::TPlantedValues run(HKEY_LOCAL_MACHINE, RunKey + 1);
  std::string exe = ExeName();
  for (auto [data, notRun] : std::initializer_list<std::pair<std::string, bool>>{
           {exe, false}, {"\"" + exe + "\"", false}, {AnsiUpperCase(exe), true}, {"\"" + exe + "\" -min", true},
           {"\"" + exe, true}, {"", true}}) {
    run.SetString(ExtractFileName(exe), data);
    MyRegistryInfo.NotRun = !notRun;
    LoadSettings();
    EXPECT_EQ(MyRegistryInfo.NotRun, notRun) << data;
  }
}

TEST(ScanState, TickAdvancesEveryTwoHundredAndWraps) {
  TProgressHolder bar;
  TCaptionHolder label;
  TKeep<TProgressTarget*> shownBar(ItemsProcessedBar, &bar);
  TKeep<TCaptionTarget*> shownLabel(ItemsProcessedLabel, &label);
  TKeep<int32_t> count(ItemsProcessed, 0);
  for (int i = 0; i < 399; ++i) TickItemsProcessed();
  EXPECT_EQ(bar.Value, 1);
  EXPECT_EQ(label.Text, "Items processed:        200");
  EXPECT_EQ(label.Changes, 1);
  ItemsProcessed = 19999;
  bar.Value = 99;
  TickItemsProcessed();
  EXPECT_EQ(bar.Value, 0);
  EXPECT_EQ(label.Text, "Items processed:      20000");
  ItemsProcessedBar = nullptr;
  ItemsProcessedLabel = nullptr;
  TickItemsProcessed();   // without outputs it only counts
  EXPECT_EQ(ItemsProcessed, 20001);
}

TEST(ScanState, PlatformAndDrives) {
  DetectPlatform();
  EXPECT_EQ(PlatformKind, 4);
  // The test prefix has E: as a CD-ROM drive and F: as a floppy drive; C: and D: are fixed.
  TStringList drives;
  TKeep<TRunState> state(ScanState, TRunState::Idle);
  ListNonFixedDrives(drives);
  EXPECT_TRUE(drives.IndexOf("E:") != -1 && drives.IndexOf("F:") != -1);
  EXPECT_TRUE(drives.IndexOf("C:") == -1 && drives.IndexOf("D:") == -1);
  // the drive text anywhere in the path counts
  EXPECT_FALSE(IsOnFixedDrive(drives, "e:\\setup.exe") || IsOnFixedDrive(drives, "C:\\dir\\E:\\x"));
  EXPECT_TRUE(IsOnFixedDrive(drives, "C:\\dir\\x") && IsOnFixedDrive(TStringList(), "E:\\x"));
  TStringList stopped;
  ScanState = TRunState::StopRepair;
  ListNonFixedDrives(stopped);
  EXPECT_EQ(stopped.Count(), 0);
}

TEST(ScanState, SmallHelpers) {
  std::string user = "unchanged";
  GetCurrentUserName(user);
  EXPECT_TRUE(!user.empty() && user != "unchanged");
  std::string param = "x";
  EXPECT_FALSE(GetCommandLineParam(param) && param.rfind("--gtest", 0) != 0);
  EXPECT_TRUE(!GetProgramFilesDir(0).empty() && GetProgramFilesDir(2).empty());
  EXPECT_TRUE(DirectoryExists(GetWindowsDir()));
  SYSTEMTIME st{2000, 1, 6, 1, 12, 0, 0, 0};   // 2000-01-01 12:00 UTC
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  EXPECT_NEAR(FileTimeToDateTime(ft), 36526.5, 0.6);
}

// Root names read both ways, and values and keys deleted by the paths findings give.
TEST(RegistryPath, DeleteValueAndKey) {
  EXPECT_EQ((std::vector<HKEY>{RootKeyFromName("HKEY_CURRENT_CONFIG"), RootKeyFromName("HKEY_LOCAL_MACHINE"),
                               RootKeyFromName("hkey_local_machine"), RootKeyFromName("HKEY_LOCAL_MACHINE\\")}),
            (std::vector<HKEY>{HKEY_CURRENT_CONFIG, HKEY_LOCAL_MACHINE, nullptr, nullptr}));
  EXPECT_EQ(RootKeyName(HKEY_CLASSES_ROOT) + "|" + RootKeyName(HKEY_USERS) + "|" + RootKeyName((HKEY)(ULONG_PTR)0x80000004),
            "HKEY_CLASSES_ROOT|HKEY_USERS|");
  RegSandbox box;
  box.SetString("HKEY_CURRENT_USER\\inner", "v", "1");
  box.SetString("Ключ", "имя", "1");
  EXPECT_TRUE(DeleteRegistryValue(box.FullPath() + "\\HKEY_CURRENT_USER\\inner", "v"));   // a root name inside the path is kept
  EXPECT_FALSE(box.ValueExists("HKEY_CURRENT_USER\\inner", "v"));
  EXPECT_TRUE(DeleteRegistryValue(box.FullPath() + "\\Ключ", "имя"));
  EXPECT_FALSE(box.ValueExists("Ключ", "имя"));
  // the value of exactly the name given: "" is the unnamed value (names compare as the registry
  // compares them, so "default" is "Default")
  for (const char* name : {"", "Default", "other"}) box.SetString("k", name, "x");
  std::string key = box.FullPath() + "\\k";
  EXPECT_TRUE(DeleteRegistryValue(key, "default"));
  EXPECT_TRUE(box.ValueExists("k", "") && !box.ValueExists("k", "Default"));
  EXPECT_TRUE(DeleteRegistryValue(key, ""));
  EXPECT_TRUE(!box.ValueExists("k", "") && box.ValueExists("k", "other"));
  EXPECT_FALSE(DeleteRegistryValue(key, "absent"));
  // a key that vanished since the scan is not created again
  EXPECT_FALSE(DeleteRegistryValue(box.FullPath() + "\\gone", "v"));
  EXPECT_FALSE(box.KeyExists("gone"));
  EXPECT_FALSE(DeleteRegistryValue("NOT_A_ROOT\\x", "v"));

  for (const char* sub : {"t\\a\\b", "t\\c"}) box.SetString(sub, "v", "1");   // a key goes with its subtree
  EXPECT_TRUE(DeleteRegistryKey(HKEY_CURRENT_USER, "\\" + box.Path() + "\\t"));
  EXPECT_FALSE(box.KeyExists("t"));
  EXPECT_FALSE(DeleteRegistryKey(HKEY_CURRENT_USER, "\\" + box.Path() + "\\t"));
  EXPECT_FALSE(DeleteRegistryKey(nullptr, "\\" + box.Path()));
}

TEST(IgnoreList, LoadsMalformedLinesAndMatchesByItsCaseRules) {
  scan_test::TScanRun run;   // an ignore file of the test's own
  TIgnoreContents list;
  LoadIgnoreList(list);   // no file: empty
  EXPECT_EQ(list.Count(), 0);
  WriteFileBytes(IgnoreFileName(),
                "Font Entries|HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts|Arial (TrueType)\r\n"
                "\r\n"
                "no bar at all\r\n"
                "Only|one\r\n"
                "Sec|Key|name|with|bars\r\n"
                "Sounds Section|HKEY_CURRENT_USER\\Ключ|имя\n");
  LoadIgnoreList(list);
  ASSERT_EQ(list.Count(), 5);
  auto at = [&](int i) { return list.GetItem(i).Content; };
  auto line = [&](int i) { return at(i).Section + ">" + at(i).KeyPath + ">" + at(i).ValueName; };
  EXPECT_EQ((std::vector<std::string>{line(1), line(2), line(3)}),
            (std::vector<std::string>{">>no bar at all", "Only>>one", "Sec>Key>name|with|bars"}));
  LoadIgnoreList(list);   // a second load does not double the entries
  EXPECT_EQ(list.Count(), 5);

  EXPECT_TRUE(IsIgnored(list, "font entries", "hkey_local_machine\\software\\fonts", "Arial (TrueType)"));
  EXPECT_FALSE(IsIgnored(list, "Font Entries", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "arial (truetype)"));
  EXPECT_TRUE(IsIgnored(list, "Sec", "Key", "name|with|bars"));
  EXPECT_TRUE(IsIgnored(list, "SOUNDS SECTION", "HKEY_CURRENT_USER\\КЛЮЧ", "имя"));
  EXPECT_FALSE(IsIgnored(list, "Sounds Section", "HKEY_CURRENT_USER\\Ключ", "ИМЯ"));
  EXPECT_EQ(IgnoreLine("A", "B", "c|d"), "A|B|c|d\r\n");

  // A file written 8-bit by an older version and appended to in UTF-8: each line reads as written.
  WriteFileBytes(IgnoreFileName(),
                "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Caf\xE9\r\n"
                "Sounds Section|HKEY_CURRENT_USER\\Ключ|имя\r\n");
  LoadIgnoreList(list);
  ASSERT_EQ(list.Count(), 2);
  wchar_t ansi = 0;
  MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, &ansi, 1);
  EXPECT_EQ(at(0).ValueName, "Caf" + Narrow(std::wstring(1, ansi)));
  EXPECT_TRUE(IsIgnored(list, "Sounds Section", "HKEY_CURRENT_USER\\Ключ", "имя"));

  // A file that is there but cannot be read ends the load with the input/output error.
  THeldFile locked(IgnoreFileName());
  ASSERT_TRUE(locked.Held());
  EXPECT_THROW(LoadIgnoreList(list), EInOutError);
  locked.Release();
}

// Lines written by earlier versions name the unnamed value "default" in the sections whose texts
// show it so and "" in the others; a plain "default" hides both the unnamed value and a value so
// named, as it always could. An entry a plain line cannot carry ("|" in its key, a value really
// named "default") is written escaped and reads back whole.
TEST(IgnoreList, OldLinesReadAsBeforeAndEscapedLinesCarryWhatPlainOnesCannot) {
  scan_test::TScanRun run;
  const std::string sys = "System Software Settings", user = "User Software Settings";
  // the unnamed value shown as "default" is written as "", which names it alone
  EXPECT_EQ(IgnoreLine("Sounds Section", "HKEY_LOCAL_MACHINE\\S", "default", true),
            "Sounds Section|HKEY_LOCAL_MACHINE\\S|\r\n");
  EXPECT_EQ(IgnoreLine("Font Entries", "HKEY_LOCAL_MACHINE\\F", "", true), "Font Entries|HKEY_LOCAL_MACHINE\\F|\r\n");
  EXPECT_EQ(IgnoreLine(sys, "HKEY_CURRENT_USER\\k", "default"), "|" + sys + "|HKEY_CURRENT_USER\\k|default\r\n");
  EXPECT_EQ(IgnoreLine(sys, "HKEY_CURRENT_USER\\k|1", "default", true), "|" + sys + "|HKEY_CURRENT_USER\\k%7C1|\r\n");
  EXPECT_EQ(IgnoreLine("Font Entries", "HKEY_CURRENT_USER\\50%|x", "a|b"),
            "|Font Entries|HKEY_CURRENT_USER\\50%25%7Cx|a%7Cb\r\n");

  WriteFileBytes(IgnoreFileName(),
                 "Font Entries|HKEY_LOCAL_MACHINE\\F|default\r\n"        // a value really named so, or the unnamed one
                 "Font Entries|HKEY_LOCAL_MACHINE\\G|\r\n"               // the unnamed value
                 "Sounds Section|HKEY_LOCAL_MACHINE\\S|default\r\n" +    // the unnamed value
                     sys + "|HKEY_CURRENT_USER\\Sys|default\r\n" +      // the unnamed value
                     user + "|HKEY_CURRENT_USER\\Usr|\r\n"              // the unnamed value
                     "|Font Entries|HKEY_LOCAL_MACHINE\\H\r\n"           // no section (two fields only)
                     "|Font Entries|HKEY_LOCAL_MACHINE\\I%ZZ|v\r\n" +    // a broken escape: no section
                     IgnoreLine(sys, "HKEY_CURRENT_USER\\k|1", "default") +
                     IgnoreLine("Font Entries", "HKEY_CURRENT_USER\\50%|x", "a|b"));
  TIgnoreContents list;
  LoadIgnoreList(list);
  ASSERT_EQ(list.Count(), 9);
  // a plain "default" hides both the unnamed value and a value so named, in every section
  EXPECT_TRUE(IsIgnored(list, "Font Entries", "HKEY_LOCAL_MACHINE\\F", "default"));
  EXPECT_TRUE(IsIgnored(list, "Font Entries", "HKEY_LOCAL_MACHINE\\F", ""));
  EXPECT_TRUE(IsIgnored(list, "Font Entries", "HKEY_LOCAL_MACHINE\\G", ""));
  EXPECT_FALSE(IsIgnored(list, "Font Entries", "HKEY_LOCAL_MACHINE\\G", "default"));
  EXPECT_TRUE(IsIgnored(list, "Sounds Section", "HKEY_LOCAL_MACHINE\\S", ""));
  EXPECT_TRUE(IsIgnored(list, sys, "HKEY_CURRENT_USER\\Sys", ""));
  EXPECT_TRUE(IsIgnored(list, sys, "HKEY_CURRENT_USER\\Sys", "default"));
  EXPECT_TRUE(IsIgnored(list, user, "HKEY_CURRENT_USER\\Usr", ""));
  for (int i : {5, 6}) EXPECT_EQ(list.GetItem(i).Content.Section, "") << i;
  EXPECT_EQ(list.GetItem(5).Content.KeyPath + ">" + list.GetItem(5).Content.ValueName,
            "Font Entries>HKEY_LOCAL_MACHINE\\H");
  EXPECT_FALSE(IsIgnored(list, "Font Entries", "HKEY_LOCAL_MACHINE\\I%ZZ", "v"));
  // the escaped lines: their own entries, exactly
  EXPECT_TRUE(IsIgnored(list, sys, "HKEY_CURRENT_USER\\k|1", "default"));
  EXPECT_FALSE(IsIgnored(list, sys, "HKEY_CURRENT_USER\\k|1", ""));
  EXPECT_FALSE(IsIgnored(list, sys, "HKEY_CURRENT_USER\\k", "1|default"));
  EXPECT_TRUE(IsIgnored(list, "font entries", "hkey_current_user\\50%|X", "a|b"));
  EXPECT_FALSE(IsIgnored(list, "Font Entries", "HKEY_CURRENT_USER\\50%", "x|a|b"));

  // The current user's tree matches by either of its names, its classes too.
  const std::string users = KeyIdentity(HKEY_CURRENT_USER, "");
  ASSERT_EQ(users.rfind("HKEY_USERS\\S-1-5-", 0), 0u) << users;
  EXPECT_TRUE(IsIgnored(list, user, users + "\\usr", ""));
  EXPECT_EQ(KeyIdentity(users + "_Classes\\.x"), KeyIdentity("HKEY_CURRENT_USER\\Software\\Classes\\.x"));
  EXPECT_EQ(KeyIdentity("HKEY_CLASSES_ROOT\\.x"), KeyIdentity("HKEY_LOCAL_MACHINE\\Software\\Classes\\.X"));
  EXPECT_NE(KeyIdentity(users + "_Classes2\\.x"), KeyIdentity("HKEY_CURRENT_USER\\Software\\Classes\\.x"));
  EXPECT_EQ(KeyIdentity("C:\\Users\\a.lnk"), "C:\\USERS\\A.LNK");
}

// A plain line "section|key|default" of an earlier version hides both the key's unnamed value
// and a value really named "default", whichever section it was made in; a line written now names
// the one value it was made for.
TEST(IgnoreList, AnOldDefaultLineHidesTheUnnamedValueAndAValueNamedDefault) {
  scan_test::TScanRun run;
  struct Case {
    std::string Line, Section, ValueName;   // the line, then what a scan asks about
    bool Hidden;
  };
  const std::string key = "HKEY_LOCAL_MACHINE\\Zv";
  const std::vector<Case> cases = {
      {"Font Entries|" + key + "|default", "Font Entries", "", true},
      {"Font Entries|" + key + "|default", "Font Entries", "default", true},
      {"Sounds Section|" + key + "|default", "Sounds Section", "", true},
      {"Sounds Section|" + key + "|default", "Sounds Section", "default", true},
      {"System Software Settings|" + key + "|default", "System Software Settings", "default", true},
      {"Font Entries|" + key + "|default", "Font Entries", "Default", false},   // exact case
      {"Font Entries|" + key + "|default", "Font Entries", "other", false},
      {"Font Entries|" + key + "|", "Font Entries", "default", false},
      {TrimRight(IgnoreLine("Sounds Section", key, "default", true)), "Sounds Section", "default", false},
      {TrimRight(IgnoreLine("Sounds Section", key, "default", true)), "Sounds Section", "", true},
      {TrimRight(IgnoreLine("Font Entries", key, "default")), "Font Entries", "", false},
      {TrimRight(IgnoreLine("Font Entries", key, "default")), "Font Entries", "default", true},
      {"|" + key + "|default", "Font Entries", "", false},   // a line of no section names nothing
  };
  for (const Case& c : cases) {
    WriteFileBytes(IgnoreFileName(), c.Line + "\r\n");
    TIgnoreContents list;
    LoadIgnoreList(list);
    EXPECT_EQ(IsIgnored(list, c.Section, key, c.ValueName), c.Hidden) << c.Line << " asked for " << c.ValueName;
    EXPECT_EQ(ListNamesEntry(list, key, c.ValueName), c.Hidden) << c.Line << " asked for " << c.ValueName;
  }
}

// Every name of one key gives one identity: the current user's tree and any user's classes hive,
// HKEY_USERS\.DEFAULT and the system account's HKEY_USERS\S-1-5-18 it links to.
TEST(KeyIdentity, OneKeyUnderEachOfItsNames) {
  const std::string users = KeyIdentity(HKEY_CURRENT_USER, "");
  struct Case {
    std::string A, B;
    bool Same;
  };
  const Case cases[] = {
      {"HKEY_USERS\\.DEFAULT\\Software\\Zv", "HKEY_USERS\\S-1-5-18\\software\\zv", true},
      {"HKEY_USERS\\.Default", "HKEY_USERS\\S-1-5-18", true},
      {"hkey_users\\.default\\Ключ", "HKEY_USERS\\S-1-5-18\\КЛЮЧ", true},
      {"HKEY_USERS\\S-1-5-21-1-2-3-500_Classes\\.zv", "HKEY_USERS\\S-1-5-21-1-2-3-500\\Software\\Classes\\.zv", true},
      {users + "_Classes\\.x", "HKEY_CURRENT_USER\\Software\\Classes\\.x", true},
      {"HKEY_CURRENT_USER\\Software\\Zv", users + "\\SOFTWARE\\zv", true},
      {"HKEY_USERS\\.DEFAULTX\\Zv", "HKEY_USERS\\S-1-5-18\\Zv", false},
      {"HKEY_USERS\\S-1-5-18\\Zv", "HKEY_USERS\\S-1-5-19\\Zv", false},
      {"HKEY_USERS\\S-1-5-18_Classes", "HKEY_USERS\\S-1-5-18", false},
      {"HKEY_USERS\\.DEFAULT\\Zv", "HKEY_CURRENT_USER\\Zv", false},
      {"HKEY_USERS\\S-1-5-21-1-2-3-500_Classes\\.zv", "HKEY_LOCAL_MACHINE\\Software\\Classes\\.zv", false},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyIdentity(c.A) == KeyIdentity(c.B), c.Same) << c.A << " / " << c.B;

  // an exclusion made under one name hides the entry met under the other
  scan_test::TScanRun run;
  WriteFileBytes(IgnoreFileName(), "Empty Registry Keys|HKEY_USERS\\.DEFAULT\\Software\\Zv|\r\n");
  TIgnoreContents list;
  LoadIgnoreList(list);
  EXPECT_TRUE(IsIgnored(list, "Empty Registry Keys", "HKEY_USERS\\S-1-5-18\\Software\\Zv", ""));
}

// The ignore file is the user's to edit: whatever it holds loads without harm.
TEST(IgnoreList, MalformedFilesLoadWithoutHarmAndStayAsTheyWere) {
  scan_test::TScanRun run;   // the run's own ignore file, put back afterwards
  const std::string file = IgnoreFileName();
  testing_support::TFuzzInputs inputs({
      IgnoreLine("Font Entries", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                 "Arial (TrueType)") +
          IgnoreLine("User Software Settings", "HKEY_CURRENT_USER\\Software\\Ключ", "имя") +
          IgnoreLine("Invalid Shortcuts", "C:\\Users\\Me\\Desktop\\Old.lnk", "C:\\Gone\\app.exe"),
      "Sounds Section|HKEY_CURRENT_USER\\AppEvents|default\r\n\r\nno bar at all\r\nSec|Key|name|with|bars\n",
      "Help Section|HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help|\xE9t\xE9.hlp\r\n",   // an 8-bit line
      IgnoreLine("System Software Settings", "HKEY_CURRENT_USER\\k|1%", "default") +   // escaped lines
          IgnoreLine("User Software Settings", "HKEY_USERS\\S-1-5-21-0-0-0-1000_Classes\\|x", "", true),
  });
  for (int i = 0; i < 2500; ++i) {
    const std::string bytes = inputs.Next();
    ASSERT_TRUE(testing_support::WriteInput(file, bytes));
    TIgnoreContents list;
    ASSERT_NO_THROW(LoadIgnoreList(list)) << "input " << i;
    ASSERT_LE(list.Count(), (int)bytes.size() + 1) << "input " << i;
    IsIgnored(list, "Font Entries", "HKEY_LOCAL_MACHINE\\SOFTWARE", "Arial (TrueType)");
    IsIgnored(list, "System Software Settings", "HKEY_CURRENT_USER\\k|1%", "");
    ASSERT_EQ(ReadFileBytes(file), bytes) << "the load changed the file, input " << i;
  }
  // nothing else was written beside the file
  std::vector<std::string> names;
  ForEachFile(run.Folder.Path(), "*", [&](const TFoundFile& f) { return names.push_back(f.Name), true; });
  EXPECT_EQ(names, std::vector<std::string>{ExtractFileName(file)});
}
