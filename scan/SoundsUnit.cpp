#include "SoundsUnit.h"

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace SoundsUnit {

using namespace PublicFunctionUnit;

void ScanSounds(int, TCaptionTarget*, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  if (root == nullptr || !reg.OpenKey(keyPath, false)) return;
  TStringList names;
  reg.GetValueNames(names);
  const std::string sectionKey = Format("%s\\%s", RootKeyName(root), keyPath);
  for (const std::string& name : names.Items) {
    std::string data;
    reg.ReadText(name, data);
    if (!name.empty() || data.empty()) continue;
    if (IsIgnored(ignoreList, SectionCaption, sectionKey, "default")) continue;
    SectionCommon::AddMissingPathFinding(
        contents, countLabel, {.KeyPath = sectionKey, .ShortName = "Sounds", .ValueName = "default", .Value = data},
        "default", data, data);
    TickItemsProcessed();
  }
}

void RepairSounds(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                  TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log);
}

}  // namespace SoundsUnit
