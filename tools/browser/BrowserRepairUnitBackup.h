// The backup the "Internet Explorer Restorer" writes before its actions run: everything the
// ticked actions will delete or overwrite, as a registry script among the plug-in backups
// ("IEBackUp\"), where the "BHO Manager" lists it and restores it as a repair's backup is
// restored. After the actions ran, the backup notes what they wrote, so that its restore undoes
// them: what they deleted comes back, what they overwrote or created and still holds what they
// wrote is put back as it was (a created value goes again), and what holds anything else by then
// (changed since, by the user or another program) is left as it is and named.
//
// How to use: TRepairBackup backup = BackupRepairs(rows, PlatformKind, PluginBackupFolder(), Now())
// before running the actions of rows (when backup.Result is not Complete, ask the user before
// going on), then NoteWrittenValues(backup) once they ran, also when they stopped early.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../../app/MainUnitBackup.h"
#include "../../framework/StringList.h"
#include "../../framework/Strings.h"
#include "IERepairItemUnit.h"

namespace BrowserRepairUnit {

struct TRepairBackup {
  MainUnit::TBackupResult Result;
  TStringList Lines;                                   // what the saved file holds
  std::vector<IERepairItemUnit::TRepairTarget> Values;   // the values backed up, each once
};

// Writes every value and key that the actions of rows would delete or overwrite now, each once,
// into a new script in folder (created, one level, when missing) named as the plug-in backups are,
// and, for each value they would create where none is now, the line that deletes it again, so that
// the script says exactly which values were there. A key the actions create stays: deleting it
// would take along what other programs put there since. The script notes the current user.
// Result.Missed names what could not be read; Result.Complete tells whether everything is in the
// saved file.
TRepairBackup BackupRepairs(const std::vector<int>& rows, uint8_t platformKind, const std::string& folder,
                            TDateTime stamp);

// Adds to the saved backup, as written notes, what each of its values holds now (a value that is
// not there as deleted), replacing the file whole. False, the file left as it was, when it was not
// saved, holds other than it was saved with, or cannot be replaced: its restore then brings back
// what the actions deleted and names the rest.
bool NoteWrittenValues(const TRepairBackup& backup);

}  // namespace BrowserRepairUnit
