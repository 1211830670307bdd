#include "ApplicationPathsUnit.h"

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PathJudgeUnit.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace ApplicationPathsUnit {

using namespace PublicFunctionUnit;

bool IsFileNameWithExt(const std::string& path) {
  return !ExtractFileName(path).empty() && !ExtractFileExt(path).empty();
}

std::string WindowsDirFromSystemDir() { return IncludeTrailingBackslash(GetWindowsDir()); }

std::string AppFullPath(const std::string& program, const std::string& folder) {
  if (Pos("\\", program) == 0) {
    if (!folder.empty() && folder.back() == '\\') return folder + program;
    return folder + "\\" + program;
  }
  // Quotes are dropped in every form of the path: a quoted "%SystemRoot%" program would otherwise
  // never be found and its valid subkey would be reported and deleted.
  std::string unquoted = StringReplace(program, "\"", "");
  if (Pos("%ProgramFiles%", program) > 0) return StringReplace(unquoted, "%ProgramFiles%", GetProgramFilesDir(0));
  if (Pos("%SystemRoot%", program) > 0)
    return WindowsDirFromSystemDir() + StringReplace(unquoted, "%SystemRoot%\\", "");
  return unquoted;
}

// A bare program name without a "Path" folder is found the way Windows starts it: through the
// system folders and the search path.
static bool IsOnSearchPath(const std::string& program) {
  wchar_t found[MAX_PATH];
  DWORD n = SearchPathW(nullptr, Widen(program).c_str(), nullptr, MAX_PATH, found, nullptr);
  return n > 0 && n < MAX_PATH && ScanFileExists(Narrow(found, n));
}

bool IsAppPathMissing(const std::string& program, const std::string& folder) {
  if (Pos("\\", program) == 0 && folder.empty() && IsOnSearchPath(program)) return false;
  std::vector<std::string> paths =
      PathJudgeUnit::ExpandedReadings(program, [&](const std::string& reading) { return AppFullPath(reading, folder); });
  return PathJudgeUnit::MissingInEveryReading(
      paths, [](const std::string& full) { return full.size() != 1 && PathJudgeUnit::FileMissing(full); });
}

void CheckAppPathKey(HKEY root, const std::string& subPath, const std::string& name, TCaptionTarget* countLabel,
                     TIgnoreContents& ignoreList, TRegistryContents& contents) {
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  TRegValue value;
  if (!reg.OpenKey("\\" + subPath, false) || !reg.ReadValue("", value) || value.Type != REG_SZ) return;
  std::string program = RegValueText(value);
  if (!IsFileNameWithExt(program)) return;
  std::string folder = reg.ReadValue("Path", value) && value.Type == REG_SZ ? RegValueText(value) : std::string();
  if (!IsAppPathMissing(program, folder)) return;
  std::string full = AppFullPath(program, folder);
  std::string keyText = RootKeyName(root) + "\\" + subPath;
  if (IsIgnored(ignoreList, SectionCaption, keyText, "Path")) return;
  SectionCommon::AddMissingPathFinding(contents, countLabel,
                                       {.KeyPath = keyText, .ShortName = name, .ValueName = "Path", .Value = full},
                                       "Path", full, full);
}

void ScanApplicationPaths(int, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                          TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  TSubkeyWalker walker(root, keyPath);
  if (!walker.Opened()) return;
  const std::string rootName = RootKeyName(root);
  for (DWORD i = 0; i < walker.Count(); ++i) {
    if (ScanStopRequested()) return;
    std::string name;
    if (!walker.Name(i, name)) continue;
    std::string subPath = SectionCommon::ChildKeyPath(keyPath, name);
    SectionCommon::ShowItem(currentItem, rootName + "\\" + subPath);
    TickItemsProcessed();
    CheckAppPathKey(root, subPath, name, countLabel, ignoreList, contents);
    ProcessMessages();
  }
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  std::string subPath;
  HKEY root = SplitRegistryPath(finding.KeyPath, subPath);
  if (root == nullptr) return false;
  CheckAppPathKey(root, subPath, finding.ShortName, nullptr, check.NoExclusions, check.Found);
  return check.Gives(finding);
}

void RepairApplicationPaths(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace ApplicationPathsUnit
