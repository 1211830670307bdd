#include "OptimizerTestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>

#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "tools/optimizer/UnitServicesOptimize.h"

namespace optimizer_test {

TRegValue Dw(DWORD value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  return {REG_DWORD, std::vector<uint8_t>(p, p + 4)};
}

TRegValue Sz(const std::string& text) {
  std::wstring w = Widen(text);
  const auto* p = reinterpret_cast<const uint8_t*>(w.c_str());
  return {REG_SZ, std::vector<uint8_t>(p, p + (w.size() + 1) * 2)};
}

TRegValue Ex(const std::string& text) { return {REG_EXPAND_SZ, Sz(text).Data}; }

TRegValue Raw(DWORD type, const std::vector<uint8_t>& data) { return {type, data}; }

void Plant(HKEY root, const std::string& key, const std::string& name, const TMaybeValue& value, REGSAM view) {
  HKEY h;
  if (RegCreateKeyExW(root, Widen(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &h, nullptr) !=
      ERROR_SUCCESS)
    return;
  if (value)
    RegSetValueExW(h, Widen(name).c_str(), 0, value->Type, value->Data.data(), (DWORD)value->Data.size());
  else
    RegDeleteValueW(h, Widen(name).c_str());
  RegCloseKey(h);
}

std::string Describe(const TMaybeValue& value) {
  if (!value) return "absent";
  if (value->Type == REG_DWORD && value->Data.size() == 4) return "DWORD " + std::to_string(*(const DWORD*)value->Data.data());
  if (IsTextValue(*value)) {
    std::string text = RegValueText(*value);
    TRegValue plain = Sz(text);
    std::vector<uint8_t> data = value->Data;
    if (data.size() + 2 == plain.Data.size()) data.insert(data.end(), 2, 0);   // stored without its zero
    if (data == plain.Data) return (value->Type == REG_SZ ? "SZ \"" : "EXPAND_SZ \"") + text + "\"";
  }
  std::string text = "type " + std::to_string(value->Type) + ":";
  for (uint8_t b : value->Data) text += " " + IntToHex(b, 2);
  return text;
}

std::string ValueAt(HKEY root, const std::string& key, const std::string& name, REGSAM view) {
  TRegKeyHandle h;
  TRegValue value;
  if (!h.Open(root, key, KEY_READ | view) || !QueryRegValue(h.Get(), Widen(name), value)) return Describe(std::nullopt);
  return Describe(value);
}

bool KeyIn(HKEY root, const std::string& key, REGSAM view) {
  TRegKeyHandle h;
  return h.Open(root, key, KEY_READ | view);
}

bool HasSeparate64BitView() {
  wchar_t arch[16] = {};
  GetEnvironmentVariableW(L"ZELVORAN_WINEARCH", arch, 16);
  bool wow64 = PublicFunctionUnit::RunsUnderWow64();
  if (std::wstring(arch) == L"win64") EXPECT_TRUE(wow64) << "the 64-bit prefix runs this program under WOW64";
  return wow64;
}

void DeleteTreeIn(HKEY root, const std::string& key, REGSAM view) {
  if (view == 0) {
    SHDeleteKeyW(root, Widen(key).c_str());
    return;
  }
  TRegKeyHandle h;
  if (!h.Open(root, key, KEY_ALL_ACCESS | view)) return;
  RegDeleteTreeW(h.Get(), nullptr);
  h.Close();
  RegDeleteKeyExW(root, Widen(key).c_str(), view, 0);
}

struct TTweakKeysGuard::TKeyGuard {
  HKEY root_;
  std::string key_;
  REGSAM view_;
  std::string firstMissing_;   // "" when the key existed
  std::map<std::wstring, TRegValue> values_;

  TKeyGuard(HKEY root, std::string key, REGSAM view) : root_(root), key_(std::move(key)), view_(view) {
    TRegKeyHandle h;
    if (h.Open(root_, key_, KEY_READ | view_)) {
      TValueReader reader(h.Get());
      std::string name;
      TRegValue value;
      while (reader.Next(name, value)) values_[Widen(name)] = value;
      return;
    }
    size_t end = 0;   // the first part of the path that is missing goes again at the end
    do end = key_.find('\\', end + 1);
    while (end != std::string::npos && KeyIn(root_, key_.substr(0, end), view_));
    firstMissing_ = key_.substr(0, end);
  }

  ~TKeyGuard() {
    if (!firstMissing_.empty()) {
      DeleteTreeIn(root_, firstMissing_, view_);
      return;
    }
    Plant(root_, key_, "", std::nullopt, view_);   // recreates the key; its default value comes back below
    TRegKeyHandle h;
    if (!h.Open(root_, key_, KEY_ALL_ACCESS | view_)) return;
    for (const std::string& name : EnumValueNames(h.Get()))
      if (!values_.count(Widen(name))) RegDeleteValueW(h.Get(), Widen(name).c_str());
    for (const auto& [name, value] : values_)
      RegSetValueExW(h.Get(), name.c_str(), 0, value.Type, value.Data.data(), (DWORD)value.Data.size());
  }
};

TTweakKeysGuard::~TTweakKeysGuard() = default;

TTweakKeysGuard::TTweakKeysGuard() {
  const std::pair<HKEY, const char*> keys[] = {
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management"},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\PrefetchParameters"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AlwaysUnloadDLL"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RemoteComputer\\NameSpace\\"
                           "{D6277990-4C6A-11CF-8D87-00AA0060F5BF}"},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters"},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control"},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"},
      {HKEY_CURRENT_USER, "Control Panel\\Desktop"},
      {HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction"},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\parameters"},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"},
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"},
      {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\MSTCP"},
      {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\BIOS"},
      {HKEY_CLASSES_ROOT, "CLSID\\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}"},
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Advanced"},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000"},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\FileSystem"},
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network"},
  };
  for (const auto& [root, key] : keys) guards_.push_back(std::make_unique<TKeyGuard>(root, key, 0));
  if (!PublicFunctionUnit::RunsUnderWow64()) return;
  for (const auto& [root, key] : keys)
    if (root == HKEY_CLASSES_ROOT || (root == HKEY_LOCAL_MACHINE && SameText(std::string(key).substr(0, 9), "SOFTWARE\\")))
      guards_.push_back(std::make_unique<TKeyGuard>(root, key, KEY_WOW64_64KEY));
}

const char* const kPrefixServices[] = {"Eventlog", "Spooler", "TermService", "wuauserv"};

TServiceGuard::TServiceGuard() {
  for (const char* name : kPrefixServices) {
    UnitServicesOptimize::TServiceState state = UnitServicesOptimize::QueryServiceState(name);
    if (state.Installed) saved_.push_back({name, state.StartType, state.Running});
  }
}

TServiceGuard::~TServiceGuard() {
  for (const TSaved& s : saved_) {
    UnitServicesOptimize::SetServiceStartValue(s.StartType, s.Name);
    if (UnitServicesOptimize::QueryServiceState(s.Name).Running == s.Running) continue;
    if (s.Running)
      UnitServicesOptimize::StartServiceByName(s.Name);
    else
      UnitServicesOptimize::StopServiceByName(s.Name);
    WaitForServiceState(s.Name, s.Running);
  }
}

bool WaitForServiceState(const std::string& name, bool running) {
  for (int i = 0; i < 2000; ++i) {
    if (UnitServicesOptimize::QueryServiceState(name).Running == running) return true;
    Sleep(5);   // let the service manager act (a poll, not a timed expectation)
  }
  return false;
}

bool ServiceIs(const std::string& name, DWORD startType, bool running) {
  return UnitServicesOptimize::QueryServiceState(name).StartType == startType && WaitForServiceState(name, running);
}

}  // namespace optimizer_test
