#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include "framework/ListedEntry.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "support/ExactNames.h"
#include "support/TestSupport.h"

using testing_support::ExactlyThere;
using testing_support::Listing;
using testing_support::PlantExact;
using testing_support::TempFolder;

TEST(ListedEntry, NamesAreJudgedAsAListingGivesThem) {
  struct Row {
    const char* Name;
    bool Listed;
    bool ParsesAsAnother;
  };
  for (const Row& row : std::vector<Row>{{"keep", true, false},
                                         {"keep.", true, true},
                                         {"keep ", true, true},
                                         {"...", true, true},
                                         {".profile", true, false},
                                         {"a b.txt", true, false},
                                         {"ключ #|.txt", false, false},   // "|" is no file name character
                                         {"ключ #=.txt", true, false},
                                         {".", false, true},
                                         {"..", false, true},
                                         {"", false, true},
                                         {"a\\b", false, false},
                                         {"a/b", false, false},
                                         {"C:x", false, false},
                                         {"*.tmp", false, false}}) {
    EXPECT_EQ(ListedEntry::IsListedName(row.Name), row.Listed) << row.Name;
    if (row.Listed || std::string(row.Name).find_first_of("\\/:*|") == std::string::npos) {
      EXPECT_EQ(ListedEntry::ParsesAsAnother(row.Name), row.ParsesAsAnother) << row.Name;
    }
  }
  EXPECT_EQ(ListedEntry::ExactPath("C:\\a\\b\\..\\c\\", "x."), L"\\\\?\\C:\\a\\c\\x.");
  EXPECT_EQ(ListedEntry::ExactPath("\\\\server\\share\\dir", "x"), L"\\\\?\\UNC\\server\\share\\dir\\x");
  EXPECT_EQ(ListedEntry::ExactPath("\\\\?\\C:\\dots.\\", "x"), L"\\\\?\\C:\\dots.\\x");   // taken as it stands
  EXPECT_EQ(ListedEntry::ExactPath("C:\\a", ".."), L"");
}

TEST(ListedEntry, EachActionReachesOnlyTheEntryListed) {
  TempFolder dir;
  std::string folder = dir.Path() + "inner";
  ForceDirectories(folder);
  dir.WriteFile("outer.txt", "outer");   // in the folder above: what "..." would reach
  for (const char* name : {"keep", "keep.", "keep ", "..."}) PlantExact(folder, name, name);
  dir.WriteFile("inner\\other.txt", "other");

  EXPECT_TRUE(ListedEntry::Delete(folder, "keep."));
  EXPECT_TRUE(ListedEntry::Delete(folder, "..."));
  EXPECT_EQ(Listing(folder), (std::vector<std::string>{"keep", "keep ", "other.txt"}));
  EXPECT_TRUE(FileExists(dir.Path() + "outer.txt"));

  // the shell reads its own paths: a name it would read as another entry is refused, untouched
  EXPECT_EQ(ListedEntry::Recycle(folder, "keep "), ListedEntry::TRecycleOutcome::Failed);
  EXPECT_TRUE(ExactlyThere(folder, "keep ") && ExactlyThere(folder, "keep"));
  EXPECT_EQ(ListedEntry::Recycle(folder, "keep"), ListedEntry::TRecycleOutcome::Recycled);
  EXPECT_EQ(Listing(folder), (std::vector<std::string>{"keep ", "other.txt"}));

  // move and copy never write over an entry, and take exactly the name listed
  std::string moved = dir.Path() + "moved.";
  EXPECT_FALSE(ListedEntry::Move(folder, "keep ", dir.Path() + "outer.txt"));
  EXPECT_EQ(ReadFileBytes(dir.Path() + "outer.txt"), "outer");
  EXPECT_TRUE(ListedEntry::Move(folder, "keep ", moved));
  EXPECT_TRUE(ExactlyThere(dir.Path(), "moved.") && !ExactlyThere(folder, "keep "));
  EXPECT_TRUE(ListedEntry::Copy(dir.Path(), "moved.", folder + "\\copy."));
  EXPECT_FALSE(ListedEntry::Copy(dir.Path(), "moved.", folder + "\\copy."));
  EXPECT_TRUE(ExactlyThere(dir.Path(), "moved.") && ExactlyThere(folder, "copy."));

  // folders and names that are no listed names are never acted on
  EXPECT_FALSE(ListedEntry::Delete(dir.Path(), "inner"));
  EXPECT_FALSE(ListedEntry::Delete(folder, ".."));
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_TRUE(ListedEntry::Delete(folder, "copy."));
  EXPECT_TRUE(ListedEntry::Delete(dir.Path(), "moved."));
}

TEST(ListedEntry, ReadOnlyFilesAreDeletedAndKeepTheirAttributesWhenCopied) {
  TempFolder dir;
  PlantExact(dir.Path(), "locked.", "data", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(ListedEntry::Copy(dir.Path(), "locked.", dir.Path() + "copy"));
  DWORD copied = ListedEntry::Attributes(dir.Path(), "copy");
  EXPECT_TRUE((copied & FILE_ATTRIBUTE_READONLY) && (copied & FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(ListedEntry::Delete(dir.Path(), "copy"));
  EXPECT_TRUE(ListedEntry::Delete(dir.Path(), "locked."));
  EXPECT_TRUE(Listing(dir.Path()).empty());
}

TEST(ListedEntry, TheShellIsNotGivenAFolderItWouldReadAsAnother) {
  TempFolder dir;
  std::string dotted = Narrow(ListedEntry::ExactFolder(dir.Path())) + "\\sub.";
  ASSERT_TRUE(CreateDirectoryW(Widen(dotted).c_str(), nullptr));
  ForceDirectories(dir.Path() + "sub");
  PlantExact(dotted, "a.txt");
  dir.WriteFile("sub\\a.txt");
  EXPECT_EQ(ListedEntry::Recycle(dotted, "a.txt"), ListedEntry::TRecycleOutcome::Failed);
  EXPECT_TRUE(ExactlyThere(dotted, "a.txt") && FileExists(dir.Path() + "sub\\a.txt"));
  EXPECT_TRUE(ListedEntry::Delete(dotted, "a.txt"));
  EXPECT_TRUE(FileExists(dir.Path() + "sub\\a.txt"));
  RemoveDirectoryW(Widen(dotted).c_str());
}

TEST(ListedEntry, AFolderIsDeletedWithAllItHoldsAndNothingBesideIt) {
  TempFolder dir;
  std::string folder = dir.Path() + "inner";
  ForceDirectories(folder);
  dir.WriteFile("outer.txt", "outer");
  dir.WriteFile("inner\\keep.txt", "keep");
  ForceDirectories(folder + "\\sub");
  dir.WriteFile("inner\\sub\\x", "look-alike");
  // "..." holding names the system reads as others, a read-only file and a folder "sub."
  std::string dots = testing_support::PlantExactFolder(folder, "...");
  PlantExact(dots, "inner.", "a");
  PlantExact(dots, "ro", "b", FILE_ATTRIBUTE_READONLY);
  std::string dottedSub = testing_support::PlantExactFolder(dots, "sub.");
  PlantExact(dottedSub, "x ", "c");
  testing_support::PlantExactFolder(folder, "sub.");
  PlantExact(folder + "\\sub", "x.", "d");

  EXPECT_TRUE(ListedEntry::DeleteTree(folder, "..."));
  EXPECT_TRUE(ListedEntry::DeleteTree(folder, "sub."));
  EXPECT_EQ(Listing(folder), (std::vector<std::string>{"keep.txt", "sub"}));
  EXPECT_EQ(Listing(folder + "\\sub"), (std::vector<std::string>{"x", "x."}));
  EXPECT_EQ(ReadFileBytes(dir.Path() + "outer.txt"), "outer");

  EXPECT_TRUE(ListedEntry::DeleteTree(folder + "\\sub", "x."));   // a file as Delete takes it
  EXPECT_EQ(Listing(folder + "\\sub"), std::vector<std::string>{"x"});
  EXPECT_FALSE(ListedEntry::DeleteTree(folder, ".."));
  EXPECT_FALSE(ListedEntry::DeleteTree(folder, "missing"));
  EXPECT_TRUE(DirectoryExists(folder));
}

// A file the recycle bin cannot take is left where it is and said so: the shell would delete it
// for good without a word (bin switched off, full, smaller than the file). The bin's room comes
// from a stand-in (Wine's bin has no settings); a bin with room gets the file for real.
TEST(ListedEntry, AFileTheRecycleBinCannotTakeIsLeftAndSaidSo) {
  using ListedEntry::TBinRoom;
  using ListedEntry::TRecycleOutcome;
  struct Row {
    const char* What;
    TBinRoom Room;
    TRecycleOutcome Outcome;
  };
  const Row rows[] = {
      {"switched off", {.On = false}, TRecycleOutcome::BinCannotTake},
      {"full", {.Capacity = 100, .Used = 90}, TRecycleOutcome::BinCannotTake},
      {"fuller than its settings", {.Capacity = 100, .Used = 150}, TRecycleOutcome::BinCannotTake},
      {"smaller than the file", {.Capacity = 19}, TRecycleOutcome::BinCannotTake},
      {"exactly the room left", {.Capacity = 100, .Used = 80}, TRecycleOutcome::Recycled},
      {"no size set", {.Used = 1ull << 40}, TRecycleOutcome::Recycled},
  };
  TempFolder dir;
  for (const Row& row : rows) {
    std::string name = testing_support::TestName() + "-" + row.What + ".txt";
    std::string file = dir.WriteFile(name, std::string(20, 'j'));
    std::vector<std::wstring> asked;
    testing_support::TKeep<std::function<TBinRoom(const std::wstring&)>> room(
        ListedEntry::BinRoomQuery, [&](const std::wstring& path) {
          asked.push_back(path);
          return row.Room;
        });
    EXPECT_EQ(ListedEntry::Recycle(dir.Path(), name), row.Outcome) << row.What;
    EXPECT_EQ(asked, std::vector<std::wstring>{Widen(file)}) << row.What;
    EXPECT_EQ(FileExists(file), row.Outcome != TRecycleOutcome::Recycled) << row.What;
  }
}

// What the bin's settings do not show the shell finds out itself: asked to warn before it would
// delete a file for good, and told "no", it leaves the file.
TEST(ListedEntry, TheShellsWarningBeforeDeletingForGoodAnsweredNoLeavesTheFile) {
  TempFolder dir;
  std::string file = dir.WriteFile("big.txt", "big");
  FILEOP_FLAGS flags = 0;
  std::wstring from;
  testing_support::TKeep<std::function<int(SHFILEOPSTRUCTW&)>> shell(ListedEntry::ShellFileOperation,
                                                                       [&](SHFILEOPSTRUCTW& op) {
                                                                         flags = op.fFlags;
                                                                         from = op.pFrom;
                                                                         op.fAnyOperationsAborted = TRUE;
                                                                         return (int)ERROR_CANCELLED;
                                                                       });
  EXPECT_EQ(ListedEntry::Recycle(dir.Path(), "big.txt"), ListedEntry::TRecycleOutcome::BinCannotTake);
  EXPECT_EQ(ReadFileBytes(file), "big");
  EXPECT_EQ(from, Widen(file));
  EXPECT_EQ(flags & (FOF_ALLOWUNDO | FOF_WANTNUKEWARNING | FOF_NOCONFIRMATION),
            FOF_ALLOWUNDO | FOF_WANTNUKEWARNING | FOF_NOCONFIRMATION);
}

// The bin's settings as the system keeps them (here under keys of the test): the policy that
// switches every bin off, the drive's own settings (Vista on: per volume, in megabytes), those of
// systems before it (per cent of the drive, for all drives or per drive letter) and the policy
// on its size; and what the bin holds now.
TEST(ListedEntry, TheBinsRoomIsReadFromItsSettings) {
  TempFolder dir;
  std::wstring path = Widen(dir.Path() + "x.txt");
  wchar_t root[MAX_PATH + 1] = {}, volume[64] = {};
  ASSERT_TRUE(GetVolumePathNameW(path.c_str(), root, MAX_PATH + 1));
  ULARGE_INTEGER total{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(root, nullptr, &total, nullptr));
  const uint64_t tenth = total.QuadPart / 100 * 10 + total.QuadPart % 100 * 10 / 100;
  std::string guid;
  if (GetVolumeNameForVolumeMountPointW(root, volume, 64)) {
    std::wstring v = volume;
    if (v.find(L'{') != std::wstring::npos) guid = Narrow(v.substr(v.find(L'{'), v.find(L'}') - v.find(L'{') + 1));
  }
  testing_support::RegSandbox box;
  ListedEntry::TBinSettingsKeys keys{.UserRoot = box.Root(), .MachineRoot = box.Root(),
                                     .Policies = box.Path() + "\\Policies", .Volumes = box.Path() + "\\Volume",
                                     .Drives = box.Path() + "\\BitBucket"};
  auto room = [&] { return ListedEntry::ReadBinRoom(path, keys); };
  EXPECT_TRUE(room().On);
  EXPECT_FALSE(room().Capacity);
  // settings of another type than a double word say nothing
  box.SetString("Policies", "NoRecycleFiles", "1");
  box.SetRaw("BitBucket", "Percent", REG_BINARY, {10});
  box.SetRaw("BitBucket", "NukeOnDelete", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_TRUE(room().On);
  EXPECT_FALSE(room().Capacity);

  std::string letter(1, (char)root[0]);
  box.SetDword("BitBucket", "UseGlobalSettings", 0);
  box.SetDword("BitBucket", "Percent", 50);
  box.SetDword("BitBucket\\" + letter, "Percent", 10);
  EXPECT_EQ(room().Capacity, tenth);
  box.SetDword("BitBucket\\" + letter, "NukeOnDelete", 1);
  EXPECT_FALSE(room().On);
  box.SetDword("BitBucket", "UseGlobalSettings", 1);
  EXPECT_TRUE(room().On);
  EXPECT_EQ(room().Capacity, total.QuadPart / 2);

  if (guid.empty()) {
    std::printf("the system names no volume for %ls: the settings per volume are not read here\n", root);
  } else {
    box.SetDword("Volume\\" + guid, "MaxCapacity", 3);
    EXPECT_EQ(room().Capacity, 3u << 20) << "the volume's own settings come first";
    EXPECT_TRUE(room().On);
    box.SetDword("Volume\\" + guid, "NukeOnDelete", 1);
    EXPECT_FALSE(room().On);
    box.SetDword("Volume\\" + guid, "NukeOnDelete", 0);
  }
  box.SetDword("Policies", "RecycleBinSize", 10);
  EXPECT_EQ(room().Capacity, tenth);
  EXPECT_TRUE(room().On);
  box.SetDword("Policies", "NoRecycleFiles", 1);
  EXPECT_FALSE(room().On);

  // what the bin holds now counts against its room
  SHQUERYRBINFO held{.cbSize = sizeof held};
  ASSERT_EQ(SHQueryRecycleBinW(root, &held), S_OK);
  EXPECT_EQ(room().Used, (uint64_t)held.i64Size);
}
