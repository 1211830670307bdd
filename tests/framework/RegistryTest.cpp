#include <gtest/gtest.h>

#include "framework/Exceptions.h"
#include "framework/Registry.h"
#include "support/TestSupport.h"

using testing_support::RegSandbox;

TEST(Registry, TypesNamesAndReads) {
  RegSandbox box;
  box.SetString("", "s", "text");
  box.SetString("", "e", "%SystemRoot%\\x", REG_EXPAND_SZ);
  box.SetDword("", "d", 7);
  box.SetRaw("", "b", REG_BINARY, {1, 2, 3});
  box.SetRaw("", "m", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0});
  box.SetString("", "", "unnamed");
  box.SetString("Ключ", "имя", "значение");

  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey("\\" + box.Path(), false));
  EXPECT_EQ(reg.CurrentPath(), box.Path());
  EXPECT_EQ(reg.GetDataType("s"), rdString);
  EXPECT_EQ(reg.GetDataType("e"), rdExpandString);
  EXPECT_EQ(reg.GetDataType("d"), rdInteger);
  EXPECT_EQ(reg.GetDataType("b"), rdBinary);
  EXPECT_EQ(reg.GetDataType("m"), rdUnknown);
  EXPECT_EQ(reg.GetDataType("missing"), rdUnknown);
  EXPECT_EQ(reg.ReadString("e"), "%SystemRoot%\\x");   // not expanded
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_THROW(reg.ReadString("d"), ERegistryException);
  EXPECT_EQ(reg.ReadInteger("d"), 7);
  EXPECT_EQ(reg.GetDataSize("b"), 3);
  EXPECT_EQ(reg.GetDataSize("missing"), -1);

  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Count(), 6);
  EXPECT_EQ(std::count(names.Items.begin(), names.Items.end(), ""), 1);
  reg.GetKeyNames(names);
  ASSERT_EQ(names.Count(), 1);
  EXPECT_EQ(names[0], "Ключ");

  ASSERT_TRUE(reg.OpenKey("Ключ", false));   // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), box.Path() + "\\Ключ");
  EXPECT_EQ(reg.ReadString("имя"), "значение");
  EXPECT_FALSE(reg.OpenKey("\\" + box.Path() + "\\nope", false));
}

TEST(Registry, DeleteKeyRemovesTheWholeSubtree) {
  RegSandbox box;
  box.SetString("a\\b\\c", "v", "1");
  box.SetString("a\\b2", "v", "1");
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  EXPECT_TRUE(reg.DeleteKey("\\" + box.Path() + "\\a"));
  EXPECT_FALSE(box.KeyExists("a"));
  EXPECT_TRUE(box.KeyExists(""));
  EXPECT_FALSE(reg.DeleteKey("\\" + box.Path() + "\\a"));
}

TEST(Registry, SubkeyWalkerListsEveryName) {
  RegSandbox box;
  box.CreateKey("one");
  box.CreateKey("two");
  box.CreateKey("中文");
  TSubkeyWalker walk(HKEY_CURRENT_USER, box.Path());
  ASSERT_TRUE(walk.Opened());
  ASSERT_EQ(walk.Count(), 3u);
  std::vector<std::string> names;
  std::string name;
  for (DWORD i = 0; i < walk.Count(); ++i)
    if (walk.Name(i, name)) names.push_back(name);
  EXPECT_EQ(names.size(), 3u);
  EXPECT_FALSE(walk.Name(3, name));   // past the end: no name
  TSubkeyWalker missing(HKEY_CURRENT_USER, box.Path() + "\\none");
  EXPECT_FALSE(missing.Opened());
  EXPECT_EQ(missing.Count(), 0u);
  TSubkeyWalker noRoot(nullptr, box.Path());
  EXPECT_FALSE(noRoot.Opened());
}
