// Registry backups: importing a registry script with regedit and checking, key by key and value
// by value, that the registry now holds what the script says (regedit itself reports nothing).
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "../framework/Strings.h"

namespace RegBackupUnit {

// Starts a command line with a hidden window and waits for it to end, processing window
// messages meanwhile. False when it could not be started.
bool RunAndWait(const std::string& commandLine, DWORD& exitCode);

struct TRestoreResult {
  bool Imported = false;   // regedit ran on the file and ended with exit code 0
  bool Verified = false;   // every key and value the script names reads back as written
  int Keys = 0;            // keys and values the script names
  int Values = 0;
  std::vector<std::string> Problems;   // why it failed: an unreadable file, or what differs
  bool Succeeded() const { return Imported && Verified; }
};

// Reads a registry script (UTF-16LE with its byte-order mark, or 8-bit in the ANSI code page;
// header "Windows Registry Editor Version 5.00" or "REGEDIT4") and compares the registry with it:
// each [key] exists, each [-key] does not, each value has the script's type and bytes and each
// "name"=- is gone. Sets Verified, Keys, Values and Problems.
TRestoreResult VerifyRegistryScript(const std::string& fileName);

// Imports the script with "Regedit /s", waits for regedit to end and verifies the result.
// A missing file is not imported and fails.
TRestoreResult RestoreRegistryScript(const std::string& fileName);

// "FullBackup\" in the executable's folder.
std::string FullBackupFolder();

struct TFullBackupResult {
  std::string FileName;     // folder + "Backup_" + stamp ("yyyymmdd_hhnnss") + ".reg"
  bool Succeeded = false;   // regedit ended with 0 and the file holds a whole registry script
};

// Exports the registry (or only key, when given) with "Regedit /E" into a new file in folder
// (created, one level, when missing), waits for regedit to end while processing messages and
// checks the file.
TFullBackupResult MakeFullBackup(const std::string& folder, TDateTime stamp, const std::string& key = "");

}  // namespace RegBackupUnit
