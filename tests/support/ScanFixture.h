// What the scanner tests share: the outputs a scan and a repair write to, clean scan state that
// is put back afterwards, exclusions written the way the results page writes them, and lookups
// of the findings a test planted.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "framework/Outputs.h"
#include "framework/StringList.h"
#include "scan/IgnoreItemUnit.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/RegistryContentUnit.h"
#include "scan/SectionCommon.h"
#include "support/TestSupport.h"

namespace scan_test {

using Texts = std::vector<std::string>;
using Lines = std::vector<std::pair<std::string, std::string>>;   // repair log: path, status
inline const char* kOk = SectionCommon::RepairedText;
inline const char* kFailed = SectionCommon::RepairFailedText;

// A section's scan routine with the root key and key path it is given.
using TScanRoutine = void (*)(int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&,
                              const std::string&, HKEY);
using TRepairRoutine = void (*)(TCaptionTarget&, TListCountTarget&, TRegistryContents&, TRepairContents&);

// One scan's inputs and outputs. The scan state starts clean (no stop, numbers from 1, new
// findings ticked, E: and F: not fixed, an ignore file of the run's own) and every global it
// set is put back when the run ends.
class TScanRun {
  testing_support::TKeep<PublicFunctionUnit::TRunState> state_{PublicFunctionUnit::ScanState};
  testing_support::TKeep<int32_t> number_{PublicFunctionUnit::ProblemNumber}, items_{PublicFunctionUnit::ItemsProcessed},
      visited_{PublicFunctionUnit::VisitedKeyCount};
  testing_support::TKeep<bool> selectAll_{PublicFunctionUnit::MyRegistryInfo.SelectAll};
  testing_support::TKeep<std::vector<std::string>> drives_{PublicFunctionUnit::NonFixedDrives.Items};

 public:
  TScanRun();
  ~TScanRun() { PublicFunctionUnit::SetIgnoreFileName(""); }

  TCaptionHolder CurrentItem;
  TCaptionHolder CountLabel;
  TIgnoreContents IgnoreList;
  TRegistryContents Contents;
  testing_support::TempFolder Folder;   // the test's files and the run's ignore file

  // Runs a section's scan over this run's outputs and collection.
  void Scan(TScanRoutine scan, const std::string& keyPath, HKEY root) {
    scan(0, &CurrentItem, &CountLabel, IgnoreList, Contents, keyPath, root);
  }
  // The stop request ends the scan before its first finding.
  void ExpectStopEndsScan(TScanRoutine scan, const std::string& keyPath, HKEY root);
  // Appends the finding's exclusion to the ignore file and reloads the list, as a scan start does.
  void Exclude(const std::string& caption, const TContent& finding);
  // Puts an exclusion straight into the list.
  void Ignore(const std::string& caption, const std::string& keyPath, const std::string& valueName);

  // The findings whose KeyPath, ValueName or ShortName contains `mark`, in collection order.
  std::vector<TContent> Mine(const std::string& mark) const;
  Texts Values(const std::string& mark) const;
  // "KeyPath|ValueName|Value" of every finding, in order.
  Texts Lines() const;
  // Ticks exactly the findings at these indexes.
  void TickIndexes(const std::vector<int>& indexes);
};


// The findings whose key path is keyPath.
std::vector<TContent> FindingsAt(const TRegistryContents& contents, const std::string& keyPath);

// A missing-path finding: the names its repair and exclusion use and the texts the results
// page shows (" Key Path:" + KeyPath and the kind "Missing or Invalid Path" are common to all).
struct TExpectedFinding {
  std::string KeyPath, ShortName, ValueName, ValueNameLine, ValueLine, FaultLine, DescriptionLine;
};
void ExpectFinding(const TContent& c, const TExpectedFinding& e);

// What a repair shows and logs.
struct TRepairRun {
  TCaptionHolder Status;
  TListCountHolder FinishList;
  TRepairContents Log;
  void Repair(TRepairRoutine repair, TRegistryContents& contents) { repair(Status, FinishList, contents, Log); }
  scan_test::Lines Lines() const;
};

// A test whose fixture is one scan run and the repair of its findings.
class ScanTest : public ::testing::Test, public TScanRun, public TRepairRun {
 protected:
  using TScanRun::Lines;
};

}  // namespace scan_test
