#include <gtest/gtest.h>

#include "support/HeldFile.h"
#include "support/ScanFixture.h"

using namespace SectionCommon;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {
TContent Finding(const std::string& keyPath, const std::string& valueName, const std::string& shortName = "",
                 const std::string& value = "") {
  TContent c;
  c.Checked = true;
  c.KeyPath = keyPath;
  c.ValueName = valueName;
  c.ShortName = shortName;
  c.Value = value;
  return c;
}
}  // namespace

TEST(SectionCommon, RemovalSaysExactlyWhatARepairTakes) {
  TContent unnamed = Finding("HKEY_LOCAL_MACHINE\\A\\HKEY_LOCAL_MACHINE\\B", "default");
  unnamed.UnnamedValue = true;
  TRemoval v = RepairRemoval(TRepairForm::Value, unnamed);
  EXPECT_EQ(v.Kind, TRemovalKind::Value);
  EXPECT_EQ(v.Root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(v.SubKey, "A\\HKEY_LOCAL_MACHINE\\B");   // the root's name is taken off once
  EXPECT_EQ(v.ValueName, "");                           // the unnamed value, shown as "default"
  // a value really named "default" (or "Default") is that value, never the unnamed one
  EXPECT_EQ(RepairRemoval(TRepairForm::Value, Finding("HKEY_USERS\\X", "default")).ValueName, "default");
  EXPECT_EQ(RepairRemoval(TRepairForm::Value, Finding("HKEY_USERS\\X", "Default")).ValueName, "Default");
  EXPECT_EQ(ListedValueName(unnamed), "");
  EXPECT_EQ(ListedValueName(Finding("HKEY_USERS\\X", "default")), "default");
  EXPECT_EQ(RepairRemoval(TRepairForm::ValueByShortName, Finding("HKEY_LOCAL_MACHINE\\H", "", "a.hlp")).ValueName, "a.hlp");
  // a key met through the classes root is removed where it lies: here the machine's classes
  TRemoval k = RepairRemoval(TRepairForm::Key, Finding("HKEY_CLASSES_ROOT\\CLSID\\{x}", "default"));
  EXPECT_TRUE(k.Kind == TRemovalKind::Key && k.Root == HKEY_LOCAL_MACHINE && k.SubKey == "Software\\Classes\\CLSID\\{x}");
  EXPECT_TRUE(k.ThroughClassesRoot && k.ClassesSubKey == "CLSID\\{x}");
  EXPECT_EQ(RepairRemoval(TRepairForm::Key, Finding("HKEY_CLASSES_ROOT", "")).Kind, TRemovalKind::None);
  EXPECT_EQ(RepairRemoval(TRepairForm::KeyOrNothing, Finding("HKEY_CURRENT_USER\\M", "v", "", "key")).Kind,
            TRemovalKind::Key);
  // a finding not marked "key" is logged only: nothing is removed (nor backed up)
  EXPECT_EQ(RepairRemoval(TRepairForm::KeyOrNothing, Finding("HKEY_CURRENT_USER\\M", "v", "", "x")).Kind,
            TRemovalKind::Nothing);
  EXPECT_EQ(RepairRemoval(TRepairForm::KeyOrNothing, Finding("HKEY_CURRENT_USER\\M", "default", "", "")).Kind,
            TRemovalKind::Nothing);
  EXPECT_EQ(RepairRemoval(TRepairForm::Value, Finding("nowhere\\x", "v")).Kind, TRemovalKind::None);
  TRemoval f = RepairRemoval(TRepairForm::File, Finding("C:\\x\\y.lnk", ""));
  EXPECT_TRUE(f.Kind == TRemovalKind::File && f.File == "C:\\x\\y.lnk");
}

TEST(SectionCommon, AChildKeyPathSplitsBackIntoItsParent) {
  struct Case {
    std::string parent, name;
  };
  const Case cases[] = {{"", ".txt"}, {"Software\\Classes", ".txt"}, {"A\\.txt", ".txt"}, {"A\\B", "C D"}};
  for (const Case& c : cases) {
    std::string parent = "stale";
    EXPECT_EQ(SplitChildKeyPath("HKEY_CURRENT_USER\\" + ChildKeyPath(c.parent, c.name), c.name, parent),
              HKEY_CURRENT_USER);
    EXPECT_EQ(parent, c.parent) << c.name;
  }
  std::string parent;
  EXPECT_EQ(SplitChildKeyPath("HKEY_CURRENT_USER\\A\\x.txt", ".txt", parent), nullptr);   // not that name
  EXPECT_EQ(SplitChildKeyPath("HKEY_CURRENT_USER", ".txt", parent), nullptr);
  EXPECT_EQ(SplitChildKeyPath("nowhere\\A\\.txt", ".txt", parent), nullptr);
}

TEST(SectionCommon, RepairWalkLogsRealOutcomesAndHonoursTicksAndCancel) {
  RegSandbox box;
  box.SetString("k", "gone", "1");
  box.SetString("k", "kept", "1");
  box.SetString("sub\\deep", "v", "1");
  TRegistryContents contents;
  auto add = [&](TContent c) { contents.GetItem(contents.Add()).Content = c; };
  add(Finding(box.FullPath() + "\\k", "gone"));
  TContent unticked = Finding(box.FullPath() + "\\k", "kept");
  unticked.Checked = false;
  add(unticked);
  add(Finding(box.FullPath() + "\\k", "never-there"));
  scan_test::TScanRun run;
  scan_test::TRepairRun values, keys, cancelled;
  RepairFindings({.Form = TRepairForm::Value}, values.Status, values.FinishList, contents, values.Log);
  const std::string k = box.FullPath() + "\\k";
  EXPECT_TRUE(!box.ValueExists("k", "gone") && box.ValueExists("k", "kept"));
  // a value that is not there (any more) is left, and its line says so
  EXPECT_EQ(values.Lines(),
            (scan_test::Lines{{k, scan_test::kOk}, {k + " (never-there)", SectionCommon::ChangedSinceScanText}}));
  EXPECT_EQ(values.FinishList.Count, 2);
  EXPECT_EQ(values.Status.Text, k);

  TRegistryContents subs;
  subs.GetItem(subs.Add()).Content = Finding(box.FullPath() + "\\sub", "default");
  RepairFindings({.Form = TRepairForm::Key, .Status = TStatusText::WithoutRootName}, keys.Status, keys.FinishList, subs,
                 keys.Log);
  EXPECT_FALSE(box.KeyExists("sub"));
  EXPECT_EQ(keys.Lines(), (scan_test::Lines{{"\\" + box.Path() + "\\sub", scan_test::kOk}}));

  // Cancel before the walk: nothing is touched or logged.
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::StopRepair;   // put back by the run
  RepairFindings({.Form = TRepairForm::Value}, cancelled.Status, cancelled.FinishList, contents, cancelled.Log);
  EXPECT_EQ(cancelled.Log.Count(), 0);
  EXPECT_TRUE(box.ValueExists("k", "kept"));
}

// A repair counts a target as taken by an earlier line only when that line removed exactly it: a
// key named "a|b" with a value "c" is not the key "a" with a value "b|c".
TEST(SectionCommon, AnEarlierLineStandsForItsOwnTargetOnly) {
  RegSandbox box;
  box.SetString("a|b", "c", "1");
  box.CreateKey("a");
  TRegistryContents contents;
  contents.GetItem(contents.Add()).Content = Finding(box.FullPath() + "\\a|b", "c");
  contents.GetItem(contents.Add()).Content = Finding(box.FullPath() + "\\a", "b|c");
  scan_test::TScanRun run;
  scan_test::TRepairRun repair;
  RepairFindings({.Form = TRepairForm::Value}, repair.Status, repair.FinishList, contents, repair.Log);
  EXPECT_EQ(repair.Lines(), (scan_test::Lines{{box.FullPath() + "\\a|b", scan_test::kOk},
                                              {box.FullPath() + "\\a (b|c)", SectionCommon::ChangedSinceScanText}}));
}

TEST(SectionCommon, FileRemovalGoesToTheRecycleBin) {
  TempFolder dir;
  std::string name = "zelvoran-" + testing_support::TestName() + ".lnk";
  std::string file = dir.WriteFile(name, "link");
  EXPECT_TRUE(ExecuteRemoval(RepairRemoval(TRepairForm::File, Finding(file, ""))));
  EXPECT_FALSE(FileExists(file));
  // Wine's recycle bin is the XDG trash, which the test prefix keeps inside the build folder (D:).
  EXPECT_TRUE(FileExists("D:\\wineprefix.xdg\\Trash\\files\\" + name));
  EXPECT_FALSE(ExecuteRemoval(RepairRemoval(TRepairForm::File, Finding(file, ""))));
}

// Just before each removal the repair reads the ignore list as its file is then: an entry made in
// any section, under any name of the key, passes the finding over with a line that says so.
TEST(SectionCommon, TheRepairPassesOverWhatTheIgnoreListNamesAtThatMoment) {
  scan_test::TScanRun run;
  RegSandbox box;
  const std::string full = box.FullPath(), user = PublicFunctionUnit::KeyIdentity(HKEY_CURRENT_USER, "");
  const std::string asUsers = user + "\\" + box.Path();   // the same keys under HKEY_USERS
  struct Case {
    std::string Line;        // the ignore file's line
    std::string Value;       // the finding's value name as listed ("" the unnamed one)
    bool Excluded;
  };
  const Case cases[] = {
      {"User Software Settings|" + full + "\\k0|a", "a", true},        // another section's entry
      {"Font Entries|" + asUsers + "\\K1|a", "a", true},               // the key under its other name
      {"Sounds Section|" + full + "\\k2|default", "", true},           // an old line's "default"
      {"Sounds Section|" + full + "\\k3|default", "default", true},
      {"|Sounds Section|" + full + "\\k4|default", "", false},          // a value really named "default"
      {"Font Entries|" + full + "\\k5|", "default", false},            // the unnamed value
      {"Font Entries|" + full + "\\k6|A", "a", false},                 // names compare exactly
      {"Font Entries|" + full + "\\k7x|a", "a", false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string key = "k" + std::to_string(i);
    box.SetString(key, c.Value, "1");
    WriteFileBytes(PublicFunctionUnit::IgnoreFileName(), c.Line + "\r\n");
    TRegistryContents contents;
    TContent& f = contents.GetItem(contents.Add()).Content = Finding(full + "\\" + key, c.Value.empty() ? "default" : c.Value);
    f.UnnamedValue = c.Value.empty();
    scan_test::TRepairRun repair;
    RepairFindings({.Form = TRepairForm::Value}, repair.Status, repair.FinishList, contents, repair.Log);
    const std::string shown = full + "\\" + key + " (" + (c.Value.empty() ? "default" : c.Value) + ")";
    EXPECT_EQ(repair.Lines(), (scan_test::Lines{c.Excluded ? std::pair<std::string, std::string>{shown, ExcludedText}
                                                           : std::pair<std::string, std::string>{full + "\\" + key, scan_test::kOk}}))
        << c.Line;
    EXPECT_EQ(box.ValueExists(key, c.Value), c.Excluded) << c.Line;
  }

  // An entry written while the walk runs (here by the re-check of the first finding) passes the
  // next finding over; an ignore file that cannot be read passes every finding over.
  WriteFileBytes(PublicFunctionUnit::IgnoreFileName(), "");
  for (const char* name : {"x", "y"}) box.SetString("late", name, "1");
  TRegistryContents late;
  for (const char* name : {"x", "y"}) late.GetItem(late.Add()).Content = Finding(full + "\\late", name);
  scan_test::TRepairRun repair;
  RepairFindings({.Form = TRepairForm::Value}, repair.Status, repair.FinishList, late, repair.Log,
                 [&](const TContent& finding) {
                   if (finding.ValueName == "x")
                     AppendFileBytes(PublicFunctionUnit::IgnoreFileName(), "Font Entries|" + full + "\\late|y\r\n");
                   return true;
                 });
  EXPECT_EQ(repair.Lines(), (scan_test::Lines{{full + "\\late", scan_test::kOk}, {full + "\\late (y)", ExcludedText}}));
  EXPECT_TRUE(box.ValueExists("late", "y"));
  box.SetString("late", "x", "1");
  late.GetItem(1).Content.Checked = false;
  testing_support::THeldFile locked(PublicFunctionUnit::IgnoreFileName());
  ASSERT_TRUE(locked.Held());
  scan_test::TRepairRun unread;
  RepairFindings({.Form = TRepairForm::Value}, unread.Status, unread.FinishList, late, unread.Log);
  EXPECT_EQ(unread.Lines(), (scan_test::Lines{{full + "\\late (x)", IgnoreListUnreadText}}));
  EXPECT_TRUE(box.ValueExists("late", "x"));
}

// A key removal would take along what it holds: a key holding an entry of the ignore list (a
// value or a key below it, excluded in any section, under any name of the key) is left with the
// same line as an excluded finding; a neighbour whose name only begins like it is removed.
TEST(SectionCommon, AKeyHoldingAnExcludedEntryIsNotRemoved) {
  scan_test::TScanRun run;
  RegSandbox box;
  const std::string full = box.FullPath(), user = PublicFunctionUnit::KeyIdentity(HKEY_CURRENT_USER, "");
  struct Case {
    std::string Key;    // the key a finding removes
    std::string Line;   // the ignore file's line
    bool Held;
  };
  const Case cases[] = {
      {"a", "User Software Settings|" + full + "\\a|path", true},               // a value it holds
      {"b", "Empty Registry Keys|" + full + "\\b\\sub\\deeper|", true},       // a key below it
      {"c", "Font Entries|" + user + "\\" + box.Path() + "\\C\\sub|x", true},   // under its other name
      {"d", "Font Entries|" + full + "\\dx|v", false},                            // a neighbour's
      {"e", "|Font Entries|" + full + "\\e|", true},                              // an escaped line
      {"f", "||" + full + "\\f|v", false},                                        // a line of no section
  };
  for (const Case& c : cases) {
    box.SetString(c.Key + "\\sub\\deeper", "v", "1");
    box.SetString(c.Key, "path", "1");
    WriteFileBytes(PublicFunctionUnit::IgnoreFileName(), c.Line + "\r\n");
    TRegistryContents contents;
    contents.GetItem(contents.Add()).Content = Finding(full + "\\" + c.Key, "");
    scan_test::TRepairRun repair;
    RepairFindings({.Form = TRepairForm::Key}, repair.Status, repair.FinishList, contents, repair.Log);
    ASSERT_EQ(repair.Lines().size(), 1u) << c.Line;
    EXPECT_EQ(repair.Lines()[0].second, c.Held ? std::string(ExcludedText) : std::string(scan_test::kOk)) << c.Line;
    EXPECT_EQ(box.KeyExists(c.Key), c.Held) << c.Line;
    EXPECT_EQ(box.ValueExists(c.Key + "\\sub\\deeper", "v"), c.Held) << c.Line;
  }
}

// One entry met under two names in one section's walk (a hive under its alias, a user's classes
// under its hive's own name) is listed once; findings that differ in what they remove, in their
// value or in their fault all stay.
TEST(SectionCommon, AFindingMetTwiceInOneSectionIsListedOnce) {
  struct Row {
    std::string KeyPath, ValueName, Fault;
    bool Kept;
  };
  const std::vector<Row> rows = {
      {"HKEY_USERS\\.DEFAULT\\Software\\Zv", "v", "gone", true},
      {"HKEY_USERS\\S-1-5-18\\Software\\ZV", "v", "gone", false},
      {"HKEY_USERS\\S-1-5-18\\Software\\Zv", "w", "gone", true},
      {"HKEY_USERS\\S-1-5-18\\Software\\Zv", "V", "gone", true},          // a finding's name as listed
      {"HKEY_USERS\\S-1-5-21-7_Classes\\.zv", "v", "gone", true},
      {"HKEY_USERS\\S-1-5-21-7\\Software\\Classes\\.zv", "v", "gone", false},
      {"HKEY_USERS\\S-1-5-21-7\\Software\\Classes\\.zv", "v", "another fault", true},
      {"nowhere\\x", "v", "gone", true},
      {"nowhere\\x", "v", "gone", true},                                    // names nothing: never a twin
  };
  TRegistryContents contents;
  for (const Row& r : rows) {
    TContent& c = contents.GetItem(contents.Add()).Content = Finding(r.KeyPath, r.ValueName);
    c.FaultLine = r.Fault;
  }
  EXPECT_TRUE(DropRepeatedFindings(TRepairForm::Value, contents));
  std::vector<std::string> kept, expected;
  for (const Row& r : rows)
    if (r.Kept) expected.push_back(r.KeyPath + "|" + r.ValueName + "|" + r.Fault);
  for (int i = 0; i < contents.Count(); ++i) {
    const TContent& c = contents.GetItem(i).Content;
    kept.push_back(c.KeyPath + "|" + c.ValueName + "|" + c.FaultLine);
  }
  EXPECT_EQ(kept, expected);
  EXPECT_FALSE(DropRepeatedFindings(TRepairForm::Value, contents));
  // a key finding is its key, whatever value name it shows
  TRegistryContents keys;
  for (const char* path : {"HKEY_USERS\\.DEFAULT\\Zv", "HKEY_USERS\\S-1-5-18\\Zv"})
    keys.GetItem(keys.Add()).Content = Finding(path, "default");
  EXPECT_TRUE(DropRepeatedFindings(TRepairForm::Key, keys));
  EXPECT_EQ(keys.Count(), 1);
}
