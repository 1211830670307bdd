#include "RecycleUnitItems.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include <shellapi.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wininet.h>

#include "../../framework/Dialogs.h"
#include "../../framework/Handles.h"
#include "../../framework/ListedEntry.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"

namespace RecycleUnit {

namespace {

constexpr DWORD kTempBufferLength = 255;
constexpr const char* kCacheSubfolder = "\\Content.IE5";
constexpr const char* kCookieMark = "Cookie:";
constexpr DWORD kEmptyQuietly = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;   // 7

// ---- folders the cleaner never touches ----

// A drive or network path, with "/" read as "\" as the system reads it in a folder's value (TMP,
// Shell Folders); so a folder written "C:/..." is judged like "C:\...". PublicFunctionUnit::IsFullPath,
// made for command lines, takes only "\".
bool IsAbsolutePath(const std::wstring& p) {
  auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  bool drive = p.size() >= 3 && iswalpha(p[0]) && p[1] == L':' && slash(p[2]);
  bool unc = p.size() >= 3 && slash(p[0]) && slash(p[1]) && !slash(p[2]);
  return drive || unc;
}

// The full, long, upper-case form of a path without a trailing "\"; "" when it has none.
std::wstring ComparableFolder(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  if (n == 0 || n >= MAX_PATH * 2) return L"";
  std::wstring result(full, n);
  if (result.find(L'~') != std::wstring::npos) {   // a short (8.3) name is in it
    wchar_t longer[MAX_PATH * 2];
    n = GetLongPathNameW(result.c_str(), longer, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) result.assign(longer, n);
  }
  while (result.size() > 3 && result.back() == L'\\') result.pop_back();
  CharUpperBuffW(result.data(), (DWORD)result.size());
  return result;
}

// The folders of the system and the programs, and the folders the shell keeps the user's and
// every user's own data in. The categories' folders lie below some of them and stay cleanable.
constexpr int kShellFolders[] = {
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_FONTS, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
    CSIDL_COMMON_APPDATA,
    // the user's own
    CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO, CSIDL_FAVORITES,
    CSIDL_TEMPLATES, CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_SENDTO,
    // every user's
    CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PICTURES, CSIDL_COMMON_MUSIC,
    CSIDL_COMMON_VIDEO, CSIDL_COMMON_FAVORITES, CSIDL_COMMON_TEMPLATES, CSIDL_COMMON_STARTMENU,
    CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP};
// The same for folders the shell names only by their known-folder identifier (Vista on).
const KNOWNFOLDERID* const kKnownFolders[] = {&FOLDERID_Downloads, &FOLDERID_PublicDownloads, &FOLDERID_Public,
                                              &FOLDERID_UserProfiles, &FOLDERID_Links, &FOLDERID_SavedGames,
                                              &FOLDERID_Contacts};
// The environment's names for the profile, the programs and the common folders.
constexpr const wchar_t* kFolderVariables[] = {L"USERPROFILE", L"ProgramFiles", L"ProgramW6432", L"PUBLIC",
                                               L"ALLUSERSPROFILE", L"SystemRoot"};

// Asks the shell for a known folder; absent before Vista, so it is looked up when needed.
void AddKnownFolders(std::vector<std::wstring>& folders) {
  using TGetKnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  auto get = shell == nullptr ? nullptr : reinterpret_cast<TGetKnownFolderPath>(
                                              reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderPath")));
  if (get == nullptr) return;
  for (const KNOWNFOLDERID* id : kKnownFolders) {
    PWSTR path = nullptr;
    if (get(*id, 0, nullptr, &path) == S_OK && path != nullptr) folders.emplace_back(path);
    CoTaskMemFree(path);
  }
}

// The folders the cleaner never lists nor cleans, nor any folder above them, as the shell and
// the system name them now.
std::vector<std::wstring> ProtectedFolders() {
  std::vector<std::wstring> raw;
  wchar_t buf[MAX_PATH * 2];
  auto add = [&](DWORD n) {
    if (n > 0 && n < MAX_PATH * 2) raw.emplace_back(buf, n);
  };
  add(GetWindowsDirectoryW(buf, MAX_PATH * 2));
  if (!raw.empty()) {
    raw.push_back(raw.back() + L"\\System32");
    raw.push_back(raw.front() + L"\\SysWOW64");
  }
  add(GetSystemDirectoryW(buf, MAX_PATH * 2));
  add(GetSystemWow64DirectoryW(buf, MAX_PATH * 2));
  for (int csidl : kShellFolders)
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf) == S_OK) raw.emplace_back(buf);
  AddKnownFolders(raw);
  for (const wchar_t* name : kFolderVariables) add(GetEnvironmentVariableW(name, buf, MAX_PATH * 2));
  std::vector<std::wstring> result;
  for (const std::wstring& folder : raw) {
    std::wstring c = ComparableFolder(folder);
    if (!c.empty()) result.push_back(c);
  }
  return result;
}

// Decides folders against one reading of the protected folders, taken at the first folder that
// needs it.
class TFolderGuard {
 public:
  bool Allows(const std::string& folder) {
    auto known = decided_.find(folder);
    if (known != decided_.end()) return known->second;
    return decided_[folder] = Judge(folder);
  }

 private:
  bool Judge(const std::string& folder) {
    std::wstring path = Widen(folder);
    if (!IsAbsolutePath(path)) return false;
    std::wstring c = ComparableFolder(path);
    if (c.empty() || PathIsRootW(c.c_str()) || c.size() <= 3) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    if (!protected_) protected_ = ProtectedFolders();
    for (const std::wstring& p : *protected_) {
      if (p == c) return false;
      if (p.size() > c.size() && p.compare(0, c.size(), c) == 0 && p[c.size()] == L'\\') return false;
    }
    return true;
  }
  std::optional<std::vector<std::wstring>> protected_;
  std::map<std::string, bool> decided_;
};

bool IsListedAttribute(DWORD attributes) {
  for (DWORD a : {16u, 2u, 4u, 128u, 256u, 32u, 17u, 18u, 19u, 20u})
    if (attributes == a) return true;
  return false;
}

// ---- the URL cache ----

struct TCacheFindCloser {
  using Handle = HANDLE;
  static bool Valid(HANDLE h) { return h != nullptr; }
  static void Close(HANDLE h) { FindCloseUrlCache(h); }
};
using TCacheFind = TOwnedHandle<TCacheFindCloser>;

// Calls fn for every entry of the URL cache. Each call first learns the entry's size; the walk
// ends at the first failure other than a buffer too small (the end, or a refusal).
void ForEachCacheEntry(const std::function<void(const INTERNET_CACHE_ENTRY_INFOW&)>& fn) {
  std::vector<uint8_t> buffer;
  auto info = [&](DWORD size) {
    buffer.assign(std::max<size_t>(size, sizeof(INTERNET_CACHE_ENTRY_INFOW)), 0);
    return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  };
  DWORD size = 0;
  if (FindFirstUrlCacheEntryW(nullptr, nullptr, &size) != nullptr || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return;
  INTERNET_CACHE_ENTRY_INFOW* entry = info(size);
  size = (DWORD)buffer.size();
  TCacheFind find(FindFirstUrlCacheEntryW(nullptr, entry, &size));
  if (!find) return;
  for (;;) {
    if (entry->lpszSourceUrlName != nullptr) fn(*entry);
    size = 0;
    if (FindNextUrlCacheEntryW(find.Get(), nullptr, &size) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return;
    entry = info(size);
    size = (DWORD)buffer.size();
    if (!FindNextUrlCacheEntryW(find.Get(), entry, &size)) return;
  }
}

bool IsListedCacheEntry(const INTERNET_CACHE_ENTRY_INFOW& entry, std::string& url) {
  if ((entry.CacheEntryType & NORMAL_CACHE_ENTRY) == 0) return false;
  url = Narrow(entry.lpszSourceUrlName);
  return Pos(kCookieMark, url) == 0;
}

void ListValues(const std::string& keyPath, TCategory kind, std::vector<TRecycleData>& items) {
  TRegKeyHandle key;
  if (!key.Open(HKEY_CURRENT_USER, keyPath, KEY_READ)) return;
  TValueReader reader(key.Get());
  std::string name;
  TRegValue value;
  while (reader.Next(name, value))
    if (IsTextValue(value)) items.push_back({.Kind = kind, .Name = RegValueText(value), .Path = name});
}

}  // namespace

bool IsFileKind(TCategory kind) {
  return kind == TCategory::TemporaryFiles || kind == TCategory::NetHood || kind == TCategory::Recent;
}

// ---- folders ----

std::string TemporaryFolder() {
  wchar_t buffer[kTempBufferLength];
  DWORD n = GetTempPathW(kTempBufferLength, buffer);
  if (n == 0 || n >= kTempBufferLength) return "";
  return Narrow(buffer, n);
}

TShellFolder LoadShellFolders(const std::string& shellFoldersKey) {
  TShellFolder f;
  TRegKeyHandle key;
  bool opened = key.Open(HKEY_CURRENT_USER, shellFoldersKey, KEY_READ);
  auto read = [&](const wchar_t* name) {
    TRegValue value;
    return opened && QueryRegValue(key.Get(), name, value) && IsTextValue(value) ? RegValueText(value) : "";
  };
  f.LocalSettings = read(L"Local Settings");
  if (opened) f.Cache = read(L"Cache") + kCacheSubfolder;
  f.Temp = TemporaryFolder();
  f.NetHood = read(L"NetHood");
  f.Recent = read(L"Recent");
  f.History = read(L"History");
  return f;
}

bool IsCleanableFolder(const std::string& folder) { return TFolderGuard().Allows(folder); }

// ---- listers ----

void ListIECache(const TShellFolder& folders, std::vector<TRecycleData>& items) {
  ForEachCacheEntry([&](const INTERNET_CACHE_ENTRY_INFOW& entry) {
    std::string url;
    if (IsListedCacheEntry(entry, url)) items.push_back({.Kind = TCategory::IECache, .Name = url, .Path = folders.Cache});
  });
}

void ListTypedURLs(const std::string& key, std::vector<TRecycleData>& items) {
  ListValues(key, TCategory::IEAddress, items);
}

void ListRunMRU(const std::string& key, std::vector<TRecycleData>& items) { ListValues(key, TCategory::RunMRU, items); }

namespace {

void ListFolderFiles(const std::string& folder, TCategory kind, TFolderGuard& guard,
                     std::vector<TRecycleData>& items) {
  if (!guard.Allows(folder)) return;
  ForEachFile(folder, "*.*", [&](const TFoundFile& file) {
    if (!IsListedAttribute(file.Attributes)) return true;
    TRecycleData item{.Kind = kind, .Name = file.Name, .Path = folder};
    if (!ListedEntry::ReadStamp(folder, file.Name, item.Stamp)) return true;   // gone already
    items.push_back(std::move(item));
    return true;
  });
}

void ListCategory(TCategory category, const TShellFolder& folders, const TRecycleKeys& keys, TFolderGuard& guard,
                  std::vector<TRecycleData>& items) {
  switch (category) {
    case TCategory::RecycleBin: break;
    case TCategory::IECache: ListIECache(folders, items); break;
    case TCategory::IEAddress: ListTypedURLs(keys.TypedUrls, items); break;
    case TCategory::TemporaryFiles: ListFolderFiles(folders.Temp, category, guard, items); break;
    case TCategory::NetHood: ListFolderFiles(folders.NetHood, category, guard, items); break;
    case TCategory::Recent: ListFolderFiles(folders.Recent, category, guard, items); break;
    case TCategory::History: ListFolderFiles(folders.History, category, guard, items); break;
    case TCategory::RunMRU: ListRunMRU(keys.RunMru, items); break;
  }
}

}  // namespace

void ListFolderFiles(const std::string& folder, TCategory kind, std::vector<TRecycleData>& items) {
  TFolderGuard guard;
  ListFolderFiles(folder, kind, guard, items);
}

void ListCategory(TCategory category, const TShellFolder& folders, const TRecycleKeys& keys,
                  std::vector<TRecycleData>& items) {
  TFolderGuard guard;
  ListCategory(category, folders, keys, guard, items);
}

void ListAllCategories(const TShellFolder& folders, const TRecycleKeys& keys, std::vector<TRecycleData>& items) {
  TFolderGuard guard;
  for (int c = 0; c < CategoryCount; ++c) ListCategory(TCategory(c), folders, keys, guard, items);
}

// ---- cleaners ----

bool EmptyRecycleBin(HWND owner) {
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (shell == nullptr) {
    ShowMessageBox(ShellLoadFailedText, MB_ICONERROR | MB_OK);
    return false;
  }
  using TEmptyBin = HRESULT(WINAPI*)(HWND, LPCWSTR, DWORD);
  auto empty = reinterpret_cast<TEmptyBin>(reinterpret_cast<void*>(GetProcAddress(shell, "SHEmptyRecycleBinW")));
  if (empty != nullptr) empty(owner, L"", kEmptyQuietly);
  FreeLibrary(shell);
  return true;
}

int DeleteIECache(const std::vector<TRecycleData>& items, const TCleanStep& step) {
  int deleted = 0;
  for (const TRecycleData& item : items) {
    if (item.Kind != TCategory::IECache || !item.Checked) continue;
    if (!step(item)) break;
    if (DeleteUrlCacheEntryW(Widen(item.Name).c_str())) ++deleted;
  }
  return deleted;
}

int DeleteCheckedValues(const std::vector<TRecycleData>& items, TCategory kind, const std::string& keyPath,
                        const TCleanStep& step) {
  TRegKeyHandle key;
  if (!key.Open(HKEY_CURRENT_USER, keyPath, KEY_QUERY_VALUE | KEY_SET_VALUE)) return 0;
  int deleted = 0;
  for (const TRecycleData& item : items) {
    if (item.Kind != kind || !item.Checked) continue;
    if (!step(item)) break;
    // the name alone may hold another text by now: the browser renumbers its typed addresses
    std::wstring name = Widen(item.Path);
    TRegValue now;
    if (!QueryRegValue(key.Get(), name, now) || !IsTextValue(now) || RegValueText(now) != item.Name) continue;
    if (RegDeleteValueW(key.Get(), name.c_str()) == ERROR_SUCCESS) ++deleted;
  }
  return deleted;
}

int DeleteTypedURLs(const std::vector<TRecycleData>& items, const std::string& key, const TCleanStep& step) {
  return DeleteCheckedValues(items, TCategory::IEAddress, key, step);
}

int DeleteRunMRU(const std::vector<TRecycleData>& items, const std::string& key, const TCleanStep& step) {
  return DeleteCheckedValues(items, TCategory::RunMRU, key, step);
}

int DeleteCheckedFiles(const std::vector<TRecycleData>& items, const TCleanStep& step) {
  TFolderGuard guard;
  int deleted = 0;
  for (const TRecycleData& item : items) {
    if (!IsFileKind(item.Kind) || !item.Checked) continue;
    if (!step(item)) break;
    // exactly the entry listed, a direct child of its folder, by its exact name: "keep." is never
    // read as "keep", and a name that is no listed name ("..", a path) is refused; an entry
    // written since it was listed is another program's by now
    ListedEntry::TFileStamp now;
    if (!guard.Allows(item.Path) || !ListedEntry::ReadStamp(item.Path, item.Name, now) || now != item.Stamp) continue;
    if (ListedEntry::DeleteTree(item.Path, item.Name)) ++deleted;
  }
  return deleted;
}

}  // namespace RecycleUnit
