// What the walker tests share: the scan state reset before each test, an ignore file of the
// test's own, and lookups of the findings a test planted.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlwapi.h>
#include <windows.h>

#include "framework/Outputs.h"
#include "framework/Registry.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/IgnoreItemUnit.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/RegistryContentUnit.h"
#include "support/TestSupport.h"
#include "RegistryTree.h"

class WalkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    using namespace PublicFunctionUnit;
    ScanState = TRunState::Idle;
    ProblemNumber = 0;
    ItemsProcessed = 0;
    VisitedKeyCount = 0;
    MyRegistryInfo.SelectAll = true;
    NonFixedDrives.Clear();
    NonFixedDrives.Add("E:");
    NonFixedDrives.Add("F:");
    SetIgnoreFileName(folder.Path() + "ignores.dat");
  }
  void TearDown() override {
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
    PublicFunctionUnit::SetIgnoreFileName("");
  }

  // Excludes a finding as the results page does, then reloads the list.
  void Exclude(const char* section, const TContent& finding) {
    AppendFileBytes(PublicFunctionUnit::IgnoreFileName(),
                    PublicFunctionUnit::IgnoreLine(section, finding.KeyPath, finding.ValueName));
    PublicFunctionUnit::LoadIgnoreList(ignoreList);
  }

  testing_support::TempFolder folder;
  TCaptionHolder currentItem;
  TCaptionHolder countLabel;
  TIgnoreContents ignoreList;
  TRegistryContents contents;
  // What a repair shows and logs.
  TCaptionHolder status;
  TListCountHolder finish;
  TRepairContents log;
};

// The findings whose key path is keyPath, in the order found.
inline std::vector<TContent> FindingsAt(const TRegistryContents& contents, const std::string& keyPath) {
  std::vector<TContent> found;
  for (int i = 0; i < contents.Count(); ++i)
    if (contents.GetItem(i).Content.KeyPath == keyPath) found.push_back(contents.GetItem(i).Content);
  return found;
}

// The findings whose key path begins with prefix.
inline std::vector<TContent> FindingsUnder(const TRegistryContents& contents, const std::string& prefix) {
  std::vector<TContent> found;
  for (int i = 0; i < contents.Count(); ++i)
    if (contents.GetItem(i).Content.KeyPath.rfind(prefix, 0) == 0) found.push_back(contents.GetItem(i).Content);
  return found;
}

// Creates a chain of `depth` nested keys "d" below root\base; returns the deepest key's path.
inline std::string MakeKeyChain(HKEY root, const std::string& base, int depth) {
  std::string path = base;
  HKEY parent;
  if (RegCreateKeyExW(root, Widen(base).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent, nullptr) !=
      ERROR_SUCCESS)
    return {};
  for (int i = 0; i < depth; ++i) {
    HKEY child;
    LONG rc = RegCreateKeyExW(parent, L"d", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr);
    RegCloseKey(parent);
    if (rc != ERROR_SUCCESS) return {};
    parent = child;
    path += "\\d";
  }
  RegCloseKey(parent);
  return path;
}

inline std::string NewGuid() {
  GUID g;
  CoCreateGuid(&g);
  wchar_t text[40];
  StringFromGUID2(g, text, 40);
  return Narrow(text);
}

// Keys created under HKEY_CLASSES_ROOT for one test, deleted with their subtrees at the end.
class ClassKeys {
 public:
  ~ClassKeys() {
    for (const std::string& k : created_) SHDeleteKeyW(HKEY_CLASSES_ROOT, Widen(k).c_str());
  }
  // Creates the key (remembering its top two levels for removal) and sets its default value.
  void Set(const std::string& path, const std::string& data, DWORD type = REG_SZ) {
    Create(path);
    HKEY h;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, Widen(path).c_str(), 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
    std::wstring w = Widen(data);
    RegSetValueExW(h, L"", 0, type, reinterpret_cast<const BYTE*>(w.c_str()), (DWORD)(w.size() + 1) * 2);
    RegCloseKey(h);
  }
  void Create(const std::string& path) {
    size_t second = path.find('\\', path.find('\\') + 1);
    created_.push_back(path.substr(0, second));
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);
  }
  static bool Exists(const std::string& path) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Widen(path).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
  }

 private:
  std::vector<std::string> created_;
};
