#include "Planting.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "framework/Registry.h"
#include "framework/Strings.h"
#include "scan/RecentlyFileUnit.h"
#include "TestSupport.h"

namespace testing_support {

static void SetValue(HKEY root, const std::string& path, const wchar_t* name, DWORD type, const void* data,
                     DWORD size) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  if (name != nullptr) RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(h);
}

static void SetText(HKEY root, const std::string& path, const std::string& name, const std::string& value,
                    DWORD type) {
  std::wstring w = Widen(value), n = Widen(name);
  SetValue(root, path, n.c_str(), type, w.c_str(), DWORD((w.size() + 1) * 2));
}

static bool KeyOpens(HKEY root, const std::string& path) {
  HKEY h;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

TPlantedValues::~TPlantedValues() {
  HKEY h;
  if (RegOpenKeyExW(root_, Widen(path_).c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
  for (const std::string& n : names_) RegDeleteValueW(h, Widen(n).c_str());
  RegCloseKey(h);
}

void TPlantedValues::SetString(const std::string& name, const std::string& value, DWORD type) {
  names_.push_back(name);
  SetText(root_, path_, name, value, type);
}

bool TPlantedValues::HasValue(const std::string& name) const {
  HKEY h;
  if (RegOpenKeyExW(root_, Widen(path_).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  bool found = RegQueryValueExW(h, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(h);
  return found;
}

ClassKeys::~ClassKeys() {
  for (const std::string& k : created_) SHDeleteKeyW(HKEY_CLASSES_ROOT, Widen(k).c_str());
}

void ClassKeys::Set(const std::string& path, const std::string& data, DWORD type) {
  Create(path);
  SetText(HKEY_CLASSES_ROOT, path, "", data, type);
}

void ClassKeys::Create(const std::string& path) {
  size_t second = path.find('\\', path.find('\\') + 1);
  created_.push_back(path.substr(0, second));
  SetValue(HKEY_CLASSES_ROOT, path, nullptr, REG_NONE, nullptr, 0);
}

bool ClassKeys::Exists(const std::string& path) { return KeyOpens(HKEY_CLASSES_ROOT, path); }

RunListValues::RunListValues() : prefix_(TestName() + " ") {}

RunListValues::~RunListValues() {
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  if (!reg.OpenKey(std::string("\\") + RecentlyFileUnit::RunMruKey, false)) return;
  for (const std::string& n : names_) reg.DeleteValue(n);
}

std::string RunListValues::Set(const std::string& name, const std::string& text, bool expandable) {
  std::string full = prefix_ + name;
  SetText(HKEY_CURRENT_USER, RecentlyFileUnit::RunMruKey, full, text, expandable ? REG_EXPAND_SZ : REG_SZ);
  names_.push_back(full);
  return full;
}

bool RunListValues::Exists(const std::string& full) const {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  return reg.OpenKey(std::string("\\") + RecentlyFileUnit::RunMruKey, false) && reg.ValueExists(full);
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
