#include "ActivexSection.h"

#include "../framework/Registry.h"
#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace ActivexSection {

using namespace PublicFunctionUnit;

namespace {

// True when root\keyPath opens and its default value is an empty REG_SZ text.
bool HasEmptyDefault(HKEY root, const std::string& keyPath) {
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + keyPath, false)) return false;
  return reg.GetDataType("") == rdString && reg.ReadString("").empty();
}

TContent& AddFinding(TRegistryContents& contents, const std::string& keyText) {
  TContent& c = SectionCommon::NewFinding(contents);
  c.KeyPath = keyText;
  c.ValueName = "default";
  return c;
}

void AddEmptyKeyFinding(TCaptionTarget* countLabel, const std::string& keyText, const std::string& shortName,
                        const std::string& value, const std::string& describedName, TRegistryContents& contents) {
  TContent& c = AddFinding(contents, keyText);
  c.ShortName = shortName;
  c.Value = value;
  c.KeyPathLine = " Key Path:" + keyText;
  c.ValueNameLine = " ValueName:default";
  c.ValueLine = " Value:" + value;
  c.FaultLine = " The key is Emtpy";
  c.DescriptionLine = "The Key " + describedName + " under " + keyText + " is Empty";
  c.ProblemKind = "Empty Key: " + keyText;
  SectionCommon::ShowCount(countLabel, contents);
}

bool IsServerKeyName(const std::string& name) {
  return name == "InprocServer" || name == "LocalServer32" || name == "InprocServer32";
}

}  // namespace

void ScanComKeys(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                 TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  TSubkeyWalker walker(root, keyPath);
  if (!walker.Opened()) return;
  std::string name;
  for (DWORD i = 0; i < walker.Count(); ++i) {
    if (ScanState == 1) break;
    if (!walker.Name(i, name) || name == "AppID") continue;
    std::string child = SectionCommon::ChildKeyPath(keyPath, name);
    if (currentItem != nullptr) currentItem->SetCaption(child);
    TickItemsProcessed();
    if (name == "HELPDIR") CheckHelpDirKey(countLabel, root, child, contents, ignoreList);
    if (IsServerKeyName(name)) CheckServerKey(countLabel, root, child, name, contents, ignoreList);
    ScanComKeys(sectionIndex, currentItem, countLabel, ignoreList, contents, child, root);
    ProcessMessages();
  }
}

void CheckHelpDirKey(TCaptionTarget* countLabel, HKEY root, const std::string& keyPath, TRegistryContents& contents,
                     TIgnoreContents& ignoreList) {
  if (!HasEmptyDefault(root, keyPath)) return;
  std::string keyText = RootKeyName(root) + "\\" + keyPath;
  if (IsIgnored(ignoreList, SectionCaption, keyText, "default")) return;
  AddEmptyKeyFinding(countLabel, keyText, "HELPDIR", keyPath, "HELPDIR", contents);
}

void CheckServerKey(TCaptionTarget* countLabel, HKEY root, const std::string& keyPath, const std::string& serverName,
                    TRegistryContents& contents, TIgnoreContents& ignoreList) {
  if (!HasEmptyDefault(root, keyPath)) return;
  std::string keyText = RootKeyName(root) + "\\" + keyPath;
  if (IsIgnored(ignoreList, SectionCaption, keyText, "default")) return;
  AddEmptyKeyFinding(countLabel, keyText, serverName, "", "default", contents);
}

void ScanClsidTypeLibs(int /*sectionIndex*/, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                       TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& /*keyPath*/,
                       HKEY root) {
  TStringList ids;
  {
    TRegistry reg;
    reg.RootKey = HKEY_CLASSES_ROOT;
    if (!reg.OpenKey("\\CLSID", false)) return;
    reg.GetKeyNames(ids);
  }
  for (const std::string& id : ids.Items) {
    ProcessMessages();
    if (ScanState == 1) return;
    std::string path = "CLSID\\" + id + "\\TypeLib";
    if (currentItem != nullptr) currentItem->SetCaption(path);
    TickItemsProcessed();

    TRegistry reg;
    reg.RootKey = HKEY_CLASSES_ROOT;
    if (!reg.OpenKey("\\" + path, false) || reg.GetDataType("") != rdString) continue;
    std::string typeLib = reg.ReadString("");
    if (typeLib.empty()) continue;
    TRegistry libs;
    libs.RootKey = HKEY_CLASSES_ROOT;
    if (!libs.OpenKey("\\TypeLib", false)) continue;
    // A name holding "\" cannot be a subkey's name, so it names no registered library.
    if (typeLib.find('\\') == std::string::npos && libs.KeyExists(typeLib)) continue;

    std::string keyText = RootKeyName(root) + "\\" + path;
    if (IsIgnored(ignoreList, SectionCaption, keyText, "default")) continue;
    TContent& c = AddFinding(contents, keyText);
    c.ShortName = "TypeLib";
    c.Value = typeLib;
    c.KeyPathLine = "Key Path:" + keyText;
    c.ValueNameLine = "ValueName:default";
    c.ValueLine = "Value:" + typeLib;
    c.FaultLine = "The following App ID or CLSID doesn't exist";
    c.DescriptionLine = "The Key default under " + keyText + " contains a bad path for the value";
    c.ProblemKind = "Missing or Invalid Path";
    SectionCommon::ShowCount(countLabel, contents);
  }
}

void RepairComEntries(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                      TRepairContents& log) {
  SectionCommon::TRepairStyle style;
  style.Form = SectionCommon::TRepairForm::Key;
  style.MessagesPerFinding = true;
  style.ErrorsEndSilently = true;
  style.Status = SectionCommon::TStatusText::WithoutRootName;
  style.GoneCountsAsRepaired = true;   // a HELPDIR found inside a server key goes with it
  SectionCommon::RepairFindings(style, status, finishList, contents, log);
}

}  // namespace ActivexSection
