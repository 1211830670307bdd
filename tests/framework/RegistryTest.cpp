// The registry object, reading values in one call (small and large data, every value of a key in
// order) and the subkey walk.
#include <gtest/gtest.h>

#include "framework/Exceptions.h"
#include "framework/Registry.h"
#include "framework/Strings.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"

using testing_support::Pattern;
using testing_support::RegSandbox;

TEST(RegistryRead, OneValueSmallLargeEmptyAndMissing) {
  RegSandbox box;
  std::string longText(3000, 'x');
  box.SetString("", "", "");
  box.SetString("", "long", longText + "ключ");
  box.SetRaw("", "big", REG_BINARY, Pattern(70000));
  box.SetRaw("", "zero first", REG_SZ, {0, 0, 'a', 0, 0, 0});
  TRegKeyHandle key;
  ASSERT_TRUE(key.Open(box.Root(), box.Path()));

  TRegValue v;
  ASSERT_TRUE(QueryRegValue(key.Get(), L"", v));
  EXPECT_EQ(v.Type, DWORD(REG_SZ));
  EXPECT_EQ(RegValueText(v), "");
  ASSERT_TRUE(QueryRegValue(key.Get(), L"long", v));   // more than the first try holds
  EXPECT_EQ(RegValueText(v), longText + "ключ");
  ASSERT_TRUE(QueryRegValue(key.Get(), L"big", v));
  EXPECT_EQ(v.Type, DWORD(REG_BINARY));
  EXPECT_EQ(v.Data, Pattern(70000));
  ASSERT_TRUE(QueryRegValue(key.Get(), L"zero first", v));
  EXPECT_EQ(RegValueText(v), "");   // the text ends at its first zero, as ReadString reads it
  EXPECT_FALSE(QueryRegValue(key.Get(), L"missing", v));

  TRegistry reg(KEY_READ);
  reg.RootKey = box.Root();
  ASSERT_TRUE(reg.OpenKey(box.Path(), false));
  EXPECT_EQ(reg.ReadString("long"), longText + "ключ");
  EXPECT_EQ(reg.ReadBinaryData("big"), Pattern(70000));
  std::string text = "left over";
  EXPECT_TRUE(reg.ReadText("long", text));
  EXPECT_EQ(text, longText + "ключ");
  EXPECT_TRUE(reg.ReadText("", text));
  EXPECT_EQ(text, "");
  text = "left over";
  EXPECT_FALSE(reg.ReadText("big", text));   // not a text
  EXPECT_EQ(text, "");
  text = "left over";
  EXPECT_FALSE(reg.ReadText("missing", text));
  EXPECT_EQ(text, "");
}

TEST(RegistryRead, EveryValueOfAKeyWithItsData) {
  RegSandbox box;
  box.SetString("", "a", "text");
  box.SetString("", "b", "%SystemRoot%\\x", REG_EXPAND_SZ);
  box.SetDword("", "c", 7);
  box.SetRaw("", "d", REG_BINARY, Pattern(5000));
  box.SetString("", "", "unnamed");
  box.SetString("", "имя", "значение");
  TRegKeyHandle key;
  ASSERT_TRUE(key.Open(box.Root(), box.Path()));
  TKeyInfo info;
  ASSERT_TRUE(QueryKeyInfo(key.Get(), info));
  EXPECT_EQ(info.ValueCount, 6u);
  EXPECT_EQ(info.SubkeyCount, 0u);
  EXPECT_GE(info.MaxValueDataSize, 5000u);

  std::vector<std::string> names = EnumValueNames(key.Get());
  // Sizes smaller than the data (as when a value grew after they were read) only cost a retry.
  for (TKeyInfo sizes : {info, TKeyInfo{}}) {
    TValueReader reader(key.Get(), sizes);
    std::vector<std::string> read;
    std::string name;
    TRegValue v;
    while (reader.Next(name, v)) {
      read.push_back(name);
      TRegValue single;
      ASSERT_TRUE(QueryRegValue(key.Get(), Widen(name), single)) << name;
      EXPECT_EQ(v.Type, single.Type) << name;
      EXPECT_EQ(v.Data, single.Data) << name;
    }
    EXPECT_EQ(read, names);   // the same values in the same order as the name list
  }
}

TEST(RegistryRead, SubkeyWalkerListsEveryNameByPathOrOverAnOpenKey) {
  RegSandbox box;
  box.CreateKey("one");
  box.CreateKey("two\\deeper");
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
  EXPECT_FALSE(TSubkeyWalker(HKEY_CURRENT_USER, box.Path() + "\\none").Opened());
  EXPECT_EQ(TSubkeyWalker(HKEY_CURRENT_USER, box.Path() + "\\none").Count(), 0u);
  EXPECT_FALSE(TSubkeyWalker(nullptr, box.Path()).Opened());

  TRegKeyHandle key;
  ASSERT_TRUE(key.Open(box.Root(), box.Path()));
  TKeyInfo info;
  QueryKeyInfo(key.Get(), info);
  TSubkeyWalker walker(key, info.SubkeyCount);
  EXPECT_FALSE(key);   // the walker holds the handle now
  ASSERT_TRUE(walker.Opened());
  ASSERT_EQ(walker.Count(), 3u);
  ASSERT_TRUE(walker.Name(1, name));
  EXPECT_EQ(name, "two");
  TRegKeyHandle none;
  TSubkeyWalker empty(none, 5);
  EXPECT_FALSE(empty.Opened());
  EXPECT_EQ(empty.Count(), 0u);
}

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
