#include "SystemSoftWareSettingUnit.h"

#include <unordered_set>

#include "../framework/Registry.h"
#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "PathJudgeUnit.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"
#include "UserSoftWareSettings.h"

namespace SystemSoftWareSettingUnit {

using namespace PublicFunctionUnit;

const TSettingsWalk SystemWalk = {
    SectionCaption,
    {"SYSTEM", "WINLOGON", "SOFTWARE\\MICROSOFT\\RPC", "SOFTWARE\\MICROSOFT\\CRYPTOGRAPHY",
     "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION"},
    true,
    true,
    {".SYS", ".VXD", "EXPLORER.EXE", "ITUNES"},
    true,
    true,
    " The file (",
    true,
    " The file(",
    ")does not exist at the specified location",
};

namespace {

const char kCommandLineSet[] = "%/*?\"<>|;,";          // 10, in table order
const char kPathSet[] = "/*?\"<>|;.+-&@!,%";           // 16

// Whether a text holds one of the characters: one pass over the text (each value's data passes).
class TCharSet {
 public:
  TCharSet(const char* chars, size_t count) {
    for (size_t i = 0; i < count; ++i) in_[(unsigned char)chars[i]] = true;
  }
  bool FoundIn(const std::string& text) const {
    for (char c : text)
      if (in_[(unsigned char)c]) return true;
    return false;
  }

 private:
  bool in_[256] = {};
};
const char* const kInstallerPath = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\INSTALLER";

bool ContainsText(const std::string& text, const std::string& sub) { return text.find(sub) != std::string::npos; }

bool ContainsAny(const std::string& upperText, const std::vector<std::string>& upperTexts) {
  for (const std::string& t : upperTexts)
    if (ContainsText(upperText, t)) return true;
  return false;
}

// The keys that exclusions of either software-settings section name, by KeyIdentity.
std::unordered_set<std::string> ExcludedKeysOf(TIgnoreContents& ignoreList) {
  std::unordered_set<std::string> keys;
  for (int i = 0; i < ignoreList.Count(); ++i) {
    const IgnoreItemUnit::TContent& e = ignoreList.GetItem(i).Content;
    for (const TSettingsWalk* walk : {&SystemWalk, &UserSoftWareSettings::UserWalk})
      if (SameText(e.Section, walk->Caption)) keys.insert(KeyIdentity(e.KeyPath));
  }
  return keys;
}

// What one walk carries from key to key: the section's row and where the findings go.
struct TWalkContext {
  TWalkContext(const TSettingsWalk& walk, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
               TIgnoreContents& ignoreList, TRegistryContents& contents, HKEY root)
      : Walk(walk), CurrentItem(currentItem), CountLabel(countLabel), IgnoreList(ignoreList), Contents(contents),
        Root(root), RootName(RootKeyName(root)), ExcludedKeys(ExcludedKeysOf(ignoreList)) {}

  // A key whose path holds a skip text keeps its values examined but its subkeys unwalked.
  bool SkipsSubkeysOf(const std::string& keyPath) const { return ContainsAny(AnsiUpperCase(keyPath), Walk.SkipTexts); }
  // Whether an exclusion may name a value of the key (its full text, root name first): the values
  // of any other key are not tested one by one.
  bool MayExclude(const std::string& keyText) const {
    return !ExcludedKeys.empty() && ExcludedKeys.count(KeyIdentity(keyText)) > 0;
  }

  const TSettingsWalk& Walk;
  TCaptionTarget* CurrentItem;
  TCaptionTarget* CountLabel;
  TIgnoreContents& IgnoreList;
  TRegistryContents& Contents;
  HKEY Root;
  const std::string RootName;
  const std::unordered_set<std::string> ExcludedKeys;
};

// The tests both branches start with: no network path, no floppy, a fixed drive, no H: drive.
bool OnTestableDrive(const TSettingsWalk& walk, const std::string& data) {
  return !PathJudgeUnit::OutOfReach(data) && !(walk.TestsHDrive && ContainsText(data, "H:\\"));
}

// The ignore test of one value (its name as listed, "" the unnamed value): an exclusion made in
// either software-settings section names it, whichever of the two meets it (both walk the current
// user's tree, the system section by its name under HKEY_USERS).
bool ValueIgnored(TIgnoreContents& ignoreList, const std::string& keyText, const std::string& valueName) {
  for (const TSettingsWalk* walk : {&SystemWalk, &UserSoftWareSettings::UserWalk})
    if (IsIgnored(ignoreList, walk->Caption, keyText, valueName)) return true;
  return false;
}

// Adds a finding of a missing file or folder; only the fault line differs between the kinds.
// shownName is the value's name as the finding shows it; unnamed marks the key's unnamed value.
void AddFinding(TRegistryContents& contents, TCaptionTarget* countLabel, const std::string& keyText,
                const std::string& shortName, const std::string& shownName, bool unnamed, const std::string& value,
                const std::string& faultLine) {
  SectionCommon::AddMissingPathFinding(contents, countLabel, {keyText, shortName, shownName, value, unnamed},
                                       shownName, value, value)
      .FaultLine = faultLine;
}

// Examines one value with its data; false when the rest of the key is to be left.
bool CheckValue(const TWalkContext& ctx, const std::string& keyPath, const std::string& keyText, bool excludable,
                const std::string& name, const TRegValue& value) {
  const TSettingsWalk& walk = ctx.Walk;
  if (walk.IgnoreTestFirst && excludable && ValueIgnored(ctx.IgnoreList, keyText, name)) return true;
  if (!IsTextValue(value)) return true;
  TValueVerdict verdict = JudgeValueData(walk, ctx.Root, keyPath, RegValueText(value));
  if (verdict.Kind == TValueVerdict::TKind::EndsKey) return false;
  if (!walk.IgnoreTestFirst && excludable && ValueIgnored(ctx.IgnoreList, keyText, name)) return true;
  if (verdict.Kind == TValueVerdict::TKind::MissingPath)
    AddFinding(ctx.Contents, ctx.CountLabel, keyText, verdict.Shown, name, name.empty(), verdict.Shown,
               walk.PathFaultPrefix + verdict.Shown + ") does not exist at the specified location");
  else if (verdict.Kind == TValueVerdict::TKind::MissingProgram)
    ReportMissingFile(walk, ctx.CountLabel, verdict.Shown, name, keyPath, "", ctx.Root, ctx.Contents);
  return true;
}

// The first ":\" of the trimmed text stands at its second character ("C:\...").
bool DriveColonSecond(const std::string& text) {
  size_t first = 0;
  while (first < text.size() && (unsigned char)text[first] <= ' ') ++first;
  return first < text.size() && text.find(":\\", first) == first + 1;
}

// A command line as ExtractFileFromCommandLine reads it: without a leading "@" and its quotes,
// "%SystemRoot%\" replaced by the Windows folder.
std::string CommandLineText(const std::string& text) {
  std::string s = text;
  if (!s.empty() && s[0] == '@') s.erase(0, 1);
  s = StringReplace(s, "\"", "");
  if (s.find('%') != std::string::npos && ContainsText(AnsiUpperCase(s), "%SYSTEMROOT%\\"))
    s = StringReplace(AnsiUpperCase(s), "%SYSTEMROOT%\\", SystemSoftWareSettingUnit::GetWindowsDir());
  return s;
}

// Judges one expanded reading of a value's data: the path branch, then the command-line branch.
// Most data names no path at all, and most paths are there: the file system is asked about the
// program the text reads, and about anything else only for a value that would be reported.
TValueVerdict JudgeReading(const TSettingsWalk& walk, const std::string& data) {
  using TKind = TValueVerdict::TKind;
  // Both branches report only what begins with a drive letter and a colon: text without a colon
  // (and without a variable that could stand for a folder) names nothing they could report.
  if (data.find(':') == std::string::npos && data.find('%') == std::string::npos) return {};
  if (!OnTestableDrive(walk, data)) return {};
  if (DriveColonSecond(data) && IsValidPath(data) && PathJudgeUnit::NothingAt(data)) return {TKind::MissingPath, data};
  // The program ExtractFileFromCommandLine gives: the whole line when that is an existing file,
  // else the one the text reads. An existing file is no finding, so the whole line is looked up
  // only when the program read is reported.
  std::string line = CommandLineText(data);
  std::string file = PathJudgeUnit::ReadProgramPath(line);
  if (walk.FileNeedsDriveColon && !ContainsText(file, ":\\")) return {};
  if (!LooksLikeFilePath(file) || !PathJudgeUnit::FileMissing(file)) return {};
  if (ContainsText(AnsiUpperCase(file), "MSOE.DLL") || (file != line && ScanFileExists(line))) return {};
  // The program the text reads may not be the one the line starts ("tool.exe -config conf\x.ini").
  if (ScanDirectoryExists(data) || PathJudgeUnit::CommandLineProgramExists(data)) return {};
  return {TKind::MissingProgram, file};
}

// Settings of another user's hive under HKEY_USERS: not the current user's own keys (its hive
// and its classes hive, by KeyIdentity).
bool IsOtherUsersKey(HKEY root, const std::string& keyPath) {
  if (root != HKEY_USERS) return false;
  static const std::string own = KeyIdentity(HKEY_CURRENT_USER, "") + "\\";
  return !(KeyIdentity(root, keyPath.substr(0, keyPath.find('\\'))) + "\\").starts_with(own);
}

// Examines the values of one open key, each read with its data in one call: as many as the key
// held when it was opened, when its sizes could be read (asking past them would cost a call to
// the registry for each key), else all the key lists.
void CheckValues(const TWalkContext& ctx, HKEY key, const TKeyInfo& info, bool infoRead, const std::string& keyPath) {
  TValueReader values(key, info);
  std::string keyText = ctx.RootName + "\\" + keyPath;
  const bool excludable = ctx.MayExclude(keyText);
  const DWORD count = infoRead ? info.ValueCount : MAXDWORD;
  std::string name;
  TRegValue value;
  for (DWORD i = 0; i < count && values.Next(name, value); ++i) {
    ProcessMessages();
    if (ScanStopRequested()) return;
    if (!CheckValue(ctx, keyPath, keyText, excludable, name, value)) return;
  }
}

void WalkSubkeys(const TWalkContext& ctx, TSubkeyWalker& walker, const std::string& keyPath);

// Examines one subkey's values and walks its subkeys, the key opened once for both. Examining
// the values takes full access and walking only reading, so a key that refuses full access is
// still walked.
void VisitSubkey(const TWalkContext& ctx, HKEY parent, const std::string& name, const std::string& keyPath) {
  TRegKeyHandle key;
  TKeyInfo info;
  bool fullAccess = key.Open(parent, name, KEY_ALL_ACCESS);
  if (fullAccess) {
    bool infoRead = QueryKeyInfo(key.Get(), info);
    CheckValues(ctx, key.Get(), info, infoRead, keyPath);
  }
  if (ctx.SkipsSubkeysOf(keyPath)) return;
  if (!fullAccess) {
    if (!key.Open(parent, name, KEY_READ)) return;
    QueryKeyInfo(key.Get(), info);
  }
  TSubkeyWalker walker(key, info.SubkeyCount);
  WalkSubkeys(ctx, walker, keyPath);
}

// Recursive (through VisitSubkey): keys nest up to 512 deep, so a frame holds little.
void WalkSubkeys(const TWalkContext& ctx, TSubkeyWalker& walker, const std::string& keyPath) {
  std::string name;
  for (DWORD i = 0; i < walker.Count(); ++i) {
    if (ScanStopRequested()) break;
    if (!walker.Name(i, name)) continue;
    std::string child = SectionCommon::ChildKeyPath(keyPath, name);
    ++VisitedKeyCount;
    if (VisitedKeyCount % 200 == 0 && ctx.CurrentItem != nullptr) ctx.CurrentItem->SetCaption(child);
    TickItemsProcessed();
    if (ctx.Walk.SkipInstallerAndAppPaths) {
      if (ContainsText(AnsiUpperCase(child), kInstallerPath)) continue;
      if (name == "App Paths") {
        ProcessMessages();
        continue;
      }
    }
    VisitSubkey(ctx, walker.Key(), name, child);
    ProcessMessages();
  }
}

}  // namespace

void ScanSoftwareSettings(int /*sectionIndex*/, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                          TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                          HKEY root) {
  WalkSettings(SystemWalk, currentItem, countLabel, ignoreList, contents, keyPath, root);
}

void WalkSettings(const TSettingsWalk& walk, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                  TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  TWalkContext ctx(walk, currentItem, countLabel, ignoreList, contents, root);
  if (ctx.SkipsSubkeysOf(keyPath)) return;
  TSubkeyWalker walker(root, keyPath);
  if (!walker.Opened()) return;
  WalkSubkeys(ctx, walker, keyPath);
}

TValueVerdict JudgeValueData(const TSettingsWalk& walk, HKEY root, const std::string& keyPath, const std::string& data) {
  if (ContainsAny(AnsiUpperCase(data), walk.EndKeyTexts)) return {TValueVerdict::TKind::EndsKey, {}};
  // Data without a "%" names no variable: it is its only reading (as ExpandedReadings would give).
  if (data.find('%') == std::string::npos) return JudgeReading(walk, data);
  std::vector<std::string> readings =
      PathJudgeUnit::ExpandedReadings(data, ExpandPathVars, !IsOtherUsersKey(root, keyPath));
  TValueVerdict first;
  for (size_t i = 0; i < readings.size(); ++i) {
    TValueVerdict verdict = JudgeReading(walk, readings[i]);
    if (verdict.Kind == TValueVerdict::TKind::Valid) return verdict;
    if (i == 0) first = verdict;
  }
  return first;
}

void ReportMissingFile(const TSettingsWalk& walk, TCaptionTarget* countLabel, const std::string& file,
                       const std::string& valueName, const std::string& keyPath, const std::string& shortName,
                       HKEY root, TRegistryContents& contents) {
  std::string name = (valueName.empty() && walk.UnnamedAsDefault) ? "default" : valueName;
  AddFinding(contents, countLabel, RootKeyName(root) + "\\" + keyPath, shortName, name, valueName.empty(), file,
             walk.CommandFaultPrefix + file + walk.CommandFaultSuffix);
}

// Replaces every var in the upper-cased text by the upper-cased folder, asked for only when needed.
static std::string ReplaceVar(const std::string& text, const char* var, std::string (*folder)()) {
  std::string upper = AnsiUpperCase(text);
  if (!ContainsText(upper, var)) return text;
  return StringReplace(upper, var, AnsiUpperCase(folder()));
}

static std::string ProgramFilesDir() { return GetProgramFilesDir(0); }

std::string ExpandPathVars(const std::string& text) {
  std::string s = ReplaceVar(text, "%SYSTEMROOT%", PublicFunctionUnit::GetWindowsDir);
  s = ReplaceVar(s, "%WINDIR%", PublicFunctionUnit::GetWindowsDir);
  return ReplaceVar(s, "%PROGRAMFILES%", ProgramFilesDir);
}

std::string GetWindowsDir() { return AnsiUpperCase(IncludeTrailingBackslash(PublicFunctionUnit::GetWindowsDir())); }

std::string ExtractFileFromCommandLine(const std::string& text) {
  std::string s = CommandLineText(text);
  // A command line that is an existing file as a whole names that file. When reading it gives
  // the whole text anyway (a plain word, a bare path), there is nothing to look up.
  std::string file = PathJudgeUnit::ReadProgramPath(s);
  if (file != s && ScanFileExists(s)) return s;
  return file;
}

bool HasNoInvalidChars(const std::string& text, int lastIndex) {
  static const TCharSet wholeSet(kCommandLineSet, 10);
  if (lastIndex >= 9) return !wholeSet.FoundIn(text);
  return lastIndex < 0 || !TCharSet(kCommandLineSet, lastIndex + 1).FoundIn(text);
}

bool HasSingleColon(const std::string& text) {
  size_t first = text.find(':');
  return first == std::string::npos || text.find(':', first + 1) == std::string::npos;
}

bool LooksLikeFilePath(const std::string& text) {
  std::string s = StringReplace(text, "\"", " ");
  if (!HasNoInvalidChars(Trim(s), 9)) return false;
  if (ExtractFileName(s).empty() || ExtractFileExt(s).empty()) return false;
  if (!HasSingleColon(s)) return false;
  if (s.size() < 2 || s[1] != ':') return false;
  char letter = s[0];
  return (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z');
}

bool IsValidPath(const std::string& text) {
  static const TCharSet pathSet(kPathSet, 16);
  return !pathSet.FoundIn(text) && Widen(text).size() <= 260;
}

bool StillFound(const TSettingsWalk& walk, const TContent& finding) {
  SectionCommon::TRecheck check;
  TRegValue value;
  std::string keyPath;
  HKEY root = SplitRegistryPath(finding.KeyPath, keyPath);
  if (root == nullptr || !check.ReadValue(SectionCommon::TRepairForm::Value, finding, value)) return false;
  TWalkContext ctx(walk, nullptr, nullptr, check.NoExclusions, check.Found, root);
  const std::string keyText = ctx.RootName + "\\" + keyPath;
  CheckValue(ctx, keyPath, keyText, ctx.MayExclude(keyText), SectionCommon::ListedValueName(finding), value);
  return check.Gives(finding);
}

void RepairSoftwareSettings(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log,
                                [](const TContent& finding) { return StillFound(SystemWalk, finding); });
}

}  // namespace SystemSoftWareSettingUnit
