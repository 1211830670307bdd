// The system optimizer's 29 tweak items: for each, the registry values its apply step writes,
// the values its backup step saves into the optimizer's backup file (an INI file, one section per
// item, keys "F1".."F4") and how its undo writes them back.
//
// How to use:
//   SpeedItemUnit::SpeedBackupFile = folder + "speedRestore20240101_120000.ini";
//   SpeedItemUnit::BackupSpeedItem(5);                 // saves "MenuShowDelay" (first backup wins)
//   int refused = SpeedItemUnit::ApplySpeedItem(5);    // writes "MenuShowDelay" = "400"
//   ... later: SpeedItemUnit::UndoSpeedItem(5, ini);   // reads the section back and restores
// The backup only reads the registry. A value that was absent is saved as an empty key and
// removed again by the undo; each root's value is saved on its own. On 64-bit Windows the items'
// keys under HKLM\SOFTWARE and HKEY_CLASSES_ROOT are written, saved and put back in the 64-bit
// view (which the system reads) and in this program's 32-bit one, the 64-bit values under keys of
// their own ("F1_64", ...; "F5_64" for the recorded key). Files this program writes now
// begin with the section "Backup" holding "Format=2"; in them a text is saved whole (between
// double quotes when the profile functions would not read it back as it is: empty, blanks or
// quotes around it, a line break in it) and a value whose type is not the item's own (an
// expandable string, a double word where a string is kept) has its type beside it ("F1Type").
// Files without the mark are read as they always were: through the profile functions, every
// text a plain string. Reading a value of a type the item cannot keep raises "Invalid data type
// for '%s'"; a saved number that is not one raises "'%s' is not a valid integer value". Refused
// registry writes are counted.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "../../framework/IniFiles.h"

namespace SpeedItemUnit {

inline constexpr int SpeedItemCount = 29;

// The backup file of the current optimization run (set by the wizard before each run).
extern std::string SpeedBackupFile;

// The item's section name in a backup file; "" outside 1..29.
std::string SpeedSectionName(int item);
// The item whose section name is exactly `section` (case-sensitive); 0 when none.
int SpeedItemOfSection(const std::string& section);

// Writes the item's values. Returns the number of registry changes that were refused (a key
// that could not be opened or created, a value that could not be written); a key that an item
// only changes when it exists, and that is absent, is no failure.
int ApplySpeedItem(int item);

// Saves the item's current values into SpeedBackupFile, unless its section there already holds
// keys (the first backup of an item in a file wins). Other numbers do nothing. Raises EInOutError
// when the file exists but cannot be read, before anything is read from the registry or written.
void BackupSpeedItem(int item);
// Writes the item's keys (only those it has) into its section of fileName.
void WriteSpeedBackup(const std::string& fileName, const std::string& f1, const std::string& f2,
                      const std::string& f3, const std::string& f4, int item);

// ---- the backup file ----

// Holds a backup file (TIniReadHold) while the profile functions read it, so a read never finds
// it empty because it could not be opened. Raises EInOutError naming the file when it exists but
// cannot be opened now. A file that does not exist is no error (it reads as empty, as it is).
class TBackupReading {
 public:
  explicit TBackupReading(const std::string& fileName);

 private:
  TIniReadHold hold_;
};

// %s: the file.
inline constexpr const char* UnreadableBackupText =
    "The backup file %s cannot be read now (another program may be using it).";

// Writes the mark of the files this program writes now into fileName when the file does not
// exist yet; an existing file is left as it is. The mark notes the current user beside the format
// ("User=S-1-5-21-..."): the files lie in the program's folder, shared by every user of the
// machine, and hold values of HKEY_CURRENT_USER.
void MarkSpeedBackup(const std::string& fileName);
// The file carries that mark.
bool IsMarkedSpeedBackup(const TIniFile& ini);
// The SID the file notes as its user's; "" when it notes none (a file of an earlier version, or
// the SID could not be read when it was written).
std::string SpeedBackupUser(const TIniFile& ini);

// ---- restore ----

// One item's undo as its section says, read before anything is written.
struct TSpeedUndo {
  int Item = 0;
  struct TStep {
    size_t Value = 0;      // the saved value it puts back: 0 for F1, 1 for F2, ...
    REGSAM View = 0;       // 0 this program's own view, KEY_WOW64_64KEY the 64-bit view
    bool Remove = false;   // remove the value; otherwise write Text as Type
    std::string Text;
    DWORD Type = REG_SZ;
  };
  // One per saved value, F1, F2, ..., then one per value the file saved of the 64-bit view.
  std::vector<TStep> Steps;
  std::vector<REGSAM> RemoveRecordedKeyIn;   // the views in which the recorded key goes
};

// Reads the item's section of ini (marked: whether the file carries the mark). Raises
// EConvertError for a saved number that is none, or a type it does not know.
TSpeedUndo ReadSpeedUndo(int item, const TIniFile& ini, bool marked);
// Writes the values back; the keys of the items whose undo takes them are removed from ini
// afterwards, only when every change was made (a refused one can be tried again). Returns the
// number of changes that were refused or could not be made (a saved value whose key, written
// only when it exists, is gone).
int RunSpeedUndo(const TSpeedUndo& undo, TIniFile& ini);
// Both, the section read while the file is held for reading.
int UndoSpeedItem(int item, TIniFile& ini);

// Parses a saved number: decimal, optionally signed, within 32 bits (a DWORD above 0x7FFFFFFF is
// saved as a negative number). Raises "'%s' is not a valid integer value" otherwise.
DWORD ParseSavedNumber(const std::string& text);

// Tests only: when set, each registry write or deletion of the items asks it first and counts as
// refused when it returns true (the registry of a test prefix refuses nothing by itself).
using TRegistryRefusal = std::function<bool(HKEY root, const std::string& key, const std::string& value)>;
extern TRegistryRefusal RefuseRegistryChange;

}  // namespace SpeedItemUnit
