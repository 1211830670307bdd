// Registry backups: the main window's backup page (partial backups written before repairs,
// full exports of the registry), importing a registry script with regedit and checking, key by
// key and value by value, that the registry now holds what the script says (regedit itself
// reports nothing), restoring a repair's backup without writing over newer data, and the full
// export. Scripts are read a line at a time (RegBackupUnitScript.h): a full export of hundreds of
// megabytes is restored in the memory a small backup takes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "../framework/ComCtrls.h"
#include "../framework/Forms.h"
#include "../framework/ListView.h"
#include "../framework/StdCtrls.h"
#include "../framework/Strings.h"
#include "ImageEx.h"

namespace RegBackupUnit {

// Starts a command line with a hidden window and waits for it to end, processing window
// messages meanwhile. False when it could not be started.
bool RunAndWait(const std::string& commandLine, DWORD& exitCode);

// Runs the system's importer ("Regedit /s") on a script and waits for it while the windows stay
// live; false when it could not be started. The tests and the benchmark put their own in its place.
extern std::function<bool(const std::string& fileName, DWORD& exitCode)> RunImport;

struct TRestoreResult {
  bool Imported = false;   // regedit ran on what was to be imported and ended with exit code 0
                           // (also set when nothing needed importing)
  bool Verified = false;   // every key and value imported reads back as written
  int Keys = 0;            // keys and values checked after the import
  int Values = 0;
  std::vector<std::string> Problems;     // why it failed: the file, regedit, the program's end
  std::vector<std::string> Left;         // what holds other data now than the backup, left as it is
  std::vector<std::string> NotWritten;   // what the import did not bring back as the backup has
                                         // it (a key the system lets no one create), each once:
                                         // a key that is not there stands for its values
  bool FileRefused = false;   // the file itself was not fit to restore from (missing, unreadable,
                              // a line the importer would read otherwise)
  // what each list leaves out beyond the first ones
  size_t ProblemsUnlisted = 0, LeftUnlisted = 0, NotWrittenUnlisted = 0;
  bool Succeeded() const { return Imported && Verified && Left.empty() && NotWritten.empty(); }
};

// The steps of a restore, for its progress: reading the file, comparing it with the registry, the
// import, checking what was imported.
enum class TRestoreStep { Reading, Comparing, Importing, Checking };
// Told at each step's start (0) and end (100) and now and then between; the windows stay live.
using TRestoreProgress = std::function<void(TRestoreStep step, int percent)>;

// Reads a registry script a line at a time (UTF-16LE with its byte-order mark, or 8-bit in the
// ANSI code page; header "Windows Registry Editor Version 5.00" or "REGEDIT4") and compares the
// registry with what the script leaves as the importer takes it, the later line winning: each
// [key] exists, each [-key] does not, each value has the script's type and bytes and each
// "name"=- is gone. Problems names what cannot be read, NotWritten what differs.
TRestoreResult VerifyRegistryScript(const std::string& fileName, const TRestoreProgress& progress = nullptr);

// %s: a listed backup file whose name ends in a dot or a blank (or is dots only): regedit and the
// file routines read such a path as another file, so it is refused.
inline constexpr const char* NameReadAsAnotherText =
    "The file's name ends in a dot or a blank, which the import would read as another file: %s";

// Imports the whole script with "Regedit /s" (a full backup, which puts the registry back as it
// was), waits for regedit to end and verifies the result. The file is held against writing from
// its first reading to the end of the check. A missing file, a file whose name is read as another
// file's, a file that is not a script or holds a line that cannot be read (or that the importer
// would read otherwise), and a backup noted as another user's (PublicFunctionUnit::
// OtherUsersBackupText), is not imported and fails.
TRestoreResult RestoreRegistryScript(const std::string& fileName, const TRestoreProgress& progress = nullptr);
// Restores the backup of what a repair or a removal took away without writing over what has
// changed since: each key and value the script leaves (the later line winning) is compared with
// what the registry holds now; what is absent is written, as the canonical lines of what was
// compared, into a file beside the backup that is held against writing until its import with
// "Regedit /s" has been checked; what is there as the script has it stays, and what holds other
// data now (or is there where the script deletes it) is left as it is and named in Left. A backup
// whose notes say what the change wrote (RegBackupUnitScript.h) also puts back each value that
// still holds exactly that, and deletes again each value the change created that still does.
// Succeeds only when all of it is back. Files are refused as by RestoreRegistryScript, a backup
// noted as another user's among them (its HKEY_CURRENT_USER lines are that user's).
TRestoreResult RestoreUndoBackup(const std::string& fileName, const TRestoreProgress& progress = nullptr);
using TRestoreRoutine = TRestoreResult (*)(const std::string& fileName, const TRestoreProgress& progress);
// What a failed restore tells the user: that the registry was not restored completely, the
// entries that could not be written back, those left because they changed since the backup, and
// the first problems, with the hint that the backup may have been changed when the file itself was
// refused.
std::string RestoreFailureText(const TRestoreResult& result);
// What the please-wait window of a restore says at a step.
std::string RestoreStepText(TRestoreStep step, int percent);
// Runs a restore with the please-wait window (owned by owner) showing its step and progress.
TRestoreResult RestoreShowingProgress(TForm* owner, TRestoreRoutine restore, const std::string& fileName);

// "FullBackup\" in the executable's folder.
std::string FullBackupFolder();

struct TFullBackupResult {
  std::string FileName;     // folder + "Backup_" + stamp ("yyyymmdd_hhnnss") + ".reg", of a later
                            // second when a backup has that name
  bool Succeeded = false;   // regedit ended with 0 and the file holds a whole registry script
};

// True when the file begins with a script's header and a key line and ends with a line end, as an
// export that ran to its end does (also after the user note is added); only its head and its tail
// are read.
bool IsCompleteExport(const std::string& fileName);

// The SID of the user note a full export ends with (its last line but blank ones); "" without one,
// or with one that is no SID. Only the file's first two bytes and its last few kilobytes are
// read, however large it is. False when the file cannot be read now.
bool ReadExportUser(const std::string& fileName, std::string& sid);

// Exports the registry (or only key, when given) with "Regedit /E" into a new file in folder
// (created, one level, when missing; an existing backup is never written over), waits for
// regedit to end while processing messages, checks the file and notes the current user at its
// end (the export holds that user's HKEY_CURRENT_USER). When the program ends meanwhile the export
// is ended and its file removed; an export that is not complete, or could not be noted, is removed.
TFullBackupResult MakeFullBackup(const std::string& folder, TDateTime stamp, const std::string& key = "");

// The size of a backup file as the lists show it: "0 KB", "%d B" below 1 KB, else whole KB or,
// from 1 MB, whole MB, rounded to the nearest with halves to the even number.
std::string BackupSizeText(uint32_t size);

}  // namespace RegBackupUnit

// The "Backup" page of the main window: a borderless child window listing the partial backups
// ("RepairBackup\") and the full backups ("FullBackup\"), each list with restore and remove,
// and the full export. Restores and exports wait for regedit while the window stays live; the
// page does nothing else meanwhile (Busy).
class TRegBackupForm : public TForm {
 public:
  TRegBackupForm(TControl* host, TForm* owner);

  TPanel* MemoPanel;
  TMemo* Memo1;
  TImage *PartialSheet, *FullSheet;
  TNotebook* BackupNotebook;   // 0 "Partial", 1 "Full"
  TListView* PartialListView;
  TImageEx *RestorePartialBtn, *RemovePartialBtn;
  TListView* BackupDataListView;
  TImageEx *BackupRegistryBtn, *RestoreRegistryBtn, *RemoveBackupBtn;

  std::string RepairFolder;   // "" is "RepairBackup\" beside the program
  std::string FullFolder;     // "" is "FullBackup\" beside the program
  std::string ExportKey;      // what the full export writes; "" is the whole registry
  std::function<TDateTime()> Clock = [] { return Now(); };   // the time stamp of a full export

  void FormShow(TObject* sender);
  void FormResize(TObject* sender);
  void PartialSheetClick(TObject* sender);
  void FullSheetClick(TObject* sender);
  void SelectPartialTab();
  void SelectFullTab();
  void LoadRepairBackups();
  void LoadFullBackups();
  RegBackupUnit::TFullBackupResult MakeFullBackup();
  void BackupRegistryBtnClick(TObject* sender);
  void RestoreRegistryBtnClick(TObject* sender);
  void RestorePartialBtnClick(TObject* sender);
  void RemoveBackupBtnClick(TObject* sender);
  void RemovePartialBtnClick(TObject* sender);
  void BackupListDrawItem(TListView* list, int index, TCanvas& canvas, const RECT& rect, bool selected);

 private:
  std::string PartialFolder() const;
  std::string FullBackupsFolder() const;
  void SetColumnWidths();
  void RestoreFrom(TListView* list, RegBackupUnit::TRestoreRoutine restore);
  void RemoveFrom(TListView* list, const char* failureText);
};

namespace RegBackupUnit {
// Shows the backup page inside host, making it when page is null (owned by owner) and reusing it
// otherwise; every call lists the partial backups of repairFolder again. Returns the page.
TRegBackupForm* ShowRegBackupForm(TRegBackupForm* page, TControl* host, TForm* owner, const std::string& repairFolder);
}  // namespace RegBackupUnit
