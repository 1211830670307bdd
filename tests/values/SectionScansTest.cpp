// The sections that judge the values or subkeys of one key, over a sandbox key each: what they
// report (every finding's data, one finding's texts), their numbering, count and progress, and
// that an exclusion hides exactly the finding excluded and a stop request ends the scan.
#include <gtest/gtest.h>

#include <functional>

#include "scan/ApplicationPathsUnit.h"
#include "scan/SharedDLLsUnit.h"
#include "scan/UninstallSectionUnit.h"
#include "scan/WindowsFontsUnit.h"
#include "support/ScanFixture.h"

using namespace scan_test;
using namespace testing_support;

namespace {

// What a section's scan of the planted key must show.
struct TExpected {
  Texts Values;               // every finding's Value, in order
  Texts Names;                // every finding's ValueName, in order ("" when not compared)
  int Detailed = 0;           // the finding whose texts are compared
  TExpectedFinding Finding;
  std::string CurrentItem;    // the current-item text once the scan is over
  int ItemsProcessed = 0;
};

struct TSectionCase {
  const char* Name;
  const char* Caption;
  TScanRoutine Scan;
  // Plants the section's entries under the key (files in the run's folder) and says what the
  // scan must show.
  std::function<TExpected(TScanRun&, const RegSandbox&)> Plant;
};

// A file in the Windows Fonts folder for the test's duration only.
struct TFontFile {
  std::string Path;
  explicit TFontFile(const std::string& name) : Path(PublicFunctionUnit::GetWindowsDir() + "\\Fonts\\" + name) {
    WriteFileBytes(Path, "x");
  }
  ~TFontFile() { DeleteFileW(Widen(Path).c_str()); }
};

using Plant = std::pair<const char*, std::string>;

std::string Bad(const std::string& file, const std::string& key) {
  return "The Key " + file + " under " + key + " contains a bad path for the value";
}
std::string Missing(const std::string& prefix, const std::string& file) {
  return prefix + file + ") does not exist at the specified location";
}

TExpected PlantFonts(TScanRun& run, const RegSandbox& key) {
  key.SetString("", "A Missing", "zvmissing.ttf");
  key.SetString("", "B Present", TestName() + ".ttf");
  key.SetRaw("", "C Binary", REG_BINARY, {1, 2});
  for (const auto& [name, data] : {Plant{"D Full", run.Folder.WriteFile("Fonts-external\\x.ttf")},
                                   {"E Full Missing", run.Folder.Path() + "gone.ttf"}, {"F CD", "E:\\fonts\\x.ttf"}})
    key.SetString("", name, data);
  key.SetString("", "G Spaced", "  zvspaced.ttf ", REG_EXPAND_SZ);
  key.SetString("", "H Ünïcode present", TestName() + "-ä.ttf");
  key.SetString("", "I Ünïcode missing", "zv-fehlt-ö.ttf");
  const std::string k = key.FullPath();
  return {.Values = {"zvmissing.ttf", run.Folder.Path() + "gone.ttf", "  zvspaced.ttf ", "zv-fehlt-ö.ttf"},
          .Names = {"A Missing", "E Full Missing", "G Spaced", "I Ünïcode missing"},
          .Finding = {.KeyPath = k, .ShortName = "Fonts", .ValueName = "A Missing",
                      .ValueNameLine = " ValueName:A Missing", .ValueLine = " Value:zvmissing.ttf",
                      .FaultLine = Missing(" The file (", "zvmissing.ttf"), .DescriptionLine = Bad("zvmissing.ttf", k)},
          .CurrentItem = key.Path() + "I Ünïcode missing",
          .ItemsProcessed = 9};
}

TExpected PlantSharedDlls(TScanRun& run, const RegSandbox& key) {
  const std::string dir = run.Folder.Path();
  for (const char* file : {"a\\present.dll", "c\\present.dll", "h\\bibliothèque.dll"}) run.Folder.WriteFile(file);
  key.SetString("", dir + "a\\present.dll", "0");             // count 0: reported though present
  key.SetDword("", dir + "b\\gone.dll", 1);                    // missing
  key.SetRaw("", dir + "c\\present.dll", REG_BINARY, {0x0A});  // count 10, present
  key.SetDword("", dir + "d\\gone.SyS", 0);                    // drivers are never judged
  key.SetRaw("", dir + "e\\gone.dll", REG_MULTI_SZ, {0, 0});   // other type: count -1
  // a CD-ROM drive named; msoe.dll ends the section
  for (const auto& [name, count] : std::initializer_list<std::pair<const char*, DWORD>>{
           {"f\\E:gone.dll", 0}, {"g\\A:gone.dll", 0}, {"h\\bibliothèque.dll", 1}, {"i\\manquée.dll", 2},
           {"y\\msoe.dll", 1}, {"z\\after.dll", 1}})
    key.SetDword("", dir + name, count);
  const std::string k = key.FullPath(), name = dir + "b\\gone.dll";
  return {.Values = {"0", "1", "-1", "2"},
          .Names = {dir + "a\\present.dll", name, dir + "e\\gone.dll", dir + "i\\manquée.dll"},
          .Detailed = 1,
          .Finding = {.KeyPath = k, .ShortName = "SharedDlls", .ValueName = name,
                      .ValueNameLine = " ValueName:default", .ValueLine = " Value:" + name,
                      .FaultLine = Missing(" The file (", name), .DescriptionLine = Bad(name, k)},
          .CurrentItem = dir + "y\\msoe.dll",
          .ItemsProcessed = 10};
}

TExpected PlantAppPaths(TScanRun& run, const RegSandbox& key) {
  const std::string dir = ExcludeTrailingBackslash(run.Folder.Path());
  const std::string windows = PublicFunctionUnit::GetWindowsDir();
  const std::string programFiles = PublicFunctionUnit::GetProgramFilesDir(0);
  EXPECT_TRUE(FileExists(windows + "\\notepad.exe"));
  EXPECT_TRUE(FileExists(programFiles + "\\Internet Explorer\\iexplore.exe"));
  run.Folder.WriteFile("prögram.exe");
  key.SetString("a.exe", "", windows + "\\notepad.exe");
  key.SetString("b.exe", "", "zvmissing.exe");
  key.SetString("b.exe", "Path", dir);
  key.CreateKey("b.exe\\sub");
  key.SetString("c.exe", "", "zvmissing.exe");
  key.SetString("c.exe", "Path", dir + "\\");
  key.SetString("g.exe", "", "C:\\nosuch\\x.exe", REG_EXPAND_SZ);
  // h.exe is found on the search path
  for (const auto& [sub, data] : {Plant{"d.exe", "%ProgramFiles%\\Internet Explorer\\iexplore.exe"},
                                  {"e.exe", "\"%ProgramFiles%\\ZvNoSuch\\x.exe\""}, {"f.exe", "%SystemRoot%\\notepad.exe"},
                                  {"h.exe", "notepad.exe"}, {"i.exe", "zvnosuch.exe"}, {"j.exe", "E:\\x.exe"},
                                  {"k.exe", "C:\\nosuch\\prog"}, {"l.exe", "\"%SystemRoot%\\notepad.exe\""},
                                  {"ü.exe", dir + "\\prögram.exe"}, {"ÿ.exe", dir + "\\fehlt-ä.exe"}})
    key.SetString(sub, "", data);
  const std::string bKey = key.FullPath() + "\\b.exe", full = dir + "\\zvmissing.exe";
  return {.Values = {full, full, programFiles + "\\ZvNoSuch\\x.exe", "\\zvnosuch.exe", dir + "\\fehlt-ä.exe"},
          .Finding = {.KeyPath = bKey, .ShortName = "b.exe", .ValueName = "Path", .ValueNameLine = " ValueName:Path",
                      .ValueLine = " Value:" + full, .FaultLine = Missing(" The file (", full),
                      .DescriptionLine = Bad(full, bKey)},
          .CurrentItem = key.FullPath() + "\\ÿ.exe",
          .ItemsProcessed = 14};
}

TExpected PlantUninstall(TScanRun& run, const RegSandbox& key) {
  const std::string dir = run.Folder.Path();
  for (const char* file : {"un.exe", "désinstaller.exe"}) run.Folder.WriteFile(file);
  auto plant = [&](const std::string& sub, const std::string& command) {
    key.SetString(sub, "DisplayName", sub);
    key.SetString(sub, "UninstallString", command);
  };
  plant("A", "\"" + dir + "un.exe\" /S");
  plant("B", dir + "gone\\un.exe /S");
  plant("C", "MsiExec.exe /X{123}");
  plant("D", "");
  plant("E", dir + "un.exe /LOG=" + dir + "nolog.txt");
  key.SetDword("F", "UninstallString", 1);
  plant("G", "E:\\setup.exe");
  plant("H Désinstalleur", dir + "désinstaller.exe /quiet");
  plant("I Entfernen", "\"" + dir + "gone\\entfernen-ä.exe\" /x");
  const std::string command = dir + "gone\\un.exe /S", bKey = key.FullPath() + "\\B";
  return {.Values = {command, dir + "gone\\entfernen-ä.exe /x"},
          .Finding = {.KeyPath = bKey, .ShortName = "B", .ValueName = "UninstallString",
                      .ValueNameLine = " ValueName:UninstallString", .ValueLine = " Value:" + command,
                      .FaultLine = Missing("The file (", command), .DescriptionLine = Bad(command, bKey)},
          .CurrentItem = "I Entfernen",
          .ItemsProcessed = 9};
}

const TSectionCase kCases[] = {
    {"Fonts", WindowsFontsUnit::SectionCaption, WindowsFontsUnit::ScanFonts, PlantFonts},
    {"SharedDlls", SharedDLLsUnit::SectionCaption, SharedDLLsUnit::ScanSharedDlls, PlantSharedDlls},
    {"AppPaths", ApplicationPathsUnit::SectionCaption, ApplicationPathsUnit::ScanApplicationPaths, PlantAppPaths},
    {"Uninstall", UninstallSectionUnit::SectionCaption, UninstallSectionUnit::ScanUninstallEntries, PlantUninstall},
};

class SectionScan : public ::testing::TestWithParam<TSectionCase> {};

Texts Field(const TRegistryContents& contents, std::string TContent::*field) {
  Texts v;
  for (int i = 0; i < contents.Count(); ++i) v.push_back(contents.GetItem(i).Content.*field);
  return v;
}

}  // namespace

TEST_P(SectionScan, ReportsWithExactTextsAndHonoursExclusionsAndStop) {
  const TSectionCase& c = GetParam();
  TScanRun run;
  RegSandbox key(HKEY_CURRENT_USER, "Software\\ZelvoranTest", "Schlüssel");
  TFontFile present(TestName() + ".ttf"), presentUnicode(TestName() + "-ä.ttf");   // for the fonts
  const TExpected e = c.Plant(run, key);
  run.Scan(c.Scan, key.Path(), key.Root());

  ASSERT_EQ(Field(run.Contents, &TContent::Value), e.Values);
  if (!e.Names.empty()) EXPECT_EQ(Field(run.Contents, &TContent::ValueName), e.Names);
  ExpectFinding(run.Contents.GetItem(e.Detailed).Content, e.Finding);
  for (int i = 0; i < run.Contents.Count(); ++i)
    EXPECT_TRUE(run.Contents.GetItem(i).Content.Number == i + 1 && run.Contents.GetItem(i).Content.Checked) << i;
  EXPECT_EQ(run.CountLabel.Text, std::to_string(e.Values.size()));
  EXPECT_EQ(run.CurrentItem.Text, e.CurrentItem);
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, e.ItemsProcessed);

  // Excluding the first finding hides it alone, also when later entries follow it; a new scan
  // starts from an empty collection, takes the tick from the setting and numbers on.
  run.Exclude(c.Caption, run.Contents.GetItem(0).Content);
  PublicFunctionUnit::MyRegistryInfo.SelectAll = false;
  run.Contents.Clear();
  run.Scan(c.Scan, key.Path(), key.Root());
  EXPECT_EQ(Field(run.Contents, &TContent::Value), Texts(e.Values.begin() + 1, e.Values.end()));
  ASSERT_GT(run.Contents.Count(), 0);
  EXPECT_FALSE(run.Contents.GetItem(0).Content.Checked);
  EXPECT_EQ(run.Contents.GetItem(0).Content.Number, (int)e.Values.size() + 1);

  PublicFunctionUnit::ItemsProcessed = 0;
  run.ExpectStopEndsScan(c.Scan, key.Path(), key.Root());
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 0);
}

INSTANTIATE_TEST_SUITE_P(Sections, SectionScan, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TSectionCase>& info) { return info.param.Name; });
