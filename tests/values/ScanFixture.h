// What the scanner tests share: the outputs a scan writes to, clean scan state, exclusions
// written the way the results page writes them, and keys planted outside the sandbox.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include "framework/Outputs.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/RegistryContentUnit.h"
#include "scan/SectionCommon.h"
#include "support/TestSupport.h"

namespace values_test {

using Texts = std::vector<std::string>;
using Lines = std::vector<std::pair<std::string, std::string>>;   // repair log: path, status
inline const char* kOk = SectionCommon::RepairedText;
inline const char* kFailed = SectionCommon::RepairFailedText;

// A section's scan and repair routines, as the scan and repair drivers call them.
using TScanRoutine = void (*)(int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&,
                              const std::string&, HKEY);
using TRepairRoutine = void (*)(TCaptionTarget&, TListCountTarget&, TRegistryContents&, TRepairContents&);

struct TScanRun {
  TCaptionHolder CurrentItem;
  TCaptionHolder CountLabel;
  TIgnoreContents IgnoreList;
  TRegistryContents Contents;
  testing_support::TempFolder Folder;   // the test's files and its ignore file

  TScanRun() {
    using namespace PublicFunctionUnit;
    ScanState = TRunState::Idle;
    ProblemNumber = 0;
    ItemsProcessed = 0;
    MyRegistryInfo.SelectAll = true;
    NonFixedDrives.Items = {"E:", "F:"};   // the test prefix's CD-ROM and floppy drives
    SetIgnoreFileName(Folder.Path() + "ZelvoranIgnores.dat");
  }
  ~TScanRun() {
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
    PublicFunctionUnit::SetIgnoreFileName("");
  }

  // Runs a section's scan over this run's outputs and collection.
  void Scan(TScanRoutine scan, const std::string& keyPath, HKEY root) {
    scan(0, &CurrentItem, &CountLabel, IgnoreList, Contents, keyPath, root);
  }
  // The stop request ends the scan before its first finding.
  void ExpectStopEndsScan(TScanRoutine scan, const std::string& keyPath, HKEY root) {
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::StopScan;
    Contents.Clear();
    Scan(scan, keyPath, root);
    EXPECT_EQ(Contents.Count(), 0);
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
  }

  // Appends the finding's exclusion to the ignore file and reloads the list, as a scan start does.
  void Exclude(const std::string& caption, const TContent& finding) {
    using namespace PublicFunctionUnit;
    AppendFileBytes(IgnoreFileName(), IgnoreLine(caption, finding.KeyPath, finding.ValueName));
    LoadIgnoreList(IgnoreList);
  }

  // The findings whose KeyPath (or ValueName) contains `mark`, in collection order.
  std::vector<TContent> Mine(const std::string& mark) const {
    std::vector<TContent> found;
    for (int i = 0; i < Contents.Count(); ++i) {
      const TContent& c = Contents.GetItem(i).Content;
      if (c.KeyPath.find(mark) != std::string::npos || c.ValueName.find(mark) != std::string::npos ||
          c.ShortName.find(mark) != std::string::npos)
        found.push_back(c);
    }
    return found;
  }
  std::vector<std::string> Values(const std::string& mark) const {
    std::vector<std::string> v;
    for (const TContent& c : Mine(mark)) v.push_back(c.Value);
    return v;
  }
};

// Ticks exactly the findings whose Value or KeyPath is one of `ticked`; all others are unticked
// (the prefix's own findings in shared keys are never repaired by a test).
inline void TickOnly(TRegistryContents& contents, const std::vector<std::string>& ticked) {
  for (int i = 0; i < contents.Count(); ++i) {
    TContent& c = contents.GetItem(i).Content;
    c.Checked = std::find(ticked.begin(), ticked.end(), c.Value) != ticked.end() ||
                std::find(ticked.begin(), ticked.end(), c.KeyPath) != ticked.end();
  }
}

// A missing-path finding: the names its repair and exclusion use and the texts the results
// page shows (" Key Path:" + KeyPath and the kind "Missing or Invalid Path" are common to all).
struct TExpectedFinding {
  std::string KeyPath, ShortName, ValueName, ValueNameLine, ValueLine, FaultLine, DescriptionLine;
};

inline void ExpectFinding(const TContent& c, const TExpectedFinding& e) {
  EXPECT_EQ(c.KeyPath, e.KeyPath);
  EXPECT_EQ(c.ShortName, e.ShortName);
  EXPECT_EQ(c.ValueName, e.ValueName);
  EXPECT_EQ(c.KeyPathLine, " Key Path:" + e.KeyPath);
  EXPECT_EQ(c.ValueNameLine, e.ValueNameLine);
  EXPECT_EQ(c.ValueLine, e.ValueLine);
  EXPECT_EQ(c.FaultLine, e.FaultLine);
  EXPECT_EQ(c.DescriptionLine, e.DescriptionLine);
  EXPECT_EQ(c.ProblemKind, "Missing or Invalid Path");
}

struct TRepairRun {
  TCaptionHolder Status;
  TListCountHolder FinishList;
  TRepairContents Log;
  void Repair(TRepairRoutine repair, TRegistryContents& contents) { repair(Status, FinishList, contents, Log); }
  std::vector<std::pair<std::string, std::string>> Lines() const {
    std::vector<std::pair<std::string, std::string>> lines;
    for (int i = 0; i < Log.Count(); ++i) lines.emplace_back(Log.GetItem(i).Content.KeyPath, Log.GetItem(i).Content.Status);
    return lines;
  }
};

// A key planted under a fixed key of the prefix (HKCR, HKLM help keys, the user's FileExts),
// removed with its subtree afterwards.
class TPlantedKey {
 public:
  TPlantedKey(HKEY root, std::string path) : root_(root), path_(std::move(path)) {
    SHDeleteKeyW(root_, Widen(path_).c_str());
    Create("");
  }
  ~TPlantedKey() { SHDeleteKeyW(root_, Widen(path_).c_str()); }
  const std::string& Path() const { return path_; }
  void Create(const std::string& sub) const { Set(sub, nullptr, REG_NONE, nullptr, 0); }
  void SetString(const std::string& sub, const std::string& name, const std::string& value, DWORD type = REG_SZ) const {
    std::wstring w = Widen(value), n = Widen(name);
    Set(sub, n.c_str(), type, w.c_str(), DWORD((w.size() + 1) * 2));
  }
  bool Exists(const std::string& sub = "") const {
    HKEY h;
    if (RegOpenKeyExW(root_, Widen(Join(sub)).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
  }
 private:
  std::string Join(const std::string& sub) const { return sub.empty() ? path_ : path_ + "\\" + sub; }
  void Set(const std::string& sub, const wchar_t* name, DWORD type, const void* data, DWORD size) const {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(root_, Widen(Join(sub)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    if (name != nullptr) RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(h);
  }
  HKEY root_;
  std::string path_;
};

// Values planted into an existing or shared key of the prefix; only these values are removed
// afterwards, the key stays.
class TPlantedValues {
 public:
  TPlantedValues(HKEY root, std::string path) : root_(root), path_(std::move(path)) {}
  ~TPlantedValues() {
    HKEY h;
    if (RegOpenKeyExW(root_, Widen(path_).c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
    for (const std::string& n : names_) RegDeleteValueW(h, Widen(n).c_str());
    RegCloseKey(h);
  }
  void SetString(const std::string& name, const std::string& value, DWORD type = REG_SZ) {
    names_.push_back(name);
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(root_, Widen(path_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    std::wstring w = Widen(value);
    RegSetValueExW(h, Widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(w.c_str()), DWORD((w.size() + 1) * 2));
    RegCloseKey(h);
  }
  bool HasValue(const std::string& name) const {
    HKEY h;
    if (RegOpenKeyExW(root_, Widen(path_).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExW(h, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(h);
    return found;
  }

 private:
  HKEY root_;
  std::string path_;
  std::vector<std::string> names_;
};

}  // namespace values_test
