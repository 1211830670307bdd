// Acting on exactly the entry a folder listing gave.
//
// Win32's parsing paths read a name differently from how a listing gives it: trailing dots and
// blanks are dropped ("keep." names "keep") and "." and ".." segments are folded ("..." joined to
// a folder names the folder's parent). These routines reach the listed entry itself through a
// "\\?\" path, which the system takes as it stands, so a listed name is never read as another
// entry. The folder is given as the listing used it: a full path (folded as the system folds it
// when the listing did so) or already a "\\?\" path.
//
// How to use:
//   if (!ListedEntry::Delete(folder, item.Name)) status = "Deleted Error";
//   ListedEntry::Recycle(folder, name);   // refused for a name the shell would read otherwise
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <windows.h>
#include <shellapi.h>

namespace ListedEntry {

// A name as a folder listing gives it: not empty, not "." or "..", no "\", "/", ":" or wildcard.
bool IsListedName(const std::string& name);
// True for a listed name that a parsing path reads as another entry: dots only, or ending in a
// dot or a blank.
bool ParsesAsAnother(const std::string& name);
// The "\\?\" form of a folder ("\\?\UNC\server\share\..." for a network folder): a folder not yet
// in that form is made full as the system reads it. "" when it cannot be made full.
std::wstring ExactFolder(const std::string& folder);
// The "\\?\" path of exactly folder\name; "" when the name is not a listed name or the folder
// cannot be made full.
std::wstring ExactPath(const std::string& folder, const std::string& name);
// The attributes of exactly that entry; INVALID_FILE_ATTRIBUTES when it is not there.
DWORD Attributes(const std::string& folder, const std::string& name);
// The first of stem + extension, stem + " (2)" + extension, stem + " (3)" + extension, ... that
// no entry in folder has (each looked for by its exact name).
std::string FreeName(const std::string& folder, const std::string& stem, const std::string& extension);
// The same, trying from number on (1 is stem + extension itself); number gives the one taken.
std::string FreeName(const std::string& folder, const std::string& stem, const std::string& extension, int& number);

// What a listing saw of an entry, to tell later whether it is still the same: its size and the
// time it was last written.
struct TFileStamp {
  uint64_t Size = 0;
  uint64_t LastWrite = 0;   // the FILETIME as one number
  bool operator==(const TFileStamp&) const = default;
};
// The stamp of exactly that entry as the system holds it now; false when it is not there.
bool ReadStamp(const std::string& folder, const std::string& name, TFileStamp& stamp);

// Deletes exactly that file (never a folder or a link). A read-only file has its attribute cleared
// first. True when it is gone.
bool Delete(const std::string& folder, const std::string& name);
// Deletes exactly that entry: a file as Delete does, a folder with everything in it, each entry
// below reached by its exact name; a link below is removed itself, never followed. A link in the
// entry's own place is left (false). True when the entry is gone.
bool DeleteTree(const std::string& folder, const std::string& name);
// Copies exactly that file to target (a full path, never over an existing entry); the copy keeps
// the file's attributes. True when the copy is there.
bool Copy(const std::string& folder, const std::string& name, const std::string& target);
// Moves exactly that file to target (a full path, never over an existing entry; across drives by
// copying). True when it is at the target and no longer at its place.
bool Move(const std::string& folder, const std::string& name, const std::string& target);

// ---- the recycle bin ----

// What the recycle bin of a drive can take, as its settings and its contents stand.
struct TBinRoom {
  bool On = true;                     // false: switched off, a file sent there is deleted for good
  std::optional<uint64_t> Capacity;   // the most it holds, in bytes, when its settings say
  uint64_t Used = 0;                  // what it holds now
  // True when a file of that size goes into the bin whole: the bin is on and has the room left.
  bool Takes(uint64_t size) const;
};

// Where the bin's settings are read (tests give keys of their own).
struct TBinSettingsKeys {
  HKEY UserRoot = HKEY_CURRENT_USER;
  HKEY MachineRoot = HKEY_LOCAL_MACHINE;
  // under both roots: "NoRecycleFiles" (the bin off everywhere), "RecycleBinSize" (per cent of a drive)
  std::string Policies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  // under the user's root, one key per volume ("{guid}"): "NukeOnDelete", "MaxCapacity" (MB)
  std::string Volumes = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume";
  // under the machine's root, as systems before Vista keep them: "UseGlobalSettings", and
  // "NukeOnDelete" and "Percent" for all drives or in a subkey per drive letter
  std::string Drives = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket";
};
// The room of the bin of the drive holding path (a full parsing path), read from the bin's
// settings and contents now.
TBinRoom ReadBinRoom(const std::wstring& path, const TBinSettingsKeys& keys = {});

// Stand-ins for tests (empty: the system's): the room of the bin a file would go to (ReadBinRoom),
// and the shell's file operation (SHFileOperationW).
extern std::function<TBinRoom(const std::wstring& path)> BinRoomQuery;
extern std::function<int(SHFILEOPSTRUCTW& op)> ShellFileOperation;

enum class TRecycleOutcome {
  Recycled,        // gone from its place
  BinCannotTake,   // left: the bin is off, too full or too small for it, or the shell's warning
                   // that it would be deleted for good was answered "no"
  Failed,          // left, or never there
};
// Sends exactly that file to the recycle bin through the shell, and only when the bin takes it:
// the bin's room is looked at first, and the shell is asked to warn before it would delete the
// file for good. The shell reads its paths itself, so a name it would read as another entry is
// refused (nothing done), as is any entry that is not a plain file.
TRecycleOutcome Recycle(const std::string& folder, const std::string& name);

}  // namespace ListedEntry
