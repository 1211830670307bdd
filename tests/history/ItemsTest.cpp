// The listers and cleaners without the page: the folders that are never touched, the typed
// addresses and the URL cache with unticked items kept.
#include "HistoryFixture.h"

#include "scan/PublicFunctionUnit.h"

using namespace RecycleUnit;

namespace history_test {
namespace {

const TCleanStep kGoOn = [](const TRecycleData&) { return true; };

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
        windows + "\\..\\", profile, ExtractFilePath(profile), EnvFolder(L"ProgramFiles"), temp.Path() + "..\\..\\"})
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

TEST_F(HistoryItems, UntickedAddressesAndCacheEntriesAreKept) {
  sandbox.SetString("Typed", "url1", "http://one.invalid/");
  sandbox.SetString("Typed", "url2", "http://two.invalid/");
  sandbox.SetRaw("Typed", "url3", REG_BINARY, {0, 1});
  std::string key = sandbox.Path() + "\\Typed";
  std::string a = PlantCacheEntry("a"), b = PlantCacheEntry("b");
  std::vector<TRecycleData> items;
  ListTypedURLs(key, items);
  ListIECache(LoadShellFolders(keys.ShellFolders), items);
  EXPECT_EQ(Names(items, TCategory::IEAddress), (std::vector<std::string>{"http://one.invalid/", "http://two.invalid/"}));
  ASSERT_TRUE(Contains(Names(items, TCategory::IECache), a) && Contains(Names(items, TCategory::IECache), b));
  for (TRecycleData& item : items) item.Checked = item.Kind == TCategory::IECache ? item.Name == a : item.Path != "url2";
  EXPECT_EQ(DeleteTypedURLs(items, key, kGoOn), 1);
  EXPECT_EQ(DeleteIECache(items, kGoOn), 1);
  EXPECT_FALSE(sandbox.ValueExists("Typed", "url1"));
  EXPECT_TRUE(sandbox.ValueExists("Typed", "url2") && sandbox.ValueExists("Typed", "url3"));
  items.clear();
  ListIECache({}, items);
  EXPECT_FALSE(Contains(Names(items, TCategory::IECache), a));
  EXPECT_TRUE(Contains(Names(items, TCategory::IECache), b));
}

}  // namespace
}  // namespace history_test
