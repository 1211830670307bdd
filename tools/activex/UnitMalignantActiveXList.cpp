#include "UnitMalignantActiveXList.h"

#include <cwctype>

#include "../../framework/Exceptions.h"
#include "../../framework/Registry.h"
#include "../../framework/StringList.h"
#include "../../framework/Strings.h"

namespace UnitMalignantActiveX {

namespace {

std::string KeyPath(const std::string& clsid) { return std::string("\\") + kCompatibilityKey + clsid; }

enum class TClearOutcome { NoKey, Cleared, Failed };

// Takes the kill bit off an object whose key exists; other bits and values stay.
TClearOutcome ClearKillBit(TKillBitStore& store, const std::string& clsid) {
  if (!store.KeyExists(clsid)) return TClearOutcome::NoKey;
  DWORD flags = 0;
  if (!store.ReadFlags(clsid, flags) || (flags & kKillBit) == 0) return TClearOutcome::Cleared;
  flags &= ~kKillBit;
  bool ok = flags == 0 ? store.DeleteFlags(clsid) : store.WriteFlags(clsid, flags);
  return ok ? TClearOutcome::Cleared : TClearOutcome::Failed;
}

bool SetKillBit(TKillBitStore& store, const std::string& clsid) {
  DWORD flags = 0;
  if (store.ReadFlags(clsid, flags) && (flags & kKillBit) != 0) return true;
  return store.WriteFlags(clsid, flags | kKillBit);
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

bool TKillBitStore::ReadFlags(const std::string& clsid, DWORD& flags) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  TRegValue value;
  if (!reg.OpenKeyReadOnly(KeyPath(clsid)) || !reg.ReadValue(kFlagsValue, value)) return false;
  if (value.Type != REG_DWORD || value.Data.size() != sizeof(DWORD)) return false;
  flags = *reinterpret_cast<const DWORD*>(value.Data.data());
  return true;
}

bool TKillBitStore::WriteFlags(const std::string& clsid, DWORD flags) {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKey(KeyPath(clsid), true)) return false;
  TRegValue value{.Type = REG_DWORD, .Data = std::vector<uint8_t>(sizeof flags)};
  *reinterpret_cast<DWORD*>(value.Data.data()) = flags;
  return reg.WriteValue(kFlagsValue, value);
}

bool TKillBitStore::KeyExists(const std::string& clsid) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  return reg.KeyExists(KeyPath(clsid));
}

bool TKillBitStore::DeleteFlags(const std::string& clsid) {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKey(KeyPath(clsid), false) || !reg.DeleteValue(kFlagsValue)) return false;
  bool empty = EnumValueNames(reg.CurrentKey()).empty() && EnumKeyNames(reg.CurrentKey()).empty();
  reg.CloseKey();
  return !empty || reg.DeleteKey(KeyPath(clsid));
}

bool IsLocked(TKillBitStore& store, const std::string& clsid) {
  DWORD flags = 0;
  return IsWellFormedClsid(clsid) && store.ReadFlags(clsid, flags) && (flags & kKillBit) != 0;
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

int LockItems(TKillBitStore& store, std::vector<TActiveXObject>& objects, const TProgress& progress) {
  int failed = 0, done = 0;
  for (TActiveXObject& object : objects) {
    if (IsWellFormedClsid(object.Clsid)) {
      if (object.Checked) {
        if (SetKillBit(store, object.Clsid)) SetStatus(object, true);
        else ++failed;
      } else {
        TClearOutcome outcome = ClearKillBit(store, object.Clsid);
        if (outcome == TClearOutcome::Cleared) SetStatus(object, false);
        if (outcome == TClearOutcome::Failed) ++failed;
      }
    }
    if (progress && !progress(++done, (int)objects.size())) break;
  }
  return failed;
}

int UnlockItems(TKillBitStore& store, std::vector<TActiveXObject>& objects, const TProgress& progress) {
  int failed = 0, done = 0;
  for (TActiveXObject& object : objects) {
    if (IsWellFormedClsid(object.Clsid)) {
      TClearOutcome outcome = ClearKillBit(store, object.Clsid);
      if (outcome == TClearOutcome::Cleared) {
        object.Checked = false;
        SetStatus(object, false);
      }
      if (outcome == TClearOutcome::Failed) ++failed;
    }
    if (progress && !progress(++done, (int)objects.size())) break;
  }
  return failed;
}

int UncheckedCount(const std::vector<TActiveXObject>& objects) {
  int n = 0;
  for (const TActiveXObject& object : objects)
    if (!object.Checked) ++n;
  return n;
}

int GaugePosition(int done, int total) { return total <= 0 ? 0 : (int)Round(done * 100.0 / total); }

}  // namespace UnitMalignantActiveX
