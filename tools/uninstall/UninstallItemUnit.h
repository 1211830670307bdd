// The programs registered under the machine's Uninstall key: one record per program, the
// collection the uninstaller page lists and sorts, and the routines that turn a registered
// command line into the program to run (and an install date into the text shown).
//
// How to use:
//   TUninstallContents entries;
//   LoadEntries(entries, showWindowsUpdate);
//   entries.Sort(TSortKey::Name, /*descending=*/false);
//   TStartOutcome started = StartCommandLine(CommandToRun(entries.GetItem(i).Content));
//   if (!started.Process) ShowMessageBox(SystemErrorText(started.Error), MB_ICONWARNING);
#pragma once

#include <string>
#include <vector>

#include "../../framework/Handles.h"

namespace UninstallItemUnit {

// What a record holds where the registry has no such value.
inline constexpr const char* NotAvailable = "NOT AVAILABLE";
// The machine's Uninstall key under HKEY_LOCAL_MACHINE ("\" = from the root).
inline constexpr const char* UninstallKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// One registered program, its values as text.
struct TContent {
  std::string IconPath;         // the program whose icon is shown
  std::string DisplayName;
  std::string Version;
  std::string HelpLink;
  std::string InstallDate;      // raw, "YYYYMMDD" when well formed
  std::string InstallLocation;
  std::string Publisher;
  std::string URLInfoAbout;
  std::string URLUpdateInfo;
  std::string ModifyPath;
  std::string KeyName;          // the subkey's name
  std::string UninstallString;
  std::string KeyPath;          // UninstallKey + "\" + KeyName
};

struct TUninstallContentItem {
  TContent Content;
  int ImageIndex = -1;          // the program's icon in the page's image lists, -1 none
};

enum class TSortKey { Name = 0, InstallDate = 1, Publisher = 2 };

class TUninstallContents {
 public:
  int Add();                                   // appends an empty item, returns its index
  void Delete(int index);                      // an index outside the list does nothing
  TUninstallContentItem& GetItem(int index) { return items_.at(index); }
  const TUninstallContentItem& GetItem(int index) const { return items_.at(index); }
  int Count() const { return (int)items_.size(); }
  void Clear() { items_.clear(); }
  // Orders the items by the trimmed key, byte by byte and case-sensitive ("Zip" before "adobe"),
  // with the plain exchange sort the list has always used (equal keys are not kept in order).
  void Sort(TSortKey key, bool descending);

 private:
  std::vector<TUninstallContentItem> items_;
};

// Reads every entry of the Uninstall key that has a name and an uninstall command, both text.
// Entries whose "ParentKeyName" is "OperatingSystem" (Windows updates) are left out unless
// showWindowsUpdate is set. A key that cannot be opened lists nothing.
void LoadEntries(TUninstallContents& entries, bool showWindowsUpdate);
// Deletes the entry's key with all its subkeys; ERROR_SUCCESS, else the system's error code.
LONG RemoveEntry(const std::string& keyName);

// "Mar. 07, 2006" from "20060307"; NotAvailable for anything but eight digits with a month of
// 01 to 12.
std::string FormatInstallDate(const std::string& date);
// The program a command line or icon reference names ("C:\App\app.exe" from
// "\"C:\App\app.exe\",0" or from "C:\App\app.exe /S"), the folder tokens replaced; in time in
// step with the text's length.
std::string ExtractExecutablePath(const std::string& command);
// The command line that runs a registered uninstall command: a quoted command (or one that names
// an existing file whole by its full path) as registered with its environment strings expanded; a
// command that starts msiexec or rundll32 by the program's full path in the system folder, its
// arguments as registered (quotes included) with their environment strings expanded; any other
// the program quoted and the rest of the text after it as its arguments. A program named without its folder ("regsvr32.exe /u ...", "cmd /c ...") is given
// by the full path PublicFunctionUnit::FindProgram finds. "" when nothing can be run: an empty
// command, a program found nowhere, one named by a path relative to the current folder or drive,
// or by a path longer than MAX_PATH. Takes time in step with the text's length, however long it is.
std::string GetUninstallCommand(const std::string& command);
// Products of this vendor are removed through their modify command.
bool IsSymantecProduct(const std::string& displayName);
// The registered command the Uninstall button runs for an entry (the vendor's modify command when
// it has one), as registered.
std::string RegisteredCommand(const TContent& content);
// What the Uninstall button runs for an entry: GetUninstallCommand of its registered command.
std::string CommandToRun(const TContent& content);
// The file an entry's icon is read from: a full path whose name the system reads as written, or
// a program named without its folder where FindProgram finds it; "" for any other (never a file
// the current folder or this program's folder would give).
std::string IconFile(const std::string& iconPath);
// A program started, or the reason it could not be.
struct TStartOutcome {
  TKernelHandle Process;          // empty when it could not be started
  DWORD Error = ERROR_SUCCESS;    // else the system's error code
};
// Starts the command line in a shown window, not waiting for it. A command line whose program is
// not given by its full path (an empty one among them) is not started: ERROR_FILE_NOT_FOUND.
TStartOutcome StartCommandLine(const std::string& commandLine);

}  // namespace UninstallItemUnit
