#include "SectionCommon.h"

#include <sddl.h>
#include <shellapi.h>

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

TRemoval RepairRemoval(TRepairForm form, const TContent& finding) {
  TRemoval r;
  if (form == TRepairForm::File) {
    r.Kind = TRemovalKind::File;
    r.File = finding.KeyPath;
    return r;
  }
  r.Root = SplitRegistryPath(finding.KeyPath, r.SubKey);
  if (r.Root == nullptr) return r;
  r.RootName = RootKeyName(r.Root);
  if (form == TRepairForm::KeyOrValue) form = finding.Value == "key" ? TRepairForm::Key : TRepairForm::Value;
  switch (form) {
    case TRepairForm::Key:
      if (!r.SubKey.empty()) r.Kind = TRemovalKind::Key;   // never a whole root
      break;
    case TRepairForm::ValueByShortName:
      r.Kind = TRemovalKind::Value;
      r.ValueName = finding.ShortName;
      break;
    default:
      r.Kind = TRemovalKind::Value;
      r.ValueName = finding.ValueName == "default" ? std::string() : finding.ValueName;
      break;
  }
  return r;
}

bool ExecuteRemoval(const TRemoval& removal) {
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
      std::wstring from = Widen(removal.File);
      from.push_back(L'\0');   // the list ends with a second zero
      SHFILEOPSTRUCTW op{};
      op.wFunc = FO_DELETE;
      op.pFrom = from.c_str();
      op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
      return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted && !FileExists(removal.File);
    }
    default:
      return false;
  }
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

std::string CurrentUserKeyName() {
  static const std::string name = [] {
    std::string text;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return text;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<uint8_t> buffer(size);
    wchar_t* sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
      text = Narrow(sid);
      LocalFree(sid);
    }
    CloseHandle(token);
    return text;
  }();
  return name;
}

// A key path by the name it has under HKEY_USERS or HKEY_LOCAL_MACHINE, upper-cased.
static std::string FullKeyText(HKEY root, const std::string& subKey) {
  std::string rootText = RootKeyName(root);
  std::string user = CurrentUserKeyName();
  if (root == HKEY_CURRENT_USER && !user.empty()) rootText = "HKEY_USERS\\" + user;
  else if (root == HKEY_CLASSES_ROOT) rootText = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
  return AnsiUpperCase(subKey.empty() ? rootText : rootText + "\\" + subKey);
}

// The removal's target as repairs compare them: upper-cased, the current user's key and the
// classes root by their full names under HKEY_USERS and HKEY_LOCAL_MACHINE; a key ends with a
// backslash, a value is its key, "|" and its name. Empty when the removal names nothing.
static std::string RemovalTargetText(const TRemoval& removal) {
  switch (removal.Kind) {
    case TRemovalKind::Value:
      return FullKeyText(removal.Root, removal.SubKey) + "|" + AnsiUpperCase(removal.ValueName);
    case TRemovalKind::Key:
      return FullKeyText(removal.Root, removal.SubKey) + "\\";
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
                                                       : FullKeyText(removal.Root, removal.SubKey) + "\\";
  for (int i = 0; i < log.Count(); ++i) {
    const std::string& removed = log.GetItem(i).Content.Removed;
    if (removed.empty()) continue;
    if (removed == target) return true;
    if (removed.back() == '\\' && key.compare(0, removed.size(), removed) == 0) return true;
  }
  return false;
}

static std::string StatusText(TStatusText mode, const TContent& finding) {
  if (mode == TStatusText::FullKeyPath) return finding.KeyPath;
  std::string sub;
  if (SplitRegistryPath(finding.KeyPath, sub) == nullptr) return finding.KeyPath;
  return "\\" + sub;
}

static void RepairWalk(const TRepairStyle& style, TCaptionTarget& status, TListCountTarget& finishList,
                       TRegistryContents& contents, TRepairContents& log) {
  int count = contents.Count();
  for (int i = 0; i < count; ++i) {
    if (style.MessagesPerFinding) ProcessMessages();
    if (RepairStopRequested()) return;
    const TContent& finding = contents.GetItem(i).Content;
    if (!finding.Checked) continue;
    std::string shown = StatusText(style.Status, finding);
    status.SetCaption(shown);
    TRepairRec& line = log.GetItem(log.Add()).Content;
    line.KeyPath = shown;
    TRemoval removal = RepairRemoval(style.Form, finding);
    std::string target = RemovalTargetText(removal);
    bool done = ExecuteRemoval(removal);
    if (!done && removal.Kind != TRemovalKind::None && !RemovalTargetExists(removal))
      done = style.GoneCountsAsRepaired || RemovedEarlier(log, removal, target);
    line.Status = done ? RepairedText : RepairFailedText;
    if (done) line.Removed = target;
    finishList.SetItemCount(log.Count());
    finishList.Invalidate();
  }
}

void RepairFindings(const TRepairStyle& style, TCaptionTarget& status, TListCountTarget& finishList,
                    TRegistryContents& contents, TRepairContents& log) {
  if (!style.ErrorsEndSilently) {
    RepairWalk(style, status, finishList, contents, log);
    return;
  }
  try {
    RepairWalk(style, status, finishList, contents, log);
  } catch (...) {
  }
}

TContent& AddMissingPathFinding(TRegistryContents& contents, TCaptionTarget* countLabel, const TFindingNames& names,
                                const std::string& valueNameText, const std::string& valueText,
                                const std::string& file) {
  TContent& c = NewFinding(contents);
  c.KeyPath = names.KeyPath;
  c.ShortName = names.ShortName;
  c.ValueName = names.ValueName;
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

bool OutOfReach(const std::string& path) {
  return Pos("\\\\", path) > 0 || Pos("A:", AnsiUpperCase(path)) > 0 || !IsOnFixedDrive(NonFixedDrives, path);
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
