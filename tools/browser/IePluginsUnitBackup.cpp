#include "IePluginsUnitBackup.h"

#include <windows.h>

#include "../../app/MainUnitBackup.h"
#include "../../app/RegBackupUnitScript.h"
#include "../../framework/Exceptions.h"
#include "../../framework/Handles.h"
#include "../../framework/ListedEntry.h"
#include "../../scan/PublicFunctionUnit.h"
#include "IERepairItemUnit.h"

namespace IePluginsUnit {

namespace {
const char* const kBackupFolderName = "IEBackUp\\";
}  // namespace

std::string PluginBackupFolder() { return ExeDir() + kBackupFolderName; }

std::string PluginBackupFileName(const std::string& folder, TDateTime stamp) {
  return Format("%sBackup_%s.reg", IncludeTrailingBackslash(folder), FormatDateTime("yyyymmdd_hhnnss", stamp) + "_IE");
}

TPluginRow PluginRow(const TContent& plugin) {
  // a toolbar's entry is its value's exact name, "" for the key's unnamed value
  bool toolbar = plugin.Extra2 == IERepairItemUnit::ToolbarKind;
  return {.Name = plugin.Extra1,
          .KeyPath = plugin.KeyPath,
          .Entry = plugin.Value.empty() && !toolbar ? plugin.ShortName : plugin.Value,
          .DisplayName = plugin.Extra1,
          .Category = plugin.Extra2};
}

std::vector<std::string> RowTexts(const TPluginRow& row) {
  return {row.Name, row.KeyPath, row.Entry, row.DisplayName, row.Category};
}

TPluginRow RowFromTexts(const std::vector<std::string>& subItems) {
  auto at = [&](size_t i) { return i < subItems.size() ? subItems[i] : std::string(); };
  return {.Name = at(0), .KeyPath = at(1), .Entry = at(2), .DisplayName = at(3), .Category = at(4)};
}

bool ExportKeyValues(const std::string& keyPath, TStringList& lines) {
  return MainUnit::ExportRegKey(keyPath, lines) != MainUnit::TExportOutcome::Unreadable;
}

std::string NewPluginBackupFileName(const std::string& folder, TDateTime stamp) {
  return MainUnit::FreeBackupFileName(PluginBackupNamer(folder), stamp);
}

MainUnit::TBackupNamer PluginBackupNamer(const std::string& folder) {
  return [folder](TDateTime stamp) { return PluginBackupFileName(folder, stamp); };
}

namespace {

void SaveScript(const std::string& fileName, const TStringList& lines) {
  if (!ReplaceFileContents(fileName, MainUnit::EncodeRegScript(lines)))
    throw EInOutError("Cannot create file \"" + fileName + "\"");
}

// Appends what the row's removal takes away: a toolbar's own value (the Toolbar key holds every
// toolbar; the others stay), the key of the other kinds with all below it. False when it is there
// but could not be read completely.
bool ExportPlugin(const TPluginRow& row, TStringList& lines) {
  if (row.Category == IERepairItemUnit::ToolbarKind)
    return MainUnit::ExportRegValue(row.KeyPath, row.Entry, lines) != MainUnit::TExportOutcome::Unreadable;
  return ExportKeyValues(row.KeyPath, lines);
}

// True when the row's plug-in was there and is gone.
bool RemovePlugin(const TPluginRow& row) {
  using namespace IERepairItemUnit;
  if (row.Category == MenuExtensionKind) return DeleteMenuExtension(row.KeyPath, row.Entry, row.DisplayName);
  if (row.Category == ToolbarKind) return DeleteToolbarValue(row.KeyPath, row.Entry);
  if (row.Category == ExplorerBarKind) return DeleteExplorerBar(row.KeyPath, row.Entry);
  return false;
}

}  // namespace

TPluginRemoval RemovePlugins(const std::vector<TPluginRow>& rows, uint8_t platformKind, const std::string& folder,
                             TDateTime stamp) {
  TPluginRemoval result;
  std::string dir = ExcludeTrailingBackslash(folder);
  if (!DirectoryExists(dir)) CreateDirectoryW(Widen(dir).c_str(), nullptr);
  result.FileName = NewPluginBackupFileName(folder, stamp);

  TStringList lines;
  lines.Add(MainUnit::RegScriptHeader(platformKind));
  RegBackupUnit::AddUserNote(lines);
  std::vector<bool> backedUp;
  for (const TPluginRow& row : rows) {
    backedUp.push_back(ExportPlugin(row, lines));
    if (!backedUp.back()) result.NotBackedUp.push_back(row.KeyPath);
    SaveScript(result.FileName, lines);   // the file holds every row so far
    result.Saved = true;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    if (backedUp[i] && RemovePlugin(rows[i])) ++result.Removed;
  }
  return result;
}

std::vector<TBackupFile> ListBackupFiles(const std::string& folder) {
  std::vector<TBackupFile> files;
  std::string dir = IncludeTrailingBackslash(folder);
  ForEachFile(dir, "*.reg", [&](const TFoundFile& found) {
    if (found.IsFolder()) return true;
    // exactly the entry listed; one that cannot be read now is listed: its restore tells why
    std::string sid, exact = Narrow(ListedEntry::ExactPath(dir, found.Name));
    if (RegBackupUnit::ReadScriptUser(exact, sid) && !PublicFunctionUnit::IsCurrentUsersSid(sid)) return true;
    files.push_back({PublicFunctionUnit::FileTimeToDateTime(found.CreationTime), dir + found.Name});
    return true;
  });
  return files;
}

namespace {

std::string DecodeScriptText(const std::string& bytes) {
  if (bytes.size() >= 2 && (uint8_t)bytes[0] == 0xFF && (uint8_t)bytes[1] == 0xFE) {
    std::wstring w((bytes.size() - 2) / 2, L'\0');
    memcpy(w.data(), bytes.data() + 2, w.size() * sizeof(wchar_t));
    return Narrow(w);
  }
  return DecodeTextBytes(bytes);
}

bool IsHeader(const std::string& line) {
  return line == MainUnit::RegScriptHeader9x || line == MainUnit::RegScriptHeaderNT;
}

}  // namespace

std::vector<TDetailBackup> ParseBackupDetails(const std::string& bytes) {
  std::vector<TDetailBackup> records;
  std::string text = DecodeScriptText(bytes);
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';' || IsHeader(line)) continue;
    if (line.find('[') != std::string::npos && line.find(']') != std::string::npos) {
      records.push_back({.Flag = 1, .KeyLine = line});
    } else if (!records.empty()) {
      records.back().ValueLine = line;
    }
  }
  return records;
}

std::vector<TDetailBackup> LoadBackupDetails(const std::string& fileName) {
  std::wstring exact = ListedEntry::ExactPath(ExtractFilePath(fileName), ExtractFileName(fileName));
  if (exact.empty()) return {};
  try {
    return ParseBackupDetails(ReadFileBytes(Narrow(exact)));
  } catch (const EInOutError&) {
    return {};
  }
}

}  // namespace IePluginsUnit
