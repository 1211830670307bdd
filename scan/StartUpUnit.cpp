#include "StartUpUnit.h"

#include <shlobj.h>

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PathJudgeUnit.h"
#include "PublicFunctionUnit.h"

namespace StartUpUnit {

using namespace PublicFunctionUnit;

namespace {

constexpr const char* ExplorerKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

std::string ReadUserString(const std::string& key, const std::string& name) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  if (!reg.OpenKey(key, false) || !reg.ValueExists(name)) return {};
  TRegDataType type = reg.GetDataType(name);
  if (type != rdString && type != rdExpandString) return {};
  return reg.ReadString(name);
}

}  // namespace

std::string AllUsersProfileDir() {
  wchar_t system[MAX_PATH + 1] = {};
  UINT n = GetSystemDirectoryW(system, MAX_PATH);
  return Copy(Narrow(system, n), 1, 3) + "Documents and Settings\\All Users";
}

std::string AllUsersProgramsDir() {
  wchar_t path[MAX_PATH + 1] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK && path[0] != 0)
    return IncludeTrailingBackslash(Narrow(path));
  std::string programs = ReadUserString(std::string(ExplorerKey) + "User Shell Folders", "Programs");
  if (programs.empty()) return {};
  return StringReplace(programs, "%USERPROFILE%", AllUsersProfileDir()) + "\\";
}

std::string UserProgramsDir() {
  std::string programs = ReadUserString(std::string(ExplorerKey) + "Shell Folders", "Programs");
  return programs.empty() ? std::string() : programs + "\\";
}

bool IsProgramGroupMissing(const std::string& commonPrograms, const std::string& userPrograms, const std::string& group) {
  if (commonPrograms.empty() && userPrograms.empty()) return false;
  for (const std::string& programs : {commonPrograms, userPrograms}) {
    if (programs.empty()) continue;
    std::vector<std::string> folders = PathJudgeUnit::ExpandedReadings(programs);
    for (std::string& folder : folders) folder += group;
    if (!PathJudgeUnit::MissingInEveryReading(folders, PathJudgeUnit::FolderMissing)) return false;
  }
  return true;
}

void CheckProgramGroups(int /*sectionIndex*/, const std::string& keyPath, HKEY root, TIgnoreContents& ignoreList,
                        TRegistryContents& contents, const TStringList& groups, TCaptionTarget* countLabel) {
  std::string commonPrograms = AllUsersProgramsDir();
  std::string userPrograms = UserProgramsDir();
  // Without a Programs folder to look in, no group can be judged missing.
  if (commonPrograms.empty() && userPrograms.empty()) return;
  for (const std::string& g : groups.Items) {
    std::string k = RootKeyName(root) + "\\" + keyPath + "\\" + g;
    if (IsIgnored(ignoreList, SectionCaption, k, g)) continue;
    if (!IsProgramGroupMissing(commonPrograms, userPrograms, g)) continue;
    TContent& c = SectionCommon::NewFinding(contents);
    c.KeyPath = k;
    c.ShortName = g;
    c.ValueName = g;
    c.KeyPathLine = " Key Path:" + k;
    c.ValueNameLine = " ValueName:" + g;
    c.ValueLine = " Value:" + g;
    c.FaultLine = " The key does not exist at the specified location";
    SectionCommon::ShowCount(countLabel, contents);
    TickItemsProcessed();
  }
}

void ScanStartupPrograms(int sectionIndex, TCaptionTarget* /*currentItem*/, TCaptionTarget* countLabel,
                         TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                         HKEY root) {
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  std::string path = keyPath;
  if (reg.OpenKey("\\" + path, false)) {
    TStringList orders;
    reg.GetKeyNames(orders);
    for (const std::string& name : orders.Items)
      if (Pos("Start Menu", name) > 0) {
        path += "\\" + name + "\\Programs";
        break;
      }
    reg.CloseKey();
  }
  if (!reg.OpenKey("\\" + path, false)) return;
  TStringList groups;
  reg.GetKeyNames(groups);
  reg.CloseKey();
  CheckProgramGroups(sectionIndex, path, root, ignoreList, contents, groups, countLabel);
}

// A group's finding names the order key root\keyPath\group.
static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  std::string keyPath;
  HKEY root = SectionCommon::SplitChildKeyPath(finding.KeyPath, finding.ShortName, keyPath);
  if (root == nullptr) return false;
  TStringList group;
  group.Add(finding.ShortName);
  CheckProgramGroups(0, keyPath, root, check.NoExclusions, check.Found, group, nullptr);
  return check.Gives(finding);
}

void RepairStartupPrograms(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                           TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace StartUpUnit
