#include "UnitMalignantActiveXList.h"

#include <cstring>
#include <cwctype>
#include <set>

#include "../../app/MainUnitBackup.h"
#include "../../framework/Exceptions.h"
#include "../../framework/Registry.h"
#include "../../framework/StringList.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace UnitMalignantActiveX {

std::string LockRecordKey = std::string(PublicFunctionUnit::SettingsKey).substr(1) + "\\Locked ActiveX";

namespace {

// The object's key under HKEY_LOCAL_MACHINE.
std::wstring ObjectKey(const std::string& clsid) { return Widen(kCompatibilityKey + clsid); }

// The record's key of a view.
std::wstring RecordViewKey(const TKillBitView& view) { return Widen(LockRecordKey + "\\" + view.Name); }

bool HasKillBit(TFlagsState state, DWORD flags) { return state == TFlagsState::Dword && (flags & kKillBit) != 0; }

enum class TClearOutcome { NoKey, Cleared, Kept, Failed };

// Takes a kill bit the blocker set off an object in one view; other bits and values stay, and so
// does a flags value that is not a double word and a kill bit the blocker did not set. A record
// whose kill bit is gone meanwhile is dropped.
TClearOutcome ClearInView(TKillBitStore& store, const std::string& clsid, const TKillBitView& view) {
  if (!store.KeyExists(clsid, view)) {
    store.DropRecord(clsid, view);
    return TClearOutcome::NoKey;
  }
  DWORD flags = 0;
  TFlagsState state = store.ReadFlags(clsid, view, flags);
  if (state == TFlagsState::Unreadable) return TClearOutcome::Failed;
  if (!HasKillBit(state, flags)) {
    store.DropRecord(clsid, view);
    return TClearOutcome::Cleared;
  }
  TMade made = TMade::None;
  switch (store.ReadRecord(clsid, view, made)) {
    case TRecordState::Unreadable: return TClearOutcome::Failed;
    case TRecordState::None: return TClearOutcome::Kept;
    case TRecordState::Ours: break;
  }
  // The record goes first: a kill bit of ours that stays unrecorded is only ever left, while a
  // record left behind could one day take off a kill bit another program set.
  if (!store.DropRecord(clsid, view)) return TClearOutcome::Failed;
  flags &= ~kKillBit;
  bool madeValue = made == TMade::Value || made == TMade::Key;
  bool ok = flags == 0 && madeValue ? store.DeleteFlags(clsid, view, made == TMade::Key)
                                     : store.WriteFlags(clsid, view, flags);
  if (ok) return TClearOutcome::Cleared;
  store.WriteRecord(clsid, view, made);
  return TClearOutcome::Failed;
}

enum class TSetOutcome { Locked, NotADword, Failed };

// Sets the kill bit in every view where it is missing, each recorded as the blocker's before it
// is written. Every view is looked at first: a flags value of another kind in any of them leaves
// the object as it is.
TSetOutcome SetKillBit(TKillBitStore& store, const std::string& clsid) {
  std::vector<DWORD> flags(store.Views.size(), 0);
  std::vector<TFlagsState> states(store.Views.size());
  for (size_t i = 0; i < store.Views.size(); ++i) {
    states[i] = store.ReadFlags(clsid, store.Views[i], flags[i]);
    if (states[i] == TFlagsState::Unreadable) return TSetOutcome::Failed;
    if (states[i] == TFlagsState::Other) return TSetOutcome::NotADword;
  }
  for (size_t i = 0; i < store.Views.size(); ++i) {
    const TKillBitView& view = store.Views[i];
    if (HasKillBit(states[i], flags[i])) continue;   // locked already, by us or by another program
    TMade made = states[i] == TFlagsState::Dword ? TMade::Bit
                 : store.KeyExists(clsid, view)  ? TMade::Value
                                                 : TMade::Key;
    if (!store.WriteRecord(clsid, view, made)) return TSetOutcome::Failed;
    DWORD value = states[i] == TFlagsState::Dword ? flags[i] : 0;
    if (!store.WriteFlags(clsid, view, value | kKillBit)) {
      store.DropRecord(clsid, view);
      return TSetOutcome::Failed;
    }
  }
  return TSetOutcome::Locked;
}

// The flags value of an open key.
TFlagsState FlagsIn(HKEY key, DWORD& flags) {
  DWORD type = REG_NONE;
  uint8_t data[sizeof(DWORD) + 1];
  DWORD size = sizeof data;
  LONG rc = RegQueryValueExW(key, Widen(kFlagsValue).c_str(), nullptr, &type, data, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return TFlagsState::Absent;
  if (rc == ERROR_MORE_DATA) return TFlagsState::Other;   // longer than any double word
  if (rc != ERROR_SUCCESS) return TFlagsState::Unreadable;
  if (type != REG_DWORD || size != sizeof(DWORD)) return TFlagsState::Other;
  memcpy(&flags, data, sizeof flags);
  return TFlagsState::Dword;
}

// Opens (or creates) a key under HKEY_LOCAL_MACHINE in the view; the registry's result code, key
// null unless it is 0.
LONG OpenMachineKey(const std::wstring& path, const TKillBitView& view, REGSAM access, bool create, HKEY& key) {
  key = nullptr;
  access |= view.Flag;
  return create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &key, nullptr)
                : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key);
}

bool NotFound(LONG rc) { return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND; }

// Deletes a key (that holds no subkeys) under HKEY_LOCAL_MACHINE in the view.
LONG DeleteMachineKey(const std::wstring& path, const TKillBitView& view) {
  return view.Flag != 0 ? RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view.Flag, 0)
                        : RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
}

// The record keeps to the view this program sees by default: it is the blocker's own key.
const TKillBitView kRecordView{0, ""};

void SetStatus(TActiveXObject& object, bool locked) { object.Status = locked ? kLockedText : kUnlockedText; }

std::string Named(const TActiveXObject& object) { return object.Name + " " + object.Clsid; }

// Takes the blocker's kill bits off an object in every view and sets its row from the outcome:
// the status when nothing failed and a key was there, the tick too when `tick`.
void ClearObject(TKillBitStore& store, TActiveXObject& object, bool tick, TRunResult& result) {
  bool failed = false, anyKey = false, kept = false, lockedEverywhere = true;
  for (const TKillBitView& view : store.Views) {
    TClearOutcome outcome = ClearInView(store, object.Clsid, view);
    failed |= outcome == TClearOutcome::Failed;
    anyKey |= outcome != TClearOutcome::NoKey;
    kept |= outcome == TClearOutcome::Kept;
    lockedEverywhere &= outcome == TClearOutcome::Kept;
  }
  if (kept) result.Kept.push_back(Named(object));
  if (failed) {
    ++result.Failed;
    return;
  }
  if (!anyKey) return;
  SetStatus(object, lockedEverywhere);
  if (tick || lockedEverywhere) object.Checked = lockedEverywhere;
}

}  // namespace

std::vector<TKillBitView> KillBitViews() {
  if (PublicFunctionUnit::RunsUnderWow64()) return {{KEY_WOW64_64KEY, "64"}, {KEY_WOW64_32KEY, "32"}};
  return {{0, "32"}};
}

std::vector<TActiveXObject> ParseCodeList(const std::string& bytes) {
  std::vector<TActiveXObject> objects;
  std::set<std::string> listed;
  for (const std::string& raw : DecodeTextLines(bytes)) {
    std::string line = Trim(raw);
    if (line.empty()) continue;
    TActiveXObject object;
    size_t brace = line.find('{');
    if (brace == std::string::npos) {
      object.Clsid = line;
    } else {
      object.Name = line.substr(0, brace);
      object.Clsid = line.substr(brace);
    }
    if (!listed.insert(UpperCase(object.Clsid)).second) continue;
    objects.push_back(std::move(object));
  }
  return objects;
}

std::vector<TActiveXObject> LoadCodeFile(const std::string& fileName) {
  try {
    return ParseCodeList(ReadFileBytes(fileName));
  } catch (const EInOutError&) {
    return {};
  }
}

bool IsWellFormedClsid(const std::string& clsid) {
  if (clsid.size() != 38 || clsid.front() != '{' || clsid.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? clsid[i] != '-' : !std::iswxdigit((unsigned char)clsid[i])) return false;
  }
  return true;
}

TFlagsState TKillBitStore::ReadFlags(const std::string& clsid, const TKillBitView& view, DWORD& flags) {
  HKEY opened;
  LONG rc = OpenMachineKey(ObjectKey(clsid), view, KEY_READ, false, opened);
  TRegKeyHandle key(opened);
  if (NotFound(rc)) return TFlagsState::Absent;
  if (rc != ERROR_SUCCESS) return TFlagsState::Unreadable;
  return FlagsIn(key.Get(), flags);
}

bool TKillBitStore::WriteFlags(const std::string& clsid, const TKillBitView& view, DWORD flags) {
  HKEY opened;
  LONG rc = OpenMachineKey(ObjectKey(clsid), view, KEY_READ | KEY_WRITE, true, opened);
  TRegKeyHandle key(opened);
  if (rc != ERROR_SUCCESS) return false;
  DWORD now = 0;
  TFlagsState state = FlagsIn(key.Get(), now);   // looked at again just before the write
  if (state != TFlagsState::Absent && state != TFlagsState::Dword) return false;
  return RegSetValueExW(key.Get(), Widen(kFlagsValue).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags),
                        sizeof flags) == ERROR_SUCCESS;
}

bool TKillBitStore::KeyExists(const std::string& clsid, const TKillBitView& view) {
  HKEY opened;
  LONG rc = OpenMachineKey(ObjectKey(clsid), view, KEY_READ, false, opened);
  TRegKeyHandle key(opened);
  return rc == ERROR_SUCCESS;
}

bool TKillBitStore::DeleteFlags(const std::string& clsid, const TKillBitView& view, bool deleteKey) {
  bool empty = false;
  {
    HKEY opened;
    LONG rc = OpenMachineKey(ObjectKey(clsid), view, KEY_READ | KEY_WRITE, false, opened);
    TRegKeyHandle key(opened);
    if (rc != ERROR_SUCCESS) return false;
    DWORD flags = 0;
    if (FlagsIn(key.Get(), flags) != TFlagsState::Dword || flags != kKillBit) return false;
    if (RegDeleteValueW(key.Get(), Widen(kFlagsValue).c_str()) != ERROR_SUCCESS) return false;
    empty = EnumValueNames(key.Get()).empty() && EnumKeyNames(key.Get()).empty();
  }
  // a key that gained a subkey meanwhile is refused, and stays
  return !deleteKey || !empty || DeleteMachineKey(ObjectKey(clsid), view) == ERROR_SUCCESS;
}

TRecordState TKillBitStore::ReadRecord(const std::string& clsid, const TKillBitView& view, TMade& made) {
  made = TMade::None;
  HKEY opened;
  LONG rc = OpenMachineKey(RecordViewKey(view), kRecordView, KEY_QUERY_VALUE, false, opened);
  TRegKeyHandle key(opened);
  if (NotFound(rc)) return TRecordState::None;
  if (rc != ERROR_SUCCESS) return TRecordState::Unreadable;
  DWORD type = REG_NONE, data = 0, size = sizeof data;
  rc = RegQueryValueExW(key.Get(), Widen(clsid).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  if (rc == ERROR_FILE_NOT_FOUND) return TRecordState::None;
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return TRecordState::Unreadable;
  // A record the blocker did not write this way counts as none: its kill bit is never taken off.
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data || data < (DWORD)TMade::Bit ||
      data > (DWORD)TMade::Key)
    return TRecordState::None;
  made = (TMade)data;
  return TRecordState::Ours;
}

bool TKillBitStore::WriteRecord(const std::string& clsid, const TKillBitView& view, TMade made) {
  HKEY opened;
  LONG rc = OpenMachineKey(RecordViewKey(view), kRecordView, KEY_SET_VALUE, true, opened);
  TRegKeyHandle key(opened);
  DWORD data = (DWORD)made;
  return rc == ERROR_SUCCESS && RegSetValueExW(key.Get(), Widen(clsid).c_str(), 0, REG_DWORD,
                                               reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

bool TKillBitStore::DropRecord(const std::string& clsid, const TKillBitView& view) {
  bool empty = false;
  {
    HKEY opened;
    LONG rc = OpenMachineKey(RecordViewKey(view), kRecordView, KEY_READ | KEY_SET_VALUE, false, opened);
    TRegKeyHandle key(opened);
    if (NotFound(rc)) return true;
    if (rc != ERROR_SUCCESS) return false;
    rc = RegDeleteValueW(key.Get(), Widen(clsid).c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return false;
    empty = EnumValueNames(key.Get()).empty() && EnumKeyNames(key.Get()).empty();
  }
  // the record leaves no empty key behind (one that is not empty any more is refused, and stays)
  if (empty && DeleteMachineKey(RecordViewKey(view), kRecordView) == ERROR_SUCCESS) {
    TRegKeyHandle record;
    if (record.Open(HKEY_LOCAL_MACHINE, LockRecordKey) && EnumValueNames(record.Get()).empty() &&
        EnumKeyNames(record.Get()).empty()) {
      record.Close();
      DeleteMachineKey(Widen(LockRecordKey), kRecordView);
    }
  }
  return true;
}

bool IsLocked(TKillBitStore& store, const std::string& clsid) {
  if (!IsWellFormedClsid(clsid)) return false;
  for (const TKillBitView& view : store.Views) {
    DWORD flags = 0;
    TFlagsState state = store.ReadFlags(clsid, view, flags);
    if (!HasKillBit(state, flags)) return false;
  }
  return !store.Views.empty();
}

int ReadStatuses(TKillBitStore& store, std::vector<TActiveXObject>& objects) {
  int locked = 0;
  for (TActiveXObject& object : objects) {
    object.Checked = IsLocked(store, object.Clsid);
    SetStatus(object, object.Checked);
    if (object.Checked) ++locked;
  }
  return locked;
}

TRunResult LockItems(TKillBitStore& store, std::vector<TActiveXObject>& objects, const TProgress& progress) {
  TRunResult result;
  int done = 0;
  for (TActiveXObject& object : objects) {
    if (IsWellFormedClsid(object.Clsid)) {
      if (object.Checked) {
        switch (SetKillBit(store, object.Clsid)) {
          case TSetOutcome::Locked: SetStatus(object, true); break;
          case TSetOutcome::NotADword: result.NotLocked.push_back(Named(object)); break;
          case TSetOutcome::Failed: ++result.Failed; break;
        }
      } else {
        ClearObject(store, object, false, result);
      }
    }
    if (progress && !progress(++done, (int)objects.size())) break;
  }
  return result;
}

TRunResult UnlockItems(TKillBitStore& store, std::vector<TActiveXObject>& objects, const TProgress& progress) {
  TRunResult result;
  int done = 0;
  for (TActiveXObject& object : objects) {
    if (IsWellFormedClsid(object.Clsid)) ClearObject(store, object, true, result);
    if (progress && !progress(++done, (int)objects.size())) break;
  }
  return result;
}

std::string RunProblemText(const TRunResult& result) {
  constexpr size_t kNamesShown = 10;
  std::string text;
  if (result.Failed > 0) text = Format(kNotChangedFormat, result.Failed);
  MainUnit::AddHeadedList(text, kNotLockedHead, result.NotLocked, kNamesShown);
  MainUnit::AddHeadedList(text, kKeptHead, result.Kept, kNamesShown);
  return text;
}

int UncheckedCount(const std::vector<TActiveXObject>& objects) {
  int n = 0;
  for (const TActiveXObject& object : objects)
    if (!object.Checked) ++n;
  return n;
}

int UnlockedCount(const std::vector<TActiveXObject>& objects) {
  int n = 0;
  for (const TActiveXObject& object : objects)
    if (object.Status != kLockedText) ++n;
  return n;
}

int GaugePosition(int done, int total) { return total <= 0 ? 0 : (int)Round(done * 100.0 / total); }

}  // namespace UnitMalignantActiveX
