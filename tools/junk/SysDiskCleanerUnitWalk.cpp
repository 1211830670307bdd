#include "SysDiskCleanerUnitWalk.h"

#include <shellapi.h>

#include "../../framework/Handles.h"
#include "../../framework/ListedEntry.h"
#include "../../framework/Strings.h"

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
      if (IsWalkedFolder(data.dwFileAttributes) &&
          !WalkFolder(exact + L"\\" + data.cFileName, shown + L"\\" + data.cFileName, matcher, found, step))
        return false;
      continue;
    }
    if (!matcher.Matches(data.cFileName)) continue;
    std::string name = Narrow(data.cFileName);
    found.push_back({.FileName = name,
                     .Path = Narrow(shown) + "\\" + name,
                     .Size = (int64_t)(((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow),
                     .Folder = Narrow(exact)});
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
  return WalkFolder(exact, Widen(shown), matcher, found, step);
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

std::string UniqueTarget(const std::string& folder, const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == 0) dot = std::string::npos;   // ".profile" has no extension
  std::string stem = name.substr(0, dot);
  std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  return IncludeTrailingBackslash(folder) + ListedEntry::FreeName(folder, stem, extension);
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

}  // namespace

std::string CleanupFile(const TJunkFileRecord& file, TCleanupMode mode, const std::string& moveFolder) {
  // Each of the routines below acts on a plain file only, and looks at it itself.
  std::string folder;
  bool listed = ListedFolder(file, folder);
  switch (mode) {
    case TCleanupMode::Delete: {
      // a read-only file is left, as a plain delete leaves it
      bool readOnly = (ListedEntry::Attributes(folder, file.FileName) & FILE_ATTRIBUTE_READONLY) != 0;
      return listed && !readOnly && ListedEntry::Delete(folder, file.FileName) ? StatusFileDeleted : StatusDeletedError;
    }
    case TCleanupMode::RecycleBin:
      return listed && ListedEntry::Recycle(folder, file.FileName) ? StatusFileDeleted : StatusDeletedError;
    case TCleanupMode::MoveToFolder: {
      if (!listed || Trim(moveFolder).empty()) return StatusMovedError;
      return ListedEntry::Move(folder, file.FileName, UniqueTarget(moveFolder, file.FileName)) ? StatusFileMoved
                                                                                              : StatusMovedError;
    }
  }
  return StatusDeletedError;
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
