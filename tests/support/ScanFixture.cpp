#include "ScanFixture.h"

#include <algorithm>

#include "framework/Strings.h"

namespace scan_test {

using namespace PublicFunctionUnit;

static std::string RunFolderSuffix() {
  static int runs = 0;
  return Format("run%d", ++runs);
}

TScanRun::TScanRun() : Folder(RunFolderSuffix()) {
  ScanState = TRunState::Idle;
  ProblemNumber = 0;
  ItemsProcessed = 0;
  VisitedKeyCount = 0;
  MyRegistryInfo.SelectAll = true;
  NonFixedDrives.Items = {"E:", "F:"};   // the test prefix's CD-ROM and floppy drives
  SetIgnoreFileName(Folder.Path() + "ZelvoranIgnores.dat");
}

void TScanRun::ExpectStopEndsScan(TScanRoutine scan, const std::string& keyPath, HKEY root) {
  testing_support::TKeep<TRunState> stop(ScanState, TRunState::StopScan);
  Contents.Clear();
  Scan(scan, keyPath, root);
  EXPECT_EQ(Contents.Count(), 0);
}

void TScanRun::Exclude(const std::string& caption, const TContent& finding) {
  AppendFileBytes(IgnoreFileName(), IgnoreLine(caption, finding.KeyPath, finding.ValueName, finding.UnnamedValue));
  LoadIgnoreList(IgnoreList);
}

void TScanRun::Ignore(const std::string& caption, const std::string& keyPath, const std::string& valueName) {
  auto& e = IgnoreList.GetItem(IgnoreList.Add()).Content;
  e.Section = caption;
  e.KeyPath = keyPath;
  e.ValueName = valueName;
}

std::vector<TContent> TScanRun::Mine(const std::string& mark) const {
  std::vector<TContent> found;
  for (int i = 0; i < Contents.Count(); ++i) {
    const TContent& c = Contents.GetItem(i).Content;
    if (c.KeyPath.find(mark) != std::string::npos || c.ValueName.find(mark) != std::string::npos ||
        c.ShortName.find(mark) != std::string::npos)
      found.push_back(c);
  }
  return found;
}

Texts TScanRun::Values(const std::string& mark) const {
  Texts v;
  for (const TContent& c : Mine(mark)) v.push_back(c.Value);
  return v;
}

Texts TScanRun::Lines() const {
  Texts r;
  for (int i = 0; i < Contents.Count(); ++i) {
    const TContent& c = Contents.GetItem(i).Content;
    r.push_back(c.KeyPath + "|" + c.ValueName + "|" + c.Value);
  }
  return r;
}

void TScanRun::TickIndexes(const std::vector<int>& indexes) {
  for (int i = 0; i < Contents.Count(); ++i)
    Contents.GetItem(i).Content.Checked = std::find(indexes.begin(), indexes.end(), i) != indexes.end();
}

std::vector<TContent> FindingsAt(const TRegistryContents& contents, const std::string& keyPath) {
  std::vector<TContent> found;
  for (int i = 0; i < contents.Count(); ++i)
    if (contents.GetItem(i).Content.KeyPath == keyPath) found.push_back(contents.GetItem(i).Content);
  return found;
}

void ExpectFinding(const TContent& c, const TExpectedFinding& e) {
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

Lines TRepairRun::Lines() const {
  scan_test::Lines lines;
  for (int i = 0; i < Log.Count(); ++i) lines.emplace_back(Log.GetItem(i).Content.KeyPath, Log.GetItem(i).Content.Status);
  return lines;
}

}  // namespace scan_test
