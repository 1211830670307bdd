// The scanners whose findings are the values of one key: fonts, shared DLLs, sounds, help files
// and services.
#include <gtest/gtest.h>

#include "support/Planting.h"
#include "support/ScanFixture.h"
#include "scan/HelpSectionUnit.h"
#include "scan/SharedDLLsUnit.h"
#include "scan/SoundsUnit.h"
#include "scan/SystemServicesUnit.h"
#include "scan/WindowsFontsUnit.h"

using namespace scan_test;
using namespace testing_support;

namespace {
// A file that exists for the test's duration only.
struct TTempFile {
  std::string Path;
  explicit TTempFile(std::string path) : Path(std::move(path)) {
    ForceDirectories(ExtractFilePath(Path));
    WriteFileBytes(Path, "x");
  }
  ~TTempFile() { DeleteFileW(Widen(Path).c_str()); }
};

void ScanFonts(TScanRun& run, const RegSandbox& key) { run.Scan(WindowsFontsUnit::ScanFonts, key.Path(), key.Root()); }

// Fonts values of every kind; the missing ones are A, E, G and I.
void PlantFonts(const TScanRun& run, const RegSandbox& key) {
  key.SetString("", "A Missing", "zvmissing.ttf");
  key.SetString("", "B Present", TestName() + ".ttf");
  key.SetRaw("", "C Binary", REG_BINARY, {1, 2});
  key.SetString("", "D Full", run.Folder.WriteFile("Fonts-external\\x.ttf"));
  key.SetString("", "E Full Missing", run.Folder.Path() + "gone.ttf");
  key.SetString("", "F CD", "E:\\fonts\\x.ttf");
  key.SetString("", "G Spaced", "  zvspaced.ttf ", REG_EXPAND_SZ);
  key.SetString("", "H Ünïcode present", TestName() + "-ä.ttf");
  key.SetString("", "I Ünïcode missing", "zv-fehlt-ö.ttf");
}
}  // namespace

TEST(Fonts, ReportsOnlyMissingFontFilesWithExactTexts) {
  TScanRun run;
  RegSandbox key(HKEY_CURRENT_USER, "Software\\ZelvoranTest", "Schriftartén");
  std::string fonts = PublicFunctionUnit::GetWindowsDir() + "\\Fonts\\";
  TTempFile present(fonts + TestName() + ".ttf"), presentUnicode(fonts + TestName() + "-ä.ttf");
  PlantFonts(run, key);
  ScanFonts(run, key);

  std::string keyText = "HKEY_CURRENT_USER\\" + key.Path();
  ASSERT_EQ(run.Contents.Count(), 4);
  EXPECT_EQ(run.Values(""), (Texts{"zvmissing.ttf", run.Folder.Path() + "gone.ttf", "  zvspaced.ttf ",
                                   "zv-fehlt-ö.ttf"}));
  const TContent& a = run.Contents.GetItem(0).Content;
  EXPECT_TRUE(a.Checked);
  ExpectFinding(a, {.KeyPath = keyText, .ShortName = "Fonts", .ValueName = "A Missing",
                    .ValueNameLine = " ValueName:A Missing", .ValueLine = " Value:zvmissing.ttf",
                    .FaultLine = " The file (zvmissing.ttf) does not exist at the specified location",
                    .DescriptionLine = "The Key zvmissing.ttf under " + keyText + " contains a bad path for the value"});
  for (int i = 0; i < 4; ++i) EXPECT_EQ(run.Contents.GetItem(i).Content.Number, i + 1);
  EXPECT_EQ(run.Contents.GetItem(3).Content.ValueName, "I Ünïcode missing");
  EXPECT_EQ(run.CountLabel.Text, "4");
  EXPECT_EQ(run.CurrentItem.Text, key.Path() + "I Ünïcode missing");
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 9);

  // Excluding the first finding hides it alone; a new scan starts from an empty collection and
  // takes the tick from the setting.
  run.Exclude(WindowsFontsUnit::SectionCaption, a);
  PublicFunctionUnit::MyRegistryInfo.SelectAll = false;
  ScanFonts(run, key);
  EXPECT_EQ(run.Values(""), (Texts{run.Folder.Path() + "gone.ttf", "  zvspaced.ttf ", "zv-fehlt-ö.ttf"}));
  EXPECT_FALSE(run.Contents.GetItem(0).Content.Checked);
  EXPECT_EQ(run.Contents.GetItem(0).Content.Number, 5);

  PublicFunctionUnit::ItemsProcessed = 0;
  run.ExpectStopEndsScan(WindowsFontsUnit::ScanFonts, key.Path(), key.Root());
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 0);
}

TEST(SharedDlls, ReportsZeroCountsAndMissingDlls) {
  TScanRun run;
  RegSandbox key;
  std::string dir = run.Folder.Path();
  run.Folder.WriteFile("a\\present.dll");
  run.Folder.WriteFile("c\\present.dll");
  run.Folder.WriteFile("h\\bibliothèque.dll");
  key.SetString("", dir + "a\\present.dll", "0");             // count 0: reported though present
  key.SetDword("", dir + "b\\gone.dll", 1);                    // missing
  key.SetRaw("", dir + "c\\present.dll", REG_BINARY, {0x0A});  // count 10, present
  key.SetDword("", dir + "d\\gone.SyS", 0);                    // drivers are never judged
  key.SetRaw("", dir + "e\\gone.dll", REG_MULTI_SZ, {0, 0});   // other type: count -1
  key.SetDword("", dir + "f\\E:gone.dll", 0);                  // names a CD-ROM drive
  key.SetDword("", dir + "g\\A:gone.dll", 0);
  key.SetDword("", dir + "h\\bibliothèque.dll", 1);
  key.SetDword("", dir + "i\\manquée.dll", 2);
  key.SetDword("", dir + "y\\msoe.dll", 1);                    // ends the section
  key.SetDword("", dir + "z\\after.dll", 1);
  auto scan = [&] { run.Scan(SharedDLLsUnit::ScanSharedDlls, key.Path(), key.Root()); };
  scan();

  ASSERT_EQ(run.Contents.Count(), 4);
  std::vector<std::string> names, counts;
  for (int i = 0; i < 4; ++i) {
    names.push_back(run.Contents.GetItem(i).Content.ValueName);
    counts.push_back(run.Contents.GetItem(i).Content.Value);
  }
  EXPECT_EQ(names, (Texts{dir + "a\\present.dll", dir + "b\\gone.dll", dir + "e\\gone.dll", dir + "i\\manquée.dll"}));
  EXPECT_EQ(counts, (Texts{"0", "1", "-1", "2"}));
  const TContent& b = run.Contents.GetItem(1).Content;
  std::string name = dir + "b\\gone.dll";
  ExpectFinding(b, {.KeyPath = key.FullPath(), .ShortName = "SharedDlls", .ValueName = name,
                    .ValueNameLine = " ValueName:default", .ValueLine = " Value:" + name,
                    .FaultLine = " The file (" + name + ") does not exist at the specified location",
                    .DescriptionLine = "The Key " + name + " under " + key.FullPath() + " contains a bad path for the value"});
  EXPECT_EQ(b.Number, 2);
  EXPECT_EQ(run.CountLabel.Text, "4");
  EXPECT_EQ(run.CurrentItem.Text, dir + "y\\msoe.dll");

  // One exclusion hides that value only; the values after it are still judged.
  run.Exclude(SharedDLLsUnit::SectionCaption, run.Contents.GetItem(0).Content);
  scan();
  ASSERT_EQ(run.Contents.Count(), 3);
  EXPECT_EQ(run.Contents.GetItem(0).Content.ValueName, dir + "b\\gone.dll");

  run.ExpectStopEndsScan(SharedDLLsUnit::ScanSharedDlls, key.Path(), key.Root());
}

TEST(Sounds, ReportsTheUnnamedSoundOnceAndHonoursExclusions) {
  TScanRun run;
  RegSandbox key;
  key.SetString("", "", "x");
  key.SetString("", "a", "y");
  key.SetString("", "b", "z");
  run.Scan(SoundsUnit::ScanSounds, key.Path(), key.Root());
  ASSERT_EQ(run.Contents.Count(), 1);
  const TContent& s = run.Contents.GetItem(0).Content;
  ExpectFinding(s, {.KeyPath = key.FullPath(), .ShortName = "Sounds", .ValueName = "default",
                    .ValueNameLine = " ValueName:default", .ValueLine = " Value:x",
                    .FaultLine = " The file (x) does not exist at the specified location",
                    .DescriptionLine = "The Key x under " + key.FullPath() + " contains a bad path for the value"});
  EXPECT_EQ(s.Value, "x");
  EXPECT_EQ(run.CountLabel.Text, "1");
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 1);   // one tick per finding
  EXPECT_EQ(run.CurrentItem.Changes, 0);

  run.Exclude(SoundsUnit::SectionCaption, s);
  run.Contents.Clear();
  run.Scan(SoundsUnit::ScanSounds, key.Path(), key.Root());
  EXPECT_EQ(run.Contents.Count(), 0);
}

TEST(Help, ReportsMissingHelpFilesInBothKeys) {
  TScanRun run;
  std::string t = TestName();
  std::string dir = ExcludeTrailingBackslash(run.Folder.Path());
  run.Folder.WriteFile(t + "-present.hlp");
  TPlantedValues help(HKEY_LOCAL_MACHINE, HelpSectionUnit::HelpKey);
  TPlantedValues html(HKEY_LOCAL_MACHINE, HelpSectionUnit::HtmlHelpKey);
  help.SetString(t + "-a.hlp", dir);                 // missing, folder without "\"
  help.SetString(t + "-b.hlp", dir + "\\");          // missing, folder with "\"
  help.SetString(t + "-blank.hlp", "");              // no folder: passed over
  help.SetString(t + "-blank2.hlp", "   ");
  help.SetString(t + "-cd.hlp", "E:\\help");
  help.SetString(t + "-present.hlp", dir);
  help.SetString(t + "-ünï.hlp", dir + "\\Hilfé");   // missing, non-ASCII
  html.SetString(t + "-c.chm", dir + "\\chm");
  auto scan = [&] {
    run.Contents.Clear();
    HelpSectionUnit::ScanHelpFiles(0, &run.CurrentItem, &run.CountLabel, run.IgnoreList, run.Contents,
                                   HKEY_LOCAL_MACHINE);
  };
  scan();

  std::string helpKey = std::string("HKEY_LOCAL_MACHINE\\") + HelpSectionUnit::HelpKey;
  std::string htmlKey = std::string("HKEY_LOCAL_MACHINE\\") + HelpSectionUnit::HtmlHelpKey;
  auto mine = run.Mine(t);
  ASSERT_EQ(mine.size(), 4u);
  EXPECT_EQ(run.Values(t), (Texts{dir + "\\" + t + "-a.hlp", dir + "\\" + t + "-b.hlp",
                                  dir + "\\Hilfé\\" + t + "-ünï.hlp", dir + "\\chm\\" + t + "-c.chm"}));
  const TContent& a = mine[0];
  std::string path = dir + "\\" + t + "-a.hlp";
  ExpectFinding(a, {.KeyPath = helpKey, .ShortName = t + "-a.hlp", .ValueName = t + "-a.hlp",
                    .ValueNameLine = " ValueName:default", .ValueLine = " Value:" + path,
                    .FaultLine = " The file (" + path + ") does not exist at the specified location",
                    .DescriptionLine = "The Key " + path + " under " + helpKey + " contains a bad path for the value"});
  EXPECT_EQ(mine[3].KeyPath, htmlKey);
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 2);   // one tick per key
  EXPECT_EQ(run.CurrentItem.Text, htmlKey);

  // The exclusion written from a finding matches it on the next scan, and only it.
  run.Exclude(HelpSectionUnit::SectionCaption, a);
  scan();
  EXPECT_EQ(run.Values(t), (Texts{dir + "\\" + t + "-b.hlp", dir + "\\Hilfé\\" + t + "-ünï.hlp",
                                  dir + "\\chm\\" + t + "-c.chm"}));

  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::StopScan;
  scan();
  EXPECT_EQ(run.Contents.Count(), 0);
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
}

TEST(Services, ScanAddsNothing) {
  TScanRun run;
  RegSandbox key;
  key.SetString("svc", "ImagePath", "C:\\nosuch\\svc.exe");
  SystemServicesUnit::ScanServices(run.Contents, key.Path(), key.Root());
  EXPECT_EQ(run.Contents.Count(), 0);
  TRepairRun repair;
  repair.Repair(SystemServicesUnit::RepairServices, run.Contents);
  EXPECT_EQ(repair.Log.Count(), 0);
}
