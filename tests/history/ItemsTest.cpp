// The folders the cleaner never lists nor cleans, and the names it never deletes.
#include "HistoryFixture.h"

#include <shlobj.h>

#include <functional>

#include "framework/StringList.h"
#include "scan/PublicFunctionUnit.h"
#include "support/ExactNames.h"

using namespace RecycleUnit;

namespace history_test {
namespace {

const TCleanStep kGoOn = [](const TRecycleData&) { return true; };
const SYSTEMTIME kLater = {2031, 1, 3, 1, 12, 0, 0, 0};
const std::string kThird = "http://\xd0\xbf\xd1\x80\xd0\xb8\xd0\xbc\xd0\xb5\xd1\x80.invalid/#|url4";   // http://пример.invalid/#|url4

std::string EnvFolder(const wchar_t* name) {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return Narrow(buffer, n < MAX_PATH ? n : 0);
}

using HistoryItems = HistoryFixture;

TEST_F(HistoryItems, FoldersOfTheSystemAndTheUserAreRefused) {
  std::string windows = PublicFunctionUnit::GetWindowsDir(), profile = EnvFolder(L"USERPROFILE");
  ASSERT_FALSE(profile.empty());
  for (const std::string& folder :
       {std::string(), std::string("C:\\"), std::string("C:"), std::string("c:/"), std::string("tmp"),
        std::string("\\\\server\\share"), windows, windows + "\\", UpperCase(windows) + "\\system32",
        windows + "\\..\\", profile, ExtractFilePath(profile), EnvFolder(L"ProgramFiles"), EnvFolder(L"APPDATA"),
        temp.Path() + "..\\..\\"})
    EXPECT_FALSE(IsCleanableFolder(folder)) << folder;
  EXPECT_TRUE(IsCleanableFolder(tmp));
}

TEST_F(HistoryItems, ARefusedFolderListsAndDeletesNothing) {
  std::string name = "zelvoran_" + testing_support::TestName() + ".txt";
  CloseHandle(CreateFileW(Widen("C:\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  std::vector<TRecycleData> items;
  ListFolderFiles("C:\\", TCategory::Recent, items);
  ListFolderFiles(PublicFunctionUnit::GetWindowsDir(), TCategory::NetHood, items);
  SetTemp("C:\\" + std::string(300, 'x') + "\\");
  EXPECT_EQ(TemporaryFolder(), "");   // longer than the buffer: no temporary folder
  SetTemp("");   // the system falls back to the profile or the Windows folder
  ListCategory(TCategory::TemporaryFiles, LoadShellFolders(keys.ShellFolders), keys, items);
  EXPECT_TRUE(items.empty());
  sandbox.SetRaw("Shell", "Recent", REG_BINARY, {1, 2});   // not text: no folder
  EXPECT_EQ(LoadShellFolders(keys.ShellFolders).Recent, "");
  items = {{.Kind = TCategory::Recent, .Name = name, .Path = "C:\\"},
           {.Kind = TCategory::NetHood, .Name = "..\\" + name, .Path = tmp}};
  EXPECT_EQ(DeleteCheckedFiles(items, kGoOn), 0);
  EXPECT_TRUE(FileExists("C:\\" + name));
  DeleteFileW(Widen("C:\\" + name).c_str());
}

TEST_F(HistoryItems, ANameThatStandsForAFolderIsRefusedWhenDeleting) {
  // "." is the item's folder and ".." the one above it: given to the shell, either deletes that
  // whole folder. Items are not only made by listing, so the cleaner refuses them itself.
  std::string outer = temp.Path() + "outer", inner = outer + "\\inner";
  for (TCategory kind : {TCategory::TemporaryFiles, TCategory::NetHood, TCategory::Recent}) {
    for (const char* name : {".", ".."}) {
      temp.WriteFile("outer\\keep.txt");
      temp.WriteFile("outer\\inner\\keep.txt");
      std::vector<TRecycleData> items = {{.Kind = kind, .Name = name, .Path = inner}};
      EXPECT_EQ(DeleteCheckedFiles(items, kGoOn), 0) << name;
      EXPECT_TRUE(FileExists(outer + "\\keep.txt") && FileExists(inner + "\\keep.txt")) << name;
    }
  }
}

// Every folder the shell keeps the user's or every user's data in, and the folders above them,
// is refused; one named by a Shell Folders value or by TMP lists nothing, and an item that names
// it is not deleted. Under Wine these are real folders of the prefix.
TEST_F(HistoryItems, DataFoldersOfTheShellAndTheFoldersAboveThemAreNeverCleaned) {
  std::string profile = ExcludeTrailingBackslash(EnvFolder(L"USERPROFILE"));
  ASSERT_FALSE(profile.empty());
  std::string users = ExcludeTrailingBackslash(ExtractFilePath(profile));
  // AppData is on no list of the shell's: only its being above Roaming and Local keeps it
  std::vector<std::string> folders = {profile, users, users + "\\Public", profile + "\\AppData"};
  for (const char* name : {"Documents", "Desktop", "Pictures", "Music", "Videos", "Favorites", "Downloads", "Links",
                           "Saved Games", "Contacts"})
    folders.push_back(profile + "\\" + name);
  for (const char* name : {"Documents", "Desktop", "Pictures", "Music", "Videos"})
    folders.push_back(users + "\\Public\\" + name);
  for (int csidl : {CSIDL_STARTUP, CSIDL_STARTMENU, CSIDL_TEMPLATES, CSIDL_COMMON_STARTUP, CSIDL_COMMON_TEMPLATES,
                    CSIDL_FONTS}) {
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK) << csidl;
    folders.push_back(Narrow(path));
  }
  for (size_t i = 0; i < folders.size(); ++i) {
    ASSERT_TRUE(DirectoryExists(folders[i])) << folders[i];
    // as a value may give it: in other letter case, with a trailing "\"
    EXPECT_FALSE(IsCleanableFolder(i % 2 ? UpperCase(folders[i]) + "\\" : folders[i])) << folders[i];
  }

  std::string name = "zelvoran_" + testing_support::TestName() + ".jpg";
  for (const std::string& folder :
       {profile + "\\Pictures", profile + "\\Downloads", users + "\\Public\\Music", users, profile + "\\AppData"}) {
    std::string photo = folder + "\\" + name;
    ASSERT_TRUE(WriteFileBytes(photo, "photo")) << photo;
    sandbox.SetString("Shell", "Recent", folder);
    SetTemp(folder + "\\");
    TShellFolder shell = LoadShellFolders(keys.ShellFolders);
    std::vector<TRecycleData> items;
    for (TCategory kind : {TCategory::TemporaryFiles, TCategory::Recent}) ListCategory(kind, shell, keys, items);
    EXPECT_TRUE(items.empty()) << folder;
    items = {{.Kind = TCategory::Recent, .Name = name, .Path = shell.Recent},
             {.Kind = TCategory::TemporaryFiles, .Name = name, .Path = shell.Temp}};
    EXPECT_EQ(DeleteCheckedFiles(items, kGoOn), 0) << folder;
    EXPECT_EQ(ReadFileBytes(photo), "photo") << folder;
    DeleteFileW(Widen(photo).c_str());
  }
  SetTemp(tmp);
  EXPECT_TRUE(IsCleanableFolder(tmp));
}

// Each name the system reads as another entry is cleaned as listed: "keep." never takes "keep",
// a folder "..." never takes its own folder or the one above, and what lies inside a cleaned
// folder goes by its exact names as well.
TEST_F(HistoryItems, TheEntryCleanedIsExactlyTheEntryListed) {
  using testing_support::ExactlyThere;
  using testing_support::PlantExact;
  temp.WriteFile("above.txt", "above");
  for (const char* name : {"keep", "keep.", "keep ", "other.txt"}) PlantExact(tmp, name, name);
  std::string dots = testing_support::PlantExactFolder(tmp, "...");
  PlantExact(dots, "inner.", "inner");
  PlantExact(testing_support::PlantExactFolder(dots, "sub "), "x.", "x");
  std::vector<TRecycleData> items;
  ListFolderFiles(tmp, TCategory::TemporaryFiles, items);
  std::vector<std::string> listed;
  for (TRecycleData& item : items) {
    listed.push_back(item.Name);
    item.Checked = item.Name != "keep" && item.Name != "other.txt";
  }
  std::sort(listed.begin(), listed.end());
  ASSERT_EQ(listed, (std::vector<std::string>{"...", "keep", "keep ", "keep.", "other.txt"}));
  EXPECT_EQ(DeleteCheckedFiles(items, kGoOn), 3);
  EXPECT_EQ(testing_support::Listing(tmp), (std::vector<std::string>{"keep", "other.txt"}));
  EXPECT_EQ(testing_support::ExactContent(tmp, "keep"), "keep");
  EXPECT_EQ(ReadFileBytes(temp.Path() + "above.txt"), "above");
  EXPECT_FALSE(ExactlyThere(tmp, "..."));
}

// The browser numbers its typed addresses anew as the user types ("url1" is always the newest),
// and the Run history its commands: a row is the text it showed, so a value is deleted only
// while it still holds that text, never for its name alone.
TEST_F(HistoryItems, AValueIsDeletedOnlyWhileItHoldsTheTextItsRowShowed) {
  struct Case {
    TCategory Kind;
    const char* Sub;
    std::function<int(const std::vector<TRecycleData>&, const std::string&, const TCleanStep&)> Clean;
  };
  const Case cases[] = {{TCategory::IEAddress, "Typed", DeleteTypedURLs}, {TCategory::RunMRU, "Run", DeleteRunMRU}};
  for (const Case& c : cases) {
    std::string key = sandbox.Path() + "\\" + c.Sub;
    sandbox.SetString(c.Sub, "url1", "http://one.invalid/");
    sandbox.SetString(c.Sub, "url2", "http://two.invalid/");
    sandbox.SetString(c.Sub, "url3", kThird);
    sandbox.SetString(c.Sub, "url4", "http://four.invalid/");
    std::vector<TRecycleData> items;
    if (c.Kind == TCategory::IEAddress) ListTypedURLs(key, items);
    else ListRunMRU(key, items);
    ASSERT_EQ(items.size(), 4u) << c.Sub;
    // a new address typed meanwhile: every one moves one place down; url4 held another type now
    sandbox.SetString(c.Sub, "url1", "http://new.invalid/");
    sandbox.SetString(c.Sub, "url2", "http://one.invalid/");
    sandbox.SetString(c.Sub, "url3", "http://two.invalid/");
    sandbox.SetRaw(c.Sub, "url4", REG_BINARY, {'h', 0});
    sandbox.SetString(c.Sub, "url5", kThird);
    items.push_back({.Kind = c.Kind, .Name = kThird, .Path = "url5"});   // as a relisting gives it
    EXPECT_EQ(c.Clean(items, key, kGoOn), 1) << c.Sub;
    EXPECT_EQ(sandbox.Read(c.Sub, "url1"), "http://new.invalid/") << c.Sub;
    EXPECT_EQ(sandbox.Read(c.Sub, "url2"), "http://one.invalid/") << c.Sub;
    EXPECT_EQ(sandbox.Read(c.Sub, "url3"), "http://two.invalid/") << c.Sub;
    EXPECT_TRUE(sandbox.ValueExists(c.Sub, "url4")) << c.Sub;
    EXPECT_FALSE(sandbox.ValueExists(c.Sub, "url5")) << c.Sub;
  }
}

// A temporary file or folder written since it was listed is another program's by now: it is
// left; what is as it was listed goes.
TEST_F(HistoryItems, AnEntryWrittenSinceItWasListedIsLeft) {
  temp.WriteFile("tmp\\same.tmp", "same");
  temp.WriteFile("tmp\\longer.tmp", "old");
  temp.WriteFile("tmp\\later.tmp", "old");
  temp.WriteFile("tmp\\busy\\a.tmp", "a");
  temp.WriteFile("tmp\\quiet\\a.tmp", "a");
  std::vector<TRecycleData> items;
  ListFolderFiles(tmp, TCategory::TemporaryFiles, items);
  ASSERT_EQ(items.size(), 5u);
  WriteFileBytes(tmp + "longer.tmp", "rewritten");
  temp.WriteFile("tmp\\busy\\b.tmp", "b");   // a new entry in the folder
  for (const char* name : {"later.tmp", "busy"}) {   // written later (as the file system keeps it, to the second or finer)
    FILETIME later{};
    ASSERT_TRUE(SystemTimeToFileTime(&kLater, &later));
    HANDLE entry = CreateFileW(Widen(tmp + name).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(entry, INVALID_HANDLE_VALUE) << name;
    EXPECT_TRUE(SetFileTime(entry, nullptr, nullptr, &later)) << name;
    CloseHandle(entry);
  }
  EXPECT_EQ(DeleteCheckedFiles(items, kGoOn), 2);
  EXPECT_EQ(testing_support::Listing(tmp), (std::vector<std::string>{"busy", "later.tmp", "longer.tmp"}));
  EXPECT_EQ(ReadFileBytes(tmp + "longer.tmp"), "rewritten");
}

}  // namespace
}  // namespace history_test
