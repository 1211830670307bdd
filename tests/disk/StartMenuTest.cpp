#include <gtest/gtest.h>

#include <vector>

#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/StartMenuItemUnit.h"
#include "support/TestSupport.h"
#include "DiskTestSupport.h"

using namespace PublicFunctionUnit;
using testing_support::RegSandbox;

TEST(StartMenuItems, EveryOrderSubkeyAndEveryValueUnderItIsReported) {
  RegSandbox order;
  order.SetString("S1", "a", "x");
  order.SetDword("S1", "b", 1);
  order.SetRaw("S1", "c", REG_BINARY, {1, 2});
  order.CreateKey("S2");
  SectionScan scan;
  ItemsProcessed = 0;
  StartMenuItemUnit::ScanStartMenuItems(11, &scan.current, &scan.count, scan.ignores, scan.found, order.Path(),
                                        HKEY_CURRENT_USER);
  std::string k1 = order.FullPath() + "\\S1", k2 = order.FullPath() + "\\S2";
  EXPECT_EQ(scan.Lines(), (std::vector<std::string>{k1 + "|default|key", k2 + "|default|key", k1 + "|default|",
                                                    k1 + "|a|", k1 + "|default|", k1 + "|b|", k1 + "|default|",
                                                    k1 + "|c|"}));
  EXPECT_EQ(scan.count.Text, "8");
  EXPECT_EQ(scan.current.Changes, 0);
  EXPECT_EQ(ItemsProcessed, 5);   // each key finding and each named value finding

  const TContent& key = scan.found.GetItem(0).Content;
  EXPECT_TRUE(key.Checked);
  EXPECT_EQ(key.Number, 1);
  EXPECT_EQ(key.ShortName, "S1");
  EXPECT_EQ(key.KeyPathLine, " Key Path:" + k1);
  EXPECT_EQ(key.ValueNameLine, " ValueName:default");
  EXPECT_EQ(key.ValueLine, " Value:Empty");
  EXPECT_EQ(key.FaultLine, " The key does not exist at the specified location");
  EXPECT_EQ(key.DescriptionLine, "The Key default under " + k1 + " contains a bad path for the value");
  EXPECT_EQ(key.ProblemKind, "Missing or Invalid Path");

  const TContent& plain = scan.found.GetItem(2).Content;
  EXPECT_EQ(plain.ShortName, "S1");
  EXPECT_EQ(plain.KeyPathLine + plain.ValueNameLine + plain.ValueLine + plain.FaultLine, "");
  EXPECT_EQ(plain.DescriptionLine, key.DescriptionLine);
  EXPECT_EQ(plain.ProblemKind, "Missing or Invalid Path");

  const TContent& named = scan.found.GetItem(5).Content;
  EXPECT_EQ(named.Number, 6);
  EXPECT_EQ(named.KeyPathLine, " Key Path:" + k1);
  EXPECT_EQ(named.ValueNameLine, " ValueName:b");
  EXPECT_EQ(named.ValueLine, " Value:Empty");
  EXPECT_EQ(named.FaultLine, " The key does not exist at the specified location");

  // A missing order key gives nothing.
  SectionScan none;
  StartMenuItemUnit::ScanStartMenuItems(11, nullptr, nullptr, none.ignores, none.found, order.Path() + "\\nokey",
                                        HKEY_CURRENT_USER);
  EXPECT_EQ(none.found.Count(), 0);
}

TEST(StartMenuItems, AnExclusionPassesOverThatEntryOnly) {
  RegSandbox order;
  order.SetString("S1", "a", "x");
  order.SetString("S1", "b", "x");
  order.CreateKey("S2");
  std::string k1 = order.FullPath() + "\\S1", k2 = order.FullPath() + "\\S2";
  SectionScan scan;
  scan.Ignore("Start Menu Items", k1, "a");
  scan.Ignore("Start Menu Items", k2, "default");
  StartMenuItemUnit::ScanStartMenuItems(11, nullptr, &scan.count, scan.ignores, scan.found, order.Path(),
                                        HKEY_CURRENT_USER);
  EXPECT_EQ(scan.Lines(), (std::vector<std::string>{k1 + "|default|key", k1 + "|default|", k1 + "|default|",
                                                    k1 + "|b|"}));
}

TEST(StartMenuItems, RepairRemovesWhatEachFindingNames) {
  RegSandbox order;
  order.SetString("S1", "a", "x");
  order.SetString("S1", "b", "x");
  order.SetString("S1", "c", "x");
  order.SetString("S2", "keep", "x");
  order.CreateKey("S2\\deeper");
  SectionScan scan;
  StartMenuItemUnit::ScanStartMenuItems(11, nullptr, nullptr, scan.ignores, scan.found, order.Path(),
                                        HKEY_CURRENT_USER);
  ASSERT_EQ(scan.found.Count(), 2 + 6 + 2);
  auto form = StartMenuItemUnit::RepairStyle.Form;
  TContent& keyS1 = scan.found.GetItem(0).Content;
  TContent& plainA = scan.found.GetItem(2).Content;
  TContent& namedB = scan.found.GetItem(5).Content;
  ASSERT_EQ(namedB.ValueName, "b");

  auto r = SectionCommon::RepairRemoval(form, keyS1);
  EXPECT_EQ(r.Kind, SectionCommon::TRemovalKind::Key);
  EXPECT_EQ(r.Root, HKEY_CURRENT_USER);
  EXPECT_EQ(r.SubKey, order.Path() + "\\S1");
  r = SectionCommon::RepairRemoval(form, plainA);
  EXPECT_EQ(r.Kind, SectionCommon::TRemovalKind::Value);
  EXPECT_EQ(r.ValueName, "");
  r = SectionCommon::RepairRemoval(form, namedB);
  EXPECT_EQ(r.Kind, SectionCommon::TRemovalKind::Value);
  EXPECT_EQ(r.SubKey, order.Path() + "\\S1");
  EXPECT_EQ(r.ValueName, "b");

  // Only the named finding of b: that value goes, nothing else.
  scan.TickOnly({5});
  TRepairContents log;
  scan.Repair(StartMenuItemUnit::RepairStartMenuItems, log);
  ASSERT_EQ(log.Count(), 1);
  EXPECT_EQ(log.GetItem(0).Content.KeyPath, order.FullPath() + "\\S1");
  EXPECT_EQ(log.GetItem(0).Content.Status, "Repaired Successfully");
  EXPECT_FALSE(order.ValueExists("S1", "b"));
  EXPECT_TRUE(order.ValueExists("S1", "a"));
  EXPECT_TRUE(order.ValueExists("S1", "c"));

  // Everything under S1 ticked: the key goes with its values, and the value findings after it
  // are repaired by that; S2 stays whole.
  std::vector<int> s1;
  for (int i = 0; i < scan.found.Count(); ++i)
    if (scan.found.GetItem(i).Content.ShortName == "S1") s1.push_back(i);
  scan.TickOnly(s1);
  log.Clear();
  scan.Repair(StartMenuItemUnit::RepairStartMenuItems, log);
  ASSERT_EQ(log.Count(), 7);
  for (int i = 0; i < log.Count(); ++i) EXPECT_EQ(log.GetItem(i).Content.Status, "Repaired Successfully") << i;
  EXPECT_FALSE(order.KeyExists("S1"));
  EXPECT_TRUE(order.ValueExists("S2", "keep"));
  EXPECT_TRUE(order.KeyExists("S2\\deeper"));
  EXPECT_FALSE(order.KeyExists("S1"));   // not created again by the value findings

  // A finding that names no registry key at all cannot be repaired, and says so.
  TContent& odd = scan.found.GetItem(1).Content;
  odd.KeyPath = "HKEY_NOWHERE\\" + order.Path() + "\\S2";
  scan.TickOnly({1});
  log.Clear();
  scan.Repair(StartMenuItemUnit::RepairStartMenuItems, log);
  ASSERT_EQ(log.Count(), 1);
  EXPECT_EQ(log.GetItem(0).Content.Status, "Repair Failed");
  EXPECT_TRUE(order.KeyExists("S2"));
}
