// The registry-script lines, the file's header and encoding, and the backup file itself.
#include <gtest/gtest.h>

#include "support/RegistryTree.h"
#include "app/MainUnitBackup.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"

using namespace testing_support;
using MainUnit::ExportRegValue;
using MainUnit::TExportOutcome;
using SectionCommon::TRepairForm;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {

// The value line ExportRegValue writes (after its key line), or what went wrong.
std::string LineFor(const RegSandbox& box, const std::string& name) {
  TStringList lines;
  TExportOutcome outcome = ExportRegValue(box.FullPath(), name, lines);
  if (outcome != TExportOutcome::Written) return "<not written>";
  if (lines.Count() != 2 || lines[0] != "[" + box.FullPath() + "]") return "<bad key line>";
  return lines[1];
}

TDateTime Stamp(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
  SYSTEMTIME st{y, mo, 0, d, h, mi, s, 0};
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
  return (double)u.QuadPart / 864000000000.0 - 109205.0;
}

}  // namespace

TEST(Writer, ValueLinesAsTheScriptFormatGivesThem) {
  RegSandbox box;
  HKEY root = box.Root();
  std::string key = box.Path();
  SetExact(root, key, L"d1", REG_DWORD, Bytes({0x02, 0x00, 0x00, 0x01}));
  SetExact(root, key, L"d0", REG_DWORD, Bytes({0, 0, 0, 0}));
  SetExact(root, key, L"b", REG_BINARY, Bytes({0x01, 0x00, 0x02}));
  SetExact(root, key, L"e", REG_EXPAND_SZ, Utf16(L"%SystemRoot%", false));
  SetExact(root, key, L"e_term", REG_EXPAND_SZ, Utf16(L"%SystemRoot%"));
  SetExact(root, key, L"m", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b\0", 4)));
  SetExact(root, key, L"m_empty", REG_MULTI_SZ, {});
  SetExact(root, key, L"s", REG_SZ, Utf16(L"C:\\x\"y"));
  SetExact(root, key, L"C:\\WINDOWS\\a.dll", REG_SZ, Utf16(L"v"));
  SetExact(root, key, L"q", REG_QWORD, Bytes({8, 7, 6, 5, 4, 3, 2, 1}));
  SetExact(root, key, L"n", REG_NONE, {});
  SetExact(root, key, L"short_dword", REG_DWORD, Bytes({1, 2}));
  SetExact(root, key, L"crlf", REG_SZ, Utf16(L"a\r\nb"));
  SetExact(root, key, L"unterminated", REG_SZ, Utf16(L"ab", false));
  SetExact(root, key, L"big", REG_BINARY, Pattern(300));
  SetExact(root, key, L"", REG_SZ, Utf16(L"dflt"));

  EXPECT_EQ(LineFor(box, "d1"), "\"d1\"=dword:01000002");
  EXPECT_EQ(LineFor(box, "d0"), "\"d0\"=dword:00000000");
  EXPECT_EQ(LineFor(box, "b"), "\"b\"=hex:01,00,02");
  EXPECT_EQ(LineFor(box, "e"), "\"e\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6D,00,52,00,6F,00,6F,00,74,00,25,00");
  // the registry's own terminator is kept, so that the import gives back the same bytes
  EXPECT_EQ(LineFor(box, "e_term"),
            "\"e_term\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6D,00,52,00,6F,00,6F,00,74,00,25,00,00,00");
  EXPECT_EQ(LineFor(box, "m"), "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00");
  EXPECT_EQ(LineFor(box, "m_empty"), "\"m_empty\"=hex(7):");
  EXPECT_EQ(LineFor(box, "s"), "\"s\"=\"C:\\\\x\\\"y\"");
  EXPECT_EQ(LineFor(box, "C:\\WINDOWS\\a.dll"), "\"C:\\\\WINDOWS\\\\a.dll\"=\"v\"");
  EXPECT_EQ(LineFor(box, "q"), "\"q\"=hex(b):08,07,06,05,04,03,02,01");
  EXPECT_EQ(LineFor(box, "n"), "\"n\"=hex(0):");
  EXPECT_EQ(LineFor(box, "short_dword"), "\"short_dword\"=hex(4):01,02");
  EXPECT_EQ(LineFor(box, "crlf"), "\"crlf\"=hex(1):61,00,0D,00,0A,00,62,00,00,00");
  EXPECT_EQ(LineFor(box, "unterminated"), "\"unterminated\"=hex(1):61,00,62,00");
  EXPECT_EQ(LineFor(box, "default"), "@=\"dflt\"");
  EXPECT_EQ(LineFor(box, ""), "@=\"dflt\"");
  std::string big = LineFor(box, "big");
  EXPECT_EQ(big.size(), std::string("\"big\"=hex:").size() + 300 * 3 - 1) << "no 256-byte limit";
}

TEST(Writer, KeyLinesAbsentKeysAndValuesAndTheDefaultValue) {
  RegSandbox box;
  TStringList lines;
  // a key without a default value: the key line alone
  EXPECT_EQ(ExportRegValue(box.FullPath(), "default", lines), TExportOutcome::Absent);
  ASSERT_EQ(lines.Count(), 1);
  EXPECT_EQ(lines[0], "[" + box.FullPath() + "]");
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
  EXPECT_EQ(lines[0], "[" + inner + "]");
  EXPECT_EQ(lines[1], "\"v\"=dword:00000001");

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

TEST(Writer, HeaderAndEncodingFollowThePlatformKind) {
  EXPECT_EQ(MainUnit::RegScriptHeader(0), "");
  EXPECT_EQ(MainUnit::RegScriptHeader(1), "");
  EXPECT_EQ(MainUnit::RegScriptHeader(2), "REGEDIT4");
  EXPECT_EQ(MainUnit::RegScriptHeader(3), "REGEDIT4");
  EXPECT_EQ(MainUnit::RegScriptHeader(4), "Windows Registry Editor Version 5.00");
  EXPECT_EQ(MainUnit::RegScriptHeader(6), "Windows Registry Editor Version 5.00");

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
}

TEST(Writer, DbcsCharacterThroughAnExplicitCodePage) {
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
  auto add = [](TRegistryContents& c, const std::string& path, const std::string& name, bool checked) {
    TContent& f = c.GetItem(c.Add()).Content;
    f.KeyPath = path;
    f.ValueName = name;
    f.Checked = checked;
  };
  add(values, box.FullPath(), "v", false);
  add(shortcuts, temp.WriteFile("x.lnk"), "", true);
  std::vector<MainUnit::TBackupSection> sections = {{"Shared DLLs", TRepairForm::Value, &values},
                                                    {"Invalid Shortcuts", TRepairForm::File, &shortcuts}};
  std::string folder = temp.Path() + "RepairBackup\\";
  TDateTime stamp = Stamp(2026, 12, 5, 15, 42, 49);

  // only a shortcut ticked: nothing is saved, the path is still given, nothing is missing
  MainUnit::TBackupResult r = MainUnit::BackupCheckedFindings(sections, 4, folder, stamp);
  EXPECT_EQ(r.FileName, folder + "_20261205_154249.reg");
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_FALSE(r.Saved);
  EXPECT_TRUE(r.Complete);
  EXPECT_EQ(r.Exported, 0);
  EXPECT_FALSE(FileExists(r.FileName));

  // a ticked value, NT header: UTF-16 with CRLF after every line, the last included
  values.GetItem(0).Content.Checked = true;
  r = MainUnit::BackupCheckedFindings(sections, 4, folder, stamp);
  EXPECT_TRUE(r.Saved);
  EXPECT_TRUE(r.Complete);
  EXPECT_EQ(r.Exported, 1);
  EXPECT_EQ(ReadUtf16File(r.FileName),
            "Windows Registry Editor Version 5.00\r\n[" + box.FullPath() + "]\r\n\"v\"=dword:00000003\r\n");

  // Windows 9x header: an 8-bit file
  r = MainUnit::BackupCheckedFindings(sections, 2, folder, stamp + 1.0 / 86400);
  EXPECT_EQ(r.FileName, folder + "_20261205_154250.reg");
  EXPECT_EQ(ReadFileBytes(r.FileName), "REGEDIT4\r\n[" + box.FullPath() + "]\r\n\"v\"=dword:00000003\r\n");

  // the folder cannot be made (a file of that name): not saved, and not complete
  std::string blocked = temp.WriteFile("Blocked");
  r = MainUnit::BackupCheckedFindings(sections, 4, blocked + "\\", stamp);
  EXPECT_FALSE(r.Saved);
  EXPECT_FALSE(r.Complete);
  EXPECT_EQ(r.Exported, 1);
}
