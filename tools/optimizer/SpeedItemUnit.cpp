#include "SpeedItemUnit.h"

#include <optional>

#include "../../framework/Exceptions.h"
#include "../../framework/IniFiles.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"

namespace SpeedItemUnit {

std::string SpeedBackupFile;
TRegistryRefusal RefuseRegistryChange;

namespace {

// ---- the item table ----

enum class TKind { Dword, String };

// One value an apply step writes.
struct TSetting {
  const char* Name;
  TKind Kind;
  DWORD Number = 0;        // DWORD values
  const char* Text = "";   // string values
};

// One key an apply step opens, and what it writes there.
struct TApplyKey {
  HKEY Root;
  const char* Key;
  bool Existing;           // only written when the key exists; otherwise created
  std::vector<TSetting> Values;
};

// What the undo does when the file's section lacks the key: the older files' rules.
enum class TMissing { Error, Write, Delete };

// One "Fn" key of the item's section: where the value is read from, and written back to.
struct TSavedValue {
  HKEY Root;
  const char* Key;
  const char* Name;
  TKind Kind;
  TMissing Missing = TMissing::Write;
  const char* Fallback = "0";           // written when the key is missing (TMissing::Write)
  bool CreateForBackup = false;         // the backup opens the key with creation
  bool DropDwordFirst = false;          // a DWORD of the string's name is deleted before reading
  std::vector<HKEY> UndoRoots = {};     // empty: Root
};

enum class TUndo { None, FromSaved };

struct TTweakItem {
  const char* Section;
  std::vector<TApplyKey> Apply;
  std::vector<TSavedValue> Saved;       // F1, F2, ... in order
  TUndo Undo = TUndo::FromSaved;
  bool UndoExisting = false;            // the undo writes only into an existing key
  bool ConsumeKeys = false;             // the restore removes the item's keys afterwards
  const char* RecordedKey = nullptr;    // HKLM key whose existence the backup records as "F5"
  bool RemoveEmptyKey = false;          // the undo removes the key when nothing is left in it
};

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKCR = HKEY_CLASSES_ROOT;

const char* const kPrefetchKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\PrefetchParameters";
const char* const kMemoryKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const char* const kExplorerPolicyKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char* const kExplorerKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char* const kNameSpaceKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RemoteComputer\\NameSpace\\"
    "{D6277990-4C6A-11CF-8D87-00AA0060F5BF}";
const char* const kDnsCacheKey = "SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
const char* const kDesktopKey = "Control Panel\\Desktop";
const char* const kAviKey = "CLSID\\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}";

TSetting Dword(const char* name, DWORD value) { return {.Name = name, .Kind = TKind::Dword, .Number = value}; }
TSetting Text(const char* name, const char* value) { return {.Name = name, .Kind = TKind::String, .Text = value}; }

// A saved DWORD / string read from and written back to the same place, with the older files' rules.
TSavedValue SavedDword(HKEY root, const char* key, const char* name) { return {root, key, name, TKind::Dword}; }
TSavedValue SavedText(HKEY root, const char* key, const char* name) {
  return {.Root = root, .Key = key, .Name = name, .Kind = TKind::String, .Fallback = ""};
}
// As above, for the items whose undo wrote a fixed value (or removed the value) in older files.
TSavedValue FixedDword(HKEY root, const char* key, const char* name, const char* fixed) {
  return {.Root = root, .Key = key, .Name = name, .Kind = TKind::Dword, .Fallback = fixed};
}
TSavedValue Removed(HKEY root, const char* key, const char* name, TKind kind) {
  return {.Root = root, .Key = key, .Name = name, .Kind = kind, .Missing = TMissing::Delete};
}
TSavedValue Strict(TSavedValue value) {
  value.Missing = TMissing::Error;
  return value;
}
TSavedValue Created(TSavedValue value) {
  value.CreateForBackup = true;
  return value;
}

// Apply and undo routine names of each item are given beside its row.
const std::vector<TTweakItem>& Items() {
  static const std::vector<TTweakItem> items = {
      // 1 OptimizeStartSpeed / RestoreStartSpeed
      {.Section = "Machine speed is opened in the optimization",
       .Apply = {{HKLM, kPrefetchKey, false, {Dword("EnablePrefetcher", 1)}},
                 {HKLM, kExplorerKey, false, {Text("AlwaysUnloadDLL", "1")}}},
       .Saved = {Strict(SavedDword(HKLM, kPrefetchKey, "EnablePrefetcher")),
                 {.Root = HKLM, .Key = kExplorerKey, .Name = "AlwaysUnloadDLL", .Kind = TKind::String,
                  .Fallback = "", .DropDwordFirst = true}},
       .ConsumeKeys = true},
      // 2 OptimizeShutdownSpeed / RestoreShutdownSpeed
      {.Section = "Optimization shutdown speed",
       .Apply = {{HKLM, "SYSTEM\\CurrentControlSet\\Control", false, {Text("WaitToKillServiceTimeout", "500")}}},
       .Saved = {SavedText(HKLM, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout")},
       .ConsumeKeys = true},
      // 3 OptimizeNetworkSpeed / RestoreNetworkSpeed
      {.Section = "Optimize network speed",
       .Apply = {{HKLM, kNameSpaceKey, false, {}},
                 {HKLM, kDnsCacheKey, false,
                  {Dword("CacheHashTableBucketSize", 1), Dword("CacheHashTableSize", 384),
                   Dword("MaxCacheEntryTtlLimit", 64000), Dword("MaxSOACacheEntryTtlLimit", 301)}}},
       .Saved = {Strict(SavedDword(HKLM, kDnsCacheKey, "CacheHashTableBucketSize")),
                 Strict(SavedDword(HKLM, kDnsCacheKey, "CacheHashTableSize")),
                 Strict(SavedDword(HKLM, kDnsCacheKey, "MaxCacheEntryTtlLimit")),
                 Strict(SavedDword(HKLM, kDnsCacheKey, "MaxSOACacheEntryTtlLimit"))},
       .ConsumeKeys = true,
       .RecordedKey = kNameSpaceKey},
      // 4 (no apply) / RestoreIESpeed
      {.Section = "The IE optimizes speed",
       .Saved = {Created(Strict(SavedDword(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                           "MaxConnectionsPerServer"))),
                 Created(Strict(SavedDword(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                           "MaxConnectionsPer1_0Server")))},
       .ConsumeKeys = true},
      // 5 OptimizeMenuSpeed / RestoreMenuSpeed
      {.Section = "Quicken menu display speed",
       .Apply = {{HKCU, kDesktopKey, false, {Text("MenuShowDelay", "400")}}},
       .Saved = {Created(SavedText(HKCU, kDesktopKey, "MenuShowDelay"))},
       .ConsumeKeys = true},
      // 6 OptimizeHungApps / RestoreHungApps
      {.Section = "Optimize the system to the wrong handle",
       .Apply = {{HKCU, kDesktopKey, false,
                  {Text("AutoEndTasks", "1"), Text("HungAppTimeout", "200"), Text("WaitToKillAppTimeout", "1000")}}},
       .Saved = {Created(SavedText(HKCU, kDesktopKey, "AutoEndTasks")),
                 Created(SavedText(HKCU, kDesktopKey, "HungAppTimeout")),
                 Created(SavedText(HKCU, kDesktopKey, "WaitToKillAppTimeout"))},
       .ConsumeKeys = true},
      // 7 OptimizeIdleDiskLayout / RestoreIdleDiskLayout
      {.Section = "Optimize Hard Disk When Idle",
       .Apply = {{HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout", false,
                  {Dword("EnableAutoLayout", 1)}}},
       .Saved = {SavedDword(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout", "EnableAutoLayout")},
       .ConsumeKeys = true},
      // 8 OptimizeBootDefrag / RestoreBootDefrag
      {.Section = "Automatic Boot Disk Optimization",
       .Apply = {{HKLM, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", false, {Text("Enable", "N")}}},
       .Saved = {SavedText(HKLM, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable")},
       .ConsumeKeys = true},
      // 9 OptimizePrefetcher / RestorePrefetcher
      {.Section = "Optimize the Windows Prefetcher Service",
       .Apply = {{HKLM, kPrefetchKey, false, {Dword("EnablePrefetcher", 1)}}},
       .Saved = {SavedDword(HKLM, kPrefetchKey, "EnablePrefetcher")},
       .ConsumeKeys = true},
      // 10 OptimizeUnloadDlls / RestoreUnloadDlls (the key's unnamed value)
      {.Section = "Force Windows to Unload DLLs from Memory",
       .Apply = {{HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AlwaysUnloadDLL", false,
                  {Text("", "1")}}},
       .Saved = {SavedText(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AlwaysUnloadDLL", "")},
       .ConsumeKeys = true},
      // 11 OptimizeLargePages / RestoreLargePages
      {.Section = "Fix Problem with Athlon Hanging AGP Programs",
       .Apply = {{HKLM, kMemoryKey, false, {Dword("LargePageMinimum", 0xFFFFFFFF)}}},
       .Saved = {SavedDword(HKLM, kMemoryKey, "LargePageMinimum")},
       .ConsumeKeys = true},
      // 12 (no apply) / undone in the section restore
      {.Section = "Optimize the Windows Server Service",
       .Saved = {SavedDword(HKLM, "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\parameters", "size")},
       .ConsumeKeys = true},
      // 13 OptimizeLinkTracking / RestoreLinkTracking (HKCU first, then HKLM; the HKLM copy is saved)
      {.Section = "Disable Tracking of Broken Shortcut Links",
       .Apply = {{HKCU, kExplorerPolicyKey, false, {Dword("NoResolveTrack", 1)}},
                 {HKLM, kExplorerPolicyKey, false, {Dword("NoResolveTrack", 1)}}},
       .Saved = {{.Root = HKLM, .Key = kExplorerPolicyKey, .Name = "NoResolveTrack", .Kind = TKind::Dword,
                  .UndoRoots = {HKCU, HKLM}}},
       .ConsumeKeys = true},
      // 14 OptimizeTcpSettings / (no undo)
      {.Section = "Optimize the DefaultTTL Settings",
       .Apply = {{HKLM, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", false,
                  {Text("DefaultRcvWindow", "4288"), Text("DefaultTTL", "128")}}},
       .Saved = {SavedText(HKLM, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DefaultRcvWindow"),
                 SavedText(HKLM, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DefaultTTL")},
       .Undo = TUndo::None},
      // 15 (no apply) / undone in the section restore
      {.Section = "Optimize the System Cache Size",
       .Saved = {SavedDword(HKLM, kMemoryKey, "LargeSystemCache")},
       .ConsumeKeys = true},
      // 16 OptimizeBoardAndMemory / RestoreBoardAndMemory
      {.Section = "System Board and Memory Optimizations",
       .Apply = {{HKLM, "System\\CurrentControlSet\\Services\\VxD\\BIOS", true,
                  {Dword("PCIConcur", 1), Dword("FastDRAM", 1), Dword("AGPConcur", 1)}}},
       .Saved = {SavedDword(HKLM, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "PCIConcur"),
                 SavedDword(HKLM, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "FastDRAM"),
                 SavedDword(HKLM, "System\\CurrentControlSet\\Services\\VxD\\BIOS", "AGPConcur")},
       .UndoExisting = true,
       .ConsumeKeys = true},
      // 17 OptimizeAviFiles / RestoreAviFiles (only the value it wrote goes; the key only when empty)
      {.Section = "Optimize AVI Media Files",
       .Apply = {{HKCR, kAviKey, false, {Dword("LargeSystemCache", 1)}}},
       .Saved = {Removed(HKCR, kAviKey, "LargeSystemCache", TKind::Dword)},
       .ConsumeKeys = true,
       .RemoveEmptyKey = true},
      // 18 OptimizeVisualEffects / RestoreVisualEffects
      {.Section = "Best Vision Effect",
       .Apply = {{HKCU, "Control Panel\\Desktop\\WindowMetrics", false, {Text("MinAniMate", "0")}}},
       .Saved = {{.Root = HKCU, .Key = "Control Panel\\Desktop\\WindowMetrics", .Name = "MinAniMate",
                  .Kind = TKind::String, .Missing = TMissing::Delete, .CreateForBackup = true}}},
      // 19 OptimizeRecentDocs / RestoreRecentDocs
      {.Section = "Disable Recent File",
       .Apply = {{HKCU, kExplorerPolicyKey, false, {Dword("ClearRecentDocsOnExit", 1)}}},
       .Saved = {Created(FixedDword(HKCU, kExplorerPolicyKey, "ClearRecentDocsOnExit", "0"))}},
      // 20 OptimizeCommonGroups / RestoreCommonGroups
      {.Section = "Close Customized Menu",
       .Apply = {{HKCU, kExplorerPolicyKey, false, {Dword("NoCommonGroups", 1)}}},
       .Saved = {Created(FixedDword(HKCU, kExplorerPolicyKey, "NoCommonGroups", "0"))}},
      // 21 OptimizeStartMenuPaging / RestoreStartMenuPaging
      {.Section = "Multi-page in START",
       .Apply = {{HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Advanced", false,
                  {Text("StartMenuScrollPrograms", "false")}}},
       .Saved = {Removed(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Advanced",
                         "StartMenuScrollPrograms", TKind::String)}},
      // 22 OptimizeUdma66 / RestoreUdma66
      {.Section = "Enable Hardware Optimization",
       .Apply = {{HKLM, "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000",
                  true, {Dword("EnableUDMA66", 1)}}},
       .Saved = {FixedDword(HKLM,
                            "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000",
                            "EnableUDMA66", "0")},
       .UndoExisting = true},
      // 23 OptimizeNtfsLastAccess / (no undo)
      {.Section = "Optimize NTFS Volume",
       .Apply = {{HKLM, "SYSTEM\\CurrentControlSet\\Control\\FileSystem", true,
                  {Dword("NtfsDisableLastAccessUpdate", 1)}}},
       .Saved = {SavedDword(HKLM, "SYSTEM\\CurrentControlSet\\Control\\FileSystem", "NtfsDisableLastAccessUpdate")},
       .Undo = TUndo::None},
      // 24 OptimizeIEConnections / RestoreIEConnections
      {.Section = "IE Multi-thread Download",
       .Apply = {{HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", true,
                  {Dword("MaxConnectionsPerServer", 5)}}},
       .Saved = {FixedDword(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                            "MaxConnectionsPerServer", "1")},
       .UndoExisting = true},
      // 25 OptimizeFloppyAccess / RestoreFloppyAccess
      {.Section = "Disable Net Access To Floppy",
       .Apply = {{HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true,
                  {Text("AllocateFloppies", "1")}}},
       .Saved = {SavedText(HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "AllocateFloppies")},
       .UndoExisting = true},
      // 26 OptimizePmtuDiscovery / (no undo)
      {.Section = "Enhance Modem Performance",
       .Apply = {{HKLM, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", true,
                  {Dword("EnablePMTUDiscovery", 1)}}},
       .Saved = {SavedDword(HKLM, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "EnablePMTUDiscovery")},
       .Undo = TUndo::None},
      // 27 OptimizeNoSaveSettings / RestoreNoSaveSettings
      {.Section = "Quit Without Auto Saving",
       .Apply = {{HKCU, kExplorerPolicyKey, true, {Dword("NoSaveSettings", 1)}}},
       .Saved = {FixedDword(HKCU, kExplorerPolicyKey, "NoSaveSettings", "0")},
       .UndoExisting = true},
      // 28 OptimizeSharedDocs / RestoreSharedDocs
      {.Section = "Hide Shared Documents",
       .Apply = {{HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network", true,
                  {Dword("NoFileSharingControl", 1)}}},
       .Saved = {FixedDword(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network",
                            "NoFileSharingControl", "0")},
       .UndoExisting = true},
      // 29 OptimizeThumbnailCache / (no undo)
      {.Section = "Close Mini-map Memory",
       .Apply = {{HKCU, kExplorerPolicyKey, true, {Dword("NoThumbnailCache", 1)}}},
       .Saved = {SavedDword(HKCU, kExplorerPolicyKey, "NoThumbnailCache")},
       .Undo = TUndo::None},
  };
  return items;
}

const TTweakItem* ItemOf(int item) {
  if (item < 1 || item > SpeedItemCount) return nullptr;
  return &Items()[item - 1];
}

std::string KeyName(size_t index) { return "F" + std::to_string(index + 1); }
const char* const kRecordedKeyName = "F5";

// ---- registry steps ----

bool Refused(HKEY root, const std::string& key, const std::string& value) {
  return RefuseRegistryChange && RefuseRegistryChange(root, key, value);
}

// Opens root\key with creation or only when it exists. Counts a refusal into `refused`;
// an absent key that is only opened when it exists is none.
bool OpenForWrite(TRegistry& reg, HKEY root, const std::string& key, bool existingOnly, int& refused) {
  reg.RootKey = root;
  if (existingOnly && !reg.KeyExists(key)) return false;
  if (Refused(root, key, "") || !reg.OpenKey(key, !existingOnly)) {
    ++refused;
    return false;
  }
  return true;
}

void WriteSetting(TRegistry& reg, HKEY root, const std::string& key, const TSetting& setting, int& refused) {
  TRegValue value;
  if (setting.Kind == TKind::Dword) {
    value.Type = REG_DWORD;
    const auto* p = reinterpret_cast<const uint8_t*>(&setting.Number);
    value.Data.assign(p, p + 4);
  } else {
    std::wstring w = Widen(setting.Text);
    const auto* p = reinterpret_cast<const uint8_t*>(w.c_str());
    value.Type = REG_SZ;
    value.Data.assign(p, p + (w.size() + 1) * sizeof(wchar_t));
  }
  if (Refused(root, key, setting.Name) || !reg.WriteValue(setting.Name, value)) ++refused;
}

void RemoveValue(HKEY root, const std::string& key, const std::string& name, int& refused) {
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.KeyExists(key)) return;
  if (Refused(root, key, name) || !reg.OpenKey(key, false)) {
    ++refused;
    return;
  }
  if (reg.ValueExists(name) && !reg.DeleteValue(name)) ++refused;
}

// ---- saved texts ----
// The profile functions drop blanks and one pair of quotes around a value when they read it, and a
// line break would end its line. A text that would not come back whole (empty, blanks, quotes or
// other than plain ASCII at either end, or a line break inside) is therefore saved between double
// quotes, with "%", CR and LF written as "%25", "%0D" and "%0A"; any other text as it is. An empty
// key still means what it always meant: the value was absent.

const char* const kEscapes[][2] = {{"%", "%25"}, {"\r", "%0D"}, {"\n", "%0A"}};

bool ReadsBackWhole(const std::string& text) {
  auto plainEnd = [](unsigned char c) { return c > ' ' && c < 0x80 && c != '"' && c != '\''; };
  return !text.empty() && plainEnd(text.front()) && plainEnd(text.back()) &&
         text.find_first_of("\r\n") == std::string::npos;
}

std::string EncodeSavedText(const std::string& text) {
  if (ReadsBackWhole(text)) return text;
  std::string quoted = "\"";
  for (char c : text) {
    const char* escaped = nullptr;
    for (const auto& e : kEscapes)
      if (c == e[0][0]) escaped = e[1];
    quoted += escaped ? std::string(escaped) : std::string(1, c);
  }
  return quoted + "\"";
}

bool IsQuotedSave(const std::string& raw) { return raw.size() >= 2 && raw.front() == '"' && raw.back() == '"'; }

std::string DecodeQuotedSave(const std::string& raw) {
  std::string inner = raw.substr(1, raw.size() - 2), text;
  for (size_t i = 0; i < inner.size(); ++i) {
    const char* unescaped = nullptr;
    for (const auto& e : kEscapes)
      if (inner.compare(i, 3, e[1]) == 0) unescaped = e[0];
    text += unescaped ? unescaped : std::string(1, inner[i]);
    if (unescaped) i += 2;
  }
  return text;
}

// The key's text as the file holds it, without the blanks around it; nullopt when the section has
// no such key.
std::optional<std::string> RawSaved(const TIniFile& ini, const std::string& section, const std::string& key) {
  for (const std::string& line : ini.ReadSectionValues(section)) {
    size_t equals = line.find('=');
    if (!SameText(Trim(line.substr(0, equals)), key)) continue;
    if (equals == std::string::npos) return "";
    std::string raw = line.substr(equals + 1);
    size_t first = raw.find_first_not_of(" \t"), last = raw.find_last_not_of(" \t");
    return first == std::string::npos ? "" : raw.substr(first, last - first + 1);
  }
  return std::nullopt;
}

// Reads one saved value as the backup stores it: a number as signed decimal text, a string whole
// (see above), an absent value (or key) as "".
std::string ReadSaved(const TSavedValue& saved) {
  TRegistry reg;
  reg.RootKey = saved.Root;
  if (!reg.OpenKey(saved.Key, saved.CreateForBackup)) return "";
  if (saved.DropDwordFirst && reg.GetDataType(saved.Name) == rdInteger) reg.DeleteValue(saved.Name);
  if (!reg.ValueExists(saved.Name)) return "";
  if (saved.Kind == TKind::Dword) return std::to_string(reg.ReadInteger(saved.Name));
  return EncodeSavedText(reg.ReadString(saved.Name));
}

// What the undo does with one saved value: remove it, or write Text (a number for DWORDs).
struct TUndoAction {
  bool Remove = false;
  std::string Text;
};

// Reads the value's key from the section (all keys are read before anything is written, so a
// number that is none stops the item before it changes anything).
TUndoAction ActionFor(const TSavedValue& saved, TIniFile& ini, const std::string& section, size_t index) {
  TUndoAction action;
  if (std::optional<std::string> raw = RawSaved(ini, section, KeyName(index))) {
    // A quoted text is whole; any other is read as the profile functions read it (older files).
    action.Text = IsQuotedSave(*raw) ? DecodeQuotedSave(*raw) : ini.ReadString(section, KeyName(index), "");
    action.Remove = action.Text.empty() && (saved.Kind == TKind::Dword || !IsQuotedSave(*raw));
  } else if (saved.Missing == TMissing::Error) {
    ParseSavedNumber("");   // raises, as the older files' rule says
  } else {
    action.Remove = saved.Missing == TMissing::Delete;
    action.Text = saved.Fallback;
  }
  if (!action.Remove && saved.Kind == TKind::Dword) ParseSavedNumber(action.Text);
  return action;
}

int UndoValue(const TTweakItem& item, const TSavedValue& saved, const TUndoAction& action) {
  int refused = 0;
  std::vector<HKEY> roots = saved.UndoRoots.empty() ? std::vector<HKEY>{saved.Root} : saved.UndoRoots;
  TSetting setting = saved.Kind == TKind::Dword ? Dword(saved.Name, action.Remove ? 0 : ParseSavedNumber(action.Text))
                                                : Text(saved.Name, action.Text.c_str());
  for (HKEY root : roots) {
    if (action.Remove) {
      RemoveValue(root, saved.Key, saved.Name, refused);
      continue;
    }
    TRegistry reg;
    if (OpenForWrite(reg, root, saved.Key, item.UndoExisting, refused)) WriteSetting(reg, root, saved.Key, setting, refused);
  }
  return refused;
}

// Removes root\key when it holds no value and no subkey.
void RemoveKeyWhenEmpty(HKEY root, const std::string& key, int& refused) {
  TRegKeyHandle handle;
  TKeyInfo info;
  if (!handle.Open(root, key) || !QueryKeyInfo(handle.Get(), info)) return;
  handle.Close();
  if (info.SubkeyCount != 0 || info.ValueCount != 0) return;
  if (Refused(root, key, "") || RegDeleteKeyW(root, Widen(key).c_str()) != ERROR_SUCCESS) ++refused;
}

// Item 3's key: removed only when the backup recorded that it was not there.
void UndoRecordedKey(const TTweakItem& item, TIniFile& ini, int& refused) {
  if (item.RecordedKey == nullptr || ini.ReadString(item.Section, kRecordedKeyName, "") != "0") return;
  TRegistry reg;
  reg.RootKey = HKLM;
  if (!reg.KeyExists(item.RecordedKey)) return;
  if (Refused(HKLM, item.RecordedKey, "") || !reg.DeleteKey(item.RecordedKey)) ++refused;
}

}  // namespace

std::string SpeedSectionName(int item) {
  const TTweakItem* t = ItemOf(item);
  return t ? t->Section : "";
}

int SpeedItemOfSection(const std::string& section) {
  for (int i = 1; i <= SpeedItemCount; ++i)
    if (section == Items()[i - 1].Section) return i;
  return 0;
}

bool HasApply(int item) { return ItemOf(item) != nullptr && !ItemOf(item)->Apply.empty(); }
bool HasUndo(int item) { return ItemOf(item) != nullptr && ItemOf(item)->Undo != TUndo::None; }

DWORD ParseSavedNumber(const std::string& text) {
  long long value = 0;
  bool decimal = !text.empty() && text.find_first_not_of("+-0123456789") == std::string::npos;
  if (!decimal || !TryStrToInt(text, value) || value < INT32_MIN || value > INT32_MAX)
    throw EConvertError("'" + text + "' is not a valid integer value");
  return (DWORD)(int32_t)value;
}

int ApplySpeedItem(int item) {
  const TTweakItem* t = ItemOf(item);
  if (t == nullptr) return 0;
  int refused = 0;
  for (const TApplyKey& key : t->Apply) {
    TRegistry reg;
    if (!OpenForWrite(reg, key.Root, key.Key, key.Existing, refused)) continue;
    for (const TSetting& setting : key.Values) WriteSetting(reg, key.Root, key.Key, setting, refused);
  }
  return refused;
}

void BackupSpeedItem(int item) {
  const TTweakItem* t = ItemOf(item);
  if (t == nullptr) return;
  TIniFile ini(SpeedBackupFile);
  if (ini.SectionExists(t->Section)) return;   // the first backup in a file holds the values before any change
  std::string f[4];
  for (size_t i = 0; i < t->Saved.size() && i < 4; ++i) f[i] = ReadSaved(t->Saved[i]);
  WriteSpeedBackup(SpeedBackupFile, f[0], f[1], f[2], f[3], item);
  if (t->RecordedKey != nullptr) {
    TRegistry reg;
    reg.RootKey = HKLM;
    ini.WriteString(t->Section, kRecordedKeyName, reg.KeyExists(t->RecordedKey) ? "1" : "0");
  }
}

void WriteSpeedBackup(const std::string& fileName, const std::string& f1, const std::string& f2,
                      const std::string& f3, const std::string& f4, int item) {
  const TTweakItem* t = ItemOf(item);
  if (t == nullptr) return;
  TIniFile ini(fileName);
  const std::string values[4] = {f1, f2, f3, f4};
  for (size_t i = 0; i < t->Saved.size() && i < 4; ++i) ini.WriteString(t->Section, KeyName(i), values[i]);
}

int UndoSpeedItem(int item, TIniFile& ini) {
  const TTweakItem* t = ItemOf(item);
  if (t == nullptr || t->Undo == TUndo::None) return 0;
  std::vector<TUndoAction> actions;
  for (size_t i = 0; i < t->Saved.size(); ++i) actions.push_back(ActionFor(t->Saved[i], ini, t->Section, i));
  int refused = 0;
  UndoRecordedKey(*t, ini, refused);
  for (size_t i = 0; i < t->Saved.size(); ++i) refused += UndoValue(*t, t->Saved[i], actions[i]);
  if (t->RemoveEmptyKey) RemoveKeyWhenEmpty(t->Saved[0].Root, t->Saved[0].Key, refused);
  if (!t->ConsumeKeys) return refused;
  for (size_t i = 0; i < t->Saved.size(); ++i) ini.DeleteKey(t->Section, KeyName(i));
  if (t->RecordedKey != nullptr) ini.DeleteKey(t->Section, kRecordedKeyName);
  return refused;
}

}  // namespace SpeedItemUnit
