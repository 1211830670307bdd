// The junk type file: the 47 defaults, the byte layout, round trips, a failed save that keeps
// the old file, and damaged files (fixed-seed fuzz) that never read past a record.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/Exceptions.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "support/Fuzz.h"
#include "support/HeldFile.h"
#include "support/TestSupport.h"
#include "tools/junk/SysDiskCleanerUnitStore.h"

using namespace SysDiskCleanerUnit;
using testing_support::TempFolder;
using testing_support::THeldFile;

namespace {

std::string RecordBytes(const TJunkTypeRecord& r) { return std::string(reinterpret_cast<const char*>(&r), sizeof r); }

struct JunkStore : ::testing::Test {
  TempFolder dir;
  std::string path = dir.Path() + JunkFileName;
};

}  // namespace

TEST_F(JunkStore, DefaultsAreTheFortySevenTypesInOrderAndFillNineThousandFiveHundredFortyOneBytes) {
  std::vector<TJunkType> types = DefaultJunkTypeList();
  ASSERT_EQ(types.size(), 47u);
  EXPECT_EQ(types[0], (TJunkType{true, "*.swp", "Temporary Junk Files"}));
  EXPECT_EQ(types[23], (TJunkType{true, "chklist.*", "Microsoft Junk File"}));
  EXPECT_EQ(types[31], (TJunkType{true, "chklist.*", "CHKDSK Log Files"}));
  EXPECT_EQ(types[41], (TJunkType{true, "modemdet.txt", "Windows diagnostic file"}));
  EXPECT_EQ(types[46], (TJunkType{true, "readme.txt", "Readme Files"}));

  SaveJunkTypeFile(path, types);
  std::string bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 9541u);
  EXPECT_EQ(bytes.substr(0, 7), std::string("\x01\x05*.swp", 7));
  EXPECT_EQ(bytes.substr(102, 21), std::string("\x14Temporary Junk Files"));
  EXPECT_EQ(bytes[7], '\0');   // past the length: zeros
  std::vector<TJunkType> back;
  ASSERT_TRUE(LoadJunkTypeFile(path, back));
  EXPECT_EQ(back, types);
  EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST_F(JunkStore, RoundTripKeepsTicksAndCutsTextToOneHundredCharacters) {
  std::string longText(150, 'p');
  SaveJunkTypeFile(path, {{false, longText, "d"}, {true, "*.tmp", ""}, {true, "ä*.tmp", "Ärger"}});
  std::vector<TJunkType> back;
  ASSERT_TRUE(LoadJunkTypeFile(path, back));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0], (TJunkType{false, std::string(100, 'p'), "d"}));
  EXPECT_EQ(back[1], (TJunkType{true, "*.tmp", ""}));
  EXPECT_EQ(back[2], (TJunkType{true, "ä*.tmp", "Ärger"}));   // ANSI in the file, UTF-8 here

  SaveJunkTypeFile(path, {});   // the user removed every type
  EXPECT_TRUE(LoadJunkTypeFile(path, back));
  EXPECT_TRUE(back.empty());
  EXPECT_FALSE(LoadJunkTypeFile(dir.Path() + "missing.dat", back));
}

// A text goes into a record only as it is: no character may become "?" (a wildcard) or a
// look-alike letter of the code page. The test prefix's code page is 1252.
TEST_F(JunkStore, TextsTheCodePageCannotHoldAreRefusedNeverChanged) {
  const struct {
    const char* Text;
    bool Fits;
  } cases[] = {
      {"*.log", true},
      {"\xc3\xa4*.tmp \xe2\x80\x9cquoted\xe2\x80\x9d \xe2\x82\xac", true},   // ä “ ” €: all in the code page
      {"", true},
      {"\xe6\x97\xa5\xe5\xbf\x97.log", false},          // 日志.log would read back as ??.log
      {"*.l\xc5\x8dg", false},                           // ō would become o
      {"\xef\xbc\x8a.tmp", false},                       // a full-width asterisk would become *
      {"file\xe2\x80\x94.tmp", true},                    // — is in the code page
      {"x\xf0\x9f\x98\x80", false},                      // beyond the 16-bit plane
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CanStoreJunkText(c.Text), c.Fits) << c.Text;
    if (c.Fits) {
      EXPECT_EQ(FromRecord(ToRecord({true, c.Text, c.Text})), (TJunkType{true, c.Text, c.Text}));
      continue;
    }
    std::string message = Format(UnstorableJunkText, c.Text);
    for (TJunkType type : {TJunkType{true, c.Text, "d"}, TJunkType{true, "*.d", c.Text}}) {
      try {
        ToRecord(type);
        ADD_FAILURE() << "stored " << c.Text;
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.what(), message);
      }
    }
  }
  // A save holding such a type leaves the old file as it was.
  SaveJunkTypeFile(path, {{true, "*.old", "kept"}});
  std::string before = ReadFileBytes(path);
  EXPECT_THROW(SaveJunkTypeFile(path, {{true, "*.new", "x"}, {true, "\xe6\x97\xa5\xe5\xbf\x97.log", ""}}),
               EConvertError);
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST_F(JunkStore, AFailedSaveKeepsTheOldFile) {
  SaveJunkTypeFile(path, {{true, "*.old", "kept"}});
  std::string before = ReadFileBytes(path);
  ASSERT_TRUE(CreateDirectoryW(Widen(path + ".tmp").c_str(), nullptr));   // the temporary file cannot be made
  EXPECT_THROW(SaveJunkTypeFile(path, DefaultJunkTypeList()), EInOutError);
  EXPECT_EQ(ReadFileBytes(path), before);
  RemoveDirectoryW(Widen(path + ".tmp").c_str());
}

TEST_F(JunkStore, DamagedFilesNeverReadPastARecord) {
  TJunkTypeRecord a = ToRecord({true, "*.a", "first"});
  TJunkTypeRecord b = ToRecord({true, "*.b", "second"});
  b.Checked = 7;                    // any non-zero tick is on
  TJunkTypeRecord c = ToRecord({false, "", ""});
  c.PatternLength = 0xFF;           // over 100: read as 100
  std::memset(c.Pattern, 'x', sizeof c.Pattern);
  c.DescriptionLength = 101;
  std::memset(c.Description, 'y', sizeof c.Description);
  WriteFileBytes(path, RecordBytes(a) + RecordBytes(b) + RecordBytes(c) + std::string(50, 'z'));
  std::vector<TJunkType> types;
  ASSERT_TRUE(LoadJunkTypeFile(path, types));
  ASSERT_EQ(types.size(), 3u);   // the partial record is dropped
  EXPECT_TRUE(types[1].Checked);
  EXPECT_EQ(types[2].Pattern, std::string(100, 'x'));
  EXPECT_EQ(types[2].Description, std::string(100, 'y'));

  WriteFileBytes(path, std::string(100, '\x01'));   // shorter than one record: no types, no defaults
  ASSERT_TRUE(LoadJunkTypeFile(path, types));
  EXPECT_TRUE(types.empty());
}

// A file that is there but cannot be read is an error, never an empty or a missing list, and
// the list read before stays as it was.
TEST_F(JunkStore, AFileThatCannotBeReadLeavesTheListAsItWas) {
  SaveJunkTypeFile(path, {{true, "*.kept", "kept"}});
  std::vector<TJunkType> types = {{true, "*.before", "the page's list"}};
  const std::vector<TJunkType> shown = types;
  THeldFile held(path);
  ASSERT_TRUE(held.Held());
  EXPECT_THROW(LoadJunkTypeFile(path, types), EInOutError);
  EXPECT_EQ(types, shown);
  held.Release();
  ASSERT_TRUE(CreateDirectoryW(Widen(dir.Path() + "folder.dat").c_str(), nullptr));   // a folder of the name
  EXPECT_THROW(LoadJunkTypeFile(dir.Path() + "folder.dat", types), EInOutError);
  EXPECT_EQ(types, shown);
  EXPECT_FALSE(LoadJunkTypeFile(dir.Path() + "missing.dat", types));
  EXPECT_FALSE(LoadJunkTypeFile(dir.Path() + "no folder\\JunkFile.dat", types));
  EXPECT_EQ(types, shown);
  EXPECT_TRUE(LoadJunkTypeFile(path, types));
  EXPECT_EQ(types, (std::vector<TJunkType>{{true, "*.kept", "kept"}}));
}

TEST_F(JunkStore, FuzzedFilesLoadWithoutCrashOrWrites) {
  SaveJunkTypeFile(path, DefaultJunkTypeList());
  testing_support::TFuzzInputs inputs({ReadFileBytes(path), std::string(203 * 3, char(0xFF))});
  for (int round = 0; round < 400; ++round) {
    std::string bytes = inputs.Next();
    ASSERT_TRUE(testing_support::WriteInput(path, bytes));
    std::vector<TJunkType> types;
    ASSERT_TRUE(LoadJunkTypeFile(path, types));
    ASSERT_EQ(types.size(), bytes.size() / 203) << round;
    for (const TJunkType& t : types) ASSERT_LE(Widen(t.Pattern).size(), 100u);
    ASSERT_EQ(ReadFileBytes(path), bytes) << round;   // reading writes nothing
  }
  EXPECT_FALSE(FileExists(path + ".tmp"));
}
