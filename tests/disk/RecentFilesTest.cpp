#include <gtest/gtest.h>

#include "framework/Registry.h"
#include "framework/Strings.h"
#include "scan/RecentlyFileUnit.h"
#include "support/Planting.h"
#include "support/ScanFixture.h"

using namespace PublicFunctionUnit;
using namespace testing_support;

namespace {

const std::string RunKeyText = std::string("HKEY_CURRENT_USER\\") + RecentlyFileUnit::RunMruKey;

std::vector<std::string> Lines(const scan_test::TScanRun& scan, const RunListValues& run, bool runList) {
  std::vector<std::string> r;
  for (int i = 0; i < scan.Contents.Count(); ++i) {
    const TContent& c = scan.Contents.GetItem(i).Content;
    if (runList ? run.Mine(c) : c.ShortName != "RunMRU") r.push_back(c.KeyPath + "|" + c.ValueName + "|" + c.Value);
  }
  return r;
}

std::vector<std::string> Shown(const TContent& c) {
  return {c.ShortName, c.KeyPathLine, c.ValueNameLine, c.ValueLine, c.FaultLine, c.DescriptionLine, c.ProblemKind};
}

}  // namespace

TEST(RecentFileLists, EveryFileDialogValueAndEveryRunTextIsReportedAndExclusionsHideOneEntry) {
  RegSandbox mru;
  mru.SetString("txt", "a", "C:\\present.txt");
  mru.SetRaw("txt", "b", REG_BINARY, {1, 2, 3});
  mru.SetString("txt", "MRUList", "ab");
  mru.SetString("*", "c", "C:\\missing\\gone.doc");
  RunListValues run;
  std::string cmd = run.Set("a", "notepad\\1");
  std::string list = run.Set("MRUList", "a");
  run.Set("x", "%windir%\\x.exe\\1", true);
  scan_test::TScanRun scan;
  RecentlyFileUnit::ScanRecentFiles(8, &scan.CurrentItem, &scan.CountLabel, scan.IgnoreList, scan.Contents, mru.Path(),
                                    HKEY_CURRENT_USER);
  std::string kStar = mru.FullPath() + "\\*", kTxt = mru.FullPath() + "\\txt";
  EXPECT_EQ(Lines(scan, run, false),
            (std::vector<std::string>{kStar + "|c|", kTxt + "|a|", kTxt + "|b|", kTxt + "|MRUList|"}));
  EXPECT_EQ(Lines(scan, run, true),
            (std::vector<std::string>{RunKeyText + "|" + cmd + "|notepad\\1", RunKeyText + "|" + list + "|a"}));
  EXPECT_EQ(scan.CountLabel.Text, Format("%d", scan.Contents.Count()));
  EXPECT_EQ(ItemsProcessed, scan.Contents.Count());
  EXPECT_EQ(scan.CurrentItem.Changes, 0);

  const TContent& f = scan.Contents.GetItem(1).Content;
  EXPECT_TRUE(f.Checked);
  EXPECT_EQ(f.Number, 2);
  const std::string kind = "Redundant or Invalid Registry Key", redundant = " contains a redundant or invalid registry key.";
  EXPECT_EQ(Shown(f), (std::vector<std::string>{"txt", " Key Path:" + kTxt, " ValueName:a", " Value:Emtpy", " Recently Key:a",
                                                 "The Key " + mru.Path() + " under HKEY_CURRENT_USER\\" + mru.Path() + redundant,
                                                 kind}));
  for (const TContent& r : scan.Mine(cmd))
    EXPECT_EQ(Shown(r), (std::vector<std::string>{"RunMRU", " Key Path:" + RunKeyText, " ValueName:" + cmd,
                                                   " Value:notepad\\1", " Recently Key:notepad\\1",
                                                   std::string("The Key ") + RecentlyFileUnit::RunMruKey + " under " +
                                                       RunKeyText + redundant,
                                                   kind}));

  // Exclusions hide one entry each; without the file dialog's key the Run list is still read.
  scan_test::TScanRun excluded, missing;
  excluded.Ignore("Most Recently Used Files", kTxt, "a");
  excluded.Ignore("Most Recently Used Files", RunKeyText, cmd);
  RecentlyFileUnit::ScanRecentFiles(8, nullptr, nullptr, excluded.IgnoreList, excluded.Contents, mru.Path(),
                                    HKEY_CURRENT_USER);
  EXPECT_EQ(Lines(excluded, run, false), (std::vector<std::string>{kStar + "|c|", kTxt + "|b|", kTxt + "|MRUList|"}));
  EXPECT_EQ(Lines(excluded, run, true), std::vector<std::string>{RunKeyText + "|" + list + "|a"});
  RecentlyFileUnit::ScanRecentFiles(8, nullptr, nullptr, missing.IgnoreList, missing.Contents, mru.Path() + "\\nokey",
                                    HKEY_CURRENT_USER);
  EXPECT_EQ(Lines(missing, run, false), std::vector<std::string>{});
  EXPECT_EQ(Lines(missing, run, true).size(), 2u);
}
