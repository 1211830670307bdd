// What the tests of the file-system and Explorer sections share: one scan's inputs and outputs.
#pragma once

#include <string>
#include <vector>

#include "scan/IgnoreItemUnit.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/RegistryContentUnit.h"

struct SectionScan {
  TIgnoreContents ignores;
  TRegistryContents found;
  TCaptionHolder current, count;
  TCaptionHolder status;
  TListCountHolder finish;

  SectionScan() {
    PublicFunctionUnit::ScanState = 0;
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
