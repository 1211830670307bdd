// The history cleaner's tests: the traces of one test planted in the prefix (its own Shell
// Folders key and folders, the temporary folder pointed at a folder of the test, the typed
// addresses and Run history keys, URL cache entries) and removed afterwards. The tests run alone:
// they clean the prefix's Run history, typed addresses and recycle bin.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include "framework/Strings.h"
#include "support/TestSupport.h"
#include "tools/history/RecycleUnitItems.h"

namespace history_test {

struct HistoryFixture : testing::Test {
  testing_support::TempFolder temp;
  testing_support::RegSandbox sandbox;
  testing_support::RegSandbox typed{HKEY_CURRENT_USER, testing_support::ExactPath{RecycleUnit::TypedUrlsKey}};
  testing_support::RegSandbox run{HKEY_CURRENT_USER, testing_support::ExactPath{RecycleUnit::RunMruKey}};
  std::string tmp = temp.Path() + "tmp\\";
  RecycleUnit::TRecycleKeys keys{.ShellFolders = sandbox.Path() + "\\Shell"};
  std::vector<std::string> cacheUrls;

  HistoryFixture() {
    SetTemp(tmp);
    for (const char* name : {"Recent", "NetHood", "History", "Cache"}) {
      ForceDirectories(temp.Path() + name);
      sandbox.SetString("Shell", name, temp.Path() + name);
    }
  }
  ~HistoryFixture() override {
    for (const std::string& url : cacheUrls) DeleteUrlCacheEntryW(Widen(url).c_str());
    SetTemp("");
  }
  // The process's temporary folder (TMP, TEMP): the test's, or none.
  void SetTemp(const std::string& folder) {
    ForceDirectories(folder);
    for (const wchar_t* name : {L"TMP", L"TEMP"})
      SetEnvironmentVariableW(name, folder.empty() ? nullptr : Widen(folder).c_str());
  }
  // A URL cache entry of the test, returned.
  std::string PlantCacheEntry(const std::string& name) {
    std::string url = "http://zelvoran.invalid/" + testing_support::TestName() + "/" + name;
    wchar_t file[MAX_PATH];
    EXPECT_TRUE(CreateUrlCacheEntryW(Widen(url).c_str(), 0, L"html", file, 0));
    CloseHandle(CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_TRUE(CommitUrlCacheEntryW(Widen(url).c_str(), file, {}, {}, NORMAL_CACHE_ENTRY, nullptr, 0, L"html", nullptr));
    cacheUrls.push_back(url);
    return url;
  }
};

inline bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace history_test
