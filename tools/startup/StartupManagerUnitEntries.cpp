// The startup entry listers, the details of a Run entry's program file and the detail rows.
#include "StartupManagerUnitEntries.h"

#include "../../framework/Handles.h"
#include "../../framework/IniFiles.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"
#include "../../scan/SystemSoftWareSettingUnit.h"

namespace PublicFunctionUnit {

namespace {

void AddShellFolder(HKEY root, const std::string& valueName, std::vector<TFolderData>& list) {
  TRegKeyHandle key;
  if (!key.Open(root, StartupManagerUnit::ShellFoldersKey, KEY_READ)) return;
  TRegValue value;
  TFolderData folder{.RootKey = root, .KeyPath = StartupManagerUnit::ShellFoldersKey, .ValueName = valueName};
  if (QueryRegValue(key.Get(), Widen(valueName), value) && IsTextValue(value)) folder.Data = RegValueText(value);
  list.push_back(folder);
}

}  // namespace

void GetStartupFolders(std::vector<TFolderData>& list) {
  list.clear();
  AddShellFolder(HKEY_LOCAL_MACHINE, StartupManagerUnit::CommonStartupValue, list);
  AddShellFolder(HKEY_CURRENT_USER, StartupManagerUnit::StartupValue, list);
}

}  // namespace PublicFunctionUnit

namespace StartupManagerUnit {

namespace {

const char* const kRunKeyNames[] = {"Run", "RunOnce", "RunOnceEx", "RunServices"};
const char* const kRunKeyParent = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";

// Entries a Startup folder lists: not hidden, system or a volume label.
bool IsListedEntry(const TFoundFile& found) {
  return (found.Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8 /* volume label */)) == 0;
}

bool ListFolderByName(const TStartupSources& sources, const std::string& valueName, TStartupFiles& files,
                      std::vector<TStartupRow>& rows, const TGoOn& goOn) {
  for (const TFolderData& folder : sources.Folders)
    if (folder.ValueName == valueName && !ScanStartupFolder(folder.Data, sources, files, rows, goOn)) return false;
  return true;
}

TStartupRow DetailRow(const char* caption, const std::string& text) {
  TStartupRow row;
  row.Caption = caption;
  row.Path = text;
  row.ImageIndex = NoImage;
  row.StateIndex = NoImage;
  return row;
}

}  // namespace

std::vector<TRunKeyLocation> RunKeyLocations() {
  std::vector<TRunKeyLocation> keys;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    for (const char* name : kRunKeyNames) keys.push_back({root, std::string(kRunKeyParent) + name});
  return keys;
}

TStartupSources DefaultStartupSources() {
  TStartupSources sources;
  PublicFunctionUnit::GetStartupFolders(sources.Folders);
  sources.RunKeys = RunKeyLocations();
  sources.WinIniFile = PublicFunctionUnit::GetWindowsDir() + "\\win.ini";
  return sources;
}

bool IsListedRunKey(const TStartupSources& sources, const std::string& keyText) {
  for (const TRunKeyLocation& key : sources.RunKeys)
    if (SameText(keyText, PublicFunctionUnit::RootKeyName(key.Root) + "\\" + key.Key)) return true;
  return false;
}

bool LiesInStartupFolder(const TStartupSources& sources, const std::string& path) {
  for (const TFolderData& folder : sources.Folders)
    if (IsDirectlyIn(folder.Data, path)) return true;
  return false;
}

bool ListStartupEntries(const TStartupSources& sources, TStartupFiles& files, APP::TAppObj& reader,
                        TStartupListing& listing, const TGoOn& goOn) {
  listing.Rows.clear();
  listing.FileDetails.Clear();
  if (!ListFolderByName(sources, CommonStartupValue, files, listing.Rows, goOn)) return false;
  if (!ListFolderByName(sources, StartupValue, files, listing.Rows, goOn)) return false;
  for (const TRunKeyLocation& location : sources.RunKeys)
    if (!ListRunKey(location, reader, listing, goOn)) return false;
  ListWinIniSection(sources.WinIniFile, SectionLoad, listing.Rows);
  ListWinIniSection(sources.WinIniFile, SectionRun, listing.Rows);
  ListDisabledRegistryEntries(files, listing.Rows);
  return true;
}

bool ScanStartupFolder(const std::string& folder, const TStartupSources& sources, TStartupFiles& files,
                       std::vector<TStartupRow>& rows, const TGoOn& goOn) {
  bool goingOn = true;
  if (!Trim(folder).empty()) {
    std::string home = IncludeTrailingBackslash(folder);
    ForEachFile(home, "*.*", [&](const TFoundFile& found) {
      if (IsListedEntry(found)) {
        TStartupRow row{.Caption = found.Name, .Path = home + found.Name, .Status = StatusEnable,
                        .Kind = KindStartupFolder};
        rows.push_back(row);
      }
      goingOn = goOn();
      return goingOn;
    });
  }
  if (goingOn) ListDisabledFolderEntries(sources, files, rows);
  return goingOn;
}

void ListDisabledFolderEntries(const TStartupSources& sources, TStartupFiles& files, std::vector<TStartupRow>& rows) {
  ReadLines(files.DelTxtFile, files.DelLines);
  for (const std::string& line : files.DelLines.Items) {
    TDelLine del;
    // Listed also while an entry of its name is at its home path again: Enable then says why it
    // stays, and Remove can take it. Another user's Startup folder is not listed.
    if (!ParseDelLine(line, files.DelFolder, del) || !del.Disabled || !LiesInStartupFolder(sources, del.HomePath) ||
        ExistsInList(del.CopyPath, rows))
      continue;
    rows.push_back({.Caption = del.HomePath, .Path = del.CopyPath, .Status = StatusDisable, .Kind = KindStartupFolder});
  }
}

bool ListRunKey(const TRunKeyLocation& location, APP::TAppObj& reader, TStartupListing& listing, const TGoOn& goOn) {
  TRegKeyHandle key;
  if (!key.Open(location.Root, location.Key, KEY_READ)) return true;
  std::string fullPath = PublicFunctionUnit::RootKeyName(location.Root) + "\\" + location.Key;
  TValueReader values(key.Get());
  std::string name;
  TRegValue value;
  while (values.Next(name, value)) {
    TFolderData record{.RootKey = location.Root, .KeyPath = location.Key, .ValueName = name,
                       .Data = RunValueText(value), .FullPath = fullPath};
    TStartupRow row{.Caption = name, .Path = record.Data, .Status = StartupStatus(record.Data),
                    .Kind = KindRegistration, .Extra = fullPath, .StateIndex = StateDetailsHidden, .Registry = record};
    std::string file = SystemSoftWareSettingUnit::ExtractFileFromCommandLine(record.Data);
    if (!file.empty() && FileExists(file))
      row.DetailsIndex = AddFileDetails(reader, listing.FileDetails, file, EntryTypeRegistry, fullPath, name);
    listing.Rows.push_back(std::move(row));
    if (!goOn()) return false;
  }
  return true;
}

void ListWinIniSection(const std::string& winIniFile, const std::string& section, std::vector<TStartupRow>& rows) {
  TIniFile ini(winIniFile);
  for (const std::string& key : ini.ReadSection(section)) {
    TStartupRow row{.Caption = key, .Path = ini.ReadString(section, key, ""), .Status = StatusEnable,
                    .Kind = KindWinIni, .WinIni = TWinIniData{section, key}};
    if (section == SectionLoad) row.StateIndex = StateDetailsHidden;
    rows.push_back(std::move(row));
  }
}

void ListDisabledRegistryEntries(TStartupFiles& files, std::vector<TStartupRow>& rows) {
  ReadLines(files.StartupDatFile, files.StartupLines);
  for (const std::string& line : files.StartupLines.Items) {
    TRunLine run;
    if (!ParseRunLine(line, run) || !IsCurrentUsersLine(run)) continue;
    TFolderData record{.RootKey = run.Root, .KeyPath = run.KeyPath, .ValueName = run.ValueName, .Data = run.Data,
                       .FullPath = run.KeyText};
    rows.push_back({.Caption = run.ValueName, .Path = run.Data, .Status = StatusDisable, .Kind = KindRegistration,
                    .Extra = line, .StateIndex = StateDetailsHidden, .Registry = record});
  }
}

std::string StartupStatus(const std::string&) { return StatusEnable; }

bool ExistsInList(const std::string& path, const std::vector<TStartupRow>& rows) {
  for (const TStartupRow& row : rows)
    if (row.Path == path) return true;
  return false;
}

int AddFileDetails(APP::TAppObj& reader, TFileContents& details, const std::string& fileName,
                   const std::string& entryType, const std::string& position, const std::string& key) {
  reader.ReadVersionInfo(fileName);
  int index = details.Add();
  TFilInfoeRecord& record = details.GetItem(index).Data;
  record = {.EntryType = entryType, .Position = position, .ProductName = reader.GetInfo(8),
            .PublishName = reader.GetInfo(1), .Version = reader.GetInfo(3), .Description = reader.GetInfo(2),
            .Action = "Delete", .Key = key, .FilePath = fileName};
  return index;
}

bool ToggleDetailRows(TStartupListing& listing, int index) {
  std::vector<TStartupRow>& rows = listing.Rows;
  if (index < 0 || index >= (int)rows.size()) return false;
  TStartupRow& row = rows[index];
  if (row.StateIndex == StateDetailsHidden) {
    row.StateIndex = StateDetailsShown;
    if (row.DetailsIndex < 0 || row.DetailsIndex >= listing.FileDetails.Count()) return true;
    const TFilInfoeRecord& d = listing.FileDetails.GetItem(row.DetailsIndex).Data;
    const std::string texts[DetailRowCount] = {d.EntryType, d.Position, d.ProductName, d.PublishName,
                                               d.Version,   d.Description, d.FilePath};
    std::vector<TStartupRow> details;
    for (int i = 0; i < DetailRowCount; ++i) details.push_back(DetailRow(DetailCaptions[i], texts[i]));
    rows.insert(rows.begin() + index + 1, details.begin(), details.end());
    return true;
  }
  if (row.StateIndex == StateDetailsShown) {
    row.StateIndex = StateDetailsHidden;
    int count = 0;
    while (count < DetailRowCount && index + 1 < (int)rows.size() && rows[index + 1].IsDetailRow()) {
      rows.erase(rows.begin() + index + 1);
      ++count;
    }
    return true;
  }
  return false;
}

}  // namespace StartupManagerUnit
