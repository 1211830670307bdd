// The startup manager's four actions on ticked rows: disable, enable and remove entries of the
// Startup List, and restore entries of the Restore List. An entry leaves its place only after
// its copy and its record line are safely on disk; whatever could not be done safely stays as it
// was and is named in the action's result.
//
// How to use:
//   TActionResult r = DisableSelected(listing.Rows, files);
//   if (!r.LeftUnchanged.empty()) ShowMessageBox(LeftUnchangedText(r), MB_ICONWARNING);
#pragma once

#include <string>
#include <vector>

#include "StartupManagerUnitEntries.h"
#include "StartupManagerUnitFiles.h"

namespace StartupManagerUnit {

inline constexpr const char* RemoveQuestion =
    "Are you sure to remove this item from the Startup List?\rYou could view or recovery this item from the Restore List.";
inline constexpr const char* LeftUnchangedHead = "These items could not be changed and were left as they were:";
inline constexpr const char* RestoreKindFile = "file";

struct TActionResult {
  std::vector<std::string> LeftUnchanged;   // the names of the entries left as they were
};
// LeftUnchangedHead and one name a line.
std::string LeftUnchangedText(const TActionResult& result);

// "Disable Selected": ticked live folder entries and Run values; win.ini rows are left alone.
TActionResult DisableSelected(const std::vector<TStartupRow>& rows, TStartupFiles& files);
// "Enable Selected": ticked disabled folder entries and Run values.
TActionResult EnableSelected(const std::vector<TStartupRow>& rows, TStartupFiles& files);
// "Remove Selected" once the user agreed: ticked entries, live or disabled; a win.ini key is deleted.
TActionResult RemoveSelected(const std::vector<TStartupRow>& rows, TStartupFiles& files,
                             const std::string& winIniFile);

// One row of the Restore List (its caption is always empty).
struct TRestoreRow {
  std::string Name;      // sub-item 0: a value name, or a removed file's home path
  std::string Info;      // sub-item 1: the value's data, or the copy's path
  std::string Kind;      // sub-item 2: the whole removestartup.dat line, or RestoreKindFile
  std::string Line;      // sub-item 3: the whole removestartup.dat line
  bool Checked = false;
};
// The removed Run entries (removestartup.dat), then the removed folder entries (del.txt lines
// without the marker), each in file order; lines that cannot be read are passed over.
std::vector<TRestoreRow> LoadRestoreList(TStartupFiles& files);
// "Restore Item": the checked rows go back where they came from.
TActionResult RestoreItems(const std::vector<TRestoreRow>& rows, TStartupFiles& files);

}  // namespace StartupManagerUnit
