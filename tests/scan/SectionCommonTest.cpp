#include <gtest/gtest.h>

#include "framework/StringList.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/SectionCommon.h"
#include "support/ScanFixture.h"
#include "support/TestSupport.h"

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
  TRemoval v = RepairRemoval(TRepairForm::Value, Finding("HKEY_LOCAL_MACHINE\\A\\HKEY_LOCAL_MACHINE\\B", "default"));
  EXPECT_EQ(v.Kind, TRemovalKind::Value);
  EXPECT_EQ(v.Root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(v.SubKey, "A\\HKEY_LOCAL_MACHINE\\B");   // the root's name is taken off once
  EXPECT_EQ(v.ValueName, "");                           // "default" is the unnamed value
  EXPECT_EQ(RepairRemoval(TRepairForm::Value, Finding("HKEY_USERS\\X", "Default")).ValueName, "Default");
  TRemoval h = RepairRemoval(TRepairForm::ValueByShortName, Finding("HKEY_LOCAL_MACHINE\\H", "", "a.hlp"));
  EXPECT_EQ(h.ValueName, "a.hlp");
  TRemoval k = RepairRemoval(TRepairForm::Key, Finding("HKEY_CLASSES_ROOT\\CLSID\\{x}", "default"));
  EXPECT_EQ(k.Kind, TRemovalKind::Key);
  EXPECT_EQ(k.SubKey, "CLSID\\{x}");
  EXPECT_EQ(RepairRemoval(TRepairForm::Key, Finding("HKEY_CLASSES_ROOT", "")).Kind, TRemovalKind::None);
  EXPECT_EQ(RepairRemoval(TRepairForm::KeyOrValue, Finding("HKEY_CURRENT_USER\\M", "v", "", "key")).Kind,
            TRemovalKind::Key);
  EXPECT_EQ(RepairRemoval(TRepairForm::KeyOrValue, Finding("HKEY_CURRENT_USER\\M", "v", "", "x")).Kind,
            TRemovalKind::Value);
  EXPECT_EQ(RepairRemoval(TRepairForm::Value, Finding("nowhere\\x", "v")).Kind, TRemovalKind::None);
  TRemoval f = RepairRemoval(TRepairForm::File, Finding("C:\\x\\y.lnk", ""));
  EXPECT_EQ(f.Kind, TRemovalKind::File);
  EXPECT_EQ(f.File, "C:\\x\\y.lnk");
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
  TCaptionHolder status;
  TListCountHolder finish;
  TRepairContents log;
  scan_test::TScanRun run;
  RepairFindings({.Form = TRepairForm::Value}, status, finish, contents, log);
  EXPECT_FALSE(box.ValueExists("k", "gone"));
  EXPECT_TRUE(box.ValueExists("k", "kept"));
  ASSERT_EQ(log.Count(), 2);
  EXPECT_EQ(log.GetItem(0).Content.KeyPath, box.FullPath() + "\\k");
  EXPECT_EQ(log.GetItem(0).Content.Status, "Repaired Successfully");
  EXPECT_EQ(log.GetItem(1).Content.Status, "Repair Failed");
  EXPECT_EQ(finish.Count, 2);
  EXPECT_EQ(status.Text, box.FullPath() + "\\k");

  TRegistryContents keys;
  keys.GetItem(keys.Add()).Content = Finding(box.FullPath() + "\\sub", "default");
  TRepairContents keyLog;
  RepairFindings({.Form = TRepairForm::Key, .Status = TStatusText::WithoutRootName}, status, finish, keys, keyLog);
  EXPECT_FALSE(box.KeyExists("sub"));
  EXPECT_EQ(keyLog.GetItem(0).Content.KeyPath, "\\" + box.Path() + "\\sub");
  EXPECT_EQ(keyLog.GetItem(0).Content.Status, "Repaired Successfully");

  // Cancel before the walk: nothing is touched or logged.
  TRepairContents cancelled;
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::StopRepair;   // put back by the run
  RepairFindings({.Form = TRepairForm::Value}, status, finish, contents, cancelled);
  EXPECT_EQ(cancelled.Count(), 0);
  EXPECT_TRUE(box.ValueExists("k", "kept"));
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
