// Helpers of the browser tool tests. The tools work on fixed keys of the browser and the
// policies, so the tests plant their values there (in the test prefix only) and put every key
// back as it was afterwards. The folder runs alone (RUN_SERIAL): other programs' tests plant Run
// entries and browser keys of their own.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
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

// Every key the browser tools touch, with room for a test's own class keys.
std::vector<TArea> BrowserAreas(std::initializer_list<std::string> classIds = {});

// Saves the trees of the areas and puts them back exactly (missing keys removed) when it ends.
class TAreaGuard {
 public:
  explicit TAreaGuard(std::vector<TArea> areas);
  ~TAreaGuard();
  TAreaGuard(const TAreaGuard&) = delete;
  TAreaGuard& operator=(const TAreaGuard&) = delete;

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

// Creates root\path (and its parents) and sets a value of any type.
void Plant(HKEY root, const std::string& path, const std::wstring& name, DWORD type, const std::vector<uint8_t>& data);
void PlantDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
void PlantString(HKEY root, const std::string& path, const std::string& name, const std::string& text);
void PlantKey(HKEY root, const std::string& path);
bool KeyThere(HKEY root, const std::string& path);
bool ValueThere(HKEY root, const std::string& path, const std::string& name);

// The files of a folder, to find and remove what a test wrote there.
std::set<std::string> FilesIn(const std::string& folder);

}  // namespace browser_test
