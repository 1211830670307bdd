// The startup manager's record files in the program's "RepairBackup" folder and their line
// formats: startup.dat (disabled Run entries), removestartup.dat (removed Run entries), del.txt
// (disabled and removed startup-folder entries) and the folder "del" with the saved copies.
//
// How to use:
//   TStartupFiles files = PrepareStartupFiles(ExeDir());   // folders and empty files made
//   TRunLine run;
//   if (ParseRunLine(line, run)) WriteRunValue(run);
#pragma once

#include <string>

#include <windows.h>

#include "../../framework/Registry.h"
#include "../../framework/StringList.h"
#include "../../scan/PublicFunctionUnit.h"

namespace StartupManagerUnit {

inline constexpr const char* BackupFolderName = "RepairBackup";
inline constexpr const char* StartupDatName = "startup.dat";
inline constexpr const char* RemovedDatName = "removestartup.dat";
inline constexpr const char* DelTxtName = "del.txt";
inline constexpr const char* DelFolderName = "del";
inline constexpr const char* DisabledMarker = "|E";   // ends a del.txt line of a disabled entry

// The four paths and the three line lists, one per file.
struct TStartupFiles {
  std::string StartupDatFile;
  std::string RemovedDatFile;
  std::string DelTxtFile;
  std::string DelFolder;        // without a trailing "\"
  TStringList StartupLines;
  TStringList RemovedLines;
  TStringList DelLines;
};

// The paths below programFolder (with its trailing "\"); creates the two folders and the three
// files (empty) when missing; existing files are neither read nor changed.
TStartupFiles PrepareStartupFiles(const std::string& programFolder);

// Replaces the list with the file's lines (a missing file has none). False, and no lines, for a
// file that is there but cannot be read: such a file must never be written back from the list.
bool ReadLines(const std::string& fileName, TStringList& lines);
// Writes the list; false (the file unchanged) when it cannot be written.
bool WriteLines(const std::string& fileName, const TStringList& lines);
// How many times record files were written since the program started.
int RecordFileWrites();

// A startup.dat / removestartup.dat line, in one of two forms:
//   "<key>#<value name>|<text>"                a string value whose name holds no "|": the form
//                                              every version of the program reads;
//   "<key>|<type>#<value name>|<hex bytes>"    any other value: its registry type in decimal,
//                                              the name with "%" and "|" written "%25" and "%7C",
//                                              and its bytes as pairs of hexadecimal digits.
// <key> is the root's name, "\" and the key path. The record files are shared by every user of
// the machine, and "HKEY_CURRENT_USER" names no user: a line of a user's own hive carries that
// user's SID beside the key, "<key>|<sid>#..." and "<key>|<sid>|<type>#...". Earlier versions
// wrote the first form for every value and no SID, so such a line always gives a string value,
// and a HKEY_CURRENT_USER line without a SID is taken, as before, for the current user's.
struct TRunLine {
  std::string KeyText;     // the root's name, "\" and the key path
  std::string UserSid;     // whose hive the line belongs to; "" none written
  HKEY Root = nullptr;
  std::string KeyPath;     // after the key text's first "\"
  std::string ValueName;
  TRegValue Value;         // the value as it goes back: its type and bytes
  std::string Data;        // the value's data as the lists show it (RunValueText)
};
// True when root is a known root and keyPath names a key below it (not only blanks and "\").
bool NamesKey(HKEY root, const std::string& keyPath);
// False for a line that names no known root or no key path, or that does not have either form.
bool ParseRunLine(const std::string& line, TRunLine& run);
// The record line of a value under the key `fullPath` of the hive of `userSid` ("" for a key of
// the machine); false when the value cannot be carried on one line (a line break in its name, or
// in the text of a string value).
bool RunLineText(const std::string& fullPath, const std::string& userSid, const std::string& valueName,
                 const TRegValue& value, std::string& line);

using PublicFunctionUnit::CurrentUserSid;
// The SID a line of a key under the root carries: the current user's for HKEY_CURRENT_USER.
std::string LineSid(HKEY root);
// True for the current user's line: it carries the current user's SID, or none (a line of the
// machine's keys, or one written before lines carried SIDs). Only these are listed and acted on;
// the lines of other users stay in the files as they are.
bool IsCurrentUsersLine(const TRunLine& run);

// A Run value's data as the page shows it: the text of a string or expandable string as stored,
// a double word as signed decimal, anything else empty.
std::string RunValueText(const TRegValue& value);

// A del.txt line: "<home path>#<copy path>", with "|E" at the end for a disabled entry. The copy
// lies directly in the del folder, and the line splits at the one "#" that the del folder's path
// follows, so home paths and file names may hold "#" themselves.
struct TDelLine {
  std::string HomePath;
  std::string CopyPath;
  bool Disabled = false;   // the line ends with the marker
};
// False for a line whose copy is not directly in the del folder, or with an empty home path.
bool ParseDelLine(const std::string& line, const std::string& delFolder, TDelLine& del);
std::string DelLineText(const std::string& homePath, const std::string& copyPath, bool disabled);

// True when `path` names an entry directly inside `folder`: its name is one a listing gives (not
// "." or "..", no "/"), nothing below it. Such an entry is acted on through its exact path.
bool IsDirectlyIn(const std::string& folder, const std::string& path);
// True when the path names an entry directly inside the del folder (the only place copies are
// taken from and deleted in).
bool IsInDelFolder(const std::string& delFolder, const std::string& path);

// A free copy path for the file in the del folder: "name.ext", else "name (2).ext", "name (3).ext"...;
// a name that a parsing path reads as another ("keep.", "keep ", "...") gets a "_" at its end.
std::string FreeCopyPath(const std::string& delFolder, const std::string& fileName);

// What became of an entry that was to go back to its place.
enum class TPutBack {
  Done,       // it is there again
  Occupied,   // an entry of the same name is there now and was left alone
  Failed,     // nothing was written
};
// Writes the line's value back under the key the line names (the key is not created), never over
// a value of the same name. Done when it reads back as recorded (a text the registry ended with a
// terminating zero included); otherwise what was written is deleted again.
TPutBack WriteRunValue(const TRunLine& line);

// Deletes the list's first line equal to `line` (both trimmed); false when none matched.
bool RemoveLine(const std::string& line, TStringList& lines);
// Turns the list's first line equal to `line` (trimmed) into its removed form (without "|E"),
// moved to the end; false when none matched.
bool MarkDelLineRemoved(const std::string& line, TStringList& lines);

}  // namespace StartupManagerUnit
