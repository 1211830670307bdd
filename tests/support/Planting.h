// Registry and disk state planted by the scanner tests outside their own sandbox key (see
// RegSandbox): values in shared keys, class keys, entries of the Run dialog's list and shortcut
// files. Each removes what it planted when it goes.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "scan/RegistryContentUnit.h"

namespace testing_support {

// Values planted into an existing or shared key of the prefix; only these values are removed
// afterwards, the key stays.
class TPlantedValues {
 public:
  TPlantedValues(HKEY root, std::string path) : root_(root), path_(std::move(path)) {}
  ~TPlantedValues();
  TPlantedValues(const TPlantedValues&) = delete;
  TPlantedValues& operator=(const TPlantedValues&) = delete;
  void SetString(const std::string& name, const std::string& value, DWORD type = REG_SZ);
  bool HasValue(const std::string& name) const;

 private:
  HKEY root_;
  std::string path_;
  std::vector<std::string> names_;
};

// Keys created under HKEY_CLASSES_ROOT for one test, deleted with their subtrees at the end.
class ClassKeys {
 public:
  ClassKeys() = default;
  ~ClassKeys();
  ClassKeys(const ClassKeys&) = delete;
  ClassKeys& operator=(const ClassKeys&) = delete;
  // Creates the key (remembering its top two levels for removal) and sets its default value.
  void Set(const std::string& path, const std::string& data, DWORD type = REG_SZ);
  void Create(const std::string& path);
  static bool Exists(const std::string& path);

 private:
  std::vector<std::string> created_;
};

// Values of this test planted in the Run dialog's real list under HKCU, removed after the test.
// Other tests may plant theirs at the same time: only this test's names are looked at.
class RunListValues : public TPlantedValues {
 public:
  RunListValues();
  // Plants "<test name> <name>" and returns that full name.
  std::string Set(const std::string& name, const std::string& text, bool expandable = false);
  bool Exists(const std::string& full) const { return HasValue(full); }
  bool Mine(const TContent& c) const;

 private:
  std::string prefix_;
};

// Creates a chain of `depth` nested keys "d" below root\base; returns the deepest key's path.
std::string MakeKeyChain(HKEY root, const std::string& base, int depth);
// A new class identifier in braces.
std::string NewGuid();
// Saves a shortcut file pointing at target, as the shell writes one.
void MakeShortcut(const std::string& file, const std::string& target);

}  // namespace testing_support
