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

// One key name of a path and where it ends in the path.
struct TPathName {
  std::string Name;
  size_t End;
};

std::vector<TPathName> PathNames(const std::string& keyPath) {
  std::vector<TPathName> names;
  for (size_t start = 0; start <= keyPath.size();) {
    size_t end = keyPath.find('\\', start);
    if (end == std::string::npos) end = keyPath.size();
    names.push_back({keyPath.substr(start, end - start), end});
    start = end + 1;
  }
  return names;
}

// In a classes hive an empty key often is the registration itself: a class's "Control",
// "Programmable" or "Insertable" key, the category keys under its "Implemented Categories" and
// "Required Categories", a program identifier's "Insertable", a shell extension handler
// registered by its key's name. Such keys are never reported.
//
// True when keyPath lies below the entry of a class in a classes hive (a user's "<sid>_Classes"
// hive, or the "Software\Classes" key of a user's hive, the path starting at the user's hive or
// inside it): below "CLSID\{id}" (also in the 32-bit view "Wow6432Node"), below a program
// identifier (an entry that names its class in a "CLSID" subkey), or below the "shellex" key of
// any entry.
bool InsideClassEntry(HKEY root, const std::string& keyPath) {
  std::vector<TPathName> names = PathNames(keyPath);
  auto named = [&](size_t at, const char* name) { return at < names.size() && SameText(names[at].Name, name); };
  const std::string& first = names[0].Name;
  size_t entry;   // the index of the entry's name
  if (first.size() > 8 && SameText(first.substr(first.size() - 8), "_Classes")) entry = 1;
  else if (named(0, "Software") && named(1, "Classes")) entry = 2;
  else if (named(1, "Software") && named(2, "Classes")) entry = 3;
  else return false;
  if (named(entry, "Wow6432Node")) ++entry;
  if (names.size() < entry + 2) return false;   // the hive, or an entry itself
  if (named(entry, "CLSID")) return names.size() >= entry + 3;
  for (size_t i = entry + 1; i + 1 < names.size(); ++i)
    if (named(i, "shellex")) return true;
  TRegKeyHandle classKey;
  return classKey.Open(root, keyPath.substr(0, names[entry].End) + "\\CLSID", KEY_READ);
}

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
  if (InsideClassEntry(root, keyPath)) return;
  TKeyInfo info;   // a key with values is not empty, nor one that has subkeys by now
  if (!QueryKeyInfo(reg.CurrentKey(), info) || info.ValueCount != 0 || info.SubkeyCount != 0) return;
  std::string keyText = RootKeyName(root) + "\\" + keyPath;
  if (IsIgnored(ignoreList, SectionCaption, keyText, "")) return;

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
