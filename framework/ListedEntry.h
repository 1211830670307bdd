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

#include <string>

#include <windows.h>

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
// Sends exactly that file to the recycle bin through the shell. The shell reads its paths itself,
// so a name it would read as another entry is refused (false, nothing done), as is any entry that
// is not a plain file. True when it is gone from its place.
bool Recycle(const std::string& folder, const std::string& name);

}  // namespace ListedEntry
