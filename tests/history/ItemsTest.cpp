// The folders the cleaner never lists nor cleans, and the names it never deletes.
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

}  // namespace
}  // namespace history_test
