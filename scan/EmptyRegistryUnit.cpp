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

struct TEmptyKeyWalk {
  TCaptionTarget* CurrentItem;
  TCaptionTarget* CountLabel;
  TIgnoreContents& IgnoreList;
  TRegistryContents& Contents;
  HKEY Root;
};

// Recursive: tests an open key when it has neither subkeys nor values, then walks its subkeys,
// each opened once relative to it.
void WalkEmptyKeys(const TEmptyKeyWalk& w, TRegKeyHandle& key, const std::string& keyPath) {
  TKeyInfo info;
  QueryKeyInfo(key.Get(), info);
  // A key with values is not empty; the test opens only the keys that may be.
  if (info.SubkeyCount == 0 && info.ValueCount == 0 && !keyPath.empty())
    CheckEmptyKey(w.CountLabel, w.Root, keyPath, w.Contents, w.IgnoreList);
  TSubkeyWalker walker(key, info.SubkeyCount);
  std::string name;
  for (DWORD i = 0; i < walker.Count(); ++i) {
    if (ScanStopRequested()) break;
    if (!walker.Name(i, name)) continue;
    std::string child = SectionCommon::ChildKeyPath(keyPath, name);
    if (w.CurrentItem != nullptr) w.CurrentItem->SetCaption(child);
    TickItemsProcessed();
    TRegKeyHandle childKey;
    if (!SameText(child, ".DEFAULT") && childKey.Open(walker.Key(), name, KEY_READ)) WalkEmptyKeys(w, childKey, child);
    ProcessMessages();
  }
}

}  // namespace

void ScanEmptyRegistryKeys(int /*sectionIndex*/, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                           TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                           HKEY root) {
  TRegKeyHandle key;
  if (!key.Open(root, keyPath, KEY_READ)) return;
  WalkEmptyKeys({currentItem, countLabel, ignoreList, contents, root}, key, keyPath);
}

void CheckEmptyKey(TCaptionTarget* countLabel, HKEY root, const std::string& keyPath, TRegistryContents& contents,
                   TIgnoreContents& ignoreList) {
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + keyPath, false)) return;
  for (const char* kept : kKeptPaths)
    if (keyPath == kept) return;
  if (AnsiUpperCase(keyPath).find("MIME") != std::string::npos) return;
  TKeyInfo info;   // a key with values is not empty, nor one that has subkeys by now
  if (!QueryKeyInfo(reg.CurrentKey(), info) || info.ValueCount != 0 || info.SubkeyCount != 0) return;
  std::string keyText = RootKeyName(root) + "\\" + keyPath;
  if (IsIgnored(ignoreList, SectionCaption, keyText, "", TUnnamedValueName::Default)) return;

  TContent& c = SectionCommon::NewFinding(contents);
  c.KeyPath = keyText;
  c.ShortName = keyPath;
  c.ValueName = "default";
  c.UnnamedValue = true;
  c.KeyPathLine = " Key Path:" + keyText;
  c.ValueNameLine = " ValueName:default";
  c.ValueLine = " Value: empty";
  c.FaultLine = " The key is empty key";
  c.DescriptionLine = "The Key default under " + keyText + " is Empty";
  c.ProblemKind = "Empty Key: " + keyText;
  SectionCommon::ShowCount(countLabel, contents);
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  std::string keyPath;
  HKEY root = SplitRegistryPath(finding.KeyPath, keyPath);
  if (root == nullptr) return false;
  CheckEmptyKey(nullptr, root, keyPath, check.Found, check.NoExclusions);
  return check.Gives(finding);
}

void RepairEmptyRegistryKeys(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                             TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace EmptyRegistryUnit
