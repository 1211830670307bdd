#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

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
  EXPECT_FALSE(ListedEntry::Recycle(folder, "keep "));
  EXPECT_TRUE(ExactlyThere(folder, "keep ") && ExactlyThere(folder, "keep"));
  EXPECT_TRUE(ListedEntry::Recycle(folder, "keep"));
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
  EXPECT_FALSE(ListedEntry::Recycle(dotted, "a.txt"));
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
