#include "RecentlyFileUnit.h"

#include "../framework/Registry.h"
#include "PublicFunctionUnit.h"

namespace RecentlyFileUnit {

using namespace PublicFunctionUnit;

namespace {

void AddFinding(TRegistryContents& contents, TCaptionTarget* countLabel, HKEY root, const std::string& passKey,
                const std::string& keyText, const std::string& shortName, const std::string& valueName,
                const std::string& value, const std::string& valueLine, const std::string& recentText) {
  TContent& c = SectionCommon::NewFinding(contents);
  c.KeyPath = keyText;
  c.ShortName = shortName;
  c.ValueName = valueName;
  c.UnnamedValue = valueName.empty();
  c.Value = value;
  c.KeyPathLine = " Key Path:" + keyText;
  c.ValueNameLine = " ValueName:" + valueName;
  c.ValueLine = valueLine;
  c.FaultLine = " Recently Key:" + recentText;
  c.DescriptionLine = "The Key " + passKey + " under " + RootKeyName(root) + "\\" + passKey +
                      " contains a redundant or invalid registry key.";
  c.ProblemKind = "Redundant or Invalid Registry Key";
  SectionCommon::ShowCount(countLabel, contents);
  TickItemsProcessed();
}

// Reports one text value of the Run dialog's list, open in reg.
void CheckRunValue(TRegistry& reg, HKEY root, const std::string& keyText, const std::string& v,
                   TCaptionTarget* countLabel, TIgnoreContents& ignoreList, TRegistryContents& contents) {
  TRegValue raw;
  if (!reg.ReadValue(v, raw) || raw.Type != REG_SZ) return;
  if (IsIgnored(ignoreList, SectionCaption, keyText, v)) return;
  std::string d = RegValueText(raw);
  AddFinding(contents, countLabel, root, RunMruKey, keyText, "RunMRU", v, d, " Value:" + d, d);
}

// The Run dialog's entries are judged again by their text; every file-dialog entry is reported,
// so each stands while it is there.
bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  std::string path;
  HKEY root = SplitRegistryPath(finding.KeyPath, path);
  if (root == nullptr || !SameText(path, RunMruKey)) return true;
  TRegistry reg(KEY_READ);
  if (!check.OpenKey(finding, reg)) return false;
  CheckRunValue(reg, root, finding.KeyPath, finding.ValueName, nullptr, check.NoExclusions, check.Found);
  return check.Gives(finding);
}

}  // namespace

void ScanRecentFiles(int /*sectionIndex*/, TCaptionTarget* /*currentItem*/, TCaptionTarget* countLabel,
                     TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                     HKEY root) {
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  std::string rootName = RootKeyName(root);

  // The file dialogs' lists: every value of every subkey, whatever its type.
  TStringList lists;
  if (reg.OpenKey("\\" + keyPath, false)) {
    reg.GetKeyNames(lists);
    reg.CloseKey();
  }
  for (const std::string& s : lists.Items) {
    if (!reg.OpenKey("\\" + keyPath + "\\" + s, false)) continue;
    TStringList values;
    reg.GetValueNames(values);
    reg.CloseKey();
    std::string k = rootName + "\\" + keyPath + "\\" + s;
    for (const std::string& v : values.Items) {
      if (IsIgnored(ignoreList, SectionCaption, k, v)) continue;
      AddFinding(contents, countLabel, root, keyPath, k, s, v, "", " Value:Emtpy", v);
    }
  }

  // The Run dialog's list: its text values only.
  if (!reg.OpenKey(std::string("\\") + RunMruKey, false)) return;
  TStringList values;
  reg.GetValueNames(values);
  std::string r = rootName + "\\" + RunMruKey;
  for (const std::string& v : values.Items) CheckRunValue(reg, root, r, v, countLabel, ignoreList, contents);
}

void RepairRecentFiles(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                       TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace RecentlyFileUnit
