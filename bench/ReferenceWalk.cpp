#include "ReferenceWalk.h"

#include <climits>
#include <string>
#include <vector>

#include <windows.h>

#include "app/MainUnitSections.h"
#include "framework/Strings.h"
#include "scan/SystemSoftWareSettingUnit.h"
#include "scan/UserSoftWareSettings.h"

namespace ReferenceWalk {

namespace {

constexpr int AllLevels = INT_MAX;

// How a walk treats one subkey: left out, its values read but its subkeys not walked, or walked.
enum class TVisit { Skip, ValuesOnly, Full };
using TRule = std::function<TVisit(const std::string& childPath, const std::string& name)>;

TVisit WalkEverything(const std::string&, const std::string&) { return TVisit::Full; }

// Gathers the path a text names, when the walk gathers paths.
void NotePath(TWalkCounts& counts, const std::string& text) {
  auto named = counts.Named->find(text);
  if (named != counts.Named->end()) counts.Paths.insert(named->second);
}

// One value read by a walk that gathers paths: its data when it is text, its name where the
// section judges names.
void NoteValue(TWalkCounts& counts, const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data,
               DWORD size) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
    size_t length = size / sizeof(wchar_t);
    while (length > 0 && text[length - 1] == L'\0') --length;
    NotePath(counts, Narrow(text, length));
  }
  if (counts.NamesNamePaths) NotePath(counts, Narrow(name, nameLength));
}

// Reads every value of an open key (name, type and data in one call each), then walks `levels`
// levels of its subkeys, each opened once relative to its parent.
void WalkOpenKey(HKEY key, const std::string& path, int levels, const TRule& rule, TWalkCounts& counts) {
  DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxValueName,
                       &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<wchar_t> name(std::max(maxValueName, maxSubkey) + 2);
  std::vector<BYTE> data(maxData + 2);
  for (DWORD i = 0; i < values; ++i) {
    DWORD nameLen = (DWORD)name.size(), dataLen = (DWORD)data.size(), type = 0;
    LONG rc = RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
    if (rc == ERROR_MORE_DATA && data.size() < 64 * 1024 * 1024) {   // grew since the count was taken
      name.resize(32768);
      data.resize(std::max<size_t>(dataLen, data.size() * 2));
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    ++counts.Values;
    if (counts.Named != nullptr) NoteValue(counts, name.data(), nameLen, type, data.data(), dataLen);
  }
  if (levels == 0) return;
  for (DWORD i = 0; i < subkeys; ++i) {
    wchar_t subkey[1024];
    DWORD len = 1000;
    if (RegEnumKeyExW(key, i, subkey, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    std::string childName = Narrow(subkey, len);
    std::string childPath = path.empty() ? childName : path + "\\" + childName;
    TVisit visit = rule(childPath, childName);
    if (visit == TVisit::Skip) continue;
    HKEY child;
    if (RegOpenKeyExW(key, subkey, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    ++counts.Keys;
    WalkOpenKey(child, childPath, visit == TVisit::ValuesOnly ? 0 : levels - 1, rule, counts);
    RegCloseKey(child);
  }
}

void WalkKey(HKEY root, const std::string& path, int levels, const TRule& rule, TWalkCounts& counts) {
  HKEY key;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  ++counts.Keys;
  WalkOpenKey(key, path, levels, rule, counts);
  RegCloseKey(key);
}

void ReadValues(HKEY root, const std::string& path, TWalkCounts& counts) {
  WalkKey(root, path, 0, WalkEverything, counts);
}

// The same for a key whose value names the section judges as paths too.
void ReadNamingValues(HKEY root, const std::string& path, TWalkCounts& counts) {
  counts.NamesNamePaths = true;
  ReadValues(root, path, counts);
  counts.NamesNamePaths = false;
}

// The subkeys a software-settings walk leaves out or does not descend into.
TRule SettingsRule(const SystemSoftWareSettingUnit::TSettingsWalk& walk) {
  std::vector<std::string> skip;
  for (const std::string& t : walk.SkipTexts) skip.push_back(AnsiUpperCase(t));
  bool systemWalk = walk.SkipInstallerAndAppPaths;
  return [skip, systemWalk](const std::string& childPath, const std::string& name) {
    std::string upper = AnsiUpperCase(childPath);
    if (systemWalk && (name == "App Paths" ||
                       upper.find("SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\INSTALLER") != std::string::npos))
      return TVisit::Skip;
    for (const std::string& t : skip)
      if (upper.find(t) != std::string::npos) return TVisit::ValuesOnly;
    return TVisit::Full;
  };
}

// The extension keys at the top of HKEY_CLASSES_ROOT.
void WalkExtensions(TWalkCounts& counts) {
  WalkKey(HKEY_CLASSES_ROOT, "", 1, [](const std::string&, const std::string& name) {
    return !name.empty() && name[0] == '.' ? TVisit::ValuesOnly : TVisit::Skip;
  }, counts);
}

// The type-library key of every class identifier.
void WalkClassTypeLibs(TWalkCounts& counts) {
  HKEY clsid;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &clsid) != ERROR_SUCCESS) return;
  wchar_t id[1024];
  for (DWORD i = 0;; ++i) {
    DWORD len = 1000;
    if (RegEnumKeyExW(clsid, i, id, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    WalkKey(clsid, Narrow(id, len) + "\\TypeLib", 0, WalkEverything, counts);
  }
  RegCloseKey(clsid);
}

bool IsWalkedFolder(DWORD attributes) {
  switch (attributes) {
    case 0x10: case 0x13: case 0x16:
      return true;
    default:
      return false;
  }
}

void ReadWholeFile(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  char buf[4096];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) {
  }
  CloseHandle(h);
}

// Lists a folder and its subfolders (leaving out recent-document folders, as the shortcut scan
// does) and reads every shortcut file.
void WalkFolder(const std::wstring& folder, TWalkCounts& counts) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring full = folder + L"\\" + name;
    std::wstring upper = full;
    CharUpperBuffW(upper.data(), (DWORD)upper.size());
    if (upper.find(L"RECENT") != std::wstring::npos) continue;
    ++counts.Files;
    if (IsWalkedFolder(entry.dwFileAttributes))
      WalkFolder(full, counts);
    else if (name.size() > 4 && name.compare(name.size() - 4, 4, L".lnk") == 0) {
      ReadWholeFile(full);
      if (counts.Named != nullptr) NotePath(counts, Narrow(full));
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

void WalkFixedDrives(TWalkCounts& counts) {
  for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
    std::wstring drive{letter, L':'};
    if (GetDriveTypeW((drive + L"\\").c_str()) == DRIVE_FIXED) WalkFolder(drive, counts);
  }
}

std::array<TSectionWalk, 17> BuildWalks() {
  const MainUnit::TSectionTable& t = MainUnit::Sections();
  const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
  const TRule systemRule = SettingsRule(SystemSoftWareSettingUnit::SystemWalk);
  const TRule userRule = SettingsRule(UserSoftWareSettings::UserWalk);
  return {{
      [](TWalkCounts& c) {   // COM entries: all of HKEY_CLASSES_ROOT but AppID, then the type libraries
        WalkKey(HKEY_CLASSES_ROOT, "", AllLevels, [](const std::string&, const std::string& name) {
          return name == "AppID" ? TVisit::Skip : TVisit::Full;
        }, c);
        WalkClassTypeLibs(c);
      },
      [&t](TWalkCounts& c) { WalkKey(t[1].Root, t[1].KeyPath, 1, WalkEverything, c); },
      [](TWalkCounts& c) {   // empty keys: all of HKEY_USERS but .DEFAULT
        WalkKey(HKEY_USERS, "", AllLevels, [](const std::string& path, const std::string&) {
          return SameText(path, ".DEFAULT") ? TVisit::Skip : TVisit::Full;
        }, c);
      },
      WalkExtensions,
      [&t](TWalkCounts& c) { ReadValues(t[4].Root, t[4].KeyPath, c); },
      [](TWalkCounts& c) {
        ReadNamingValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help", c);
        ReadNamingValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Html Help", c);
      },
      [explorer](TWalkCounts& c) {
        WalkExtensions(c);
        WalkKey(HKEY_CURRENT_USER, explorer + "\\FileExts", 2, WalkEverything, c);
      },
      WalkFixedDrives,
      [&t, explorer](TWalkCounts& c) {
        WalkKey(t[8].Root, t[8].KeyPath, 1, WalkEverything, c);
        ReadValues(HKEY_CURRENT_USER, explorer + "\\RunMRU", c);
      },
      [&t](TWalkCounts& c) { ReadNamingValues(t[9].Root, t[9].KeyPath, c); },
      [&t](TWalkCounts& c) { ReadValues(t[10].Root, t[10].KeyPath, c); },
      [&t](TWalkCounts& c) { WalkKey(t[11].Root, t[11].KeyPath, 1, WalkEverything, c); },
      [&t](TWalkCounts& c) {
        ReadValues(t[12].Root, t[12].KeyPath, c);
        WalkKey(t[12].Root, t[12].KeyPath + "\\Start Menu\\Programs", 1, WalkEverything, c);
      },
      [](TWalkCounts&) {},
      [systemRule](TWalkCounts& c) {
        WalkKey(HKEY_LOCAL_MACHINE, "", AllLevels, systemRule, c);
        WalkKey(HKEY_USERS, "", AllLevels, systemRule, c);
      },
      [&t](TWalkCounts& c) { WalkKey(t[15].Root, t[15].KeyPath, 1, WalkEverything, c); },
      [userRule](TWalkCounts& c) { WalkKey(HKEY_CURRENT_USER, "", AllLevels, userRule, c); },
  }};
}

}  // namespace

const std::array<TSectionWalk, 17>& SectionWalks() {
  static const std::array<TSectionWalk, 17> walks = BuildWalks();
  return walks;
}

void LookUp(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) GetFileAttributesW(Widen(path).c_str());
}

}  // namespace ReferenceWalk
