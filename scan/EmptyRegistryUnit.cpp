#include "EmptyRegistryUnit.h"

#include "../framework/Registry.h"
#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace EmptyRegistryUnit {

using namespace PublicFunctionUnit;

namespace {
// Class keys of the two service accounts, which are empty by nature.
const char* const kKeptPaths[] = {"S-1-5-19_Classes", "S-1-5-19\\Software\\Classes", "S-1-5-20_Classes",
                                  "S-1-5-20\\Software\\Classes"};
}  // namespace

void ScanEmptyRegistryKeys(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                           TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                           HKEY root) {
  TSubkeyWalker walker(root, keyPath);
  if (!walker.Opened()) return;
  if (walker.Count() == 0 && !keyPath.empty()) CheckEmptyKey(countLabel, root, keyPath, contents, ignoreList);
  std::string name;
  for (DWORD i = 0; i < walker.Count(); ++i) {
    if (ScanState == 1) break;
    if (!walker.Name(i, name)) continue;
    std::string child = SectionCommon::ChildKeyPath(keyPath, name);
    if (currentItem != nullptr) currentItem->SetCaption(child);
    TickItemsProcessed();
    if (!SameText(child, ".DEFAULT"))
      ScanEmptyRegistryKeys(sectionIndex, currentItem, countLabel, ignoreList, contents, child, root);
    ProcessMessages();
  }
}

void CheckEmptyKey(TCaptionTarget* countLabel, HKEY root, const std::string& keyPath, TRegistryContents& contents,
                   TIgnoreContents& ignoreList) {
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + keyPath, false)) return;
  for (const char* kept : kKeptPaths)
    if (keyPath == kept) return;
  if (AnsiUpperCase(keyPath).find("MIME") != std::string::npos) return;
  TStringList values;
  reg.GetValueNames(values);
  if (values.Count() != 0) return;
  std::string keyText = RootKeyName(root) + "\\" + keyPath;
  if (IsIgnored(ignoreList, SectionCaption, keyText, "default")) return;

  TContent& c = SectionCommon::NewFinding(contents);
  c.KeyPath = keyText;
  c.ShortName = keyPath;
  c.ValueName = "default";
  c.KeyPathLine = " Key Path:" + keyText;
  c.ValueNameLine = " ValueName:default";
  c.ValueLine = " Value: empty";
  c.FaultLine = " The key is empty key";
  c.DescriptionLine = "The Key default under " + keyText + " is Empty";
  c.ProblemKind = "Empty Key: " + keyText;
  SectionCommon::ShowCount(countLabel, contents);
}

void RepairEmptyRegistryKeys(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                             TRepairContents& log) {
  SectionCommon::TRepairStyle style;
  style.Form = SectionCommon::TRepairForm::Key;
  style.MessagesPerFinding = true;
  style.ErrorsEndSilently = true;
  SectionCommon::RepairFindings(style, status, finishList, contents, log);
}

}  // namespace EmptyRegistryUnit
