// What the tests of the file-system and Explorer sections share: one scan's inputs and outputs.
#pragma once

#include <string>
#include <vector>

#include "scan/IgnoreItemUnit.h"
#include "framework/Registry.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/RecentlyFileUnit.h"
#include "support/TestSupport.h"
#include "scan/RegistryContentUnit.h"

struct SectionScan {
  TIgnoreContents ignores;
  TRegistryContents found;
  TCaptionHolder current, count;
  TCaptionHolder status;
  TListCountHolder finish;

  SectionScan() {
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
    PublicFunctionUnit::ProblemNumber = 0;
    PublicFunctionUnit::MyRegistryInfo.SelectAll = true;
  }
  void Ignore(const std::string& section, const std::string& keyPath, const std::string& valueName) {
    auto& e = ignores.GetItem(ignores.Add()).Content;
    e.Section = section;
    e.KeyPath = keyPath;
    e.ValueName = valueName;
  }
  // "KeyPath|ValueName|Value" of every finding, in order.
  std::vector<std::string> Lines() const {
    std::vector<std::string> r;
    for (int i = 0; i < found.Count(); ++i) {
      const TContent& c = found.GetItem(i).Content;
      r.push_back(c.KeyPath + "|" + c.ValueName + "|" + c.Value);
    }
    return r;
  }
  void TickOnly(const std::vector<int>& indexes) {
    for (int i = 0; i < found.Count(); ++i) found.GetItem(i).Content.Checked = false;
    for (int i : indexes) found.GetItem(i).Content.Checked = true;
  }
  template <class RepairRoutine>
  void Repair(RepairRoutine repair, TRepairContents& log) {
    repair(status, finish, found, log);
  }
};

// Values of this test planted in the Run dialog's real list under HKCU, removed after the test.
// Other tests may plant theirs at the same time: only this test's names are looked at.
class RunListValues {
 public:
  RunListValues() : prefix_(testing_support::TestName() + " ") {}
  ~RunListValues() {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (!reg.OpenKey(std::string("\\") + RecentlyFileUnit::RunMruKey, false)) return;
    for (const std::string& n : names_) reg.DeleteValue(n);
  }
  std::string Set(const std::string& name, const std::string& text, bool expandable = false) {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    EXPECT_TRUE(reg.OpenKey(std::string("\\") + RecentlyFileUnit::RunMruKey, true));
    std::string full = prefix_ + name;
    if (expandable)
      reg.WriteExpandString(full, text);
    else
      reg.WriteString(full, text);
    names_.push_back(full);
    return full;
  }
  bool Exists(const std::string& full) const {
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_CURRENT_USER;
    return reg.OpenKey(std::string("\\") + RecentlyFileUnit::RunMruKey, false) && reg.ValueExists(full);
  }
  bool Mine(const TContent& c) const { return c.ShortName == "RunMRU" && Pos(prefix_, c.ValueName) == 1; }

 private:
  std::string prefix_;
  std::vector<std::string> names_;
};
