// Helpers of the browser tool tests: values planted in the browser's and the policies' fixed keys
// (of the test prefix), every key put back afterwards. The folder runs alone: other tests plant
// Run entries and browser keys of their own.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "framework/Registry.h"

namespace browser_test {

struct TArea {
  HKEY Root;
  std::string Path;
};

// Every key the browser tools touch, and the classes named.
std::vector<TArea> BrowserAreas(std::initializer_list<std::string> classIds = {});

// Saves the trees of the areas and puts them back exactly (new keys removed) when it ends.
class TAreaGuard {
 public:
  explicit TAreaGuard(std::vector<TArea> areas);
  ~TAreaGuard();

 private:
  struct TSavedKey {
    HKEY Root;
    std::string Path;
    std::vector<std::pair<std::wstring, TRegValue>> Values;
  };
  std::vector<TArea> areas_;
  std::vector<TSavedKey> keys_;
};

// One line per key ("HKCU\path") and per value ("HKCU\path: name = dword:1"), of every area.
std::set<std::string> Dump(const std::vector<TArea>& areas);
// "+line" for what came, "-line" for what went.
std::set<std::string> Changes(const std::set<std::string>& before, const std::set<std::string>& after);

TRegValue Dword(DWORD value);
TRegValue Sz(const std::string& text);
// Creates root\path with its parents and, when a name is given, sets that value.
void Plant(HKEY root, const std::string& path, const std::wstring& name = L"", const TRegValue* value = nullptr);
inline void Plant(HKEY root, const std::string& path, const std::wstring& name, const TRegValue& value) {
  Plant(root, path, name, &value);
}

// The text of a value as the program reads it; "<none>" when there is none.
std::string ReadText(HKEY root, const std::string& key, const std::string& name);

// The files of a folder, to find and remove what a test wrote there.
std::set<std::string> FilesIn(const std::string& folder);

// The files a test adds to a folder of the program (the plug-in backups' folder): removed when it
// ends, with the folder when the test made it.
class TNewFiles {
 public:
  explicit TNewFiles(std::string folder);
  ~TNewFiles();
  const std::string& Folder() const { return folder_; }
  const std::set<std::string>& Before() const { return before_; }
  std::vector<std::string> Names() const;   // the files added so far

 private:
  std::string folder_;
  bool wasThere_;
  std::set<std::string> before_;
};

}  // namespace browser_test
