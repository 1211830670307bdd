#include "Planting.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "framework/Strings.h"
#include "scan/RecentlyFileUnit.h"
#include "TestSupport.h"

namespace testing_support {

TPlantedValues::~TPlantedValues() {
  HKEY h;
  if (RegOpenKeyExW(root_, Widen(path_).c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
  for (const std::string& n : names_) RegDeleteValueW(h, Widen(n).c_str());
  RegCloseKey(h);
}

void TPlantedValues::SetString(const std::string& name, const std::string& value, DWORD type) {
  names_.push_back(name);
  SetRegString(root_, path_, name, value, type);
}

bool TPlantedValues::HasValue(const std::string& name) const { return RegValueExists(root_, path_, name); }

ClassKeys::~ClassKeys() {
  for (const std::string& k : created_) SHDeleteKeyW(HKEY_CLASSES_ROOT, Widen(k).c_str());
}

void ClassKeys::Set(const std::string& path, const std::string& data, DWORD type) {
  Create(path);
  SetRegString(HKEY_CLASSES_ROOT, path, "", data, type);
}

void ClassKeys::Create(const std::string& path) {
  size_t second = path.find('\\', path.find('\\') + 1);
  created_.push_back(path.substr(0, second));
  SetRegValue(HKEY_CLASSES_ROOT, path);
}

bool ClassKeys::Exists(const std::string& path) { return RegKeyExists(HKEY_CLASSES_ROOT, path); }

RunListValues::RunListValues()
    : TPlantedValues(HKEY_CURRENT_USER, RecentlyFileUnit::RunMruKey), prefix_(TestName() + " ") {}

std::string RunListValues::Set(const std::string& name, const std::string& text, bool expandable) {
  SetString(prefix_ + name, text, expandable ? REG_EXPAND_SZ : REG_SZ);
  return prefix_ + name;
}

bool RunListValues::Mine(const TContent& c) const { return c.ShortName == "RunMRU" && Pos(prefix_, c.ValueName) == 1; }

std::string MakeKeyChain(HKEY root, const std::string& base, int depth) {
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

std::string NewGuid() {
  GUID g;
  CoCreateGuid(&g);
  wchar_t text[40];
  StringFromGUID2(g, text, 40);
  return Narrow(text);
}

void MakeShortcut(const std::string& file, const std::string& target) {
  IShellLinkW* link = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  link->SetPath(Widen(target).c_str());
  IPersistFile* persist = nullptr;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
  ForceDirectories(ExtractFilePath(file));
  EXPECT_EQ(persist->Save(Widen(file).c_str(), TRUE), S_OK);
  persist->Release();
  link->Release();
}

}  // namespace testing_support
