// Reading values in one call: small and large data, every value of a key in order, and the
// subkey walk over a key already open.
#include <gtest/gtest.h>

#include "framework/Registry.h"
#include "framework/Strings.h"
#include "support/TestSupport.h"

using testing_support::RegSandbox;

namespace {

std::vector<uint8_t> Bytes(size_t size) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = uint8_t(i * 7 + 3);
  return data;
}

}  // namespace

TEST(RegistryRead, OneValueSmallLargeEmptyAndMissing) {
  RegSandbox box;
  std::string longText(3000, 'x');
  box.SetString("", "", "");
  box.SetString("", "long", longText + "ключ");
  box.SetRaw("", "big", REG_BINARY, Bytes(70000));
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
  EXPECT_EQ(v.Data, Bytes(70000));
  ASSERT_TRUE(QueryRegValue(key.Get(), L"zero first", v));
  EXPECT_EQ(RegValueText(v), "");   // the text ends at its first zero, as ReadString reads it
  EXPECT_FALSE(QueryRegValue(key.Get(), L"missing", v));

  TRegistry reg(KEY_READ);
  reg.RootKey = box.Root();
  ASSERT_TRUE(reg.OpenKey(box.Path(), false));
  EXPECT_EQ(reg.ReadString("long"), longText + "ключ");
  EXPECT_EQ(reg.ReadBinaryData("big"), Bytes(70000));
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
  box.SetRaw("", "d", REG_BINARY, Bytes(5000));
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

TEST(RegistryRead, SubkeyWalkOverAnOpenKey) {
  RegSandbox box;
  box.CreateKey("one");
  box.CreateKey("two\\deeper");
  TRegKeyHandle key;
  ASSERT_TRUE(key.Open(box.Root(), box.Path()));
  TKeyInfo info;
  QueryKeyInfo(key.Get(), info);
  TSubkeyWalker walker(key, info.SubkeyCount);
  EXPECT_FALSE(key);   // the walker holds the handle now
  ASSERT_TRUE(walker.Opened());
  ASSERT_EQ(walker.Count(), 2u);
  std::string name;
  ASSERT_TRUE(walker.Name(1, name));
  EXPECT_EQ(name, "two");

  TRegKeyHandle none;
  TSubkeyWalker empty(none, 5);
  EXPECT_FALSE(empty.Opened());
  EXPECT_EQ(empty.Count(), 0u);
}
