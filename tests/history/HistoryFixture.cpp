#include "HistoryFixture.h"

#include <algorithm>

#include <wininet.h>

#include "framework/Strings.h"

namespace history_test {

TEnvKeep::TEnvKeep(const wchar_t* name, const wchar_t* value) : name_(name) {
  wchar_t buffer[1024];
  DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  if (n > 0 && n < 1024) saved_ = std::wstring(buffer, n);
  SetEnvironmentVariableW(name, value);
}

TEnvKeep::~TEnvKeep() { SetEnvironmentVariableW(name_.c_str(), saved_ ? saved_->c_str() : nullptr); }

HistoryFixture::HistoryFixture() {
  ForceDirectories(tmp);
  SetEnvironmentVariableW(L"TMP", Widen(tmp).c_str());
  for (const char* name : {"Recent", "NetHood", "History"}) SetShellFolder(name, temp.Path() + name);
  SetShellFolder("Cache", temp.Path() + "Cache");
}

HistoryFixture::~HistoryFixture() {
  for (const std::string& url : cacheUrls) DeleteUrlCacheEntryW(Widen(url).c_str());
}

void HistoryFixture::SetShellFolder(const std::string& name, const std::string& folder) {
  if (Pos(temp.Path(), folder) == 1) ForceDirectories(folder);
  sandbox.SetString("Shell", name, folder);
}

std::string HistoryFixture::PlantCacheEntry(const std::string& name) {
  std::string url = "http://zelvoran.invalid/" + testing_support::TestName() + "/" + name;
  wchar_t file[MAX_PATH];
  EXPECT_TRUE(CreateUrlCacheEntryW(Widen(url).c_str(), 0, L"html", file, 0));
  HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
  FILETIME none{};
  EXPECT_TRUE(CommitUrlCacheEntryW(Widen(url).c_str(), file, none, none, NORMAL_CACHE_ENTRY, nullptr, 0, L"html",
                                   nullptr));
  cacheUrls.push_back(url);
  return url;
}

std::vector<std::string> Names(const std::vector<RecycleUnit::TRecycleData>& items, RecycleUnit::TCategory kind) {
  std::vector<std::string> names;
  for (const auto& item : items)
    if (item.Kind == kind) names.push_back(item.Name);
  return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace history_test
