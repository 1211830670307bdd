#include "ActivexSection.h"

#include "../framework/Registry.h"
#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace ActivexSection {

using namespace PublicFunctionUnit;

namespace {

// True when the key's default value is an empty REG_SZ text.
bool HasEmptyDefault(HKEY key) {
  TRegValue value;
  return QueryRegValue(key, L"", value) && value.Type == REG_SZ && RegValueText(value).empty();
}

TContent& AddFinding(TRegistryContents& contents, const std::string& keyText) {
  TContent& c = SectionCommon::NewFinding(contents);
  c.KeyPath = keyText;
  c.ValueName = "default";
  c.UnnamedValue = true;
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

const char* const kServerKeyNames[] = {"InprocServer", "LocalServer32", "InprocServer32"};

bool IsServerKeyName(const std::string& name) {
  for (const char* server : kServerKeyNames)
    if (name == server) return true;
  return false;
}

// True when keyPath begins with the key names given (compared without regard to case); rest is
// then the path below them (empty for that key itself).
bool StartsWithKeys(const std::string& keyPath, const std::string& names, std::string& rest) {
  if (keyPath.size() < names.size() || !SameText(keyPath.substr(0, names.size()), names)) return false;
  if (keyPath.size() == names.size()) {
    rest.clear();
    return true;
  }
  if (keyPath[names.size()] != '\\') return false;
  rest = keyPath.substr(names.size() + 1);
  return true;
}

constexpr const char* kClassesKey = "Software\\Classes";

// Where a key of the walk lies in a user's classes: its path below the classes ("CLSID\{id}\...").
// The classes root shows the current user's classes over the machine's: a key met there lies in
// the user's classes when the user's hold it.
bool InUsersClasses(HKEY root, const std::string& keyPath, std::string& classesPath) {
  if (root == HKEY_CLASSES_ROOT) {
    classesPath = keyPath;
    TRegKeyHandle users;
    return users.Open(HKEY_CURRENT_USER, std::string(kClassesKey) + "\\" + keyPath, KEY_READ);
  }
  if (root == HKEY_CURRENT_USER) return StartsWithKeys(keyPath, kClassesKey, classesPath);
  if (root != HKEY_USERS) return false;
  size_t end = keyPath.find('\\');
  if (end == std::string::npos) return false;
  std::string hive = keyPath.substr(0, end);
  const std::string classesHive = "_Classes";
  if (hive.size() > classesHive.size() && SameText(hive.substr(hive.size() - classesHive.size()), classesHive)) {
    classesPath = keyPath.substr(end + 1);
    return true;
  }
  return StartsWithKeys(keyPath.substr(end + 1), kClassesKey, classesPath);
}

// An empty server key in a user's classes over a class the machine's classes register with a
// server is the system's way of switching that class off for the user (a shell extension, the
// new context menu): it is no fault.
bool SwitchesOffMachineServer(HKEY root, const std::string& keyPath) {
  std::string classesPath;
  if (!InUsersClasses(root, keyPath, classesPath)) return false;
  size_t last = classesPath.rfind('\\');
  if (last == std::string::npos) return false;
  std::string classKey = std::string(kClassesKey) + "\\" + classesPath.substr(0, last);
  for (const char* server : kServerKeyNames) {
    TRegKeyHandle key;
    TRegValue value;
    if (key.Open(HKEY_LOCAL_MACHINE, classKey + "\\" + server, KEY_READ) && QueryRegValue(key.Get(), L"", value) &&
        IsTextValue(value) && !RegValueText(value).empty())
      return true;
  }
  return false;
}

// Reports a help-folder ("HELPDIR") or server key whose default value is known to be an empty
// text, unless it switches a machine's server off for a user or is excluded.
void ReportEmptyDefault(TCaptionTarget* countLabel, HKEY root, const std::string& keyPath, const std::string& name,
                        TRegistryContents& contents, TIgnoreContents& ignoreList) {
  if (name != "HELPDIR" && SwitchesOffMachineServer(root, keyPath)) return;
  std::string keyText = RootKeyName(root) + "\\" + keyPath;
  if (IsIgnored(ignoreList, SectionCaption, keyText, "")) return;
  if (name == "HELPDIR")
    AddEmptyKeyFinding(countLabel, keyText, name, keyPath, name, contents);
  else
    AddEmptyKeyFinding(countLabel, keyText, name, "", "default", contents);
}

struct TComWalk {
  TCaptionTarget* CurrentItem;
  TCaptionTarget* CountLabel;
  TIgnoreContents& IgnoreList;
  TRegistryContents& Contents;
  HKEY Root;
};

// Subkeys the walk never enters: "AppID" subtrees, and the other registry view's copy of the
// classes ("Wow6432Node", in any letter case), which is no class of this view.
bool IsPassedOver(const std::string& name) { return name == "AppID" || SameText(name, "Wow6432Node"); }

// Recursive: walks the subkeys of an open key. Each subkey is opened once, for its test (which
// takes full access) and its own walk together; a key that refuses full access is still walked.
void WalkComKeys(const TComWalk& w, TSubkeyWalker& walker, const std::string& keyPath) {
  std::string name;
  for (DWORD i = 0; i < walker.Count(); ++i) {
    if (ScanStopRequested()) break;
    if (!walker.Name(i, name) || IsPassedOver(name)) continue;
    std::string child = SectionCommon::ChildKeyPath(keyPath, name);
    if (w.CurrentItem != nullptr) w.CurrentItem->SetCaption(child);
    TickItemsProcessed();
    TRegKeyHandle key;
    if ((name == "HELPDIR" || IsServerKeyName(name)) && key.Open(walker.Key(), name, KEY_ALL_ACCESS) &&
        HasEmptyDefault(key.Get()))
      ReportEmptyDefault(w.CountLabel, w.Root, child, name, w.Contents, w.IgnoreList);
    TKeyInfo info;
    if (key || key.Open(walker.Key(), name, KEY_READ)) {
      QueryKeyInfo(key.Get(), info);
      TSubkeyWalker subkeys(key, info.SubkeyCount);
      WalkComKeys(w, subkeys, child);
    }
    ProcessMessages();
  }
}

}  // namespace

void ScanComKeys(int /*sectionIndex*/, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                 TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  TSubkeyWalker walker(root, keyPath);
  if (!walker.Opened()) return;
  WalkComKeys({currentItem, countLabel, ignoreList, contents, root}, walker, keyPath);
}

// Reports a class entry whose type library (its TypeLib key's default value) is not registered.
// libs is opened at the first type library to look up, and kept.
static void CheckTypeLib(HKEY clsidKey, const std::string& id, TRegistry& libs, bool& libsTried, HKEY root,
                         TCaptionTarget* countLabel, TIgnoreContents& ignoreList, TRegistryContents& contents) {
  TRegKeyHandle typeLibKey;
  TRegValue value;
  if (!typeLibKey.Open(clsidKey, id + "\\TypeLib", KEY_ALL_ACCESS) || !QueryRegValue(typeLibKey.Get(), L"", value) ||
      value.Type != REG_SZ)
    return;
  std::string typeLib = RegValueText(value);
  if (typeLib.empty()) return;
  if (!libsTried) {
    libsTried = true;
    libs.OpenKey("\\TypeLib", false);
  }
  if (libs.CurrentKey() == nullptr) return;
  // A name holding "\\" cannot be a subkey's name, so it names no registered library.
  if (typeLib.find('\\') == std::string::npos && libs.KeyExists(typeLib)) return;

  std::string keyText = RootKeyName(root) + "\\CLSID\\" + id + "\\TypeLib";
  if (IsIgnored(ignoreList, SectionCaption, keyText, "")) return;
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

void ScanClsidTypeLibs(int /*sectionIndex*/, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                       TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& /*keyPath*/,
                       HKEY root) {
  TRegistry classes;
  classes.RootKey = HKEY_CLASSES_ROOT;
  if (!classes.OpenKey("\\CLSID", false)) return;
  TStringList ids;
  classes.GetKeyNames(ids);
  TRegistry libs;   // opened with the first type library to look up, and kept
  libs.RootKey = HKEY_CLASSES_ROOT;
  bool libsTried = false;
  for (const std::string& id : ids.Items) {
    ProcessMessages();
    if (ScanStopRequested()) return;
    std::string path = "CLSID\\" + id + "\\TypeLib";
    if (currentItem != nullptr) currentItem->SetCaption(path);
    TickItemsProcessed();

    CheckTypeLib(classes.CurrentKey(), id, libs, libsTried, root, countLabel, ignoreList, contents);
  }
}

// A type-library finding names its class entry's TypeLib key; any other finding a help-folder
// or server key.
static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  std::string keyPath;
  HKEY root = SplitRegistryPath(finding.KeyPath, keyPath);
  if (root == nullptr) return false;
  const std::string clsid = "CLSID\\", tail = "\\TypeLib";
  if (finding.ShortName == "TypeLib" && keyPath.starts_with(clsid) && keyPath.ends_with(tail) &&
      keyPath.size() > clsid.size() + tail.size()) {
    TRegistry classes, libs;
    classes.RootKey = libs.RootKey = HKEY_CLASSES_ROOT;
    bool libsTried = false;
    if (!classes.OpenKey("\\CLSID", false)) return false;
    CheckTypeLib(classes.CurrentKey(), keyPath.substr(clsid.size(), keyPath.size() - clsid.size() - tail.size()), libs,
                 libsTried, root, nullptr, check.NoExclusions, check.Found);
  } else {
    TRegKeyHandle key;
    if (key.Open(root, keyPath, KEY_ALL_ACCESS) && HasEmptyDefault(key.Get()))
      ReportEmptyDefault(nullptr, root, keyPath, finding.ShortName, check.Found, check.NoExclusions);
  }
  return check.Gives(finding);
}

void RepairComEntries(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                      TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace ActivexSection
