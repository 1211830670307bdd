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

  void WriteDword(const char* name, DWORD value = 0) { Write(name, REG_DWORD, &value, sizeof value); }
  void WriteZeroBytes(const char* name) {
    const uint8_t zeros[4] = {0, 0, 0, 0};
    Write(name, REG_BINARY, zeros, sizeof zeros);
  }
  void WriteString(const char* name, const std::string& text) {
    std::wstring w = Widen(text);
    Write(name, REG_SZ, w.c_str(), DWORD((w.size() + 1) * sizeof(wchar_t)));
  }
  void WriteZeroDwords(std::initializer_list<const char*> names) {
    for (const char* name : names) WriteDword(name);
  }

  void DeleteValue(const std::string& name) {
    if (key_ && Refused(RegDeleteValueW(key_->Get(), Widen(name).c_str()))) refused_ = true;
  }
  // Never with an empty name: that would be the open key itself.
  void DeleteSubkey(const std::string& name) {
    if (key_ && !name.empty() && Refused(SHDeleteKeyW(key_->Get(), Widen(name).c_str()))) refused_ = true;
  }

  // The open key's values (names listed before anything is deleted).
  std::vector<std::pair<std::string, TRegValue>> Values() const {
    std::vector<std::pair<std::string, TRegValue>> values;
    if (!key_) return values;
    TValueReader reader(key_->Get());
    std::string name;
    TRegValue value;
    while (reader.Next(name, value)) values.emplace_back(name, value);
    return values;
  }
  std::vector<std::string> ValueNames() const { return key_ ? EnumValueNames(key_->Get()) : std::vector<std::string>{}; }
  std::vector<std::string> SubkeyNames() const { return key_ ? EnumKeyNames(key_->Get()) : std::vector<std::string>{}; }
  bool HasValue(const std::string& name) const {
    return key_ && RegQueryValueExW(key_->Get(), Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }

  void Fail() { refused_ = true; }
  bool Succeeded() const { return !refused_; }

 private:
  static bool Refused(LONG rc) { return rc != ERROR_SUCCESS && !Missing(rc); }
  void Write(const char* name, DWORD type, const void* data, DWORD size) {
    if (!key_) return;
    if (SetRegistryValue(key_->Get(), Widen(name).c_str(), type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
      refused_ = true;
  }

  std::unique_ptr<TRegKeyHandle> key_;
  bool refused_ = false;
};

bool ZeroDwords(HKEY root, const char* path, std::initializer_list<const char*> names) {
  TActionWork work;
  if (work.Open(root, path)) work.WriteZeroDwords(names);
  return work.Succeeded();
}

bool DeleteEveryValue(HKEY root, const char* path) {
  TActionWork work;
  if (work.Open(root, path))
    for (const std::string& name : work.ValueNames()) work.DeleteValue(name);
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
  std::string startPage = ReadStartPage();
  if (startPage.empty()) return true;   // an empty text would match every entry
  TActionWork work;
  if (!work.Open(HKEY_LOCAL_MACHINE, MachineRunKey, false)) return work.Succeeded();
  if (work.HasValue(startPage)) {
    work.DeleteValue(startPage);
    return work.Succeeded();
  }
  for (const auto& [name, value] : work.Values())
    if (HoldsText(value, startPage)) work.DeleteValue(name);
  return work.Succeeded();
}

std::string GetTempDriveRoot() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  if (n < 3 || n > MAX_PATH) return {};
  std::string root = Narrow(buf, 3);
  return (root[1] == ':' && root[2] == '\\') ? root : std::string();
}

bool RemoveRegeditRunEntries() {
  TActionWork work;
  if (!work.Open(HKEY_LOCAL_MACHINE, MachineRunKey, false)) return work.Succeeded();
  for (const auto& [name, value] : work.Values())
    if (StartsRegedit(value)) work.DeleteValue(name);
  return work.Succeeded();
}

bool RepairHomePageAt(const std::string& driveRoot) {
  bool ok = RemoveStartPageRunEntries();
  TActionWork work;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    if (!work.Open(root, IEMainKey)) continue;
    work.WriteString("start page", "about:blank");
    work.WriteString("Window Title", "Microsoft Internet Explorer");
  }
  if (work.Open(HKEY_LOCAL_MACHINE, IEMainKey))
    for (const char* name : {"Default_Page_URL", "Default_Search_URL", "Search Page"}) work.WriteString(name, "");
  if (work.Open(HKEY_LOCAL_MACHINE, MachineRunKey)) work.DeleteValue(kRegistryExe);
  DeleteRegistryExe(driveRoot, work);
  ok = work.Succeeded() && ok;
  return RemoveRegeditRunEntries() && ok;
}

bool RepairHomePage() { return RepairHomePageAt(GetTempDriveRoot()); }

// ---- actions 1 to 12 ----

bool RepairIEControl() {
  TActionWork work;
  if (work.Open(HKEY_LOCAL_MACHINE, kExplorerPolicies)) work.WriteZeroBytes("NoFolderOptions");
  if (work.Open(HKEY_USERS, kDefaultControlPanel)) work.WriteDword("homepage");
  return work.Succeeded();
}

bool EnableRegistryTools() { return ZeroDwords(HKEY_CURRENT_USER, kSystemPolicies, {"DisableRegistryTools"}); }

bool RepairSearchEngine() {
  TActionWork work;
  if (work.Open(HKEY_LOCAL_MACHINE, kSearchKey)) {
    work.WriteString("CustomizeSearch", SearchAssistantUrl);
    work.WriteString("SearchAssistant", SearchAssistantUrl);
  }
  return work.Succeeded();
}

bool CancelMenuRestrictions() {
  bool user = ZeroDwords(HKEY_CURRENT_USER, kRestrictions,
                         {"NoViewSource", "NoBrowserContextMenu", "NoBrowserClose", "NoBrowserOptions",
                          "NoBrowserSaveAs", "NoFavorites", "NoFileNew", "NoFileOpen", "NoFindFiles",
                          "NoSelectDownloadDir", "NoTheaterMode", "NoAddressBar", "NoToolBar", "NoLinksBar"});
  bool defaults = ZeroDwords(HKEY_USERS, kDefaultRestrictions, {"NoViewSource", "NoBrowserContextMenu"});
  return user && defaults;
}

bool EnableRightButton() { return ZeroDwords(HKEY_CURRENT_USER, kRestrictions, {"NoBrowserContextMenu"}); }

bool RestoreDesktopIcons() { return ZeroDwords(HKEY_CURRENT_USER, kExplorerPolicies, {"NoDesktop"}); }

bool EnableOptionCard() {
  TActionWork work;
  if (work.Open(HKEY_CURRENT_USER, kExplorerPolicies)) work.WriteZeroBytes("NoFolderOptions");
  if (work.Open(HKEY_CURRENT_USER, kExplorerPolicies)) work.WriteDword("RestrictRun");
  return work.Succeeded();
}

bool RestoreProgramMenu() {
  return ZeroDwords(HKEY_USERS, kDefaultExplorerPolicies,
                    {"NoRun", "NoLogOff", "NoFind", "NoClose", "NoSetFolders", "NoFavoritesMenu", "NoStartBanner"});
}

bool EnableControlPanel() {
  return ZeroDwords(HKEY_CURRENT_USER, kSystemPolicies,
                    {"NoSecCPL", "NoDispCPL", "NoDispBackgroundPage", "NoDispScrSavPage", "NoDispAppearancePage",
                     "NoDispSettingsPage", "NoDevMgrPage", "NoConfigPage", "NoVirtMemPage", "NoFileSysPage",
                     "NoNetSetup", "NoNetSetupIDPage", "NoNetSetupSecurityPage", "NoWorkgroupContents",
                     "NoEntireNetwork", "NoFileSharingControl"});
}

bool RemoveContextMenuValues() { return DeleteEveryValue(HKEY_CURRENT_USER, MenuExtKey); }

bool DeleteTypedUrls() { return DeleteEveryValue(HKEY_CURRENT_USER, kTypedUrls); }

bool RepairLinksToolbarName() {
  TActionWork work;
  if (work.Open(HKEY_LOCAL_MACHINE, kExtensions))
    for (const std::string& name : work.SubkeyNames()) work.DeleteSubkey(name);
  return work.Succeeded();
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
  if (work.Open(root, parent)) work.DeleteSubkey(name);
  return work.Succeeded();
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
  if (work.Open(root, key)) work.DeleteValue(valueName);
  return work.Succeeded();
}

bool DeleteExplorerBar(const std::string& keyPath, const std::string& name) {
  return DeleteSubkeyOf(RootOf(keyPath), UserExplorerBarsKey, name);
}

}  // namespace IERepairItemUnit
