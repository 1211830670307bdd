// The registry-script lines, the file's header and encoding, and the backup file itself.
#include <gtest/gtest.h>

#include "support/RegistryTree.h"
#include "app/MainUnitBackup.h"
#include "app/RegBackupUnitScript.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"

using namespace testing_support;
using MainUnit::ExportRegValue;
using MainUnit::TExportOutcome;
using SectionCommon::TRepairForm;

namespace {

// The value line ExportRegValue writes (after its key line) for a value of box\\sub, or what went wrong.
std::string LineFor(const RegSandbox& box, const std::string& sub, const std::string& name) {
  TStringList lines;
  const std::string key = sub.empty() ? box.FullPath() : box.FullPath() + "\\" + sub;
  TExportOutcome outcome = ExportRegValue(key, name, lines);
  if (outcome != TExportOutcome::Written) return "<not written>";
  if (lines.Count() != 2 || lines[0] != "[" + key + "]") return "<bad key line>";
  return lines[1];
}
std::string LineFor(const RegSandbox& box, const std::string& name) { return LineFor(box, "", name); }

}  // namespace

TEST(Writer, ValueLinesAsTheScriptFormatGivesThem) {
  RegSandbox box;
  const std::string root = "25,00,53,00,79,00,73,00,74,00,65,00,6D,00,52,00,6F,00,6F,00,74,00,25,00";   // %SystemRoot%
  struct Case {
    std::wstring Name;
    DWORD Type;
    std::vector<uint8_t> Data;
    std::string Line;
  };
  const Case cases[] = {
      {L"d1", REG_DWORD, Bytes({0x02, 0x00, 0x00, 0x01}), "\"d1\"=dword:01000002"},
      {L"d0", REG_DWORD, Bytes({0, 0, 0, 0}), "\"d0\"=dword:00000000"},
      {L"b", REG_BINARY, Bytes({0x01, 0x00, 0x02}), "\"b\"=hex:01,00,02"},
      {L"e", REG_EXPAND_SZ, Utf16(L"%SystemRoot%", false), "\"e\"=hex(2):" + root},
      // the registry's own terminator is kept, so that the import gives back the same bytes
      {L"e_term", REG_EXPAND_SZ, Utf16(L"%SystemRoot%"), "\"e_term\"=hex(2):" + root + ",00,00"},
      {L"m", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b\0", 4)), "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
      {L"m_empty", REG_MULTI_SZ, {}, "\"m_empty\"=hex(7):"},
      {L"s", REG_SZ, Utf16(L"C:\\x\"y"), "\"s\"=\"C:\\\\x\\\"y\""},
      {L"C:\\WINDOWS\\a.dll", REG_SZ, Utf16(L"v"), "\"C:\\\\WINDOWS\\\\a.dll\"=\"v\""},
      {L"q", REG_QWORD, Bytes({8, 7, 6, 5, 4, 3, 2, 1}), "\"q\"=hex(b):08,07,06,05,04,03,02,01"},
      {L"n", REG_NONE, {}, "\"n\"=hex(0):"},
      {L"short_dword", REG_DWORD, Bytes({1, 2}), "\"short_dword\"=hex(4):01,02"},
      {L"crlf", REG_SZ, Utf16(L"a\r\nb"), "\"crlf\"=hex(1):61,00,0D,00,0A,00,62,00,00,00"},
      {L"unterminated", REG_SZ, Utf16(L"ab", false), "\"unterminated\"=hex(1):61,00,62,00"},
      {L"", REG_SZ, Utf16(L"dflt"), "@=\"dflt\""},
  };
  for (const Case& c : cases) SetExact(box.Root(), box.Path(), c.Name, c.Type, c.Data);
  for (const Case& c : cases) EXPECT_EQ(LineFor(box, Narrow(c.Name)), c.Line);
  SetExact(box.Root(), box.Path(), L"big", REG_BINARY, Pattern(300));
  EXPECT_EQ(LineFor(box, "big").size(), std::string("\"big\"=hex:").size() + 300 * 3 - 1) << "no 256-byte limit";
}

TEST(Writer, KeyLinesAbsentKeysAndValuesAndTheDefaultValue) {
  RegSandbox box;
  TStringList lines;
  // a key without a default value: the key line alone
  EXPECT_EQ(ExportRegValue(box.FullPath(), "", lines), TExportOutcome::Absent);
  EXPECT_EQ(lines.Items, std::vector<std::string>{"[" + box.FullPath() + "]"});
  lines.Clear();
  EXPECT_EQ(ExportRegValue(box.FullPath(), "missing", lines), TExportOutcome::Absent);
  EXPECT_EQ(ExportRegValue(box.FullPath() + "\\NoSuchKey", "x", lines), TExportOutcome::Absent);
  EXPECT_EQ(ExportRegValue("NOT_A_ROOT\\Software", "x", lines), TExportOutcome::Absent);
  EXPECT_EQ(ExportRegValue("hkey_current_user\\" + box.Path(), "x", lines), TExportOutcome::Absent);
  EXPECT_EQ(lines.Count(), 0);

  // the root's name is taken off the front once; the same text further in stays
  box.SetDword("HKEY_CURRENT_USER\\inner", "v", 1);
  std::string inner = box.FullPath() + "\\HKEY_CURRENT_USER\\inner";
  ASSERT_EQ(ExportRegValue(inner, "v", lines), TExportOutcome::Written);
  EXPECT_EQ(lines.Items, (std::vector<std::string>{"[" + inner + "]", "\"v\"=dword:00000001"}));

  // a whole key: its line, its values, then every subkey with its own line
  lines.Clear();
  box.SetString("k", "", "top");
  box.SetString("k\\b", "x", "1");
  box.CreateKey("k\\a");
  ASSERT_EQ(MainUnit::ExportRegKey(box.FullPath() + "\\k", lines), TExportOutcome::Written);
  std::string k = box.FullPath() + "\\k";
  EXPECT_EQ(lines.Items, (std::vector<std::string>{"[" + k + "]", "@=\"top\"", "[" + k + "\\a]", "[" + k + "\\b]",
                                                   "\"x\"=\"1\""}));
  EXPECT_EQ(MainUnit::ExportRegKey(box.FullPath() + "\\gone", lines), TExportOutcome::Absent);
  EXPECT_EQ(MainUnit::ExportRegKey("HKEY_CURRENT_USER", lines), TExportOutcome::Absent) << "never a whole root";
}

// The routines that back up and delete one value take the value's exact name: "" is the key's
// unnamed value and "default" a value really so named, never the other.
TEST(Writer, ExportAndDeletionTakeTheValuesExactName) {
  RegSandbox box;
  struct Case {
    std::string Name, Line, Left;   // the value asked for, its exported line, the value left after its deletion
  };
  const Case cases[] = {
      {"", "@=\"unnamed\"", "default"},
      {"default", "\"default\"=\"named\"", ""},
      {"DEFAULT", "\"DEFAULT\"=\"named\"", ""},   // the registry's names compare without case
  };
  for (const Case& c : cases) {
    box.SetString("k", "", "unnamed");
    box.SetString("k", "default", "named");
    EXPECT_EQ(LineFor(box, "k", c.Name), c.Line) << c.Name;
    EXPECT_TRUE(PublicFunctionUnit::DeleteRegistryValue(box.FullPath() + "\\k", c.Name)) << c.Name;
    EXPECT_TRUE(box.ValueExists("k", c.Left) && !box.ValueExists("k", c.Name)) << c.Name;
  }
}

TEST(Writer, HeaderAndEncodingFollowThePlatformKindAndTheCodePage) {
  std::vector<std::string> headers;
  for (int kind : {0, 1, 2, 3, 4, 6}) headers.push_back(MainUnit::RegScriptHeader(kind));
  EXPECT_EQ(headers, (std::vector<std::string>{"", "", "REGEDIT4", "REGEDIT4", "Windows Registry Editor Version 5.00",
                                               "Windows Registry Editor Version 5.00"}));

  TStringList lines;
  lines.Add("Windows Registry Editor Version 5.00");
  lines.Add("[HKEY_CURRENT_USER\\Кир]");
  std::wstring expected = L"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Кир]\r\n";
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(expected.data()), expected.size() * 2);
  EXPECT_EQ(MainUnit::EncodeRegScript(lines), bytes);
  lines[0] = "REGEDIT4";
  lines[1] = "\"caf\xC3\xA9\"=\"x\"";   // é is in the ANSI code page: one byte
  EXPECT_EQ(MainUnit::EncodeRegScript(lines), "REGEDIT4\r\n\"caf\xE9\"=\"x\"\r\n");
  lines[0] = "";
  EXPECT_EQ(MainUnit::EncodeRegScript(lines), "\r\n\"caf\xE9\"=\"x\"\r\n");

  // A double-byte character through an explicit code page.
  EXPECT_EQ(PublicFunctionUnit::DbcsCharToRegHex("\x82\xA0", 932), "42,30,");   // HIRAGANA A, U+3042
  EXPECT_EQ(PublicFunctionUnit::DbcsCharToRegHex("\xB0\xA1", 936), "4A,55,");   // U+554A
  EXPECT_EQ(PublicFunctionUnit::DbcsCharToRegHex("A", 932), "41,00,");
  EXPECT_EQ(PublicFunctionUnit::DbcsCharToRegHex("", 932), "00,00,");
}

TEST(Backup, FileNameFolderHeaderAndWhatIsLeftOut) {
  RegSandbox box;
  TempFolder temp;
  box.SetDword("", "v", 3);
  TRegistryContents values, shortcuts;
  values.GetItem(values.Add()).Content = {.Checked = false, .KeyPath = box.FullPath(), .ValueName = "v"};
  shortcuts.GetItem(shortcuts.Add()).Content = {.Checked = true, .KeyPath = temp.WriteFile("x.lnk")};
  std::vector<MainUnit::TBackupSection> sections = {{"Shared DLLs", TRepairForm::Value, &values},
                                                    {"Invalid Shortcuts", TRepairForm::File, &shortcuts}};
  std::string folder = temp.Path() + "RepairBackup\\";
  const TDateTime stamp = 46000.5;   // 2025-12-09 12:00:00

  // only a shortcut ticked: nothing is saved, the path is still given, nothing is missing
  MainUnit::TBackupResult r = MainUnit::BackupCheckedFindings(sections, 4, folder, stamp);
  EXPECT_EQ(r.FileName, folder + "_20251209_120000.reg");
  EXPECT_TRUE(DirectoryExists(folder) && !FileExists(r.FileName));
  EXPECT_TRUE(!r.Saved && r.Complete && r.Exported == 0);

  // a ticked value, NT header: UTF-16 with CRLF after every line, the last included; the user
  // whose HKEY_CURRENT_USER it may hold is noted after the header
  const std::string user = ";User: " + PublicFunctionUnit::CurrentUserSid() + "\r\n";
  ASSERT_TRUE(PublicFunctionUnit::IsSidText(PublicFunctionUnit::CurrentUserSid()));
  values.GetItem(0).Content.Checked = true;
  r = MainUnit::BackupCheckedFindings(sections, 4, folder, stamp);
  EXPECT_TRUE(r.Saved && r.Complete && r.Exported == 1);
  EXPECT_EQ(ReadUtf16File(r.FileName),
            "Windows Registry Editor Version 5.00\r\n" + user + "[" + box.FullPath() + "]\r\n\"v\"=dword:00000003\r\n");
  std::string sid;
  EXPECT_TRUE(RegBackupUnit::ReadScriptUser(r.FileName, sid));
  EXPECT_EQ(sid, PublicFunctionUnit::CurrentUserSid());

  // Windows 9x header: an 8-bit file
  r = MainUnit::BackupCheckedFindings(sections, 2, folder, stamp + 0.25);
  EXPECT_EQ(r.FileName, folder + "_20251209_180000.reg");
  EXPECT_EQ(ReadFileBytes(r.FileName), "REGEDIT4\r\n" + user + "[" + box.FullPath() + "]\r\n\"v\"=dword:00000003\r\n");

  // the folder cannot be made (a file of that name): not saved, and not complete
  std::string blocked = temp.WriteFile("Blocked");
  r = MainUnit::BackupCheckedFindings(sections, 4, blocked + "\\", stamp);
  EXPECT_TRUE(!r.Saved && !r.Complete && r.Exported == 1);
}

// Two backups of one second (two quick repairs, the hour that repeats when the clocks go back)
// never replace one another: the later one takes the next free second's name, also past a name
// something else has taken.
TEST(Backup, ABackupNeverReplacesAnEarlierOne) {
  RegSandbox box;
  TempFolder temp;
  TRegistryContents values;
  values.GetItem(values.Add()).Content = {.Checked = true, .KeyPath = box.FullPath(), .ValueName = "v"};
  std::vector<MainUnit::TBackupSection> sections = {{"Shared DLLs", TRepairForm::Value, &values}};
  std::string folder = temp.Path() + "RepairBackup\\";
  const TDateTime stamp = 46000.5;   // 2025-12-09 12:00:00

  box.SetString("", "v", "first");
  MainUnit::TBackupResult first = MainUnit::BackupCheckedFindings(sections, 4, folder, stamp);
  const std::string firstBytes = ReadFileBytes(first.FileName);
  temp.WriteFile("RepairBackup\\_20251209_120001.reg", "older");
  box.SetString("", "v", "second");
  MainUnit::TBackupResult second = MainUnit::BackupCheckedFindings(sections, 4, folder, stamp);
  EXPECT_TRUE(first.Saved && second.Saved);
  EXPECT_EQ(second.FileName, folder + "_20251209_120002.reg");
  EXPECT_EQ(ReadFileBytes(first.FileName), firstBytes);
  EXPECT_EQ(ReadFileBytes(folder + "_20251209_120001.reg"), "older");
  EXPECT_NE(ReadUtf16File(second.FileName).find("\"v\"=\"second\""), std::string::npos);

  // a file that takes the name between the choice and the writing is not written over either
  EXPECT_EQ(WriteNewFileContents(first.FileName, "new"), TNewFileOutcome::Taken);
  EXPECT_EQ(ReadFileBytes(first.FileName), firstBytes);
  EXPECT_FALSE(FileExists(first.FileName + ".tmp"));
}
