// The scanners that walk the top level of the classes root: file extensions and file
// associations. They run alone, since other tests' keys appearing and vanishing there while a walk
// enumerates it would shift the walk's indexes.
#include <gtest/gtest.h>

#include <memory>

#include "scan/FileAssociationsUnit.h"
#include "scan/FileExtensionUnit.h"
#include "support/ScanFixture.h"

using namespace scan_test;
using namespace testing_support;

TEST(FileExtensions, ReportsExtensionsWithAnEmptyDefault) {
  TScanRun run;
  std::string t = TestName();
  RegSandbox e1(HKEY_CLASSES_ROOT, ExactPath{".zv1-" + t}), e2(HKEY_CLASSES_ROOT, ExactPath{".zv2-" + t}),
      e3(HKEY_CLASSES_ROOT, ExactPath{".zv3-" + t}), e4(HKEY_CLASSES_ROOT, ExactPath{".zv4-" + t}),
      e5(HKEY_CLASSES_ROOT, ExactPath{".zv5-ä-" + t});
  for (RegSandbox* e : {&e1, &e5}) e->SetString("", "", "");
  e3.SetString("", "", "txtfile");
  e4.SetString("", "", "", REG_EXPAND_SZ);
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
  EXPECT_EQ(mine[1].KeyPath + "|" + mine[2].KeyPath, "HKEY_CLASSES_ROOT\\" + e4.Path() + "|HKEY_CLASSES_ROOT\\" + e5.Path());
  EXPECT_LT(mine[0].Number, mine[1].Number);
  EXPECT_EQ(run.CountLabel.Text, std::to_string(run.Contents.Count()));

  run.Exclude(FileExtensionUnit::SectionCaption, mine[0]);
  scan("xyz");
  mine = run.Mine(t);
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ((Texts{mine[0].ShortName, mine[0].Value, mine[0].FaultLine, mine[0].DescriptionLine}),
            (Texts{e4.Path(), "xyz", " The file(xyz)does not exist at the specified location",
                   "The Key xyz under HKEY_CLASSES_ROOT\\" + e4.Path() + " contains a bad path for the value"}));
  // the walk over every extension of the classes root stops at its next extension
  run.ExpectStopEndsScan(FileExtensionUnit::ScanFileExtensions, "", HKEY_CLASSES_ROOT);
}

// An extension key with an empty unnamed value is in use when it holds anything else: its "Open
// with" list, its "New" menu entry, its search handler, its content or perceived type. Only a key
// that holds nothing else is reported (and so removed by the repair).
TEST(FileExtensions, KeysInUseAreNotReported) {
  struct TCase {
    const char* Name;
    const char* Subkey;   // "" the extension's key itself
    const char* ValueName;
    DWORD Type;
    bool Reported;
  };
  const TCase cases[] = {
      {"alone", nullptr, nullptr, REG_SZ, true},
      {"open with", "OpenWithProgids", "txtfile", REG_NONE, false},
      {"new menu", "ShellNew", "NullFile", REG_SZ, false},
      {"search handler", "PersistentHandler", "", REG_SZ, false},
      {"content type", "", "Content Type", REG_SZ, false},
      {"perceived type", "", "PerceivedType", REG_SZ, false},
      {"a number", "", "EditFlags", REG_DWORD, false},
      {"empty subkey", "shell", nullptr, REG_SZ, false},
  };
  TScanRun run;
  std::vector<std::unique_ptr<RegSandbox>> keys;
  for (const TCase& c : cases) {
    auto key = std::make_unique<RegSandbox>(HKEY_CLASSES_ROOT, ExactPath{".zv-" + std::string(c.Name) + "-" + TestName()});
    key->SetString("", "", "");
    if (c.Type == REG_DWORD) key->SetDword(c.Subkey, c.ValueName, 2);
    else if (c.ValueName != nullptr) key->SetRaw(c.Subkey, c.ValueName, c.Type, {'x', 0});
    else if (c.Subkey != nullptr) key->CreateKey(c.Subkey);
    keys.push_back(std::move(key));
  }
  run.Scan(FileExtensionUnit::ScanFileExtensions, "", HKEY_CLASSES_ROOT);
  for (size_t i = 0; i < keys.size(); ++i)
    EXPECT_EQ(FindingsAt(run.Contents, "HKEY_CLASSES_ROOT\\" + keys[i]->Path()).size(), cases[i].Reported ? 1u : 0u)
        << cases[i].Name;

  // A key that has come into use since the scan is left as it is by the repair.
  ASSERT_EQ(run.Mine(TestName()).size(), 1u);
  keys[0]->SetString("", "Content Type", "text/plain");
  for (int i = 0; i < run.Contents.Count(); ++i)
    run.Contents.GetItem(i).Content.Checked = run.Contents.GetItem(i).Content.ShortName == keys[0]->Path();
  TRepairRun repair;
  repair.Repair(FileExtensionUnit::RepairFileExtensions, run.Contents);
  EXPECT_EQ(repair.Lines(), (Lines{{"HKEY_CLASSES_ROOT\\" + keys[0]->Path(), SectionCommon::ChangedSinceScanText}}));
  EXPECT_EQ(keys[0]->Read("", "Content Type"), "text/plain");
}

namespace {
// A classes root in a sandbox key, and the user's FileExts entries that make two of its
// extensions valid.
struct TAssociationsPlant {
  std::string Id = "ZvUserOnly-" + TestName();
  std::string Ext2 = ".zvfe2-" + TestName();
  RegSandbox Classes;
  RegSandbox UserExt;
  RegSandbox UserExt2;
  TAssociationsPlant()
      : UserExt(HKEY_CURRENT_USER, ExactPath{std::string(FileAssociationsUnit::UserFileExtsKey) + "\\.zvfe-" + TestName()}),
        UserExt2(HKEY_CURRENT_USER, ExactPath{std::string(FileAssociationsUnit::UserFileExtsKey) + "\\" + Ext2}) {
    UserExt.SetString("OpenWithProgids", Id, "");
    for (const char* cls : {"ZvClass", "ZvCompressedFolder", "ZVKLÄSS", ".b\\shell"}) Classes.CreateKey(cls);
    // .a is valid in another letter case, .c though the split drops its class; .b and .ÿ are invalid;
    // .g names one of the user's programs; .hFolder is no extension for the scan; the user has opened Ext2
    for (const auto& [ext, cls] : std::initializer_list<std::pair<std::string, std::string>>{
             {".a", "ZVCLASS"}, {".b", "ZvNoSuch"}, {".c", "ZvCompressedFolder"}, {".d", ""}, {".e", "ZvNoSuch\\x"},
             {".f", "E:ZvNoSuch"}, {".g", Id}, {".hFolder", "ZvNoSuch"}, {Ext2, "ZvNoSuch"}, {".ü", "zvkläss"},
             {".ÿ", "ZvFehlt-ä"}})
      Classes.SetString(ext, "", cls);
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
  EXPECT_EQ(run.Contents.GetItem(1).Content.ShortName + Format("%d", run.Contents.GetItem(1).Content.Number), ".ÿ2");
  EXPECT_EQ(run.CountLabel.Text, "2");
  EXPECT_EQ(run.CurrentItem.Text, ".ÿ");
  EXPECT_EQ(PublicFunctionUnit::ItemsProcessed, 10);

  run.Exclude(FileAssociationsUnit::SectionCaption, b);
  scan();
  EXPECT_EQ(run.Values(""), (Texts{"ZvFehlt-ä"}));
  run.ExpectStopEndsScan(FileAssociationsUnit::ScanFileAssociations, key.Path(), key.Root());
}

TEST(FileAssociations, JudgesTheClassesRootItself) {
  TScanRun run;
  std::string t = TestName();
  RegSandbox bad(HKEY_CLASSES_ROOT, ExactPath{".zvassoc-" + t}), good(HKEY_CLASSES_ROOT, ExactPath{".zvassoc2-" + t}),
      cls(HKEY_CLASSES_ROOT, ExactPath{"ZvSomeFolder-" + t});
  bad.SetString("", "", "ZvNoSuchClass-" + t);
  good.SetString("", "", "ZvSomeFolder-" + t);
  run.Scan(FileAssociationsUnit::ScanFileAssociations, "", HKEY_CLASSES_ROOT);
  auto mine = run.Mine(".zvassoc");
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0].KeyPath, "HKEY_CLASSES_ROOT\\" + bad.Path());
  EXPECT_EQ(mine[0].Value, "ZvNoSuchClass-" + t);
}
