#include "SoundsUnit.h"

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace SoundsUnit {

using namespace PublicFunctionUnit;

// Reports the key's unnamed value when it holds a text.
static void CheckSoundValue(TRegistry& reg, const std::string& sectionKey, const std::string& name,
                            TCaptionTarget* countLabel, TIgnoreContents& ignoreList, TRegistryContents& contents) {
  std::string data;
  reg.ReadText(name, data);
  if (!name.empty() || data.empty()) return;
  if (IsIgnored(ignoreList, SectionCaption, sectionKey, "")) return;
  SectionCommon::AddMissingPathFinding(contents, countLabel,
                                       {.KeyPath = sectionKey, .ShortName = "Sounds", .ValueName = "default",
                                        .Value = data, .UnnamedValue = true},
                                       "default", data, data);
  TickItemsProcessed();
}

void ScanSounds(int, TCaptionTarget*, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  if (root == nullptr || !reg.OpenKey(keyPath, false)) return;
  TStringList names;
  reg.GetValueNames(names);
  const std::string sectionKey = Format("%s\\%s", RootKeyName(root), keyPath);
  for (const std::string& name : names.Items) CheckSoundValue(reg, sectionKey, name, countLabel, ignoreList, contents);
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  TRegistry reg(KEY_READ);
  if (!check.OpenKey(finding, reg)) return false;
  CheckSoundValue(reg, finding.KeyPath, SectionCommon::ListedValueName(finding), nullptr, check.NoExclusions,
                  check.Found);
  return check.Gives(finding);
}

void RepairSounds(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                  TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace SoundsUnit
