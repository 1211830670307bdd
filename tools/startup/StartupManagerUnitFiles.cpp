// The record files of the startup manager and their lines.
#include "StartupManagerUnitFiles.h"

#include <algorithm>
#include <cstring>

#include "../../framework/Exceptions.h"
#include "../../framework/Handles.h"
#include "../../framework/ListedEntry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace StartupManagerUnit {

namespace {

int recordFileWrites = 0;

// Never empties a file that is there, even one that cannot be looked at now.
void CreateEmptyFileIfMissing(const std::string& fileName) {
  HANDLE file =
      CreateFileW(Widen(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// Takes the disabled marker off the end of a del.txt line; false when the line does not end with it.
bool StripDisabledMarker(std::string& text) {
  size_t marker = strlen(DisabledMarker);
  if (text.size() < marker || text.compare(text.size() - marker, marker, DisabledMarker) != 0) return false;
  text.resize(text.size() - marker);
  return true;
}

const char kHexDigits[] = "0123456789ABCDEF";

std::string BytesToHex(const std::vector<uint8_t>& bytes) {
  std::string hex;
  for (uint8_t b : bytes) {
    hex += kHexDigits[b >> 4];
    hex += kHexDigits[b & 15];
  }
  return hex;
}

bool HexToBytes(const std::string& hex, std::vector<uint8_t>& bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back((uint8_t)(high * 16 + low));
  }
  return true;
}

// A value name in a tagged line: "%" and "|" written as "%25" and "%7C".
std::string EscapeName(const std::string& name) { return PercentEncode(name, "|"); }

bool UnescapeName(const std::string& escaped, std::string& name) { return PercentDecode(escaped, name); }

// A registry type in decimal: digits only, at most a double word.
bool ParseType(const std::string& text, DWORD& type) {
  if (text.empty() || text.size() > 10) return false;
  unsigned long long number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  type = (DWORD)number;
  return number <= 0xFFFFFFFFull;
}

// The text's parts between the separators (one part for a text without any).
std::vector<std::string> SplitText(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

// The first line of the list equal to `line`, both trimmed; -1 when none.
int IndexOfTrimmed(const TStringList& lines, const std::string& line) {
  std::string wanted = Trim(line);
  for (int i = 0; i < lines.Count(); ++i)
    if (Trim(lines[i]) == wanted) return i;
  return -1;
}

bool StoredAsWritten(const TRegValue& written, const TRegValue& stored) {
  if (stored.Type != written.Type) return false;
  if (stored.Data == written.Data) return true;
  // The registry ends a text written without its terminating zero with one.
  bool text = written.Type == REG_SZ || written.Type == REG_EXPAND_SZ || written.Type == REG_MULTI_SZ;
  size_t size = written.Data.size();
  return text && stored.Data.size() == size + sizeof(wchar_t) &&
         std::equal(written.Data.begin(), written.Data.end(), stored.Data.begin()) && stored.Data[size] == 0 &&
         stored.Data[size + 1] == 0;
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

bool ReadLines(const std::string& fileName, TStringList& lines) {
  lines.Clear();
  if (PathAbsent(fileName)) return true;
  try {
    lines.LoadFromFile(fileName);
  } catch (const EInOutError&) {
    return false;
  }
  return true;
}

int RecordFileWrites() { return recordFileWrites; }

bool WriteLines(const std::string& fileName, const TStringList& lines) {
  ++recordFileWrites;
  return ReplaceFileContents(fileName, lines.Text());
}

bool ParseRunLine(const std::string& line, TRunLine& run) {
  size_t hash = line.find('#');
  if (hash == std::string::npos) return false;
  size_t bar = line.find('|', hash + 1);
  if (bar == std::string::npos) return false;
  std::string head = line.substr(0, hash), name = line.substr(hash + 1, bar - hash - 1), payload = line.substr(bar + 1);
  // The head: the key text, then the SID when there is one, then the type of a tagged line.
  std::vector<std::string> fields = SplitText(head, '|');
  size_t field = 1;
  run.KeyText = fields[0];
  run.UserSid = field < fields.size() && PublicFunctionUnit::IsSidText(fields[field]) ? fields[field++] : std::string();
  bool tagged = field < fields.size();
  if (field + (tagged ? 1 : 0) != fields.size()) return false;
  if (!tagged) {
    run.ValueName = name;
    run.Value = StringValue(payload);
    run.Data = payload;
  } else {
    if (!ParseType(fields[field], run.Value.Type) || !UnescapeName(name, run.ValueName) ||
        !HexToBytes(payload, run.Value.Data))
      return false;
    run.Data = RunValueText(run.Value);
  }
  size_t slash = run.KeyText.find('\\');
  if (slash == std::string::npos) return false;
  run.Root = PublicFunctionUnit::RootKeyFromName(run.KeyText.substr(0, slash));
  run.KeyPath = run.KeyText.substr(slash + 1);
  return NamesKey(run.Root, run.KeyPath);
}

bool NamesKey(HKEY root, const std::string& keyPath) {
  return root != nullptr && !Trim(StringReplace(keyPath, "\\", "")).empty();
}

bool RunLineText(const std::string& fullPath, const std::string& userSid, const std::string& valueName,
                 const TRegValue& value, std::string& line) {
  std::string text = IsTextValue(value) ? RegValueText(value) : std::string();
  if (HasLineBreak(valueName) || HasLineBreak(text)) return false;
  bool plain = value.Type == REG_SZ && valueName.find('|') == std::string::npos && StringValue(text).Data == value.Data;
  std::string head = userSid.empty() ? fullPath : fullPath + "|" + userSid;
  line = plain ? head + "#" + valueName + "|" + text
               : head + "|" + IntToStr(value.Type) + "#" + EscapeName(valueName) + "|" + BytesToHex(value.Data);
  // Only a line that reads back as written carries the value.
  TRunLine back;
  return ParseRunLine(line, back) && back.KeyText == fullPath && back.UserSid == userSid &&
         back.ValueName == valueName && back.Value.Type == value.Type && back.Value.Data == value.Data;
}

std::string LineSid(HKEY root) { return root == HKEY_CURRENT_USER ? CurrentUserSid() : std::string(); }

bool IsCurrentUsersLine(const TRunLine& run) { return PublicFunctionUnit::IsCurrentUsersSid(run.UserSid); }

std::string RunValueText(const TRegValue& value) {
  if (IsTextValue(value)) return RegValueText(value);
  if (value.Type == REG_DWORD && value.Data.size() >= sizeof(int32_t)) {
    int32_t number = 0;
    memcpy(&number, value.Data.data(), sizeof number);
    return IntToStr(number);
  }
  return {};
}

bool ParseDelLine(const std::string& line, const std::string& delFolder, TDelLine& del) {
  std::string text = Trim(line);
  del.Disabled = StripDisabledMarker(text);
  if (text.find('|') != std::string::npos) return false;
  // The copy's folder part ends at the line's last "\" (or ":"), and it is as long as the del
  // folder's path (counted in UTF-16 units, as paths compare): only the one "#" that far before it
  // can be the one the copy follows.
  std::wstring wide = Widen(text);
  size_t folderLength = Widen(IncludeTrailingBackslash(delFolder)).size();
  size_t last = wide.find_last_of(L"\\:");
  if (last == std::wstring::npos || last < folderLength || wide[last - folderLength] != L'#') return false;
  size_t hash = last - folderLength;
  std::string copy = Narrow(wide.substr(hash + 1));
  if (!IsInDelFolder(delFolder, copy)) return false;
  del.HomePath = Narrow(wide.substr(0, hash));
  del.CopyPath = copy;
  return !Trim(del.HomePath).empty();
}

std::string DelLineText(const std::string& homePath, const std::string& copyPath, bool disabled) {
  return homePath + "#" + copyPath + (disabled ? DisabledMarker : "");
}

bool IsDirectlyIn(const std::string& folder, const std::string& path) {
  return !Trim(folder).empty() && ListedEntry::IsListedName(ExtractFileName(path)) &&
         SameText(ExtractFilePath(path), IncludeTrailingBackslash(folder));
}

bool IsInDelFolder(const std::string& delFolder, const std::string& path) { return IsDirectlyIn(delFolder, path); }

std::string FreeCopyPath(const std::string& delFolder, const std::string& fileName) {
  // A copy's name reads as itself on every path: a name the system reads otherwise ("keep.",
  // "keep ", "...") gets a "_" at its end.
  std::string name = ListedEntry::ParsesAsAnother(fileName) ? fileName + "_" : fileName;
  std::string ext = ExtractFileExt(name);
  return delFolder + "\\" + ListedEntry::FreeName(delFolder, name.substr(0, name.size() - ext.size()), ext);
}

TPutBack WriteRunValue(const TRunLine& line) {
  if (!NamesKey(line.Root, line.KeyPath)) return TPutBack::Failed;
  TRegistry reg(KEY_QUERY_VALUE | KEY_SET_VALUE);
  reg.RootKey = line.Root;
  if (!reg.OpenKey("\\" + line.KeyPath, false)) return TPutBack::Failed;
  if (reg.ValueExists(line.ValueName)) return TPutBack::Occupied;
  if (!reg.WriteValue(line.ValueName, line.Value)) return TPutBack::Failed;
  TRegValue stored;
  if (reg.ReadValue(line.ValueName, stored) && StoredAsWritten(line.Value, stored)) return TPutBack::Done;
  reg.DeleteValue(line.ValueName);   // not what was recorded: the place is left as it was
  return TPutBack::Failed;
}

bool RemoveLine(const std::string& line, TStringList& lines) {
  int index = IndexOfTrimmed(lines, line);
  if (index >= 0) lines.Delete(index);
  return index >= 0;
}

bool MarkDelLineRemoved(const std::string& line, TStringList& lines) {
  int index = IndexOfTrimmed(lines, line);
  if (index < 0) return false;
  std::string text = Trim(lines[index]);
  lines.Delete(index);
  StripDisabledMarker(text);
  lines.Add(text);
  return true;
}

}  // namespace StartupManagerUnit
