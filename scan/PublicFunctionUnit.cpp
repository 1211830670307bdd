#include "PublicFunctionUnit.h"

#include <oleauto.h>
#include <sddl.h>

#include <cctype>
#include <vector>
#include <unordered_map>
#include <shellapi.h>

#include "../framework/Application.h"
#include "../framework/Automation.h"
#include "../framework/Endpoints.h"
#include "../framework/Exceptions.h"
#include "../framework/Handles.h"
#include "../framework/ListedEntry.h"
#include "../framework/Registry.h"

namespace PublicFunctionUnit {

TMyRegistryInfo MyRegistryInfo;
TRunState ScanState = TRunState::Idle;
int32_t ProblemNumber = 0;
int32_t ItemsProcessed = 0;
int32_t VisitedKeyCount = 0;
uint8_t PlatformKind = 0;
TStringList NonFixedDrives;
std::string CommandLineParam;
TProgressTarget* ItemsProcessedBar = nullptr;
TCaptionTarget* ItemsProcessedLabel = nullptr;

void LoadSettings() {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (reg.OpenKeyReadOnly(RunKey)) MyRegistryInfo.NotRun = !RunsAtStartup(reg, ExeName());
  reg.CloseKey();
  // Without the rights to write the key, the settings are still read (and nothing is written).
  bool writable = reg.OpenKey(SettingsKey, true);
  if (!writable && !reg.OpenKeyReadOnly(SettingsKey)) return;

  auto readText = [&](const char* name) {
    std::string text;
    reg.ReadText(name, text);
    return text;
  };
  MyRegistryInfo.HomePage = readText("HomePage");
  if (MyRegistryInfo.HomePage.empty()) MyRegistryInfo.HomePage = Endpoints::HomePage;
  MyRegistryInfo.HelpURL = readText("HelpURL");
  if (MyRegistryInfo.HelpURL.empty()) MyRegistryInfo.HelpURL = Endpoints::HomePage + "/help";

  struct Flag {
    const char* name;
    const char* fallback;
    bool* field;
    const char* setText;   // the text that sets the flag
  };
  const Flag flags[] = {
      {"NotAutoBackup", "0", &MyRegistryInfo.NotAutoBackup, "1"},
      {"OneTime", "0", &MyRegistryInfo.OneTime, "0"},
      {"SelectAll", "1", &MyRegistryInfo.SelectAll, "1"},
      {"CheckUpdate", "1", &MyRegistryInfo.CheckUpdate, "1"},
  };
  for (const Flag& f : flags) {
    std::string text;
    bool isText = reg.ReadText(f.name, text);
    if (text.empty()) {
      // A missing or empty flag gets its default written; one that holds data of another kind
      // cannot be read as a flag but is the user's: it counts as its default and stays as it is.
      if (writable && (isText || !reg.ValueExists(f.name))) reg.WriteString(f.name, f.fallback);
      text = f.fallback;
    }
    *f.field = text == f.setText;
  }
  if (writable) reg.WriteString("Version", "3.0");
  reg.CloseKey();
}

void TickItemsProcessed() {
  ++ItemsProcessed;
  if (ItemsProcessed % 200 != 0) return;
  if (ItemsProcessedBar != nullptr) {
    int p = ItemsProcessedBar->Position() + 1;
    ItemsProcessedBar->SetPosition(p >= 100 ? 0 : p);
  }
  if (ItemsProcessedLabel != nullptr) ItemsProcessedLabel->SetCaption(Format("Items processed: %10d", ItemsProcessed));
}

void DetectPlatform() {
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  if (!GetVersionExW(&vi)) return;
  switch (vi.dwPlatformId) {
    case 0: PlatformKind = 1; break;
    case 1: PlatformKind = 2; break;
    case 2: PlatformKind = 4; break;
    default: break;
  }
}

void ListNonFixedDrives(TStringList& list) {
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    if (RepairStopRequested()) return;
    std::string root = std::string(1, letter) + ":\\";
    switch (GetDriveTypeW(Widen(root).c_str())) {
      case DRIVE_REMOVABLE:
      case DRIVE_REMOTE:
      case DRIVE_CDROM:
      case DRIVE_RAMDISK:
        list.Add(std::string(1, letter) + ":");
        break;
      default:
        break;
    }
  }
}

bool IsOnFixedDrive(const TStringList& drives, const std::string& path) {
  if (drives.Count() == 0) return true;
  std::string upperPath = AnsiUpperCase(path);
  for (const std::string& d : drives.Items)
    if (upperPath.find(AnsiUpperCase(d)) != std::string::npos) return false;
  return true;
}

bool RunsUnderWow64() {
  static const bool wow64 = [] {
    auto isWow64 = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PBOOL)>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process"));
    BOOL result = FALSE;
    return isWow64 != nullptr && isWow64(GetCurrentProcess(), &result) && result;
  }();
  return wow64;
}

// The type of the drive of a letter ("C"), asked of the system at most once a second: the system
// takes long to tell it. That the drive is there at all is looked up at every call.
static UINT LetterDriveType(char letter) {
  struct TKnownType {
    UINT Type = DRIVE_UNKNOWN;
    DWORD AskedAt = 0;
    bool Asked = false;
  };
  static TKnownType known[26];
  constexpr DWORD AskAgainAfterMs = 1000;
  wchar_t root[] = {(wchar_t)letter, L':', L'\\', 0};
  if (GetFileAttributesW(root) == INVALID_FILE_ATTRIBUTES) return DRIVE_NO_ROOT_DIR;
  TKnownType& k = known[(letter | 0x20) - 'a'];
  DWORD now = GetTickCount();
  if (!k.Asked || now - k.AskedAt >= AskAgainAfterMs) {
    k.Type = GetDriveTypeW(root);
    k.AskedAt = now;
    k.Asked = true;
  }
  return k.Type;
}

bool IsOnFixedDriveNow(const std::string& path) {
  std::string p = TrimLeft(path);
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') return false;
  bool lettered = p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (!lettered) return GetDriveTypeW(nullptr) == DRIVE_FIXED;   // the current drive
  return LetterDriveType(p[0]) == DRIVE_FIXED;
}

bool GetCommandLineParam(std::string& param) {
  param.clear();
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv != nullptr) {
    if (argc > 1) param = Narrow(argv[1]);
    LocalFree(argv);
  }
  return !param.empty();
}

void ProcessMessages() {
  constexpr DWORD PumpIntervalMs = 10;
  static DWORD lastPump = 0;
  DWORD now = GetTickCount();
  if (now - lastPump < PumpIntervalMs) return;
  lastPump = now;
  Application.ProcessMessages();
}

namespace {
// One look-up's answer: the attributes, or the error the system gave for the path.
struct TLookUp {
  DWORD Attributes = INVALID_FILE_ATTRIBUTES;
  DWORD Error = ERROR_SUCCESS;
};

struct TFileCheckCache {
  int Scopes = 0;
  std::unordered_map<std::string, TLookUp> Found;
};

TFileCheckCache& FileChecks() {
  static TFileCheckCache cache;
  return cache;
}

constexpr size_t MaxKeptPaths = 4096;

TAttributesReader AttributesReader = GetFileAttributesW;

// The file system's redirection of a 32-bit program on a 64-bit system, switched off for the
// calling thread while the object lives (nothing happens elsewhere: the calls exist only there).
class TNativeFileView {
 public:
  TNativeFileView() {
    if (Functions().Disable != nullptr && Functions().Disable(&old_)) switched_ = true;
  }
  ~TNativeFileView() {
    if (switched_) Functions().Revert(old_);
  }
  TNativeFileView(const TNativeFileView&) = delete;
  TNativeFileView& operator=(const TNativeFileView&) = delete;
  bool Switched() const { return switched_; }

 private:
  struct TCalls {
    BOOL(WINAPI* Disable)(PVOID*) = nullptr;
    BOOL(WINAPI* Revert)(PVOID) = nullptr;
  };
  // Looked up once, and only under 64-bit Windows: a 32-bit system has no such view.
  static const TCalls& Functions() {
    static const TCalls calls = [] {
      TCalls c;
      if (!RunsUnderWow64()) return c;
      HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
      c.Disable = reinterpret_cast<BOOL(WINAPI*)(PVOID*)>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection"));
      c.Revert = reinterpret_cast<BOOL(WINAPI*)(PVOID)>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection"));
      if (c.Revert == nullptr) c.Disable = nullptr;
      return c;
    }();
    return calls;
  }
  PVOID old_ = nullptr;
  bool switched_ = false;
};

TLookUp ReadOnce(const std::wstring& path) {
  TLookUp found;
  found.Attributes = AttributesReader(path.c_str());
  if (found.Attributes == INVALID_FILE_ATTRIBUTES) found.Error = GetLastError();
  return found;
}

// A path's attributes in the system's own view, else in this program's view. Nothing is there
// only when neither view can say otherwise: an answer other than "not found" in the system's view
// leaves the path unknown when this program's view does not find it either.
TLookUp ReadAttributes(const std::string& path) {
  std::wstring wide = Widen(path);
  TLookUp native;
  {
    TNativeFileView view;
    if (view.Switched()) {
      native = ReadOnce(wide);
      if (native.Attributes != INVALID_FILE_ATTRIBUTES) return native;
    }
  }
  TLookUp own = ReadOnce(wide);
  if (own.Attributes == INVALID_FILE_ATTRIBUTES && native.Error != ERROR_SUCCESS && NotFoundError(own.Error))
    return native;
  return own;
}

TLookUp LookUpOf(const std::string& path) {
  TFileCheckCache& cache = FileChecks();
  if (cache.Scopes == 0) return ReadAttributes(path);
  auto kept = cache.Found.find(path);
  if (kept != cache.Found.end()) return kept->second;
  TLookUp found = ReadAttributes(path);
  if (cache.Found.size() >= MaxKeptPaths) cache.Found.clear();
  cache.Found.emplace(path, found);
  return found;
}
}  // namespace

TScanFileChecks::TScanFileChecks() {
  FileChecks().Found.clear();
  ++FileChecks().Scopes;
}

TScanFileChecks::~TScanFileChecks() {
  if (--FileChecks().Scopes == 0) FileChecks().Found.clear();
}

void SetAttributesReader(TAttributesReader reader) {
  AttributesReader = reader != nullptr ? reader : GetFileAttributesW;
  FileChecks().Found.clear();
}

// Counted as Widen would convert the path, without converting it: every path a scan judges
// passes here.
bool WithinPathLimit(const std::string& path) {
  if (path.size() < MAX_PATH) return true;   // UTF-8 takes at least one byte for each UTF-16 unit
  return MultiByteToWideChar(CP_UTF8, 0, path.data(), (int)path.size(), nullptr, 0) < MAX_PATH;
}

TPathLook ScanLookUp(const std::string& path) {
  if (path.empty() || !WithinPathLimit(path)) return TPathLook::Unknown;
  TLookUp found = LookUpOf(path);
  if (found.Attributes != INVALID_FILE_ATTRIBUTES)
    return (found.Attributes & FILE_ATTRIBUTE_DIRECTORY) ? TPathLook::Folder : TPathLook::File;
  return NotFoundError(found.Error) ? TPathLook::Absent : TPathLook::Unknown;
}

bool ScanFileExists(const std::string& path) { return ScanLookUp(path) == TPathLook::File; }

bool ScanDirectoryExists(const std::string& path) { return ScanLookUp(path) == TPathLook::Folder; }

bool ScanPathExists(const std::string& path) {
  TPathLook look = ScanLookUp(path);
  return look == TPathLook::File || look == TPathLook::Folder;
}

void Delay(DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    Application.ProcessMessages();
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
  }
}

bool EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TKernelHandle owned(token);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return false;
  return AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
}

void GetCurrentUserName(std::string& name) {
  wchar_t buf[256];
  DWORD size = 255;
  if (GetUserNameW(buf, &size) && size > 0) name = Narrow(buf, size - 1);
}

void OpenUrl(int mode, const std::string& address) {
  if (mode != 1) {
    ShellExecuteW(Application.Handle, L"open", Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return;
  }
  TAutoObject browser;
  try {
    browser = TAutoObject::Create("InternetExplorer.Application", CLSCTX_LOCAL_SERVER);
  } catch (const EOleError&) {
    throw std::runtime_error("Invalid class string");
  }
  browser.Put("Left", 0);
  browser.Put("Width", GetSystemMetrics(SM_CXSCREEN));
  browser.Put("Top", 0);
  browser.Put("Height", GetSystemMetrics(SM_CYSCREEN) - 30);
  browser.Put("Visible", true);
  browser.Call("Navigate", {address});
}

namespace {
struct RootName {
  const char* name;
  HKEY root;
};
const RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};
}  // namespace

HKEY RootKeyFromName(const std::string& name) {
  for (const RootName& r : kRoots)
    if (name == r.name) return r.root;
  return nullptr;
}

std::string RootKeyName(HKEY root) {
  for (const RootName& r : kRoots)
    if (root == r.root) return r.name;
  return {};
}

HKEY SplitRegistryPath(const std::string& fullPath, std::string& subPath) {
  size_t slash = fullPath.find('\\');
  HKEY root = RootKeyFromName(fullPath.substr(0, slash));
  subPath = (root == nullptr || slash == std::string::npos) ? std::string() : fullPath.substr(slash + 1);
  return root;
}

std::string CurrentUserSid() {
  static const std::string sid = [] {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return std::string();
    TKernelHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    wchar_t* text = nullptr;
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
      return std::string();
    std::string result = Narrow(text);
    LocalFree(text);
    return IsSidText(result) ? result : std::string();
  }();
  return sid;
}

bool IsSidText(const std::string& text) {
  if (text.size() < 5 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return false;
  bool digit = false;
  int groups = 0;
  for (size_t i = 2; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '-') {
      if (!digit) return false;
      ++groups;
      digit = false;
    } else if (text[i] >= '0' && text[i] <= '9') {
      digit = true;
    } else {
      return false;
    }
  }
  return groups >= 2;
}

bool IsCurrentUsersSid(const std::string& sid) { return sid.empty() || SameText(sid, CurrentUserSid()); }

HKEY RealClassesKey(const std::string& subKey, std::string& realSubKey) {
  realSubKey = subKey.empty() ? std::string("Software\\Classes") : "Software\\Classes\\" + subKey;
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, Widen(realSubKey).c_str(), 0, KEY_READ, &key);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  // a user's key that is there but cannot be read is still the one the merged view shows
  return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// A key below HKEY_USERS (upper-cased) as the hive it lies in: a user's classes hive
// "<sid>_CLASSES" is that user's SOFTWARE\CLASSES, and ".DEFAULT" is the system account's hive
// "S-1-5-18".
static std::string UsersKeyIdentity(const std::string& key) {
  size_t slash = key.find('\\');
  std::string hive = key.substr(0, slash), rest = slash == std::string::npos ? std::string() : key.substr(slash);
  const std::string classesSuffix = "_CLASSES";
  std::string classes;
  if (hive.size() > classesSuffix.size() && hive.ends_with(classesSuffix)) {
    hive.resize(hive.size() - classesSuffix.size());
    classes = "\\SOFTWARE\\CLASSES";
  }
  if (hive == ".DEFAULT") hive = "S-1-5-18";
  return hive + classes + rest;
}

std::string KeyIdentity(HKEY root, const std::string& subKey) {
  static const std::string user = AnsiUpperCase(CurrentUserSid());
  if (root == HKEY_CLASSES_ROOT) {
    std::string real;
    HKEY realRoot = RealClassesKey(subKey, real);
    return KeyIdentity(realRoot, real);
  }
  std::string key = AnsiUpperCase(subKey);
  if (root == HKEY_CURRENT_USER && !user.empty()) {
    root = HKEY_USERS;
    key = key.empty() ? user : user + "\\" + key;
  }
  if (root == HKEY_USERS) key = UsersKeyIdentity(key);
  std::string rootText = RootKeyName(root);
  return key.empty() ? rootText : rootText + "\\" + key;
}

std::string KeyIdentity(const std::string& keyPath) {
  std::string upper = AnsiUpperCase(keyPath), subKey;   // the root's name in any case
  HKEY root = SplitRegistryPath(upper, subKey);
  return root == nullptr ? upper : KeyIdentity(root, subKey);
}

bool DeleteRegistryValue(const std::string& fullPath, const std::string& valueName) {
  std::string subPath;
  HKEY root = SplitRegistryPath(fullPath, subPath);
  if (root == nullptr) return false;
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + subPath, false)) return false;   // a vanished key is not re-created
  return reg.DeleteValue(valueName);
}

bool DeleteRegistryKey(HKEY root, const std::string& path) {
  if (root == nullptr) return false;
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.KeyExists(path)) return false;
  return reg.DeleteKey(path);
}

TDateTime FileTimeToDateTime(const FILETIME& fileTime) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&fileTime, &local) || !FileTimeToSystemTime(&local, &st)) return 0;
  FILETIME back;
  SystemTimeToFileTime(&st, &back);
  ULARGE_INTEGER u;
  u.LowPart = back.dwLowDateTime;
  u.HighPart = back.dwHighDateTime;
  return (double)u.QuadPart / 864000000000.0 - 109205.0;
}

std::string GetProgramFilesDir(int selector) {
  if (selector != 0 && selector != 1) return {};
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false)) return {};
  const char* name = selector == 0 ? "ProgramFilesDir" : "CommonFilesDir";
  TRegDataType t = reg.GetDataType(name);
  return (t == rdString || t == rdExpandString) ? reg.ReadString(name) : std::string();
}

std::string GetWindowsDir() {
  wchar_t buf[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  return ExcludeTrailingBackslash(Narrow(buf, n));
}

std::string GetSystemDir() {
  UINT length = GetSystemDirectoryW(nullptr, 0);   // the length with its terminating NUL
  if (length == 0) return {};
  std::wstring folder(length, L'\0');
  UINT written = GetSystemDirectoryW(folder.data(), length);
  if (written == 0 || written >= length) return {};
  folder.resize(written);
  return ExcludeTrailingBackslash(Narrow(folder));
}

static std::string QuotedProgram(const std::string& folder, const std::string& fileName) {
  return folder.empty() ? std::string() : "\"" + folder + "\\" + fileName + "\"";
}

std::string SystemProgram(const std::string& fileName) { return QuotedProgram(GetSystemDir(), fileName); }

std::string WindowsProgram(const std::string& fileName) { return QuotedProgram(GetWindowsDir(), fileName); }

namespace {

// A folder as the system reads it, for comparing two spellings of one folder.
std::string FolderKey(const std::string& folder) {
  std::wstring wide = Widen(folder);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return AnsiUpperCase(ExcludeTrailingBackslash(Narrow(full)));
}

std::string CurrentFolder() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  DWORD length = GetCurrentDirectoryW(size, folder.data());
  if (length == 0 || length >= size) return {};
  folder.resize(length);
  return Narrow(folder);
}

// The entries of the PATH variable, each without its quotes (an entry in quotes may hold ";").
std::vector<std::string> PathEntries() {
  DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  DWORD length = GetEnvironmentVariableW(L"PATH", value.data(), size);
  if (length == 0 || length >= size) return {};
  value.resize(length);
  std::vector<std::string> entries;
  std::string text = Narrow(value), entry;
  bool quoted = false;
  for (char c : text + ";") {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ';' && !quoted) {
      entry = Trim(entry);
      if (!entry.empty()) entries.push_back(entry);
      entry.clear();
    } else {
      entry += c;
    }
  }
  return entries;
}

}  // namespace

bool IsFullPath(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return std::isalpha((unsigned char)path[0]) != 0;
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

std::string FindProgram(const std::string& fileName) {
  const size_t kMaxFileName = 255;   // the characters a file's name can hold
  if (!ListedEntry::IsListedName(fileName) || ListedEntry::ParsesAsAnother(fileName)) return {};
  std::string name = ExtractFileExt(fileName).empty() ? fileName + ".exe" : fileName;   // as the system starts it
  if (Widen(name).size() > kMaxFileName) return {};
  std::vector<std::string> folders = {GetSystemDir(), GetWindowsDir()};
  std::string own = FolderKey(ExeDir()), current = FolderKey(CurrentFolder());
  for (const std::string& entry : PathEntries()) {
    if (!IsFullPath(entry)) continue;
    std::string key = FolderKey(entry);
    if (!key.empty() && key != own && key != current) folders.push_back(entry);
  }
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::string path = ExcludeTrailingBackslash(folder) + "\\" + name;
    if (FileExists(path)) return "\"" + path + "\"";
  }
  return {};
}

static std::string& IgnoreFileSetting() {
  static std::string name;
  return name;
}

std::string IgnoreFileName() {
  return IgnoreFileSetting().empty() ? ExeDir() + "ZelvoranIgnores.dat" : IgnoreFileSetting();
}

void SetIgnoreFileName(const std::string& fileName) { IgnoreFileSetting() = fileName; }

namespace {

// An escaped line's field: "%", "|" and the line breaks as "%25", "%7C", "%0D", "%0A".
std::string EscapeIgnoreField(const std::string& text) { return PercentEncode(text, "|\r\n"); }

// An escaped line: "|" and then the three escaped fields, separated by "|".
bool ParseEscapedLine(const std::string& line, IgnoreItemUnit::TContent& entry) {
  if (line.empty() || line[0] != '|') return false;
  size_t first = line.find('|', 1);
  size_t second = first == std::string::npos ? first : line.find('|', first + 1);
  if (second == std::string::npos || line.find('|', second + 1) != std::string::npos) return false;
  IgnoreItemUnit::TContent e;
  if (!PercentDecode(line.substr(1, first - 1), e.Section) ||
      !PercentDecode(line.substr(first + 1, second - first - 1), e.KeyPath) ||
      !PercentDecode(line.substr(second + 1), e.ValueName))
    return false;
  e.Exact = true;
  entry = std::move(e);
  return true;
}

}  // namespace

void ParseIgnoreLine(const std::string& line, IgnoreItemUnit::TContent& entry) {
  if (ParseEscapedLine(line, entry)) return;
  entry = {};
  size_t first = line.find('|');
  if (first == std::string::npos) {
    entry.ValueName = line;
    return;
  }
  entry.Section = line.substr(0, first);
  size_t second = line.find('|', first + 1);
  if (second == std::string::npos) {
    entry.ValueName = line.substr(first + 1);
    return;
  }
  entry.KeyPath = line.substr(first + 1, second - first - 1);
  entry.ValueName = line.substr(second + 1);
}

std::string IgnoreFileBytes() {
  std::string file = IgnoreFileName();
  return FileExists(file) ? ReadFileBytes(file) : std::string();
}

void LoadIgnoreList(TIgnoreContents& list) {
  list.Clear();
  for (const std::string& line : DecodeTextLines(IgnoreFileBytes())) {
    if (line.empty()) continue;
    ParseIgnoreLine(line, list.GetItem(list.Add()).Content);
  }
}

// Whether an entry names the value of this exact name ("" the key's unnamed value): an escaped
// line exactly; a plain line by its name, except that "default" there, as earlier versions wrote
// the unnamed value in the sections that show it so, stands for both the unnamed value and a
// value really named "default".
static bool NamesValue(const IgnoreItemUnit::TContent& e, const std::string& valueName) {
  if (!e.Exact && e.ValueName == "default") return valueName.empty() || valueName == "default";
  return e.ValueName == valueName;
}

// Whether the entry names the key of this identity (KeyIdentity).
static bool NamesKey(IgnoreItemUnit::TContent& e, const std::string& keyIdentity) {
  if (e.KeyIdentity.empty()) e.KeyIdentity = KeyIdentity(e.KeyPath);
  return e.KeyIdentity == keyIdentity;
}

bool IsIgnored(TIgnoreContents& list, const std::string& section, const std::string& keyPath,
               const std::string& valueName) {
  if (list.Count() == 0) return false;
  std::string upperSection = AnsiUpperCase(section);
  std::string key;   // the key's identity, made once an entry of the section needs it
  for (int i = 0; i < list.Count(); ++i) {
    auto& e = list.GetItem(i).Content;
    if (!NamesValue(e, valueName) || AnsiUpperCase(e.Section) != upperSection) continue;
    if (key.empty()) key = KeyIdentity(keyPath);
    if (NamesKey(e, key)) return true;
  }
  return false;
}

bool ListNamesEntry(TIgnoreContents& list, const std::string& keyPath, const std::string& valueName) {
  std::string key;
  for (int i = 0; i < list.Count(); ++i) {
    auto& e = list.GetItem(i).Content;
    if (e.Section.empty() || !NamesValue(e, valueName)) continue;   // a line of no section names nothing
    if (key.empty()) key = KeyIdentity(keyPath);
    if (NamesKey(e, key)) return true;
  }
  return false;
}

bool ListNamesEntryWithin(TIgnoreContents& list, const std::string& keyIdentity) {
  for (int i = 0; i < list.Count(); ++i) {
    auto& e = list.GetItem(i).Content;
    if (e.Section.empty()) continue;   // a line of no section names nothing
    if (e.KeyIdentity.empty()) e.KeyIdentity = KeyIdentity(e.KeyPath);
    const std::string& key = e.KeyIdentity;
    if (key.compare(0, keyIdentity.size(), keyIdentity) == 0 &&
        (key.size() == keyIdentity.size() || key[keyIdentity.size()] == '\\'))
      return true;
  }
  return false;
}

std::string IgnoreLine(const std::string& section, const std::string& keyPath, const std::string& valueName,
                       bool unnamed) {
  std::string exactName = unnamed ? std::string() : valueName;
  // A plain line reads back as this entry unless a field before the value holds "|" (or the
  // line would begin with one), or the value's name is "default", which a plain line reads as
  // both the unnamed value and a value so named.
  bool plainReadsBack = !section.empty() && section.find('|') == std::string::npos &&
                        keyPath.find('|') == std::string::npos && exactName != "default";
  if (plainReadsBack) return Format("%s|%s|%s", section, keyPath, exactName) + "\r\n";
  return "|" + EscapeIgnoreField(section) + "|" + EscapeIgnoreField(keyPath) + "|" + EscapeIgnoreField(exactName) +
         "\r\n";
}

}  // namespace PublicFunctionUnit
