// The software-settings walks of both sections over planted keys under the current user.
// Test names stay clear of the walk's skip words ("system", "winlogon", "outlook").
#include <gtest/gtest.h>

#include "support/ScanFixture.h"
#include "framework/Registry.h"
#include "scan/SystemSoftWareSettingUnit.h"
#include "scan/UserSoftWareSettings.h"

using namespace PublicFunctionUnit;
using SystemSoftWareSettingUnit::ExtractFileFromCommandLine;
using namespace scan_test;
using namespace testing_support;

namespace {

const std::string kMissing = "C:\\ZelvoranMissing\\";

struct Section {
  const char* caption;
  TScanRoutine scan;
  TRepairRoutine repair;
};
const Section kMachine{"System Software Settings", SystemSoftWareSettingUnit::ScanSoftwareSettings,
                       SystemSoftWareSettingUnit::RepairSoftwareSettings};
const Section kUser{"User Software Settings", UserSoftWareSettings::ScanUserSoftwareSettings,
                    UserSoftWareSettings::RepairUserSoftwareSettings};

std::string WindowsUpper() { return AnsiUpperCase(PublicFunctionUnit::GetWindowsDir()); }

Texts Field(const std::vector<TContent>& findings, std::string TContent::*field) {
  Texts v;
  for (const TContent& f : findings) v.push_back(f.*field);
  return v;
}

class SettingsWalk : public ScanTest {
 protected:
  void Scan(const Section& s) { TScanRun::Scan(s.scan, box.Path(), box.Root()); }
  std::string Key(const std::string& sub) const { return box.FullPath() + "\\" + sub; }
  std::vector<TContent> At(const std::string& sub) const { return FindingsAt(Contents, Key(sub)); }

  RegSandbox box;
};

}  // namespace

// Values of one key, planted in alphabetical order (Wine lists values sorted, Windows in the
// order written), examined the same way by both sections apart from their differences.
TEST_F(SettingsWalk, PathAndCommandLineFindingsWithTheirExactTexts) {
  std::string present = Folder.WriteFile("present.exe");
  box.SetString("", "r", kMissing + "root.exe");   // the walked key's own values are left alone
  using Plant = std::pair<const char*, std::string>;
  for (const auto& [name, data] : {Plant{"", kMissing + "unnamed.exe"}, {"a", "C:\\Program Files\\ZelvoranMissing\\app.exe /s"},
                                   {"b", "%SystemRoot%\\zelvoranmissing\\x.exe"}, {"c", "rundll32.exe C:\\ZelvoranLib\\x.dll,Entry"},
                                   {"d", "C:\\ZelvoranOld Folder\\Data"}, {"e", present}, {"f", "\\\\server\\share\\x.exe"},
                                   {"g", "a:\\setup.exe"}, {"h", "E:\\setup.exe"}, {"i", "H:\\ZelvoranMissing\\y.exe"},
                                   {"j", ExcludeTrailingBackslash(Folder.Path())}})
    box.SetString("k1", name, data);
  box.SetDword("k1", "k", 7);
  box.SetString("k1", "l", "%windir%\\zelvoranmissing.exe", REG_EXPAND_SZ);
  for (const auto& [name, data] : {Plant{"m", kMissing + "msoe.dll"}, {"n", "C:zelvoranmissing.exe"}, {"o", ""}})
    box.SetString("k1", name, data);
  box.SetString("k1\\deep", "x", kMissing + "deep.exe");
  // Data naming a driver or the shell ends the key's examination.
  box.SetString("k2", "a", "explorer.exe /x");
  box.SetString("k2", "b", kMissing + "after.exe");
  box.SetString("k3", "a", "C:\\Drivers\\x.SYS");
  box.SetString("k3", "b", kMissing + "after.exe");

  const std::string k1 = Key("k1");
  Scan(kMachine);
  EXPECT_TRUE(FindingsAt(Contents, box.FullPath()).empty());
  std::vector<TContent> found = At("k1");
  ASSERT_EQ(Field(found, &TContent::ValueName), (Texts{"default", "a", "b", "c", "d", "l"}));
  const std::string app = "C:\\Program Files\\ZelvoranMissing\\app.exe";
  EXPECT_EQ(Field(found, &TContent::Value),
            (Texts{kMissing + "unnamed.exe", app, WindowsUpper() + "\\ZELVORANMISSING\\X.EXE", "C:\\ZelvoranLib\\x.dll",
                   "C:\\ZelvoranOld Folder\\Data", WindowsUpper() + "\\ZELVORANMISSING.EXE"}));
  ExpectFinding(found[1], {.KeyPath = k1, .ShortName = "", .ValueName = "a", .ValueNameLine = " ValueName:a",
                           .ValueLine = " Value:" + app, .FaultLine = " The file(" + app + ")does not exist at the specified location",
                           .DescriptionLine = "The Key " + app + " under " + k1 + " contains a bad path for the value"});
  EXPECT_EQ(found[0].ValueNameLine, " ValueName:default");
  const TContent& d = found[4];
  EXPECT_EQ((Texts{d.ShortName, d.FaultLine, d.DescriptionLine}),
            (Texts{"C:\\ZelvoranOld Folder\\Data",
                   " The file (C:\\ZelvoranOld Folder\\Data) does not exist at the specified location",
                   "The Key C:\\ZelvoranOld Folder\\Data under " + k1 + " contains a bad path for the value"}));
  EXPECT_EQ(Field(At("k1\\deep"), &TContent::Value), Texts{kMissing + "deep.exe"});
  EXPECT_TRUE(At("k2").empty() && At("k3").empty());
  EXPECT_EQ(CountLabel.Text, "7");
  for (int i = 0; i < Contents.Count(); ++i) EXPECT_EQ(Contents.GetItem(i).Content.Number, i + 1);

  // The user section: no H: test (but the prefix has no drive H:, and a drive that is not there
  // is not judged), no ":\" needed, no "Explorer.exe" stop, its own fault lines, and the unnamed
  // value keeps its empty name.
  Contents.Clear();
  ProblemNumber = 0;
  Scan(kUser);
  found = At("k1");
  ASSERT_EQ(Field(found, &TContent::ValueName), (Texts{"", "a", "b", "c", "d", "l", "n"}));
  EXPECT_EQ(found[0].ValueNameLine, " ValueName:");
  EXPECT_EQ(found[1].FaultLine,
            " The file (C:\\Program Files\\ZelvoranMissing\\app.exe) does not exist at the specified location");
  EXPECT_EQ(found[4].FaultLine, "The file (C:\\ZelvoranOld Folder\\Data) does not exist at the specified location");
  EXPECT_EQ(found[6].Value, "C:zelvoranmissing.exe");
  EXPECT_EQ(Field(At("k2"), &TContent::ValueName), Texts{"b"});
  EXPECT_TRUE(At("k3").empty());
  EXPECT_EQ(At("k1\\deep").size(), 1u);
}

TEST_F(SettingsWalk, SkipRulesOfEachSection) {
  const char* keys[] = {"App Paths", "App Paths\\sub", "other\\app paths", "winlogon", "winlogon\\sub",
                        "Outlook", "Outlook\\sub", "PolicySystem", "PolicySystem\\sub",
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\sub"};
  for (const char* k : keys) box.SetString(k, "v", kMissing + "skip.exe");

  auto reported = [&]() {
    std::vector<std::string> subs;
    for (const char* k : keys)
      if (!At(k).empty()) subs.push_back(k);
    return subs;
  };
  Scan(kMachine);
  EXPECT_EQ(reported(), (std::vector<std::string>{"other\\app paths", "winlogon", "Outlook", "Outlook\\sub",
                                                   "PolicySystem"}));
  Contents.Clear();
  Scan(kUser);
  EXPECT_EQ(reported(), (std::vector<std::string>{"App Paths", "App Paths\\sub", "other\\app paths", "winlogon",
                                                   "Outlook", "PolicySystem", "PolicySystem\\sub",
                                                   "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                                                   "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\sub"}));
}

// An exclusion hides exactly the finding excluded, the unnamed value's included, and the
// values listed after it are still examined.
TEST_F(SettingsWalk, ExclusionHidesOnlyThatFinding) {
  for (const char* name : {"", "a", "b"}) box.SetString("k1", name, kMissing + name + "x.exe");
  for (const Section* s : {&kMachine, &kUser}) {
    SCOPED_TRACE(s->caption);
    DeleteFileW(Widen(IgnoreFileName()).c_str());
    LoadIgnoreList(IgnoreList);
    Contents.Clear();
    Scan(*s);
    ASSERT_EQ(Contents.Count(), 3);
    Exclude(s->caption, Contents.GetItem(0).Content);   // the unnamed value
    Exclude(s->caption, Contents.GetItem(1).Content);   // "a"
    Contents.Clear();
    Scan(*s);
    EXPECT_EQ(Field(At("k1"), &TContent::ValueName), Texts{"b"});
  }
}

// Both sections walk the current user's tree, the machine section by its name under HKEY_USERS:
// an exclusion names the value whichever section excluded it and by whichever name.
TEST_F(SettingsWalk, AnExclusionHoldsInBothSectionsAndUnderBothNamesOfTheUsersTree) {
  for (const char* name : {"", "a", "b", "c"}) box.SetString("k1", name, kMissing + name + "y.exe");
  const std::string users = KeyIdentity(HKEY_CURRENT_USER, "").substr(std::string("HKEY_USERS\\").size());
  const std::string underUsers = users + "\\" + box.Path();
  auto scanMachineUnderUsers = [&] {
    Contents.Clear();
    TScanRun::Scan(kMachine.scan, underUsers, HKEY_USERS);
    return Field(FindingsAt(Contents, "HKEY_USERS\\" + underUsers + "\\k1"), &TContent::ValueName);
  };
  auto scanUser = [&] {
    Contents.Clear();
    Scan(kUser);
    return Field(At("k1"), &TContent::ValueName);
  };
  ASSERT_EQ(scanMachineUnderUsers(), (Texts{"default", "a", "b", "c"}));
  ASSERT_EQ(scanUser(), (Texts{"", "a", "b", "c"}));
  Exclude(kUser.caption, Contents.GetItem(0).Content);   // the unnamed value, excluded in the user section
  Exclude(kUser.caption, Contents.GetItem(1).Content);   // "a"
  EXPECT_EQ(scanMachineUnderUsers(), (Texts{"b", "c"}));
  Exclude(kMachine.caption, Contents.GetItem(0).Content);   // "b", excluded under HKEY_USERS
  EXPECT_EQ(scanUser(), Texts{"c"});
  EXPECT_EQ(scanMachineUnderUsers(), Texts{"c"});
  // an exclusion names its own value only, and another section's exclusions stay its own
  Exclude("Help Section", Contents.GetItem(0).Content);
  EXPECT_EQ(scanUser(), Texts{"c"});
}

// A value may really be named "default": it is reported, repaired, backed up and excluded as that
// value, and the key's unnamed value (which the texts also show as "default") is never taken for it.
TEST_F(SettingsWalk, AValueNamedDefaultIsNeverTakenForTheUnnamedValue) {
  const std::string present = Folder.WriteFile("present.exe");
  for (const Section* s : {&kMachine, &kUser}) {
    SCOPED_TRACE(s->caption);
    DeleteFileW(Widen(IgnoreFileName()).c_str());
    LoadIgnoreList(IgnoreList);
    box.SetString("k1", "", present);                      // the unnamed value is valid
    box.SetString("k1", "default", kMissing + "named.exe");
    Contents.Clear();
    Scan(*s);
    std::vector<TContent> found = At("k1");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].ValueName == "default" && !found[0].UnnamedValue);
    EXPECT_EQ(found[0].ValueNameLine, " ValueName:default");

    // Excluded, it stays excluded; the unnamed value, broken too by now, is still reported.
    Exclude(s->caption, found[0]);
    EXPECT_EQ(ReadFileBytes(IgnoreFileName()), "|" + std::string(s->caption) + "|" + Key("k1") + "|default\r\n");
    box.SetString("k1", "", kMissing + "unnamed.exe");
    Contents.Clear();
    Scan(*s);
    found = At("k1");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].UnnamedValue);
    // Excluding the unnamed value keeps the plain line and hides only it.
    Exclude(s->caption, found[0]);
    box.SetString("k1", "zz", kMissing + "other.exe");
    Contents.Clear();
    Scan(*s);
    EXPECT_EQ(Field(At("k1"), &TContent::ValueName), Texts{"zz"});
    DeleteFileW(Widen(IgnoreFileName()).c_str());
    LoadIgnoreList(IgnoreList);

    // The repair removes the value named "default" and leaves the unnamed one, whatever it holds.
    box.SetString("k1", "", present);
    Contents.Clear();
    Scan(*s);
    found = At("k1");
    ASSERT_EQ(Field(found, &TContent::ValueName), (Texts{"default", "zz"}));
    TRepairRun repair;
    repair.Repair(s->repair, Contents);
    EXPECT_EQ(repair.Lines(), (scan_test::Lines{{Key("k1"), kOk}, {Key("k1"), kOk}}));
    EXPECT_FALSE(box.ValueExists("k1", "default") || box.ValueExists("k1", "zz"));
    EXPECT_EQ(box.Read("k1", ""), present);
  }
}

// The results stay on screen while the program waits in the tray: just before a value is removed
// it is judged again, and what changed since the scan is left, saying so.
TEST_F(SettingsWalk, AValueThatChangedSinceTheScanIsLeft) {
  for (const Section* s : {&kMachine, &kUser}) {
    SCOPED_TRACE(s->caption);
    for (const char* name : {"a", "b", "c", "d", "e"}) box.SetString("k1", name, Folder.Path() + name + "-gone.exe /x");
    Contents.Clear();
    Scan(*s);
    ASSERT_EQ(At("k1").size(), 5u);
    Folder.WriteFile("a-gone.exe");                                  // installed again
    box.SetString("k1", "b", Folder.Path() + "b-elsewhere.exe");    // written anew, missing too
    RegDeleteKeyValueW(box.Root(), Widen(box.Path() + "\\k1").c_str(), L"c");   // removed since
    box.SetString("k1", "d", Folder.Path() + "d-gone.exe /y");      // another argument, the same missing file
    TRepairRun repair;
    repair.Repair(s->repair, Contents);
    const char* left = SectionCommon::ChangedSinceScanText;
    // a line that was left names its value
    EXPECT_EQ(repair.Lines(), (scan_test::Lines{{Key("k1") + " (a)", left}, {Key("k1") + " (b)", left},
                                                {Key("k1") + " (c)", left}, {Key("k1"), kOk}, {Key("k1"), kOk}}));
    EXPECT_TRUE(box.ValueExists("k1", "a") && box.ValueExists("k1", "b"));
    EXPECT_FALSE(box.ValueExists("k1", "d") || box.ValueExists("k1", "e"));
    DeleteFileW(Widen(Folder.Path() + "a-gone.exe").c_str());
    RegDeleteKeyW(box.Root(), Widen(box.Path() + "\\k1").c_str());
  }
}

namespace {
struct StopOnCaption : TCaptionHolder {
  void SetCaption(const std::string& text) override {
    TCaptionHolder::SetCaption(text);
    ScanState = TRunState::StopScan;
  }
};
}  // namespace

TEST_F(SettingsWalk, StopFlagEndsTheWalk) {
  for (const char* k : {"a", "b", "b\\c", "d"}) box.SetString(k, "v", kMissing + "stop.exe");
  ExpectStopEndsScan(kMachine.scan, box.Path(), box.Root());
  EXPECT_EQ(ItemsProcessed, 0);

  // Stopped at the first finding: the walk unwinds from any depth and nothing more is added.
  StopOnCaption stopper;
  for (const Section* s : {&kMachine, &kUser}) {
    Contents.Clear();
    ScanState = TRunState::Idle;
    s->scan(0, &CurrentItem, &stopper, IgnoreList, Contents, box.Path(), box.Root());
    EXPECT_EQ(Contents.Count(), 1);
    EXPECT_EQ(stopper.Text, "1");
  }

  // The current item is shown for every 200th key visited only.
  ScanState = TRunState::Idle;
  VisitedKeyCount = 198;
  ItemsProcessed = 0;
  Scan(kMachine);
  EXPECT_EQ(CurrentItem.Changes, 1);
  EXPECT_EQ(CurrentItem.Text, box.Path() + "\\b");
  EXPECT_EQ(VisitedKeyCount, 202);
  EXPECT_EQ(ItemsProcessed, 4);
}

// The machine section's second pass walks HKEY_USERS, where a value may be met again through a
// linked hive (here the current user's); its second repair finds the value already gone.
TEST_F(SettingsWalk, ValueMetTwiceIsRepairedOnce) {
  box.SetString("k1", "a", kMissing + "twice.exe");
  Scan(kMachine);
  kMachine.scan(14, &CurrentItem, &CountLabel, IgnoreList, Contents, "S-1-5-21-0-0-0-1000\\" + box.Path(),
                HKEY_USERS);
  ASSERT_EQ(Contents.Count(), 2);
  Repair(kMachine.repair, Contents);
  EXPECT_FALSE(box.ValueExists("k1", "a"));
  EXPECT_EQ(TRepairRun::Lines(), (scan_test::Lines{{Key("k1"), kOk},
                                                   {"HKEY_USERS\\S-1-5-21-0-0-0-1000\\" + box.Path() + "\\k1", kOk}}));
}

namespace {
// Every path the scan's file checks ask the system about, in order.
std::vector<std::string> LookedUp;

DWORD WINAPI RecordingLookUp(LPCWSTR path) {
  LookedUp.push_back(Narrow(path));
  return GetFileAttributesW(path);
}

class TRecordedLookUps {
 public:
  TRecordedLookUps() {
    LookedUp.clear();
    SetAttributesReader(RecordingLookUp);
  }
  ~TRecordedLookUps() { SetAttributesReader(nullptr); }
  TRecordedLookUps(const TRecordedLookUps&) = delete;
  TRecordedLookUps& operator=(const TRecordedLookUps&) = delete;
};
}  // namespace

// Judging a value asks the file system about the program or path its text reads, once a scan,
// and about nothing else while nothing is to be reported: data that names no path (names, web
// addresses, identifiers, numbers, words with blanks) costs no look-up, and command lines of a
// program that is there cost that program's alone (not the whole line, not the line as a folder).
TEST_F(SettingsWalk, ValuesAreJudgedWithOneLookUpPerPathTheyName) {
  const std::string present = Folder.WriteFile("present.exe");
  using Plant = std::pair<const char*, std::string>;
  for (const auto& [name, data] :
       {Plant{"Name", "ZelvoranBench Product 5"}, {"Home", "http://zelvoranbench.invalid/product/5"},
        {"Id", "{5A454C56-0000-4000-8000-000000000005}"}, {"Version", "1.2.3"}, {"Words", "Classic look, large"},
        {"Command", "\"" + present + "\" /background"}, {"Icon", present + ",0"}, {"Program", present},
        {"Open", "\"" + present + "\" \"%1\""}, {"Run", "rundll32.exe " + present + ",Entry"}})
    box.SetString("k", name, data);
  TRecordedLookUps recorded;
  TScanFileChecks scan;
  for (const Section* s : {&kMachine, &kUser}) {
    SCOPED_TRACE(s->caption);
    Scan(*s);
    EXPECT_EQ(Contents.Count(), 0);
    EXPECT_EQ(LookedUp, Texts{present});
  }
}

TEST(CommandLines, ExtractFileFromCommandLine) {
  const std::string windows = AnsiUpperCase(PublicFunctionUnit::GetWindowsDir()) + "\\";
  struct Case {
    std::string in, out;
  } cases[] = {
      {"C:\\Program Files\\App\\app.exe /s", "C:\\Program Files\\App\\app.exe"},
      {"\"C:\\Program Files\\App\\app.exe\" -arg", "C:\\Program Files\\App\\app.exe"},
      {"@C:\\Lib\\res.dll,-101", "C:\\Lib\\res.dll"}, {"rundll32.exe C:\\Lib\\x.dll,Entry", "C:\\Lib\\x.dll"},
      {"%SystemRoot%\\system32\\x.exe /k", windows + "SYSTEM32\\X.EXE"}, {"C:\\Old Folder\\Data", "C:\\Old Folder\\Data"},
      {"C:\\a\\b.exe D:\\c\\d.txt", "C:\\a\\b.exe"},   // second colon, long extension: once more
      {"C:\\abc:stream", "C:\\abc"}, {"app.exe /s", "app.exe"},   // no Folder at all
      {"C:\\a\\\\b.exe x", "C:\\a\\\\b.exe"},          // an empty Folder part
      {"", ""}, {"C:", "C:"},
      // Inputs whose colon comes first end too.
      {":", ":"}, {"::", ":"}, {":abc:def.exe", ":abc"}, {":x.verylongext:y", ":x.verylongext"}, {"\":\":\"", ":"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractFileFromCommandLine(c.in), c.out) << c.in;

  testing_support::TempFolder Folder;
  std::string spaced = Folder.WriteFile("with space.exe");
  EXPECT_EQ(ExtractFileFromCommandLine("\"" + spaced + "\""), spaced);   // an existing file as it is
}

TEST(CommandLines, PathTests) {
  using namespace SystemSoftWareSettingUnit;
  for (const char* p : {"C:\\a\\b.exe", "c:\\a b\\b.exe"}) EXPECT_TRUE(LooksLikeFilePath(p)) << p;
  // the quote becomes a leading blank
  for (const char* p : {"C:\\a\\b", "C:\\a\\b.exe;x", "C:\\a\\b.exe,1", "\"C:\\a\\b.exe\"", "1:\\a.exe", "C:\\a:b.exe", ""})
    EXPECT_FALSE(LooksLikeFilePath(p)) << p;

  for (const std::string& p : {std::string("C:\\Old Folder\\Data"), "C:\\" + std::string(257, 'x')})
    EXPECT_TRUE(IsValidPath(p)) << p;
  for (const std::string& p : {std::string("C:\\a.b"), std::string("C:\\a-b"), "C:\\" + std::string(258, 'x')})
    EXPECT_FALSE(IsValidPath(p)) << p;

  EXPECT_TRUE(HasSingleColon("C:\\a") && HasSingleColon("a"));
  EXPECT_FALSE(HasSingleColon("C:\\a:b"));
  EXPECT_FALSE(HasNoInvalidChars("a%b", 0));
  EXPECT_TRUE(HasNoInvalidChars("a,b", 8));
  EXPECT_FALSE(HasNoInvalidChars("a,b", 9));

  const std::string windows = AnsiUpperCase(PublicFunctionUnit::GetWindowsDir());
  EXPECT_EQ(ExpandPathVars("%windir%\\x.exe"), windows + "\\X.EXE");
  EXPECT_EQ(ExpandPathVars("%SystemRoot%\\a;%WINDIR%\\b"), windows + "\\A;" + windows + "\\B");
  EXPECT_EQ(ExpandPathVars("%ProgramFiles%\\App\\a.exe"), AnsiUpperCase(GetProgramFilesDir(0)) + "\\APP\\A.EXE");
  EXPECT_EQ(ExpandPathVars("C:\\Mixed\\Case %temp%"), "C:\\Mixed\\Case %temp%");
  EXPECT_EQ(SystemSoftWareSettingUnit::GetWindowsDir(), windows + "\\");
}
