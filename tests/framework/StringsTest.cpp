#include <gtest/gtest.h>

#include "framework/Collection.h"
#include "framework/Exceptions.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "support/TestSupport.h"

TEST(Strings, HelpersKeepTheirClassicSemantics) {
  EXPECT_EQ((std::vector<int>{Pos("b", "abcb"), Pos("x", "abc"), Pos("", "abc")}), (std::vector<int>{2, 0, 0}));
  // an index below 1 shortens the count
  EXPECT_EQ((std::vector<std::string>{Copy("abcdef", 2, 3), Copy("abcdef", 5, 100), Copy("abcdef", 0, 3),
                                      Copy("abcdef", -1, 3), Copy("abcdef", 7, 1)}),
            (std::vector<std::string>{"bcd", "ef", "ab", "a", ""}));
  EXPECT_EQ(Trim("\t\r\n  a b \x01"), "a b");
  for (auto [path, folder] : {std::pair{"C:\\dir\\file.txt", "C:\\dir\\"}, {"C:file.txt", "C:"}})
    EXPECT_EQ(ExtractFilePath(path) + "|" + ExtractFileName(path), std::string(folder) + "|file.txt");
  EXPECT_EQ(ExtractFileExt("C:\\dir\\file.tar.gz") + ExtractFileExt("C:\\dir.v2\\file"), ".gz");
  EXPECT_EQ(StringReplace("aXbXc", "X", "--"), "a--b--c");
  EXPECT_EQ(StringReplace("aXbXc", "X", "-", false), "a-bXc");
  EXPECT_EQ(StringReplace("abc", "", "zz"), "abc");   // an empty pattern changes nothing
  EXPECT_EQ(AnsiUpperCase("café ключ"), "CAFÉ КЛЮЧ");
  EXPECT_EQ(UpperCase("café"), "CAFé");
  EXPECT_EQ(Format("Items processed: %10d", 200), "Items processed:        200");
  EXPECT_EQ(Format("%08X", 0xdeadbeefu), "DEADBEEF");
  EXPECT_EQ(Format("%s|%s|%d", std::string("a"), "b", 3), "a|b|3");
  EXPECT_EQ((std::vector<int>{Round(2.5), Round(3.5), Round(-2.5)}), (std::vector<int>{2, 4, -2}));
  EXPECT_EQ((std::vector<int>{StrToIntDef(" 42 ", -1), StrToIntDef("4x2", -1), StrToIntDef("$0A", -1)}),
            (std::vector<int>{42, -1, 10}));
  EXPECT_THROW(StrToInt("abc"), EConvertError);
  EXPECT_EQ(Narrow(Widen("中文 Кириллица")), "中文 Кириллица");
}

TEST(Strings, FilesListsAndReplacementsKeepWhatTheyHold) {
  testing_support::TempFolder dir;
  TStringList list;
  list.Items = {"один", "", "three"};
  list.SaveToFile(dir.Path() + "l.txt");
  EXPECT_EQ(ReadFileBytes(dir.Path() + "l.txt"), "один\r\n\r\nthree\r\n");
  dir.WriteFile("lf.txt", "a\nb\r\nc");
  TStringList back;
  back.LoadFromFile(dir.Path() + "lf.txt");
  EXPECT_EQ(back.Items, (std::vector<std::string>{"a", "b", "c"}));
  dir.WriteFile("ansi.txt", "caf\xE9\r\n");   // an older file in the ANSI code page
  back.LoadFromFile(dir.Path() + "ansi.txt");
  EXPECT_EQ(back[0], "café");
  // CR LF, LF and a lone CR each end one line, whatever the file mixes; an 8-bit line between
  // lone CRs still reads in the ANSI code page
  struct TLineEnds {
    std::string Bytes;
    std::vector<std::string> Lines;
  };
  for (const TLineEnds& t : std::vector<TLineEnds>{
           {"a\rb\rc\r", {"a", "b", "c"}},
           {"a\r\rb", {"a", "", "b"}},
           {"a\r\nb\n\rc\r\r\nd", {"a", "b", "", "c", "", "d"}},
           {"caf\xE9\rcaf\xC3\xA9\r", {"café", "café"}},
           {"\xEF\xBB\xBFx\r", {"x"}},
       })
    EXPECT_EQ(DecodeTextLines(t.Bytes), t.Lines) << testing::PrintToString(t.Bytes);
  EXPECT_THROW(back.LoadFromFile(dir.Path() + "missing.txt"), EInOutError);

  // FileExists is false for folders.
  std::string file = dir.WriteFile("файл.txt");
  EXPECT_TRUE(FileExists(file) && DirectoryExists(dir.Path()));
  EXPECT_FALSE(FileExists(dir.Path()) || FileExists(ExcludeTrailingBackslash(dir.Path())) || DirectoryExists(file));

  // ReplaceFileContents keeps the old file when it cannot write.
  file = dir.WriteFile("keep.txt", "old");
  EXPECT_TRUE(ReplaceFileContents(file, "new"));
  EXPECT_EQ(ReadFileBytes(file), "new");
  // the new contents cannot be written beside it (a folder holds the name): the old file stays
  ASSERT_TRUE(CreateDirectoryW(Widen(file + ".tmp").c_str(), nullptr));
  EXPECT_FALSE(ReplaceFileContents(file, "newer"));
  EXPECT_EQ(ReadFileBytes(file), "new");
}

TEST(Strings, PercentEscapesReadBackWhatTheyWrote) {
  const std::string text = "50%|a\r\nb|%7C ü";
  const std::string encoded = PercentEncode(text, "|\r\n");
  EXPECT_EQ(encoded, "50%25%7Ca%0D%0Ab%7C%257C ü");
  std::string back;
  EXPECT_TRUE(PercentDecode(encoded, back));
  EXPECT_EQ(back, text);
  EXPECT_TRUE(PercentDecode("%7c%7C", back) && back == "||");
  for (const char* broken : {"%", "%7", "a%G0", "%%"}) EXPECT_FALSE(PercentDecode(broken, back)) << broken;
}

TEST(Collection, AddReturnsTheIndexAndItemsStayInPlace) {
  TCollection<std::string> c;
  EXPECT_EQ(c.Add(), 0);
  std::string& first = c.GetItem(0);
  first = "first";
  for (int i = 0; i < 1000; ++i) c.Add();
  EXPECT_EQ(&first, &c.GetItem(0));
  EXPECT_EQ(c.GetItem(0), "first");
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
}
