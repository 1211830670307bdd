#include "MainUnitBackup.h"

#include "../framework/Registry.h"
#include "../scan/PublicFunctionUnit.h"
#include "RegBackupUnitScript.h"

namespace MainUnit {

using namespace PublicFunctionUnit;
using SectionCommon::TRemoval;
using SectionCommon::TRemovalKind;

std::string RegScriptHeader(uint8_t platformKind) {
  if (platformKind >= 4) return RegScriptHeaderNT;
  if (platformKind >= 2) return RegScriptHeader9x;
  return {};
}

std::string EncodeRegScript(const TStringList& lines) {
  std::wstring text = Widen(lines.Text());
  if (lines.Count() > 0 && lines[0] == RegScriptHeaderNT) {
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
  }
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

LONG ReadRawValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<uint8_t>& data) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    data.assign(size, 0);
    rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, size ? data.data() : nullptr, &size);
    if (rc == ERROR_MORE_DATA) continue;   // it grew meanwhile
    if (rc != ERROR_SUCCESS) return rc;
    data.resize(size);
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

std::string RepairBackupFolder() { return ExeDir() + "RepairBackup\\"; }

std::string RepairBackupFileName(const std::string& folder, TDateTime stamp) {
  return IncludeTrailingBackslash(folder) + "_" + FormatDateTime("yyyymmdd_hhnnss", stamp) + ".reg";
}

namespace {
const TDateTime kOneSecond = 1.0 / 86400;
const int kNameTries = 3600;   // an hour of seconds
}  // namespace

std::string FreeBackupFileName(const TBackupNamer& nameOf, TDateTime& stamp) {
  std::string name = nameOf(stamp);
  for (int tries = 0; !PathAbsent(name) && tries < kNameTries; ++tries) {
    std::string taken = name;
    while (name == taken) name = nameOf(stamp += kOneSecond);
  }
  return name;
}

namespace {

// A wide name as UTF-8; false when the UTF-8 text would not give the same name back.
bool ToText(const std::wstring& wide, std::string& text) {
  text = Narrow(wide);
  return Widen(text) == wide;
}

// A script line cannot carry a line break: a name holding one cannot be written.
bool Writable(const std::string& name) { return name.find_first_of("\r\n") == std::string::npos; }

std::string Escape(const std::string& text) {
  return StringReplace(StringReplace(text, "\\", "\\\\"), "\"", "\\\"");
}

std::string HexBytes(const std::vector<uint8_t>& data) {
  std::string s;
  s.reserve(data.size() * 3);
  for (uint8_t b : data) s += Format("%02X,", b);
  if (!s.empty()) s.pop_back();
  return s;
}

// A REG_SZ written as quoted text only when the text gives back exactly its bytes: one
// terminating zero, no zero inside, no line break, and a name that survives UTF-8.
bool QuotableString(const std::vector<uint8_t>& data, std::string& text) {
  size_t units = data.size() / 2;
  if (data.size() % 2 != 0 || units == 0) return false;
  std::wstring w(units, L'\0');
  memcpy(w.data(), data.data(), data.size());
  if (w.back() != L'\0') return false;
  w.pop_back();
  if (w.find_first_of(std::wstring(L"\0\r\n", 3)) != std::wstring::npos) return false;
  return ToText(w, text);
}

// A value line's name part with its "=": @= for the unnamed value, else the name in quotes.
std::string ValueLineName(const std::string& name) {
  return name.empty() ? std::string("@=") : "\"" + Escape(name) + "\"=";
}

// The value line: name part, "=", and the data in the form its type asks for.
std::string ValueLine(const std::string& name, DWORD type, const std::vector<uint8_t>& data) {
  std::string left = ValueLineName(name);
  std::string text;
  switch (type) {
    case REG_SZ:
      if (QuotableString(data, text)) return left + "\"" + Escape(text) + "\"";
      break;
    case REG_BINARY:
      return left + "hex:" + HexBytes(data);
    case REG_DWORD:
      if (data.size() == 4) {
        DWORD v;
        memcpy(&v, data.data(), 4);
        return left + Format("dword:%08X", (unsigned)v);
      }
      break;
    default:
      break;
  }
  return left + Format("hex(%x):", (unsigned)type) + HexBytes(data);
}

bool Missing(LONG rc) { return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND; }

std::string KeyLine(const std::string& rootName, const std::string& subKey) {
  return Format("[%s\\%s]", rootName, subKey);
}

// Adds one value's lines from an open key: its key line first, unless keyLine is empty.
TExportOutcome AddValue(HKEY key, const std::string& keyLine, const std::string& valueName, TStringList& lines) {
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
  LONG rc = ReadRawValue(key, Widen(valueName), type, data);
  if (Missing(rc)) {
    // a key without a default value
    if (valueName.empty() && !keyLine.empty() && Writable(keyLine)) lines.Add(keyLine);
    return TExportOutcome::Absent;
  }
  if (rc != ERROR_SUCCESS || !Writable(keyLine) || !Writable(valueName)) return TExportOutcome::Unreadable;
  if (!keyLine.empty()) lines.Add(keyLine);
  lines.Add(ValueLine(valueName, type, data));
  return TExportOutcome::Written;
}

TExportOutcome ExportValue(HKEY root, const std::string& rootName, const std::string& subKey,
                           const std::string& valueName, TStringList& lines) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_READ, &key);
  if (Missing(rc)) return TExportOutcome::Absent;
  if (rc != ERROR_SUCCESS) return TExportOutcome::Unreadable;
  TRegKeyHandle owner(key);
  return AddValue(key, KeyLine(rootName, subKey), valueName, lines);
}

TExportOutcome Worse(TExportOutcome a, TExportOutcome b) {
  return (a == TExportOutcome::Unreadable || b == TExportOutcome::Unreadable) ? TExportOutcome::Unreadable : a;
}

// Hands on each name that enumerate(index, buffer, length) gives for the indexes below count,
// read with room to spare (a name that outgrew it is read again with more). A name that cannot
// be read, that UTF-8 would not give back or that a script line cannot carry makes the outcome
// unreadable.
template <class Enumerate, class Use>
TExportOutcome ForEachName(DWORD count, DWORD hint, Enumerate enumerate, Use use) {
  TExportOutcome outcome = TExportOutcome::Written;
  for (DWORD i = 0; i < count; ++i) {
    std::vector<wchar_t> buf(hint + 2);
    DWORD len = 0;
    LONG r = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 8 && r == ERROR_MORE_DATA; ++attempt) {
      if (attempt > 0) buf.resize(buf.size() * 2 + 256);
      len = (DWORD)buf.size();
      r = enumerate(i, buf.data(), &len);
    }
    if (r == ERROR_NO_MORE_ITEMS) break;
    std::string name;
    if (r != ERROR_SUCCESS || !ToText(std::wstring(buf.data(), len), name) || !Writable(name)) {
      outcome = TExportOutcome::Unreadable;
      continue;
    }
    outcome = Worse(outcome, use(name));
  }
  return outcome;
}

// The key line, every value and, depth first, every subkey. A key that has vanished counts as
// absent; anything else that cannot be read makes the outcome unreadable.
TExportOutcome ExportTree(HKEY root, const std::string& rootName, const std::string& subKey, TStringList& lines) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_READ, &key);
  if (Missing(rc)) return TExportOutcome::Absent;
  if (rc != ERROR_SUCCESS) return TExportOutcome::Unreadable;
  TRegKeyHandle owner(key);
  if (!Writable(subKey)) return TExportOutcome::Unreadable;
  DWORD subkeys = 0, maxKeyLen = 0, values = 0, maxValueLen = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxKeyLen, nullptr, &values, &maxValueLen,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return TExportOutcome::Unreadable;
  lines.Add(KeyLine(rootName, subKey));
  TExportOutcome valuesOutcome = ForEachName(
      values, maxValueLen,
      [&](DWORD i, wchar_t* name, DWORD* len) {
        return RegEnumValueW(key, i, name, len, nullptr, nullptr, nullptr, nullptr);
      },
      [&](const std::string& name) { return AddValue(key, std::string(), name, lines); });   // under the key line
  TExportOutcome keysOutcome = ForEachName(
      subkeys, maxKeyLen,
      [&](DWORD i, wchar_t* name, DWORD* len) {
        return RegEnumKeyExW(key, i, name, len, nullptr, nullptr, nullptr, nullptr);
      },
      [&](const std::string& name) { return ExportTree(root, rootName, subKey + "\\" + name, lines); });
  return Worse(valuesOutcome, keysOutcome);
}

TExportOutcome ExportRemoval(const TRemoval& removal, TStringList& lines) {
  switch (removal.Kind) {
    case TRemovalKind::Value:
      return ExportValue(removal.Root, removal.RootName, removal.SubKey, removal.ValueName, lines);
    case TRemovalKind::Key:
      return ExportTree(removal.Root, removal.RootName, removal.SubKey, lines);
    default:
      return TExportOutcome::Absent;   // files are not registry data; nothing else is removed
  }
}

}  // namespace

TExportOutcome ExportRegValue(const std::string& keyPath, const std::string& valueName, TStringList& lines) {
  std::string subKey;
  HKEY root = SplitRegistryPath(keyPath, subKey);
  if (root == nullptr) return TExportOutcome::Absent;
  return ExportValue(root, RootKeyName(root), subKey, valueName, lines);
}

TExportOutcome ExportRegKey(const std::string& keyPath, TStringList& lines) {
  std::string subKey;
  HKEY root = SplitRegistryPath(keyPath, subKey);
  if (root == nullptr || subKey.empty()) return TExportOutcome::Absent;
  return ExportTree(root, RootKeyName(root), subKey, lines);
}

TExportOutcome ExportAbsentValue(const std::string& keyPath, const std::string& valueName, TStringList& lines) {
  std::string subKey;
  HKEY root = SplitRegistryPath(keyPath, subKey);
  if (root == nullptr) return TExportOutcome::Absent;
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_READ, &key);
  TRegKeyHandle owner(key);
  if (rc == ERROR_SUCCESS) {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
    rc = ReadRawValue(key, Widen(valueName), type, data);
    if (rc == ERROR_SUCCESS) return TExportOutcome::Absent;
  }
  // Neither the value nor perhaps its key is there: only the value is taken away again. A key
  // created meanwhile stays, with whatever else has been put into it since.
  std::string keyLine = KeyLine(RootKeyName(root), subKey);
  if (!Missing(rc) || !Writable(keyLine) || !Writable(valueName)) return TExportOutcome::Unreadable;
  lines.Add(keyLine);
  lines.Add(ValueLineName(valueName) + "-");
  return TExportOutcome::Written;
}

TBackupScript::TBackupScript(TBackupNamer nameOf, TDateTime stamp, uint8_t platformKind)
    : nameOf_(std::move(nameOf)), stamp_(stamp) {
  result_.FileName = FreeBackupFileName(nameOf_, stamp_);
  std::string dir = ExcludeTrailingBackslash(ExtractFilePath(result_.FileName));
  if (!DirectoryExists(dir)) CreateDirectoryW(Widen(dir).c_str(), nullptr);
  Lines.Add(RegScriptHeader(platformKind));
}

void TBackupScript::Count(TExportOutcome outcome, const std::string& name) {
  switch (outcome) {
    case TExportOutcome::Written: ++result_.Exported; break;
    case TExportOutcome::Unreadable: result_.Missed.push_back(name); break;
    case TExportOutcome::Absent: break;
  }
}

TBackupResult TBackupScript::Save() {
  bool any = Lines.Count() > 1;
  if (any) {
    std::string bytes = EncodeRegScript(Lines);
    TNewFileOutcome outcome = WriteNewFileContents(result_.FileName, bytes);
    for (int tries = 0; outcome == TNewFileOutcome::Taken && tries < kNameTries; ++tries) {
      stamp_ += kOneSecond;
      result_.FileName = FreeBackupFileName(nameOf_, stamp_);
      outcome = WriteNewFileContents(result_.FileName, bytes);
    }
    result_.Saved = outcome == TNewFileOutcome::Written;
  }
  result_.Complete = result_.Missed.empty() && (!any || result_.Saved);
  return result_;
}

TBackupResult BackupCheckedFindings(const std::vector<TBackupSection>& sections, uint8_t platformKind,
                                    const std::string& folder, TDateTime stamp, const TBackupStep& step) {
  TBackupScript script([&folder](TDateTime t) { return RepairBackupFileName(folder, t); }, stamp, platformKind);
  for (const TBackupSection& section : sections) {
    if (section.Contents == nullptr || section.Form == SectionCommon::TRepairForm::File) continue;
    for (int i = 0; i < section.Contents->Count(); ++i) {
      TContent& finding = section.Contents->GetItem(i).Content;
      if (!finding.Checked) continue;
      if (step && !step(finding)) {
        TBackupResult stopped;
        stopped.Stopped = true;
        return stopped;
      }
      // The repair passes over what the ignore list excludes: a backup of it would bring back
      // over it what it held before. What cannot be told now is backed up.
      finding.ExcludedAtBackup = SectionCommon::ExclusionNow(finding) == SectionCommon::TExclusion::Excluded;
      if (finding.ExcludedAtBackup) continue;
      SectionCommon::PinRealKey(finding);   // the repair removes from the key backed up here
      TRemoval removal = SectionCommon::RepairRemoval(section.Form, finding);
      script.Count(ExportRemoval(removal, script.Lines), SectionCommon::NamedTarget(finding.KeyPath, removal));
    }
  }
  // whose HKEY_CURRENT_USER the lines are: the program's folder is shared by every user
  if (script.Lines.Count() > 1) RegBackupUnit::AddUserNote(script.Lines);   // only a file that is saved
  return script.Save();
}

std::string IncompleteBackupText(const TBackupResult& backup, const std::string& heading,
                                 const std::string& question) {
  constexpr size_t kMissedShown = 10;
  std::string text = heading + "\r\r";
  if (!backup.Saved && (backup.Exported > 0 || backup.Missed.empty()))
    text += Format("The backup file could not be written:\r%s\r\r", backup.FileName);
  if (!backup.Missed.empty())
    text += "These entries could not be backed up:\r" + ShortList(backup.Missed, kMissedShown) + "\r";
  return text + "What is not in the backup cannot be restored after the repair.\r" + question;
}

std::string ShortList(const std::vector<std::string>& items, size_t shown) {
  std::string text;
  for (size_t i = 0; i < items.size() && i < shown; ++i) text += items[i] + "\r";
  if (items.size() > shown) text += Format("and %d more\r", (int)(items.size() - shown));
  return text;
}

void AddHeadedList(std::string& text, const std::string& head, const std::vector<std::string>& items, size_t shown) {
  if (items.empty()) return;
  std::string list = ShortList(items, shown);
  list.pop_back();   // the last line end
  text += (text.empty() ? "" : "\r\r") + head + "\r" + list;
}

}  // namespace MainUnit
