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

TEST(RegistryRead, OneValueSmallLargeEmptyAndMissingTypedAndByName) {
  RegSandbox box;
  const std::string longText = std::string(3000, 'x') + "ключ";
  box.SetString("", "", "");
  box.SetString("", "long", longText);
  box.SetString("", "e", "%SystemRoot%\\x", REG_EXPAND_SZ);
  box.SetDword("", "d", 7);
  box.SetRaw("", "big", REG_BINARY, Pattern(70000));
  box.SetRaw("", "zero first", REG_SZ, {0, 0, 'a', 0, 0, 0});
  box.SetRaw("", "m", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0});
  box.SetString("Ключ", "имя", "значение");
  TRegKeyHandle key;
  ASSERT_TRUE(key.Open(box.Root(), box.Path()));

  TRegValue v;
  ASSERT_TRUE(QueryRegValue(key.Get(), L"", v));
  EXPECT_EQ(v.Type, DWORD(REG_SZ));
  EXPECT_EQ(RegValueText(v), "");
  ASSERT_TRUE(QueryRegValue(key.Get(), L"long", v));   // more than the first try holds
  EXPECT_EQ(RegValueText(v), longText);
  ASSERT_TRUE(QueryRegValue(key.Get(), L"big", v));
  EXPECT_EQ(v.Type, DWORD(REG_BINARY));
  EXPECT_EQ(v.Data, Pattern(70000));
  ASSERT_TRUE(QueryRegValue(key.Get(), L"zero first", v));
  EXPECT_EQ(RegValueText(v), "");   // the text ends at its first zero, as ReadString reads it
  EXPECT_FALSE(QueryRegValue(key.Get(), L"missing", v));

  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey("\\" + box.Path(), false));
  EXPECT_EQ(reg.CurrentPath(), box.Path());
  EXPECT_EQ(reg.ReadString("long"), longText);
  EXPECT_EQ(reg.ReadBinaryData("big"), Pattern(70000));
  // ReadText says whether there is a text, and leaves none behind when there is not.
  auto text = [&](const char* name) {
    std::string t = "left over";
    return std::to_string(reg.ReadText(name, t)) + t;
  };
  EXPECT_EQ(text("long"), "1" + longText);
  EXPECT_EQ(text("") + "|" + text("big") + "|" + text("missing"), "1|0|0");
  for (auto [name, type] : std::initializer_list<std::pair<const char*, TRegDataType>>{
           {"long", rdString}, {"e", rdExpandString}, {"d", rdInteger}, {"big", rdBinary}, {"m", rdUnknown},
           {"missing", rdUnknown}})
    EXPECT_EQ(reg.GetDataType(name), type) << name;
  EXPECT_EQ(reg.ReadString("e"), "%SystemRoot%\\x");   // not expanded
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_THROW(reg.ReadString("d"), ERegistryException);
  EXPECT_EQ(reg.ReadInteger("d"), 7);
  EXPECT_EQ(reg.GetDataSize("zero first"), 6);
  EXPECT_EQ(reg.GetDataSize("missing"), -1);

  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Count(), 7);
  EXPECT_EQ(std::count(names.Items.begin(), names.Items.end(), ""), 1);
  reg.GetKeyNames(names);
  EXPECT_EQ(names.Items, std::vector<std::string>{"Ключ"});
  ASSERT_TRUE(reg.OpenKey("Ключ", false));   // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), box.Path() + "\\Ключ");
  EXPECT_EQ(reg.ReadString("имя"), "значение");
  EXPECT_FALSE(reg.OpenKey("\\" + box.Path() + "\\nope", false));

  // A key goes with its whole subtree.
  box.SetString("a\\b\\c", "v", "1");
  box.SetString("a\\b2", "v", "1");
  EXPECT_TRUE(reg.DeleteKey("\\" + box.Path() + "\\a"));
  EXPECT_TRUE(!box.KeyExists("a") && box.KeyExists(""));
  EXPECT_FALSE(reg.DeleteKey("\\" + box.Path() + "\\a"));
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
  EXPECT_EQ(std::make_pair(info.ValueCount, info.SubkeyCount), std::make_pair(DWORD(6), DWORD(0)));
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
  std::string name;
  for (DWORD i = 0; i < walk.Count(); ++i) EXPECT_TRUE(walk.Name(i, name)) << i;
  EXPECT_FALSE(walk.Name(3, name));   // past the end: no name
  TSubkeyWalker none(HKEY_CURRENT_USER, box.Path() + "\\none");
  EXPECT_TRUE(!none.Opened() && none.Count() == 0);
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
  TRegKeyHandle closed;
  TSubkeyWalker empty(closed, 5);
  EXPECT_TRUE(!empty.Opened() && empty.Count() == 0);
}
