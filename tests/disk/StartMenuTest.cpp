#include <gtest/gtest.h>

#include "framework/Strings.h"
#include "scan/StartMenuItemUnit.h"
#include "support/ScanFixture.h"

using namespace PublicFunctionUnit;
using testing_support::RegSandbox;

TEST(StartMenuItems, EveryOrderSubkeyAndEveryValueUnderItIsReported) {
  RegSandbox order;
  order.SetString("S1", "a", "x");
  order.SetDword("S1", "b", 1);
  order.SetRaw("S1", "c", REG_BINARY, {1, 2});
  order.CreateKey("S2");
  scan_test::TScanRun scan;
  StartMenuItemUnit::ScanStartMenuItems(11, &scan.CurrentItem, &scan.CountLabel, scan.IgnoreList, scan.Contents, order.Path(),
                                        HKEY_CURRENT_USER);
  std::string k1 = order.FullPath() + "\\S1", k2 = order.FullPath() + "\\S2";
  EXPECT_EQ(scan.Lines(), (std::vector<std::string>{k1 + "|default|key", k2 + "|default|key", k1 + "|default|",
                                                    k1 + "|a|", k1 + "|default|", k1 + "|b|", k1 + "|default|",
                                                    k1 + "|c|"}));
  EXPECT_EQ(scan.CountLabel.Text, "8");
  EXPECT_EQ(scan.CurrentItem.Changes, 0);
  EXPECT_EQ(ItemsProcessed, 5);   // each key finding and each named value finding

  const TContent& key = scan.Contents.GetItem(0).Content;
  EXPECT_TRUE(key.Checked);
  EXPECT_EQ(key.Number, 1);
  scan_test::ExpectFinding(key, {.KeyPath = k1, .ShortName = "S1", .ValueName = "default",
                                 .ValueNameLine = " ValueName:default", .ValueLine = " Value:Empty",
                                 .FaultLine = " The key does not exist at the specified location",
                                 .DescriptionLine = "The Key default under " + k1 + " contains a bad path for the value"});

  const TContent& plain = scan.Contents.GetItem(2).Content;
  EXPECT_EQ(plain.KeyPathLine + plain.ValueNameLine + plain.ValueLine + plain.FaultLine, "");
  EXPECT_EQ(plain.ShortName + "|" + plain.DescriptionLine + "|" + plain.ProblemKind,
            "S1|" + key.DescriptionLine + "|Missing or Invalid Path");

  const TContent& named = scan.Contents.GetItem(5).Content;
  EXPECT_EQ(named.Number, 6);
  EXPECT_EQ(named.KeyPathLine + "|" + named.ValueNameLine + "|" + named.ValueLine + "|" + named.FaultLine,
            " Key Path:" + k1 + "| ValueName:b| Value:Empty| The key does not exist at the specified location");

  // An exclusion passes over that entry only.
  scan_test::TScanRun excluded;
  excluded.Ignore("Start Menu Items", k1, "a");
  excluded.Ignore("Start Menu Items", k2, "default");
  StartMenuItemUnit::ScanStartMenuItems(11, nullptr, &excluded.CountLabel, excluded.IgnoreList, excluded.Contents,
                                        order.Path(), HKEY_CURRENT_USER);
  EXPECT_EQ(excluded.Lines(), (std::vector<std::string>{k1 + "|default|key", k1 + "|default|", k1 + "|default|",
                                                        k1 + "|b|", k1 + "|default|", k1 + "|c|"}));

  // A missing order key gives nothing.
  scan_test::TScanRun none;
  StartMenuItemUnit::ScanStartMenuItems(11, nullptr, nullptr, none.IgnoreList, none.Contents, order.Path() + "\\nokey",
                                        HKEY_CURRENT_USER);
  EXPECT_EQ(none.Contents.Count(), 0);
}

// Only a finding marked "key" removes anything (its subkey, with its values); a value finding,
// plain or named, is logged and removes nothing, also the subkey's unnamed value.
TEST(StartMenuItems, RepairRemovesOnlyTheSubkeysOfKeyFindings) {
  RegSandbox order;
  for (const char* name : {"", "a", "b"}) order.SetString("S1", name, "x");
  order.SetString("S2", "keep", "x");
  order.CreateKey("S2\\deeper");
  scan_test::TScanRun scan;
  StartMenuItemUnit::ScanStartMenuItems(11, nullptr, nullptr, scan.IgnoreList, scan.Contents, order.Path(),
                                        HKEY_CURRENT_USER);
  ASSERT_EQ(scan.Contents.Count(), 2 + 6 + 2);
  const std::string s1 = order.FullPath() + "\\S1";
  auto indexes = [&](auto take) {
    std::vector<int> found;
    for (int i = 0; i < scan.Contents.Count(); ++i)
      if (take(scan.Contents.GetItem(i).Content)) found.push_back(i);
    return found;
  };
  auto valueFindingsOfS1 = indexes([](const TContent& c) { return c.ShortName == "S1" && c.Value != "key"; });
  ASSERT_EQ(valueFindingsOfS1.size(), 6u);   // the plain and the named finding of "", a and b

  // Every value finding of S1 ticked, each logged; every value and the key stay.
  scan.TickIndexes(valueFindingsOfS1);
  scan_test::TRepairRun repair;
  repair.Repair(StartMenuItemUnit::RepairStartMenuItems, scan.Contents);
  EXPECT_EQ(repair.Lines(), scan_test::Lines(6, {s1, scan_test::kOk}));
  for (const char* name : {"", "a", "b"}) EXPECT_EQ(order.Read("S1", name), "x") << name;

  // Everything under S1 ticked: the key goes with its values, S2 stays whole.
  scan.TickIndexes(indexes([](const TContent& c) { return c.ShortName == "S1"; }));
  repair.Log.Clear();
  repair.Repair(StartMenuItemUnit::RepairStartMenuItems, scan.Contents);
  ASSERT_EQ(repair.Log.Count(), 7);
  for (int i = 0; i < repair.Log.Count(); ++i) EXPECT_EQ(repair.Log.GetItem(i).Content.Status, "Repaired Successfully") << i;
  EXPECT_FALSE(order.KeyExists("S1"));   // not created again by the value findings
  EXPECT_TRUE(order.ValueExists("S2", "keep") && order.KeyExists("S2\\deeper"));

  // A finding that names no registry key at all cannot be repaired, and says so.
  TContent& odd = scan.Contents.GetItem(1).Content;
  odd.KeyPath = "HKEY_NOWHERE\\" + order.Path() + "\\S2";
  scan.TickIndexes({1});
  repair.Log.Clear();
  repair.Repair(StartMenuItemUnit::RepairStartMenuItems, scan.Contents);
  EXPECT_EQ(repair.Lines(), (scan_test::Lines{{odd.KeyPath, scan_test::kFailed}}));
  EXPECT_TRUE(order.KeyExists("S2"));
}
