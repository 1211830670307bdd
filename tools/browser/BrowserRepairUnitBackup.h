// The backup the "Internet Explorer Restorer" writes before its actions run: everything the
// ticked actions will delete or overwrite, as a registry script among the plug-in backups
// ("IEBackUp\"), where the "BHO Manager" lists it and restores it as a repair's backup is
// restored: what the actions deleted comes back, what they overwrote or created holds other data
// than the script by then and is left as it is and named.
//
// How to use: BackupRepairs(rows, PlatformKind, PluginBackupFolder(), Now()) before running the
// actions of rows; when the result is not Complete, ask the user before going on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../../app/MainUnitBackup.h"
#include "../../framework/Strings.h"

namespace BrowserRepairUnit {

// Writes every value and key that the actions of rows would delete or overwrite now, each once,
// into a new script in folder (created, one level, when missing) named as the plug-in backups are,
// and, for each value they would create where none is now, the line that deletes it again, so that
// the script says exactly which values were there. A key the actions create
// stays: deleting it would take along what other programs put there since. Missed names what could
// not be read; Complete tells whether everything is in the saved file.
MainUnit::TBackupResult BackupRepairs(const std::vector<int>& rows, uint8_t platformKind, const std::string& folder,
                                      TDateTime stamp);

}  // namespace BrowserRepairUnit
