// What every scan section shares: adding a finding, saying what a finding's repair removes,
// and the repair walk over a section's ticked findings.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"

namespace SectionCommon {

// Appends a finding: Checked from the SelectAll setting and the next problem number. The caller
// fills the texts, then calls ShowCount.
TContent& NewFinding(TRegistryContents& contents);
// The section's count label shows the collection's count ("%d").
void ShowCount(TCaptionTarget* countLabel, const TRegistryContents& contents);
// A subkey's path below the walk's root: the key path, "\" and the name, or the bare name when
// the key path is empty (the root itself).
std::string ChildKeyPath(const std::string& keyPath, const std::string& name);

// How a section's repair addresses what a finding names.
enum class TRepairForm {
  Value,             // the value ValueName under KeyPath ("default": the unnamed value)
  ValueByShortName,  // the value ShortName under KeyPath
  Key,               // the key KeyPath with all its subkeys
  KeyOrValue,        // Key when the finding's Value is "key", else Value
  File,              // the file KeyPath (moved to the recycle bin)
};

enum class TRemovalKind { None, Value, Key, File };

// Exactly what one repair removes: a value (root, key, name), a key with its subtree, or a file.
struct TRemoval {
  TRemovalKind Kind = TRemovalKind::None;
  HKEY Root = nullptr;
  std::string RootName;    // "HKEY_LOCAL_MACHINE", ...
  std::string SubKey;      // the key below the root, without a leading "\"
  std::string ValueName;   // "" is the unnamed value
  std::string File;
};

TRemoval RepairRemoval(TRepairForm form, const TContent& finding);
// Carries the removal out; true when it happened.
bool ExecuteRemoval(const TRemoval& removal);
// True while what the removal names is still there (the value, the key, the file).
bool RemovalTargetExists(const TRemoval& removal);

// How the status label and the log line name a finding.
enum class TStatusText { FullKeyPath, WithoutRootName };

// How a section repairs: each scanner unit declares its one RepairStyle, which its repair routine
// walks with and the section table gives the backup (Form).
struct TRepairStyle {
  TRepairForm Form = TRepairForm::Value;
  bool MessagesPerFinding = false;   // pump window messages before each finding
  bool ErrorsEndSilently = false;    // an error ends the walk, keeping the log lines so far
  TStatusText Status = TStatusText::FullKeyPath;
  // For sections whose findings overlap (a key and the values under it): a finding whose value
  // or key is no longer there after the attempt counts as repaired.
  bool GoneCountsAsRepaired = false;
};

inline constexpr const char* RepairedText = "Repaired Successfully";
inline constexpr const char* RepairFailedText = "Repair Failed";

// The repair walk: for each ticked finding (stopping when a stop of the repair is requested)
// show it, remove what it names, log the outcome and update the finish list's count. A target
// that is gone because an earlier line of the same log removed it (the same value, or a key
// holding it; the current user's tree by either of its names) counts as repaired: the sections
// of one repair share the log, and several sections report the same values.
void RepairFindings(const TRepairStyle& style, TCaptionTarget& status, TListCountTarget& finishList,
                    TRegistryContents& contents, TRepairContents& log);

// The names of a finding: what its repair and its exclusion address.
struct TFindingNames {
  std::string KeyPath;
  std::string ShortName;
  std::string ValueName;
  std::string Value;
};

// Adds a finding about a missing or invalid path (NewFinding, the names given) with the texts
// " Key Path:" + KeyPath, " ValueName:" + valueNameText, " Value:" + valueText, the fault
// " The file (" + file + ") does not exist at the specified location", the description
// "The Key " + file + " under " + KeyPath + " contains a bad path for the value" and the kind
// "Missing or Invalid Path"; the count label shows the new count.
TContent& AddMissingPathFinding(TRegistryContents& contents, TCaptionTarget* countLabel, const TFindingNames& names,
                                const std::string& valueNameText, const std::string& valueText,
                                const std::string& file);

// Shows the entry being examined on the current-item control, when there is one.
void ShowItem(TCaptionTarget* currentItem, const std::string& text);

// A path the scan leaves unjudged: on a network path, a floppy or a drive that is not fixed.
bool OutOfReach(const std::string& path);

// The current user's key name under HKEY_USERS (the user's security identifier); "" when the
// process token cannot tell.
std::string CurrentUserKeyName();

// Every subkey name of root\path the enumeration can read, in its order; an index whose read
// fails is passed over. Empty when the key does not open.
std::vector<std::string> ListSubkeyNames(HKEY root, const std::string& path);

}  // namespace SectionCommon
