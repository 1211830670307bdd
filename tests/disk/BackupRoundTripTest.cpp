// What the repairs of the Explorer sections remove comes back, exactly, from the repair backup.
#include <gtest/gtest.h>

#include <vector>

#include "app/MainUnitBackup.h"
#include "app/RegBackupUnit.h"
#include "framework/Registry.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/RecentlyFileUnit.h"
#include "scan/StartMenuItemUnit.h"
#include "scan/StartUpUnit.h"
#include "support/TestSupport.h"
#include "DiskTestSupport.h"
#include "walkers/RegistryTree.h"

using namespace PublicFunctionUnit;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {

// The planted subtrees and this test's values of the Run dialog's list.
TTreeDump Snapshot(const std::vector<const RegSandbox*>& boxes, const std::vector<std::string>& runValues) {
  TTreeDump tree;
  for (const RegSandbox* box : boxes) DumpTree(box->Root(), box->Path(), tree, box->Path());
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  if (reg.OpenKey(std::string("\\") + RecentlyFileUnit::RunMruKey, false))
    for (const std::string& n : runValues) reg.ReadValue(n, tree["RunMRU|" + n]);
  return tree;
}

}  // namespace

TEST(ExplorerSectionsBackup, WhatTheRepairsRemoveComesBackFromTheBackup) {
  TempFolder temp;
  RegSandbox menu(HKEY_CURRENT_USER, "Software\\ZelvoranTest", "menu");
  menu.SetString("S1", "a", "x");
  menu.SetDword("S1", "b", 7);
  menu.SetRaw("S1\\deeper", "Order", REG_BINARY, {1, 2, 3});
  menu.SetString("S2", "keep", "not ticked");
  RegSandbox order(HKEY_CURRENT_USER, "Software\\ZelvoranTest", "order");
  std::string group = testing_support::TestName() + " group";
  order.SetRaw("Start Menu\\Programs\\" + group, "Order", REG_BINARY, {9, 8});
  order.CreateKey("Start Menu\\Programs\\" + group + "\\empty");
  RegSandbox mru(HKEY_CURRENT_USER, "Software\\ZelvoranTest", "mru");
  mru.SetString("txt", "a", "C:\\x.txt");
  mru.SetRaw("txt", "b", REG_BINARY, {0, 0x41, 0});
  mru.SetString("txt", "MRUList", "ab");
  RunListValues run;
  std::string runA = run.Set("a", "notepad\\1");
  const TTreeDump before = Snapshot({&menu, &order, &mru}, {runA});

  SectionScan menuScan, orderScan, mruScan;
  StartMenuItemUnit::ScanStartMenuItems(11, nullptr, nullptr, menuScan.ignores, menuScan.found, menu.Path(),
                                        HKEY_CURRENT_USER);
  StartUpUnit::ScanStartupPrograms(12, nullptr, nullptr, orderScan.ignores, orderScan.found, order.Path(),
                                   HKEY_CURRENT_USER);
  RecentlyFileUnit::ScanRecentFiles(8, nullptr, nullptr, mruScan.ignores, mruScan.found, mru.Path(),
                                    HKEY_CURRENT_USER);
  for (int i = 0; i < menuScan.found.Count(); ++i) {
    TContent& c = menuScan.found.GetItem(i).Content;
    c.Checked = c.ShortName == "S1";
  }
  for (int i = 0; i < mruScan.found.Count(); ++i) {   // other tests' Run entries stay alone
    TContent& c = mruScan.found.GetItem(i).Content;
    c.Checked = c.ShortName != "RunMRU" || c.ValueName == runA;
  }
  ASSERT_EQ(orderScan.found.Count(), 1);

  std::vector<MainUnit::TBackupSection> sections = {
      {"Most Recently Used Files", RecentlyFileUnit::RepairStyle.Form, &mruScan.found},
      {"Start Menu Items", StartMenuItemUnit::RepairStyle.Form, &menuScan.found},
      {"Startup Programs", StartUpUnit::RepairStyle.Form, &orderScan.found},
  };
  MainUnit::TBackupResult backup = MainUnit::BackupCheckedFindings(sections, 4, temp.Path() + "RepairBackup\\", Now());
  ASSERT_TRUE(backup.Saved);
  EXPECT_TRUE(backup.Complete);

  TRepairContents log;
  mruScan.Repair(RecentlyFileUnit::RepairRecentFiles, log);
  menuScan.Repair(StartMenuItemUnit::RepairStartMenuItems, log);
  orderScan.Repair(StartUpUnit::RepairStartupPrograms, log);
  for (int i = 0; i < log.Count(); ++i) EXPECT_EQ(log.GetItem(i).Content.Status, "Repaired Successfully") << i;
  EXPECT_FALSE(menu.KeyExists("S1"));
  EXPECT_TRUE(menu.ValueExists("S2", "keep"));
  EXPECT_FALSE(order.KeyExists("Start Menu\\Programs\\" + group));
  EXPECT_FALSE(mru.ValueExists("txt", "MRUList"));
  EXPECT_FALSE(run.Exists(runA));

  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  EXPECT_TRUE(Snapshot({&menu, &order, &mru}, {runA}) == before);
}
