// The registry-script backup written before a repair: the writer of registry-script lines for
// one value or one whole key, the script file's header and encoding, and the backup of every
// ticked finding into "RepairBackup\_yyyymmdd_hhnnss.reg" (of a later second when that name is taken).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "../scan/RegistryContentUnit.h"
#include "../scan/SectionCommon.h"

namespace MainUnit {

inline constexpr const char* RegScriptHeaderNT = "Windows Registry Editor Version 5.00";
inline constexpr const char* RegScriptHeader9x = "REGEDIT4";

// The first line of a script: "" for 0 and 1 (Win32s), "REGEDIT4" for 2 and 3 (Windows 9x),
// "Windows Registry Editor Version 5.00" for 4 and more (NT family).
std::string RegScriptHeader(uint8_t platformKind);

// The bytes of a script file (lines in UTF-8, the header first), every line ending with CRLF.
// Under the "Windows Registry Editor Version 5.00" header the file is UTF-16LE with a byte-order
// mark, as the system's own exporter writes it; any other file is 8-bit in the ANSI code page.
std::string EncodeRegScript(const TStringList& lines);

// "RepairBackup\" in the executable's folder.
std::string RepairBackupFolder();
// folder + "_" + the stamp as "yyyymmdd_hhnnss" + ".reg".
std::string RepairBackupFileName(const std::string& folder, TDateTime stamp);

// Names a backup file after the time stamp given (to the second).
using TBackupNamer = std::function<std::string(TDateTime)>;
// The name of a new backup: the one of stamp or, when something of that name may be there, the
// one of the next second whose name is free, so that no earlier backup is ever replaced. stamp
// moves on to the second named.
std::string FreeBackupFileName(const TBackupNamer& nameOf, TDateTime& stamp);

// Reads a value with its real size, however large; the data never extends past what the registry
// returned. The registry's result code (ERROR_FILE_NOT_FOUND for a missing value).
LONG ReadRawValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<uint8_t>& data);

enum class TExportOutcome {
  Written,      // the lines are in the list
  Absent,       // there is nothing to export (no such key or value): nothing added
  Unreadable,   // it exists but could not be read completely, or a name holds a line break,
                // which no script line can carry
};

// Appends the key line and the value line for the value of exactly this name ("" the key's
// unnamed value, written as @=; "default" a value so named). keyPath is the root's name, "\" and
// the key. Values of any size and type are written with their exact bytes.
TExportOutcome ExportRegValue(const std::string& keyPath, const std::string& valueName, TStringList& lines);
// Appends the key with all its values and all its subkeys, each key with its own key line.
TExportOutcome ExportRegKey(const std::string& keyPath, TStringList& lines);

// The deletion line for a value a change may create where none is now, so that a restore takes
// it away again: when the value of exactly valueName ("" the unnamed one) is not there, its key
// line and "name"=- (@=- for the unnamed value), also when the key itself is not there yet. A key
// is never deleted: what a restore would take with it may have been put there since. Absent
// (nothing added) when the value is there; Unreadable when that cannot be told or a name holds a
// line break.
TExportOutcome ExportAbsentValue(const std::string& keyPath, const std::string& valueName, TStringList& lines);

// One section of the results as the backup walks them, in the order the results list shows them.
struct TBackupSection {
  std::string Caption;
  SectionCommon::TRepairForm Form = SectionCommon::TRepairForm::Value;
  TRegistryContents* Contents = nullptr;
};

struct TBackupResult {
  std::string FileName;              // the backup file's full path, set also when nothing was saved
  bool Saved = false;                // the file was written
  bool Complete = false;             // everything the repair will remove is in the saved file
                                     // (true also when there is nothing to back up)
  int Exported = 0;                  // ticked findings whose keys or values are in the file
  std::vector<std::string> Missed;   // what could not be backed up, for the user's message
  bool Stopped = false;              // stopped before its end: nothing was saved
};

// A backup script being written: the header, then the export of each entry, tallied into Result;
// Save writes the file when anything was exported, under the free name of the stamp's second or
// of a later one (a file that has taken the name meanwhile is never replaced). The file's folder
// is created (one level) when missing.
class TBackupScript {
 public:
  TBackupScript(TBackupNamer nameOf, TDateTime stamp, uint8_t platformKind);
  TStringList Lines;   // the exports append here
  // Counts one entry's export; `name` tells the user what could not be read.
  void Count(TExportOutcome outcome, const std::string& name);
  TBackupResult Save();

 private:
  TBackupNamer nameOf_;
  TDateTime stamp_;
  TBackupResult result_;
};

// Called before each ticked finding is backed up (to show it and keep the window live); false
// stops the backup.
using TBackupStep = std::function<bool(const TContent& finding)>;

// Writes what the repair of every ticked finding will remove (a value, or a key with its whole
// subtree; files are not registry data and are passed over) into a new backup file in folder,
// named after stamp and noted as the current user's after its header (RegBackupUnit::AddUserNote).
// The folder is created (one level) when missing. Nothing is saved when no ticked finding has
// anything to back up, nor when step stops the backup (Stopped).
TBackupResult BackupCheckedFindings(const std::vector<TBackupSection>& sections, uint8_t platformKind,
                                    const std::string& folder, TDateTime stamp, const TBackupStep& step = nullptr);

// The first `shown` items for a message, each ended by "\r", then "and N more\r" for the rest.
std::string ShortList(const std::vector<std::string>& items, size_t shown);
// Adds to a message, after an empty line when it holds something already, head and below it the
// first `shown` items (every one when not given), one a line, as ShortList gives them, without
// the last line end. Nothing for no items.
void AddHeadedList(std::string& text, const std::string& head, const std::vector<std::string>& items,
                   size_t shown = SIZE_MAX);

// The message for a backup that is not complete: the heading, the file that could not be written
// and the entries missed (at most ten), then the question whether to go on all the same.
std::string IncompleteBackupText(const TBackupResult& backup, const std::string& heading,
                                 const std::string& question);

}  // namespace MainUnit
