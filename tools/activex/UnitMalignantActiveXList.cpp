#include "UnitMalignantActiveXList.h"

#include <cstring>
#include <cwctype>

#include "../../app/MainUnitBackup.h"
#include "../../framework/Exceptions.h"
#include "../../framework/Registry.h"
#include "../../framework/StringList.h"
#include "../../framework/Strings.h"

namespace UnitMalignantActiveX {

namespace {

// The object's key under HKEY_LOCAL_MACHINE.
std::wstring ObjectKey(const std::string& clsid) { return Widen(kCompatibilityKey + clsid); }

enum class TClearOutcome { NoKey, Cleared, Failed };

// Takes the kill bit off an object whose key exists; other bits and values stay, and so does a
// flags value that is not a double word.
TClearOutcome ClearKillBit(TKillBitStore& store, const std::string& clsid) {
  if (!store.KeyExists(clsid)) return TClearOutcome::NoKey;
  DWORD flags = 0;
  TFlagsState state = store.ReadFlags(clsid, flags);
  if (state == TFlagsState::Unreadable) return TClearOutcome::Failed;
  if (state != TFlagsState::Dword || (flags & kKillBit) == 0) return TClearOutcome::Cleared;
  flags &= ~kKillBit;
  bool ok = flags == 0 ? store.DeleteFlags(clsid) : store.WriteFlags(clsid, flags);
  return ok ? TClearOutcome::Cleared : TClearOutcome::Failed;
}

enum class TSetOutcome { Locked, NotADword, Failed };

TSetOutcome SetKillBit(TKillBitStore& store, const std::string& clsid) {
  DWORD flags = 0;
  switch (store.ReadFlags(clsid, flags)) {
    case TFlagsState::Other: return TSetOutcome::NotADword;
    case TFlagsState::Unreadable: return TSetOutcome::Failed;
    case TFlagsState::Absent: flags = 0; break;
    case TFlagsState::Dword:
      if ((flags & kKillBit) != 0) return TSetOutcome::Locked;
      break;
  }
  return store.WriteFlags(clsid, flags | kKillBit) ? TSetOutcome::Locked : TSetOutcome::Failed;
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

// Opens (or creates) the object's key; the registry's result code, key null unless it is 0.
LONG OpenObjectKey(const std::string& clsid, REGSAM access, bool create, HKEY& key) {
  std::wstring path = ObjectKey(clsid);
  key = nullptr;
  return create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &key, nullptr)
                : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key);
}

void SetStatus(TActiveXObject& object, bool locked) { object.Status = locked ? kLockedText : kUnlockedText; }

}  // namespace

std::vector<TActiveXObject> ParseCodeList(const std::string& bytes) {
  std::vector<TActiveXObject> objects;
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

TFlagsState TKillBitStore::ReadFlags(const std::string& clsid, DWORD& flags) {
  HKEY opened;
  LONG rc = OpenObjectKey(clsid, KEY_READ, false, opened);
  TRegKeyHandle key(opened);
  if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) return TFlagsState::Absent;
  if (rc != ERROR_SUCCESS) return TFlagsState::Unreadable;
  return FlagsIn(key.Get(), flags);
}

bool TKillBitStore::WriteFlags(const std::string& clsid, DWORD flags) {
  HKEY opened;
  LONG rc = OpenObjectKey(clsid, KEY_READ | KEY_WRITE, true, opened);
  TRegKeyHandle key(opened);
  if (rc != ERROR_SUCCESS) return false;
  DWORD now = 0;
  TFlagsState state = FlagsIn(key.Get(), now);   // looked at again just before the write
  if (state != TFlagsState::Absent && state != TFlagsState::Dword) return false;
  return RegSetValueExW(key.Get(), Widen(kFlagsValue).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags),
                        sizeof flags) == ERROR_SUCCESS;
}

bool TKillBitStore::KeyExists(const std::string& clsid) {
  HKEY opened;
  LONG rc = OpenObjectKey(clsid, KEY_READ, false, opened);
  TRegKeyHandle key(opened);
  return rc == ERROR_SUCCESS;
}

bool TKillBitStore::DeleteFlags(const std::string& clsid) {
  bool empty = false;
  {
    HKEY opened;
    LONG rc = OpenObjectKey(clsid, KEY_READ | KEY_WRITE, false, opened);
    TRegKeyHandle key(opened);
    if (rc != ERROR_SUCCESS) return false;
    DWORD flags = 0;
    if (FlagsIn(key.Get(), flags) != TFlagsState::Dword || flags != kKillBit) return false;
    if (RegDeleteValueW(key.Get(), Widen(kFlagsValue).c_str()) != ERROR_SUCCESS) return false;
    empty = EnumValueNames(key.Get()).empty() && EnumKeyNames(key.Get()).empty();
  }
  // a key that gained a subkey meanwhile is refused, and stays
  return !empty || RegDeleteKeyW(HKEY_LOCAL_MACHINE, ObjectKey(clsid).c_str()) == ERROR_SUCCESS;
}

bool IsLocked(TKillBitStore& store, const std::string& clsid) {
  DWORD flags = 0;
  return IsWellFormedClsid(clsid) && store.ReadFlags(clsid, flags) == TFlagsState::Dword && (flags & kKillBit) != 0;
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
          case TSetOutcome::NotADword: result.NotLocked.push_back(object.Name + " " + object.Clsid); break;
          case TSetOutcome::Failed: ++result.Failed; break;
        }
      } else {
        TClearOutcome outcome = ClearKillBit(store, object.Clsid);
        if (outcome == TClearOutcome::Cleared) SetStatus(object, false);
        if (outcome == TClearOutcome::Failed) ++result.Failed;
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
    if (IsWellFormedClsid(object.Clsid)) {
      TClearOutcome outcome = ClearKillBit(store, object.Clsid);
      if (outcome == TClearOutcome::Cleared) {
        object.Checked = false;
        SetStatus(object, false);
      }
      if (outcome == TClearOutcome::Failed) ++result.Failed;
    }
    if (progress && !progress(++done, (int)objects.size())) break;
  }
  return result;
}

std::string RunProblemText(const TRunResult& result) {
  constexpr size_t kNamesShown = 10;
  std::string text;
  if (result.Failed > 0) text = Format(kNotChangedFormat, result.Failed);
  MainUnit::AddHeadedList(text, kNotLockedHead, result.NotLocked, kNamesShown);
  return text;
}

int UncheckedCount(const std::vector<TActiveXObject>& objects) {
  int n = 0;
  for (const TActiveXObject& object : objects)
    if (!object.Checked) ++n;
  return n;
}

int GaugePosition(int done, int total) { return total <= 0 ? 0 : (int)Round(done * 100.0 / total); }

}  // namespace UnitMalignantActiveX
