// The registry object: one root key, at most one open key, and the operations every
// scanner and window relies on, over the wide registry API with UTF-8 names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "StringList.h"

// Kinds of data told apart by GetDataType.
enum TRegDataType { rdUnknown = 0, rdString = 1, rdExpandString = 2, rdInteger = 3, rdBinary = 4 };

// A value exactly as the registry holds it.
struct TRegValue {
  DWORD Type = REG_NONE;
  std::vector<uint8_t> Data;
};

class TRegistry {
 public:
  explicit TRegistry(REGSAM access = KEY_ALL_ACCESS) : access_(access) {}
  ~TRegistry() { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey = HKEY_CURRENT_USER;
  REGSAM Access() const { return access_; }
  void SetAccess(REGSAM access) { access_ = access; }

  // A path beginning with "\" counts from the root, any other from the open key.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  // The system's result code of the last OpenKey or OpenKeyReadOnly (ERROR_FILE_NOT_FOUND: no such
  // key, as against one that cannot be opened).
  LONG OpenResult() const { return openResult_; }
  void CloseKey();
  HKEY CurrentKey() const { return current_; }
  const std::string& CurrentPath() const { return currentPath_; }

  bool KeyExists(const std::string& key);
  bool ValueExists(const std::string& name);
  TRegDataType GetDataType(const std::string& name);
  int GetDataSize(const std::string& name);    // -1 when the value is missing

  void GetValueNames(TStringList& list);        // the open key's value names, in enumeration order
  void GetKeyNames(TStringList& list);          // the open key's subkey names

  std::string ReadString(const std::string& name);    // "" when missing; throws on other types
  int ReadInteger(const std::string& name);           // throws when missing or not a double word
  std::vector<uint8_t> ReadBinaryData(const std::string& name);
  bool ReadValue(const std::string& name, TRegValue& value);   // raw, any type
  // A string or expandable-string value's text (not expanded), read in one call; false, with the
  // text empty, when the value is missing or of another type.
  bool ReadText(const std::string& name, std::string& text);

  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int value);
  void WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data);
  bool WriteValue(const std::string& name, const TRegValue& value);

  bool DeleteValue(const std::string& name);
  bool DeleteKey(const std::string& key);       // the key with all its subkeys

 private:
  HKEY BaseKey(bool relative) const { return (current_ == nullptr || !relative) ? RootKey : current_; }
  void WriteData(const std::string& name, DWORD type, const void* data, DWORD size);

  REGSAM access_;
  HKEY current_ = nullptr;
  std::string currentPath_;
  LONG openResult_ = ERROR_SUCCESS;
};

// Reads a value's name list and subkey list straight from a key handle; both stop at the first
// error other than "more data" (some keys fail at every index for ever).
std::vector<std::string> EnumValueNames(HKEY key);
std::vector<std::string> EnumKeyNames(HKEY key);

// Reads one value of an open key, its type and data in one call when the data is small.
bool QueryRegValue(HKEY key, const std::wstring& name, TRegValue& value);
// A string or expandable-string value's text, up to its first zero (as ReadString gives it).
std::string RegValueText(const TRegValue& value);
inline bool IsTextValue(const TRegValue& value) { return value.Type == REG_SZ || value.Type == REG_EXPAND_SZ; }
// A value of type `type` holding `text` as the registry stores it (UTF-16, with its terminating zero).
TRegValue StringValue(const std::string& text, DWORD type = REG_SZ);
// A double word value holding `number`.
TRegValue DwordValue(DWORD number);

// An open key's counts and largest sizes, read in one call.
struct TKeyInfo {
  DWORD SubkeyCount = 0;
  DWORD ValueCount = 0;
  DWORD MaxValueNameLength = 0;   // in characters, without the terminating zero
  DWORD MaxValueDataSize = 0;     // in bytes
};
bool QueryKeyInfo(HKEY key, TKeyInfo& info);

// Reads an open key's values in enumeration order, each value's name, type and data in one call;
// like EnumValueNames it stops at the first error other than "more data".
class TValueReader {
 public:
  TValueReader(HKEY key, const TKeyInfo& info);
  explicit TValueReader(HKEY key);   // reads the sizes itself
  bool Next(std::string& name, TRegValue& value);

 private:
  HKEY key_;
  DWORD index_ = 0;
  std::vector<wchar_t> name_;
  std::vector<uint8_t> data_;
};

// The raw subkey walk: opens root\path for reading, takes the subkey count once and reads the
// name at each index into a 1000-character buffer. An index whose read fails is skipped; a name
// is never taken from a failed read.
class TSubkeyWalker {
 public:
  TSubkeyWalker(HKEY root, const std::string& path);
  // Walks a key already open for reading, taking its handle over, with the subkey count given.
  TSubkeyWalker(class TRegKeyHandle& key, DWORD subkeyCount);
  ~TSubkeyWalker();
  TSubkeyWalker(const TSubkeyWalker&) = delete;
  TSubkeyWalker& operator=(const TSubkeyWalker&) = delete;

  bool Opened() const { return key_ != nullptr; }
  HKEY Key() const { return key_; }
  DWORD Count() const { return count_; }
  bool Name(DWORD index, std::string& name);

 private:
  HKEY key_ = nullptr;
  DWORD count_ = 0;
};

// Owns an open registry key handle.
class TRegKeyHandle {
 public:
  TRegKeyHandle() = default;
  explicit TRegKeyHandle(HKEY key) : key_(key) {}
  ~TRegKeyHandle() { Close(); }
  TRegKeyHandle(const TRegKeyHandle&) = delete;
  TRegKeyHandle& operator=(const TRegKeyHandle&) = delete;
  bool Open(HKEY root, const std::string& path, REGSAM access = KEY_READ);
  void Close();
  HKEY Get() const { return key_; }
  HKEY Release() {   // hands the handle over; this object no longer closes it
    HKEY key = key_;
    key_ = nullptr;
    return key;
  }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};
