#include <gtest/gtest.h>
#include <algorithm>
#include <objbase.h>
#include <shlobj.h>

#include <functional>

#include "framework/ListedEntry.h"
#include "framework/Strings.h"
#include "scan/InvalidShortCutsUnit.h"
#include "support/Planting.h"
#include "support/PluggedDrive.h"
#include "support/ScanFixture.h"

using namespace PublicFunctionUnit;
using namespace testing_support;
using scan_test::Texts;

namespace {

// Shortcuts at dir + each relative path whose targets (under C:\nowhere\) do not exist.
void MakeBroken(const TempFolder& dir, std::initializer_list<const char*> relatives) {
  for (const char* relative : relatives)
    MakeShortcut(dir.Path() + relative, "C:\\nowhere\\" + ExtractFileName(relative) + ".exe");
}

struct ShortcutScan : scan_test::TScanRun {
  void Run(const std::string& folder) {
    InvalidShortCutsUnit::ScanShortcutFolder(ExcludeTrailingBackslash(folder), 7, &CurrentItem, &CountLabel, IgnoreList, Contents);
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> r;
    for (int i = 0; i < Contents.Count(); ++i) r.push_back(Contents.GetItem(i).Content.KeyPath);
    return r;
  }
};

}  // namespace

TEST(Shortcuts, TargetReadFromAShortcutAndNothingFromDamagedOnes) {
  TempFolder dir;
  MakeShortcut(dir.Path() + "tool.lnk", "C:\\windows\\notepad.exe");
  EXPECT_EQ(AnsiUpperCase(InvalidShortCutsUnit::GetShortcutTarget(dir.Path() + "tool.lnk")),
            "C:\\WINDOWS\\NOTEPAD.EXE");
  dir.WriteFile("damaged.lnk", std::string("L\0\0\0garbage that is no shortcut", 34));
  dir.WriteFile("x.lnk\\inside.txt");
  for (const char* file : {"damaged.lnk", "x.lnk", "none.lnk"})
    EXPECT_EQ(InvalidShortCutsUnit::GetShortcutTarget(dir.Path() + file), "") << file;
}

TEST(Shortcuts, MissingTargetsAreReportedWithTheirTexts) {
  TempFolder dir;
  std::string missingFile = dir.Path() + "gone\\app.exe";
  std::string missingFolder = dir.Path() + "nosuchdir";
  MakeShortcut(dir.Path() + "a file.lnk", missingFile);
  MakeShortcut(dir.Path() + "b folder.lnk", missingFolder);
  ShortcutScan scan;
  scan.Run(dir.Path());
  ASSERT_EQ(scan.Contents.Count(), 2);
  EXPECT_EQ(scan.CountLabel.Text, "2");

  std::string f1 = dir.Path() + "a file.lnk", f2 = dir.Path() + "b folder.lnk";
  const TContent& a = scan.Contents.GetItem(0).Content;
  const TContent& b = scan.Contents.GetItem(1).Content;
  EXPECT_TRUE(a.Checked);
  EXPECT_EQ(a.Number + b.Number, 3);
  EXPECT_TRUE(SameText(a.ValueName, missingFile)) << a.ValueName;
  EXPECT_TRUE(SameText(b.ValueName, missingFolder)) << b.ValueName;
  EXPECT_EQ((std::vector<std::string>{a.KeyPath, a.ShortName, a.Value, a.KeyPathLine, a.ValueNameLine, a.ValueLine,
                                      a.FaultLine, a.DescriptionLine, a.ProblemKind}),
            (std::vector<std::string>{f1, f1, "", " File Path:" + f1, " File Name:" + a.ValueName, " Value:" + f1,
                                      " The file (" + a.ValueName + ") does not exist at the specified location",
                                      "The shortcut a file.lnk in the folder " + f1 + " linked to a missing target.",
                                      "Invalid Shortcut"}));
  EXPECT_EQ(b.FaultLine, "This shortcut (" + f2 + ") is invalid.");
  EXPECT_EQ(b.DescriptionLine, "The shortcut b folder.lnk in the folder " + f2 + " linked to a missing target.");
}

// Valid, unreadable and out-of-reach targets yield nothing; the walk enters plain folders and
// skips only the document history.
TEST(Shortcuts, WalkReportsOnlyMissingTargetsAndSkipsTheDocumentHistory) {
  TempFolder dir;
  for (auto [file, content] : {std::pair{"App.v2\\run.exe", "x"}, {"Plain\\readme.txt", "x"}, {"x.lnk\\note.txt", "x"},
                               {"damaged.lnk", "not a shortcut at all"}, {"empty.lnk", ""}})
    dir.WriteFile(file, content);
  // E: and F: are not fixed
  for (auto [link, target] : std::initializer_list<std::pair<const char*, std::string>>{
           {"dotted folder.lnk", dir.Path() + "App.v2"}, {"folder.lnk", dir.Path() + "Plain"},
           {"file.lnk", dir.Path() + "Plain\\readme.txt"}, {"floppy.lnk", "A:\\setup.exe"},
           {"cdrom.lnk", "E:\\missing\\setup.exe"}, {"share.lnk", "\\\\server\\share\\tool.exe"},
           {"upper.LNK", dir.Path() + "gone.exe"}})
    MakeShortcut(dir.Path() + link, target);
  MakeBroken(dir, {"Alpha\\deep\\one.lnk"});
  MakeShortcut(dir.Path() + "Alpha\\deep\\z\u00e9ro \u00dcbung.lnk", "C:\\nowhere\\stra\u00dfe.exe");
  MakeBroken(dir, {"x.lnk\\two.lnk", "Recent\\skipped.lnk", "MyRecentFile.lnk", "Start Menu\\five.lnk",
                   "zz last.lnk"});
  ShortcutScan scan;
  scan.Run(dir.Path());
  ASSERT_GE(scan.Contents.Count(), 2);
  EXPECT_TRUE(SameText(scan.Contents.GetItem(1).Content.ValueName, "C:\\nowhere\\stra\u00dfe.exe"));
  EXPECT_EQ(scan.Paths(), (std::vector<std::string>{dir.Path() + "Alpha\\deep\\one.lnk",
                                                     dir.Path() + "Alpha\\deep\\z\u00e9ro \u00dcbung.lnk",
                                                     dir.Path() + "Start Menu\\five.lnk",
                                                     dir.Path() + "x.lnk\\two.lnk", dir.Path() + "zz last.lnk"}));
}

TEST(Shortcuts, HiddenOrSystemFoldersAreWalkedOnlyWithTheirListedAttributes) {
  TempFolder dir;
  MakeBroken(dir, {"hidden\\a.lnk", "hidsys\\b.lnk"});
  auto set = [&](const char* sub, DWORD attributes) {
    std::wstring folder = Widen(dir.Path() + sub);
    return SetFileAttributesW(folder.c_str(), attributes) && GetFileAttributesW(folder.c_str()) == (attributes | 0x10);
  };
  bool kept = set("hidden", FILE_ATTRIBUTE_HIDDEN) && set("hidsys", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  if (!kept) GTEST_SKIP() << "folder attributes not kept by this file system";
  ShortcutScan scan;
  scan.Run(dir.Path());
  EXPECT_EQ(scan.Paths(), std::vector<std::string>{dir.Path() + "hidsys\\b.lnk"});
  set("hidden", FILE_ATTRIBUTE_NORMAL);
  set("hidsys", FILE_ATTRIBUTE_NORMAL);
}

namespace {
// A count label that presses Abort when the first finding shows.
struct AbortOnFirstCount : TCaptionHolder {
  void SetCaption(const std::string& text) override {
    TCaptionHolder::SetCaption(text);
    ScanState = TRunState::StopScan;
  }
};
}  // namespace

TEST(Shortcuts, AnExclusionPassesOverThatShortcutOnlyAndTheStopFlagEndsEveryFolderLevel) {
  TempFolder dir;
  MakeBroken(dir, {"a\\a1.lnk", "a\\a2.lnk", "b\\b1.lnk", "c.lnk"});
  ShortcutScan first;
  first.Run(dir.Path());
  ASSERT_EQ(first.Contents.Count(), 4);
  const TContent& a2 = first.Contents.GetItem(1).Content;
  ShortcutScan scan;
  scan.Ignore("invalid shortcuts", a2.KeyPath, a2.ValueName);   // the caption is compared without regard to case
  scan.Run(dir.Path());
  EXPECT_EQ(scan.Paths(), (std::vector<std::string>{dir.Path() + "a\\a1.lnk", dir.Path() + "b\\b1.lnk", dir.Path() + "c.lnk"}));
  EXPECT_EQ(scan.Contents.GetItem(1).Content.Number, 2);

  ShortcutScan stopped;
  {
    TKeep<TRunState> stop(ScanState, TRunState::StopScan);
    stopped.Run(dir.Path());
    EXPECT_EQ(stopped.Contents.Count(), 0);
  }
  AbortOnFirstCount label;
  InvalidShortCutsUnit::ScanShortcutFolder(ExcludeTrailingBackslash(dir.Path()), 7, nullptr, &label, stopped.IgnoreList,
                                           stopped.Contents);
  EXPECT_EQ(stopped.Paths(), std::vector<std::string>{dir.Path() + "a\\a1.lnk"});
}

TEST(Shortcuts, EntriesAreCountedAndTheCurrentItemShownEveryTwoHundred) {
  TempFolder dir;
  for (int i = 0; i < 250; ++i) dir.WriteFile(Format("f%03d.txt", i));
  ShortcutScan scan;
  scan.Run(dir.Path());
  // "." and ".." plus the 250 files
  EXPECT_EQ(VisitedKeyCount, 252);
  EXPECT_EQ(ItemsProcessed, 252);
  EXPECT_EQ(scan.CurrentItem.Changes, 1);
  EXPECT_EQ(scan.CurrentItem.Text, dir.Path() + "f197.txt");
}

TEST(Shortcuts, RepairMovesTickedShortcutsToTheRecycleBinAndLogsTheOutcome) {
  TempFolder dir;
  MakeBroken(dir, {"a.lnk", "b.lnk", "c.lnk"});
  ShortcutScan scan;
  scan.Run(dir.Path());
  ASSERT_EQ(scan.Contents.Count(), 3);
  scan.Contents.GetItem(1).Content.Checked = false;
  // c.lnk vanished between the scan and the repair
  ASSERT_TRUE(DeleteFileW(Widen(dir.Path() + "c.lnk").c_str()));

  scan_test::TRepairRun repair;
  repair.Repair(InvalidShortCutsUnit::RepairShortcuts, scan.Contents);
  EXPECT_EQ(repair.Lines(), (scan_test::Lines{{dir.Path() + "a.lnk", scan_test::kOk},
                                              {dir.Path() + "c.lnk", SectionCommon::ChangedSinceScanText}}));
  EXPECT_EQ(repair.Status.Text, dir.Path() + "c.lnk");
  EXPECT_EQ(repair.FinishList.Count, 2);
  EXPECT_FALSE(FileExists(dir.Path() + "a.lnk"));
  EXPECT_TRUE(FileExists(dir.Path() + "b.lnk"));

  // The stop flag of the repair ends it before the next finding.
  scan.Contents.GetItem(1).Content.Checked = true;
  ScanState = TRunState::StopRepair;   // put back by the scan run
  scan_test::TRepairRun none;
  none.Repair(InvalidShortCutsUnit::RepairShortcuts, scan.Contents);
  EXPECT_EQ(none.Log.Count(), 0);
  EXPECT_TRUE(FileExists(dir.Path() + "b.lnk"));
}

// A shortcut the recycle bin cannot take (its drive's bin switched off, here by a stand-in for
// the bin's settings) is left, and its line says so: the shell would delete it for good, which
// no backup of the repair brings back. The other shortcut goes to the bin.
TEST(Shortcuts, AShortcutTheRecycleBinCannotTakeIsLeftAndItsLineSaysSo) {
  TempFolder dir;
  MakeBroken(dir, {"a.lnk", "b.lnk"});
  ShortcutScan scan;
  scan.Run(dir.Path());
  ASSERT_EQ(scan.Contents.Count(), 2);
  TKeep<std::function<ListedEntry::TBinRoom(const std::wstring&)>> room(
      ListedEntry::BinRoomQuery, [&](const std::wstring& path) {
        return ListedEntry::TBinRoom{.On = path != Widen(dir.Path() + "a.lnk")};
      });
  scan_test::TRepairRun repair;
  repair.Repair(InvalidShortCutsUnit::RepairShortcuts, scan.Contents);
  EXPECT_EQ(repair.Lines(), (scan_test::Lines{{dir.Path() + "a.lnk", SectionCommon::BinCannotTakeText},
                                              {dir.Path() + "b.lnk", scan_test::kOk}}));
  EXPECT_TRUE(FileExists(dir.Path() + "a.lnk"));
  EXPECT_FALSE(FileExists(dir.Path() + "b.lnk"));
}

TEST(Shortcuts, LinkedFoldersAreNotEntered) {
  TempFolder dir;
  MakeBroken(dir, {"real\\a.lnk"});
  if (!CreateSymbolicLinkW(Widen(dir.Path() + "linked").c_str(), Widen(dir.Path() + "real").c_str(),
                           SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "no folder links here";
  DWORD attributes = GetFileAttributesW(Widen(dir.Path() + "linked").c_str());
  ASSERT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << attributes;
  ShortcutScan scan;
  scan.Run(dir.Path());
  EXPECT_EQ(scan.Paths(), std::vector<std::string>{dir.Path() + "real\\a.lnk"});
  RemoveDirectoryW(Widen(dir.Path() + "linked").c_str());
}

// The recycle bins at a drive's root ("$Recycle.Bin", and "RECYCLER", "RECYCLED" of older
// systems) hold the shortcuts an earlier repair moved there: the walk passes over them, in any
// letter case, so that the next repair cannot delete them for good. Folders of those names
// elsewhere are walked.
TEST(Shortcuts, TheRecycleBinsAtADrivesRootAreNotWalked) {
  TempFolder dir;
  struct TCase {
    const char* Relative;
    bool Reported;
  };
  const TCase cases[] = {
      {"$RECYCLE.BIN\\S-1-5-21-1-2-3-1000\\$RAB12CD.lnk", false},
      {"recycler\\S-1-5-21-1-2-3-1000\\Dc1.lnk", false},
      {"Recycled\\Dc2.lnk", false},
      {"Docs\\$Recycle.Bin\\kept.lnk", true},
      {"Docs\\RECYCLED\\kept too.lnk", true},
      {"root.lnk", true},
  };
  TPluggedDrive drive('R', dir.Path());
  ASSERT_TRUE(drive.Plug()) << "Wine's mount manager defines drive R:";
  Texts expected;
  for (const TCase& c : cases) {
    MakeShortcut(dir.Path() + c.Relative, "C:\\nowhere\\" + ExtractFileName(c.Relative) + ".exe");
    if (c.Reported) expected.push_back(drive.Root() + "\\" + c.Relative);
  }
  ShortcutScan scan;
  InvalidShortCutsUnit::ScanShortcutFolder(drive.Root(), 7, &scan.CurrentItem, &scan.CountLabel, scan.IgnoreList,
                                           scan.Contents);
  Texts found = scan.Paths();
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
}

// A folder whose name ends in a dot or a blank is read by the system as the folder without them:
// the walk does not enter it, so no shortcut is listed twice under two names (nor acted on
// through a name that reaches another file).
TEST(Shortcuts, AFolderTheSystemReadsAsAnotherIsNotWalked) {
  TempFolder dir;
  MakeBroken(dir, {"Odd\\a.lnk"});
  for (const char* odd : {"Odd.", "Odd "})
    ASSERT_TRUE(CreateDirectoryW(Widen("\\\\?\\" + dir.Path() + odd).c_str(), nullptr)) << odd;
  ShortcutScan scan;
  scan.Run(dir.Path());
  EXPECT_EQ(scan.Paths(), std::vector<std::string>{dir.Path() + "Odd\\a.lnk"});
}
