// Shared helpers of the optimizer tests: the tweak items write to fixed system keys and the
// service tests change the prefix's real services, so every test puts both back afterwards.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "framework/Registry.h"

namespace optimizer_test {

using TMaybeValue = std::optional<TRegValue>;

TRegValue Dw(DWORD value);
TRegValue Sz(const std::string& text);
// The value as the registry holds it now; nullopt when it (or its key) is absent.
TMaybeValue ReadValue(HKEY root, const std::string& key, const std::string& name);
// Creates the key and sets the value, or deletes the value when `value` is nullopt.
void Plant(HKEY root, const std::string& key, const std::string& name, const TMaybeValue& value);
bool KeyExists(HKEY root, const std::string& key);
// Text for failure messages: "absent", "DWORD 5", "SZ \"x\"".
std::string Describe(const TMaybeValue& value);

// Saves a key's values (and whether it and its parents existed) and puts them back when it ends:
// values are rewritten exactly, values added meanwhile removed, and a key the test created
// removed together with the parents it created.
class TKeyGuard {
 public:
  TKeyGuard(HKEY root, std::string key);
  ~TKeyGuard();
  TKeyGuard(const TKeyGuard&) = delete;
  TKeyGuard& operator=(const TKeyGuard&) = delete;

 private:
  HKEY root_;
  std::string key_;
  std::string firstMissing_;   // "" when the key existed
  std::map<std::wstring, TRegValue> values_;
};

// Guards every key that any tweak item reads or writes.
class TTweakKeysGuard {
 public:
  TTweakKeysGuard();

 private:
  std::vector<std::unique_ptr<TKeyGuard>> guards_;
};

// Saves the start type and run state of the prefix's four services and puts them back.
class TServiceGuard {
 public:
  TServiceGuard();
  ~TServiceGuard();

 private:
  struct TSaved {
    std::string Name;
    DWORD StartType;
    bool Running;
  };
  std::vector<TSaved> saved_;
};

// Waits (by polling the service manager, not the clock) until the service is running or stopped.
bool WaitForServiceState(const std::string& name, bool running);

}  // namespace optimizer_test
