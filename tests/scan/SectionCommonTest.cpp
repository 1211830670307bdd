#include <gtest/gtest.h>

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
  TRemoval k = RepairRemoval(TRepairForm::Key, Finding("HKEY_CLASSES_ROOT\\CLSID\\{x}", "default"));
  EXPECT_TRUE(k.Kind == TRemovalKind::Key && k.SubKey == "CLSID\\{x}");
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
  EXPECT_EQ(values.Lines(), (scan_test::Lines{{k, scan_test::kOk}, {k, SectionCommon::ChangedSinceScanText}}));
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
                                              {box.FullPath() + "\\a", SectionCommon::ChangedSinceScanText}}));
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
