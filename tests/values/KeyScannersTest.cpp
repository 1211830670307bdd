// The scanners whose entries are subkeys: application paths, uninstall entries, file extensions
// and file associations.
#include <gtest/gtest.h>

#include "ScanFixture.h"
#include "scan/ApplicationPathsUnit.h"
#include "scan/FileAssociationsUnit.h"
#include "scan/FileExtensionUnit.h"
#include "scan/UninstallSectionUnit.h"

using namespace values_test;
using testing_support::RegSandbox;
using testing_support::TestName;

namespace {
void DeleteSubtree(HKEY root, const std::string& path) { SHDeleteKeyW(root, Widen(path).c_str()); }
}  // namespace

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

TEST(AppPaths, RepairDeletesTheWholeSubkey) {
  TScanRun run;
  RegSandbox key;
  key.SetString("b.exe", "", "zvmissing.exe");
  key.SetString("b.exe", "Path", "C:\\nosuch");
  key.CreateKey("b.exe\\sub");
  key.SetString("c.exe", "", "C:\\nosuch\\c.exe");
  key.SetString("d.exe", "", "C:\\nosuch\\d.exe");
  run.Scan(ApplicationPathsUnit::ScanApplicationPaths, key.Path(), key.Root());
  ASSERT_EQ(run.Contents.Count(), 3);
  std::string bKey = key.FullPath() + "\\b.exe", dKey = key.FullPath() + "\\d.exe";
  TickOnly(run.Contents, {bKey, dKey});
  DeleteSubtree(key.Root(), key.Path() + "\\d.exe");
  TRepairRun repair;
  repair.Repair(ApplicationPathsUnit::RepairApplicationPaths, run.Contents);
  EXPECT_EQ(repair.Lines(), (Lines{{bKey, kOk}, {dKey, kFailed}}));
  EXPECT_FALSE(key.KeyExists("b.exe"));
  EXPECT_TRUE(key.KeyExists("c.exe"));
  EXPECT_EQ(repair.FinishList.Count, 2);
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

TEST(Uninstall, RepairDeletesOnlyTheUninstallString) {
  TScanRun run;
  RegSandbox key;
  key.SetString("B", "DisplayName", "B");
  key.SetString("B", "UninstallString", "C:\\nosuch\\b.exe /S");
  key.SetString("C", "UninstallString", "C:\\nosuch\\c.exe");
  key.SetString("D", "UninstallString", "C:\\nosuch\\d.exe");
  run.Scan(UninstallSectionUnit::ScanUninstallEntries, key.Path(), key.Root());
  ASSERT_EQ(run.Contents.Count(), 3);
  std::string bKey = key.FullPath() + "\\B", dKey = key.FullPath() + "\\D";
  TickOnly(run.Contents, {bKey, dKey});
  RegDeleteKeyValueW(key.Root(), Widen(key.Path() + "\\D").c_str(), L"UninstallString");
  TRepairRun repair;
  repair.Repair(UninstallSectionUnit::RepairUninstallEntries, run.Contents);
  EXPECT_EQ(repair.Lines(), (Lines{{bKey, kOk}, {dKey, kFailed}}));
  EXPECT_FALSE(key.ValueExists("B", "UninstallString"));
  EXPECT_TRUE(key.ValueExists("B", "DisplayName"));
  EXPECT_TRUE(key.ValueExists("C", "UninstallString"));
}

TEST(FileExtensions, ReportsExtensionsWithAnEmptyDefault) {
  TScanRun run;
  std::string t = TestName();
  TPlantedKey e1(HKEY_CLASSES_ROOT, ".zv1-" + t), e2(HKEY_CLASSES_ROOT, ".zv2-" + t),
      e3(HKEY_CLASSES_ROOT, ".zv3-" + t), e4(HKEY_CLASSES_ROOT, ".zv4-" + t), e5(HKEY_CLASSES_ROOT, ".zv5-ä-" + t);
  e1.SetString("", "", "");
  e1.SetString("ShellNew", "NullFile", "");
  e3.SetString("", "", "txtfile");
  e4.SetString("", "", "", REG_EXPAND_SZ);
  e5.SetString("", "", "");
  auto scan = [&](const std::string& keyPath) {
    run.Contents.Clear();
    run.Scan(FileExtensionUnit::ScanFileExtensions, keyPath, HKEY_CURRENT_USER);   // the classes root whatever is passed
  };
  scan("");

  auto mine = run.Mine(t);
  ASSERT_EQ(mine.size(), 3u);
  std::string k1 = "HKEY_CLASSES_ROOT\\" + e1.Path();
  ExpectFinding(mine[0], {.KeyPath = k1, .ShortName = e1.Path(), .ValueName = "default",
                          .ValueNameLine = " ValueName:default", .ValueLine = " Value:",
                          .FaultLine = " The file()does not exist at the specified location",
                          .DescriptionLine = "The Key default under " + k1 + " contains a bad path for the value"});
  EXPECT_EQ(mine[0].Value, "");
  EXPECT_EQ(mine[1].KeyPath, "HKEY_CLASSES_ROOT\\" + e4.Path());
  EXPECT_EQ(mine[2].KeyPath, "HKEY_CLASSES_ROOT\\" + e5.Path());
  EXPECT_LT(mine[0].Number, mine[1].Number);
  EXPECT_EQ(run.CountLabel.Text, std::to_string(run.Contents.Count()));

  run.Exclude(FileExtensionUnit::SectionCaption, mine[0]);
  scan("xyz");
  mine = run.Mine(t);
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(mine[0].ShortName, e4.Path());
  EXPECT_EQ(mine[0].Value, "xyz");
  EXPECT_EQ(mine[0].FaultLine, " The file(xyz)does not exist at the specified location");
  EXPECT_EQ(mine[0].DescriptionLine, "The Key xyz under HKEY_CLASSES_ROOT\\" + e4.Path() +
                                         " contains a bad path for the value");
}

TEST(FileExtensions, RepairDeletesTheExtensionKeyWithItsSubkeys) {
  TScanRun run;
  std::string t = TestName();
  TPlantedKey e1(HKEY_CLASSES_ROOT, ".zv1-" + t), e4(HKEY_CLASSES_ROOT, ".zv4-" + t),
      e5(HKEY_CLASSES_ROOT, ".zv5-" + t);
  for (const TPlantedKey* k : {&e1, &e4, &e5}) k->SetString("", "", "");
  e1.SetString("ShellNew", "NullFile", "");
  run.Scan(FileExtensionUnit::ScanFileExtensions, "", HKEY_CLASSES_ROOT);
  std::string k1 = "HKEY_CLASSES_ROOT\\" + e1.Path(), k4 = "HKEY_CLASSES_ROOT\\" + e4.Path();
  TickOnly(run.Contents, {k1, k4});
  DeleteSubtree(HKEY_CLASSES_ROOT, e4.Path());
  TRepairRun repair;
  repair.Repair(FileExtensionUnit::RepairFileExtensions, run.Contents);
  EXPECT_EQ(repair.Lines(), (Lines{{k1, kOk}, {k4, kFailed}}));
  EXPECT_FALSE(e1.Exists());
  EXPECT_TRUE(e5.Exists());
}

namespace {
// A classes root in a sandbox key, and the user's FileExts entries that make two of its
// extensions valid.
struct TAssociationsPlant {
  std::string Id = "ZvUserOnly-" + TestName();
  std::string Ext2 = ".zvfe2-" + TestName();
  RegSandbox Classes;
  TPlantedKey UserExt;
  TPlantedKey UserExt2;
  TAssociationsPlant()
      : UserExt(HKEY_CURRENT_USER, std::string(FileAssociationsUnit::UserFileExtsKey) + "\\.zvfe-" + TestName()),
        UserExt2(HKEY_CURRENT_USER, std::string(FileAssociationsUnit::UserFileExtsKey) + "\\" + Ext2) {
    UserExt.SetString("OpenWithProgids", Id, "");
    Classes.CreateKey("ZvClass");
    Classes.CreateKey("ZvCompressedFolder");
    Classes.CreateKey("ZVKLÄSS");
    Classes.SetString(".a", "", "ZVCLASS");             // valid in another letter case
    Classes.SetString(".b", "", "ZvNoSuch");            // invalid
    Classes.CreateKey(".b\\shell");
    Classes.SetString(".c", "", "ZvCompressedFolder");  // valid, though the split drops the class
    Classes.SetString(".d", "", "");
    Classes.SetString(".e", "", "ZvNoSuch\\x");
    Classes.SetString(".f", "", "E:ZvNoSuch");
    Classes.SetString(".g", "", Id);                    // one of the user's programs
    Classes.SetString(".hFolder", "", "ZvNoSuch");      // not an extension for the scan
    Classes.SetString(Ext2, "", "ZvNoSuch");            // the user has opened this extension
    Classes.SetString(".ü", "", "zvkläss");
    Classes.SetString(".ÿ", "", "ZvFehlt-ä");           // invalid
  }
};
}  // namespace

TEST(FileAssociations, ReportsIdentifiersThatNameNoClass) {
  TScanRun run;
  TAssociationsPlant plant;
  const RegSandbox& key = plant.Classes;
  auto scan = [&] { run.Scan(FileAssociationsUnit::ScanFileAssociations, key.Path(), key.Root()); };
  scan();
  EXPECT_EQ(run.Values(""), (Texts{"ZvNoSuch", "ZvFehlt-ä"}));
  ASSERT_EQ(run.Contents.Count(), 2);
  const TContent& b = run.Contents.GetItem(0).Content;
  std::string bKey = key.FullPath() + "\\.b";
  ExpectFinding(b, {.KeyPath = bKey, .ShortName = ".b", .ValueName = "default", .ValueNameLine = " ValueName:default",
                    .ValueLine = " Value:ZvNoSuch",
                    .FaultLine = " The file (ZvNoSuch) does not exist at the specified location",
                    .DescriptionLine = "The Key ZvNoSuch under " + bKey + " contains a bad path for the value"});
  EXPECT_EQ(run.Contents.GetItem(1).Content.ShortName, ".ÿ");
  EXPECT_EQ(run.Contents.GetItem(1).Content.Number, 2);
  EXPECT_EQ(run.CountLabel.Text, "2");
  EXPECT_EQ(run.CurrentItem.Text, ".ÿ");
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 10);

  run.Exclude(FileAssociationsUnit::SectionCaption, b);
  scan();
  EXPECT_EQ(run.Values(""), (Texts{"ZvFehlt-ä"}));
  run.ExpectStopEndsScan(FileAssociationsUnit::ScanFileAssociations, key.Path(), key.Root());

  // The repair takes the unnamed value only; the extension's key and subkeys stay.
  run.IgnoreList.Clear();
  scan();
  std::string yKey = key.FullPath() + "\\.ÿ";
  TickOnly(run.Contents, {bKey, yKey});
  RegDeleteKeyValueW(key.Root(), Widen(key.Path() + "\\.ÿ").c_str(), L"");
  TRepairRun repair;
  repair.Repair(FileAssociationsUnit::RepairFileAssociations, run.Contents);
  EXPECT_EQ(repair.Lines(), (Lines{{bKey, kOk}, {yKey, kFailed}}));
  EXPECT_FALSE(key.ValueExists(".b", ""));
  EXPECT_TRUE(key.KeyExists(".b\\shell"));
  EXPECT_TRUE(key.ValueExists(".a", ""));
}

TEST(FileAssociations, JudgesTheClassesRootItself) {
  TScanRun run;
  std::string t = TestName();
  TPlantedKey bad(HKEY_CLASSES_ROOT, ".zvassoc-" + t), good(HKEY_CLASSES_ROOT, ".zvassoc2-" + t),
      cls(HKEY_CLASSES_ROOT, "ZvSomeFolder-" + t);
  bad.SetString("", "", "ZvNoSuchClass-" + t);
  good.SetString("", "", "ZvSomeFolder-" + t);
  run.Scan(FileAssociationsUnit::ScanFileAssociations, "", HKEY_CLASSES_ROOT);
  auto mine = run.Mine(".zvassoc");
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0].KeyPath, "HKEY_CLASSES_ROOT\\" + bad.Path());
  EXPECT_EQ(mine[0].Value, "ZvNoSuchClass-" + t);
}
