// The startup manager's record files in the program's "RepairBackup" folder and their line
// formats: startup.dat (disabled Run entries), removestartup.dat (removed Run entries), del.txt
// (disabled and removed startup-folder entries) and the folder "del" with the saved copies.
//
// How to use:
//   TStartupFiles files = PrepareStartupFiles(ExeDir());   // folders and empty files made
//   TRunLine run;
//   if (ParseRunLine(line, run)) WriteRunValue(run, run.ValueName, run.Data);
#pragma once

#include <string>

#include <windows.h>

#include "../../framework/StringList.h"

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

// Replaces the list with the file's lines; a missing or unreadable file gives an empty list.
void ReadLines(const std::string& fileName, TStringList& lines);
// Writes the list; false (the file unchanged) when it cannot be written.
bool WriteLines(const std::string& fileName, const TStringList& lines);

// A startup.dat / removestartup.dat line: "<root name>\<key path>#<value name>|<data>".
struct TRunLine {
  std::string KeyText;     // before the first "#"
  HKEY Root = nullptr;
  std::string KeyPath;     // after the key text's first "\"
  std::string ValueName;   // between the first "#" and the first "|"
  std::string Data;        // after the first "|"
};
// False for a line that names no known root, no key path, or lacks "#" or "|" after it.
bool ParseRunLine(const std::string& line, TRunLine& run);
std::string RunLineText(const std::string& fullPath, const std::string& valueName, const std::string& data);
// True when a value's name and data fit in one record line (no CR or LF).
bool FitsOnOneLine(const std::string& valueName, const std::string& data);

// A del.txt line: "<home path>#<copy path>" with "|E" at the end for a disabled entry.
struct TDelLine {
  std::string HomePath;    // before the first "#"
  std::string CopyPath;    // between the first "#" and the first "|"
  bool Disabled = false;   // the line holds the marker
};
// False for a line without "#" or with an empty home or copy path.
bool ParseDelLine(const std::string& line, TDelLine& del);
std::string DelLineText(const std::string& homePath, const std::string& copyPath, bool disabled);

// True when the path names an entry directly inside the del folder (the only place copies are
// taken from and deleted in).
bool IsInDelFolder(const std::string& delFolder, const std::string& path);

// A free copy path for the file in the del folder: "name.ext", else "name (2).ext", "name (3).ext"...
std::string FreeCopyPath(const std::string& delFolder, const std::string& fileName);

// Writes the string value name = data under the key the line names (the key is not created).
// False when nothing was written.
bool WriteRunValue(const TRunLine& line, const std::string& name, const std::string& data);

// Deletes the list's first line equal to `line` (both trimmed) and writes the list to the file,
// also when no line matched. False when the file could not be written.
bool RemoveLine(const std::string& line, const std::string& fileName, TStringList& lines);
// Turns the list's first line equal to `line` (trimmed) into its removed form (without "|E"),
// moved to the end, and writes the list to the file. False when the file could not be written.
bool MarkDelLineRemoved(const std::string& line, const std::string& fileName, TStringList& lines);

}  // namespace StartupManagerUnit
