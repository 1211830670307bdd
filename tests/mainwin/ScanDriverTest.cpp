// The scan over the section table: order, stops, outcome pictures, the share of sections done,
// errors, and the elapsed-time texts.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/MainWindowHost.h"

using namespace MainUnit;
using testing_support::TempFolder;

namespace {

// A scan page without windows: ticks, pictures, labels and the total as plain values.
struct FakeScanView : TScanView {
  std::array<bool, SectionCount> Ticks{};
  std::array<int, SectionCount> Images{};
  std::array<TCaptionHolder, SectionCount> Counts;
  TCaptionHolder Current;
  std::vector<int> Totals;
  std::vector<int> Scanning;

  bool SectionTicked(int index) const override { return Ticks[index]; }
  void ShowSectionImage(int index, int image) override { Images[index] = image; }
  TCaptionTarget* CountLabel(int index) override { return &Counts[index]; }
  TCaptionTarget* CurrentItem() override { return &Current; }
  void ScanningSection(int number) override { Scanning.push_back(number); }
  void ShowTotalProcess(int percent) override { Totals.push_back(percent); }
};

// n findings under the test's key, made with the shared helper as the real scanners do.
TScanRoutine Finds(int n, std::vector<int>* calls) {
  std::vector<std::string> paths;
  for (int k = 0; k < n; ++k) paths.push_back("HKEY_CURRENT_USER\\Software\\ZelvoranTest\\" + IntToStr(k));
  return Reports(paths, calls);
}

struct ScanDriverFixture : ::testing::Test {
  TableGuard guard;
  testing_support::TKeep<decltype(PublicFunctionUnit::ScanState)> state{PublicFunctionUnit::ScanState};
  FakeScanView view;
  TSectionResults results;
  TIgnoreContents ignore;
  TempFolder folder;
  std::vector<int> calls;

  ScanDriverFixture() {
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
    PublicFunctionUnit::SetIgnoreFileName(folder.Path() + "ZelvoranIgnores.dat");
    for (int i = 0; i < SectionCount; ++i) Sections()[i].Scan = Finds(0, &calls);
  }
  ~ScanDriverFixture() override { PublicFunctionUnit::SetIgnoreFileName(""); }
};

}  // namespace

TEST(SectionTable, SeventeenSectionsInTheirOrder) {
  const TSectionTable& t = Sections();
  EXPECT_EQ(t[0].Caption, "ActiveX, OLE/COM Entries");
  EXPECT_EQ(t[7].Caption, "Invalid Shortcuts");
  EXPECT_EQ(t[9].Caption, "Shared DLL's Sections");
  EXPECT_EQ(t[11].Severity, "Normal");
  EXPECT_EQ(t[16].Caption, "User Software Settings");
  EXPECT_EQ(t[13].KeyPath, "SYSTEM\\CurrentControlSet\\Services");
  EXPECT_EQ(t[2].Root, HKEY_USERS);
  EXPECT_EQ(t[8].Description, "The invalid or empty registry entities of the Recently Used Files have not matched correctly");
  for (const TSection& s : t) {
    EXPECT_TRUE(s.Severity == "Low" || s.Severity == "Normal" || s.Severity == "High") << s.Caption;
    EXPECT_FALSE(s.Description.empty()) << s.Caption;
    EXPECT_TRUE(s.Scan && s.Repair) << s.Caption;
  }
}

TEST_F(ScanDriverFixture, AllSeventeenShowTheShareDoneAfterEachSection) {
  view.Ticks.fill(true);
  Sections()[4].Scan = Finds(2, &calls);
  PublicFunctionUnit::ProblemNumber = 99;
  PublicFunctionUnit::ItemsProcessed = 7;
  EXPECT_EQ(ScanSections(view, results, ignore), "");
  EXPECT_EQ(view.Totals, (std::vector<int>{6, 12, 18, 24, 29, 35, 41, 47, 53, 59, 65, 71, 76, 82, 88, 94, 100}));
  EXPECT_EQ(calls.size(), 17u);
  // counted from 0 again
  EXPECT_EQ(std::pair(PublicFunctionUnit::ProblemNumber, PublicFunctionUnit::ItemsProcessed), std::pair(2, 0));
  EXPECT_EQ(std::pair(view.Images[4], view.Counts[4].Text), std::pair((int)StatFound, std::string("2")));
  EXPECT_EQ(std::pair(view.Images[0], view.Counts[0].Text), std::pair((int)StatClean, std::string("0")));
  EXPECT_EQ(TotalProcessText(view.Totals.back()), "Total Process: 100%");
  EXPECT_EQ(std::pair(view.Scanning.front(), view.Scanning.back()), std::pair(1, -1));
}

TEST_F(ScanDriverFixture, FirstAndLastSectionOnly) {
  view.Ticks[0] = view.Ticks[16] = true;
  ScanSections(view, results, ignore);
  std::vector<int> expected(16, 50);
  expected.push_back(100);
  EXPECT_EQ(view.Totals, expected);
  EXPECT_EQ(calls, (std::vector<int>{0, 16}));
  EXPECT_EQ(view.Images[5], StatNone);   // passed over: its picture cleared
  EXPECT_EQ(std::pair(view.Counts[5].Changes, view.Scanning[5]), std::pair(0, -1));
}

TEST_F(ScanDriverFixture, AbortStopsBeforeTheNextSectionAndKeepsWhatWasFound) {
  view.Ticks.fill(true);
  Sections()[0].Scan = Finds(3, &calls);
  Sections()[1].Scan = [this](int index, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&) {
    calls.push_back(index);
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::StopScan;   // the Abort button while this section runs
  };
  EXPECT_EQ(ScanSections(view, results, ignore), "");
  EXPECT_EQ(calls, (std::vector<int>{0, 1}));
  EXPECT_EQ(results[0].Count(), 3);
  EXPECT_EQ(view.Totals, (std::vector<int>{6, 12}));
}

TEST_F(ScanDriverFixture, AScannerErrorEndsTheScanWithItsText) {
  view.Ticks.fill(true);
  Sections()[0].Scan = Finds(1, &calls);
  Sections()[2].Scan = [](int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&) {
    throw std::runtime_error("Invalid data type for 'x'");
  };
  EXPECT_EQ(ScanSections(view, results, ignore), "Invalid data type for 'x'");
  EXPECT_EQ(calls, (std::vector<int>{0, 1}));
  EXPECT_EQ(std::pair(results[0].Count(), view.Scanning.back()), std::pair(1, -1));
}

// A walk over HKEY_USERS meets the system account's hive as ".DEFAULT" and as "S-1-5-18": each
// entry is listed once, and the section's count says so. Another section keeps its own finding.
TEST_F(ScanDriverFixture, AnEntryMetUnderTwoNamesInOneSectionIsListedOnce) {
  view.Ticks[2] = view.Ticks[14] = true;
  Sections()[2].Scan = Reports({"HKEY_USERS\\.DEFAULT\\Software\\Zv", "HKEY_USERS\\S-1-5-18\\Software\\Zv",
                                "HKEY_USERS\\S-1-5-18\\Software\\Zv2"});
  Sections()[14].Scan = Reports({"HKEY_USERS\\S-1-5-18\\Software\\Zv"});
  ScanSections(view, results, ignore);
  ASSERT_EQ(results[2].Count(), 2);
  EXPECT_EQ(results[2].GetItem(0).Content.KeyPath + "|" + results[2].GetItem(1).Content.KeyPath,
            "HKEY_USERS\\.DEFAULT\\Software\\Zv|HKEY_USERS\\S-1-5-18\\Software\\Zv2");
  EXPECT_EQ(view.Counts[2].Text, "2");
  EXPECT_EQ(results[14].Count(), 1);
}

TEST_F(ScanDriverFixture, TheIgnoreFileIsReadAtEachScan) {
  view.Ticks[5] = true;
  int seen = -1;
  Sections()[5].Scan = [&seen](int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents& list, TRegistryContents&) {
    seen = list.Count();
  };
  ignore.Add();   // left over from an earlier scan
  ScanSections(view, results, ignore);
  EXPECT_EQ(seen, 0);
  WriteFileBytes(PublicFunctionUnit::IgnoreFileName(),
                 PublicFunctionUnit::IgnoreLine("Help Section", "HKEY_LOCAL_MACHINE\\x", "v") +
                     PublicFunctionUnit::IgnoreLine("Sounds Section", "HKEY_LOCAL_MACHINE\\y", ""));
  ScanSections(view, results, ignore);
  EXPECT_EQ(seen, 2);
}

TEST(ElapsedTime, ClockAndResultTexts) {
  std::vector<std::string> clocks, texts;   // whole seconds only
  for (double seconds : {0.4, 61.0, 120.0, 3723.0, 59.4}) clocks.push_back(ElapsedClockText(seconds / 86400));
  EXPECT_EQ(clocks, (std::vector<std::string>{"00:00:00", "00:01:01", "00:02:00", "01:02:03", "00:00:59"}));
  for (const char* clock : {"00:00:00", "00:00:01", "00:01:01", "00:02:00", "01:02:03"}) texts.push_back(ElapsedTimeText(clock));
  EXPECT_EQ(texts, (std::vector<std::string>{"Elapsed time: 0 second      ", "Elapsed time: 1 second      ",
                                             "Elapsed time: 1 minute 1 second      ", "Elapsed time: 2 minutes ",
                                             "Elapsed time: 2 minutes 3 seconds      "}));
}
