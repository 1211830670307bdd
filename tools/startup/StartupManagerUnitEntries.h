// Where Windows keeps the programs it starts at log-on, and the rows the startup manager lists
// for them: the two Startup shell folders, the eight Run keys, the win.ini sections "Load" and
// "Run", and the entries the page disabled earlier. Each row owns the record it was made from,
// and a listing builds its rows and details anew, so an action always acts on the very entry a
// row shows.
//
// How to use:
//   TStartupListing listing;
//   ListStartupEntries(DefaultStartupSources(), files, reader, listing, [] { return true; });
//   ToggleDetailRows(listing, index);   // shows or hides a row's seven detail rows
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "../../framework/Collection.h"
#include "APP.h"
#include "StartupManagerUnitFiles.h"

namespace PublicFunctionUnit {

// A Run-key value or a Startup shell folder.
struct TFolderData {
  HKEY RootKey = nullptr;
  std::string KeyPath;     // below the root, without the root's name
  std::string ValueName;
  std::string Data;        // the value's data as text (a shell folder: its path)
  std::string FullPath;    // the root's name, "\" and KeyPath
};

// A key of win.ini's section "Load" or "Run".
struct TWinIniData {
  std::string Section;
  std::string Key;
};

// The all-users Startup folder ("Common Startup") and the user's ("Startup"), as far as their
// shell-folder keys open: at most two records, the all-users folder first.
void GetStartupFolders(std::vector<TFolderData>& list);

}  // namespace PublicFunctionUnit

namespace StartupManagerUnit {

using PublicFunctionUnit::TFolderData;
using PublicFunctionUnit::TWinIniData;

inline constexpr const char* StatusEnable = "Enable";
inline constexpr const char* StatusDisable = "Disable";
inline constexpr const char* KindStartupFolder = "Startup Folder";
inline constexpr const char* KindRegistration = "Registration";
inline constexpr const char* KindWinIni = "Win.ini";
inline constexpr const char* EntryTypeRegistry = "Registry";
inline constexpr const char* SectionLoad = "Load";
inline constexpr const char* SectionRun = "Run";
inline constexpr const char* ShellFoldersKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* CommonStartupValue = "Common Startup";
inline constexpr const char* StartupValue = "Startup";

// The seven detail rows' captions ("Postion" is the page's own spelling).
inline constexpr const char* DetailCaptions[7] = {"Type", "Postion", "Product Name", "Publish Name",
                                                  "Version", "Description", "File Path"};
inline constexpr int DetailRowCount = 7;

// Image and state indexes of a row.
inline constexpr int NoImage = -1;           // detail rows; and rows without the details switch
inline constexpr int ImageUnticked = 0;
inline constexpr int ImageTicked = 1;
inline constexpr int StateDetailsHidden = 2;
inline constexpr int StateDetailsShown = 3;

// The details of one entry's program file.
struct TFilInfoeRecord {
  std::string EntryType, Position, ProductName, PublishName, Version, Description, Action, Key, FilePath;
};
struct TFileContentItem {
  TFilInfoeRecord Data;
};
using TFileContents = TCollection<TFileContentItem>;

// One row of the Startup List.
struct TStartupRow {
  std::string Caption;   // "Name"
  std::string Path;      // "Path" (sub-item 0)
  std::string Status;    // "Status" (sub-item 1)
  std::string Kind;      // sub-item 2: KindStartupFolder, KindRegistration or KindWinIni
  std::string Extra;     // sub-item 3: a Run row's FullPath, a disabled Run row's startup.dat line
  int ImageIndex = ImageUnticked;
  int StateIndex = NoImage;
  std::optional<TFolderData> Registry;   // Run rows, live or disabled: the value this row acts on
  std::optional<TWinIniData> WinIni;     // win.ini rows
  int DetailsIndex = -1;                 // this row's item of the listing's details, -1 none

  bool Ticked() const { return ImageIndex == ImageTicked; }
  bool IsDetailRow() const { return ImageIndex == NoImage && StateIndex == NoImage; }
  bool Disabled() const { return Status == StatusDisable; }
};

// Everything one listing made: the rows in order and the details of their files.
struct TStartupListing {
  std::vector<TStartupRow> Rows;
  TFileContents FileDetails;
};

struct TRunKeyLocation {
  HKEY Root;
  std::string Key;
};
// The eight Run keys in listing order: Run, RunOnce, RunOnceEx, RunServices under
// HKEY_LOCAL_MACHINE, then the same under HKEY_CURRENT_USER.
std::vector<TRunKeyLocation> RunKeyLocations();

// Where a listing looks.
struct TStartupSources {
  std::vector<TFolderData> Folders;      // FolderList (GetStartupFolders)
  std::vector<TRunKeyLocation> RunKeys;  // RunKeyLocations()
  std::string WinIniFile;                // the Windows folder's win.ini
};
TStartupSources DefaultStartupSources();

// True when the key text (root name, "\" and key path) is one of the sources' Run keys.
bool IsListedRunKey(const TStartupSources& sources, const std::string& keyText);
// True when the path names an entry directly in one of the sources' Startup folders: the
// all-users folder or the current user's own.
bool LiesInStartupFolder(const TStartupSources& sources, const std::string& path);

// Called once per entry listed (the page pumps messages there); false stops the listing.
using TGoOn = std::function<bool()>;

// The whole listing in the page's order: the all-users Startup folder, the user's, the four
// HKEY_LOCAL_MACHINE Run keys, the four HKEY_CURRENT_USER ones, win.ini "Load" and "Run", then the
// disabled Run entries. Replaces `listing`; false when goOn stopped it.
bool ListStartupEntries(const TStartupSources& sources, TStartupFiles& files, APP::TAppObj& reader,
                        TStartupListing& listing, const TGoOn& goOn);

// The single listers the whole listing is made of. The record files hold the entries of every
// user of the machine: only the current user's are listed (folder entries of the sources'
// Startup folders, Run entries of the current user's lines, IsCurrentUsersLine).
bool ScanStartupFolder(const std::string& folder, const TStartupSources& sources, TStartupFiles& files,
                       std::vector<TStartupRow>& rows, const TGoOn& goOn);
void ListDisabledFolderEntries(const TStartupSources& sources, TStartupFiles& files, std::vector<TStartupRow>& rows);
bool ListRunKey(const TRunKeyLocation& location, APP::TAppObj& reader, TStartupListing& listing, const TGoOn& goOn);
void ListWinIniSection(const std::string& winIniFile, const std::string& section, std::vector<TStartupRow>& rows);
void ListDisabledRegistryEntries(TStartupFiles& files, std::vector<TStartupRow>& rows);

// The status of a live Run value: always StatusEnable (a disabled entry is listed from startup.dat).
std::string StartupStatus(const std::string& data);
// True when some row shows `path` in its "Path" column.
bool ExistsInList(const std::string& path, const std::vector<TStartupRow>& rows);

// Reads the file's version details into a new item of `details`; returns its index.
int AddFileDetails(APP::TAppObj& reader, TFileContents& details, const std::string& fileName,
                   const std::string& entryType, const std::string& position, const std::string& key);

// Switches the details of the row at `index`: hidden ones are shown (seven detail rows inserted
// below it when the row has details), shown ones hidden (at most seven following detail rows
// deleted). Rows without the switch are left alone. False when nothing was switched.
bool ToggleDetailRows(TStartupListing& listing, int index);

}  // namespace StartupManagerUnit
