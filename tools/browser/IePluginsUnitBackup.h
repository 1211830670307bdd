// The browser plug-ins' backups: removing ticked plug-ins after writing everything they hold to
// a registry script in "IEBackUp\" beside the program, listing those scripts, and reading a
// script's key and value lines for the details view.
//
// How to use: RemovePlugins(rows, PlatformKind, PluginBackupFolder(), Now()) writes the backup
// and removes what was backed up; RegBackupUnit::RestoreUndoBackup brings back what is still
// absent, never over what changed since.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../../app/MainUnitBackup.h"
#include "../../framework/StringList.h"
#include "../../framework/Strings.h"
#include "../../scan/RegistryContentUnit.h"

namespace IePluginsUnit {

// "IEBackUp\" in the executable's folder.
std::string PluginBackupFolder();
// folder + "Backup_" + the stamp as "yyyymmdd_hhnnss" + "_IE" + ".reg".
std::string PluginBackupFileName(const std::string& folder, TDateTime stamp);
// The same name for a new backup: of the stamp's second or, when an entry of that name is there
// (or may be there: one that cannot be looked at counts), of the next free second, so that no
// earlier backup is ever replaced.
std::string NewPluginBackupFileName(const std::string& folder, TDateTime stamp);
// PluginBackupFileName in folder, for a backup that takes the free name itself.
MainUnit::TBackupNamer PluginBackupNamer(const std::string& folder);

// One plug-in as a row of the list holds it (its sub-items 0 to 4).
struct TPluginRow {
  std::string Name;          // the display name
  std::string KeyPath;       // root name, "\" and key: what is backed up
  std::string Entry;         // the menu extensions' key, the toolbar's value ("" the unnamed one) or
                             // the bar's subkey
  std::string DisplayName;
  std::string Category;      // "1" menu extension, "2" toolbar, "3" explorer bar
};
TPluginRow PluginRow(const TContent& plugin);
std::vector<std::string> RowTexts(const TPluginRow& row);   // the five sub-items
TPluginRow RowFromTexts(const std::vector<std::string>& subItems);

// Appends the key of keyPath with every value and every subkey to lines. False when the key is
// there but could not be read completely.
bool ExportKeyValues(const std::string& keyPath, TStringList& lines);

struct TPluginRemoval {
  std::string FileName;   // the backup file (set also when nothing was written)
  bool Saved = false;
  int Removed = 0;        // rows whose plug-in was there and is now removed from the registry
  std::vector<std::string> NotBackedUp;   // rows kept because their key could not be read
};

// Creates the folder (one level) when missing, writes what every row's removal takes away (a
// toolbar's own value, the key of a menu extension or explorer bar) into one new backup file that
// notes the current user
// (never replacing an earlier backup: a taken name moves the stamp on by a second) and then removes
// each row that was backed up, by its category. No file when no row is given. Throws
// EInOutError when the file cannot be written; nothing is removed then.
TPluginRemoval RemovePlugins(const std::vector<TPluginRow>& rows, uint8_t platformKind, const std::string& folder,
                             TDateTime stamp);

// ---- backup list ----

struct TBackupFile {
  TDateTime Created = 0;   // the file's creation time, local
  std::string FileName;    // full path
};
// The "*.reg" files of folder in the order the file system gives them; empty when the folder is
// missing. The process's current directory is left as it is. The backups lie in the program's
// folder, shared by every user of the machine, and hold keys of HKEY_CURRENT_USER: each notes the
// user who wrote it (RegBackupUnit::AddUserNote), and a user lists (and restores) only their own
// and those noting no user (written before backups noted one); another user's stay as they are.
std::vector<TBackupFile> ListBackupFiles(const std::string& folder);

// ---- backup details ----

struct TDetailBackup {
  uint8_t Flag = 0;        // 1: made from a key line
  std::string KeyLine;     // the bracketed line as read
  std::string ValueLine;   // the newest value line after it
};
// The records of a script's text (UTF-16LE with its byte-order mark, UTF-8 or ANSI): header,
// comment (the backup's notes) and empty lines are skipped, a line holding "[" and "]" starts a
// record, any other line becomes the newest record's value line; lines before the first key line
// are dropped.
std::vector<TDetailBackup> ParseBackupDetails(const std::string& bytes);
// The same read from a file (exactly the entry its name gives, as a listing gave it); empty when
// it cannot be read.
std::vector<TDetailBackup> LoadBackupDetails(const std::string& fileName);

}  // namespace IePluginsUnit
