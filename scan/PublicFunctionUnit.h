// Settings, the scan state shared by the scanners, the main window and the tools, and the
// small shared routines: registry path text, deletion, drives, ignore list, message pumping.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

#include "../framework/ComPtr.h"
#include "../framework/Outputs.h"
#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "IgnoreItemUnit.h"

struct TNetDeadline;   // framework/InternetHandle.h

class TRegistry;
struct ITaskScheduler;
struct ITask;
struct IPersistFile;

namespace PublicFunctionUnit {

struct TMyRegistryInfo {
  std::string HomePage;
  std::string HelpURL;
  bool NotRun = false;          // not registered to start with Windows
  bool NotAutoBackup = false;   // no registry-script backup before a repair
  bool OneTime = false;         // the first-run offers are still due
  bool SelectAll = false;       // new findings start ticked
  bool CheckUpdate = false;     // check for an update at start-up
};

extern TMyRegistryInfo MyRegistryInfo;

// What the running scan, repair or cleaning is asked to do (one byte; the values are fixed).
enum class TRunState : uint8_t {
  Idle = 0,
  StopScan = 1,          // the Abort button: the scan ends at its next entry
  HistoryCleaning = 2,   // a history cleaning runs
  StopRepair = 3,        // Cancel: the repair or cleaning ends at its next entry
};
extern TRunState ScanState;
inline bool ScanStopRequested() { return ScanState == TRunState::StopScan; }
inline bool RepairStopRequested() { return ScanState == TRunState::StopRepair; }
extern int32_t ProblemNumber;
extern int32_t ItemsProcessed;
extern int32_t VisitedKeyCount;
extern uint8_t PlatformKind;   // 1 Win32s, 2 Windows 9x, 4 NT family, 0 unknown
extern TStringList NonFixedDrives;
extern std::string CommandLineParam;

// Where TickItemsProcessed shows its progress (the main window's bar and label); may be null.
extern TProgressTarget* ItemsProcessedBar;
extern TCaptionTarget* ItemsProcessedLabel;

// The program's settings key under HKEY_LOCAL_MACHINE.
inline constexpr const char* SettingsKey = "\\Software\\Zelvoran";
inline constexpr const char* RunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void LoadSettings();
void TickItemsProcessed();
void DetectPlatform();
void ListNonFixedDrives(TStringList& list);
bool IsOnFixedDrive(const TStringList& drives, const std::string& path);
// True for a 32-bit program on 64-bit Windows: the system folder and the program-files folders
// it sees are the 32-bit ones.
bool RunsUnderWow64();
// Whether the drive a path lies on is a fixed drive at this moment: its root is there now and
// the drive type of its root is fixed (the type, slow for the system to tell, is asked again when
// it was asked more than a second before). A drive that is away, removable, a CD-ROM, a network
// share or a letter that does not exist is not. A path without a drive letter lies on the current
// drive; a network path ("\\") on no fixed drive.
bool IsOnFixedDriveNow(const std::string& path);
bool GetCommandLineParam(std::string& param);
void Delay(DWORD milliseconds);
void GetCurrentUserName(std::string& name);
// Enables the shutdown privilege in this process's token, so that the program may restart the
// system; false when the token could not be changed.
bool EnableShutdownPrivilege();
void OpenUrl(int mode, const std::string& address);
// The scans' and repairs' message pump, called for every entry they examine. Pumping costs a
// round trip to the window system even when nothing waits, so it runs at most every few
// milliseconds: the window stays as live, and a stop request is seen at the next entry after it.
void ProcessMessages();

// File checks of a scan. While a TScanFileChecks object lives (the scan driver holds one for the
// length of a scan, so each scan starts with none kept), each path's look-up (its attributes, or
// the system's answer why there are none) is made once and kept; outside a scan every check reads
// the file system. The number of
// paths kept is bounded: when it is full the cache starts over. A 32-bit program on a 64-bit
// system sees the system folder through the 32-bit view: a path is looked up in the system's own
// view first and, when it is not there, in the program's (a 32-bit program's settings name its
// files as it sees them).
class TScanFileChecks {
 public:
  TScanFileChecks();
  ~TScanFileChecks();
  TScanFileChecks(const TScanFileChecks&) = delete;
  TScanFileChecks& operator=(const TScanFileChecks&) = delete;
};
// What one look-up found at a path: a file, a folder, nothing (the system answered "file not
// found" or "path not found"), or it cannot tell (any other answer: access denied, a sharing
// violation, a network error; an empty path or one too long to hand over).
enum class TPathLook { File, Folder, Absent, Unknown };
TPathLook ScanLookUp(const std::string& path);
bool ScanFileExists(const std::string& path);        // as FileExists: false for folders
bool ScanDirectoryExists(const std::string& path);   // as DirectoryExists
bool ScanPathExists(const std::string& path);        // a file or a folder
// The system call the look-ups read a path's attributes with (GetFileAttributesW, which sets the
// last error when it fails); tests pass one that answers as a denied or busy file would. Null
// restores the system's.
using TAttributesReader = DWORD(WINAPI*)(LPCWSTR path);
void SetAttributesReader(TAttributesReader reader);
// True for a path the system's file routines take as it is: shorter than MAX_PATH characters
// (this program does not opt into longer paths). A longer one cannot be judged and is never
// handed over: the system folds its "." segments one at a time, in time growing with the square
// of a long text's length.
bool WithinPathLimit(const std::string& path);

HKEY RootKeyFromName(const std::string& name);
std::string RootKeyName(HKEY root);
// Splits "ROOTNAME\path" into its root key and the path after the root's name (without the
// leading "\"); the root is null when the text does not begin with a root's name.
HKEY SplitRegistryPath(const std::string& fullPath, std::string& subPath);
// Deletes the value of exactly this name ("" the key's unnamed value) under the key fullPath
// names; a key that is not there is not created. True when the value was deleted.
bool DeleteRegistryValue(const std::string& fullPath, const std::string& valueName);
bool DeleteRegistryKey(HKEY root, const std::string& path);
TDateTime FileTimeToDateTime(const FILETIME& fileTime);
std::string GetProgramFilesDir(int selector);
std::string GetWindowsDir();   // the Windows folder, without a trailing "\"
std::string GetSystemDir();    // the system folder, without a trailing "\"; "" when it cannot be read
// A system program's full path in the system folder, in quotes, to start it by: a program of the
// same name in this program's folder or the current folder never runs in its place. "" when the
// system folder cannot be read.
std::string SystemProgram(const std::string& fileName);
// The same for a program of the Windows folder (regedit).
std::string WindowsProgram(const std::string& fileName);
// A program named without its folder (as an installer writes "regsvr32.exe" or "cmd"; ".exe" is
// added to a name without an extension, as the system does when it starts one) looked up in the
// system folder, the Windows folder and the PATH entries that are full paths, in that order:
// never in this program's folder or the current folder, also when the PATH lists them. Its full
// path in quotes, to start it by; "" when it is found nowhere, and for a name with a folder or
// one the system would read as another (ending in a dot or a blank).
std::string FindProgram(const std::string& fileName);
// "X:\..." or "\\server\share\...": a path that names the same file whatever the current folder and
// drive are.
bool IsFullPath(const std::string& path);

// The ignore list: ZelvoranIgnores.dat next to the executable, one entry a line. A line is
// "section|key|value", the value being the rest of the line; "" there names the key's unnamed
// value, and "default" (as earlier versions wrote the unnamed value in the sections that show it
// so) both that value and a value really named "default". An entry that would not read back so
// (a "|" in the section or the key, a value named "default") is written escaped: "|",
// then the three fields separated by "|", each with "%", "|" and line breaks as "%25", "%7C",
// "%0D" and "%0A", the value's exact name last ("" the unnamed value). Lines of earlier versions
// never begin with "|" (a line of no section was never matched), so they read as they always did.
std::string IgnoreFileName();
void SetIgnoreFileName(const std::string& fileName);   // tests keep theirs apart; "" restores
// The ignore file's bytes; "" when FileExists finds no file of that name. Raises EInOutError when
// the file is there but cannot be read, so that it is never taken for an empty list.
std::string IgnoreFileBytes();
// One line's entry; a line that begins with "|" but is not a well-formed escaped line reads the
// plain way (an entry of no section, which matches nothing).
void ParseIgnoreLine(const std::string& line, IgnoreItemUnit::TContent& entry);
void LoadIgnoreList(TIgnoreContents& list);
// Whether the list excludes an entry: the section caption and key compared without regard to
// case (a key by its identity, KeyIdentity), the value's exact name ("" the key's unnamed value;
// for findings of no value, their name) compared exactly. A plain line's value "default" names
// both the unnamed value and a value really named "default".
bool IsIgnored(TIgnoreContents& list, const std::string& section, const std::string& keyPath,
               const std::string& valueName);
// Whether an entry of the list, made in any section, names the key and the value of this exact
// name. A line of no section names nothing, as in IsIgnored.
bool ListNamesEntry(TIgnoreContents& list, const std::string& keyPath, const std::string& valueName);
// Whether an entry of the list, made in any section, names the key of this identity (KeyIdentity)
// or a key below it, whatever value it names: removing that key would take the entry along.
bool ListNamesEntryWithin(TIgnoreContents& list, const std::string& keyIdentity);
// One ignore-file line for an exclusion, CRLF included: valueName as the finding shows it, and
// whether it stands for the key's unnamed value. The line names that one value: the unnamed value
// by "", a value named "default" on an escaped line.
std::string IgnoreLine(const std::string& section, const std::string& keyPath, const std::string& valueName,
                       bool unnamed = false);
// The SID of the user whose hive HKEY_CURRENT_USER is ("S-1-5-21-..."); "" when the process token
// cannot tell. The program's folder is shared by every user of the machine, and
// "HKEY_CURRENT_USER" names no user: the files kept there write this beside what they hold of it.
std::string CurrentUserSid();
// A SID in its written form: "S-", then numbers joined by "-" ("S-1-5-21-...").
bool IsSidText(const std::string& text);
// True for the SID a file or line written by the current user carries (in any letter case), and
// for "" (none written: of the machine's keys only, or written before files carried SIDs).
bool IsCurrentUsersSid(const std::string& sid);
// %s: a backup file noted as another user's, which is not restored.
inline constexpr const char* OtherUsersBackupText =
    "The backup %s was made by another user of this computer and holds that user's own settings, "
    "which cannot be restored into yours. Nothing was restored; that user can restore it.";
// A registry key's text as exclusions and repairs compare keys: upper-cased, each key by one name
// of all it has: the current user's tree by its name under HKEY_USERS, a user's classes hive as
// that user's Software\Classes, HKEY_USERS\.DEFAULT as HKEY_USERS\S-1-5-18, and a key of the
// classes root as the key it lies in now (RealClassesKey). A text that names no registry key (a
// file's path) is only upper-cased.
std::string KeyIdentity(const std::string& keyPath);
std::string KeyIdentity(HKEY root, const std::string& subKey);
// HKEY_CLASSES_ROOT merges the user's classes over the machine's: the key it shows as subKey
// lies in the user's HKEY_CURRENT_USER\Software\Classes when it is there, else in the machine's
// HKEY_LOCAL_MACHINE\Software\Classes. That root, and in realSubKey the path below it.
HKEY RealClassesKey(const std::string& subKey, std::string& realSubKey);

// One double-byte character (its two bytes in the given code page) as the registry-script hex
// pair of its UTF-16 code unit: "LL,HH," (low byte first, upper-case, each followed by a comma).
std::string DbcsCharToRegHex(const std::string& dbcsChar, UINT codePage = CP_ACP);

// Start-up: the installer's first-start marker and the relaunch marker live under this key of
// HKEY_CURRENT_USER; user account control is read from the policy key of HKEY_LOCAL_MACHINE.
// Tests pass keys of their own.
inline constexpr const char* UserSettingsKey = "Software\\Zelvoran";
inline constexpr const char* UacPolicyKey = "Software\\microsoft\\Windows\\CurrentVersion\\Policies\\System";

// True when the string "setup" reads "1"; the value is deleted whatever it held.
bool TakeSetupFlag(const std::string& userKey = UserSettingsKey);
// True when "EnableLUA" is a double word other than 0; missing, of another type or unreadable: false.
bool IsUacEnabled(const std::string& policyKey = UacPolicyKey);
// Starts a program with the verb "runas" (the verb argument is not used), passing parameters on.
void RunElevated(const std::string& fileName, const std::string& verb, const std::string& directory,
                 const std::string& parameters = "");
// True when the update server's copy of the executable (at url) is newer than the running one
// (exe), asked with the agent name; every call of the exchange ends by the deadline, so that a
// server that trickles or never answers is given up then.
bool IsNewerBuildOnServer(const std::string& url, const std::string& exe, const std::string& agent,
                          const TNetDeadline& deadline);

// Start with Windows: a value of the Run key named after the program's file name. Its data is the
// program's path in quotes, so that the system never takes a leading part of a path with blanks
// ("C:\My.exe" of "C:\My Tools\Zelvoran.exe") for the program to run.
std::string RunValueName(const std::string& exe);
std::string RunValueData(const std::string& exe);
// True when Run value data names this program itself: its path in quotes, or the bare path that
// earlier versions wrote (compared exactly). Another copy's path, or the path with arguments, is
// not the program's own entry.
bool IsOwnRunValue(const std::string& data, const std::string& exe);
// Reads the program's Run value from the open Run key: true when it is the program's own entry.
bool RunsAtStartup(TRegistry& runKey, const std::string& exe);

// The scheduled scan: a Task Scheduler job that starts the program with "-Scan". Job names are
// given as listed ("Zelvoran.job"); the scheduler is called with the name without ".job".
inline constexpr const char* ScheduledJobName = "Zelvoran.job";
inline constexpr const char* ScheduledJobComment = "Runs Zelvoran at Scheduled Time.";
inline constexpr const char* ScheduledJobParameter = "-Scan";   // the program's start for a scan

extern ITaskScheduler* TaskScheduler;   // created once by InitTaskScheduler
extern ITask* CurrentTask;              // the job last activated or created and held (HoldTask)
extern IPersistFile* CurrentTaskFile;   // the held job's file, kept by SaveTask

// Creates the scheduler object unless it exists (then 0). A failure shows
// "Error in ActiveX.CoCreateInstance.Error Code :" with the code and is returned; the program
// goes on without scheduling.
HRESULT InitTaskScheduler();
// The job by name; a failure shows "Error in SchedulingAgent.Activate.Error Code :" with the
// code and leaves task empty.
HRESULT ActivateTask(const std::string& jobName, TComPtr<ITask>& task);
// A new job of that name (no message: the caller stops on a failure).
HRESULT NewTask(const std::string& jobName, TComPtr<ITask>& task);
// Whether the scheduler lists the job (as "<name>.job").
bool TaskListed(const std::string& jobName);
// Holds a job as the current one (a null job drops it).
void HoldTask(const std::string& jobName, ITask* task);
void DropCurrentTask();
// Saves the current job; -1 with "Error in  Task.QueryInterface(IID_IPersistFile, pIPersistFile):"
// when there is none or it has no file interface.
HRESULT SaveTask();
// Deletes the job; on success a held job of that name is dropped. Shows nothing.
HRESULT DeleteTask(const std::string& jobName);
// Releases the job and the scheduler object (before COM is shut down).
void ReleaseTaskScheduler();

}  // namespace PublicFunctionUnit
