// The junk file cleaner's work without its page: which names are junk, the walk of a folder
// tree for junk files, the sums per drive and the three ways of cleaning a found file.
//
// How to use:
//   TJunkMatcher matcher({"*.tmp", "thumbs.db"});
//   std::vector<TJunkFileRecord> found;
//   bool finished = ScanFolder("C:", matcher, found, [](const TWalkEntry&) { return true; });
//   std::string status = CleanupFile(found[0], TCleanupMode::RecycleBin, "");
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <windows.h>

namespace SysDiskCleanerUnit {

// Statuses of the scan list and the cleanup list.
inline constexpr const char* StatusScanning = "Scanning";
inline constexpr const char* StatusUserStop = "User Stop";
inline constexpr const char* StatusFinished = "Finished";
inline constexpr const char* StatusFileDeleted = "File Deleted";
inline constexpr const char* StatusDeletedError = "Deleted Error";
inline constexpr const char* StatusFileMoved = "File Moved";
inline constexpr const char* StatusMovedError = "Moved Error";

// One junk file found.
struct TJunkFileRecord {
  std::string FileName;   // the name as the file system gives it
  std::string Path;       // the folder walked, "\" and the name, as the lists show it
  int64_t Size = 0;       // bytes
  std::string Folder;     // the folder as it was listed ("\\?\" form), where the file is acted on;
                          // "" takes the folder part of Path
  uint64_t LastWrite = 0; // when the file was last written, as the walk saw it (a FILETIME): with
                          // Size, what tells whether it is still the file found
};

// The one rule for names: "*" stands for any run of characters, "?" for exactly one, letters
// compare without regard to case. Both texts as given (UTF-8).
bool MatchesJunkPattern(const std::string& pattern, const std::string& name);

// The ticked patterns of a scan, prepared once: plain extensions ("*.tmp") and plain names
// ("thumbs.db") are looked up, the rest goes through MatchesJunkPattern's rule. Answers exactly
// as MatchesJunkPattern would for any of the patterns.
class TJunkMatcher {
 public:
  explicit TJunkMatcher(const std::vector<std::string>& patterns);
  bool Matches(const std::wstring& name) const;

 private:
  std::unordered_set<std::wstring> extensions_;   // upper case, from the "." on
  std::unordered_set<std::wstring> names_;        // upper case
  std::vector<std::wstring> wildcards_;           // upper case
};

// Whether the walk enters a folder entry with these attributes: only a plain, hidden, or hidden
// read-only folder (16, 18, 19); never a link (reparse point) or any other combination.
bool IsWalkedFolder(DWORD attributes);

// An entry the walk is about to look at.
struct TWalkEntry {
  const std::wstring& Folder;  // as the lists show it
  const wchar_t* Name;
  bool Shown;                  // the page shows this entry as the one examined
  std::string Path() const;    // folder "\" name, UTF-8
};
// Called before each entry of the walk ("." and ".." are never looked at); returns false to
// stop the walk at once.
using TWalkStep = std::function<bool(const TWalkEntry& entry)>;

// Walks folder depth first, entering sub-folders as IsWalkedFolder allows, and appends every
// file (never a folder, never "." or "..") whose name the matcher accepts, with its size and last
// write time. Every folder is listed and entered by its exact name, so "old." is walked as
// itself, never as "old". A drive ("C:") is walked from its root. The system folder is listed as
// the system itself holds it: a 32-bit program on 64-bit Windows would otherwise be shown the
// 32-bit system folder under that name too (found twice, the real one never). Returns false when
// step asked to stop.
bool ScanFolder(const std::string& folder, const TJunkMatcher& matcher, std::vector<TJunkFileRecord>& found,
                const TWalkStep& step);

// "C:" for "c:\x\y.tmp": the upper-cased drive part of a path.
std::string DrivePart(const std::string& path);

struct TDriveTotals {
  int Count = 0;
  int64_t Bytes = 0;
  bool Any() const { return Count > 0 || Bytes > 0; }
};
// The files found on drive ("C:") and their size.
TDriveTotals CountDriveFiles(const std::vector<TJunkFileRecord>& found, const std::string& drive);
// "12 KB": the bytes as whole kilobytes.
std::string KilobyteText(int64_t bytes);

enum class TCleanupMode { Delete, RecycleBin, MoveToFolder };

// A target in folder for name that does not exist yet: "name.ext", else "name (2).ext", ...
// (each looked for by its exact name).
std::string UniqueTarget(const std::string& folder, const std::string& name);

// The targets of one run of moves: the same as UniqueTarget, but the number to try first per
// folder and name is the last one given, so that the thousandth "thumbs.db" does not look for
// the 998 names before it again. Each name is still looked for before it is given.
class TMoveTargets {
 public:
  std::string Take(const std::string& folder, const std::string& name);

 private:
  std::unordered_map<std::wstring, int> next_;   // upper-cased folder "\" name: the last number given
};

// Cleans exactly the file found (its exact name in the folder it was listed in, never what the
// system would read the path as) and returns its status, judged by what the disk holds
// afterwards. A file that is no longer as the walk saw it (another size or last write time: it
// was written anew) is left with an error, as is a path that is no longer a plain file (a folder
// took its place), a name the recycle bin would read as another file ("~draft." as "~draft") and
// a file the recycle bin cannot take (switched off, full, too small). Moves of one run take their
// targets from one TMoveTargets.
std::string CleanupFile(const TJunkFileRecord& file, TCleanupMode mode, const std::string& moveFolder,
                        TMoveTargets& targets);
std::string CleanupFile(const TJunkFileRecord& file, TCleanupMode mode, const std::string& moveFolder);

// A fixed drive the cleaner offers.
struct TFixedDrive {
  std::string Caption;     // the shell's display name
  std::string Drive;       // "C:"
  std::string Root;        // the folder walked: the drive itself ("C:")
  int64_t TotalMb = 0;
  int64_t FreeMb = 0;
};
// The fixed drives A: to Z: with a size and free space of at least 1 MB, in letter order.
std::vector<TFixedDrive> ListFixedDrives();

}  // namespace SysDiskCleanerUnit
