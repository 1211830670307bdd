// The file checks a scan keeps: within one scan a path is looked up once, each scan starts
// afresh, and outside a scan every check reads the disk.
#include <gtest/gtest.h>

#include "support/ScanFixture.h"
#include "app/MainUnitSections.h"
#include "framework/Strings.h"

using namespace PublicFunctionUnit;
using testing_support::TempFolder;

TEST(ScanFileChecks, AScanKeepsWhatItFoundAndOutsideAScanEveryCheckReadsTheDisk) {
  TempFolder dir;
  std::string file = dir.Path() + "late.txt";
  std::string folder = dir.Path() + "later";
  EXPECT_TRUE(ScanDirectoryExists(ExcludeTrailingBackslash(dir.Path())));
  EXPECT_FALSE(ScanFileExists(ExcludeTrailingBackslash(dir.Path())) || ScanFileExists("") || ScanDirectoryExists(""));
  {
    TScanFileChecks scan;
    EXPECT_FALSE(ScanFileExists(file) || ScanDirectoryExists(folder));
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
    EXPECT_FALSE(ScanFileExists(file) || ScanDirectoryExists(folder));   // looked up once in this scan
    EXPECT_FALSE(ScanDirectoryExists(file));   // one look-up answers both questions
  }
  EXPECT_TRUE(ScanFileExists(file));   // the scan is over: the disk again
  EXPECT_FALSE(ScanDirectoryExists(file));
  TScanFileChecks next;
  EXPECT_TRUE(ScanFileExists(file) && ScanDirectoryExists(folder));   // a new scan keeps nothing from the last
  ASSERT_TRUE(DeleteFileW(Widen(file).c_str()));
  EXPECT_TRUE(ScanFileExists(file));
}

// The scan driver holds the checks for the length of one scan: a file that appears during a
// scan is seen by the next one.
TEST(ScanFileChecks, TheDriverStartsEachScanAfresh) {
  struct View : MainUnit::TScanView {
    bool SectionTicked(int index) const override { return index == 4; }
    void ShowSectionImage(int, int) override {}
    TCaptionTarget* CountLabel(int) override { return &count; }
    TCaptionTarget* CurrentItem() override { return nullptr; }
    void ScanningSection(int) override {}
    void ShowTotalProcess(int) override {}
    TCaptionHolder count;
  } view;
  TempFolder dir;
  std::string file = dir.Path() + "font.ttf";
  std::vector<bool> seen;
  scan_test::TScanRun run;   // clean scan state and an ignore file of its own, put back afterwards
  testing_support::TKeep<MainUnit::TSectionTable> table(MainUnit::Sections());
  MainUnit::Sections()[4].Scan = [&](int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&) {
    seen.push_back(ScanFileExists(file));
    WriteFileBytes(file, "x");
    seen.push_back(ScanFileExists(file));
  };
  MainUnit::TSectionResults results;
  TIgnoreContents ignore;
  MainUnit::ScanSections(view, results, ignore);
  MainUnit::ScanSections(view, results, ignore);
  EXPECT_EQ(seen, (std::vector<bool>{false, false, true, true}));
}
