#include <gtest/gtest.h>

#include <vector>

#include "framework/Registry.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/RecentlyFileUnit.h"
#include "support/TestSupport.h"
#include "DiskTestSupport.h"

using namespace PublicFunctionUnit;
using testing_support::RegSandbox;

namespace {

const std::string RunKeyText = std::string("HKEY_CURRENT_USER\\") + RecentlyFileUnit::RunMruKey;

std::vector<std::string> Lines(const SectionScan& scan, const RunListValues& run, bool runList) {
  std::vector<std::string> r;
  for (int i = 0; i < scan.found.Count(); ++i) {
    const TContent& c = scan.found.GetItem(i).Content;
    if (runList ? run.Mine(c) : c.ShortName != "RunMRU") r.push_back(c.KeyPath + "|" + c.ValueName + "|" + c.Value);
  }
  return r;
}

// A file-dialog list "txt" with a and b, and two Run-dialog entries "one" and "two".
class SmallLists : public ::testing::Test {
 protected:
  void SetUp() override {
    mru.SetString("txt", "a", "x");
    mru.SetString("txt", "b", "x");
    one = run.Set("one", "cmd\\1");
    two = run.Set("two", "calc\\1");
  }
  RegSandbox mru;
  RunListValues run;
  std::string one, two;
};

}  // namespace

TEST(RecentFileLists, EveryFileDialogValueAndEveryRunTextIsReported) {
  RegSandbox mru;
  mru.SetString("txt", "a", "C:\\present.txt");
  mru.SetRaw("txt", "b", REG_BINARY, {1, 2, 3});
  mru.SetString("txt", "MRUList", "ab");
  mru.SetString("*", "c", "C:\\missing\\gone.doc");
  RunListValues run;
  std::string cmd = run.Set("a", "notepad\\1");
  std::string list = run.Set("MRUList", "a");
  run.Set("x", "%windir%\\x.exe\\1", true);
  SectionScan scan;
  ItemsProcessed = 0;
  RecentlyFileUnit::ScanRecentFiles(8, &scan.current, &scan.count, scan.ignores, scan.found, mru.Path(),
                                    HKEY_CURRENT_USER);
  std::string kStar = mru.FullPath() + "\\*", kTxt = mru.FullPath() + "\\txt";
  EXPECT_EQ(Lines(scan, run, false),
            (std::vector<std::string>{kStar + "|c|", kTxt + "|a|", kTxt + "|b|", kTxt + "|MRUList|"}));
  EXPECT_EQ(Lines(scan, run, true),
            (std::vector<std::string>{RunKeyText + "|" + cmd + "|notepad\\1", RunKeyText + "|" + list + "|a"}));
  EXPECT_EQ(scan.count.Text, Format("%d", scan.found.Count()));
  EXPECT_EQ(ItemsProcessed, scan.found.Count());
  EXPECT_EQ(scan.current.Changes, 0);

  const TContent& f = scan.found.GetItem(1).Content;
  EXPECT_TRUE(f.Checked);
  EXPECT_EQ(f.Number, 2);
  EXPECT_EQ(f.ShortName, "txt");
  EXPECT_EQ(f.KeyPathLine, " Key Path:" + kTxt);
  EXPECT_EQ(f.ValueNameLine, " ValueName:a");
  EXPECT_EQ(f.ValueLine, " Value:Emtpy");
  EXPECT_EQ(f.FaultLine, " Recently Key:a");
  EXPECT_EQ(f.DescriptionLine, "The Key " + mru.Path() + " under HKEY_CURRENT_USER\\" + mru.Path() +
                                   " contains a redundant or invalid registry key.");
  EXPECT_EQ(f.ProblemKind, "Redundant or Invalid Registry Key");

  for (int i = 0; i < scan.found.Count(); ++i) {
    const TContent& r = scan.found.GetItem(i).Content;
    if (!run.Mine(r) || r.ValueName != cmd) continue;
    EXPECT_EQ(r.KeyPathLine, " Key Path:" + RunKeyText);
    EXPECT_EQ(r.ValueNameLine, " ValueName:" + cmd);
    EXPECT_EQ(r.ValueLine, " Value:notepad\\1");
    EXPECT_EQ(r.FaultLine, " Recently Key:notepad\\1");
    EXPECT_EQ(r.DescriptionLine, std::string("The Key ") + RecentlyFileUnit::RunMruKey + " under " + RunKeyText +
                                     " contains a redundant or invalid registry key.");
    EXPECT_EQ(r.ProblemKind, "Redundant or Invalid Registry Key");
  }
}

TEST_F(SmallLists, TheRunListIsReadWhenTheFileDialogKeyIsMissingAndExclusionsHideOneEntry) {
  SectionScan missing;
  RecentlyFileUnit::ScanRecentFiles(8, nullptr, nullptr, missing.ignores, missing.found, mru.Path() + "\\nokey",
                                    HKEY_CURRENT_USER);
  EXPECT_EQ(Lines(missing, run, false), std::vector<std::string>{});
  EXPECT_EQ(Lines(missing, run, true).size(), 2u);

  SectionScan scan;
  scan.Ignore("Most Recently Used Files", mru.FullPath() + "\\txt", "a");
  scan.Ignore("Most Recently Used Files", RunKeyText, one);
  RecentlyFileUnit::ScanRecentFiles(8, nullptr, nullptr, scan.ignores, scan.found, mru.Path(), HKEY_CURRENT_USER);
  EXPECT_EQ(Lines(scan, run, false), std::vector<std::string>{mru.FullPath() + "\\txt|b|"});
  EXPECT_EQ(Lines(scan, run, true), std::vector<std::string>{RunKeyText + "|" + two + "|calc\\1"});
}

TEST_F(SmallLists, RepairRemovesTheNamedValuesOnly) {
  SectionScan scan;
  RecentlyFileUnit::ScanRecentFiles(8, nullptr, nullptr, scan.ignores, scan.found, mru.Path(), HKEY_CURRENT_USER);
  std::vector<int> ticked;
  for (int i = 0; i < scan.found.Count(); ++i) {
    const TContent& c = scan.found.GetItem(i).Content;
    if (c.KeyPath == mru.FullPath() + "\\txt" && c.ValueName == "b") ticked.push_back(i);
    if (run.Mine(c) && c.ValueName == one) ticked.push_back(i);
  }
  ASSERT_EQ(ticked.size(), 2u);
  scan.TickOnly(ticked);
  TRepairContents log;
  scan.Repair(RecentlyFileUnit::RepairRecentFiles, log);
  ASSERT_EQ(log.Count(), 2);
  EXPECT_EQ(log.GetItem(0).Content.KeyPath, mru.FullPath() + "\\txt");
  EXPECT_EQ(log.GetItem(1).Content.KeyPath, RunKeyText);
  EXPECT_EQ(log.GetItem(0).Content.Status, "Repaired Successfully");
  EXPECT_EQ(log.GetItem(1).Content.Status, "Repaired Successfully");
  EXPECT_TRUE(mru.ValueExists("txt", "a"));
  EXPECT_FALSE(mru.ValueExists("txt", "b"));
  EXPECT_FALSE(run.Exists(one));
  EXPECT_TRUE(run.Exists(two));

  // Removing the same values again fails, and the log says so.
  log.Clear();
  scan.Repair(RecentlyFileUnit::RepairRecentFiles, log);
  ASSERT_EQ(log.Count(), 2);
  EXPECT_EQ(log.GetItem(0).Content.Status, "Repair Failed");
  EXPECT_EQ(log.GetItem(1).Content.Status, "Repair Failed");
}
