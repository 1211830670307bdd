#include "Registry.h"

#include <shlwapi.h>

#include <algorithm>

#include "Exceptions.h"
#include "Strings.h"

namespace {
bool IsRelative(const std::string& key) { return key.empty() || key[0] != '\\'; }

std::string StripSlashes(std::string key) {
  if (!IsRelative(key)) key.erase(0, 1);
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}
}  // namespace

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  bool relative = IsRelative(key);
  std::string sub = StripSlashes(key);
  HKEY result = nullptr;
  LONG rc;
  std::wstring wsub = Widen(sub);
  if (canCreate && !sub.empty()) {
    DWORD disposition;
    rc = RegCreateKeyExW(BaseKey(relative), wsub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_,
                         nullptr, &result, &disposition);
  } else {
    rc = RegOpenKeyExW(BaseKey(relative), wsub.c_str(), 0, access_, &result);
  }
  openResult_ = rc;
  if (rc != ERROR_SUCCESS) return false;
  std::string newPath = (relative && current_ != nullptr && !currentPath_.empty())
                            ? (sub.empty() ? currentPath_ : currentPath_ + "\\" + sub)
                            : sub;
  CloseKey();
  current_ = result;
  currentPath_ = newPath;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  REGSAM saved = access_;
  access_ = KEY_READ;
  bool ok = OpenKey(key, false);
  access_ = saved;
  return ok;
}

void TRegistry::CloseKey() {
  if (current_ != nullptr) RegCloseKey(current_);
  current_ = nullptr;
  currentPath_.clear();
}

bool TRegistry::KeyExists(const std::string& key) {
  bool relative = IsRelative(key);
  HKEY h;
  if (RegOpenKeyExW(BaseKey(relative), Widen(StripSlashes(key)).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return false;
  RegCloseKey(h);
  return true;
}

bool TRegistry::ValueExists(const std::string& name) { return GetDataSize(name) >= 0; }

TRegDataType TRegistry::GetDataType(const std::string& name) {
  if (current_ == nullptr) return rdUnknown;
  DWORD type = 0;
  if (RegQueryValueExW(current_, Widen(name).c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return rdUnknown;
  switch (type) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

int TRegistry::GetDataSize(const std::string& name) {
  if (current_ == nullptr) return -1;
  DWORD size = 0;
  if (RegQueryValueExW(current_, Widen(name).c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return -1;
  return (int)size;
}

std::vector<std::string> EnumValueNames(HKEY key) {
  std::vector<std::string> names;
  DWORD maxLen = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxLen,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
      maxLen > 16383)   // value names are at most 16383 characters
    maxLen = 16383;
  std::wstring buf(maxLen + 2, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = (DWORD)buf.size();
    LONG rc = RegEnumValueW(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA && buf.size() < 32770) {
      buf.assign(32770, L'\0');
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    names.push_back(Narrow(buf.data(), std::min<size_t>(len, buf.size())));
  }
  return names;
}

std::vector<std::string> EnumKeyNames(HKEY key) {
  std::vector<std::string> names;
  wchar_t buf[1024];
  for (DWORD i = 0;; ++i) {
    DWORD len = 1000;
    LONG rc = RegEnumKeyExW(key, i, buf, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    names.push_back(Narrow(buf, len));
  }
  return names;
}

void TRegistry::GetValueNames(TStringList& list) {
  list.Clear();
  if (current_ != nullptr) list.Items = EnumValueNames(current_);
}

void TRegistry::GetKeyNames(TStringList& list) {
  list.Clear();
  if (current_ != nullptr) list.Items = EnumKeyNames(current_);
}

bool TRegistry::ReadValue(const std::string& name, TRegValue& value) {
  if (current_ == nullptr) return false;
  return QueryRegValue(current_, Widen(name), value);
}

bool QueryRegValue(HKEY key, const std::wstring& name, TRegValue& value) {
  DWORD size = 256;   // most values fit: one call reads type and data
  for (int attempt = 0; attempt < 4; ++attempt) {
    value.Data.resize(size);
    DWORD type = 0, got = size;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, value.Data.data(), &got);
    if (rc == ERROR_MORE_DATA) {   // too small, or it grew between two calls
      size = got > size ? got : size * 2;
      continue;
    }
    if (rc != ERROR_SUCCESS) return false;
    value.Data.resize(got);
    value.Type = type;
    return true;
  }
  return false;
}

static std::string WideDataToString(const std::vector<uint8_t>& data) {
  size_t units = data.size() / 2;
  const wchar_t* w = reinterpret_cast<const wchar_t*>(data.data());
  size_t n = 0;
  while (n < units && w[n] != L'\0') ++n;
  return Narrow(w, n);
}

std::string RegValueText(const TRegValue& value) { return WideDataToString(value.Data); }

TRegValue StringValue(const std::string& text, DWORD type) {
  std::wstring wide = Widen(text);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(wide.c_str());
  return {.Type = type, .Data = std::vector<uint8_t>(bytes, bytes + (wide.size() + 1) * sizeof(wchar_t))};
}

TRegValue DwordValue(DWORD number) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&number);
  return {.Type = REG_DWORD, .Data = std::vector<uint8_t>(bytes, bytes + sizeof number)};
}

bool TRegistry::ReadText(const std::string& name, std::string& text) {
  TRegValue v;
  bool isText = ReadValue(name, v) && IsTextValue(v);
  text = isText ? WideDataToString(v.Data) : std::string();
  return isText;
}

std::string TRegistry::ReadString(const std::string& name) {
  TRegValue v;
  if (!ReadValue(name, v)) return {};
  if (v.Type != REG_SZ && v.Type != REG_EXPAND_SZ)
    throw ERegistryException("Invalid data type for '" + name + "'");
  return WideDataToString(v.Data);
}

bool QueryKeyInfo(HKEY key, TKeyInfo& info) {
  info = {};
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &info.SubkeyCount, nullptr, nullptr, &info.ValueCount,
                          &info.MaxValueNameLength, &info.MaxValueDataSize, nullptr, nullptr) == ERROR_SUCCESS;
}

TValueReader::TValueReader(HKEY key, const TKeyInfo& info)
    : key_(key), name_(info.MaxValueNameLength + 2), data_(info.MaxValueDataSize + 2) {}

static TKeyInfo InfoOf(HKEY key) {
  TKeyInfo info;
  QueryKeyInfo(key, info);
  return info;
}

TValueReader::TValueReader(HKEY key) : TValueReader(key, InfoOf(key)) {}

bool TValueReader::Next(std::string& name, TRegValue& value) {
  for (;;) {
    DWORD nameLength = (DWORD)name_.size(), size = (DWORD)data_.size(), type = 0;
    LONG rc = RegEnumValueW(key_, index_, name_.data(), &nameLength, nullptr, &type, data_.data(), &size);
    if (rc == ERROR_MORE_DATA && name_.size() < 32770) {   // the value grew since the sizes were read
      name_.resize(32770);
      data_.resize(size > data_.size() ? size : data_.size() * 2);
      continue;
    }
    if (rc == ERROR_MORE_DATA && size > data_.size()) {
      data_.resize(size);
      continue;
    }
    if (rc != ERROR_SUCCESS) return false;
    ++index_;
    name = Narrow(name_.data(), nameLength);
    value.Type = type;
    value.Data.assign(data_.begin(), data_.begin() + size);
    return true;
  }
}

int TRegistry::ReadInteger(const std::string& name) {
  TRegValue v;
  if (!ReadValue(name, v) || v.Type != REG_DWORD || v.Data.size() < 4)
    throw ERegistryException("Invalid data type for '" + name + "'");
  int32_t r;
  memcpy(&r, v.Data.data(), 4);
  return r;
}

std::vector<uint8_t> TRegistry::ReadBinaryData(const std::string& name) {
  TRegValue v;
  if (!ReadValue(name, v)) return {};
  return v.Data;
}

void TRegistry::WriteData(const std::string& name, DWORD type, const void* data, DWORD size) {
  if (current_ == nullptr ||
      RegSetValueExW(current_, Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + name + "'");
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  std::wstring w = Widen(value);
  WriteData(name, REG_SZ, w.c_str(), DWORD((w.size() + 1) * sizeof(wchar_t)));
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  std::wstring w = Widen(value);
  WriteData(name, REG_EXPAND_SZ, w.c_str(), DWORD((w.size() + 1) * sizeof(wchar_t)));
}

void TRegistry::WriteInteger(const std::string& name, int value) { WriteData(name, REG_DWORD, &value, 4); }

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data) {
  WriteData(name, REG_BINARY, data.data(), (DWORD)data.size());
}

bool TRegistry::WriteValue(const std::string& name, const TRegValue& value) {
  if (current_ == nullptr) return false;
  return RegSetValueExW(current_, Widen(name).c_str(), 0, value.Type, value.Data.data(),
                        (DWORD)value.Data.size()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (current_ == nullptr) return false;
  return RegDeleteValueW(current_, Widen(name).c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const std::string& key) {
  bool relative = IsRelative(key);
  std::string sub = StripSlashes(key);
  if (sub.empty()) return false;
  return SHDeleteKeyW(BaseKey(relative), Widen(sub).c_str()) == ERROR_SUCCESS;
}

TSubkeyWalker::TSubkeyWalker(HKEY root, const std::string& path) {
  if (root == nullptr) return;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, 0x20019, &key_) != ERROR_SUCCESS) {
    key_ = nullptr;
    return;
  }
  if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count_, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    count_ = 0;
}

TSubkeyWalker::TSubkeyWalker(TRegKeyHandle& key, DWORD subkeyCount) : key_(key.Release()), count_(subkeyCount) {
  if (key_ == nullptr) count_ = 0;
}

TSubkeyWalker::~TSubkeyWalker() {
  if (key_ != nullptr) RegCloseKey(key_);
}

bool TSubkeyWalker::Name(DWORD index, std::string& name) {
  if (key_ == nullptr) return false;
  wchar_t buf[1001];
  DWORD len = 1000;
  if (RegEnumKeyExW(key_, index, buf, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return false;
  name = Narrow(buf, len);
  return true;
}

bool TRegKeyHandle::Open(HKEY root, const std::string& path, REGSAM access) {
  Close();
  if (root == nullptr) return false;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
  return key_ != nullptr;
}

void TRegKeyHandle::Close() {
  if (key_ != nullptr) RegCloseKey(key_);
  key_ = nullptr;
}
