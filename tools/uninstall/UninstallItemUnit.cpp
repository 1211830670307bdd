// The Uninstall entries: reading and removing them, ordering them, and the command-line routines.
#include "UninstallItemUnit.h"

#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "../../framework/ListedEntry.h"
#include "../../framework/Processes.h"
#include "../../framework/Registry.h"
#include "../../framework/StringList.h"
#include "../../framework/Strings.h"
#include "../../scan/PathJudgeUnit.h"
#include "../../scan/PublicFunctionUnit.h"

namespace UninstallItemUnit {

namespace {

const char* const kMonthNames[12] = {"Jan.", "Feb.", "Mar.", "Apr.", "May.", "June.",
                                     "July.", "Aug.", "Sept.", "Oct.", "Nov.", "Dec."};
const char* const kOperatingSystem = "OperatingSystem";
// The system programs an uninstall command may start, by the name they are started with.
const char* const kSystemUninstallers[] = {"msiexec.exe", "rundll32.exe"};
// The characters a command line can hold, with its end.
const DWORD kCommandLineLimit = 32767;

bool ExistingFile(const std::string& path) { return PublicFunctionUnit::WithinPathLimit(path) && FileExists(path); }

// ---- text helpers ----

bool ContainsText(const std::string& s, const std::string& token) {
  return AnsiUpperCase(s).find(AnsiUpperCase(token)) != std::string::npos;
}

std::string WithoutChar(std::string s, char c) {
  s.erase(std::remove(s.begin(), s.end(), c), s.end());
  return s;
}

// An upper-case token: when s holds it in any case, s becomes upper case with every occurrence
// replaced.
std::string ReplaceToken(const std::string& s, const std::string& token, const std::string& replacement) {
  if (!ContainsText(s, token)) return s;
  return StringReplace(AnsiUpperCase(s), token, replacement);
}

// The text with its environment strings expanded; the text itself when the system cannot expand
// it whole (it expands no more than a command line holds, and would cut the rest off).
std::string ExpandEnvironment(const std::string& text) {
  std::wstring source = Widen(text);
  if (source.size() >= kCommandLineLimit) return text;
  std::wstring expanded(kCommandLineLimit, L'\0');
  DWORD needed = ExpandEnvironmentStringsW(source.c_str(), expanded.data(), kCommandLineLimit);
  if (needed == 0 || needed >= kCommandLineLimit) return text;
  return Narrow(expanded.c_str());
}

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

// Upper case for finding one text in another: the same length as the text.
std::string SearchCase(const std::string& s) {
  std::string upper = AnsiUpperCase(s);
  return upper.size() == s.size() ? upper : UpperCase(s);
}

// The first place pattern starts in text for which accept is true, npos when there is none. The
// places are visited in order in one pass over the text, so a registered command megabytes long
// with much of it alike is searched in time in step with its length.
size_t FindWhere(const std::string& text, const std::string& pattern, const std::function<bool(size_t)>& accept) {
  size_t m = pattern.size();
  if (m == 0 || m > text.size()) return std::string::npos;
  std::vector<size_t> border(m, 0);   // border[i]: the longest proper prefix of pattern[0..i] that also ends it
  for (size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = border[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    border[i] = k;
  }
  for (size_t i = 0, k = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != pattern[k]) k = border[k - 1];
    if (text[i] == pattern[k]) ++k;
    if (k == m) {
      if (accept(i + 1 - m)) return i + 1 - m;
      k = border[k - 1];
    }
  }
  return std::string::npos;
}

// The text after the first place that names fileName whole; "" when it names it nowhere.
std::string TextAfterName(const std::string& text, const std::string& fileName) {
  std::string upperText = SearchCase(text), upperName = SearchCase(fileName);
  size_t p = FindWhere(upperText, upperName, [&](size_t at) {
    size_t end = at + upperName.size();
    return end == text.size() || !PathJudgeUnit::IsProgramNameChar(text[end]);
  });
  return p == std::string::npos ? std::string() : text.substr(p + upperName.size());
}

// The program a command starts and the text after it: up to its closing quote when it begins with
// one, else up to the first blank.
std::pair<std::string, std::string> SplitProgram(const std::string& command) {
  std::string s = TrimLeft(command);
  if (!s.empty() && s[0] == '"') {
    size_t end = s.find('"', 1);
    if (end == std::string::npos) return {s.substr(1), ""};
    return {s.substr(1, end - 1), s.substr(end + 1)};
  }
  size_t end = std::find_if(s.begin(), s.end(), [](char c) { return (unsigned char)c <= ' '; }) - s.begin();
  return {s.substr(0, end), s.substr(end)};
}

// "msiexec.exe" or "rundll32.exe" when the program is one of them, named with or without its
// folder and extension; else "".
std::string SystemUninstaller(const std::string& program) {
  std::string name = UpperCase(Trim(ExtractFileName(program)));
  for (const char* system : kSystemUninstallers) {
    std::string upper = UpperCase(system);
    if (name == upper || name + ".EXE" == upper) return system;
  }
  return {};
}

// The command with its program given by its full path, in quotes. A program named without its
// folder is looked up where the system keeps its programs, never in this program's folder or the
// current folder; "" when it is found nowhere, named by a path relative to the current folder or
// drive, or by one longer than the system starts a program by.
std::string WithFullProgramPath(const std::string& command) {
  auto [program, rest] = SplitProgram(command);
  if (PublicFunctionUnit::IsFullPath(program)) return PublicFunctionUnit::WithinPathLimit(program) ? Quote(program) + rest : std::string();
  std::string found = PublicFunctionUnit::FindProgram(program);   // "" for a name with a folder
  return found.empty() ? found : found + rest;
}

// ---- reading an entry ----

std::string TextOr(TRegistry& key, const char* name, const std::string& fallback) {
  std::string text;
  return key.ReadText(name, text) ? text : fallback;
}

// A value's text when it is a plain string value, else "".
std::string PlainText(TRegistry& key, const char* name) {
  TRegValue value;
  return key.ReadValue(name, value) && value.Type == REG_SZ ? RegValueText(value) : std::string();
}

std::string ReadVersion(TRegistry& key) {
  if (key.ValueExists("DisplayVersion")) return TextOr(key, "DisplayVersion", NotAvailable);
  if (!key.ValueExists("VersionMajor")) return NotAvailable;
  return PlainText(key, "VersionMajor") + PlainText(key, "VersionMinor");
}

void AddEntry(TUninstallContents& entries, TRegistry& key, const std::string& name, const std::string& displayName,
              const std::string& uninstallString) {
  TContent& c = entries.GetItem(entries.Add()).Content;
  c.IconPath = ExtractExecutablePath(TextOr(key, "DisplayIcon", uninstallString));
  c.DisplayName = displayName;
  c.Version = ReadVersion(key);
  c.HelpLink = TextOr(key, "HelpLink", NotAvailable);
  c.InstallDate = TextOr(key, "InstallDate", NotAvailable);
  c.InstallLocation = TextOr(key, "InstallLocation", NotAvailable);
  c.Publisher = TextOr(key, "Publisher", NotAvailable);
  c.URLInfoAbout = TextOr(key, "URLInfoAbout", NotAvailable);
  c.URLUpdateInfo = TextOr(key, "URLUpdateInfo", NotAvailable);
  c.ModifyPath = TextOr(key, "ModifyPath", NotAvailable);
  c.KeyName = name;
  c.UninstallString = uninstallString;
  c.KeyPath = std::string(UninstallKey) + "\\" + name;
}

const std::string& SortKeyOf(const TContent& c, TSortKey key) {
  switch (key) {
    case TSortKey::InstallDate: return c.InstallDate;
    case TSortKey::Publisher: return c.Publisher;
    default: return c.DisplayName;
  }
}

}  // namespace

// ---- the collection ----

int TUninstallContents::Add() {
  items_.emplace_back();
  return (int)items_.size() - 1;
}

void TUninstallContents::Delete(int index) {
  if (index >= 0 && index < (int)items_.size()) items_.erase(items_.begin() + index);
}

void TUninstallContents::Sort(TSortKey key, bool descending) {
  std::vector<std::string> keys;
  for (const TUninstallContentItem& item : items_) keys.push_back(Trim(SortKeyOf(item.Content, key)));
  for (size_t i = 0; i < items_.size(); ++i)
    for (size_t j = i; j < items_.size(); ++j) {
      int order = keys[i].compare(keys[j]);   // byte by byte, unsigned
      if (descending ? order < 0 : order > 0) {
        std::swap(items_[i], items_[j]);
        std::swap(keys[i], keys[j]);
      }
    }
}

// ---- the registry ----

void LoadEntries(TUninstallContents& entries, bool showWindowsUpdate) {
  entries.Clear();
  TRegistry list(KEY_READ);
  list.RootKey = HKEY_LOCAL_MACHINE;
  if (!list.OpenKeyReadOnly(UninstallKey)) return;
  TStringList names;
  list.GetKeyNames(names);
  for (const std::string& name : names.Items) {
    TRegistry key(KEY_READ);
    key.RootKey = HKEY_LOCAL_MACHINE;
    if (!key.OpenKeyReadOnly(std::string(UninstallKey) + "\\" + name)) continue;
    std::string displayName, uninstallString, parent;
    // nothing sound can be shown or run for a name or command that is not text
    if (!key.ReadText("DisplayName", displayName) || !key.ReadText("UninstallString", uninstallString)) continue;
    if (!showWindowsUpdate && key.ReadText("ParentKeyName", parent) && parent == kOperatingSystem) continue;
    AddEntry(entries, key, name, displayName, uninstallString);
  }
}

LONG RemoveEntry(const std::string& keyName) {
  // an empty name or one with a "\" would reach beyond the entry's own key
  if (keyName.empty() || keyName.find('\\') != std::string::npos) return ERROR_INVALID_NAME;
  std::string path = std::string(UninstallKey).substr(1) + "\\" + keyName;
  return SHDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(path).c_str());
}

// ---- command lines ----

std::string FormatInstallDate(const std::string& date) {
  std::string d = Trim(date);
  if (d.size() != 8 || !std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return NotAvailable;
  int month = (d[4] - '0') * 10 + (d[5] - '0');
  if (month < 1 || month > 12) return NotAvailable;
  return Format("%s %s, %s", kMonthNames[month - 1], d.substr(6, 2), d.substr(0, 4));
}

std::string ExtractExecutablePath(const std::string& command) {
  std::string s = command;
  if (!s.empty() && s[0] == '@') s.erase(0, 1);
  s = WithoutChar(s, '"');
  s = ReplaceToken(s, "%SYSTEMROOT%\\", PublicFunctionUnit::GetWindowsDir() + "\\");
  s = ReplaceToken(s, "%PROGRAMFILES%", PublicFunctionUnit::GetProgramFilesDir(0));
  s = ReplaceToken(s, "%WINDIR%", PublicFunctionUnit::GetWindowsDir());
  s = Trim(s);
  if (AnsiUpperCase(s).rfind("MSIEXEC.EXE", 0) == 0) s = PublicFunctionUnit::GetSystemDir() + "\\" + s;
  if (ExistingFile(s)) return s;
  return PathJudgeUnit::ReadProgramPath(s);
}

std::string GetUninstallCommand(const std::string& command) {
  auto [registered, rest] = SplitProgram(command);
  if (std::string system = SystemUninstaller(registered); !system.empty()) {
    // by its full path: a program of that name in this program's folder or the current folder
    // never runs in its place
    std::string program = PublicFunctionUnit::SystemProgram(system);
    // the arguments as registered: the quotes around a path with blanks keep it one argument
    std::string arguments = Trim(ExpandEnvironment(rest));
    if (program.empty() || arguments.empty()) return program;
    return program + " " + arguments;
  }
  std::string expanded = Trim(ExpandEnvironment(command));
  if (expanded.empty()) return {};
  if (expanded[0] == '"') return WithFullProgramPath(expanded);
  if (PublicFunctionUnit::IsFullPath(expanded) && ExistingFile(expanded)) return Quote(expanded);
  std::string program = Trim(ExtractExecutablePath(expanded));
  if (program.empty()) return {};
  std::string arguments;
  size_t at = FindWhere(SearchCase(expanded), SearchCase(program), [](size_t) { return true; });
  if (at == 0) {
    arguments = TrimLeft(expanded.substr(program.size()));
  } else if (at != std::string::npos) {
    // The path found is an argument of a program named without its folder (e.g. "regsvr32.exe /u
    // C:\App\x.dll"): that program runs with the arguments as registered, never the argument.
    return WithFullProgramPath(expanded);
  } else {
    arguments = TrimLeft(TextAfterName(expanded, ExtractFileName(program)));
  }
  return WithFullProgramPath(Quote(program) + (arguments.empty() ? "" : " " + arguments));
}

bool IsSymantecProduct(const std::string& displayName) {
  return Pos("Norton", displayName) > 0 || Pos("Symantec", displayName) > 0;
}

std::string RegisteredCommand(const TContent& content) {
  if (IsSymantecProduct(content.DisplayName)) {
    std::string modify = Trim(content.ModifyPath);
    if (!modify.empty() && modify != NotAvailable) return modify;
  }
  return content.UninstallString;
}

std::string CommandToRun(const TContent& content) { return GetUninstallCommand(RegisteredCommand(content)); }

std::string IconFile(const std::string& iconPath) {
  std::string path = Trim(iconPath);
  if (!PublicFunctionUnit::IsFullPath(path)) path = WithoutChar(PublicFunctionUnit::FindProgram(path), '"');
  if (!PublicFunctionUnit::IsFullPath(path) || ListedEntry::ParsesAsAnother(ExtractFileName(path)) ||
      !PublicFunctionUnit::WithinPathLimit(path))
    return {};
  return path;
}

TStartOutcome StartCommandLine(const std::string& commandLine) {
  TStartOutcome outcome;
  // a program not named by its full path would be looked for in this program's folder and the
  // current folder first
  if (!PublicFunctionUnit::IsFullPath(SplitProgram(commandLine).first))
    outcome.Error = ERROR_FILE_NOT_FOUND;
  else
    outcome.Process = StartProcess(commandLine, SW_SHOW, &outcome.Error);
  return outcome;
}

}  // namespace UninstallItemUnit
