// What every scan section shares: adding a finding, saying what a finding's repair removes,
// and the repair walk over a section's ticked findings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "../framework/Outputs.h"
#include "../framework/Registry.h"
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
// The other way round, for a full key path (root name, "\" and the path below the root): the root,
// and in parent the key path that ChildKeyPath joined with name. Null when the path names no root
// or does not end in that name.
HKEY SplitChildKeyPath(const std::string& fullPath, const std::string& name, std::string& parent);

// How a section's repair addresses what a finding names.
enum class TRepairForm {
  Value,             // the value ValueName under KeyPath (the unnamed value when UnnamedValue)
  ValueByShortName,  // the value ShortName under KeyPath
  Key,               // the key KeyPath with all its subkeys
  KeyOrNothing,      // Key when the finding's Value is "key"; any other finding is logged, nothing removed
  File,              // the file KeyPath (moved to the recycle bin; left when the bin cannot take it)
};

enum class TRemovalKind {
  None,       // the finding names nothing the repair could remove
  Value,
  Key,
  File,
  Nothing,    // the section's repair logs the finding and removes nothing
};

// Exactly what one repair removes: a value (root, key, name), a key with its subtree, a file, or
// nothing at all.
struct TRemoval {
  TRemovalKind Kind = TRemovalKind::None;
  HKEY Root = nullptr;
  std::string RootName;    // "HKEY_LOCAL_MACHINE", ...
  std::string SubKey;      // the key below the root, without a leading "\"
  std::string ValueName;   // "" is the unnamed value
  std::string File;
  // Met through HKEY_CLASSES_ROOT: Root and SubKey name the key it lies in (the user's or the
  // machine's classes, RealClassesKey), ClassesSubKey the key as that merged view shows it.
  bool ThroughClassesRoot = false;
  std::string ClassesSubKey;
};

// What a finding names: for one met through HKEY_CLASSES_ROOT, at the key it lies in (pinned in
// RealKeyPath, or looked up now).
TRemoval RepairRemoval(TRepairForm form, const TContent& finding);
// Fixes the key a finding met through HKEY_CLASSES_ROOT lies in now, unless fixed already: the
// backup and the repair then address the same key whatever changes in between.
void PinRealKey(TContent& finding);
// True while the merged classes view still shows what a removal met through it named (the other
// copy: the machine's behind the user's).
bool StillVisibleThroughClassesRoot(const TRemoval& removal);
// A finding's line as the user reads what was left: its shown path and, for a value, the value's
// name in brackets ("default" the unnamed one).
std::string NamedTarget(const std::string& shown, const TRemoval& removal);
// The name of the value a finding means, as the registry lists it: "" for the key's unnamed value.
std::string ListedValueName(const TContent& finding);
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
  // For sections whose findings overlap (a key and the values under it, a value met twice): a
  // finding whose value or key was there when the section's repair began and is gone by its turn
  // counts as repaired.
  bool GoneCountsAsRepaired = false;
};

inline constexpr const char* RepairedText = "Repaired Successfully";
inline constexpr const char* RepairFailedText = "Repair Failed";
// A finding whose entry is gone or no longer gives it was left as it is; the finish page's line
// says why (in the width of its "Status" column).
inline constexpr const char* ChangedSinceScanText = "Changed since scan";
// A file the recycle bin cannot take (switched off, full, too small for it) was left as it is.
inline constexpr const char* BinCannotTakeText = "Bin cannot take it";
inline constexpr const char* ExcludedText = "In ignore list";            // excluded since the scan
inline constexpr const char* IgnoreListUnreadText = "Ignore list unreadable";   // cannot tell whether it is excluded
inline constexpr const char* OtherCopyText = "Other copy remains";         // the classes view still shows one

// Whether the ignore list, as its file reads at this moment, excludes what a finding names: an
// entry of any section that names its key (KeyIdentity) and its value (ListedValueName). Unknown
// when the file is there but cannot be read. The file is read again whenever it has changed.
enum class TExclusion { None, Excluded, Unknown };
TExclusion ExclusionNow(const TContent& finding);
// The same for a removal: besides the finding itself, a key removal is held back by an entry of
// the list that names the key or anything below it (the user excluded a value or key it holds).
TExclusion ExclusionNow(const TContent& finding, const TRemoval& removal);
// Whether an entry of the list, made in any section, names what the finding names.
bool ListExcludes(TIgnoreContents& list, const TContent& finding);

// Takes out of a section's findings each one that repeats an earlier one: the same target of its
// repair (a key under two names, KeyIdentity), the same value name and the same fault. True when
// any was taken out.
bool DropRepeatedFindings(TRepairForm form, TRegistryContents& contents);

// A section's own test of a finding's entry as the registry (or the disk) holds it now: true
// while it still gives that same finding. See TRecheck.
using TStillFound = std::function<bool(const TContent& finding)>;

// The repair walk: for each ticked finding (stopping when a stop of the repair is requested)
// show it, remove what it names, log the outcome and update the finish list's count. Just
// before the removal the finding is checked again: the ignore list must not exclude it
// (ExclusionNow), what it names must still be there, and stillFound (when given) must still give
// the finding; otherwise nothing is removed and the line, naming the value, says why it was
// left. A file the recycle bin cannot take is left as well, its line saying so
// (BinCannotTakeText): the shell would delete it for good. A target that is gone because an
// earlier line of the same log removed it (the same value, or a key holding it; a key by any of
// its names) counts as repaired: the sections of one repair share the log, and several sections
// report the same values. A removal met through HKEY_CLASSES_ROOT that leaves another copy in
// that view is not repaired (OtherCopyText).
void RepairFindings(const TRepairStyle& style, TCaptionTarget& status, TListCountTarget& finishList,
                    TRegistryContents& contents, TRepairContents& log, const TStillFound& stillFound = nullptr);

// Judging one finding again: a section's test of the finding's entry adds what it finds to
// Found, with no exclusions, as its scan would; Gives then tells whether that is the finding
// (the same names, the same value data). The scan's counters and progress display are left as
// they were.
class TRecheck {
 public:
  TRecheck();
  ~TRecheck();
  TRecheck(const TRecheck&) = delete;
  TRecheck& operator=(const TRecheck&) = delete;

  TRegistryContents Found;
  TIgnoreContents NoExclusions;
  bool Gives(const TContent& finding) const;
  // The finding's key (its KeyPath), opened for reading in reg.
  static bool OpenKey(const TContent& finding, TRegistry& reg);
  // The value the finding names (TRemoval of the form), read as the registry holds it now.
  static bool ReadValue(TRepairForm form, const TContent& finding, TRegValue& value);

 private:
  int32_t problemNumber_, itemsProcessed_, visitedKeys_;
  TProgressTarget* bar_;
  TCaptionTarget* label_;
};

// The names of a finding: what its repair and its exclusion address.
struct TFindingNames {
  std::string KeyPath;
  std::string ShortName;
  std::string ValueName;
  std::string Value;
  bool UnnamedValue = false;   // ValueName shows the key's unnamed value
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

// Every subkey name of root\path the enumeration can read, in its order; an index whose read
// fails is passed over. Empty when the key does not open.
std::vector<std::string> ListSubkeyNames(HKEY root, const std::string& path);

}  // namespace SectionCommon
