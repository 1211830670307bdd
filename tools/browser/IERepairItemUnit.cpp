#include "IERepairItemUnit.h"

#include <shlwapi.h>

#include <initializer_list>
#include <memory>
#include <utility>

#include "../../framework/Registry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace IERepairItemUnit {

TSetRegistryValue SetRegistryValue = [](HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
  return RegSetValueExW(key, name, 0, type, data, size);
};

namespace {

const char* const kExplorerPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char* const kSystemPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char* const kDefaultExplorerPolicies = ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char* const kRestrictions = "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
const char* const kDefaultRestrictions = ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
// where the browser reads its control-panel restrictions
const char* const kDefaultControlPanel = ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
const char* const kSearchKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Search";
const char* const kTypedUrls = "Software\\Microsoft\\Internet Explorer\\TypedUrls";
const char* const kExtensions = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char* const kRegistryExe = "registry.exe";

enum TRow {
  kHomePageRow = 0, kIEControlRow, kRegistryToolsRow, kSearchEngineRow, kMenuRestrictionsRow, kRightButtonRow,
  kDesktopIconRow, kOptionCardRow, kProgramMenuRow, kControlPanelRow, kContextMenuRow, kTypedUrlsRow, kLinksToolbarRow
};

enum class TWriteKind { ZeroDword, ZeroBytes, Text };

// Values an action sets, all in one key and of one kind; the key is created when missing.
struct TValueWrites {
  int Row;
  HKEY Root;
  std::string Key;
  TWriteKind Kind;
  std::string Text;   // what a Text write sets
  std::vector<std::string> Names;
};

// Every value the actions write, in the order each action writes them.
const std::vector<TValueWrites>& ValueWrites() {
  static const std::vector<TValueWrites> writes = {
      {kHomePageRow, HKEY_LOCAL_MACHINE, IEMainKey, TWriteKind::Text, "about:blank", {"start page"}},
      {kHomePageRow, HKEY_LOCAL_MACHINE, IEMainKey, TWriteKind::Text, "Microsoft Internet Explorer", {"Window Title"}},
      {kHomePageRow, HKEY_CURRENT_USER, IEMainKey, TWriteKind::Text, "about:blank", {"start page"}},
      {kHomePageRow, HKEY_CURRENT_USER, IEMainKey, TWriteKind::Text, "Microsoft Internet Explorer", {"Window Title"}},
      {kHomePageRow, HKEY_LOCAL_MACHINE, IEMainKey, TWriteKind::Text, "",
       {"Default_Page_URL", "Default_Search_URL", "Search Page"}},
      {kIEControlRow, HKEY_LOCAL_MACHINE, kExplorerPolicies, TWriteKind::ZeroBytes, "", {"NoFolderOptions"}},
      {kIEControlRow, HKEY_USERS, kDefaultControlPanel, TWriteKind::ZeroDword, "", {"homepage"}},
      {kRegistryToolsRow, HKEY_CURRENT_USER, kSystemPolicies, TWriteKind::ZeroDword, "", {"DisableRegistryTools"}},
      {kSearchEngineRow, HKEY_LOCAL_MACHINE, kSearchKey, TWriteKind::Text, SearchAssistantUrl,
       {"CustomizeSearch", "SearchAssistant"}},
      {kMenuRestrictionsRow, HKEY_CURRENT_USER, kRestrictions, TWriteKind::ZeroDword, "",
       {"NoViewSource", "NoBrowserContextMenu", "NoBrowserClose", "NoBrowserOptions", "NoBrowserSaveAs", "NoFavorites",
        "NoFileNew", "NoFileOpen", "NoFindFiles", "NoSelectDownloadDir", "NoTheaterMode", "NoAddressBar", "NoToolBar",
        "NoLinksBar"}},
      {kMenuRestrictionsRow, HKEY_USERS, kDefaultRestrictions, TWriteKind::ZeroDword, "",
       {"NoViewSource", "NoBrowserContextMenu"}},
      {kRightButtonRow, HKEY_CURRENT_USER, kRestrictions, TWriteKind::ZeroDword, "", {"NoBrowserContextMenu"}},
      {kDesktopIconRow, HKEY_CURRENT_USER, kExplorerPolicies, TWriteKind::ZeroDword, "", {"NoDesktop"}},
      {kOptionCardRow, HKEY_CURRENT_USER, kExplorerPolicies, TWriteKind::ZeroBytes, "", {"NoFolderOptions"}},
      {kOptionCardRow, HKEY_CURRENT_USER, kExplorerPolicies, TWriteKind::ZeroDword, "", {"RestrictRun"}},
      {kProgramMenuRow, HKEY_USERS, kDefaultExplorerPolicies, TWriteKind::ZeroDword, "",
       {"NoRun", "NoLogOff", "NoFind", "NoClose", "NoSetFolders", "NoFavoritesMenu", "NoStartBanner"}},
      {kControlPanelRow, HKEY_CURRENT_USER, kSystemPolicies, TWriteKind::ZeroDword, "",
       {"NoSecCPL", "NoDispCPL", "NoDispBackgroundPage", "NoDispScrSavPage", "NoDispAppearancePage",
        "NoDispSettingsPage", "NoDevMgrPage", "NoConfigPage", "NoVirtMemPage", "NoFileSysPage", "NoNetSetup",
        "NoNetSetupIDPage", "NoNetSetupSecurityPage", "NoWorkgroupContents", "NoEntireNetwork",
        "NoFileSharingControl"}},
  };
  return writes;
}

// A key an action empties: every value (subkeys stay), or every subkey with all below it.
struct TClearedKey {
  int Row;
  HKEY Root;
  const char* Key;
  bool Subkeys;
};
const TClearedKey kClearedKeys[] = {
    {kContextMenuRow, HKEY_CURRENT_USER, MenuExtKey, false},
    {kTypedUrlsRow, HKEY_CURRENT_USER, kTypedUrls, false},
    {kLinksToolbarRow, HKEY_LOCAL_MACHINE, kExtensions, true},
};

bool Missing(LONG rc) { return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND; }

// One action's registry work: a key opened for writing at a time, and whether anything the
// action had to do was refused. Work on a key that could not be opened is skipped.
class TActionWork {
 public:
  // Opens root\path, creating it when missing unless create is false. A key that is missing and
  // not to be created is no failure.
  bool Open(HKEY root, const std::string& path, bool create = true) {
    key_.reset();
    HKEY key = nullptr;
    LONG rc = create ? RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, &key, nullptr)
                     : RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_SUCCESS) {
      key_ = std::make_unique<TRegKeyHandle>(key);
      return true;
    }
    if (create || !Missing(rc)) refused_ = true;
    return false;
  }

  void Write(const TValueWrites& writes) {
    for (const std::string& name : writes.Names) {
      switch (writes.Kind) {
        case TWriteKind::ZeroDword: {
          DWORD zero = 0;
          Write(name, REG_DWORD, &zero, sizeof zero);
          break;
        }
        case TWriteKind::ZeroBytes: {
          const uint8_t zeros[4] = {0, 0, 0, 0};
          Write(name, REG_BINARY, zeros, sizeof zeros);
          break;
        }
        case TWriteKind::Text: {
          std::wstring w = Widen(writes.Text);
          Write(name, REG_SZ, w.c_str(), DWORD((w.size() + 1) * sizeof(wchar_t)));
          break;
        }
      }
    }
  }

  // True when the value was there and is gone.
  bool DeleteValue(const std::string& name) {
    if (!key_) return false;
    LONG rc = RegDeleteValueW(key_->Get(), Widen(name).c_str());
    if (Refused(rc)) refused_ = true;
    return rc == ERROR_SUCCESS;
  }
  // True when the subkey was there and is gone. Never with an empty name: that would be the open
  // key itself.
  bool DeleteSubkey(const std::string& name) {
    if (!key_ || name.empty()) return false;
    LONG rc = SHDeleteKeyW(key_->Get(), Widen(name).c_str());
    if (Refused(rc)) refused_ = true;
    return rc == ERROR_SUCCESS;
  }

  HKEY Key() const { return key_ ? key_->Get() : nullptr; }
  void Fail() { refused_ = true; }
  bool Succeeded() const { return !refused_; }

 private:
  static bool Refused(LONG rc) { return rc != ERROR_SUCCESS && !Missing(rc); }
  void Write(const std::string& name, DWORD type, const void* data, DWORD size) {
    if (!key_) return;
    if (SetRegistryValue(key_->Get(), Widen(name).c_str(), type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
      refused_ = true;
  }

  std::unique_ptr<TRegKeyHandle> key_;
  bool refused_ = false;
};

// The open key's values (names listed before anything is deleted).
std::vector<std::pair<std::string, TRegValue>> ValuesOf(HKEY key) {
  std::vector<std::pair<std::string, TRegValue>> values;
  if (key == nullptr) return values;
  TValueReader reader(key);
  std::string name;
  TRegValue value;
  while (reader.Next(name, value)) values.emplace_back(name, value);
  return values;
}

bool HasValue(HKEY key, const std::string& name) {
  return key != nullptr && RegQueryValueExW(key, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The writes of one action, each key opened (created) in turn.
bool ApplyWrites(int row) {
  TActionWork work;
  for (const TValueWrites& writes : ValueWrites())
    if (writes.Row == row && work.Open(writes.Root, writes.Key)) work.Write(writes);
  return work.Succeeded();
}

// What an emptied key now holds: its value names, or its subkey names.
std::vector<std::string> ClearedNames(HKEY key, bool subkeys) {
  if (key == nullptr) return {};
  return subkeys ? EnumKeyNames(key) : EnumValueNames(key);
}

// Empties the keys of one action (names listed first, then deleted one by one).
bool ClearKeys(int row) {
  TActionWork work;
  for (const TClearedKey& cleared : kClearedKeys) {
    if (cleared.Row != row || !work.Open(cleared.Root, cleared.Key)) continue;
    for (const std::string& name : ClearedNames(work.Key(), cleared.Subkeys)) {
      if (cleared.Subkeys) work.DeleteSubkey(name);
      else work.DeleteValue(name);
    }
  }
  return work.Succeeded();
}

// A start-page text is held by the data of a text value.
bool HoldsText(const TRegValue& value, const std::string& text) {
  return IsTextValue(value) && RegValueText(value).find(text) != std::string::npos;
}

bool StartsRegedit(const TRegValue& value) {
  if (!IsTextValue(value)) return false;
  std::string data = AnsiUpperCase(RegValueText(value));
  return data.find("REGEDIT -S") != std::string::npos || data.find("REGEDIT /S") != std::string::npos;
}

std::string ReadStartPage() {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  std::string text;
  if (reg.OpenKeyReadOnly(IEMainKey)) reg.ReadText("start page", text);
  return text;
}

// The Run entries that start the start page: the value named as the start page, or else every
// text value whose data holds it (case-sensitive). None without a start page: an empty text
// would match every entry.
std::vector<std::string> StartPageRunEntries(HKEY run, const std::string& startPage) {
  if (run == nullptr || startPage.empty()) return {};
  if (HasValue(run, startPage)) return {startPage};
  std::vector<std::string> names;
  for (const auto& [name, value] : ValuesOf(run))
    if (HoldsText(value, startPage)) names.push_back(name);
  return names;
}

// The Run entries that import a registry script silently.
std::vector<std::string> RegeditRunEntries(HKEY run) {
  std::vector<std::string> names;
  for (const auto& [name, value] : ValuesOf(run))
    if (StartsRegedit(value)) names.push_back(name);
  return names;
}

// Deletes the named values of the machine Run key, which is never created here.
bool DeleteRunEntries(std::vector<std::string> (*select)(HKEY run)) {
  TActionWork work;
  if (!work.Open(HKEY_LOCAL_MACHINE, MachineRunKey, false)) return work.Succeeded();
  for (const std::string& name : select(work.Key())) work.DeleteValue(name);
  return work.Succeeded();
}

// The file the hijacker leaves at "<drive>Program Files\registry.exe"; never relative to the
// current folder (the temporary folder's path may not begin with a drive).
void DeleteRegistryExe(const std::string& driveRoot, TActionWork& work) {
  bool absolute = driveRoot.size() >= 3 && driveRoot[1] == ':' && driveRoot[2] == '\\' && driveRoot.back() == '\\';
  if (!absolute) return;
  std::wstring file = Widen(driveRoot + "Program Files\\" + kRegistryExe);
  if (!DeleteFileW(file.c_str()) && GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) work.Fail();
}

}  // namespace

// ---- action 0 ----

bool RemoveStartPageRunEntries() {
  return DeleteRunEntries([](HKEY run) { return StartPageRunEntries(run, ReadStartPage()); });
}

std::string GetTempDriveRoot() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  if (n < 3 || n > MAX_PATH) return {};
  std::string root = Narrow(buf, 3);
  return (root[1] == ':' && root[2] == '\\') ? root : std::string();
}

bool RemoveRegeditRunEntries() { return DeleteRunEntries(RegeditRunEntries); }

bool RepairHomePageAt(const std::string& driveRoot) {
  bool ok = RemoveStartPageRunEntries();
  ok = ApplyWrites(kHomePageRow) && ok;
  TActionWork work;
  if (work.Open(HKEY_LOCAL_MACHINE, MachineRunKey)) work.DeleteValue(kRegistryExe);
  DeleteRegistryExe(driveRoot, work);
  ok = work.Succeeded() && ok;
  return RemoveRegeditRunEntries() && ok;
}

bool RepairHomePage() { return RepairHomePageAt(GetTempDriveRoot()); }

// ---- actions 1 to 12 ----

bool RepairIEControl() { return ApplyWrites(kIEControlRow); }
bool EnableRegistryTools() { return ApplyWrites(kRegistryToolsRow); }
bool RepairSearchEngine() { return ApplyWrites(kSearchEngineRow); }
bool CancelMenuRestrictions() { return ApplyWrites(kMenuRestrictionsRow); }
bool EnableRightButton() { return ApplyWrites(kRightButtonRow); }
bool RestoreDesktopIcons() { return ApplyWrites(kDesktopIconRow); }
bool EnableOptionCard() { return ApplyWrites(kOptionCardRow); }
bool RestoreProgramMenu() { return ApplyWrites(kProgramMenuRow); }
bool EnableControlPanel() { return ApplyWrites(kControlPanelRow); }
bool RemoveContextMenuValues() { return ClearKeys(kContextMenuRow); }
bool DeleteTypedUrls() { return ClearKeys(kTypedUrlsRow); }
bool RepairLinksToolbarName() { return ClearKeys(kLinksToolbarRow); }

// ---- what the actions change ----

namespace {

void AddRunTargets(const std::vector<std::string>& names, std::vector<TRepairTarget>& targets) {
  for (const std::string& name : names) targets.push_back({HKEY_LOCAL_MACHINE, MachineRunKey, name});
}

// Action 0's deletions in the machine Run key, as they would be chosen now.
void AddRunEntryTargets(std::vector<TRepairTarget>& targets) {
  TRegKeyHandle run;
  bool open = run.Open(HKEY_LOCAL_MACHINE, MachineRunKey, KEY_READ);
  if (open) AddRunTargets(StartPageRunEntries(run.Get(), ReadStartPage()), targets);
  AddRunTargets({kRegistryExe}, targets);
  if (open) AddRunTargets(RegeditRunEntries(run.Get()), targets);
}

}  // namespace

std::vector<TRepairTarget> RepairTargets(int row) {
  std::vector<TRepairTarget> targets;
  for (const TValueWrites& writes : ValueWrites())
    if (writes.Row == row)
      for (const std::string& name : writes.Names) targets.push_back({writes.Root, writes.Key, name});
  for (const TClearedKey& cleared : kClearedKeys) {
    if (cleared.Row != row) continue;
    TRegKeyHandle key;
    if (!key.Open(cleared.Root, cleared.Key, KEY_READ)) continue;
    for (const std::string& name : ClearedNames(key.Get(), cleared.Subkeys)) {
      if (cleared.Subkeys)
        targets.push_back({.Root = cleared.Root, .Key = std::string(cleared.Key) + "\\" + name, .Subtree = true});
      else
        targets.push_back({cleared.Root, cleared.Key, name});
    }
  }
  if (row == kHomePageRow) AddRunEntryTargets(targets);
  return targets;
}

// ---- browser plug-ins ----

namespace {

// The unnamed value of HKEY_CLASSES_ROOT\CLSID\<id>: the class's display name; "" when the class
// is not registered.
std::string ClassDisplayName(const std::string& classId) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CLASSES_ROOT;
  std::string text;
  if (!classId.empty() && reg.OpenKeyReadOnly("CLSID\\" + classId)) reg.ReadText("", text);
  return text;
}

void AddPlugin(TRegistryContents& list, const TContent& plugin) { list.GetItem(list.Add()).Content = plugin; }

std::string FullKeyPath(HKEY root, const std::string& key) { return PublicFunctionUnit::RootKeyName(root) + "\\" + key; }

void ListExplorerBarsOf(HKEY root, const char* key, TRegistryContents& list) {
  TSubkeyWalker walker(root, key);
  for (DWORD i = 0; i < walker.Count(); ++i) {
    std::string name;
    if (!walker.Name(i, name)) continue;
    AddPlugin(list, {.KeyPath = FullKeyPath(root, key) + "\\" + name,
                     .ShortName = name,
                     .Extra1 = ClassDisplayName(name),
                     .Extra2 = ExplorerBarKind});
  }
}

}  // namespace

void ListMenuExtensions(TRegistryContents& list) {
  TSubkeyWalker walker(HKEY_CURRENT_USER, MenuExtKey);
  for (DWORD i = 0; i < walker.Count(); ++i) {
    std::string name;
    if (!walker.Name(i, name)) continue;
    AddPlugin(list, {.KeyPath = FullKeyPath(HKEY_CURRENT_USER, MenuExtKey) + "\\" + name,
                     .Value = std::string(MenuExtKey) + "\\",
                     .Extra1 = name,
                     .Extra2 = MenuExtensionKind});
  }
}

std::string ToolbarDisplayText(const std::string& valueName, DWORD type, const std::vector<uint8_t>& data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::string text = RegValueText({type, data});
      return text.empty() ? ClassDisplayName(valueName) : text;
    }
    case REG_DWORD: {
      int32_t v = 0;
      if (data.size() >= 4) memcpy(&v, data.data(), 4);
      return Format("0x%08X(%d)", (unsigned)v, (int)v);
    }
    case REG_BINARY: {
      std::string text;
      for (size_t i = 0; i < data.size(); ++i) text += Format(i == 0 ? "%02X" : " %02X", (unsigned)data[i]);
      return text;
    }
    default:
      return {};
  }
}

void ListToolbars(TRegistryContents& list) {
  TRegKeyHandle key;
  if (!key.Open(HKEY_LOCAL_MACHINE, ToolbarKey)) return;
  TValueReader reader(key.Get());
  std::string name;
  TRegValue value;
  while (reader.Next(name, value))
    AddPlugin(list, {.KeyPath = FullKeyPath(HKEY_LOCAL_MACHINE, ToolbarKey),
                     .ShortName = "Toolbar",
                     .Value = name,
                     .Extra1 = ToolbarDisplayText(name, value.Type, value.Data),
                     .Extra2 = ToolbarKind});
}

void ListExplorerBars(TRegistryContents& list) {
  ListExplorerBarsOf(HKEY_CURRENT_USER, UserExplorerBarsKey, list);
  ListExplorerBarsOf(HKEY_LOCAL_MACHINE, MachineExplorerBarsKey, list);
}

namespace {

HKEY RootOf(const std::string& keyPath) {
  return PublicFunctionUnit::RootKeyFromName(keyPath.substr(0, keyPath.find('\\')));
}

std::string KeyOf(const std::string& keyPath) {
  size_t slash = keyPath.find('\\');
  return slash == std::string::npos ? std::string() : keyPath.substr(slash + 1);
}

bool DeleteSubkeyOf(HKEY root, const std::string& parent, const std::string& name) {
  if (root == nullptr || name.empty()) return false;   // never the parent key itself
  TActionWork work;
  return work.Open(root, parent, false) && work.DeleteSubkey(name);
}

}  // namespace

bool DeleteMenuExtension(const std::string& keyPath, const std::string& menuExtKey, const std::string& name) {
  return DeleteSubkeyOf(RootOf(keyPath), ExcludeTrailingBackslash(menuExtKey), name);
}

bool DeleteToolbarValue(const std::string& keyPath, const std::string& valueName) {
  HKEY root = RootOf(keyPath);
  std::string key = KeyOf(keyPath);
  if (root == nullptr || key.empty()) return false;
  TActionWork work;
  return work.Open(root, key, false) && work.DeleteValue(valueName);
}

bool DeleteExplorerBar(const std::string& keyPath, const std::string& name) {
  return DeleteSubkeyOf(RootOf(keyPath), UserExplorerBarsKey, name);
}

}  // namespace IERepairItemUnit
