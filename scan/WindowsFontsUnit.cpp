#include "WindowsFontsUnit.h"

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PathJudgeUnit.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace WindowsFontsUnit {

using namespace PublicFunctionUnit;

std::string FontFilePath(const std::string& data) {
  std::string name = Trim(data);
  if (Pos(":\\", name) == 2) return name;   // registered with its full path
  return GetWindowsDir() + "\\Fonts\\" + name;
}

// A font file the scan may judge: a full path with a drive letter (missing as the scan may report
// it, PathJudgeUnit::FileMissing, says the rest).
static bool IsCheckablePath(const std::string& path) { return Pos(":\\", path) == 2; }

bool IsFontFileMissing(const std::string& data) {
  std::vector<std::string> files;
  for (const std::string& reading : PathJudgeUnit::ExpandedReadings(data)) files.push_back(FontFilePath(reading));
  return PathJudgeUnit::MissingInEveryReading(
      files, [](const std::string& file) { return IsCheckablePath(file) && PathJudgeUnit::FileMissing(file); });
}

// Reports one value of the Fonts key when it names a font file that is missing; false when the
// value would be reported but is excluded.
static bool CheckFontValue(const std::string& sectionKey, const std::string& name, const TRegValue& value,
                           TCaptionTarget* countLabel, TIgnoreContents& ignoreList, TRegistryContents& contents) {
  if (!IsTextValue(value)) return true;
  std::string data = RegValueText(value);
  if (!IsFontFileMissing(data)) return true;
  if (IsIgnored(ignoreList, SectionCaption, sectionKey, name)) return false;
  SectionCommon::AddMissingPathFinding(
      contents, countLabel,
      {.KeyPath = sectionKey, .ShortName = "Fonts", .ValueName = name, .Value = data, .UnnamedValue = name.empty()},
      name, data, data);
  return true;
}

void ScanFonts(int, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
               TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  contents.Clear();
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  if (root == nullptr || !reg.OpenKey(keyPath, false)) return;
  const std::string sectionKey = Format("%s\\%s", RootKeyName(root), keyPath);
  TValueReader values(reg.CurrentKey());
  std::string name;
  TRegValue value;
  while (values.Next(name, value)) {
    if (ScanStopRequested()) break;
    SectionCommon::ShowItem(currentItem, reg.CurrentPath() + name);
    TickItemsProcessed();
    if (!CheckFontValue(sectionKey, name, value, countLabel, ignoreList, contents)) continue;   // no message pumping either
    ProcessMessages();
  }
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  TRegValue value;
  if (!check.ReadValue(RepairStyle.Form, finding, value)) return false;
  CheckFontValue(finding.KeyPath, SectionCommon::ListedValueName(finding), value, nullptr, check.NoExclusions,
                 check.Found);
  return check.Gives(finding);
}

void RepairFonts(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                 TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace WindowsFontsUnit
