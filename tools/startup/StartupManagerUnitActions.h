// The startup manager's four actions on ticked rows: disable, enable and remove entries of the
// Startup List, and restore entries of the Restore List. An entry leaves its place only after
// its copy and its record line are safely on disk, and goes back only to the Run keys and Startup
// folders the manager lists, never over an entry of the same name that is there now; whatever
// could not be done so stays as it was and is named in the action's result. Each action reads
// and writes each record file once, however many entries it moves, and changes nothing when one
// of them is there but cannot be read.
//
// How to use:
//   TActionResult r = EnableSelected(listing.Rows, sources, files);
//   if (!r.Empty()) ShowMessageBox(LeftUnchangedText(r), MB_ICONWARNING);
#pragma once

#include <string>
#include <vector>

#include "StartupManagerUnitEntries.h"
#include "StartupManagerUnitFiles.h"

namespace StartupManagerUnit {

inline constexpr const char* RemoveQuestion =
    "Are you sure to remove this item from the Startup List?\rYou could view or recovery this item from the Restore List.";
inline constexpr const char* UnreadableHead =
    "Nothing was changed, because these record files could not be read (another program may be using them):";
inline constexpr const char* LeftUnchangedHead = "These items could not be changed and were left as they were:";
inline constexpr const char* OccupiedHead =
    "These items were left as they were, because an item of the same name is there now:";
inline constexpr const char* RestoreKindFile = "file";

struct TActionResult {
  std::vector<std::string> UnreadableFiles;  // record files there but unreadable: the action changed nothing
  std::vector<std::string> LeftUnchanged;    // the names of the entries left as they were
  std::vector<std::string> Occupied;         // entries not put back: one of the same name is there now
  bool Empty() const { return UnreadableFiles.empty() && LeftUnchanged.empty() && Occupied.empty(); }
};
// UnreadableHead and one file a line, LeftUnchangedHead and its names, then OccupiedHead and its
// names (each part only when it names something).
std::string LeftUnchangedText(const TActionResult& result);

// "Disable Selected": ticked live folder entries and Run values; win.ini rows are left alone.
TActionResult DisableSelected(const std::vector<TStartupRow>& rows, TStartupFiles& files);
// "Enable Selected": ticked disabled folder entries and Run values, back to their places as far
// as these are the sources' Run keys and Startup folders.
TActionResult EnableSelected(const std::vector<TStartupRow>& rows, const TStartupSources& sources,
                             TStartupFiles& files);
// "Remove Selected" once the user agreed: ticked entries, live or disabled; a win.ini key of the
// sources' win.ini is deleted.
TActionResult RemoveSelected(const std::vector<TStartupRow>& rows, const TStartupSources& sources,
                             TStartupFiles& files);

// One row of the Restore List (its caption is always empty).
struct TRestoreRow {
  std::string Name;      // sub-item 0: a value name, or a removed file's home path
  std::string Info;      // sub-item 1: the value's data, or the copy's path
  std::string Kind;      // sub-item 2: the whole removestartup.dat line, or RestoreKindFile
  std::string Line;      // sub-item 3: the whole removestartup.dat line
  bool Checked = false;
};
// The current user's removed Run entries (removestartup.dat), then the removed folder entries of
// the sources' Startup folders (del.txt lines without the marker), each in file order; lines
// that cannot be read, and other users' lines, are passed over.
std::vector<TRestoreRow> LoadRestoreList(const TStartupSources& sources, TStartupFiles& files);
// "Restore Item": the checked rows go back where they came from, as Enable Selected.
TActionResult RestoreItems(const std::vector<TRestoreRow>& rows, const TStartupSources& sources, TStartupFiles& files);

}  // namespace StartupManagerUnit
