// The record files of the startup manager and their lines.
#include "StartupManagerUnitFiles.h"

#include "../../framework/Exceptions.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace StartupManagerUnit {

namespace {

void CreateEmptyFileIfMissing(const std::string& fileName) {
  if (!FileExists(fileName)) WriteFileBytes(fileName, "");
}

// The first line of the list equal to `line`, both trimmed; -1 when none.
int IndexOfTrimmed(const TStringList& lines, const std::string& line) {
  std::string wanted = Trim(line);
  for (int i = 0; i < lines.Count(); ++i)
    if (Trim(lines[i]) == wanted) return i;
  return -1;
}

}  // namespace

TStartupFiles PrepareStartupFiles(const std::string& programFolder) {
  TStartupFiles files;
  std::string backup = IncludeTrailingBackslash(programFolder) + BackupFolderName + "\\";
  files.DelFolder = backup + DelFolderName;
  files.StartupDatFile = backup + StartupDatName;
  files.RemovedDatFile = backup + RemovedDatName;
  files.DelTxtFile = backup + DelTxtName;
  ForceDirectories(files.DelFolder);
  CreateEmptyFileIfMissing(files.StartupDatFile);
  CreateEmptyFileIfMissing(files.RemovedDatFile);
  CreateEmptyFileIfMissing(files.DelTxtFile);
  return files;
}

void ReadLines(const std::string& fileName, TStringList& lines) {
  lines.Clear();
  try {
    lines.LoadFromFile(fileName);
  } catch (const EInOutError&) {
    lines.Clear();
    return;
  }
  // A line ended by a bare CR holds several lines.
  TStringList split;
  for (const std::string& line : lines.Items) {
    size_t start = 0;
    for (size_t cr = line.find('\r'); cr != std::string::npos; cr = line.find('\r', start)) {
      split.Add(line.substr(start, cr - start));
      start = cr + 1;
    }
    split.Add(line.substr(start));
  }
  lines = std::move(split);
}

bool WriteLines(const std::string& fileName, const TStringList& lines) {
  return ReplaceFileContents(fileName, lines.Text());
}

bool ParseRunLine(const std::string& line, TRunLine& run) {
  size_t hash = line.find('#');
  if (hash == std::string::npos) return false;
  size_t bar = line.find('|', hash + 1);
  if (bar == std::string::npos || line.find('|') < hash) return false;
  run.KeyText = line.substr(0, hash);
  size_t slash = run.KeyText.find('\\');
  if (slash == std::string::npos) return false;
  run.Root = PublicFunctionUnit::RootKeyFromName(run.KeyText.substr(0, slash));
  run.KeyPath = run.KeyText.substr(slash + 1);
  run.ValueName = line.substr(hash + 1, bar - hash - 1);
  run.Data = line.substr(bar + 1);
  return run.Root != nullptr && !Trim(StringReplace(run.KeyPath, "\\", "")).empty();
}

std::string RunLineText(const std::string& fullPath, const std::string& valueName, const std::string& data) {
  return fullPath + "#" + valueName + "|" + data;
}

bool FitsOnOneLine(const std::string& valueName, const std::string& data) {
  auto breaks = [](const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; };
  return !breaks(valueName) && !breaks(data);
}

bool ParseDelLine(const std::string& line, TDelLine& del) {
  size_t hash = line.find('#');
  if (hash == std::string::npos) return false;
  size_t bar = line.find('|', hash + 1);
  del.HomePath = line.substr(0, hash);
  del.CopyPath = line.substr(hash + 1, bar == std::string::npos ? std::string::npos : bar - hash - 1);
  del.Disabled = line.find(DisabledMarker) != std::string::npos;
  return !Trim(del.HomePath).empty() && !Trim(del.CopyPath).empty();
}

std::string DelLineText(const std::string& homePath, const std::string& copyPath, bool disabled) {
  return homePath + "#" + copyPath + (disabled ? DisabledMarker : "");
}

bool IsInDelFolder(const std::string& delFolder, const std::string& path) {
  std::string name = ExtractFileName(path);
  return SameText(ExtractFilePath(path), delFolder + "\\") && !Trim(name).empty() && name != "." && name != "..";
}

std::string FreeCopyPath(const std::string& delFolder, const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  std::string stem = fileName.substr(0, fileName.size() - ext.size());
  std::string path = delFolder + "\\" + fileName;
  for (int n = 2; FileExists(path) || DirectoryExists(path); ++n)
    path = delFolder + "\\" + stem + " (" + IntToStr(n) + ")" + ext;
  return path;
}

bool WriteRunValue(const TRunLine& line, const std::string& name, const std::string& data) {
  if (line.Root == nullptr || Trim(StringReplace(line.KeyPath, "\\", "")).empty()) return false;
  TRegistry reg(KEY_QUERY_VALUE | KEY_SET_VALUE);
  reg.RootKey = line.Root;
  if (!reg.OpenKey("\\" + line.KeyPath, false)) return false;
  try {
    reg.WriteString(name, data);
  } catch (const ERegistryException&) {
    return false;
  }
  std::string back;
  return reg.ReadText(name, back) && back == data;
}

bool RemoveLine(const std::string& line, const std::string& fileName, TStringList& lines) {
  int index = IndexOfTrimmed(lines, line);
  if (index >= 0) lines.Delete(index);
  return WriteLines(fileName, lines);
}

bool MarkDelLineRemoved(const std::string& line, const std::string& fileName, TStringList& lines) {
  int index = IndexOfTrimmed(lines, line);
  if (index >= 0) {
    std::string text = Trim(lines[index]);
    lines.Delete(index);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, DisabledMarker) == 0) text.resize(text.size() - 2);
    lines.Add(text);
  }
  return WriteLines(fileName, lines);
}

}  // namespace StartupManagerUnit
