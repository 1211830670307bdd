// The history cleaner's tests: the traces of one test planted in the prefix (its own Shell
// Folders key and folders, the temporary folder pointed at a folder of the test, the typed
// addresses and Run history keys, URL cache entries) and removed afterwards. The tests run alone:
// they clean the prefix's Run history, typed addresses and recycle bin.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "tools/history/RecycleUnitItems.h"

namespace history_test {

// Sets (or, with null, removes) an environment variable of the process for a scope.
class TEnvKeep {
 public:
  TEnvKeep(const wchar_t* name, const wchar_t* value);
  ~TEnvKeep();

 private:
  std::wstring name_;
  std::optional<std::wstring> saved_;
};

struct HistoryFixture : testing::Test {
  testing_support::TempFolder temp;
  testing_support::RegSandbox sandbox;
  testing_support::RegSandbox typed{HKEY_CURRENT_USER, testing_support::ExactPath{RecycleUnit::TypedUrlsKey}};
  testing_support::RegSandbox run{HKEY_CURRENT_USER, testing_support::ExactPath{RecycleUnit::RunMruKey}};
  std::string tmp = temp.Path() + "tmp\\";
  TEnvKeep keepTmp{L"TMP", nullptr}, keepTemp{L"TEMP", nullptr};
  RecycleUnit::TRecycleKeys keys{.ShellFolders = sandbox.Path() + "\\Shell"};
  std::vector<std::string> cacheUrls;

  HistoryFixture();
  ~HistoryFixture() override;
  // Points a Shell Folders entry of the test at a folder (created when inside the test folder).
  void SetShellFolder(const std::string& name, const std::string& folder);
  // A URL cache entry of the test ("http://zelvoran.invalid/<test>/<name>"), returned.
  std::string PlantCacheEntry(const std::string& name);
};

// The names of the items of one kind, in order.
std::vector<std::string> Names(const std::vector<RecycleUnit::TRecycleData>& items, RecycleUnit::TCategory kind);
bool Contains(const std::vector<std::string>& names, const std::string& name);

}  // namespace history_test
