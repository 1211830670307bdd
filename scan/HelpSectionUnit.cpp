#include "HelpSectionUnit.h"

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PathJudgeUnit.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace HelpSectionUnit {

using namespace PublicFunctionUnit;

// The folder is taken without surrounding blanks: a blank before or after it would make a file
// that is there look missing.
std::string HelpFilePath(const std::string& folder, const std::string& fileName) {
  std::string dir = Trim(folder);
  if (dir.empty()) return {};
  return dir.back() == '\\' ? dir + fileName : dir + "\\" + fileName;
}

bool IsHelpFileMissing(const std::string& folder, const std::string& fileName) {
  std::vector<std::string> paths;
  for (const std::string& reading : PathJudgeUnit::ExpandedReadings(folder))
    paths.push_back(HelpFilePath(reading, fileName));
  return PathJudgeUnit::MissingInEveryReading(paths, PathJudgeUnit::FileMissing);
}

// Reports the values of one open help key whose file is missing.
static void CheckHelpKey(TRegistry& reg, const std::string& keyText, TCaptionTarget* countLabel,
                         TIgnoreContents& ignoreList, TRegistryContents& contents) {
  TValueReader values(reg.CurrentKey());
  std::string name;
  TRegValue value;
  while (values.Next(name, value)) {
    if (ScanStopRequested()) return;
    if (IsIgnored(ignoreList, SectionCaption, keyText, name)) continue;
    if (!IsTextValue(value)) continue;
    std::string folder = RegValueText(value);
    if (!IsHelpFileMissing(folder, name)) continue;
    std::string path = HelpFilePath(folder, name);
    // The repair deletes the value named by ShortName; the exclusion and the backup address the
    // same value through ValueName.
    SectionCommon::AddMissingPathFinding(
        contents, countLabel,
        {.KeyPath = keyText, .ShortName = name, .ValueName = name, .Value = path, .UnnamedValue = name.empty()},
        "default", path, path);
  }
}

void ScanHelpFiles(int, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                   TRegistryContents& contents, HKEY root) {
  if (root == nullptr) return;
  for (const char* key : {HelpKey, HtmlHelpKey}) {
    if (ScanStopRequested()) return;
    TRegistry reg(KEY_READ);
    reg.RootKey = root;
    if (!reg.OpenKey(key, false)) continue;
    std::string keyText = RootKeyName(root) + "\\" + key;
    SectionCommon::ShowItem(currentItem, keyText);
    TickItemsProcessed();
    CheckHelpKey(reg, keyText, countLabel, ignoreList, contents);
    ProcessMessages();
  }
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  TRegistry reg(KEY_READ);
  if (!check.OpenKey(finding, reg)) return false;
  CheckHelpKey(reg, finding.KeyPath, nullptr, check.NoExclusions, check.Found);
  return check.Gives(finding);
}

void RepairHelpFiles(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                     TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace HelpSectionUnit
