// The four actions. Every change follows one order: copy or record first, save the record file,
// and only then take the entry away from where it was; a step that fails undoes the steps
// before it, so the entry stays live (or stays recorded) and its name is reported.
#include "StartupManagerUnitActions.h"

#include <functional>

#include "../../framework/IniFiles.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"

namespace StartupManagerUnit {

namespace {

bool CopyFileOver(const std::string& from, const std::string& to) {
  return CopyFileW(Widen(from).c_str(), Widen(to).c_str(), FALSE) != FALSE;
}

bool DeleteFileAt(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != FALSE; }

// Appends the line and saves the list; on failure the list is as it was.
bool AppendAndSave(const std::string& line, const std::string& fileName, TStringList& lines) {
  lines.Add(line);
  if (WriteLines(fileName, lines)) return true;
  lines.Delete(lines.Count() - 1);
  return false;
}

// Takes the line out again after its entry could not be moved away.
void TakeBackLine(const std::string& line, const std::string& fileName, TStringList& lines) {
  RemoveLine(line, fileName, lines);
}

// Moves a live Startup folder entry into the del folder, recorded in del.txt.
bool MoveFolderEntryAway(const TStartupRow& row, TStartupFiles& files, bool disabled) {
  std::string copy = FreeCopyPath(files.DelFolder, ExtractFileName(row.Path));
  if (!CopyFileOver(row.Path, copy)) return false;
  std::string line = DelLineText(row.Path, copy, disabled);
  ReadLines(files.DelTxtFile, files.DelLines);
  if (!AppendAndSave(line, files.DelTxtFile, files.DelLines)) {
    DeleteFileAt(copy);
    return false;
  }
  if (DeleteFileAt(row.Path)) return true;
  TakeBackLine(line, files.DelTxtFile, files.DelLines);
  DeleteFileAt(copy);
  return false;
}

// Deletes a live Run value after its line is saved in the given file.
bool MoveRunValueAway(const TStartupRow& row, const std::string& fileName, TStringList& lines) {
  if (!row.Registry) return false;
  const TFolderData& record = *row.Registry;
  if (!FitsOnOneLine(record.ValueName, record.Data) || record.RootKey == nullptr ||
      Trim(StringReplace(record.KeyPath, "\\", "")).empty())
    return false;
  TRegistry reg(KEY_QUERY_VALUE | KEY_SET_VALUE);
  reg.RootKey = record.RootKey;
  if (!reg.OpenKey("\\" + record.KeyPath, false) || !reg.ValueExists(record.ValueName)) return false;
  std::string line = RunLineText(record.FullPath, record.ValueName, record.Data);
  ReadLines(fileName, lines);
  if (!AppendAndSave(line, fileName, lines)) return false;
  if (reg.DeleteValue(record.ValueName) && !reg.ValueExists(record.ValueName)) return true;
  TakeBackLine(line, fileName, lines);
  return false;
}

// Puts a saved copy back at its home path, then drops its del.txt line and the copy.
bool PutCopyBack(const std::string& homePath, const std::string& copyPath, const std::string& line,
                 TStartupFiles& files) {
  if (!IsInDelFolder(files.DelFolder, copyPath) || !CopyFileOver(copyPath, homePath)) return false;
  ReadLines(files.DelTxtFile, files.DelLines);
  if (!RemoveLine(line, files.DelTxtFile, files.DelLines)) return true;   // the copy stays, recorded
  DeleteFileAt(copyPath);
  return true;
}

// Writes a recorded Run value back, then drops its line from the file.
bool PutRunValueBack(const std::string& line, const std::string& name, const std::string& data,
                     const std::string& fileName, TStringList& lines) {
  TRunLine run;
  if (!ParseRunLine(line, run) || !WriteRunValue(run, name, data)) return false;
  ReadLines(fileName, lines);
  RemoveLine(line, fileName, lines);
  return true;
}

bool DeleteWinIniKey(const TStartupRow& row, const std::string& winIniFile) {
  if (!row.WinIni) return false;
  TIniFile ini(winIniFile);
  ini.DeleteKey(row.WinIni->Section, row.WinIni->Key);
  return !ini.ValueExists(row.WinIni->Section, row.WinIni->Key);
}

bool DisableRow(const TStartupRow& row, TStartupFiles& files) {
  if (row.Disabled()) return true;   // nothing to do
  if (row.Kind == KindStartupFolder) return MoveFolderEntryAway(row, files, true);
  if (row.Kind == KindRegistration) return MoveRunValueAway(row, files.StartupDatFile, files.StartupLines);
  return true;   // win.ini rows: there is no record to undo a deletion with
}

bool EnableRow(const TStartupRow& row, TStartupFiles& files) {
  if (!row.Disabled()) return true;
  if (row.Kind == KindStartupFolder)
    return PutCopyBack(row.Caption, row.Path, DelLineText(row.Caption, row.Path, true), files);
  if (row.Kind == KindRegistration)
    return PutRunValueBack(row.Extra, row.Caption, row.Path, files.StartupDatFile, files.StartupLines);
  return true;
}

bool RemoveRow(const TStartupRow& row, TStartupFiles& files, const std::string& winIniFile) {
  if (row.Kind == KindStartupFolder) {
    if (!row.Disabled()) return MoveFolderEntryAway(row, files, false);
    ReadLines(files.DelTxtFile, files.DelLines);
    return MarkDelLineRemoved(DelLineText(row.Caption, row.Path, true), files.DelTxtFile, files.DelLines);
  }
  if (row.Kind == KindRegistration) {
    if (!row.Disabled()) return MoveRunValueAway(row, files.RemovedDatFile, files.RemovedLines);
    ReadLines(files.RemovedDatFile, files.RemovedLines);
    if (!AppendAndSave(row.Extra, files.RemovedDatFile, files.RemovedLines)) return false;
    ReadLines(files.StartupDatFile, files.StartupLines);
    if (RemoveLine(row.Extra, files.StartupDatFile, files.StartupLines)) return true;
    TakeBackLine(row.Extra, files.RemovedDatFile, files.RemovedLines);
    return false;
  }
  if (row.Kind == KindWinIni) return DeleteWinIniKey(row, winIniFile);
  return true;
}

bool StartupRowTicked(const TStartupRow& row) { return row.Ticked() && !row.IsDetailRow(); }

TActionResult ForEachTickedRow(const std::vector<TStartupRow>& rows, const std::function<bool(const TStartupRow&)>& act) {
  TActionResult result;
  for (const TStartupRow& row : rows)
    if (StartupRowTicked(row) && !act(row)) result.LeftUnchanged.push_back(row.Caption);
  return result;
}

}  // namespace

std::string LeftUnchangedText(const TActionResult& result) {
  std::string text = LeftUnchangedHead;
  for (const std::string& name : result.LeftUnchanged) text += "\r" + name;
  return text;
}

TActionResult DisableSelected(const std::vector<TStartupRow>& rows, TStartupFiles& files) {
  return ForEachTickedRow(rows, [&](const TStartupRow& row) { return DisableRow(row, files); });
}

TActionResult EnableSelected(const std::vector<TStartupRow>& rows, TStartupFiles& files) {
  return ForEachTickedRow(rows, [&](const TStartupRow& row) { return EnableRow(row, files); });
}

TActionResult RemoveSelected(const std::vector<TStartupRow>& rows, TStartupFiles& files,
                             const std::string& winIniFile) {
  return ForEachTickedRow(rows, [&](const TStartupRow& row) { return RemoveRow(row, files, winIniFile); });
}

std::vector<TRestoreRow> LoadRestoreList(TStartupFiles& files) {
  std::vector<TRestoreRow> rows;
  ReadLines(files.RemovedDatFile, files.RemovedLines);
  for (const std::string& line : files.RemovedLines.Items) {
    TRunLine run;
    if (ParseRunLine(line, run)) rows.push_back({.Name = run.ValueName, .Info = run.Data, .Kind = line, .Line = line});
  }
  ReadLines(files.DelTxtFile, files.DelLines);
  for (const std::string& line : files.DelLines.Items) {
    TDelLine del;
    if (ParseDelLine(line, del) && !del.Disabled && IsInDelFolder(files.DelFolder, line.substr(line.find('#') + 1)))
      rows.push_back({.Name = del.HomePath, .Info = line.substr(line.find('#') + 1), .Kind = RestoreKindFile});
  }
  return rows;
}

TActionResult RestoreItems(const std::vector<TRestoreRow>& rows, TStartupFiles& files) {
  TActionResult result;
  for (const TRestoreRow& row : rows) {
    if (!row.Checked) continue;
    bool done = Trim(row.Kind) == RestoreKindFile
                    ? PutCopyBack(row.Name, row.Info, row.Name + "#" + row.Info, files)
                    : PutRunValueBack(row.Line, row.Name, row.Info, files.RemovedDatFile, files.RemovedLines);
    if (!done) result.LeftUnchanged.push_back(row.Name);
  }
  return result;
}

}  // namespace StartupManagerUnit
