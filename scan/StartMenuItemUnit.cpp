#include "StartMenuItemUnit.h"

#include "../framework/Registry.h"
#include "PublicFunctionUnit.h"

namespace StartMenuItemUnit {

using namespace PublicFunctionUnit;

namespace {

TContent& AddFinding(TRegistryContents& contents, const std::string& keyText, const std::string& subkey) {
  TContent& c = SectionCommon::NewFinding(contents);
  c.KeyPath = keyText;
  c.ShortName = subkey;
  c.ValueName = "default";
  c.UnnamedValue = true;
  c.DescriptionLine = "The Key default under " + keyText + " contains a bad path for the value";
  c.ProblemKind = "Missing or Invalid Path";
  return c;
}

void FillDetailLines(TContent& c) {
  c.KeyPathLine = " Key Path:" + c.KeyPath;
  c.ValueNameLine = " ValueName:" + c.ValueName;
  c.ValueLine = " Value:Empty";
  c.FaultLine = " The key does not exist at the specified location";
}

}  // namespace

void ScanStartMenuItems(int /*sectionIndex*/, TCaptionTarget* /*currentItem*/, TCaptionTarget* countLabel,
                        TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                        HKEY root) {
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + keyPath, false)) return;
  TStringList subkeys;
  reg.GetKeyNames(subkeys);
  reg.CloseKey();
  std::string base = RootKeyName(root) + "\\" + keyPath + "\\";

  for (const std::string& s : subkeys.Items) {
    std::string k = base + s;
    if (IsIgnored(ignoreList, SectionCaption, k, "")) continue;
    TContent& c = AddFinding(contents, k, s);
    c.Value = "key";
    FillDetailLines(c);
    SectionCommon::ShowCount(countLabel, contents);
    TickItemsProcessed();
  }

  for (const std::string& s : subkeys.Items) {
    if (!reg.OpenKey("\\" + keyPath + "\\" + s, false)) continue;
    TStringList values;
    reg.GetValueNames(values);
    reg.CloseKey();
    std::string k = base + s;
    for (const std::string& v : values.Items) {
      if (!IsIgnored(ignoreList, SectionCaption, k, "")) {
        AddFinding(contents, k, s);   // the plain finding carries no detail lines
        SectionCommon::ShowCount(countLabel, contents);
      }
      if (!IsIgnored(ignoreList, SectionCaption, k, v)) {
        TContent& c = AddFinding(contents, k, s);
        c.ValueName = v;
        c.UnnamedValue = v.empty();
        FillDetailLines(c);
        SectionCommon::ShowCount(countLabel, contents);
        TickItemsProcessed();
      }
    }
  }
}

void RepairStartMenuItems(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                          TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log);
}

}  // namespace StartMenuItemUnit
