#include "FileAssociationsUnit.h"

#include <algorithm>
#include <optional>

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace FileAssociationsUnit {

using namespace PublicFunctionUnit;

void SplitClassKeyNames(TStringList& names, TStringList& extensions) {
  for (const char* pattern : {"*", "Directory", "Folder", "Drive", "Unknow"})
    std::erase_if(names.Items, [pattern](const std::string& n) { return n.find(pattern) != std::string::npos; });
  for (const std::string& n : names.Items)
    if (!n.empty() && n[0] == '.') extensions.Add(n);
  std::erase_if(names.Items, [](const std::string& n) { return !n.empty() && n[0] == '.'; });
}

void ListUserFileExts(TStringList& list) {
  for (const std::string& name : SectionCommon::ListSubkeyNames(HKEY_CURRENT_USER, UserFileExtsKey)) list.Add(name);
}

void LoadAssociationTargets(const TStringList& allKeyNames, TAssociationTargets& targets) {
  targets = {};
  for (const std::string& n : allKeyNames.Items) targets.UpperClassNames.push_back(AnsiUpperCase(n));
  ListUserFileExts(targets.UserFileExts);
  for (const std::string& entry : targets.UserFileExts.Items) {
    TRegKeyHandle key;
    if (!key.Open(HKEY_CURRENT_USER, std::string(UserFileExtsKey) + "\\" + entry + "\\OpenWithProgids")) continue;
    for (const std::string& progId : EnumValueNames(key.Get())) targets.UpperUserProgIds.push_back(AnsiUpperCase(progId));
  }
  std::sort(targets.UpperClassNames.begin(), targets.UpperClassNames.end());
  std::sort(targets.UpperUserProgIds.begin(), targets.UpperUserProgIds.end());
}

bool IsAssociationValid(const TAssociationTargets& targets, const std::string& extension, const std::string& progId) {
  std::string upperId = AnsiUpperCase(progId);
  if (std::binary_search(targets.UpperClassNames.begin(), targets.UpperClassNames.end(), upperId)) return true;
  if (targets.UserFileExts.Count() == 0) return false;
  return targets.UserFileExts.IndexOf(extension) >= 0 ||
         std::binary_search(targets.UpperUserProgIds.begin(), targets.UpperUserProgIds.end(), upperId);
}

// Reports an extension whose program identifier names no class.
static void CheckAssociation(HKEY root, const std::string& keyPath, const std::string& ext,
                             const TAssociationTargets& targets, TCaptionTarget* countLabel,
                             TIgnoreContents& ignoreList, TRegistryContents& contents) {
  const std::string extPath = SectionCommon::ChildKeyPath(keyPath, ext);
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + extPath, false)) return;
  std::string progId;
  reg.ReadText("", progId);
  const std::string keyText = RootKeyName(root) + "\\" + extPath;
  if (progId.empty() || Pos("\\", progId) != 0 || !IsOnFixedDrive(NonFixedDrives, progId) ||
      IsAssociationValid(targets, ext, progId) ||
      IsIgnored(ignoreList, SectionCaption, keyText, ""))
    return;
  SectionCommon::AddMissingPathFinding(contents, countLabel,
                                       {.KeyPath = keyText, .ShortName = ext, .ValueName = "default",
                                        .Value = progId, .UnnamedValue = true},
                                       "default", progId, progId);
}

void ScanFileAssociations(int, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                          TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  contents.Clear();
  TStringList classNames, extensions;
  classNames.Items = SectionCommon::ListSubkeyNames(root, keyPath);   // none when the key does not open
  // A class of any name makes an association valid, also one the split drops ("CompressedFolder").
  TAssociationTargets targets;
  LoadAssociationTargets(classNames, targets);
  SplitClassKeyNames(classNames, extensions);
  for (const std::string& ext : extensions.Items) {
    if (ScanStopRequested()) return;
    SectionCommon::ShowItem(currentItem, ext);
    TickItemsProcessed();
    CheckAssociation(root, keyPath, ext, targets, countLabel, ignoreList, contents);
    ProcessMessages();
  }
}

void RepairFileAssociations(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log) {
  // The classes are listed once for the repair, when the first finding is judged again.
  std::optional<TAssociationTargets> targets;
  auto stillFound = [&targets](const TContent& finding) {
    SectionCommon::TRecheck check;
    std::string keyPath;
    HKEY root = SectionCommon::SplitChildKeyPath(finding.KeyPath, finding.ShortName, keyPath);
    if (root == nullptr) return false;
    if (!targets) {
      TStringList classNames;
      classNames.Items = SectionCommon::ListSubkeyNames(root, keyPath);
      LoadAssociationTargets(classNames, targets.emplace());
    }
    CheckAssociation(root, keyPath, finding.ShortName, *targets, nullptr, check.NoExclusions, check.Found);
    return check.Gives(finding);
  };
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, stillFound);
}

}  // namespace FileAssociationsUnit
