// The scanners that walk the top level of the classes root: file extensions and file
// associations; and the removal of what a finding met through the classes root names. They run
// alone, since other tests' keys appearing and vanishing there while a walk enumerates it would
// shift the walk's indexes.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

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

namespace {
// One copy of a class key, in the user's or the machine's classes, holding a value "v" and a subkey.
struct TClassCopy {
  std::optional<RegSandbox> Key;
  TClassCopy(bool planted, HKEY root, const std::string& name) {
    if (!planted) return;
    Key.emplace(root, ExactPath{"Software\\Classes\\" + name});
    Key->SetString("", "v", "1");
    Key->SetString("sub", "", "deeper");
  }
  // Whether it still holds the target: the key, or the value "v".
  bool Holds(SectionCommon::TRepairForm form) const {
    if (!Key) return false;
    return form == SectionCommon::TRepairForm::Key ? Key->KeyExists("") : Key->ValueExists("", "v");
  }
};
}  // namespace

// The classes root shows the user's classes over the machine's: a finding met through it is
// removed from the copy it shows, the user's when there is one, and a removal that leaves the
// machine's copy in that view is no repair. (Wine does not merge the user's classes into the
// classes root: there it shows the machine's alone, as it does once the user's copy is gone.)
TEST(ClassesRoot, AFindingIsRemovedWhereItsKeyLies) {
  using SectionCommon::TRepairForm;
  TScanRun run;
  struct Case {
    bool User, Machine;
    TRepairForm Form;
    const char* Status;
    bool UserHolds, MachineHolds;   // afterwards
  };
  const char* other = SectionCommon::OtherCopyText;
  const Case cases[] = {
      {true, false, TRepairForm::Key, kOk, false, false},    {false, true, TRepairForm::Key, kOk, false, false},
      {true, true, TRepairForm::Key, other, false, true},    {true, false, TRepairForm::Value, kOk, false, false},
      {false, true, TRepairForm::Value, kOk, false, false},  {true, true, TRepairForm::Value, other, false, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string name = "ZvCls-" + TestName() + "-" + std::to_string(i), viaRoot = "HKEY_CLASSES_ROOT\\" + name;
    TClassCopy user(c.User, HKEY_CURRENT_USER, name), machine(c.Machine, HKEY_LOCAL_MACHINE, name);
    // the key's identity is the copy's it lies in
    EXPECT_EQ(PublicFunctionUnit::KeyIdentity(viaRoot),
              PublicFunctionUnit::KeyIdentity((c.User ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE") +
                                              std::string("\\Software\\Classes\\") + name))
        << i;
    TRegistryContents contents;
    TContent& f = contents.GetItem(contents.Add()).Content;
    f = {.Checked = true, .KeyPath = viaRoot, .ValueName = c.Form == TRepairForm::Key ? "default" : "v"};
    TRepairRun repair;
    SectionCommon::RepairFindings({.Form = c.Form}, repair.Status, repair.FinishList, contents, repair.Log);
    std::string shown = viaRoot + (std::string(c.Status) == other && c.Form == TRepairForm::Value ? " (v)" : "");
    EXPECT_EQ(repair.Lines(), (Lines{{shown, c.Status}})) << i;
    EXPECT_EQ(user.Holds(c.Form), c.UserHolds) << i;
    EXPECT_EQ(machine.Holds(c.Form), c.MachineHolds) << i;
    if (c.Form == TRepairForm::Value && c.User) {
      EXPECT_TRUE(user.Key->KeyExists("sub")) << "only the value goes";
    }
  }

  // The key is fixed when the backup is written: when the user's copy is gone by the repair, the
  // machine's, which the backup does not hold, stays.
  const std::string name = "ZvCls-" + TestName() + "-pinned";
  TClassCopy user(true, HKEY_CURRENT_USER, name), machine(true, HKEY_LOCAL_MACHINE, name);
  TRegistryContents contents;
  TContent& f = contents.GetItem(contents.Add()).Content;
  f = {.Checked = true, .KeyPath = "HKEY_CLASSES_ROOT\\" + name, .ValueName = "default"};
  SectionCommon::PinRealKey(f);
  EXPECT_EQ(f.RealKeyPath, "HKEY_CURRENT_USER\\Software\\Classes\\" + name);
  user.Key.reset();
  TRepairRun repair;
  SectionCommon::RepairFindings({.Form = TRepairForm::Key}, repair.Status, repair.FinishList, contents, repair.Log);
  EXPECT_EQ(repair.Lines(), (Lines{{"HKEY_CLASSES_ROOT\\" + name, SectionCommon::ChangedSinceScanText}}));
  EXPECT_TRUE(machine.Holds(TRepairForm::Key));
}
