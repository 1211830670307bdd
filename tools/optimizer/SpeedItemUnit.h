// The system optimizer's 29 tweak items: for each, the registry values its apply step writes,
// the values its backup step saves into the optimizer's backup file (an INI file, one section per
// item, keys "F1".."F4") and how its undo writes them back.
//
// How to use:
//   SpeedItemUnit::SpeedBackupFile = folder + "speedRestore20240101_120000.ini";
//   SpeedItemUnit::BackupSpeedItem(5);                 // saves "MenuShowDelay" (first backup wins)
//   int refused = SpeedItemUnit::ApplySpeedItem(5);    // writes "MenuShowDelay" = "400"
//   ... later: SpeedItemUnit::UndoSpeedItem(5, ini);   // reads the section back and restores
// A value that was absent is saved as an empty key and removed again by the undo. A text is saved
// whole: between double quotes when the profile functions would not read it back as it is (empty,
// blanks or quotes around it, a line break in it); files without quoted texts read as they always
// did. Reading a value of the wrong type raises "Invalid data type for '%s'"; a saved number that
// is not one raises "'%s' is not a valid integer value". Refused registry writes are counted.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

class TIniFile;

namespace SpeedItemUnit {

inline constexpr int SpeedItemCount = 29;

// The backup file of the current optimization run (set by the wizard before each run).
extern std::string SpeedBackupFile;

// The item's section name in a backup file; "" outside 1..29.
std::string SpeedSectionName(int item);
// The item whose section name is exactly `section` (case-sensitive); 0 when none.
int SpeedItemOfSection(const std::string& section);
// The item has an apply step / an undo step.
bool HasApply(int item);
bool HasUndo(int item);

// Writes the item's values. Returns the number of registry changes that were refused (a key
// that could not be opened or created, a value that could not be written); a key that an item
// only changes when it exists, and that is absent, is no failure.
int ApplySpeedItem(int item);

// Saves the item's current values into SpeedBackupFile, unless its section there already holds
// keys (the first backup of an item in a file wins). Other numbers do nothing.
void BackupSpeedItem(int item);
// Writes the item's keys (only those it has) into its section of fileName.
void WriteSpeedBackup(const std::string& fileName, const std::string& f1, const std::string& f2,
                      const std::string& f3, const std::string& f4, int item);

// Restores the item from its section of ini as the backup file's rules say (the keys of the items
// whose undo takes them are removed afterwards). Returns the number of refused changes.
int UndoSpeedItem(int item, TIniFile& ini);

// Parses a saved number: decimal, optionally signed, within 32 bits (a DWORD above 0x7FFFFFFF is
// saved as a negative number). Raises "'%s' is not a valid integer value" otherwise.
DWORD ParseSavedNumber(const std::string& text);

// Tests only: when set, each registry write or deletion of the items asks it first and counts as
// refused when it returns true (the registry of a test prefix refuses nothing by itself).
using TRegistryRefusal = std::function<bool(HKEY root, const std::string& key, const std::string& value)>;
extern TRegistryRefusal RefuseRegistryChange;

}  // namespace SpeedItemUnit
