// Version details of program files: a version resource built here, strings under another
// language, a resource cut short, and thousands of malformed resources.
#include "StartupFixture.h"

#include <algorithm>

#include "framework/Strings.h"
#include "support/Fuzz.h"

namespace startup_test {

namespace {

const std::vector<std::pair<std::string, std::string>> kStrings = {
    {"CompanyName", " TestCo\r\n"}, {"FileDescription", "Test program"}, {"FileVersion", "9.9-text"},
    {"ProductName", "\tProduct "},  {"Comments", "note"}};

struct StartupVersion : StartupFixture {
  std::vector<uint8_t> good = VersionResource(kStrings, "040904E4", 0x0409, 1252);
};

TEST_F(StartupVersion, DetailsOfAProgramWithAVersionResource) {
  std::string program = temp.Path() + "ver.exe";
  ASSERT_TRUE(WriteProgramWithVersion(program, good));
  reader.ReadVersionInfo(program);
  EXPECT_EQ(Format("%s %08X %d", reader.TranslationText, (unsigned)reader.Translation, reader.InfoCount), "040904E4 04E40409 10");
  EXPECT_EQ(reader.FileDir + reader.FileName + "|" + reader.GetInfo(0) + "|" + reader.GetInfo(10) + "|" + reader.GetInfo(4),
            program + "|1.2.3.4|note|");
  TFileContents details;
  int index = AddFileDetails(reader, details, program, EntryTypeRegistry, "HKEY_CURRENT_USER\\K", "A");
  const TFilInfoeRecord& d = details.GetItem(index).Data;
  EXPECT_EQ(d.EntryType + "|" + d.Position + "|" + d.ProductName + "|" + d.PublishName + "|" + d.Version + "|" +
                d.Description + "|" + d.Action + "|" + d.Key + "|" + d.FilePath,
            "Registry|HKEY_CURRENT_USER\\K|Product|TestCo|9.9-text|Test program|Delete|A|" + program);
}

TEST_F(StartupVersion, OtherLanguageCutShortOrNoResourceGiveEmptyTexts) {
  std::string other = temp.Path() + "other.exe", cut = temp.Path() + "cut.exe";
  ASSERT_TRUE(WriteProgramWithVersion(other, VersionResource(kStrings, "040704B0", 0x0409, 1252)));
  ASSERT_TRUE(WriteProgramWithVersion(cut, std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)));
  for (const std::string& program : {other, cut, temp.WriteFile("plain.txt", "no resource")}) {
    reader.ReadVersionInfo(program);
    EXPECT_EQ(reader.GetInfo(0), program == other ? "1.2.3.4" : "0.0.0.0") << program;
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(reader.GetInfo(i), "") << program << " " << i;
  }
}

TEST_F(StartupVersion, BlocksShorterThanTheirKindAreNotRead) {
  reader.ReadVersionResource(good);
  EXPECT_EQ(reader.GetInfo(1) + "|" + reader.GetInfo(0), "TestCo|1.2.3.4");
  // The translation says it holds 2 bytes, the fixed information 8: neither is taken.
  std::vector<uint8_t> shortened = good;
  std::wstring key = L"Translation";
  auto at = std::search(shortened.begin(), shortened.end(), (uint8_t*)key.data(), (uint8_t*)(key.data() + key.size()));
  ASSERT_NE(at, shortened.end());
  *(at - 4) = 2;
  reader.ReadVersionResource(shortened);
  EXPECT_EQ(reader.Translation, 0u);
  EXPECT_EQ(reader.GetInfo(1), "");
  shortened = good;
  shortened[2] = 8;
  reader.ReadVersionResource(shortened);
  EXPECT_EQ(reader.GetInfo(0), "0.0.0.0");
}

TEST_F(StartupVersion, MalformedResourcesNeverReadPastTheirEnd) {
  testing_support::TFuzzInputs inputs({std::string(good.begin(), good.end())});
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = inputs.Next();
    reader.ReadVersionResource(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    for (int i = 1; i <= 10; ++i) ASSERT_LE(Widen(reader.GetInfo(i)).size() * 2, bytes.size());
  }
}

}  // namespace

}  // namespace startup_test
