// The Uninstall entries: reading and removing them, ordering them, and the command-line routines.
#include "UninstallItemUnit.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "../../framework/Processes.h"
#include "../../framework/Registry.h"
#include "../../framework/StringList.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace UninstallItemUnit {

namespace {

const char* const kMonthNames[12] = {"Jan.", "Feb.", "Mar.", "Apr.", "May.", "June.",
                                     "July.", "Aug.", "Sept.", "Oct.", "Nov.", "Dec."};
const char* const kOperatingSystem = "OperatingSystem";

// ---- text helpers with 1-based positions ----

// Up to count characters from the 1-based index; an index before the text starts at its first
// character, a count past its end stops there.
std::string PCopy(const std::string& s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || index > (int)s.size()) return {};
  return s.substr(index - 1, std::min<size_t>(count, s.size() - (index - 1)));
}

bool ContainsText(const std::string& s, const std::string& token) {
  return AnsiUpperCase(s).find(AnsiUpperCase(token)) != std::string::npos;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
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

// The file name at the start of text: from its first "." (or its start) up to the first
// character that cannot be part of it.
std::string CutName(const std::string& name) {
  size_t i = name.find('.');
  if (i == std::string::npos) i = 0;
  while (i < name.size() && IsNameChar(name[i])) ++i;
  return name.substr(0, i);
}

std::string ExtractPath(std::string s, bool mayRetry) {
  if (!s.empty() && s[0] == '@') s.erase(0, 1);
  s = WithoutChar(s, '"');
  s = ReplaceToken(s, "%SYSTEMROOT%\\", PublicFunctionUnit::GetWindowsDir() + "\\");
  s = ReplaceToken(s, "%PROGRAMFILES%", PublicFunctionUnit::GetProgramFilesDir(0));
  s = ReplaceToken(s, "%WINDIR%", PublicFunctionUnit::GetWindowsDir());
  s = Trim(s);
  if (AnsiUpperCase(s).rfind("MSIEXEC.EXE", 0) == 0) s = PublicFunctionUnit::GetSystemDir() + "\\" + s;
  if (FileExists(s)) return s;
  int p1 = Pos(":", s);
  int p2 = Pos(":", PCopy(s, p1 + 1, INT_MAX));
  if (p2 > 0) {   // a second drive further on: the program ends before it
    std::string result = PCopy(s, p1 - 1, p2 + 1);
    if (mayRetry && ExtractFileExt(result).size() > 4) return ExtractPath(result, false);
    return result;
  }
  std::string folder = ExtractFilePath(s);
  std::string name = StringReplace(s, folder, "");
  return PCopy(folder + CutName(name), p1 - 1, INT_MAX);
}

std::string ExpandEnvironment(const std::string& text) {
  std::wstring source = Widen(text);
  DWORD size = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring expanded(size, L'\0');
  DWORD written = ExpandEnvironmentStringsW(source.c_str(), expanded.data(), size);
  if (written == 0 || written > size) return text;
  return Narrow(expanded.c_str());
}

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

// Upper case for finding one text in another: the same length as the text.
std::string SearchCase(const std::string& s) {
  std::string upper = AnsiUpperCase(s);
  return upper.size() == s.size() ? upper : UpperCase(s);
}

// The text after the first place that names fileName whole; "" when it names it nowhere.
std::string TextAfterName(const std::string& text, const std::string& fileName) {
  if (fileName.empty()) return {};
  std::string upperText = SearchCase(text), upperName = SearchCase(fileName);
  for (size_t p = upperText.find(upperName); p != std::string::npos; p = upperText.find(upperName, p + 1)) {
    size_t end = p + upperName.size();
    if (end == text.size() || !IsNameChar(text[end])) return text.substr(end);
  }
  return {};
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

bool RemoveEntry(const std::string& keyName) {
  // an empty name or one with a "\" would reach beyond the entry's own key
  if (keyName.empty() || keyName.find('\\') != std::string::npos) return false;
  TRegistry reg(KEY_ALL_ACCESS);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  return reg.OpenKey(UninstallKey, false) && reg.DeleteKey(keyName);
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

std::string ExtractExecutablePath(const std::string& command) { return ExtractPath(command, true); }

std::string GetUninstallCommand(const std::string& command) {
  if (ContainsText(command, "rundll32") || ContainsText(command, "MsiExec.Exe"))
    return Trim(WithoutChar(WithoutChar(command, '\''), '"'));
  std::string expanded = Trim(ExpandEnvironment(command));
  if (expanded.empty()) return {};
  if (expanded[0] == '"') return expanded;
  if (FileExists(expanded)) return Quote(expanded);
  std::string program = Trim(ExtractExecutablePath(expanded));
  if (program.empty()) return {};
  std::string arguments;
  size_t at = SearchCase(expanded).find(SearchCase(program));
  if (at == 0) {
    arguments = TrimLeft(expanded.substr(program.size()));
  } else if (at != std::string::npos) {
    // The path found is an argument of a program named without its folder (e.g. "uninst.exe /path
    // C:\App\setup.exe"): the command runs as registered, never the argument in its place.
    return expanded;
  } else {
    arguments = TrimLeft(TextAfterName(expanded, ExtractFileName(program)));
  }
  return Quote(program) + (arguments.empty() ? "" : " " + arguments);
}

bool IsSymantecProduct(const std::string& displayName) {
  return Pos("Norton", displayName) > 0 || Pos("Symantec", displayName) > 0;
}

std::string CommandToRun(const TContent& content) {
  if (IsSymantecProduct(content.DisplayName)) {
    std::string modify = Trim(content.ModifyPath);
    if (!modify.empty() && modify != NotAvailable) return GetUninstallCommand(modify);
  }
  return GetUninstallCommand(content.UninstallString);
}

TKernelHandle StartCommandLine(const std::string& commandLine) {
  if (Trim(commandLine).empty()) return {};
  return StartProcess(commandLine, SW_SHOW);
}

}  // namespace UninstallItemUnit
