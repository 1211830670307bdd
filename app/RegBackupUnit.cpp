#include "RegBackupUnit.h"

#include <cstdint>
#include <cwctype>

#include "../framework/Application.h"
#include "../framework/Exceptions.h"
#include "../framework/ListedEntry.h"
#include "../framework/Processes.h"
#include "../framework/Registry.h"
#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"
#include "MainUnitBackup.h"

namespace RegBackupUnit {

bool RunAndWait(const std::string& commandLine, DWORD& exitCode) {
  return RunHiddenAndWait(commandLine, INFINITE, exitCode) == TRunOutcome::Ended;
}

namespace {

// One statement of a script: a key that must exist (or, deleted, must not), or a value of the
// current key with its expected type and bytes (or, deleted, that must not exist).
struct TScriptEntry {
  bool IsKey = false;
  bool Deleted = false;
  std::string Key;          // root name, "\" and path
  std::wstring ValueName;   // "" is the unnamed value
  DWORD Type = REG_NONE;
  std::vector<uint8_t> Data;
  size_t FirstLine = 0, LastLine = 0;   // the lines it was read from
};

struct TScript {
  bool EightBit = false;
  std::string Bom;                     // the UTF-16 byte-order mark the file starts with, or ""
  std::vector<std::string> RawLines;   // each line's bytes as the file holds them, line end included
  std::vector<TScriptEntry> Entries;
};

// Text without a byte-order mark: UTF-16LE, or 8-bit in the ANSI code page.
std::wstring DecodeText(const char* bytes, size_t size, bool eightBit) {
  if (!eightBit) {
    std::wstring w(size / 2, L'\0');
    memcpy(w.data(), bytes, w.size() * 2);
    return w;
  }
  if (size == 0) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, bytes, (int)size, nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes, (int)size, w.data(), n);
  return w;
}

// A script in UTF-16LE starts with its byte-order mark; any other is 8-bit.
bool StartsWithUtf16Mark(const std::string& bytes) {
  return bytes.size() >= 2 && (uint8_t)bytes[0] == 0xFF && (uint8_t)bytes[1] == 0xFE;
}

std::wstring DecodeScript(const std::string& bytes) {
  return StartsWithUtf16Mark(bytes) ? DecodeText(bytes.data() + 2, bytes.size() - 2, false)
                                    : DecodeText(bytes.data(), bytes.size(), true);
}

std::wstring TrimW(const std::wstring& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::iswspace(s[a])) ++a;
  while (b > a && std::iswspace(s[b - 1])) --b;
  return s.substr(a, b - a);
}

// Reads a quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(const std::wstring& s, size_t& pos, std::wstring& text) {
  text.clear();
  for (++pos; pos < s.size(); ++pos) {
    wchar_t c = s[pos];
    if (c == L'"') {
      ++pos;
      return true;
    }
    if (c == L'\\' && pos + 1 < s.size()) {
      wchar_t e = s[++pos];
      text += e == L'n' ? L'\n' : e == L'r' ? L'\r' : e == L'0' ? L'\0' : e;
    } else {
      text += c;
    }
  }
  return false;
}

bool ReadHexList(const std::wstring& s, std::vector<uint8_t>& data) {
  data.clear();
  std::wstring digits;
  auto flush = [&]() {
    if (digits.empty()) return true;
    if (digits.size() > 2) return false;
    data.push_back((uint8_t)wcstoul(digits.c_str(), nullptr, 16));
    digits.clear();
    return true;
  };
  for (wchar_t c : s) {
    if (std::iswxdigit(c)) digits += c;
    else if (c == L',') {
      if (digits.empty() || !flush()) return false;
    } else if (!std::iswspace(c)) return false;
  }
  return flush();
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::vector<uint8_t> WideBytes(const std::wstring& w) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(w.data());
  return std::vector<uint8_t>(p, p + w.size() * 2);
}

// The data part after "=": "-", quoted text, dword:, hex: or hex(N):.
bool ReadData(const std::wstring& text, bool eightBit, TScriptEntry& entry) {
  if (text == L"-") {
    entry.Deleted = true;
    return true;
  }
  if (!text.empty() && text[0] == L'"') {
    size_t pos = 0;
    std::wstring value;
    if (!ReadQuoted(text, pos, value) || !TrimW(text.substr(pos)).empty()) return false;
    entry.Type = REG_SZ;
    value.push_back(L'\0');
    entry.Data = WideBytes(value);
    return true;
  }
  if (text.compare(0, 6, L"dword:") == 0) {
    std::wstring digits = TrimW(text.substr(6));
    if (digits.empty() || digits.size() > 8 || digits.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos)
      return false;
    DWORD v = wcstoul(digits.c_str(), nullptr, 16);
    entry.Type = REG_DWORD;
    entry.Data.assign(reinterpret_cast<uint8_t*>(&v), reinterpret_cast<uint8_t*>(&v) + 4);
    return true;
  }
  std::wstring list;
  if (text.compare(0, 4, L"hex:") == 0) {
    entry.Type = REG_BINARY;
    list = text.substr(4);
  } else if (text.compare(0, 4, L"hex(") == 0) {
    size_t close = text.find(L"):");
    if (close == std::wstring::npos || close == 4) return false;
    std::wstring number = text.substr(4, close - 4);
    if (number.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos) return false;
    entry.Type = wcstoul(number.c_str(), nullptr, 16);
    list = text.substr(close + 2);
  } else {
    return false;
  }
  if (!ReadHexList(list, entry.Data)) return false;
  if (eightBit && IsTextType(entry.Type) && !entry.Data.empty()) {
    // text data of an 8-bit script is in the ANSI code page; the registry holds it widened
    const char* p = reinterpret_cast<const char*>(entry.Data.data());
    int n = MultiByteToWideChar(CP_ACP, 0, p, (int)entry.Data.size(), nullptr, 0);
    std::wstring w(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, p, (int)entry.Data.size(), w.data(), n);
    entry.Data = WideBytes(w);
  }
  return true;
}

// A key line: "[key]", or "[-key]" for a key the script deletes. False without its "]".
bool ReadKeyLine(const std::wstring& line, TScriptEntry& entry) {
  size_t close = line.rfind(L']');
  if (close == std::wstring::npos) return false;
  entry.IsKey = true;
  std::wstring key = line.substr(1, close - 1);
  entry.Deleted = !key.empty() && key[0] == L'-';
  entry.Key = Narrow(entry.Deleted ? key.substr(1) : key);
  return true;
}

// The name of a value line ("@" or a quoted name) and its "="; pos ends after the "=".
bool ReadValueName(const std::wstring& line, TScriptEntry& entry, size_t& pos) {
  pos = 0;
  bool named = true;
  if (line[0] == L'@') pos = 1;
  else if (line[0] == L'"') named = ReadQuoted(line, pos, entry.ValueName);
  else named = false;
  while (named && pos < line.size() && std::iswspace(line[pos])) ++pos;
  if (!named || pos >= line.size() || line[pos] != L'=') return false;
  ++pos;
  return true;
}

// A hex list goes on over further lines while a line ends with a backslash; i ends at the last
// line taken.
std::wstring JoinContinuedHex(std::wstring data, const std::vector<std::wstring>& lines, size_t& i) {
  while (data.compare(0, 3, L"hex") == 0 && !data.empty() && data.back() == L'\\' && i + 1 < lines.size()) {
    data.pop_back();
    data += TrimW(lines[++i]);
  }
  return data;
}

// A value line of the current key (entry.Key; "" when no key line has opened one), with any
// continued hex lines after it.
bool ReadValueLine(const std::vector<std::wstring>& lines, size_t& i, bool eightBit, TScriptEntry& entry) {
  std::wstring line = TrimW(lines[i]);
  size_t pos = 0;
  if (!ReadValueName(line, entry, pos) || entry.Key.empty()) return false;
  return ReadData(JoinContinuedHex(TrimW(line.substr(pos)), lines, i), eightBit, entry);
}

// Splits a script's bytes into its lines as the file holds them (each with its line end) and
// their texts (without it). An 8-bit line is read in the ANSI code page.
std::vector<std::wstring> SplitScript(const std::string& bytes, TScript& script) {
  script.EightBit = !StartsWithUtf16Mark(bytes);
  script.Bom = script.EightBit ? std::string() : bytes.substr(0, 2);
  const size_t unit = script.EightBit ? 1 : 2;
  const size_t begin = script.Bom.size(), end = begin + (bytes.size() - begin) / unit * unit;
  std::vector<std::wstring> lines;
  for (size_t start = begin; start <= end;) {
    size_t next = start;
    while (next < end && !(bytes[next] == '\n' && (unit == 1 || bytes[next + 1] == 0))) next += unit;
    size_t stop = next < end ? next + unit : end;
    script.RawLines.push_back(bytes.substr(start, stop - start));
    std::wstring line = DecodeText(bytes.data() + start, next - start, script.EightBit);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = next + unit;
  }
  return lines;
}

bool ParseScript(const std::string& fileName, TScript& script, std::vector<std::string>& problems) {
  std::string bytes;
  try {
    bytes = ReadFileBytes(fileName);
  } catch (const EInOutError&) {
    problems.push_back("The file cannot be read: " + fileName);
    return false;
  }
  std::vector<std::wstring> lines = SplitScript(bytes, script);
  std::wstring header = lines.empty() ? std::wstring() : TrimW(lines[0]);
  if (header != L"Windows Registry Editor Version 5.00" && header != L"REGEDIT4") {
    problems.push_back("The file is not a registry script: " + fileName);
    return false;
  }
  std::string currentKey;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::wstring line = TrimW(lines[i]);
    if (line.empty() || line[0] == L';') continue;
    TScriptEntry entry;
    entry.FirstLine = i;
    bool read;
    if (line[0] == L'[') {
      read = ReadKeyLine(line, entry);
      currentKey = read && !entry.Deleted ? entry.Key : std::string();
    } else {
      entry.Key = currentKey;
      read = ReadValueLine(lines, i, script.EightBit, entry);
    }
    entry.LastLine = i;
    if (read) script.Entries.push_back(entry);
    else problems.push_back("Unreadable line: " + Narrow(line));
  }
  return true;
}

// Compares what the registry holds with the script. Text types may have gained the terminating
// zero that the importer adds to data given without one.
bool SameData(const TScriptEntry& entry, DWORD type, const std::vector<uint8_t>& actual) {
  if (type != entry.Type) return false;
  if (actual == entry.Data) return true;
  const auto& d = entry.Data;
  bool terminated = d.size() >= 2 && d.size() % 2 == 0 && d[d.size() - 1] == 0 && d[d.size() - 2] == 0;
  if (!IsTextType(type) || terminated || actual.size() != d.size() + 2) return false;
  return std::equal(d.begin(), d.end(), actual.begin()) && actual[d.size()] == 0 && actual[d.size() + 1] == 0;
}

// How an entry is named to the user: a key by its path, a value by its key's path followed by
// \@ for the unnamed value or by \"name" for a named one.
std::string EntryName(const TScriptEntry& entry) {
  if (entry.IsKey) return entry.Key;
  return entry.Key + (entry.ValueName.empty() ? std::string("\\@") : "\\\"" + Narrow(entry.ValueName) + "\"");
}

// What the registry holds now for one entry.
struct TEntryNow {
  bool KnownRoot = true;     // the entry's key begins with a root's name
  bool KeyExists = false;
  LONG ValueResult = ERROR_FILE_NOT_FOUND;   // a value's: ERROR_SUCCESS when it was read
  DWORD Type = REG_NONE;
  std::vector<uint8_t> Data;
};

// Reads the registry for the entries of a script in order, keeping the last key open.
class TRegistryReader {
 public:
  TEntryNow Read(const TScriptEntry& entry) {
    if (entry.Key != path_) {
      path_ = entry.Key;
      key_.Close();
      std::string sub;
      HKEY root = PublicFunctionUnit::SplitRegistryPath(entry.Key, sub);
      known_ = root != nullptr;
      exists_ = known_ && key_.Open(root, sub, KEY_READ);
    }
    TEntryNow now;
    now.KnownRoot = known_;
    now.KeyExists = exists_;
    if (!entry.IsKey && exists_)
      now.ValueResult = MainUnit::ReadRawValue(key_.Get(), entry.ValueName, now.Type, now.Data);
    return now;
  }

 private:
  std::string path_;
  bool known_ = false, exists_ = false;
  TRegKeyHandle key_;
};

// Keeps the window live during a long walk over a script's entries; true when the program is
// ending and the walk should stop.
bool PumpAndTestExit() {
  PublicFunctionUnit::ProcessMessages();
  return Application.Terminated();
}

const char* const kStopped = "The program was ended before the restore was complete.";

void Verify(const TScript& script, TRestoreResult& result) {
  TRegistryReader reader;
  for (const TScriptEntry& entry : script.Entries) {
    if (PumpAndTestExit()) {
      result.Problems.push_back(kStopped);
      return;
    }
    TEntryNow now = reader.Read(entry);
    std::string shown = EntryName(entry);
    if (entry.IsKey) {
      ++result.Keys;
      if (!now.KnownRoot) result.Problems.push_back(shown + ": not a registry key");
      else if (entry.Deleted && now.KeyExists) result.Problems.push_back(shown + ": still there");
      else if (!entry.Deleted && !now.KeyExists) result.Problems.push_back(shown + ": missing");
      continue;
    }
    ++result.Values;
    bool present = now.ValueResult == ERROR_SUCCESS;
    if (entry.Deleted) {
      if (present) result.Problems.push_back(shown + ": still there");
    } else if (!present) {
      result.Problems.push_back(shown + ": missing");
    } else if (!SameData(entry, now.Type, now.Data)) {
      result.Problems.push_back(shown + ": differs");
    }
  }
}

// An entry of a script compared with what the registry holds now.
enum class TComparison {
  Absent,   // not there: the script brings it back
  Same,     // there as the script has it (or, deleted by the script, not there): nothing to do
  Other,    // there with other data (or there where the script deletes it, or unreadable)
};

TComparison Compare(const TScriptEntry& entry, const TEntryNow& now) {
  if (!now.KnownRoot) return TComparison::Absent;   // the import fails on it and says so
  if (entry.IsKey) {
    if (entry.Deleted) return now.KeyExists ? TComparison::Other : TComparison::Same;
    return now.KeyExists ? TComparison::Same : TComparison::Absent;
  }
  if (now.ValueResult == ERROR_FILE_NOT_FOUND) return entry.Deleted ? TComparison::Same : TComparison::Absent;
  if (now.ValueResult != ERROR_SUCCESS || entry.Deleted) return TComparison::Other;
  return SameData(entry, now.Type, now.Data) ? TComparison::Same : TComparison::Other;
}

// The lines an entry was read from, each ended as a script line must be.
std::string EntryBytes(const TScript& script, const TScriptEntry& entry) {
  std::string bytes;
  for (size_t i = entry.FirstLine; i <= entry.LastLine && i < script.RawLines.size(); ++i) {
    bytes += script.RawLines[i];
    bool ended = script.EightBit ? bytes.ends_with('\n') : bytes.ends_with(std::string("\n\0", 2));
    if (!ended) bytes += script.EightBit ? std::string("\r\n") : std::string("\r\0\n\0", 4);
  }
  return bytes;
}

// The part of a script that writes only what is absent now: the header, the absent keys and
// values, and the key line of each absent value. Those entries go into `absent`, the entries
// that hold other data now into result.Left. False when the program is ending meanwhile.
bool AbsentPart(const TScript& script, std::string& bytes, TScript& absent, TRestoreResult& result) {
  bytes = script.Bom;
  TScriptEntry header;
  bytes += EntryBytes(script, header);   // line 0
  TRegistryReader reader;
  const TScriptEntry* keyLine = nullptr;   // the last key line, when not yet written
  for (const TScriptEntry& entry : script.Entries) {
    if (PumpAndTestExit()) return false;
    TComparison comparison = Compare(entry, reader.Read(entry));
    if (entry.IsKey) keyLine = entry.Deleted ? nullptr : &entry;
    if (comparison == TComparison::Other) result.Left.push_back(EntryName(entry));
    if (comparison != TComparison::Absent) continue;
    if (!entry.IsKey && keyLine != nullptr) bytes += EntryBytes(script, *keyLine);
    if (!entry.IsKey || !entry.Deleted) keyLine = nullptr;   // written now
    bytes += EntryBytes(script, entry);
    absent.Entries.push_back(entry);
  }
  return true;
}

// Writes bytes into a new file of the temporary folder; "" when that fails.
std::string WriteTemporaryScript(const std::string& bytes) {
  wchar_t folder[MAX_PATH + 1] = L"";
  if (GetTempPathW(MAX_PATH + 1, folder) == 0) return {};
  std::string base =
      Narrow(folder) + Format("Zelvoran restore %u-%u", (unsigned)GetCurrentProcessId(), (unsigned)GetTickCount());
  for (int i = 0; i < 100; ++i) {
    std::string name = base + Format(" %d.reg", i);
    TNewFileOutcome outcome = WriteNewFileContents(name, bytes);
    if (outcome == TNewFileOutcome::Written) return name;
    if (outcome == TNewFileOutcome::Failed) return {};
  }
  return {};
}

// Runs "Regedit /s" on a script and waits for it; false, with the problem noted, when it could not
// be started or ended with an error.
bool Import(const std::string& fileName, TRestoreResult& result) {
  DWORD exitCode = 0;
  if (!RunAndWait(PublicFunctionUnit::WindowsProgram("regedit.exe") + " /s \"" + fileName + "\"", exitCode)) {
    result.Problems.push_back("Regedit could not be started.");
    return false;
  }
  if (exitCode != 0) result.Problems.push_back(Format("Regedit ended with code %d.", (int)exitCode));
  return exitCode == 0;
}

// Reads the script of an existing file; false, with the problem noted, for a missing file, a file
// that is not a script and a script with a line that cannot be read: regedit would bring back
// part of it and leave the registry neither as it was nor as backed up.
bool ReadWholeScript(const std::string& fileName, TScript& script, TRestoreResult& result) {
  if (ListedEntry::ParsesAsAnother(ExtractFileName(fileName))) {
    result.Problems.push_back(Format(NameReadAsAnotherText, fileName));
    return false;
  }
  if (!FileExists(fileName)) {
    result.Problems.push_back("The file does not exist: " + fileName);
    return false;
  }
  return ParseScript(fileName, script, result.Problems) && result.Problems.empty();
}

}  // namespace

TRestoreResult VerifyRegistryScript(const std::string& fileName) {
  TRestoreResult result;
  TScript script;
  if (!ParseScript(fileName, script, result.Problems)) return result;
  Verify(script, result);
  result.Verified = result.Problems.empty();
  return result;
}

TRestoreResult RestoreRegistryScript(const std::string& fileName) {
  TRestoreResult result;
  TScript script;
  if (!ReadWholeScript(fileName, script, result)) return result;
  result.Imported = Import(fileName, result);
  Verify(script, result);
  result.Verified = result.Problems.empty();
  return result;
}

TRestoreResult RestoreUndoBackup(const std::string& fileName) {
  TRestoreResult result;
  TScript script, absent;
  std::string bytes;
  if (!ReadWholeScript(fileName, script, result)) return result;
  if (!AbsentPart(script, bytes, absent, result)) {
    result.Problems.push_back(kStopped);
    return result;
  }
  if (absent.Entries.empty()) {
    result.Imported = true;   // everything is there already, or left
  } else {
    std::string temporary = WriteTemporaryScript(bytes);
    if (temporary.empty()) {
      result.Problems.push_back("The part of the backup to restore could not be written to the temporary folder.");
      return result;
    }
    result.Imported = Import(temporary, result);
    DeleteFileW(Widen(temporary).c_str());
  }
  Verify(absent, result);
  result.Verified = result.Problems.empty();
  return result;
}

std::string FullBackupFolder() { return ExeDir() + "FullBackup\\"; }

// Runs the export like RunAndWait, but ends it when the program ends meanwhile (the export is
// then not complete); false then.
static bool RunExport(const std::string& command, DWORD& exitCode) {
  constexpr DWORD kExitCheckMs = 50;
  TKernelHandle process = StartProcess(command, SW_HIDE);
  if (!process) return false;
  while (!WaitHandlingMessages(process.Get(), kExitCheckMs)) {
    if (!Application.Terminated()) continue;
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 5000);
    return false;
  }
  return GetExitCodeProcess(process.Get(), &exitCode) != 0;
}

// Runs the export and tells whether it wrote a complete script: its header, a key, a final line end.
static bool ExportCompleted(const std::string& command, const std::string& fileName) {
  DWORD exitCode = 1;
  if (!RunExport(command, exitCode) || exitCode != 0 || !FileExists(fileName)) return false;
  std::string bytes;
  try {
    bytes = ReadFileBytes(fileName);
  } catch (const EInOutError&) {
    return false;
  }
  std::wstring text = DecodeScript(bytes);
  bool headed = text.rfind(L"Windows Registry Editor Version 5.00", 0) == 0 || text.rfind(L"REGEDIT4", 0) == 0;
  return headed && text.find(L"\n[") != std::wstring::npos && !text.empty() && text.back() == L'\n';
}

TFullBackupResult MakeFullBackup(const std::string& folder, TDateTime stamp, const std::string& key) {
  TFullBackupResult result;
  std::string dir = ExcludeTrailingBackslash(folder);
  if (!DirectoryExists(dir)) CreateDirectoryW(Widen(dir).c_str(), nullptr);
  auto nameOf = [&folder](TDateTime t) {
    return Format("%sBackup_%s.reg", IncludeTrailingBackslash(folder), FormatDateTime("yyyymmdd_hhnnss", t));
  };
  result.FileName = MainUnit::FreeBackupFileName(nameOf, stamp);   // an earlier backup is never written over
  std::string command = PublicFunctionUnit::WindowsProgram("regedit.exe") + " /E \"" + result.FileName + "\"";
  if (!key.empty()) command += " \"" + key + "\"";
  result.Succeeded = ExportCompleted(command, result.FileName);
  // a cut-off export must not stay in the list looking like a full backup
  if (!result.Succeeded && FileExists(result.FileName)) DeleteFileW(Widen(result.FileName).c_str());
  return result;
}

}  // namespace RegBackupUnit
