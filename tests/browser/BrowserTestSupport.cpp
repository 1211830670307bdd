#include "BrowserTestSupport.h"

#include <shlwapi.h>

#include "framework/Handles.h"
#include "framework/ListedEntry.h"
#include "framework/Strings.h"

namespace browser_test {

std::vector<TArea> BrowserAreas(std::initializer_list<std::string> classIds) {
  const std::string policies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
  std::vector<TArea> areas = {
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer"},
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
      {HKEY_LOCAL_MACHINE, policies},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer"},
      {HKEY_CURRENT_USER, policies},
      {HKEY_CURRENT_USER, "Software\\Policies"},
      {HKEY_USERS, ".DEFAULT\\Software\\Policies"},
      {HKEY_USERS, ".DEFAULT\\" + policies},
  };
  for (const std::string& id : classIds) areas.push_back({HKEY_CLASSES_ROOT, "CLSID\\" + id});
  return areas;
}

namespace {

// Calls fn(path, key) for root\path and every key below it, parents first.
template <class F>
void Walk(HKEY root, const std::string& path, F&& fn) {
  TRegKeyHandle key;
  if (!key.Open(root, path, KEY_READ)) return;
  fn(path, key.Get());
  for (const std::string& name : EnumKeyNames(key.Get())) Walk(root, path + "\\" + name, fn);
}

std::vector<std::pair<std::wstring, TRegValue>> ValuesOf(HKEY key) {
  std::vector<std::pair<std::wstring, TRegValue>> values;
  TValueReader reader(key);
  std::string name;
  TRegValue value;
  while (reader.Next(name, value)) values.emplace_back(Widen(name), value);
  return values;
}

std::string DataText(const TRegValue& v) {
  if (v.Type == REG_SZ) return "sz:" + RegValueText(v);
  if (v.Type == REG_DWORD && v.Data.size() == 4) return Format("dword:%u", *(const unsigned*)v.Data.data());
  std::string text = Format("type %u:", (unsigned)v.Type);
  for (uint8_t b : v.Data) text += Format(" %02X", (unsigned)b);
  return text;
}

}  // namespace

TAreaGuard::TAreaGuard(std::vector<TArea> areas) : areas_(std::move(areas)) {
  for (const TArea& area : areas_)
    Walk(area.Root, area.Path, [&](const std::string& path, HKEY key) { keys_.push_back({area.Root, path, ValuesOf(key)}); });
}

TAreaGuard::~TAreaGuard() {
  for (const TArea& area : areas_) SHDeleteKeyW(area.Root, Widen(area.Path).c_str());
  for (const TSavedKey& saved : keys_) {
    Plant(saved.Root, saved.Path);
    for (const auto& [name, value] : saved.Values) Plant(saved.Root, saved.Path, name, value);
  }
}

std::set<std::string> Dump(const std::vector<TArea>& areas) {
  std::set<std::string> lines;
  for (const TArea& area : areas)
    Walk(area.Root, area.Path, [&](const std::string& path, HKEY key) {
      const char* root = area.Root == HKEY_LOCAL_MACHINE ? "HKLM\\" : area.Root == HKEY_CURRENT_USER ? "HKCU\\"
                         : area.Root == HKEY_USERS        ? "HKU\\"
                                                          : "HKCR\\";
      lines.insert(root + path);
      for (const auto& [name, value] : ValuesOf(key)) lines.insert(root + path + ": " + Narrow(name) + " = " + DataText(value));
    });
  return lines;
}

std::set<std::string> Changes(const std::set<std::string>& before, const std::set<std::string>& after) {
  std::set<std::string> changes;
  for (const std::string& line : after)
    if (!before.count(line)) changes.insert("+" + line);
  for (const std::string& line : before)
    if (!after.count(line)) changes.insert("-" + line);
  return changes;
}

TRegValue Dword(DWORD value) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&value);
  return {REG_DWORD, {p, p + 4}};
}

TRegValue Sz(const std::string& text) {
  std::wstring w = Widen(text);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(w.c_str());
  return {REG_SZ, {p, p + (w.size() + 1) * 2}};
}

void Plant(HKEY root, const std::string& path, const std::wstring& name, const TRegValue* value) {
  HKEY key;
  if (RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  if (value != nullptr) RegSetValueExW(key, name.c_str(), 0, value->Type, value->Data.data(), (DWORD)value->Data.size());
  RegCloseKey(key);
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> files;
  ForEachFile(folder, "*", [&](const TFoundFile& f) {
    if (!f.IsFolder()) files.insert(f.Name);
    return true;
  });
  return files;
}

TNewFiles::TNewFiles(std::string folder)
    : folder_(std::move(folder)), wasThere_(DirectoryExists(ExcludeTrailingBackslash(folder_))), before_(FilesIn(folder_)) {}

TNewFiles::~TNewFiles() {
  for (const std::string& file : Names()) ListedEntry::Delete(folder_, file);
  if (!wasThere_) RemoveDirectoryW(Widen(ExcludeTrailingBackslash(folder_)).c_str());
}

std::vector<std::string> TNewFiles::Names() const {
  std::vector<std::string> files;
  for (const std::string& f : FilesIn(folder_))
    if (!before_.count(f)) files.push_back(f);
  return files;
}

std::string ReadText(HKEY root, const std::string& key, const std::string& name) {
  TRegistry reg;
  reg.RootKey = root;
  return reg.OpenKeyReadOnly(key) && reg.ValueExists(name) ? reg.ReadString(name) : "<none>";
}

}  // namespace browser_test
