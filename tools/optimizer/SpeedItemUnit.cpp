#include "SpeedItemUnit.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "../../framework/Exceptions.h"
#include "../../framework/IniFiles.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

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
enum class TMissing {
  Error,     // a conversion error
  Write,     // writes Fallback
  Delete,    // removes the value
  AsFirst,   // does with this value what F1 says (older files saved one value for two roots)
};

// One "Fn" key of the item's section: where the value is read from, and written back to.
struct TSavedValue {
  HKEY Root;
  const char* Key;
  const char* Name;
  TKind Kind;
  TMissing Missing = TMissing::Write;
  const char* Fallback = "0";           // written when the key is missing (TMissing::Write)
  bool KeepsDword = false;              // a string whose value may also be a DWORD, kept as one
};

struct TTweakItem {
  const char* Section;
  std::vector<TApplyKey> Apply;
  std::vector<TSavedValue> Saved;       // F1, F2, ... in order
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

// Apply and undo routine names of each item are given beside its row.
const std::vector<TTweakItem>& Items() {
  static const std::vector<TTweakItem> items = {
      // 1 OptimizeStartSpeed / RestoreStartSpeed
      {.Section = "Machine speed is opened in the optimization",
       .Apply = {{HKLM, kPrefetchKey, false, {Dword("EnablePrefetcher", 1)}},
                 {HKLM, kExplorerKey, false, {Text("AlwaysUnloadDLL", "1")}}},
       .Saved = {Strict(SavedDword(HKLM, kPrefetchKey, "EnablePrefetcher")),
                 {.Root = HKLM, .Key = kExplorerKey, .Name = "AlwaysUnloadDLL", .Kind = TKind::String,
                  .Fallback = "", .KeepsDword = true}},
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
       .Saved = {Strict(SavedDword(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                   "MaxConnectionsPerServer")),
                 Strict(SavedDword(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                   "MaxConnectionsPer1_0Server"))},
       .ConsumeKeys = true},
      // 5 OptimizeMenuSpeed / RestoreMenuSpeed
      {.Section = "Quicken menu display speed",
       .Apply = {{HKCU, kDesktopKey, false, {Text("MenuShowDelay", "400")}}},
       .Saved = {SavedText(HKCU, kDesktopKey, "MenuShowDelay")},
       .ConsumeKeys = true},
      // 6 OptimizeHungApps / RestoreHungApps
      {.Section = "Optimize the system to the wrong handle",
       .Apply = {{HKCU, kDesktopKey, false,
                  {Text("AutoEndTasks", "1"), Text("HungAppTimeout", "200"), Text("WaitToKillAppTimeout", "1000")}}},
       .Saved = {SavedText(HKCU, kDesktopKey, "AutoEndTasks"), SavedText(HKCU, kDesktopKey, "HungAppTimeout"),
                 SavedText(HKCU, kDesktopKey, "WaitToKillAppTimeout")},
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
      // 13 OptimizeLinkTracking / RestoreLinkTracking (HKCU first, then HKLM; each root's value is
      // saved, the HKLM one as F1; older files hold only that one, for both roots)
      {.Section = "Disable Tracking of Broken Shortcut Links",
       .Apply = {{HKCU, kExplorerPolicyKey, false, {Dword("NoResolveTrack", 1)}},
                 {HKLM, kExplorerPolicyKey, false, {Dword("NoResolveTrack", 1)}}},
       .Saved = {SavedDword(HKLM, kExplorerPolicyKey, "NoResolveTrack"),
                 {.Root = HKCU, .Key = kExplorerPolicyKey, .Name = "NoResolveTrack", .Kind = TKind::Dword,
                  .Missing = TMissing::AsFirst}},
       .ConsumeKeys = true},
      // 14 OptimizeTcpSettings / its undo
      {.Section = "Optimize the DefaultTTL Settings",
       .Apply = {{HKLM, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", false,
                  {Text("DefaultRcvWindow", "4288"), Text("DefaultTTL", "128")}}},
       .Saved = {SavedText(HKLM, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DefaultRcvWindow"),
                 SavedText(HKLM, "System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DefaultTTL")}},
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
       .Saved = {Removed(HKCU, "Control Panel\\Desktop\\WindowMetrics", "MinAniMate", TKind::String)}},
      // 19 OptimizeRecentDocs / RestoreRecentDocs
      {.Section = "Disable Recent File",
       .Apply = {{HKCU, kExplorerPolicyKey, false, {Dword("ClearRecentDocsOnExit", 1)}}},
       .Saved = {FixedDword(HKCU, kExplorerPolicyKey, "ClearRecentDocsOnExit", "0")}},
      // 20 OptimizeCommonGroups / RestoreCommonGroups
      {.Section = "Close Customized Menu",
       .Apply = {{HKCU, kExplorerPolicyKey, false, {Dword("NoCommonGroups", 1)}}},
       .Saved = {FixedDword(HKCU, kExplorerPolicyKey, "NoCommonGroups", "0")}},
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
      // 23 OptimizeNtfsLastAccess / its undo
      {.Section = "Optimize NTFS Volume",
       .Apply = {{HKLM, "SYSTEM\\CurrentControlSet\\Control\\FileSystem", true,
                  {Dword("NtfsDisableLastAccessUpdate", 1)}}},
       .Saved = {SavedDword(HKLM, "SYSTEM\\CurrentControlSet\\Control\\FileSystem", "NtfsDisableLastAccessUpdate")},
       .UndoExisting = true},
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
      // 26 OptimizePmtuDiscovery / its undo
      {.Section = "Enhance Modem Performance",
       .Apply = {{HKLM, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", true,
                  {Dword("EnablePMTUDiscovery", 1)}}},
       .Saved = {SavedDword(HKLM, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "EnablePMTUDiscovery")},
       .UndoExisting = true},
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
      // 29 OptimizeThumbnailCache / its undo
      {.Section = "Close Mini-map Memory",
       .Apply = {{HKCU, kExplorerPolicyKey, true, {Dword("NoThumbnailCache", 1)}}},
       .Saved = {SavedDword(HKCU, kExplorerPolicyKey, "NoThumbnailCache")},
       .UndoExisting = true},
  };
  return items;
}

const TTweakItem* ItemOf(int item) {
  if (item < 1 || item > SpeedItemCount) return nullptr;
  return &Items()[item - 1];
}

// The keys of a value's save: "F1", "F2", ... and beside them its type; `suffix` names the view.
std::string KeyName(size_t index, const char* suffix = "") { return "F" + std::to_string(index + 1) + suffix; }
std::string TypeKeyName(size_t index, const char* suffix = "") { return KeyName(index, suffix) + "Type"; }
const char* const kRecordedKeyName = "F5";

// The mark of the files written now: a section no item has.
const char* const kMarkSection = "Backup";
const char* const kMarkKey = "Format";
const char* const kMarkValue = "2";
const char* const kUserKey = "User";

DWORD OwnType(TKind kind) { return kind == TKind::Dword ? REG_DWORD : REG_SZ; }

// The value types a backup file names beside a value.
const struct {
  DWORD Type;
  const char* Name;
} kTypeNames[] = {{REG_SZ, "REG_SZ"}, {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_DWORD, "REG_DWORD"}};

const char* TypeName(DWORD type) {
  for (const auto& t : kTypeNames)
    if (t.Type == type) return t.Name;
  return "";
}

DWORD TypeOfName(const std::string& name) {
  for (const auto& t : kTypeNames)
    if (SameText(Trim(name), t.Name)) return t.Type;
  throw EConvertError("'" + name + "' is not a valid value type");
}

// ---- registry views ----
// This program is 32-bit: on 64-bit Windows its HKLM\SOFTWARE and its classes are the 32-bit
// view, which 64-bit programs and the system's own components never read. An item's key there is
// written, saved and put back in both views: the 64-bit one the system reads, and this program's
// own, which 32-bit programs read. A file saves the 64-bit view's values under keys of their own
// ("F1_64", ...); a file without them (written on a 32-bit system, or before) puts back this
// program's view alone, as it always did.

struct TView {
  REGSAM Flag;          // what an open asks for
  const char* Suffix;   // added to the names of the keys that save its values
};
const TView kOwnView{0, ""};
const TView kNativeView{KEY_WOW64_64KEY, "_64"};

// A key the system keeps apart for 32-bit programs.
bool KeptApartFor32Bit(HKEY root, const std::string& key) {
  return root == HKCR || (root == HKLM && SameText(key.substr(0, 9), "SOFTWARE\\"));
}

// The views an item's key is acted on in, this program's own first.
std::vector<TView> ViewsOf(HKEY root, const std::string& key) {
  if (PublicFunctionUnit::RunsUnderWow64() && KeptApartFor32Bit(root, key)) return {kOwnView, kNativeView};
  return {kOwnView};
}

const TView& ViewOfFlag(REGSAM flag) { return flag == kNativeView.Flag ? kNativeView : kOwnView; }

bool KeyExistsIn(HKEY root, const std::string& key, const TView& view) {
  TRegKeyHandle handle;
  return handle.Open(root, key, KEY_READ | view.Flag);
}

// Removes one key that has no subkeys left, in the view.
LONG DeleteOneKey(HKEY root, const std::string& key, const TView& view) {
  if (view.Flag == 0) return RegDeleteKeyW(root, Widen(key).c_str());
  // only asked for on 64-bit Windows, where the system has it
  using TDeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  auto deleteKeyEx = reinterpret_cast<TDeleteKeyEx>(
      GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW"));
  return deleteKeyEx ? deleteKeyEx(root, Widen(key).c_str(), view.Flag, 0) : ERROR_CALL_NOT_IMPLEMENTED;
}

// Removes the key with all its subkeys, in the view.
bool DeleteKeyTree(HKEY root, const std::string& key, const TView& view) {
  std::vector<std::string> subkeys;
  {
    TRegKeyHandle handle;
    if (!handle.Open(root, key, KEY_READ | view.Flag)) return false;
    subkeys = EnumKeyNames(handle.Get());
  }
  for (const std::string& subkey : subkeys) DeleteKeyTree(root, key + "\\" + subkey, view);
  return DeleteOneKey(root, key, view) == ERROR_SUCCESS;
}

// ---- registry steps ----

bool Refused(HKEY root, const std::string& key, const std::string& value) {
  return RefuseRegistryChange && RefuseRegistryChange(root, key, value);
}

// Opens root\key in the view with creation or only when it exists. Counts a refusal into
// `refused`; an absent key that is only opened when it exists is none.
bool OpenForWrite(TRegistry& reg, HKEY root, const std::string& key, bool existingOnly, const TView& view,
                  int& refused) {
  reg.RootKey = root;
  reg.SetAccess(KEY_ALL_ACCESS | view.Flag);
  if (existingOnly && !KeyExistsIn(root, key, view)) return false;
  if (Refused(root, key, "") || !reg.OpenKey(key, !existingOnly)) {
    ++refused;
    return false;
  }
  return true;
}

void WriteValue(TRegistry& reg, HKEY root, const std::string& key, const std::string& name, const TRegValue& value,
                int& refused) {
  if (Refused(root, key, name) || !reg.WriteValue(name, value)) ++refused;
}

void WriteSetting(TRegistry& reg, HKEY root, const std::string& key, const TSetting& setting, int& refused) {
  WriteValue(reg, root, key, setting.Name,
             setting.Kind == TKind::Dword ? DwordValue(setting.Number) : StringValue(setting.Text), refused);
}

void RemoveValue(HKEY root, const std::string& key, const std::string& name, const TView& view, int& refused) {
  TRegistry reg(KEY_ALL_ACCESS | view.Flag);
  reg.RootKey = root;
  if (!KeyExistsIn(root, key, view)) return;
  if (Refused(root, key, name) || !reg.OpenKey(key, false)) {
    ++refused;
    return;
  }
  if (reg.ValueExists(name) && !reg.DeleteValue(name)) ++refused;
}

// ---- saved texts ----
// The profile functions drop blanks and one pair of quotes around a value when they read it, and a
// line break would end its line. In the files written now, a text that would not come back whole
// (empty, blanks, quotes or other than plain ASCII at either end, or a line break inside) is
// therefore saved between double quotes, with "%", CR and LF written as "%25", "%0D" and "%0A";
// any other text as it is. An empty key still means what it always meant: the value was absent.
// Files without the mark are read only through the profile functions, as they always were.

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

// ---- backup ----

// One value as the backup saves it: the key's text ("" when absent) and its type.
struct TSavedRead {
  std::string Text;
  DWORD Type;
};

// The text comes back as the value held it: nothing after its end but zeros.
bool TextKeepsAllData(const TRegValue& value) {
  std::wstring text = Widen(RegValueText(value));
  size_t bytes = text.size() * sizeof(wchar_t);
  if (value.Data.size() < bytes || memcmp(value.Data.data(), text.data(), bytes) != 0) return false;
  for (size_t i = bytes; i < value.Data.size(); ++i)
    if (value.Data[i] != 0) return false;
  return true;
}

// Reads one saved value in the view without writing anything: a number as signed decimal text, a
// text whole (see above), an absent value or key as "". A key that is there but cannot be read,
// and a value of a type the item cannot keep, raise.
TSavedRead ReadSaved(const TSavedValue& saved, const TView& view) {
  TSavedRead read{"", OwnType(saved.Kind)};
  std::string where = PublicFunctionUnit::RootKeyName(saved.Root) + "\\" + saved.Key;
  auto unreadable = [&](LONG rc) {
    return ERegistryException("Cannot read " + where + (rc == ERROR_SUCCESS ? "" : ": " + SystemErrorText(rc)));
  };
  HKEY handle = nullptr;
  LONG rc = RegOpenKeyExW(saved.Root, Widen(saved.Key).c_str(), 0, KEY_QUERY_VALUE | view.Flag, &handle);
  if (rc == ERROR_FILE_NOT_FOUND) return read;
  if (rc != ERROR_SUCCESS) throw unreadable(rc);
  TRegKeyHandle key(handle);
  std::wstring name = Widen(saved.Name);
  rc = RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_FILE_NOT_FOUND) return read;
  where += std::string(" (") + (*saved.Name ? saved.Name : "default") + ")";
  TRegValue value;
  if (rc != ERROR_SUCCESS || !QueryRegValue(key.Get(), name, value)) throw unreadable(rc);
  bool dword = value.Type == REG_DWORD && value.Data.size() == 4;
  if (dword && (saved.Kind == TKind::Dword || saved.KeepsDword)) {
    int32_t number;
    memcpy(&number, value.Data.data(), 4);
    return {std::to_string(number), REG_DWORD};
  }
  if (saved.Kind == TKind::String && IsTextValue(value) && TextKeepsAllData(value))
    return {EncodeSavedText(RegValueText(value)), value.Type};
  throw ERegistryException("Invalid data type for '" + std::string(saved.Name) + "'");
}

// ---- undo ----

using TStep = TSpeedUndo::TStep;

// The step that a value's key in the section says (the key is there, `raw` its text).
TStep StepFromKey(const TSavedValue& saved, const TIniFile& ini, const std::string& section, const std::string& key,
                  const std::string& raw, bool marked) {
  TStep step;
  step.Type = OwnType(saved.Kind);
  bool quoted = marked && IsQuotedSave(raw);
  step.Text = quoted ? DecodeQuotedSave(raw) : ini.ReadString(section, key, "");
  std::string typeKey = key + "Type";
  if (marked && ini.ValueExists(section, typeKey)) step.Type = TypeOfName(ini.ReadString(section, typeKey, ""));
  step.Remove = step.Text.empty() && (step.Type == REG_DWORD || !quoted);
  return step;
}

TStep Checked(TStep step, size_t index, const TView& view) {
  step.Value = index;
  step.View = view.Flag;
  if (!step.Remove && step.Type == REG_DWORD) ParseSavedNumber(step.Text);
  return step;
}

// Reads one value's key (and its type) from the section, for this program's own view.
TStep StepFor(const TSavedValue& saved, const TIniFile& ini, const std::string& section, size_t index, bool marked,
              const std::vector<TStep>& before) {
  TStep step;
  if (std::optional<std::string> raw = RawSaved(ini, section, KeyName(index))) {
    step = StepFromKey(saved, ini, section, KeyName(index), *raw, marked);
  } else if (saved.Missing == TMissing::AsFirst && !before.empty()) {
    step = before.front();
  } else if (saved.Missing == TMissing::Error) {
    ParseSavedNumber("");   // raises, as the older files' rule says
  } else {
    step.Type = OwnType(saved.Kind);
    step.Remove = saved.Missing == TMissing::Delete;
    step.Text = saved.Fallback;
  }
  return Checked(step, index, kOwnView);
}

// The step of a value saved in the 64-bit view; none when the file holds no such save.
std::optional<TStep> NativeStepFor(const TSavedValue& saved, const TIniFile& ini, const std::string& section,
                                   size_t index, bool marked) {
  std::string key = KeyName(index, kNativeView.Suffix);
  std::optional<std::string> raw = RawSaved(ini, section, key);
  if (!raw) return std::nullopt;
  return Checked(StepFromKey(saved, ini, section, key, *raw, marked), index, kNativeView);
}

int UndoValue(const TTweakItem& item, const TSavedValue& saved, const TStep& step) {
  int refused = 0;
  const TView& view = ViewOfFlag(step.View);
  if (step.Remove) {
    RemoveValue(saved.Root, saved.Key, saved.Name, view, refused);
    return refused;
  }
  TRegistry reg;
  // a key that is not there counts as well when the undo writes only into an existing key: the
  // value cannot come back
  if (!OpenForWrite(reg, saved.Root, saved.Key, item.UndoExisting, view, refused)) return 1;
  TRegValue value =
      step.Type == REG_DWORD ? DwordValue(ParseSavedNumber(step.Text)) : StringValue(step.Text, step.Type);
  WriteValue(reg, saved.Root, saved.Key, saved.Name, value, refused);
  return refused;
}

// Removes root\key in the view when it holds no value and no subkey.
void RemoveKeyWhenEmpty(HKEY root, const std::string& key, const TView& view, int& refused) {
  TRegKeyHandle handle;
  TKeyInfo info;
  if (!handle.Open(root, key, KEY_READ | view.Flag) || !QueryKeyInfo(handle.Get(), info)) return;
  handle.Close();
  if (info.SubkeyCount != 0 || info.ValueCount != 0) return;
  if (Refused(root, key, "") || DeleteOneKey(root, key, view) != ERROR_SUCCESS) ++refused;
}

// Item 3's key: removed only when the backup recorded that it was not there in that view.
void UndoRecordedKey(const TTweakItem& item, const TView& view, int& refused) {
  if (!KeyExistsIn(HKLM, item.RecordedKey, view)) return;
  if (Refused(HKLM, item.RecordedKey, "") || !DeleteKeyTree(HKLM, item.RecordedKey, view)) ++refused;
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
  for (const TApplyKey& key : t->Apply)
    for (const TView& view : ViewsOf(key.Root, key.Key)) {
      TRegistry reg;
      if (!OpenForWrite(reg, key.Root, key.Key, key.Existing, view, refused)) continue;
      for (const TSetting& setting : key.Values) WriteSetting(reg, key.Root, key.Key, setting, refused);
    }
  return refused;
}

// ---- the backup file ----

TBackupReading::TBackupReading(const std::string& fileName) : hold_(fileName) {
  if (!hold_.Held() && !hold_.Absent()) throw EInOutError(Format(UnreadableBackupText, fileName));
}

void MarkSpeedBackup(const std::string& fileName) {
  if (GetFileAttributesW(Widen(fileName).c_str()) != INVALID_FILE_ATTRIBUTES) return;
  TIniFile ini(fileName);
  ini.WriteString(kMarkSection, kMarkKey, kMarkValue);
  std::string sid = PublicFunctionUnit::CurrentUserSid();
  if (!sid.empty()) ini.WriteString(kMarkSection, kUserKey, sid);
}

std::string SpeedBackupUser(const TIniFile& ini) { return Trim(ini.ReadString(kMarkSection, kUserKey, "")); }

bool IsMarkedSpeedBackup(const TIniFile& ini) {
  long long format = 0;
  return TryStrToInt(ini.ReadString(kMarkSection, kMarkKey, ""), format) && format >= 2;
}

void BackupSpeedItem(int item) {
  const TTweakItem* t = ItemOf(item);
  if (t == nullptr) return;
  TIniFile ini(SpeedBackupFile);
  {
    TBackupReading reading(SpeedBackupFile);
    if (ini.SectionExists(t->Section)) return;   // the first backup in a file holds the values before any change
  }
  // every value is read, in each view its key is kept in, before anything is written
  struct TRead {
    size_t Index;
    const TView* View;
    TSavedRead Saved;
  };
  std::vector<TRead> reads;
  for (size_t i = 0; i < t->Saved.size(); ++i)
    for (const TView& view : ViewsOf(t->Saved[i].Root, t->Saved[i].Key))
      reads.push_back({i, &ViewOfFlag(view.Flag), ReadSaved(t->Saved[i], view)});
  MarkSpeedBackup(SpeedBackupFile);
  std::string f[4];
  for (const TRead& read : reads)
    if (read.View->Flag == 0 && read.Index < 4) f[read.Index] = read.Saved.Text;
  WriteSpeedBackup(SpeedBackupFile, f[0], f[1], f[2], f[3], item);
  for (const TRead& read : reads) {
    if (read.View->Flag != 0) ini.WriteString(t->Section, KeyName(read.Index, read.View->Suffix), read.Saved.Text);
    if (!read.Saved.Text.empty() && read.Saved.Type != OwnType(t->Saved[read.Index].Kind))
      ini.WriteString(t->Section, TypeKeyName(read.Index, read.View->Suffix), TypeName(read.Saved.Type));
  }
  if (t->RecordedKey != nullptr)
    for (const TView& view : ViewsOf(HKLM, t->RecordedKey))
      ini.WriteString(t->Section, kRecordedKeyName + std::string(view.Suffix),
                      KeyExistsIn(HKLM, t->RecordedKey, view) ? "1" : "0");
}

void WriteSpeedBackup(const std::string& fileName, const std::string& f1, const std::string& f2,
                      const std::string& f3, const std::string& f4, int item) {
  const TTweakItem* t = ItemOf(item);
  if (t == nullptr) return;
  TIniFile ini(fileName);
  const std::string values[4] = {f1, f2, f3, f4};
  for (size_t i = 0; i < t->Saved.size() && i < 4; ++i) ini.WriteString(t->Section, KeyName(i), values[i]);
}

TSpeedUndo ReadSpeedUndo(int item, const TIniFile& ini, bool marked) {
  TSpeedUndo undo;
  const TTweakItem* t = ItemOf(item);
  if (t == nullptr) return undo;
  undo.Item = item;
  for (size_t i = 0; i < t->Saved.size(); ++i)
    undo.Steps.push_back(StepFor(t->Saved[i], ini, t->Section, i, marked, undo.Steps));
  for (size_t i = 0; i < t->Saved.size(); ++i)
    if (std::optional<TStep> native = NativeStepFor(t->Saved[i], ini, t->Section, i, marked))
      undo.Steps.push_back(*native);
  if (t->RecordedKey != nullptr)
    for (const TView* view : {&kOwnView, &kNativeView})
      if (ini.ReadString(t->Section, kRecordedKeyName + std::string(view->Suffix), "") == "0")
        undo.RemoveRecordedKeyIn.push_back(view->Flag);
  return undo;
}

int RunSpeedUndo(const TSpeedUndo& undo, TIniFile& ini) {
  const TTweakItem* t = ItemOf(undo.Item);
  if (t == nullptr) return 0;
  int refused = 0;
  for (REGSAM view : undo.RemoveRecordedKeyIn) UndoRecordedKey(*t, ViewOfFlag(view), refused);
  std::vector<REGSAM> views;   // the views the steps wrote in
  for (const TStep& step : undo.Steps) {
    if (step.Value >= t->Saved.size()) continue;
    refused += UndoValue(*t, t->Saved[step.Value], step);
    if (std::find(views.begin(), views.end(), step.View) == views.end()) views.push_back(step.View);
  }
  if (t->RemoveEmptyKey)
    for (REGSAM view : views) RemoveKeyWhenEmpty(t->Saved[0].Root, t->Saved[0].Key, ViewOfFlag(view), refused);
  if (!t->ConsumeKeys || refused != 0) return refused;   // kept for another try
  for (const TView* view : {&kOwnView, &kNativeView}) {
    for (size_t i = 0; i < t->Saved.size(); ++i) {
      ini.DeleteKey(t->Section, KeyName(i, view->Suffix));
      ini.DeleteKey(t->Section, TypeKeyName(i, view->Suffix));
    }
    if (t->RecordedKey != nullptr) ini.DeleteKey(t->Section, kRecordedKeyName + std::string(view->Suffix));
  }
  return refused;
}

int UndoSpeedItem(int item, TIniFile& ini) {
  TSpeedUndo undo;
  {
    TBackupReading reading(ini.FileName());
    undo = ReadSpeedUndo(item, ini, IsMarkedSpeedBackup(ini));
  }
  return RunSpeedUndo(undo, ini);
}

}  // namespace SpeedItemUnit
