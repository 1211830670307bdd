#include "SysDiskCleanerUnitWalk.h"

#include <shellapi.h>

#include <utility>

#include "../../framework/Handles.h"
#include "../../framework/ListedEntry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace SysDiskCleanerUnit {

namespace {

constexpr int64_t kMegabyte = 1048576;

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), (DWORD)text.size());
  return text;
}

// "*" any run, "?" one character; both texts already upper case.
bool WildcardMatch(const std::wstring& pattern, const std::wstring& name) {
  size_t p = 0, n = 0, star = std::wstring::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = n;
    } else if (star != std::wstring::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

bool HasWildcard(const std::wstring& text) { return text.find_first_of(L"*?") != std::wstring::npos; }

bool IsDotName(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The attribute words the page shows while it walks.
bool IsShownEntry(DWORD attributes) {
  switch (attributes) {
    case 16: case 2: case 4: case 128: case 256: case 18: case 19: case 32:
      return true;
    default:
      return false;
  }
}

// A 32-bit program on 64-bit Windows that names the system folder is shown the 32-bit one
// (which it also meets under its own name); "Sysnative" names the system's own.
struct TSystemFolderNames {
  std::wstring Redirected;   // "\\?\C:\WINDOWS\SYSTEM32", upper case; "" on a 32-bit system
  std::wstring Native;       // "\\?\C:\Windows\Sysnative"
};

const TSystemFolderNames& SystemFolderNames() {
  static const TSystemFolderNames names = [] {
    TSystemFolderNames n;
    wchar_t windows[MAX_PATH];
    UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (!PublicFunctionUnit::RunsUnderWow64() || length == 0 || length >= MAX_PATH) return n;
    std::wstring folder = ListedEntry::ExactFolder(Narrow(windows, length));
    if (folder.empty()) return n;
    n.Redirected = Upper(folder + L"\\System32");
    n.Native = folder + L"\\Sysnative";
    return n;
  }();
  return names;
}

// The path a folder met as exact ("\\?\" form) is listed and acted on by: the system's own
// system folder for the name of the system folder, else exact itself.
std::wstring ListingPath(const std::wstring& exact) {
  const TSystemFolderNames& names = SystemFolderNames();
  if (!names.Redirected.empty() && exact.size() == names.Redirected.size() && Upper(exact) == names.Redirected)
    return names.Native;
  return exact;
}

// The size and last write time of a file found, as the system holds the file (a listing may give
// an older size for a file being written); as the listing gave them when the file does not answer.
ListedEntry::TFileStamp FoundStamp(const std::wstring& exact, const std::string& name, const WIN32_FIND_DATAW& data) {
  ListedEntry::TFileStamp stamp{
      .Size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow,
      .LastWrite = ((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime};
  ListedEntry::ReadStamp(Narrow(exact), name, stamp);
  return stamp;
}

// Walks the folder listed as exact ("\\?\" form) and shown as shown.
bool WalkFolder(const std::wstring& exact, const std::wstring& shown, const TJunkMatcher& matcher,
                std::vector<TJunkFileRecord>& found, const TWalkStep& step) {
  WIN32_FIND_DATAW data;
  TFindHandle search(FindFirstFileExW((exact + L"\\*").c_str(), FindExInfoStandard, &data, FindExSearchNameMatch,
                                      nullptr, 0));
  if (!search) return true;
  do {
    if (IsDotName(data.cFileName)) continue;
    bool walkShown = IsShownEntry(data.dwFileAttributes);
    if (!step(TWalkEntry{shown, data.cFileName, walkShown})) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (IsWalkedFolder(data.dwFileAttributes) && !WalkFolder(ListingPath(exact + L"\\" + data.cFileName),
                                                               shown + L"\\" + data.cFileName, matcher, found, step))
        return false;
      continue;
    }
    if (!matcher.Matches(data.cFileName)) continue;
    std::string name = Narrow(data.cFileName);
    ListedEntry::TFileStamp stamp = FoundStamp(exact, name, data);
    found.push_back({.FileName = name,
                     .Path = Narrow(shown) + "\\" + name,
                     .Size = (int64_t)stamp.Size,
                     .Folder = Narrow(exact),
                     .LastWrite = stamp.LastWrite});
  } while (FindNextFileW(search.Get(), &data));
  return true;
}

}  // namespace

std::string TWalkEntry::Path() const { return Narrow(Folder + L"\\" + Name); }

bool MatchesJunkPattern(const std::string& pattern, const std::string& name) {
  return WildcardMatch(Upper(Widen(pattern)), Upper(Widen(name)));
}

TJunkMatcher::TJunkMatcher(const std::vector<std::string>& patterns) {
  for (const std::string& text : patterns) {
    std::wstring pattern = Upper(Widen(text));
    std::wstring tail = pattern.size() > 1 ? pattern.substr(1) : L"";
    if (!HasWildcard(pattern))
      names_.insert(pattern);
    else if (pattern.starts_with(L"*.") && !HasWildcard(tail) && tail.find(L'.', 1) == std::wstring::npos)
      extensions_.insert(tail);
    else
      wildcards_.push_back(pattern);
  }
}

bool TJunkMatcher::Matches(const std::wstring& name) const {
  std::wstring upper = Upper(name);
  if (names_.count(upper) != 0) return true;
  size_t dot = upper.rfind(L'.');
  if (dot != std::wstring::npos && !extensions_.empty() && extensions_.count(upper.substr(dot)) != 0) return true;
  for (const std::wstring& pattern : wildcards_)
    if (WildcardMatch(pattern, upper)) return true;
  return false;
}

bool IsWalkedFolder(DWORD attributes) { return attributes == 16 || attributes == 18 || attributes == 19; }

bool ScanFolder(const std::string& folder, const TJunkMatcher& matcher, std::vector<TJunkFileRecord>& found,
                const TWalkStep& step) {
  std::string shown = ExcludeTrailingBackslash(folder);
  // "C:" alone names the drive's current folder to the system: the walk means its root
  std::wstring exact = ListedEntry::ExactFolder(IncludeTrailingBackslash(shown));
  if (exact.empty()) return true;
  while (!exact.empty() && exact.back() == L'\\') exact.pop_back();
  return WalkFolder(ListingPath(exact), Widen(shown), matcher, found, step);
}

std::string DrivePart(const std::string& path) { return UpperCase(ExtractFileDrive(path)); }

TDriveTotals CountDriveFiles(const std::vector<TJunkFileRecord>& found, const std::string& drive) {
  TDriveTotals totals;
  for (const TJunkFileRecord& file : found) {
    if (DrivePart(file.Path) != drive) continue;
    ++totals.Count;
    totals.Bytes += file.Size;
  }
  return totals;
}

std::string KilobyteText(int64_t bytes) { return IntToStr(bytes / 1024) + " KB"; }

namespace {

// "name" and ".ext" of a file name; ".profile" has no extension.
std::pair<std::string, std::string> StemAndExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == 0 || dot == std::string::npos) return {name, ""};
  return {name.substr(0, dot), name.substr(dot)};
}

}  // namespace

std::string UniqueTarget(const std::string& folder, const std::string& name) {
  auto [stem, extension] = StemAndExtension(name);
  return IncludeTrailingBackslash(folder) + ListedEntry::FreeName(folder, stem, extension);
}

std::string TMoveTargets::Take(const std::string& folder, const std::string& name) {
  auto [stem, extension] = StemAndExtension(name);
  // the number given last is looked at first: taken by now, unless its move failed
  int& number = next_[Upper(Widen(IncludeTrailingBackslash(folder) + name))];
  return IncludeTrailingBackslash(folder) + ListedEntry::FreeName(folder, stem, extension, number);
}

namespace {

// The folder a found file was listed in: as the walk listed it, or the folder part of its path.
bool ListedFolder(const TJunkFileRecord& file, std::string& folder) {
  if (!file.Folder.empty()) {
    folder = file.Folder;
    return true;
  }
  std::string tail = "\\" + file.FileName;
  if (file.FileName.empty() || !file.Path.ends_with(tail)) return false;
  folder = file.Path.substr(0, file.Path.size() - tail.size());
  if (folder.size() == 2 && folder[1] == ':') folder += "\\";   // the drive's root, not its current folder
  return true;
}

// True while the file is as the walk saw it: the same size, last written at the same time.
bool AsFound(const std::string& folder, const TJunkFileRecord& file) {
  ListedEntry::TFileStamp now;
  return ListedEntry::ReadStamp(folder, file.FileName, now) &&
         now == ListedEntry::TFileStamp{.Size = (uint64_t)file.Size, .LastWrite = file.LastWrite};
}

}  // namespace

std::string CleanupFile(const TJunkFileRecord& file, TCleanupMode mode, const std::string& moveFolder,
                        TMoveTargets& targets) {
  // Each of the routines below acts on a plain file only, and looks at it itself; the file is
  // looked at once more just before: one written anew since the walk is not the junk it found.
  std::string folder;
  bool listed = ListedFolder(file, folder) && AsFound(folder, file);
  switch (mode) {
    case TCleanupMode::Delete: {
      // a read-only file is left, as a plain delete leaves it
      bool readOnly = (ListedEntry::Attributes(folder, file.FileName) & FILE_ATTRIBUTE_READONLY) != 0;
      return listed && !readOnly && ListedEntry::Delete(folder, file.FileName) ? StatusFileDeleted : StatusDeletedError;
    }
    case TCleanupMode::RecycleBin:
      return listed && ListedEntry::Recycle(folder, file.FileName) == ListedEntry::TRecycleOutcome::Recycled
                 ? StatusFileDeleted
                 : StatusDeletedError;
    case TCleanupMode::MoveToFolder: {
      if (!listed || Trim(moveFolder).empty()) return StatusMovedError;
      return ListedEntry::Move(folder, file.FileName, targets.Take(moveFolder, file.FileName)) ? StatusFileMoved
                                                                                              : StatusMovedError;
    }
  }
  return StatusDeletedError;
}

std::string CleanupFile(const TJunkFileRecord& file, TCleanupMode mode, const std::string& moveFolder) {
  TMoveTargets targets;
  return CleanupFile(file, mode, moveFolder, targets);
}

std::vector<TFixedDrive> ListFixedDrives() {
  std::vector<TFixedDrive> drives;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string drive = std::string(1, letter) + ":";
    std::wstring root = Widen(drive + "\\");
    if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED) continue;
    ULARGE_INTEGER free{}, total{};
    if (!GetDiskFreeSpaceExW(root.c_str(), &free, &total, nullptr)) continue;
    int64_t totalMb = (int64_t)(total.QuadPart / kMegabyte), freeMb = (int64_t)(free.QuadPart / kMegabyte);
    if (totalMb <= 0 || freeMb <= 0) continue;
    SHFILEINFOW info{};
    SHGetFileInfoW(root.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME);
    drives.push_back({.Caption = Narrow(info.szDisplayName), .Drive = drive, .Root = drive,
                      .TotalMb = totalMb, .FreeMb = freeMb});
  }
  return drives;
}

}  // namespace SysDiskCleanerUnit
