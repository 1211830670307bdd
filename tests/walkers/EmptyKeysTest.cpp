// The empty-key walk under HKEY_USERS, where the current user's hive is S-1-5-21-0-0-0-1000.
#include <algorithm>

#include <gtest/gtest.h>

#include "support/Planting.h"
#include "support/ScanFixture.h"
#include "scan/ActivexSection.h"
#include "scan/EmptyRegistryUnit.h"
#include "scan/SystemSoftWareSettingUnit.h"

using namespace PublicFunctionUnit;
using namespace scan_test;
using namespace testing_support;

namespace {

const char* const kUserHive = "S-1-5-21-0-0-0-1000";

class EmptyKeys : public ScanTest {
 protected:
  void Scan() {
    EmptyRegistryUnit::ScanEmptyRegistryKeys(2, &CurrentItem, &CountLabel, IgnoreList, Contents, box.Path(),
                                             HKEY_USERS);
  }
  std::string Key(const std::string& sub) const { return box.FullPath() + "\\" + sub; }

  RegSandbox box{HKEY_USERS, std::string(kUserHive) + "\\Software\\ZelvoranTest"};
};

// Remembers every caption shown.
struct CaptionLog : TCaptionTarget {
  std::vector<std::string> Shown;
  void SetCaption(const std::string& text) override { Shown.push_back(text); }
  std::string Caption() const override { return Shown.empty() ? std::string() : Shown.back(); }
};

}  // namespace

TEST_F(EmptyKeys, LeafKeysWithoutValuesAreFoundAndRemoved) {
  box.CreateKey("a");
  box.SetString("b", "", "");                 // an empty default value is still a value
  box.CreateKey("c\\child");                  // only the leaf is empty
  box.CreateKey("MimeStuff\\leaf");
  box.SetString("d", "name", "x");
  box.CreateKey("e");

  Scan();
  ASSERT_EQ(Contents.Count(), 3);
  const TContent& a = Contents.GetItem(0).Content;
  const std::string k = Key("a");
  EXPECT_EQ((Texts{a.KeyPath, a.ShortName, a.ValueName, a.Value, a.KeyPathLine, a.ValueNameLine, a.ValueLine,
                   a.FaultLine, a.DescriptionLine, a.ProblemKind}),
            (Texts{k, box.Path() + "\\a", "default", "", " Key Path:" + k, " ValueName:default", " Value: empty",
                   " The key is empty key", "The Key default under " + k + " is Empty", "Empty Key: " + k}));
  EXPECT_EQ(Contents.GetItem(1).Content.KeyPath, Key("c\\child"));
  EXPECT_EQ(Contents.GetItem(2).Content.KeyPath, Key("e"));
  EXPECT_EQ(CountLabel.Text, "3");
  EXPECT_EQ(CurrentItem.Text, box.Path() + "\\MimeStuff\\leaf");   // listed without regard to case

  // An exclusion hides that key only; the stop flag ends the walk before any key.
  Exclude("Empty Registry Keys", a);
  Contents.Clear();
  Scan();
  ASSERT_EQ(Contents.Count(), 2);
  EXPECT_EQ(Contents.GetItem(0).Content.KeyPath, Key("c\\child"));
  ExpectStopEndsScan(EmptyRegistryUnit::ScanEmptyRegistryKeys, box.Path(), HKEY_USERS);
}

// The default profile is left out, whatever the case of its name (Wine writes ".Default").
TEST_F(EmptyKeys, DefaultProfileIsNotWalked) {
  RegSandbox defaultBox(HKEY_USERS, ".DEFAULT\\Software\\ZelvoranTest");
  defaultBox.CreateKey("leaf");
  CaptionLog shown;
  EmptyRegistryUnit::ScanEmptyRegistryKeys(2, &shown, &CountLabel, IgnoreList, Contents, "", HKEY_USERS);
  // Other test programs add and remove keys under the user's hive meanwhile, so only what lies
  // under the default profile is asserted, and that the user's hive was walked.
  for (int i = 0; i < Contents.Count(); ++i)
    EXPECT_NE(AnsiUpperCase(Contents.GetItem(i).Content.KeyPath).rfind("HKEY_USERS\\.DEFAULT\\", 0), 0u);
  int defaultShown = 0, userKeysShown = 0;
  for (const std::string& s : shown.Shown) {
    if (SameText(s, ".DEFAULT")) ++defaultShown;
    if (s.rfind(std::string(kUserHive) + "\\Software\\", 0) == 0) ++userKeysShown;
    EXPECT_NE(AnsiUpperCase(s).rfind(".DEFAULT\\", 0), 0u) << s;
  }
  EXPECT_EQ(defaultShown, 1);
  EXPECT_GT(userKeysShown, 0);
}

// Keys nest up to 512 deep: all three recursive walks reach the bottom of such a chain.
TEST_F(EmptyKeys, DeepChainIsWalkedToTheBottomByEveryWalker) {
  std::string deepest = MakeKeyChain(HKEY_USERS, box.Path(), 500);
  ASSERT_FALSE(deepest.empty());
  std::string below = deepest.substr(box.Path().size() + 1);
  box.CreateKey(below + "\\leaf");
  box.SetString(below + "\\InprocServer32", "", "");
  box.SetString(below, "v", "C:\\ZelvoranMissing\\bottom.exe");

  auto only = [&](TScanRoutine scan) {
    Contents.Clear();
    TScanRun::Scan(scan, box.Path(), HKEY_USERS);
    return Lines();
  };
  EXPECT_EQ(only(EmptyRegistryUnit::ScanEmptyRegistryKeys), Texts{Key(below + "\\leaf") + "|default|"});
  EXPECT_EQ(only(ActivexSection::ScanComKeys), Texts{Key(below + "\\InprocServer32") + "|default|"});
  EXPECT_EQ(only(SystemSoftWareSettingUnit::ScanSoftwareSettings),
            Texts{Key(below) + "|v|C:\\ZelvoranMissing\\bottom.exe"});
}

// In a user's classes hive an empty key below a class's entry is the class's registration (a
// control, an insertable object, a category it implements or needs, a shell extension handler
// registered by its name): it is never reported,
// whichever way the hive is reached and in the 32-bit view too. The same keys elsewhere, and the
// empty keys of an entry that names no class, still are.
TEST_F(EmptyKeys, MarkerKeysOfARegisteredClassAreNotReported) {
  const std::string guid = NewGuid(), category = NewGuid();
  const std::vector<std::string> markers{"Control", "Programmable", "Insertable", "Implemented Categories\\" + category,
                                         "Required Categories\\" + category};
  // Plants under classes (a classes hive, or a key that is none) a class with its markers, a
  // program identifier naming it, and an entry that names no class; returns the empty keys
  // that are no registration (they are reported).
  auto plant = [&](const RegSandbox& hive, const std::string& classes) {
    for (const std::string& m : markers) hive.CreateKey(classes + "CLSID\\" + guid + "\\" + m);
    hive.SetString(classes + "CLSID\\" + guid + "\\InprocServer32", "", "C:\\Zv\\x.dll");
    hive.SetString(classes + "Zv.Object\\CLSID", "", guid);
    hive.CreateKey(classes + "Zv.Object\\Insertable");
    hive.CreateKey(classes + "Zv.Stray\\shellex\\ContextMenuHandlers\\" + guid);   // a handler by its name
    hive.CreateKey(classes + "Zv.Stray\\shell\\empty");
    return Texts{hive.FullPath() + "\\" + classes + "Zv.Stray\\shell\\empty|default|"};
  };
  auto scan = [&](const RegSandbox& hive) {
    Contents.Clear();
    TScanRun::Scan(EmptyRegistryUnit::ScanEmptyRegistryKeys, hive.Path(), HKEY_USERS);
    return Lines();
  };
  // a user's hive and its classes hive of their own, each removed whole after the test
  const std::string sid = "S-1-5-21-7-7-7-" + TestName();
  RegSandbox user(HKEY_USERS, ExactPath{sid}), userClasses(HKEY_USERS, ExactPath{sid + "_Classes"});
  Texts strays = plant(userClasses, "");
  for (const std::string& stray : plant(userClasses, "Wow6432Node\\")) strays.push_back(stray);
  std::sort(strays.begin(), strays.end());
  Texts found = scan(userClasses);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, strays);
  EXPECT_EQ(scan(user), plant(user, "Software\\Classes\\"));

  Texts outside = plant(box, "");
  for (const std::string& m : markers) outside.push_back(Key("CLSID\\" + guid + "\\" + m) + "|default|");
  outside.push_back(Key("Zv.Object\\Insertable") + "|default|");
  outside.push_back(Key("Zv.Stray\\shellex\\ContextMenuHandlers\\" + guid) + "|default|");
  std::sort(outside.begin(), outside.end());
  found = scan(box);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, outside);
}
