#include "PathJudgeUnit.h"

#include <windows.h>

#include <algorithm>

#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"

namespace PathJudgeUnit {

using namespace PublicFunctionUnit;

namespace {

// The longest leading part of a command line worth looking up: longer paths are not read by the
// system without a "\\?\" prefix, and a text of many blanks must not cost a lookup per blank.
constexpr size_t MaxProgramBytes = 4 * MAX_PATH;
// The system expands no text into more than this many characters.
constexpr DWORD MaxExpandedChars = 32767;

bool IsBlank(char c) { return (unsigned char)c <= ' '; }

// A name between two "%" signs the system would take for a variable: not a command line's
// placeholder ("%1", "%*", "%~dp0") and no text between two of them ("%1" "%2").
bool IsVariableName(const std::string& name) {
  if (name.empty()) return false;
  unsigned char first = (unsigned char)name[0];
  if (!(first >= 0x80 || first == '_' || (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))) return false;
  return name.find_first_of(" \t\"\\/=:;,*?<>|") == std::string::npos;
}

// A "%name%" is left in the text: a variable the system does not know.
bool HoldsVariable(const std::string& text) {
  size_t open = text.find('%');
  while (open != std::string::npos) {
    size_t close = text.find('%', open + 1);
    if (close == std::string::npos) return false;
    if (IsVariableName(text.substr(open + 1, close - open - 1))) return true;
    open = close;   // the closing sign may open the next name
  }
  return false;
}

// Every case-insensitive occurrence of an ASCII name replaced (the text's other bytes kept).
std::string ReplaceName(const std::string& text, const std::string& upperName, const std::string& replacement) {
  std::string upper = UpperCase(text);   // ASCII only: the same length as the text
  std::string result;
  size_t from = 0;
  for (size_t at = upper.find(upperName); at != std::string::npos; at = upper.find(upperName, from)) {
    result += text.substr(from, at - from) + replacement;
    from = at + upperName.size();
  }
  return result + text.substr(from);
}

}  // namespace

bool IsProgramNameChar(char ch) {
  unsigned char c = (unsigned char)ch;
  return c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-' || c == '~';
}

namespace {

std::string ReadProgramPathOnce(const std::string& s, bool mayReadAgain) {
  int c1 = Pos(":", s);
  int c2 = c1 == 0 ? 0 : Pos(":", Copy(s, c1 + 1, (int)s.size()));
  if (c2 == 0) {
    // the folder part ends at the last "\" or ":", so it stands in the text once, at its start
    std::string folder = ExtractFilePath(s);
    std::string rest = s.substr(folder.size());
    size_t end = rest.find('.');
    if (end == std::string::npos) end = 0;
    while (end < rest.size() && IsProgramNameChar(rest[end])) ++end;
    std::string joined = folder + rest.substr(0, end);
    return c1 > 2 ? Copy(joined, c1 - 1, (int)joined.size()) : joined;
  }
  // Two colons: from the drive letter up to the character before the second colon, and when that
  // leaves a long extension (a blank and the second path's letter), read once more.
  std::string result = Copy(s, c1 - 1, c2 + 1);
  if (mayReadAgain && ExtractFileExt(result).size() > 4 && result.size() < s.size())
    return ReadProgramPathOnce(result, false);
  return result;
}

}  // namespace

std::string ReadProgramPath(const std::string& s) { return ReadProgramPathOnce(s, true); }

bool CommandLineProgramExists(const std::string& commandLine) {
  std::string s = Trim(commandLine);
  if (!s.empty() && s[0] == '"') {
    size_t close = s.find('"', 1);
    if (close != std::string::npos && ScanFileExists(s.substr(1, close - 1))) return true;
  }
  std::string plain = StringReplace(s, "\"", "");
  if (ScanFileExists(plain) || ScanFileExists(ReadProgramPath(plain))) return true;
  for (size_t i = 1; i < plain.size() && i <= MaxProgramBytes; ++i)
    if (IsBlank(plain[i]) && !IsBlank(plain[i - 1]) && ScanFileExists(plain.substr(0, i))) return true;
  return false;
}

std::vector<std::string> ViewReadings(const std::string& text) {
  std::vector<std::string> readings{text};
  if (!RunsUnderWow64() || text.find('%') == std::string::npos) return readings;
  std::string native = ReplaceName(text, "%PROGRAMFILES%", "%ProgramW6432%");
  native = ReplaceName(native, "%COMMONPROGRAMFILES%", "%CommonProgramW6432%");
  if (native != text) readings.push_back(native);
  return readings;
}

bool ExpandEnvironment(const std::string& text, std::string& expanded) {
  if (text.find('%') == std::string::npos) {
    expanded = text;
    return true;
  }
  std::wstring source = Widen(text);
  if (source.size() >= MaxExpandedChars) return false;
  std::wstring result(MaxExpandedChars, L'\0');
  DWORD needed = ExpandEnvironmentStringsW(source.c_str(), result.data(), MaxExpandedChars);
  if (needed == 0 || needed > MaxExpandedChars) return false;
  expanded = Narrow(result.c_str());
  return !HoldsVariable(expanded);
}

std::vector<std::string> ExpandedReadings(const std::string& text,
                                          const std::function<std::string(const std::string&)>& prepare,
                                          bool ownVariables) {
  std::vector<std::string> readings;
  for (const std::string& reading : ViewReadings(text)) {
    std::string prepared = prepare ? prepare(reading) : reading, expanded;
    if (ownVariables ? !ExpandEnvironment(prepared, expanded) : HoldsVariable(prepared)) return {};
    readings.push_back(ownVariables ? expanded : prepared);
  }
  return readings;
}

bool OutOfReach(const std::string& text) {
  return Pos("\\\\", text) > 0 || Pos("A:", AnsiUpperCase(text)) > 0 || !IsOnFixedDrive(NonFixedDrives, text);
}

// A path too long for the system's file routines cannot be judged: it is never reported.
bool MayJudge(const std::string& path) {
  return !path.empty() && WithinPathLimit(path) && !OutOfReach(path) && IsOnFixedDriveNow(path);
}

bool Missing(const std::string& path, TLookFor what) {
  if (!MayJudge(path)) return false;
  switch (ScanLookUp(path)) {
    case TPathLook::Absent: return true;
    case TPathLook::File: return what == TLookFor::Folder;
    case TPathLook::Folder: return what == TLookFor::File;
    default: return false;
  }
}

bool FileMissing(const std::string& path) { return Missing(path, TLookFor::File); }
bool FolderMissing(const std::string& path) { return Missing(path, TLookFor::Folder); }
bool NothingAt(const std::string& path) { return Missing(path, TLookFor::Anything); }

bool MissingInEveryReading(const std::vector<std::string>& readings, bool (*missing)(const std::string&)) {
  return !readings.empty() && std::all_of(readings.begin(), readings.end(), missing);
}

}  // namespace PathJudgeUnit
