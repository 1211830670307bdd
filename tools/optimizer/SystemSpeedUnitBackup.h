// The system optimizer's runs and backups without the window: the backup file's name, acting on
// the service and tweak boxes (each service's start type and run state and each tweak's values
// saved first), the restore of one section and of a whole file, and the list of backup files.
//
// A backup file ("RepairBackup\speedRestore<yyyymmdd_hhnnss>.ini") holds the mark of the files
// written now (SpeedItemUnit), one section per tweak item and one section "Service <name>" per
// service the run changed, with the start type ("Start", 2 automatic, 3 manual, 4 disabled) and
// whether it ran ("Running", 1 or 0). A marked file restores only the services it holds; a file
// without the mark and without service sections restores as such files always did: every
// service a box drives is switched on.
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
// %s: what could not be put back, one per line.
inline constexpr const char* NotRestoredText =
    "The previous state was not completely restored. These could not be put back:\r\n%s";
// %s: the file.
inline constexpr const char* RestoreUnreadableText =
    "The backup file %s cannot be read now (another program may be using it). Nothing was restored; "
    "please try again later.";

// "RepairBackup\" beside the program.
std::string SpeedBackupFolder();
// folder + "speedRestore" + the stamp as "yyyymmdd_hhnnss" + ".ini".
std::string SpeedBackupFileName(const std::string& folder, TDateTime stamp);

// ---- services ----

std::string ServiceSectionName(const std::string& service);   // "Service " + name
// Saves the service's start type and run state into fileName, unless the file holds them already
// or the service is not installed. Raises EInOutError when the file exists but cannot be read.
void BackupServiceState(const std::string& fileName, const std::string& service);

// One service box as the run sees it: Driven is set when a model or the user set the box; a box
// that only shows the system's state is left alone.
struct TServiceChoice {
  bool Checked = false;
  bool Driven = false;
};
// Enables or disables the service of every driven box, in box order, after saving its state into
// backupFile ("" saves nothing). Returns the number of refused changes; `refusedServices`, when
// given, receives the name of each service whose change was refused.
int ApplyServiceChoices(const std::array<TServiceChoice, ServiceBoxCount>& boxes, const std::string& backupFile,
                        std::vector<std::string>* refusedServices = nullptr);
// Backs up and applies the item of every checked tweak box, in box order, into
// SpeedItemUnit::SpeedBackupFile. Returns the number of refused changes.
int ApplyTweakChoices(const std::array<bool, TweakBoxCount>& checked);

// ---- restore ----

// Restores the one item whose section name is exactly `section`. Returns refused changes.
int RestoreSpeedSection(const std::string& section, TIniFile& ini);

struct TSpeedRestore {
  bool Unreadable = false;         // the file exists but could not be read: nothing was done
  bool OtherUser = false;          // the file notes another user of the machine: nothing was done
  bool Marked = false;             // the file carries the mark of the files written now
  int Refused = 0;                 // changes refused or not made
  bool ServicesRestored = false;   // the file held service states and they were put back
  // What did not come back: an item's section name or "Service <name>", with the reason when it
  // was not a refused change.
  std::vector<std::string> NotRestored;
};
// Reads the whole file first (held for reading meanwhile), then restores every item with a
// section holding keys, in item order, then the saved service states. An item whose section
// cannot be used is named in NotRestored and the others are still restored. A file noted as
// another user's is neither restored nor changed: its values of HKEY_CURRENT_USER are that user's.
TSpeedRestore RestoreSpeedFile(const std::string& fileName);

// ---- backup list ----

struct TSpeedBackupRow {
  std::string Name;   // the file name
  std::string Path;   // folder + file name
};
// The "*.ini" files of folder whose names contain "speed" in any letter case, in listing order,
// but those noted as another user's (which stay as they are).
std::vector<TSpeedBackupRow> ListSpeedBackupFiles(const std::string& folder);

}  // namespace SystemSpeedUnit
