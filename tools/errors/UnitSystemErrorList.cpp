#include "UnitSystemErrorList.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "../../app/MainUnitBackup.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace UnitSystemError {

namespace {

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                  "HKEY_CURRENT_CONFIG"};
const HKEY kRootKeys[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG};

struct TBuiltinRow {
  const char* Caption;
  const char* Description;
};
const TBuiltinRow kBuiltinRows[] = {
    {"\"Internal application error\" occurred in Windows Media Player",
     "\"Internal application error\" occurred in Windows Media Player"},
    {"1607: Unable to install InstallShield Scripting Runtime",
     "Received error message \"1607: Unable to install InstallShield Scripting Runtime\" when trying to install "
     "software in Windows XP"},
    {"Unable to open new window by IE hyperlink", "It was unable to open new Window in IE hyperlink. "},
    {"Unable to update Windows online", "The issue of system being unable to update online."}};

// The places that start programs or load code, wherever they stand in a key path: under either
// root, a user's hive, the classes, the 32-bit view, a control set or a policy key. A location
// is a run of key names ("*" stands for any one name); Subkeys: its subkeys too; Values: the
// value names it covers, separated by "|" (empty: every value). An empty Key is every key.
struct TDeniedLocation {
  const char* Key;
  bool Subkeys;
  const char* Values;
};
const TDeniedLocation kDeniedLocations[] = {
    // logon
    {"Windows\\CurrentVersion\\Run", true, ""},
    {"Windows\\CurrentVersion\\RunOnce", true, ""},
    {"Windows\\CurrentVersion\\RunOnceEx", true, ""},
    {"Windows\\CurrentVersion\\RunServices", true, ""},
    {"Windows\\CurrentVersion\\RunServicesOnce", true, ""},
    {"CurrentVersion\\Policies\\Explorer\\Run", true, ""},
    {"Windows NT\\CurrentVersion\\Winlogon", true, ""},   // Shell, Userinit, Taskman, Notify, GinaDLL, ...
    {"Windows NT\\CurrentVersion\\Windows", true, ""},    // load, run, AppInit_DLLs
    {"", true, "AppInit_DLLs|LoadAppInit_DLLs"},
    {"Microsoft\\Command Processor", false, "AutoRun"},
    {"Explorer\\Shell Folders", true, ""},                  // Startup, Common Startup, ...
    {"Explorer\\User Shell Folders", true, ""},
    {"CurrentVersion\\Policies\\System", true, ""},         // Shell, Scripts
    {"Policies\\Microsoft\\Windows\\System\\Scripts", true, ""},
    {"CurrentVersion\\Group Policy", true, ""},             // logon and startup scripts
    {"Active Setup\\Installed Components", true, ""},
    {"CurrentVersion\\Authentication", true, ""},           // credential providers
    {"Control Panel\\Desktop", false, "SCRNSAVE.EXE"},
    {"Environment", false,
     "Path|PATHEXT|ComSpec|windir|SystemRoot|UserInitMprLogonScript|COR_ENABLE_PROFILING|COR_PROFILER|"
     "COR_PROFILER_PATH"},
    {"Windows NT\\CurrentVersion\\IniFileMapping", true, ""},
    {"Windows NT\\CurrentVersion\\Schedule", true, ""},     // scheduled tasks
    {"Explorer\\StartupApproved", true, ""},                 // which logon entries run
    {"Windows NT\\CurrentVersion\\Accessibility", true, ""},  // assistive programs started at logon
    {"Windows NT\\Terminal Services", true, ""},             // policy: the program a session starts
    {"Windows\\CurrentVersion\\App Paths", true, ""},        // programs started by their bare name
    {"Windows\\CurrentVersion\\Uninstall", true, ""},        // the commands the uninstallers run
    {"CurrentVersion\\Policies\\Explorer", false,
     "NoDriveTypeAutoRun|NoDriveAutoRun|NoAutorun|"
     // and what hides the security notices, updates, the folder options and the security tab
     "HideSCAHealth|NoWindowsUpdate|NoFolderOptions|NoSecurityTab|NoControlPanel|DisallowRun|RestrictRun"},
    {"CurrentVersion\\Policies\\Explorer\\DisallowRun", true, ""},   // programs the user may not start
    {"CurrentVersion\\Policies\\Explorer\\RestrictRun", true, ""},
    {"Explorer\\MountPoints2", true, ""},                    // a drive's own autorun commands
    {"Explorer\\AutoplayHandlers", true, ""},
    {"Explorer\\MyComputer", true, ""},                      // the backup, clean-up and defragment programs
    {"CurrentVersion\\Policies\\Associations", true, ""},    // types opened without a warning
    {"CurrentVersion\\Policies\\Attachments", true, ""},
    {"Windows\\Safer", true, ""},                            // which programs may run at all
    {"Windows\\SrpV2", true, ""},
    // what protects the machine and where its traffic goes: the virus scanner, the firewall, the
    // screening of downloads, updates, the security centre's notices, user account control (the
    // values of "Policies\System" above), certificates, the trust given to code and scripts,
    // remote access. Where a key holds harmless settings too, only its dangerous values are named.
    {"Windows Defender", true, ""},                 // and its policies: Real-Time Protection, Exclusions, ...
    {"Windows Defender Security Center", true, ""},
    {"Microsoft Antimalware", true, ""},
    {"Microsoft\\Security Center", true, ""},       // AntiVirusDisableNotify, FirewallDisableNotify, ...
    {"Notifications\\Settings\\Windows.SystemToast.SecurityAndMaintenance", true, ""},
    {"WindowsFirewall", true, ""},                  // its policies; its own settings are a service's (below)
    {"", true,
     "SmartScreenEnabled|EnableSmartScreen|ShellSmartScreenLevel|SmartScreenPuaEnabled|"
     "PreventSmartScreenPromptOverride|PreventSmartScreenPromptOverrideForFiles|EnableWebContentEvaluation"},
    {"PhishingFilter", true, ""},                   // the browsers' screening of sites
    {"Edge\\SmartScreenEnabled", true, ""},
    {"WindowsUpdate", true, ""},                    // its policies and AU, the settings, paused updates
    {"SystemRestore", true, ""},                    // DisableSR, DisableConfig
    {"CurrentVersion\\Internet Settings", false,    // where the browser's traffic goes, how it checks sites
     "ProxyEnable|ProxyServer|ProxyOverride|AutoConfigURL|AutoDetect|ProxySettingsPerUser|CertificateRevocation|"
     "WarnonBadCertRecving|WarnOnZoneCrossing|WarnOnPostRedirect|WarnOnHTTPSToHTTPRedirect|SecureProtocols"},
    {"Internet Settings\\Connections", true, ""},   // the connections' proxy settings, also WinHTTP's
    {"Internet Settings\\Wpad", true, ""},
    {"Windows NT\\DNSClient", true, ""},            // the name servers a policy sets
    {"Internet Explorer\\Main\\FeatureControl", true, ""},
    {"Internet Explorer\\Download", true, ""},      // CheckExeSignatures, RunInvalidSignatures
    {"Internet Explorer\\Security", true, ""},
    {"SystemCertificates", true, ""},               // the trusted roots and publishers, of either root or a policy
    {"EnterpriseCertificates", true, ""},
    {"Cryptography\\Wintrust", true, ""},
    {"WinTrust\\Trust Providers", true, ""},        // the Authenticode policy ("State")
    {"Windows Script Host", true, ""},
    {"Microsoft\\PowerShell", true, ""},            // ExecutionPolicy
    {"Windows\\PowerShell", true, ""},
    {"Windows\\Installer", true, ""},               // AlwaysInstallElevated
    {"Office\\*\\Security", true, ""},             // macros, trusted locations
    {"Office\\*\\*\\Security", true, ""},
    {"Explorer\\Advanced", false, "HideFileExt"},   // a program that shows itself as a document
    {"Explorer\\Advanced\\Folder\\HideFileExt", true, ""},
    {"Microsoft\\MMC", true, ""},                   // which consoles the user may open
    {"Windows\\System", false, "DisableCMD"},
    {"DeviceGuard", true, ""},
    {"CurrentControlSet\\Control\\CI", true, ""},    // code integrity
    {"CurrentControlSet\\Control\\Remote Assistance", true, ""},
    {"Windows\\WinRM", true, ""},
    {"CurrentVersion\\WSMAN", true, ""},
    {"Windows\\CredentialsDelegation", true, ""},
    {"Windows\\LanmanWorkstation", true, ""},       // AllowInsecureGuestAuth
    {"Windows\\NetworkProvider", true, ""},         // hardened paths
    // what programs and scripts of each type start with: the extension's association (in the
    // classes of either root or a user's hive, or the user's own choice) and the type it names
    {".exe", true, ""}, {".com", true, ""}, {".bat", true, ""}, {".cmd", true, ""}, {".pif", true, ""},
    {".scr", true, ""}, {".lnk", true, ""}, {".vbs", true, ""}, {".vbe", true, ""}, {".js", true, ""},
    {".jse", true, ""}, {".wsf", true, ""}, {".wsh", true, ""}, {".hta", true, ""}, {".cpl", true, ""},
    {".msi", true, ""}, {".msc", true, ""}, {".ps1", true, ""}, {".reg", true, ""}, {".inf", true, ""},
    {".scf", true, ""},
    {"exefile", true, ""}, {"comfile", true, ""}, {"batfile", true, ""}, {"cmdfile", true, ""},
    {"piffile", true, ""}, {"scrfile", true, ""}, {"lnkfile", true, ""}, {"VBSFile", true, ""},
    {"VBEFile", true, ""}, {"JSFile", true, ""}, {"JSEFile", true, ""}, {"WSFFile", true, ""},
    {"WSHFile", true, ""}, {"htafile", true, ""}, {"cplfile", true, ""}, {"Msi.Package", true, ""},
    {"MSCFile", true, ""}, {"Microsoft.PowerShellScript.1", true, ""}, {"regfile", true, ""},
    {"inffile", true, ""}, {"SHCmdFile", true, ""},
    // the shell and the browser
    {"Explorer\\ShellIconOverlayIdentifiers", true, ""},
    {"Explorer\\ShellExecuteHooks", true, ""},
    {"Explorer\\SharedTaskScheduler", true, ""},
    {"Explorer\\ShellServiceObjects", true, ""},
    {"CurrentVersion\\ShellServiceObjectDelayLoad", true, ""},
    {"Shell Extensions", true, ""},                           // approved, blocked and cached
    {"Explorer\\*\\NameSpace", true, ""},
    {"shellex", true, ""},
    {"shell\\*\\command", true, ""},
    {"shell\\*\\DropTarget", true, ""},
    {"shell\\*\\ddeexec", true, ""},
    {"shell\\*", false, "ExplorerCommandHandler"},
    {"CurrentVersion\\PropertySystem\\PropertyHandlers", true, ""},
    {"Explorer\\FindExtensions", true, ""},
    {"CurrentVersion\\Control Panel\\Cpls", true, ""},
    {"CurrentVersion\\Control Panel\\Extended Properties", true, ""},
    {"Microsoft\\CTF", true, ""},                            // text services loaded into every window
    {"Explorer\\Browser Helper Objects", true, ""},
    {"Internet Explorer\\Extensions", true, ""},
    {"Internet Explorer\\Toolbar", true, ""},
    {"Internet Explorer\\URLSearchHooks", true, ""},
    {"Internet Explorer\\Explorer Bars", true, ""},
    {"PROTOCOLS\\Handler", true, ""},
    {"PROTOCOLS\\Filter", true, ""},
    {"Internet Explorer\\MenuExt", true, ""},
    {"Internet Explorer\\Low Rights", true, ""},                // programs a page may start unasked
    {"Internet Explorer\\Plugins", true, ""},
    {"Internet Explorer\\ActiveX Compatibility", true, ""},     // the kill bits the blocker sets
    {"Internet Settings\\Zones", true, ""},                    // a zone's settings may start unsafe controls
    {"Internet Settings\\Lockdown_Zones", true, ""},
    {"Internet Settings\\ZoneMap", true, ""},                  // which sites a zone holds
    {"Office\\*\\Addins", true, ""},
    {"Office\\*\\*\\Addins", true, ""},
    {"Microsoft\\Office test\\Special\\Perf", true, ""},
    {"Office\\*\\Excel\\Options", true, ""},                   // OPEN, OPEN1, ...: add-ins loaded at start
    {"Outlook\\WebView", true, ""},                            // pages a folder shows, with their scripts
    {"Outlook\\Today", true, ""},
    // classes: every server, TreatAs and the class of a program identifier
    {"CLSID", true, ""},
    {"AppID", true, ""},
    // services, drivers and what the system loads into its own processes
    {"CurrentControlSet\\Services", true, ""},                // also the Winsock catalogues
    {"CurrentControlSet\\Control\\Session Manager", true, ""},  // BootExecute, KnownDLLs, AppCertDlls
    {"CurrentControlSet\\Control\\Print", true, ""},          // print monitors and processors
    {"CurrentControlSet\\Control\\Lsa", true, ""},            // authentication and security packages
    {"CurrentControlSet\\Control\\SecurityProviders", true, ""},
    {"CurrentControlSet\\Control\\NetworkProvider", true, ""},
    {"CurrentControlSet\\Control\\SafeBoot", true, ""},
    {"CurrentControlSet\\Control\\Terminal Server", true, ""},
    {"CurrentControlSet\\Control\\BootVerificationProgram", true, ""},
    {"CurrentControlSet\\Control\\LsaExtensionConfig", true, ""},
    {"CurrentControlSet\\Control\\Class", true, ""},        // UpperFilters, LowerFilters, class installers
    {"CurrentControlSet\\Control\\CoDeviceInstallers", true, ""},
    {"CurrentControlSet\\Enum", true, ""},                   // a device's own filters and service
    {"CurrentControlSet\\Control\\Keyboard Layouts", true, ""},  // "Layout File", "IME File"
    {"CurrentControlSet\\Control\\WOW", true, ""},
    {"CurrentControlSet\\Control\\ContentIndex", true, ""},   // word breakers loaded by the indexer
    {"System\\Setup", false, "CmdLine"},
    {"Windows NT\\CurrentVersion\\Image File Execution Options", true, ""},
    {"Windows NT\\CurrentVersion\\SilentProcessExit", true, ""},
    {"Windows NT\\CurrentVersion\\AeDebug", true, ""},
    {"Windows NT\\CurrentVersion\\AeDebugProtected", true, ""},
    {".NETFramework", false, "DbgManagedDebugger"},
    {"Windows NT\\CurrentVersion\\Drivers32", true, ""},
    {"Windows NT\\CurrentVersion\\Font Drivers", true, ""},
    {"Windows NT\\CurrentVersion\\Svchost", true, ""},
    {"Windows Error Reporting\\Hangs", true, ""},             // Debugger
    {"Windows Error Reporting\\RuntimeExceptionHelperModules", true, ""},
    {"AppCompatFlags\\InstalledSDB", true, ""},               // compatibility databases and their fixes
    {"AppCompatFlags\\Custom", true, ""},
    {"Microsoft\\NetSh", true, ""},                           // helper libraries
    {"Cryptography\\OID", true, ""},                          // signature and encoding libraries
    {"Cryptography\\Providers", true, ""},
    {"Cryptography\\Defaults\\Provider", true, ""},
};

// The registry's limits: a key's name, and a whole key path with its root's name, in UTF-16
// characters. The system cuts a longer path short and would open a key the path never named.
const size_t kMaxKeyName = 255;
const size_t kMaxKeyPath = 32767;

// A key or value name as the registry compares it, upper case; the few letters that a case table
// may take for a plain ASCII one (dotless i, long s, the Kelvin sign) count as that letter, so
// that no spelling of a name slips past the check.
std::string FoldName(const std::string& name) {
  std::string folded = AnsiUpperCase(name);
  for (const auto& [letter, plain] : {std::pair{"\xC4\xB1", "I"}, {"\xC5\xBF", "S"}, {"\xE2\x84\xAA", "K"}})
    folded = StringReplace(folded, letter, plain);
  return folded;
}

// The names of a key path, folded; empty names (doubled or trailing "\") are left out, as the
// registry leaves them out. A control set's own name stands for the current control set.
std::vector<std::string> KeyParts(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(FoldName(path.substr(start, end - start)));
    start = end + 1;
  }
  for (std::string& part : parts)
    if (part.size() == 13 && part.rfind("CONTROLSET", 0) == 0 && isdigit((unsigned char)part[10]) &&
        isdigit((unsigned char)part[11]) && isdigit((unsigned char)part[12]))
      part = "CURRENTCONTROLSET";
  return parts;
}

// A location as the check compares it: its names and its value names folded, read once.
struct TFoldedLocation {
  std::vector<std::string> Names;
  bool Subkeys;
  std::vector<std::string> Values;   // empty: every value
};

const std::vector<TFoldedLocation>& FoldedLocations() {
  static const std::vector<TFoldedLocation> folded = [] {
    std::vector<TFoldedLocation> all;
    for (const TDeniedLocation& location : kDeniedLocations) {
      TFoldedLocation f{KeyParts(location.Key), location.Subkeys, {}};
      if (*location.Values != 0)
        for (const std::string& value : SplitString(location.Values, '|')) f.Values.push_back(FoldName(value));
      all.push_back(std::move(f));
    }
    return all;
  }();
  return folded;
}

// True when the location's run of names stands somewhere in parts (ending the path unless the
// location takes in its subkeys); a location without names stands everywhere.
bool CoversKey(const TFoldedLocation& location, const std::vector<std::string>& parts) {
  const std::vector<std::string>& names = location.Names;
  if (names.empty()) return true;
  for (size_t start = 0; start + names.size() <= parts.size(); ++start) {
    if (!location.Subkeys && start + names.size() != parts.size()) continue;
    size_t i = 0;
    while (i < names.size() && (names[i] == "*" || names[i] == parts[start + i])) ++i;
    if (i == names.size()) return true;
  }
  return false;
}

// The check of one key for every value a fix names: the locations that cover the key are found
// once, so a line naming many values is checked in time in step with its length.
class TKeyCheck {
 public:
  explicit TKeyCheck(const std::string& subkey) {
    std::vector<std::string> parts = KeyParts(subkey);
    for (const TFoldedLocation& location : FoldedLocations())
      if (CoversKey(location, parts)) covering_.push_back(&location);
  }
  bool Denies(const std::string& valueName) const {
    if (covering_.empty()) return false;
    std::string folded = FoldName(valueName);
    for (const TFoldedLocation* location : covering_)
      if (location->Values.empty() ||
          std::find(location->Values.begin(), location->Values.end(), folded) != location->Values.end())
        return true;
    return false;
  }

 private:
  std::vector<const TFoldedLocation*> covering_;
};

bool HasControlCharacters(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

// A decimal number that fits a double word, as signed or unsigned.
bool IsDwordNumber(const std::string& s, DWORD& value) {
  size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  if (i == s.size() || s.size() - i > 10) return false;
  long long n = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    n = n * 10 + (s[i] - '0');
  }
  if (s[0] == '-') n = -n;
  if (n < -2147483648LL || n > 4294967295LL) return false;
  value = (DWORD)n;
  return true;
}

bool ParseOperations(const std::string& text, std::vector<TRegOp>& ops) {
  ops.clear();
  for (const std::string& piece : SplitString(text)) {
    TRegOp op;
    if (!ParseOperation(piece, op)) return false;
    ops.push_back(op);
  }
  return !ops.empty();
}

// The operations text without its description.
std::string OperationsPart(const std::string& operations) {
  size_t hashes = operations.find("##");
  return TrimRight(hashes == std::string::npos ? operations : operations.substr(0, hashes));
}

}  // namespace

HKEY RootKeyFromName(const std::string& name) {
  for (size_t i = 0; i < std::size(kRootNames); ++i)
    if (name == kRootNames[i]) return kRootKeys[i];
  return nullptr;
}

bool ResolveKeyPath(const std::string& keyPath, HKEY& root, std::string& subkey) {
  size_t slash = keyPath.find('\\');
  if (slash == std::string::npos) return false;
  root = RootKeyFromName(keyPath.substr(0, slash));
  subkey.clear();
  size_t start = slash + 1;
  while (start <= keyPath.size()) {
    size_t end = keyPath.find('\\', start);
    if (end == std::string::npos) end = keyPath.size();
    if (end > start) {
      std::string name = keyPath.substr(start, end - start);
      if (Widen(name).size() > kMaxKeyName) return false;
      subkey += (subkey.empty() ? "" : "\\") + name;
    }
    start = end + 1;
  }
  return root != nullptr && !subkey.empty() && Widen(keyPath.substr(0, slash + 1) + subkey).size() <= kMaxKeyPath;
}

std::vector<std::string> SplitString(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    pieces.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return pieces;
    start = at + 1;
  }
}

bool ParseOperation(const std::string& piece, TRegOp& op) {
  size_t hash = piece.find('#'), dollar = piece.find('$'), at = piece.find('@');
  if (hash == std::string::npos || dollar == std::string::npos || at == std::string::npos) return false;
  if (!(hash < dollar && dollar + 2 == at && at + 2 == piece.size())) return false;
  op.ValueName = piece.substr(0, hash);
  op.Data = piece.substr(hash + 1, dollar - hash - 1);
  op.Action = piece[dollar + 1] - '0';
  op.Type = piece[at + 1] - '0';
  if ((op.Action != 1 && op.Action != 2) || (op.Type != 0 && op.Type != 1)) return false;
  if (HasControlCharacters(op.ValueName) || HasControlCharacters(op.Data)) return false;
  DWORD number = 0;
  return !(op.Action == 1 && op.Type == 0 && !IsDwordNumber(op.Data, number));
}

bool ParseErrorLine(const std::string& line, UnitErrorList::TContent& content, std::vector<TRegOp>& ops) {
  size_t paren = line.find(')');
  if (paren == std::string::npos) return false;
  size_t bars = line.find("||", paren + 1);
  if (bars == std::string::npos) return false;
  content.Title = line.substr(0, paren);
  content.KeyPath = line.substr(paren + 1, bars - paren - 1);
  content.Operations = line.substr(bars + 2);
  size_t hashes = content.Operations.find("##");
  content.Description = Widen(hashes == std::string::npos ? "" : content.Operations.substr(hashes + 2));
  content.Mark = 0;
  HKEY root;
  std::string subkey;
  if (HasControlCharacters(content.Title) || HasControlCharacters(content.KeyPath) ||
      !ResolveKeyPath(content.KeyPath, root, subkey) || !ParseOperations(OperationsPart(content.Operations), ops))
    return false;
  TKeyCheck check(subkey);
  for (const TRegOp& op : ops)
    if (check.Denies(op.ValueName)) return false;
  return true;
}

void LoadErrorList(const std::vector<std::string>& lines, TErrorContents& errors, std::vector<TErrorRow>& rows) {
  std::string previous;
  for (const std::string& raw : lines) {
    std::string line = TrimRight(raw);
    if (line.empty()) continue;
    UnitErrorList::TContent content;
    std::vector<TRegOp> ops;
    if (!ParseErrorLine(line, content, ops)) continue;
    errors.GetItem(errors.Add()).Content = content;
    if (content.Title != previous)
      rows.push_back({.Caption = content.Title, .Description = Narrow(content.Description), .FromList = true});
    previous = content.Title;
  }
}

void AddBuiltinRows(std::vector<TErrorRow>& rows) {
  for (const TBuiltinRow& row : kBuiltinRows) rows.push_back({.Caption = row.Caption, .Description = row.Description});
}

std::string FindDescription(const TErrorContents& errors, const std::string& title) {
  for (int i = 0; i < errors.Count(); ++i)
    if (errors.GetItem(i).Content.Title == title) return Narrow(errors.GetItem(i).Content.Description);
  return "";
}

bool ApplyRegOp(const std::string& keyPath, const TRegOp& op) {
  bool whole = false;
  return ApplyRegOps(keyPath, {op}, whole) == 1;
}

int ApplyRegOps(const std::string& keyPath, const std::vector<TRegOp>& ops, bool& whole) {
  whole = false;
  HKEY root;
  std::string subkey;
  if (!ResolveKeyPath(keyPath, root, subkey)) return 0;
  TKeyCheck check(subkey);
  // On 64-bit Windows the path names the key the system's own (64-bit) programs read, as the
  // registry editor shows it; a path through "Wow6432Node" still names the 32-bit programs' one.
  TRegistry reg(KEY_QUERY_VALUE | KEY_SET_VALUE | (PublicFunctionUnit::RunsUnderWow64() ? KEY_WOW64_64KEY : 0));
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + subkey, false)) return 0;
  whole = true;
  int applied = 0;
  for (const TRegOp& op : ops) {
    bool done = false, holds = false;
    if (check.Denies(op.ValueName)) {
      // refused: never written or deleted
    } else if (op.Action == 2) {
      done = reg.DeleteValue(op.ValueName);
      // a value that is not there is as the fix wants it, though nothing was applied
      holds = done || RegQueryValueExW(reg.CurrentKey(), Widen(op.ValueName).c_str(), nullptr, nullptr, nullptr,
                                       nullptr) == ERROR_FILE_NOT_FOUND;
    } else if (op.Type == 1) {
      done = reg.WriteValue(op.ValueName, StringValue(op.Data));
    } else if (DWORD number = 0; IsDwordNumber(op.Data, number)) {
      done = reg.WriteValue(op.ValueName, DwordValue(number));
    }
    if (done) ++applied;
    whole = whole && (done || holds);
  }
  return applied;
}

TRepairResult Repair(const std::vector<TErrorRow>& rows, const TErrorContents& errors) {
  // A title may head several rows (the list makes one per run of lines with that title); each of
  // its fixes is applied once, in the list's order.
  TRepairResult result;
  std::unordered_set<std::string> ticked;
  for (const TErrorRow& row : rows)
    if (row.Ticked && row.FromList) ticked.insert(Trim(row.Caption));
  result.AnyTicked = !ticked.empty();
  struct TOutcome {
    int Applied = 0;
    bool Whole = true;
  };
  std::vector<std::string> order;
  std::unordered_map<std::string, TOutcome> outcomes;
  for (int i = 0; i < errors.Count(); ++i) {
    const UnitErrorList::TContent& fix = errors.GetItem(i).Content;
    std::string title = Trim(fix.Title);
    if (!ticked.contains(title)) continue;
    auto [outcome, first] = outcomes.try_emplace(title);
    if (first) order.push_back(title);
    std::vector<TRegOp> ops;
    bool whole = false;
    // the operations were checked when the list was loaded
    int applied = ParseOperations(OperationsPart(fix.Operations), ops) ? ApplyRegOps(fix.KeyPath, ops, whole) : 0;
    outcome->second.Applied += applied;
    outcome->second.Whole = outcome->second.Whole && whole;
    result.Applied += applied;
  }
  for (const std::string& title : order) {
    const TOutcome& outcome = outcomes[title];
    if (!outcome.Whole) result.NotRepaired.push_back(title);
    else if (outcome.Applied == 0) result.NothingToRepair.push_back(title);
  }
  return result;
}

namespace {
// The most titles a message names; the rest are counted.
constexpr size_t kTitlesShown = 10;
}  // namespace

std::string NotRepairedText(const TRepairResult& result) {
  std::string text;
  MainUnit::AddHeadedList(text, kNotRepairedHead, result.NotRepaired, kTitlesShown);
  return text;
}

std::string NothingToRepairText(const TRepairResult& result) {
  std::string text;
  MainUnit::AddHeadedList(text, kNothingToRepairHead, result.NothingToRepair, kTitlesShown);
  return text;
}

}  // namespace UnitSystemError
