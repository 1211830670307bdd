#include "SectionCommon.h"

#include <set>
#include <string_view>

#include "../framework/Exceptions.h"
#include "../framework/ListedEntry.h"
#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"

namespace SectionCommon {

using namespace PublicFunctionUnit;

TContent& NewFinding(TRegistryContents& contents) {
  TContent& c = contents.GetItem(contents.Add()).Content;
  c.Checked = MyRegistryInfo.SelectAll;
  ++ProblemNumber;
  c.Number = ProblemNumber;
  return c;
}

void ShowCount(TCaptionTarget* countLabel, const TRegistryContents& contents) {
  if (countLabel != nullptr) countLabel->SetCaption(Format("%d", contents.Count()));
}

std::string ChildKeyPath(const std::string& keyPath, const std::string& name) {
  return keyPath.empty() ? name : keyPath + "\\" + name;
}

HKEY SplitChildKeyPath(const std::string& fullPath, const std::string& name, std::string& parent) {
  std::string path;
  HKEY root = SplitRegistryPath(fullPath, path);
  parent.clear();
  if (root == nullptr || path == name) return root;
  const std::string tail = "\\" + name;
  if (!path.ends_with(tail)) return nullptr;
  parent = path.substr(0, path.size() - tail.size());
  return root;
}

std::string ListedValueName(const TContent& finding) {
  return finding.UnnamedValue ? std::string() : finding.ValueName;
}

TRemoval RepairRemoval(TRepairForm form, const TContent& finding) {
  TRemoval r;
  if (form == TRepairForm::File) {
    r.Kind = TRemovalKind::File;
    r.File = finding.KeyPath;
    return r;
  }
  r.Root = SplitRegistryPath(finding.KeyPath, r.SubKey);
  if (r.Root == nullptr) return r;
  if (r.Root == HKEY_CLASSES_ROOT) {
    r.ThroughClassesRoot = true;
    r.ClassesSubKey = r.SubKey;
    r.Root = finding.RealKeyPath.empty() ? RealClassesKey(r.ClassesSubKey, r.SubKey)
                                         : SplitRegistryPath(finding.RealKeyPath, r.SubKey);
    if (r.Root == nullptr) return r;
  }
  r.RootName = RootKeyName(r.Root);
  if (form == TRepairForm::KeyOrNothing && finding.Value != "key") {
    r.Kind = TRemovalKind::Nothing;
    return r;
  }
  switch (form) {
    case TRepairForm::KeyOrNothing:
    case TRepairForm::Key:
      // never a whole root
      if (!(r.ThroughClassesRoot ? r.ClassesSubKey : r.SubKey).empty()) r.Kind = TRemovalKind::Key;
      break;
    case TRepairForm::ValueByShortName:
      r.Kind = TRemovalKind::Value;
      r.ValueName = finding.ShortName;
      break;
    default:
      r.Kind = TRemovalKind::Value;
      r.ValueName = ListedValueName(finding);
      break;
  }
  return r;
}

void PinRealKey(TContent& finding) {
  std::string subKey, realSubKey;
  if (!finding.RealKeyPath.empty() || SplitRegistryPath(finding.KeyPath, subKey) != HKEY_CLASSES_ROOT) return;
  HKEY root = RealClassesKey(subKey, realSubKey);
  finding.RealKeyPath = RootKeyName(root) + "\\" + realSubKey;
}

bool StillVisibleThroughClassesRoot(const TRemoval& removal) {
  if (!removal.ThroughClassesRoot) return false;
  TRemoval view = removal;
  view.Root = HKEY_CLASSES_ROOT;
  view.RootName = RootKeyName(HKEY_CLASSES_ROOT);
  view.SubKey = removal.ClassesSubKey;
  return RemovalTargetExists(view);
}

std::string NamedTarget(const std::string& shown, const TRemoval& removal) {
  if (removal.Kind != TRemovalKind::Value) return shown;
  return shown + " (" + (removal.ValueName.empty() ? std::string("default") : removal.ValueName) + ")";
}

// Carries the removal out; binRefused tells a file left because the recycle bin cannot take it.
static bool Execute(const TRemoval& removal, bool& binRefused) {
  binRefused = false;
  switch (removal.Kind) {
    case TRemovalKind::Value:
    {
      TRegistry reg;
      reg.RootKey = removal.Root;
      if (!reg.OpenKey("\\" + removal.SubKey, false)) return false;   // a vanished key stays gone
      return reg.DeleteValue(removal.ValueName);
    }
    case TRemovalKind::Key:
      return DeleteRegistryKey(removal.Root, "\\" + removal.SubKey);
    case TRemovalKind::File: {
      if (!FileExists(removal.File)) return false;
      auto outcome = ListedEntry::Recycle(ExtractFilePath(removal.File), ExtractFileName(removal.File));
      binRefused = outcome == ListedEntry::TRecycleOutcome::BinCannotTake;
      return outcome == ListedEntry::TRecycleOutcome::Recycled && !FileExists(removal.File);
    }
    default:
      return false;
  }
}

bool ExecuteRemoval(const TRemoval& removal) {
  bool binRefused;
  return Execute(removal, binRefused);
}

bool RemovalTargetExists(const TRemoval& removal) {
  switch (removal.Kind) {
    case TRemovalKind::Value: {
      TRegistry reg(KEY_READ);
      reg.RootKey = removal.Root;
      return reg.OpenKey("\\" + removal.SubKey, false) && reg.ValueExists(removal.ValueName);
    }
    case TRemovalKind::Key: {
      TRegKeyHandle key;
      return key.Open(removal.Root, removal.SubKey);
    }
    case TRemovalKind::File:
      return FileExists(removal.File);
    default:
      return false;
  }
}

// The removal's target as repairs compare them: a key is its identity (KeyIdentity) with a
// backslash after it, a value its key's identity, two backslashes (which no key path holds) and
// its upper-cased name, a file its upper-cased path. Empty when the removal names nothing.
static std::string RemovalTargetText(const TRemoval& removal) {
  switch (removal.Kind) {
    case TRemovalKind::Value:
      return KeyIdentity(removal.Root, removal.SubKey) + "\\\\" + AnsiUpperCase(removal.ValueName);
    case TRemovalKind::Key:
      return KeyIdentity(removal.Root, removal.SubKey) + "\\";
    case TRemovalKind::File:
      return AnsiUpperCase(removal.File);
    default:
      return {};
  }
}

// True when a line of the log removed the target: the same value, or a key holding the target.
static bool RemovedEarlier(const TRepairContents& log, const TRemoval& removal, const std::string& target) {
  if (target.empty()) return false;
  std::string key = removal.Kind == TRemovalKind::File ? std::string()
                                                       : KeyIdentity(removal.Root, removal.SubKey) + "\\";
  for (int i = 0; i < log.Count(); ++i) {
    const std::string& removed = log.GetItem(i).Content.Removed;
    if (removed.empty()) continue;
    if (removed == target) return true;
    if (removed.back() == '\\' && key.compare(0, removed.size(), removed) == 0) return true;
  }
  return false;
}

namespace {

// The ignore list as its file read when it last changed.
struct TIgnoreSnapshot {
  std::string FileName;
  FILETIME Written{};   // the file's time stamp and size when it was read
  uint64_t Size = 0;
  FILETIME ReadAt{};
  bool Read = false;    // the list holds what the file held then
  TIgnoreContents List;
};

uint64_t Ticks(const FILETIME& time) { return ((uint64_t)time.dwHighDateTime << 32) | time.dwLowDateTime; }

// A file system keeps a file's time stamp in steps (two seconds on FAT): a file changed again
// within the step it was read in shows the same time stamp, so only a file that had not changed
// for longer than that when it was read is taken as unchanged by its time stamp and size.
bool SnapshotHolds(const TIgnoreSnapshot& snap, const std::string& file, const WIN32_FILE_ATTRIBUTE_DATA& data) {
  const uint64_t kStep = 3 * 10000000ull;   // three seconds, in the file time's 100 ns
  uint64_t size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
  return snap.Read && snap.FileName == file && snap.Size == size && Ticks(snap.Written) == Ticks(data.ftLastWriteTime) &&
         Ticks(snap.ReadAt) > Ticks(snap.Written) + kStep;
}

// Brings the snapshot up to the file as it is now; false when that cannot be told.
bool RefreshIgnoreSnapshot(TIgnoreSnapshot& snap) {
  std::string file = IgnoreFileName();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(file).c_str(), GetFileExInfoStandard, &data)) {
    DWORD error = GetLastError();
    snap.Read = false;
    snap.List.Clear();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;   // no file: no exclusions
  }
  if (SnapshotHolds(snap, file, data)) return true;
  snap.Read = false;
  GetSystemTimeAsFileTime(&snap.ReadAt);
  try {
    LoadIgnoreList(snap.List);
  } catch (const EInOutError&) {
    snap.List.Clear();
    return false;
  }
  snap.FileName = file;
  snap.Written = data.ftLastWriteTime;
  snap.Size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
  snap.Read = true;
  return true;
}

}  // namespace

// The ignore list as its file reads now; null when the file is there but cannot be read.
static TIgnoreContents* IgnoreListNow() {
  static TIgnoreSnapshot snapshot;
  return RefreshIgnoreSnapshot(snapshot) ? &snapshot.List : nullptr;
}

TExclusion ExclusionNow(const TContent& finding) {
  TIgnoreContents* list = IgnoreListNow();
  if (list == nullptr) return TExclusion::Unknown;
  return ListExcludes(*list, finding) ? TExclusion::Excluded : TExclusion::None;
}

TExclusion ExclusionNow(const TContent& finding, const TRemoval& removal) {
  TExclusion exclusion = ExclusionNow(finding);
  if (exclusion != TExclusion::None || removal.Kind != TRemovalKind::Key) return exclusion;
  TIgnoreContents* list = IgnoreListNow();
  if (list == nullptr) return TExclusion::Unknown;
  return ListNamesEntryWithin(*list, KeyIdentity(removal.Root, removal.SubKey)) ? TExclusion::Excluded
                                                                                 : TExclusion::None;
}

bool ListExcludes(TIgnoreContents& list, const TContent& finding) {
  return ListNamesEntry(list, finding.KeyPath, ListedValueName(finding));
}

bool DropRepeatedFindings(TRepairForm form, TRegistryContents& contents) {
  std::set<std::string> seen;
  bool dropped = false;
  for (int i = 0; i < contents.Count();) {
    const TContent& finding = contents.GetItem(i).Content;
    std::string target = RemovalTargetText(RepairRemoval(form, finding));
    // a finding whose target cannot be named is never taken for another
    if (!target.empty() &&
        !seen.insert(target + '\n' + ListedValueName(finding) + '\n' + finding.FaultLine).second) {
      contents.Delete(i);
      dropped = true;
      continue;
    }
    ++i;
  }
  return dropped;
}

static std::string StatusText(TStatusText mode, const TContent& finding) {
  if (mode == TStatusText::FullKeyPath) return finding.KeyPath;
  std::string sub;
  if (SplitRegistryPath(finding.KeyPath, sub) == nullptr) return finding.KeyPath;
  return "\\" + sub;
}

// What became of one ticked finding. existedAtStart: its target was there when the section's
// repair began (for sections whose findings overlap, a target gone since then was taken by an
// earlier finding of the same walk).
static const char* RepairOne(const TRepairStyle& style, const TContent& finding, bool existedAtStart,
                             const TRepairContents& log, const TStillFound& stillFound, std::string& removed) {
  if (finding.ExcludedAtBackup) return ExcludedText;
  TRemoval removal = RepairRemoval(style.Form, finding);
  switch (ExclusionNow(finding, removal)) {
    case TExclusion::Excluded: return ExcludedText;
    case TExclusion::Unknown: return IgnoreListUnreadText;
    case TExclusion::None: break;
  }
  if (removal.Kind == TRemovalKind::None) return RepairFailedText;
  if (removal.Kind == TRemovalKind::Nothing) return RepairedText;   // logged only
  std::string target = RemovalTargetText(removal);
  auto takenInThisRepair = [&] {
    return (style.GoneCountsAsRepaired && existedAtStart) || RemovedEarlier(log, removal, target);
  };
  bool done;
  if (!RemovalTargetExists(removal)) {
    if (!takenInThisRepair()) return ChangedSinceScanText;   // gone since the scan, not by this repair
    done = true;
  } else if (stillFound && !stillFound(finding)) {
    return ChangedSinceScanText;
  } else {
    bool binRefused;
    done = Execute(removal, binRefused) || (!RemovalTargetExists(removal) && takenInThisRepair());
    if (binRefused && !done) return BinCannotTakeText;
  }
  if (!done) return RepairFailedText;
  removed = target;
  return StillVisibleThroughClassesRoot(removal) ? OtherCopyText : RepairedText;
}

static void RepairWalk(const TRepairStyle& style, TCaptionTarget& status, TListCountTarget& finishList,
                       TRegistryContents& contents, TRepairContents& log, const TStillFound& stillFound) {
  int count = contents.Count();
  for (int i = 0; i < count; ++i)
    if (contents.GetItem(i).Content.Checked) PinRealKey(contents.GetItem(i).Content);
  std::vector<bool> existedAtStart(count, false);
  if (style.GoneCountsAsRepaired)
    for (int i = 0; i < count; ++i) {
      const TContent& finding = contents.GetItem(i).Content;
      existedAtStart[i] = finding.Checked && RemovalTargetExists(RepairRemoval(style.Form, finding));
    }
  for (int i = 0; i < count; ++i) {
    if (style.MessagesPerFinding) ProcessMessages();
    if (RepairStopRequested()) return;
    const TContent& finding = contents.GetItem(i).Content;
    if (!finding.Checked) continue;
    std::string shown = StatusText(style.Status, finding);
    status.SetCaption(shown);
    int line = log.Add();
    log.GetItem(line).Content.KeyPath = shown;
    std::string removed;
    const char* outcome = RepairOne(style, finding, existedAtStart[i], log, stillFound, removed);
    log.GetItem(line).Content.Status = outcome;
    // a line that was left names the value too
    if (std::string_view(outcome) != RepairedText)
      log.GetItem(line).Content.KeyPath = NamedTarget(shown, RepairRemoval(style.Form, finding));
    log.GetItem(line).Content.Removed = removed;
    finishList.SetItemCount(log.Count());
    finishList.Invalidate();
  }
}

void RepairFindings(const TRepairStyle& style, TCaptionTarget& status, TListCountTarget& finishList,
                    TRegistryContents& contents, TRepairContents& log, const TStillFound& stillFound) {
  if (!style.ErrorsEndSilently) {
    RepairWalk(style, status, finishList, contents, log, stillFound);
    return;
  }
  try {
    RepairWalk(style, status, finishList, contents, log, stillFound);
  } catch (...) {
  }
}

TRecheck::TRecheck()
    : problemNumber_(ProblemNumber), itemsProcessed_(ItemsProcessed), visitedKeys_(VisitedKeyCount),
      bar_(ItemsProcessedBar), label_(ItemsProcessedLabel) {
  ItemsProcessedBar = nullptr;
  ItemsProcessedLabel = nullptr;
}

TRecheck::~TRecheck() {
  ProblemNumber = problemNumber_;
  ItemsProcessed = itemsProcessed_;
  VisitedKeyCount = visitedKeys_;
  ItemsProcessedBar = bar_;
  ItemsProcessedLabel = label_;
}

bool TRecheck::Gives(const TContent& finding) const {
  for (int i = 0; i < Found.Count(); ++i) {
    const TContent& now = Found.GetItem(i).Content;
    if (now.KeyPath == finding.KeyPath && now.ShortName == finding.ShortName && now.ValueName == finding.ValueName &&
        now.UnnamedValue == finding.UnnamedValue && now.Value == finding.Value && now.FaultLine == finding.FaultLine)
      return true;
  }
  return false;
}

bool TRecheck::OpenKey(const TContent& finding, TRegistry& reg) {
  std::string subKey;
  reg.RootKey = SplitRegistryPath(finding.KeyPath, subKey);
  return reg.RootKey != nullptr && reg.OpenKey("\\" + subKey, false);
}

bool TRecheck::ReadValue(TRepairForm form, const TContent& finding, TRegValue& value) {
  TRemoval removal = RepairRemoval(form, finding);
  if (removal.Kind != TRemovalKind::Value) return false;
  TRegistry reg(KEY_READ);
  reg.RootKey = removal.Root;
  return reg.OpenKey("\\" + removal.SubKey, false) && reg.ReadValue(removal.ValueName, value);
}

TContent& AddMissingPathFinding(TRegistryContents& contents, TCaptionTarget* countLabel, const TFindingNames& names,
                                const std::string& valueNameText, const std::string& valueText,
                                const std::string& file) {
  TContent& c = NewFinding(contents);
  c.KeyPath = names.KeyPath;
  c.ShortName = names.ShortName;
  c.ValueName = names.ValueName;
  c.UnnamedValue = names.UnnamedValue;
  c.Value = names.Value;
  c.KeyPathLine = " Key Path:" + c.KeyPath;
  c.ValueNameLine = " ValueName:" + valueNameText;
  c.ValueLine = " Value:" + valueText;
  c.FaultLine = " The file (" + file + ") does not exist at the specified location";
  c.DescriptionLine = "The Key " + file + " under " + c.KeyPath + " contains a bad path for the value";
  c.ProblemKind = "Missing or Invalid Path";
  ShowCount(countLabel, contents);
  return c;
}

void ShowItem(TCaptionTarget* currentItem, const std::string& text) {
  if (currentItem != nullptr) currentItem->SetCaption(text);
}

std::vector<std::string> ListSubkeyNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  TSubkeyWalker walker(root, path);
  names.reserve(walker.Count());
  std::string name;
  for (DWORD i = 0; i < walker.Count(); ++i)
    if (walker.Name(i, name)) names.push_back(name);
  return names;
}

}  // namespace SectionCommon
