// The sounds, help files and services sections.
#include <gtest/gtest.h>

#include "support/Planting.h"
#include "support/ScanFixture.h"
#include "scan/HelpSectionUnit.h"
#include "scan/SoundsUnit.h"
#include "scan/SystemServicesUnit.h"
#include "scan/WindowsFontsUnit.h"

using namespace scan_test;
using namespace testing_support;

TEST(Sounds, ReportsTheUnnamedSoundOnceAndHonoursExclusions) {
  TScanRun run;
  RegSandbox key;
  for (const char* name : {"", "a", "b"}) key.SetString("", name, "x");
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
  // a and b missing, the folder without and with "\"; no folder is passed over; ünï missing, non-ASCII
  for (const auto& [name, folder] : std::initializer_list<std::pair<const char*, std::string>>{
           {"-a.hlp", dir}, {"-b.hlp", dir + "\\"}, {"-blank.hlp", ""}, {"-blank2.hlp", "   "}, {"-cd.hlp", "E:\\help"},
           {"-present.hlp", dir}, {"-ünï.hlp", dir + "\\Hilfé"}})
    help.SetString(t + name, folder);
  html.SetString(t + "-c.chm", dir + "\\chm");
  auto scan = [&] {
    run.Contents.Clear();
    HelpSectionUnit::ScanHelpFiles(0, &run.CurrentItem, &run.CountLabel, run.IgnoreList, run.Contents,
                                   HKEY_LOCAL_MACHINE);
  };
  scan();

  std::string helpKey = std::string("HKEY_LOCAL_MACHINE\\") + HelpSectionUnit::HelpKey,
              htmlKey = std::string("HKEY_LOCAL_MACHINE\\") + HelpSectionUnit::HtmlHelpKey;
  auto mine = run.Mine(t);
  ASSERT_EQ(run.Values(t), (Texts{dir + "\\" + t + "-a.hlp", dir + "\\" + t + "-b.hlp",
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

  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::StopScan;   // put back by the run
  scan();
  EXPECT_EQ(run.Contents.Count(), 0);
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

// A key's name may hold "|", the ignore file's separator: the exclusion names that key and
// value alone, and the entry that reads like it with the bar moved (key "k", value "1|x") is
// never hidden.
TEST(IgnoreFile, AnExclusionOfAKeyWithABarInItsNameNamesThatKeyAlone) {
  TScanRun run;
  RegSandbox box;
  const std::string t = TestName();
  box.SetString("k|1", "x", "zvmissing-" + t + "-a.ttf");
  box.SetString("k", "1|x", "zvmissing-" + t + "-b.ttf");
  run.Scan(WindowsFontsUnit::ScanFonts, box.Path() + "\\k|1", box.Root());
  ASSERT_EQ(run.Contents.Count(), 1);
  run.Exclude(WindowsFontsUnit::SectionCaption, run.Contents.GetItem(0).Content);
  EXPECT_EQ(ReadFileBytes(PublicFunctionUnit::IgnoreFileName()),
            "|Font Entries|" + StringReplace(box.FullPath(), "%", "%25") + "\\k%7C1|x\r\n");

  run.Contents.Clear();
  run.Scan(WindowsFontsUnit::ScanFonts, box.Path() + "\\k|1", box.Root());
  EXPECT_EQ(run.Contents.Count(), 0);
  run.Scan(WindowsFontsUnit::ScanFonts, box.Path() + "\\k", box.Root());
  ASSERT_EQ(run.Contents.Count(), 1);
  EXPECT_EQ(run.Contents.GetItem(0).Content.ValueName, "1|x");
}
