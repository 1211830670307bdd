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

// A font file the scan may judge: on a fixed local drive, not on a share or a floppy.
static bool IsCheckablePath(const std::string& path) {
  return Pos(":\\", path) == 2 && !SectionCommon::OutOfReach(path);
}

bool IsFontFileMissing(const std::string& data) {
  std::vector<std::string> files;
  for (const std::string& reading : PathJudgeUnit::ExpandedReadings(data)) files.push_back(FontFilePath(reading));
  return PathJudgeUnit::MissingInEveryReading(
      files, [](const std::string& file) { return IsCheckablePath(file) && PathJudgeUnit::FileMissing(file); });
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
    if (IsTextValue(value)) {
      std::string data = RegValueText(value);
      if (IsFontFileMissing(data)) {
        if (IsIgnored(ignoreList, SectionCaption, sectionKey, name)) continue;   // no message pumping either
        SectionCommon::AddMissingPathFinding(
            contents, countLabel, {.KeyPath = sectionKey, .ShortName = "Fonts", .ValueName = name, .Value = data}, name,
            data, data);
      }
    }
    ProcessMessages();
  }
}

void RepairFonts(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                 TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log);
}

}  // namespace WindowsFontsUnit
