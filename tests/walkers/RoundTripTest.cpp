// The promise of the repair backup for the four walker sections: what their repairs remove is in
// the backup, and importing it brings the registry back as it was.
#include <gtest/gtest.h>

#include "WalkerTestSupport.h"
#include "app/MainUnitBackup.h"
#include "app/RegBackupUnit.h"
#include "scan/ActivexSection.h"
#include "scan/EmptyRegistryUnit.h"
#include "scan/SectionCommon.h"
#include "scan/SystemSoftWareSettingUnit.h"
#include "scan/UserSoftWareSettings.h"

using namespace PublicFunctionUnit;
using SectionCommon::TRepairForm;
using testing_support::RegSandbox;

namespace {
class WalkerBackup : public WalkerTest {};
}  // namespace

TEST_F(WalkerBackup, RepairsComeBackFromTheBackup) {
  RegSandbox box;
  const std::string missing = "C:\\ZelvoranMissing\\";
  for (const char* part : {"M\\k1", "U\\k1"}) {
    box.SetString(part, "", missing + "unnamed.exe");
    box.SetString(part, "a", "\"" + missing + "app.exe\" /s");
    box.SetString(part, "d", "C:\\ZelvoranOld Folder\\Data", REG_EXPAND_SZ);
    box.SetDword(part, "n", 3);
  }
  box.CreateKey("E\\a");
  box.SetString("E\\b", "", "");
  ClassKeys classes;
  std::string clsid = "CLSID\\" + NewGuid();
  classes.Set(clsid, "Planted class");
  classes.Set(clsid + "\\InprocServer32", "");
  classes.Set(clsid + "\\InprocServer32\\HELPDIR", "");
  classes.Set(clsid + "\\TypeLib", NewGuid());

  TRegistryContents machine, user, empty, com;
  SystemSoftWareSettingUnit::ScanSoftwareSettings(14, &currentItem, &countLabel, ignoreList, machine,
                                                  box.Path() + "\\M", HKEY_CURRENT_USER);
  UserSoftWareSettings::ScanUserSoftwareSettings(16, &currentItem, &countLabel, ignoreList, user, box.Path() + "\\U",
                                                 HKEY_CURRENT_USER);
  EmptyRegistryUnit::ScanEmptyRegistryKeys(2, &currentItem, &countLabel, ignoreList, empty,
                                           "S-1-5-21-0-0-0-1000\\" + box.Path() + "\\E", HKEY_USERS);
  ActivexSection::ScanComKeys(0, &currentItem, &countLabel, ignoreList, com, clsid, HKEY_CLASSES_ROOT);
  ActivexSection::ScanClsidTypeLibs(0, &currentItem, &countLabel, ignoreList, com, "", HKEY_CLASSES_ROOT);
  for (int i = 0; i < com.Count(); ++i)   // leave whatever else the prefix's classes hold alone
    com.GetItem(i).Content.Checked = com.GetItem(i).Content.KeyPath.rfind("HKEY_CLASSES_ROOT\\" + clsid, 0) == 0;
  EXPECT_EQ(machine.Count(), 3);
  EXPECT_EQ(user.Count(), 3);
  EXPECT_EQ(empty.Count(), 1);
  EXPECT_EQ(FindingsUnder(com, "HKEY_CLASSES_ROOT\\" + clsid).size(), 3u);

  TTreeDump boxBefore, classBefore;
  DumpTree(box.Root(), box.Path(), boxBefore);
  DumpTree(HKEY_CLASSES_ROOT, clsid, classBefore);
  std::vector<MainUnit::TBackupSection> sections = {
      {ActivexSection::SectionCaption, TRepairForm::Key, &com},
      {EmptyRegistryUnit::SectionCaption, TRepairForm::Key, &empty},
      {SystemSoftWareSettingUnit::SectionCaption, TRepairForm::Value, &machine},
      {UserSoftWareSettings::SectionCaption, TRepairForm::Value, &user},
  };
  MainUnit::TBackupResult backup = MainUnit::BackupCheckedFindings(sections, 4, folder.Path() + "RepairBackup\\", Now());
  ASSERT_TRUE(backup.Saved);
  EXPECT_TRUE(backup.Complete);

  ActivexSection::RepairComEntries(status, finish, com, log);
  EmptyRegistryUnit::RepairEmptyRegistryKeys(status, finish, empty, log);
  SystemSoftWareSettingUnit::RepairSoftwareSettings(status, finish, machine, log);
  UserSoftWareSettings::RepairUserSoftwareSettings(status, finish, user, log);
  EXPECT_EQ(log.Count(), 10);
  for (int i = 0; i < log.Count(); ++i) EXPECT_EQ(log.GetItem(i).Content.Status, "Repaired Successfully") << i;
  EXPECT_FALSE(ClassKeys::Exists(clsid + "\\InprocServer32"));
  EXPECT_FALSE(ClassKeys::Exists(clsid + "\\TypeLib"));
  EXPECT_FALSE(box.KeyExists("E\\a"));
  EXPECT_FALSE(box.ValueExists("M\\k1", ""));
  EXPECT_FALSE(box.ValueExists("U\\k1", "a"));
  EXPECT_TRUE(box.ValueExists("U\\k1", "n"));

  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  TTreeDump boxAfter, classAfter;
  DumpTree(box.Root(), box.Path(), boxAfter);
  DumpTree(HKEY_CLASSES_ROOT, clsid, classAfter);
  EXPECT_TRUE(boxAfter == boxBefore);
  EXPECT_TRUE(classAfter == classBefore);
}
