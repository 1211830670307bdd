// The scanners whose entries are subkeys: application paths and uninstall entries (file extensions
// and file associations are in the classes-root tests).
#include <gtest/gtest.h>

#include "support/Planting.h"
#include "support/ScanFixture.h"
#include "scan/ApplicationPathsUnit.h"
#include "scan/UninstallSectionUnit.h"

using namespace scan_test;
using namespace testing_support;

TEST(AppPaths, ReportsMissingProgramsAndKeepsWhatWindowsFinds) {
  TScanRun run;
  RegSandbox key;
  std::string dir = ExcludeTrailingBackslash(run.Folder.Path());
  std::string windows = PublicFunctionUnit::GetWindowsDir();
  std::string programFiles = PublicFunctionUnit::GetProgramFilesDir(0);
  ASSERT_TRUE(FileExists(windows + "\\notepad.exe"));
  ASSERT_TRUE(FileExists(programFiles + "\\Internet Explorer\\iexplore.exe"));
  run.Folder.WriteFile("prögram.exe");
  key.SetString("a.exe", "", windows + "\\notepad.exe");
  key.SetString("b.exe", "", "zvmissing.exe");
  key.SetString("b.exe", "Path", dir);
  key.CreateKey("b.exe\\sub");
  key.SetString("c.exe", "", "zvmissing.exe");
  key.SetString("c.exe", "Path", dir + "\\");
  key.SetString("d.exe", "", "%ProgramFiles%\\Internet Explorer\\iexplore.exe");
  key.SetString("e.exe", "", "\"%ProgramFiles%\\ZvNoSuch\\x.exe\"");
  key.SetString("f.exe", "", "%SystemRoot%\\notepad.exe");
  key.SetString("g.exe", "", "C:\\nosuch\\x.exe", REG_EXPAND_SZ);
  key.SetString("h.exe", "", "notepad.exe");                        // found on the search path
  key.SetString("i.exe", "", "zvnosuch.exe");
  key.SetString("j.exe", "", "E:\\x.exe");
  key.SetString("k.exe", "", "C:\\nosuch\\prog");
  key.SetString("l.exe", "", "\"%SystemRoot%\\notepad.exe\"");
  key.SetString("ü.exe", "", dir + "\\prögram.exe");
  key.SetString("ÿ.exe", "", dir + "\\fehlt-ä.exe");
  auto scan = [&] {
    run.Contents.Clear();
    run.Scan(ApplicationPathsUnit::ScanApplicationPaths, key.Path(), key.Root());
  };
  scan();

  EXPECT_EQ(run.Values(""), (Texts{dir + "\\zvmissing.exe", dir + "\\zvmissing.exe",
                                   programFiles + "\\ZvNoSuch\\x.exe", "\\zvnosuch.exe", dir + "\\fehlt-ä.exe"}));
  ASSERT_EQ(run.Contents.Count(), 5);
  const TContent& b = run.Contents.GetItem(0).Content;
  std::string bKey = key.FullPath() + "\\b.exe", full = dir + "\\zvmissing.exe";
  ExpectFinding(b, {.KeyPath = bKey, .ShortName = "b.exe", .ValueName = "Path", .ValueNameLine = " ValueName:Path",
                    .ValueLine = " Value:" + full,
                    .FaultLine = " The file (" + full + ") does not exist at the specified location",
                    .DescriptionLine = "The Key " + full + " under " + bKey + " contains a bad path for the value"});
  EXPECT_EQ(run.Contents.GetItem(4).Content.Number, 5);
  EXPECT_EQ(run.Contents.GetItem(4).Content.ShortName, "ÿ.exe");
  EXPECT_EQ(run.CountLabel.Text, "5");
  EXPECT_EQ(run.CurrentItem.Text, key.FullPath() + "\\ÿ.exe");
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 14);

  run.Exclude(ApplicationPathsUnit::SectionCaption, b);
  scan();
  EXPECT_EQ(run.Mine("\\b.exe").size(), 0u);
  EXPECT_EQ(run.Mine("\\c.exe").size(), 1u);
  EXPECT_EQ(run.Contents.Count(), 4);
  run.ExpectStopEndsScan(ApplicationPathsUnit::ScanApplicationPaths, key.Path(), key.Root());
}

TEST(Uninstall, ReportsCommandsWhoseProgramIsMissing) {
  TScanRun run;
  RegSandbox key;
  std::string dir = run.Folder.Path();
  run.Folder.WriteFile("un.exe");
  run.Folder.WriteFile("désinstaller.exe");
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
  auto scan = [&] { run.Scan(UninstallSectionUnit::ScanUninstallEntries, key.Path(), key.Root()); };
  scan();

  std::string command = dir + "gone\\un.exe /S";
  EXPECT_EQ(run.Values(""), (Texts{command, dir + "gone\\entfernen-ä.exe /x"}));
  ASSERT_EQ(run.Contents.Count(), 2);
  const TContent& b = run.Contents.GetItem(0).Content;
  std::string bKey = key.FullPath() + "\\B";
  ExpectFinding(b, {.KeyPath = bKey, .ShortName = "B", .ValueName = "UninstallString",
                    .ValueNameLine = " ValueName:UninstallString", .ValueLine = " Value:" + command,
                    .FaultLine = "The file (" + command + ") does not exist at the specified location",
                    .DescriptionLine = "The Key " + command + " under " + bKey + " contains a bad path for the value"});
  EXPECT_EQ(run.Contents.GetItem(1).Content.Number, 2);
  EXPECT_EQ(run.CountLabel.Text, "2");
  EXPECT_EQ(run.CurrentItem.Text, "I Entfernen");
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 9);

  run.Exclude(UninstallSectionUnit::SectionCaption, b);
  scan();
  EXPECT_EQ(run.Values(""), (Texts{dir + "gone\\entfernen-ä.exe /x"}));
  run.ExpectStopEndsScan(UninstallSectionUnit::ScanUninstallEntries, key.Path(), key.Root());
}

