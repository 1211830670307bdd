// The system optimizer's runs and backups without the window: the backup file's name, acting on
// the service and tweak boxes (each service's start type and run state and each tweak's values
// saved first), the restore of one section and of a whole file, and the list of backup files.
//
// A backup file ("RepairBackup\speedRestore<yyyymmdd_hhnnss>.ini") holds one section per tweak
// item (SpeedItemUnit) and one section "Service <name>" per service the run changed, with the
// start type ("Start", 2 automatic, 3 manual, 4 disabled) and whether it ran ("Running", 1 or 0).
// Files without service sections restore as before: every service a box drives is switched on.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "../../framework/Strings.h"
#include "SystemSpeedUnitTables.h"

class TIniFile;

namespace SystemSpeedUnit {

inline constexpr const char* OptimizedText =
    "System optimization runs successfully. If you would like to\r"
    "recover back to the previous system setup, please click the\r"
    "Reset button to proceed.";
inline constexpr const char* FastOptimizedText = "System Optimizer runs successfully!";
inline constexpr const char* RestoredText = "Your system has successfully come back to the previous state!";
inline constexpr const char* ChooseFirstText = "You have to choose options from the list at first";
inline constexpr const char* DeletedText = "Deletion Completed";
// %d: the number of registry or service changes that were refused.
inline constexpr const char* NotOptimizedText =
    "%d changes were refused by the system (access denied). The optimization is not complete.";
inline constexpr const char* NotRestoredText =
    "%d changes were refused by the system (access denied). The previous state was not completely restored.";

// "RepairBackup\" beside the program.
std::string SpeedBackupFolder();
// folder + "speedRestore" + the stamp as "yyyymmdd_hhnnss" + ".ini".
std::string SpeedBackupFileName(const std::string& folder, TDateTime stamp);

// ---- services ----

std::string ServiceSectionName(const std::string& service);   // "Service " + name
// Saves the service's start type and run state into fileName, unless the file holds them already
// or the service is not installed.
void BackupServiceState(const std::string& fileName, const std::string& service);

// One service box as the run sees it: Driven is set when a model or the user set the box; a box
// that only shows the system's state is left alone.
struct TServiceChoice {
  bool Checked = false;
  bool Driven = false;
};
// Enables or disables the service of every driven box, in box order, after saving its state into
// backupFile ("" saves nothing). Returns the number of refused changes.
int ApplyServiceChoices(const std::array<TServiceChoice, ServiceBoxCount>& boxes, const std::string& backupFile);
// Backs up and applies the item of every checked tweak box, in box order, into
// SpeedItemUnit::SpeedBackupFile. Returns the number of refused changes.
int ApplyTweakChoices(const std::array<bool, TweakBoxCount>& checked);

// ---- restore ----

// Restores the one item whose section name is exactly `section`. Returns refused changes.
int RestoreSpeedSection(const std::string& section, TIniFile& ini);

struct TSpeedRestore {
  int Refused = 0;
  bool ServicesRestored = false;   // the file held service states and they were put back
};
// Restores every item with a section holding keys, in item order, then the saved service states.
TSpeedRestore RestoreSpeedFile(const std::string& fileName);

// ---- backup list ----

struct TSpeedBackupRow {
  std::string Name;   // the file name
  std::string Path;   // folder + file name
};
// The "*.ini" files of folder whose names contain "speed" in any letter case, in listing order.
std::vector<TSpeedBackupRow> ListSpeedBackupFiles(const std::string& folder);

}  // namespace SystemSpeedUnit
