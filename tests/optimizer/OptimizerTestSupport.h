// Shared helpers of the optimizer tests: the tweak items write to fixed system keys and the
// service tests change the prefix's real services, so every test puts both back afterwards.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "framework/Registry.h"
#include "support/TestSupport.h"

namespace optimizer_test {

using TMaybeValue = std::optional<TRegValue>;
using testing_support::RegKeyExists;

TRegValue Dw(DWORD value);
TRegValue Sz(const std::string& text);
TRegValue Ex(const std::string& text);   // REG_EXPAND_SZ
TRegValue Raw(DWORD type, const std::vector<uint8_t>& data);
// Creates the key and sets the value, or deletes the value when `value` is nullopt; `view`
// KEY_WOW64_64KEY acts on the 64-bit view.
void Plant(HKEY root, const std::string& key, const std::string& name, const TMaybeValue& value, REGSAM view = 0);
// A value as text for comparisons: "absent", "DWORD 5", "SZ \"x\"", "EXPAND_SZ \"x\"", other types and
// texts whose data holds more than the text as "type 3: 01 02"; ValueAt as the registry holds it now.
std::string Describe(const TMaybeValue& value);
std::string ValueAt(HKEY root, const std::string& key, const std::string& name, REGSAM view = 0);
bool KeyIn(HKEY root, const std::string& key, REGSAM view);
// Removes the key with its subkeys in the view (0 this program's own, KEY_WOW64_64KEY the 64-bit one).
void DeleteTreeIn(HKEY root, const std::string& key, REGSAM view);

// Whether this test program runs where 64-bit Windows keeps HKLM\SOFTWARE and the classes apart
// for 32-bit programs; asserted when the 64-bit prefix runs it.
bool HasSeparate64BitView();

// Saves every key that any tweak item reads or writes and puts each back exactly when it ends:
// values rewritten, values added meanwhile removed, keys the test created removed with their
// parents; on 64-bit Windows the 64-bit view's keys as well.
class TTweakKeysGuard {
 public:
  TTweakKeysGuard();
  ~TTweakKeysGuard();

 private:
  struct TKeyGuard;
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
// Whether the service has this start type and comes to this run state.
bool ServiceIs(const std::string& name, DWORD startType, bool running);

}  // namespace optimizer_test
