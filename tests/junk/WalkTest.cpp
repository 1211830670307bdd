// Which names are junk, the walk over a planted tree, the sums per drive and the three ways of
// cleaning, on the test's own folders only.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include <windows.h>
#include <winioctl.h>

#include "framework/Handles.h"
#include "framework/ListedEntry.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/ExactNames.h"
#include "support/TestSupport.h"
#include "tools/junk/SysDiskCleanerUnitStore.h"
#include "tools/junk/SysDiskCleanerUnitWalk.h"

using namespace SysDiskCleanerUnit;
using testing_support::TempFolder;

namespace {

std::vector<std::string> DefaultPatterns() {
  std::vector<std::string> patterns;
  for (const TJunkType& t : DefaultJunkTypeList()) patterns.push_back(t.Pattern);
  return patterns;
}

std::set<std::string> Paths(const std::vector<TJunkFileRecord>& found) {
  std::set<std::string> paths;
  for (const TJunkFileRecord& f : found) paths.insert(f.Path);
  return paths;
}

// The record a walk makes of a file: its name, path, size and last write time as they are now.
TJunkFileRecord Seen(const std::string& path) {
  TJunkFileRecord record{.FileName = ExtractFileName(path), .Path = path};
  ListedEntry::TFileStamp stamp;
  EXPECT_TRUE(ListedEntry::ReadStamp(ExtractFilePath(path), record.FileName, stamp)) << path;
  record.Size = (int64_t)stamp.Size;
  record.LastWrite = stamp.LastWrite;
  return record;
}

std::vector<TJunkFileRecord> Scan(const std::string& folder, const std::vector<std::string>& patterns) {
  std::vector<TJunkFileRecord> found;
  EXPECT_TRUE(ScanFolder(folder, TJunkMatcher(patterns), found, [](const TWalkEntry&) { return true; }));
  return found;
}

}  // namespace

TEST(JunkMatch, OneRuleForWildcardsAndLetterCase) {
  struct Case {
    const char* Pattern;
    const char* Name;
    bool Matches;
  };
  const Case cases[] = {
      {"*.tmp", "x.tmp", true},          {"*.tmp", "a.b.tmp", true},     {"*.tmp", "A.TMP", true},
      {"*.tmp", "tmp", false},           {"*.tmp", "a.tmp.old", false},  {"*.tmp", ".tmp", true},
      {"thumbs.db", "Thumbs.db", true},  {"thumbs.db", "thumbs.db.x", false},
      {"~*.*", "~WRL0001.tmp", true},    {"~*.*", "~lock", false},       {"~*.*", "a~b.c", false},
      {"*.??~", "report.do~", true},     {"*.??~", "report.d~", false},  {"*.~*", "a.~1", true},
      {"ffastun.*", "FFASTUN.FFL", true}, {"file????._dd", "FILE0001._DD", true},
      {"file????._dd", "file001._dd", false}, {"twain???.mtx", "twain001.mtx", true},
      {"*.$$$", "setup.$$$", true},      {"*.^", "a.^", true},           {"*.", "noext", false},
      {"readme.txt", "README.TXT", true}, {"*.bak", "old.bak", true},    {"*", "", true},
      {"?", "", false},                  {"*.db$", "x.DB$", true},        {"*.tmp", "x.tmpx", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesJunkPattern(c.Pattern, c.Name), c.Matches) << c.Pattern << " " << c.Name;
    EXPECT_EQ(TJunkMatcher({c.Pattern}).Matches(Widen(c.Name)), c.Matches) << c.Pattern << " " << c.Name;
  }
  // The prepared matcher answers as the rule does for all 47 defaults at once.
  TJunkMatcher all(DefaultPatterns());
  for (const Case& c : cases) {
    bool any = false;
    for (const std::string& p : DefaultPatterns()) any = any || MatchesJunkPattern(p, c.Name);
    EXPECT_EQ(all.Matches(Widen(c.Name)), any) << c.Name;
  }
}

TEST(JunkMatch, OnlyPlainAndHiddenFoldersAreEntered) {
  const std::pair<DWORD, bool> cases[] = {{16, true},  {18, true},     {19, true},      {17, false}, {48, false},
                                          {8208, false}, {0x410, false}, {0x414, false}, {20, false}, {32, false}};
  for (auto [attributes, walked] : cases) EXPECT_EQ(IsWalkedFolder(attributes), walked) << attributes;
}

TEST(JunkWalk, RecordsMatchingFilesOnlyAndWalksMatchingAndHiddenFolders) {
  TempFolder dir;
  for (const char* f : {"x.tmp", "A.TMP", "a.tmp.old", "tmp", "keep.txt", "old.bak\\keep.doc", "old.bak\\in.log",
                        "hidden\\y.tmp", "deep\\er\\Thumbs.db"})
    dir.WriteFile(f, "12345");
  ASSERT_TRUE(SetFileAttributesW(Widen(dir.Path() + "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
  std::string root = ExcludeTrailingBackslash(dir.Path());
  std::vector<TJunkFileRecord> found = Scan(root, DefaultPatterns());
  EXPECT_EQ(Paths(found), (std::set<std::string>{root + "\\x.tmp", root + "\\A.TMP", root + "\\a.tmp.old",
                                                 root + "\\old.bak\\in.log", root + "\\hidden\\y.tmp",
                                                 root + "\\deep\\er\\Thumbs.db"}));
  for (const TJunkFileRecord& f : found) {
    EXPECT_EQ(f.Size, 5);
    EXPECT_TRUE(f.Path.ends_with("\\" + f.FileName)) << f.Path;
  }
  // Patterns that would take in "." and "..", or folders, record files only.
  EXPECT_EQ(Scan(root + "\\old.bak", {"*", "*.", "*.*", ".."}).size(), 2u);
}

TEST(JunkWalk, LinkedFoldersAreNotEntered) {
  TempFolder dir;
  dir.WriteFile("real\\a.tmp");
  if (!CreateSymbolicLinkW(Widen(dir.Path() + "linked").c_str(), Widen(dir.Path() + "real").c_str(),
                           SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      GetFileAttributesW(Widen(dir.Path() + "linked").c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no folder links here";
  std::string root = ExcludeTrailingBackslash(dir.Path());
  EXPECT_EQ(Paths(Scan(root, {"*.tmp"})), std::set<std::string>{root + "\\real\\a.tmp"});
  RemoveDirectoryW(Widen(dir.Path() + "linked").c_str());
}

TEST(JunkWalk, StopEndsTheWalkAtOnce) {
  TempFolder dir;
  for (int i = 0; i < 20; ++i) dir.WriteFile("f" + IntToStr(i) + ".tmp");
  std::vector<TJunkFileRecord> found;
  int steps = 0;
  bool finished = ScanFolder(dir.Path(), TJunkMatcher({"*.tmp"}), found, [&](const TWalkEntry&) { return ++steps <= 5; });
  EXPECT_FALSE(finished);
  EXPECT_EQ(steps, 6);
  EXPECT_EQ(found.size(), 5u);
}

TEST(JunkWalk, SizesAndSumsCountFilesOfFourGigabytesAndMore) {
  TempFolder dir;
  std::string big = dir.Path() + "big.tmp";
  {
    HANDLE file = CreateFileW(Widen(big).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD unused = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 5LL << 30;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  dir.WriteFile("small.tmp", std::string(2048, 's'));
  std::vector<TJunkFileRecord> found = Scan(dir.Path(), {"*.tmp"});
  ASSERT_EQ(found.size(), 2u);
  TDriveTotals totals = CountDriveFiles(found, "C:");
  EXPECT_EQ(totals.Count, 2);
  EXPECT_EQ(totals.Bytes, (5LL << 30) + 2048);
  EXPECT_EQ(KilobyteText(totals.Bytes), "5242882 KB");
  EXPECT_EQ(CountDriveFiles(found, "D:").Count, 0);
  EXPECT_EQ(DrivePart("c:\\x\\y.tmp"), "C:");
  DeleteFileW(Widen(big).c_str());
}

TEST(JunkCleanup, DeleteAndRecycleReportEachFilesOutcome) {
  TempFolder dir;
  std::string gone = dir.WriteFile("gone.tmp"), recycled = dir.WriteFile("bin.tmp"), locked = dir.WriteFile("ro.tmp");
  ASSERT_TRUE(SetFileAttributesW(Widen(locked).c_str(), FILE_ATTRIBUTE_READONLY));
  const TJunkFileRecord goneFound = Seen(gone), lockedFound = Seen(locked), recycledFound = Seen(recycled);
  EXPECT_EQ(CleanupFile(goneFound, TCleanupMode::Delete, ""), StatusFileDeleted);
  EXPECT_FALSE(FileExists(gone));
  EXPECT_EQ(CleanupFile(goneFound, TCleanupMode::Delete, ""), StatusDeletedError);   // already gone
  EXPECT_EQ(CleanupFile(lockedFound, TCleanupMode::Delete, ""), StatusDeletedError);
  EXPECT_TRUE(FileExists(locked));
  SetFileAttributesW(Widen(locked).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(CleanupFile(recycledFound, TCleanupMode::RecycleBin, ""), StatusFileDeleted);
  EXPECT_FALSE(FileExists(recycled));
  EXPECT_EQ(CleanupFile(recycledFound, TCleanupMode::RecycleBin, ""), StatusDeletedError);

  // A folder that took a found file's place is left whole.
  dir.WriteFile("now.tmp\\inside.doc");
  for (TCleanupMode mode : {TCleanupMode::Delete, TCleanupMode::RecycleBin, TCleanupMode::MoveToFolder})
    EXPECT_NE(CleanupFile({"now.tmp", dir.Path() + "now.tmp", 0}, mode, dir.Path() + "to"), StatusFileDeleted);
  EXPECT_TRUE(FileExists(dir.Path() + "now.tmp\\inside.doc"));
}

TEST(JunkCleanup, MovingNeverOverwritesAndNeedsAFolder) {
  TempFolder dir;
  std::string first = dir.WriteFile("a\\same.tmp", "first"), second = dir.WriteFile("b\\same.tmp", "second");
  std::string third = dir.WriteFile("c\\same.tmp", "third");
  dir.WriteFile("to\\keep.txt");
  std::string to = dir.Path() + "to";
  EXPECT_EQ(CleanupFile(Seen(first), TCleanupMode::MoveToFolder, to), StatusFileMoved);
  EXPECT_EQ(CleanupFile(Seen(second), TCleanupMode::MoveToFolder, to), StatusFileMoved);
  EXPECT_EQ(CleanupFile(Seen(third), TCleanupMode::MoveToFolder, to + "\\"), StatusFileMoved);
  EXPECT_TRUE(FileExists(to + "\\same.tmp") && FileExists(to + "\\same (2).tmp") && FileExists(to + "\\same (3).tmp"));
  EXPECT_FALSE(FileExists(first));
  EXPECT_EQ(UniqueTarget(to, "keep.txt"), to + "\\keep (2).txt");
  EXPECT_EQ(UniqueTarget(to, "new"), to + "\\new");

  std::string left = dir.WriteFile("d\\left.tmp");
  EXPECT_EQ(CleanupFile(Seen(left), TCleanupMode::MoveToFolder, ""), StatusMovedError);
  EXPECT_EQ(CleanupFile(Seen(left), TCleanupMode::MoveToFolder, "  "), StatusMovedError);
  EXPECT_TRUE(FileExists(left));
  EXPECT_EQ(CleanupFile({"gone.tmp", dir.Path() + "gone.tmp", 1}, TCleanupMode::MoveToFolder, to), StatusMovedError);
}

// Names the system reads as others ("~draft." as "~draft", "old." as "old", "..." as the folder
// itself): the walk lists and enters each as itself, and each way of cleaning takes exactly the
// file found or leaves it with an error, never the user's look-alike beside it.
TEST(JunkCleanup, EachWayActsOnExactlyTheFileFoundNeverOnALookAlike) {
  using testing_support::ExactContent;
  using testing_support::ExactlyThere;
  using testing_support::PlantExact;
  using testing_support::PlantExactFolder;
  TempFolder dir;
  std::string tree = dir.Path() + "tree";
  for (const char* name : {"~draft", "~note", "~memo"}) dir.WriteFile(std::string("tree\\") + name, "the user's");
  for (const char* name : {"~draft.", "~note.", "~memo "}) PlantExact(tree, name, "junk");
  dir.WriteFile("tree\\old\\x.tmp", "old");
  std::string oldDotted = PlantExactFolder(tree, "old."), dots = PlantExactFolder(tree, "...");   // "\\?\" paths
  PlantExact(oldDotted, "x.tmp", "old.");
  PlantExact(dots, "y.tmp", "dots");
  std::vector<TJunkFileRecord> found = Scan(tree, DefaultPatterns());
  EXPECT_EQ(Paths(found), (std::set<std::string>{tree + "\\~draft.", tree + "\\~note.", tree + "\\old\\x.tmp",
                                                 tree + "\\old.\\x.tmp", tree + "\\...\\y.tmp"}));
  auto record = [&](const std::string& path) {
    for (const TJunkFileRecord& f : found)
      if (f.Path == path) return f;
    ADD_FAILURE() << path << " not found";
    return TJunkFileRecord{};
  };

  EXPECT_EQ(CleanupFile(record(tree + "\\~draft."), TCleanupMode::Delete, ""), StatusFileDeleted);
  EXPECT_EQ(CleanupFile(record(tree + "\\old.\\x.tmp"), TCleanupMode::Delete, ""), StatusFileDeleted);
  EXPECT_EQ(CleanupFile(record(tree + "\\...\\y.tmp"), TCleanupMode::Delete, ""), StatusFileDeleted);
  EXPECT_FALSE(ExactlyThere(tree, "~draft.") || ExactlyThere(oldDotted, "x.tmp") || ExactlyThere(dots, "y.tmp"));
  // the shell would read "~note." as "~note": the file is left, with an error
  EXPECT_EQ(CleanupFile(record(tree + "\\~note."), TCleanupMode::RecycleBin, ""), StatusDeletedError);
  EXPECT_EQ(ExactContent(tree, "~note."), "junk");
  // a move takes the file found, under its own name
  std::string to = dir.Path() + "to";
  ForceDirectories(to);
  EXPECT_EQ(CleanupFile(Seen(tree + "\\~memo "), TCleanupMode::MoveToFolder, to), StatusFileMoved);
  EXPECT_EQ(ExactContent(to, "~memo "), "junk");
  EXPECT_FALSE(ExactlyThere(tree, "~memo "));
  for (const char* name : {"~draft", "~note", "~memo"}) EXPECT_EQ(ExactContent(tree, name), "the user's") << name;
  EXPECT_EQ(ExactContent(tree + "\\old", "x.tmp"), "old");
  EXPECT_EQ(UniqueTarget(tree, "~note."), tree + "\\~note (2).");   // "~note" does not take its place
  EXPECT_EQ(UniqueTarget(tree, "~memo "), tree + "\\~memo ");
}

TEST(JunkWalk, OnlyFixedDrivesAreOffered) {
  std::vector<TFixedDrive> drives = ListFixedDrives();
  ASSERT_FALSE(drives.empty());
  for (const TFixedDrive& d : drives) {
    EXPECT_EQ(GetDriveTypeW(Widen(d.Drive + "\\").c_str()), (UINT)DRIVE_FIXED) << d.Drive;
    EXPECT_EQ(d.Root, d.Drive);
    EXPECT_NE(d.Drive, "Z:");   // the host's file system is never a drive here
    EXPECT_TRUE(d.TotalMb > 0 && d.FreeMb > 0) << d.Drive;
  }
}

namespace {

// Sets a file's last write time one hour later than it is.
void WrittenAnHourLater(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data));
  ULARGE_INTEGER time{{data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime}};
  time.QuadPart += 36000000000ull;
  FILETIME later{time.LowPart, time.HighPart};
  TKernelHandle file(CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &later));
}

}  // namespace

// A log or backup written anew after the scan is not the junk the scan found: each way of
// cleaning leaves it, with an error, and takes the file beside it that is still as found.
TEST(JunkCleanup, AFileWrittenAnewSinceTheScanIsLeftWithAnError) {
  struct Change {
    const char* What;
    std::function<void(const std::string& path)> Apply;
  };
  const Change changes[] = {
      {"rewritten longer", [](const std::string& p) { WriteFileBytes(p, "today's log, longer"); }},
      {"rewritten shorter", [](const std::string& p) { WriteFileBytes(p, "new"); }},
      {"rewritten, same size, later", [](const std::string& p) {
         WriteFileBytes(p, "NEW DAY");
         WrittenAnHourLater(p);
       }},
  };
  const std::pair<TCleanupMode, const char*> modes[] = {{TCleanupMode::Delete, StatusDeletedError},
                                                        {TCleanupMode::RecycleBin, StatusDeletedError},
                                                        {TCleanupMode::MoveToFolder, StatusMovedError}};
  for (const Change& change : changes) {
    for (auto [mode, error] : modes) {
      TempFolder dir;
      std::string log = dir.WriteFile("tree\\app.log", "old day"), backup = dir.WriteFile("tree\\data.bak", "old");
      std::vector<TJunkFileRecord> found = Scan(dir.Path() + "tree", {"*.log", "*.bak"});
      ASSERT_EQ(found.size(), 2u);
      std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.FileName < b.FileName; });
      change.Apply(log);
      const std::string now = ReadFileBytes(log);
      std::string to = dir.Path() + "to";
      ForceDirectories(to);
      EXPECT_EQ(CleanupFile(found[0], mode, to), error) << change.What << " " << int(mode);
      EXPECT_EQ(ReadFileBytes(log), now) << change.What << " " << int(mode);
      EXPECT_NE(CleanupFile(found[1], mode, to), error) << change.What << " " << int(mode);
      EXPECT_FALSE(FileExists(backup)) << change.What << " " << int(mode);
      EXPECT_FALSE(FileExists(to + "\\app.log")) << change.What << " " << int(mode);
    }
  }
}

// A run of moves into one folder numbers the files of one name on from the last number it gave
// ("thumbs.db" from every picture folder), still passing over names taken in the folder; each
// name and each folder counts on its own, the folder's letter case aside.
TEST(JunkCleanup, MovesOfOneRunNumberEachNameOnFromTheLastOneGiven) {
  TempFolder dir;
  std::string to = dir.Path() + "to";
  dir.WriteFile("to\\Thumbs (5).db", "the user's");
  std::vector<std::string> thumbs;
  for (int i = 0; i < 6; ++i) thumbs.push_back(dir.WriteFile("pictures" + IntToStr(i) + "\\Thumbs.db", IntToStr(i)));
  TMoveTargets targets;
  auto move = [&](const std::string& path, const std::string& folder) {
    return CleanupFile(Seen(path), TCleanupMode::MoveToFolder, folder, targets);
  };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(move(thumbs[i], to), StatusFileMoved) << i;
  EXPECT_EQ(testing_support::Listing(to),
            (std::vector<std::string>{"Thumbs (2).db", "Thumbs (3).db", "Thumbs (5).db", "Thumbs.db"}));
  // the first name freed again is not looked at: the run goes on from its last number
  ASSERT_TRUE(DeleteFileW(Widen(to + "\\Thumbs.db").c_str()));
  EXPECT_EQ(move(thumbs[3], to), StatusFileMoved);
  EXPECT_EQ(move(thumbs[4], ExcludeTrailingBackslash(UpperCase(to)) + "\\"), StatusFileMoved);
  EXPECT_EQ(ReadFileBytes(to + "\\Thumbs (4).db"), "3");
  EXPECT_EQ(ReadFileBytes(to + "\\Thumbs (6).db"), "4");
  EXPECT_EQ(ReadFileBytes(to + "\\Thumbs (5).db"), "the user's");
  // another name, and another folder, start at the name itself
  std::string desktop = dir.WriteFile("pictures0\\desktop.ini", "ini");
  EXPECT_EQ(move(desktop, to), StatusFileMoved);
  EXPECT_EQ(move(thumbs[5], dir.Path() + "other"), StatusMovedError);   // no such folder
  ForceDirectories(dir.Path() + "other");
  EXPECT_EQ(move(thumbs[5], dir.Path() + "other"), StatusFileMoved);
  EXPECT_TRUE(FileExists(to + "\\desktop.ini") && FileExists(dir.Path() + "other\\Thumbs.db"));
}

// The recycle mode leaves a file the bin cannot take ("Deleted Error"): the shell would delete
// it for good.
TEST(JunkCleanup, AFileTheRecycleBinCannotTakeIsLeftWithAnError) {
  TempFolder dir;
  std::string file = dir.WriteFile("tree\\big.tmp", std::string(4096, 'b'));
  std::vector<TJunkFileRecord> found = Scan(dir.Path() + "tree", {"*.tmp"});
  ASSERT_EQ(found.size(), 1u);
  for (ListedEntry::TBinRoom room : {ListedEntry::TBinRoom{.On = false}, ListedEntry::TBinRoom{.Capacity = 4095}}) {
    testing_support::TKeep<std::function<ListedEntry::TBinRoom(const std::wstring&)>> query(
        ListedEntry::BinRoomQuery, [&](const std::wstring&) { return room; });
    EXPECT_EQ(CleanupFile(found[0], TCleanupMode::RecycleBin, ""), StatusDeletedError);
    EXPECT_EQ(ReadFileBytes(file), std::string(4096, 'b'));
  }
  EXPECT_EQ(CleanupFile(found[0], TCleanupMode::RecycleBin, ""), StatusFileDeleted);
  EXPECT_FALSE(FileExists(file));
}

// On 64-bit Windows the name of the system folder shows this 32-bit program the 32-bit system
// folder, which the walk of the Windows folder meets under its own name as well: the walk lists
// the system folder as the system holds it, so that each file is found once, under the folder
// it is in, and cleaned there. Run in both prefixes; the 64-bit run (ctest -L win64) must be
// under WOW64.
TEST(JunkNativeView, TheSystemFolderIsWalkedAsTheSystemHoldsIt) {
  const bool wow64 = PublicFunctionUnit::RunsUnderWow64();
  wchar_t arch[16] = {};
  GetEnvironmentVariableW(L"ZELVORAN_WINEARCH", arch, 16);
  if (std::wstring(arch) == L"win64") ASSERT_TRUE(wow64) << "the 64-bit prefix runs this program under WOW64";
  const std::string windows = PublicFunctionUnit::GetWindowsDir(), system = PublicFunctionUnit::GetSystemDir();
  const std::string name = "zv-" + testing_support::TestName() + Format("-%u", GetCurrentProcessId());
  // the system's own system folder, and the 32-bit one (the same folder on a 32-bit system)
  const std::string native = wow64 ? windows + "\\Sysnative" : system;
  std::vector<std::string> planted = {native + "\\" + name + "-own.zvjunk", system + "\\" + name + "-x86.zvjunk"};
  for (const std::string& file : planted) ASSERT_TRUE(WriteFileBytes(file, file)) << file;
  struct TCleanup {
    std::vector<std::string> files;
    ~TCleanup() {
      for (const std::string& f : files) DeleteFileW(Widen(f).c_str());
    }
  } cleanup{planted};

  std::vector<TJunkFileRecord> found;
  ASSERT_TRUE(ScanFolder(windows, TJunkMatcher({name + "-*.zvjunk"}), found, [](const TWalkEntry&) { return true; }));
  std::multiset<std::string> paths;
  for (const TJunkFileRecord& f : found) paths.insert(UpperCase(f.Path));
  const std::string systemName = UpperCase(windows + "\\System32\\" + name);
  std::multiset<std::string> expected = {systemName + "-OWN.ZVJUNK", systemName + "-X86.ZVJUNK"};
  if (wow64) expected = {systemName + "-OWN.ZVJUNK", UpperCase(windows + "\\SysWOW64\\" + name) + "-X86.ZVJUNK"};
  EXPECT_EQ(paths, expected);

  for (const TJunkFileRecord& f : found) EXPECT_EQ(CleanupFile(f, TCleanupMode::Delete, ""), StatusFileDeleted) << f.Path;
  for (const std::string& file : planted) EXPECT_FALSE(FileExists(file)) << file;
}
