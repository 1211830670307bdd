// The promise of the repair backup: importing it brings back exactly what the repair removed.
#include <gtest/gtest.h>

#include "BackupTestSupport.h"
#include "app/MainUnitBackup.h"
#include "app/RegBackupUnit.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "scan/SectionCommon.h"
#include "support/TestSupport.h"

using namespace backup_test;
using SectionCommon::TRepairForm;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {

TContent& Finding(TRegistryContents& contents, const std::string& keyPath, const std::string& valueName,
                  bool checked = true) {
  TContent& c = contents.GetItem(contents.Add()).Content;
  c.Checked = checked;
  c.KeyPath = keyPath;
  c.ValueName = valueName;
  return c;
}

struct TValueCase {
  std::wstring Name;
  DWORD Type;
  std::vector<uint8_t> Data;
};

std::vector<TValueCase> EveryKindOfValue() {
  std::vector<uint8_t> multi = Utf16(std::wstring(L"a\0b\0", 4));
  std::vector<uint8_t> multiWide = Utf16(std::wstring(L"中文\0Кириллица\0", 14));
  return {
      {L"sz", REG_SZ, Utf16(L"C:\\x\"y Кириллица 中文 tab\t% [x] a=b")},
      {L"sz_empty", REG_SZ, Utf16(L"")},
      {L"sz_crlf", REG_SZ, Utf16(L"line1\r\nline2")},
      {L"sz_long", REG_SZ, Utf16(std::wstring(3000, L'ж'))},
      {L"expand", REG_EXPAND_SZ, Utf16(L"%SystemRoot%\\system32\\Ω.dll")},
      {L"expand_empty", REG_EXPAND_SZ, {}},
      {L"multi", REG_MULTI_SZ, multi},
      {L"multi_wide", REG_MULTI_SZ, multiWide},
      {L"multi_empty", REG_MULTI_SZ, {}},
      {L"dword", REG_DWORD, Bytes({0x02, 0x00, 0x00, 0x01})},
      {L"dword_zero", REG_DWORD, Bytes({0, 0, 0, 0})},
      {L"qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
      {L"bin_empty", REG_BINARY, {}},
      {L"bin5", REG_BINARY, Bytes({0x00, 0xFF, 0x10, 0x00, 0x7F})},
      {L"bin300", REG_BINARY, Pattern(300)},
      {L"bin4000", REG_BINARY, Pattern(4000)},
      {L"none", REG_NONE, {}},
      {L"none_data", REG_NONE, Bytes({9, 8, 7})},
      {L"name\\with\\backslash", REG_SZ, Utf16(L"v1")},
      {L"name \"quoted\"", REG_SZ, Utf16(L"v2")},
      {L"a=b", REG_DWORD, Bytes({1, 0, 0, 0})},
      {L"[brackets]", REG_SZ, Utf16(L"v3")},
      {L"Значение", REG_SZ, Utf16(L"Данные")},
      {L"値の名前", REG_BINARY, Bytes({0xE5, 0x80})},
      {L"C:\\WINDOWS\\a.dll", REG_DWORD, Bytes({5, 0, 0, 0})},
      {L"", REG_SZ, Utf16(L"the default value")},
  };
}

}  // namespace

TEST(RoundTrip, EveryKindOfFindingComesBackByteForByte) {
  PublicFunctionUnit::ScanState = 0;
  RegSandbox box;
  TempFolder temp;
  HKEY root = box.Root();
  std::string base = box.Path();
  std::string full = box.FullPath();

  for (const TValueCase& v : EveryKindOfValue()) SetExact(root, base + "\\Values", v.Name, v.Type, v.Data);
  box.SetString("Values", "keep_me", "not ticked");
  box.SetString("Help", "Справка.hlp", "C:\\missing\\help.hlp");
  box.SetString("Help", "", "help folder");
  box.SetString("Tree", "", "tree default");
  box.SetDword("Tree", "Path", 7);
  box.SetString("Tree\\Кириллица", "x", "y");
  SetExact(root, base + "\\Tree\\中文", L"bin", REG_BINARY, Pattern(600));
  box.SetString("Tree\\with [brackets] and space", "e", "%TEMP%", REG_EXPAND_SZ);
  SetExact(root, base + "\\Tree\\deep\\er\\nest", L"", REG_MULTI_SZ, Utf16(std::wstring(L"one\0two\0", 8)));
  box.CreateKey("Tree\\empty");
  box.CreateKey("Menu\\Item\\sub");
  box.SetString("Menu\\Item", "Target", "C:\\gone.exe");
  box.SetString("Menu", "lnk", "C:\\gone.lnk");
  box.SetString("Menu", "other", "stays");
  const TTreeDump before = DumpTree(root, base);

  // Findings as the scanners make them.
  TRegistryContents values, help, keys, menu, shortcuts;
  for (const TValueCase& v : EveryKindOfValue())
    Finding(values, full + "\\Values", v.Name.empty() ? "default" : Narrow(v.Name));
  Finding(values, full + "\\Values", "keep_me", false);
  Finding(values, full + "\\Values", "no such value");
  Finding(values, full + "\\NoSuchKey", "x");
  Finding(help, full + "\\Help", "").ShortName = "Справка.hlp";
  Finding(keys, full + "\\Tree", "Path");
  Finding(menu, full + "\\Menu\\Item", "").Value = "key";
  Finding(menu, full + "\\Menu", "lnk").Value = "C:\\gone.lnk";
  Finding(shortcuts, temp.WriteFile("a.lnk"), "");

  std::vector<MainUnit::TBackupSection> sections = {
      {"Shared DLLs", TRepairForm::Value, &values},
      {"Help Files Information", TRepairForm::ValueByShortName, &help},
      {"Application Paths", TRepairForm::Key, &keys},
      {"Start Menu Items", TRepairForm::KeyOrValue, &menu},
      {"Invalid Shortcuts", TRepairForm::File, &shortcuts},
  };
  MainUnit::TBackupResult backup =
      MainUnit::BackupCheckedFindings(sections, 4, temp.Path() + "RepairBackup\\", Now());
  ASSERT_TRUE(backup.Saved);
  EXPECT_TRUE(backup.Complete);
  EXPECT_TRUE(backup.Missed.empty());
  EXPECT_EQ(backup.Exported, (int)EveryKindOfValue().size() + 4);
  std::string text = ReadUtf16File(backup.FileName);
  EXPECT_EQ(text.find("keep_me"), std::string::npos) << "an unticked finding was backed up";
  EXPECT_EQ(text.find("a.lnk"), std::string::npos);

  // The repair, section by section, as the repair routines run it.
  TCaptionHolder status;
  TListCountHolder finish;
  TRepairContents log;
  for (const auto& s : sections) {
    if (s.Form == TRepairForm::File) continue;
    SectionCommon::TRepairStyle style;
    style.Form = s.Form;
    SectionCommon::RepairFindings(style, status, finish, *s.Contents, log);
  }
  EXPECT_FALSE(box.KeyExists("Tree"));
  EXPECT_FALSE(box.KeyExists("Menu\\Item"));
  EXPECT_FALSE(box.ValueExists("Values", "bin4000"));
  EXPECT_FALSE(box.ValueExists("Values", ""));
  EXPECT_FALSE(box.ValueExists("Help", "Справка.hlp"));
  EXPECT_TRUE(box.ValueExists("Help", ""));
  EXPECT_TRUE(box.ValueExists("Values", "keep_me"));
  EXPECT_NE(Differences(before, DumpTree(root, base)), "");

  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  EXPECT_GE(restore.Values, (int)EveryKindOfValue().size());
  EXPECT_EQ(Differences(before, DumpTree(root, base)), "");
}

// A line break in a key or value name cannot go into a script: such a finding is missed, and the
// file saved beside it still restores.
TEST(RoundTrip, NamesWithLineBreaksAreMissedAndWhatWasWrittenRestores) {
  RegSandbox box;
  TempFolder temp;
  std::string full = box.FullPath();
  box.SetString("Values", "line\nbreak", "x");
  box.SetString("Values", "plain", "y");
  box.SetString("Key\r\nName", "v", "k");
  box.SetString("Tree", "t", "w");
  box.SetString("Tree\\sub\rkey", "v", "z");
  TRegistryContents values, keys;
  Finding(values, full + "\\Values", "line\nbreak");
  Finding(values, full + "\\Values", "plain");
  Finding(values, full + "\\Key\r\nName", "v");
  Finding(keys, full + "\\Tree", "");
  MainUnit::TBackupResult backup = MainUnit::BackupCheckedFindings(
      {{"Shared DLLs", TRepairForm::Value, &values}, {"Application Paths", TRepairForm::Key, &keys}}, 4,
      temp.Path(), Now());
  ASSERT_TRUE(backup.Saved);
  EXPECT_FALSE(backup.Complete);
  EXPECT_EQ(backup.Exported, 1);
  EXPECT_EQ(backup.Missed, (std::vector<std::string>{full + "\\Values (line\nbreak)", full + "\\Key\r\nName (v)",
                                                     full + "\\Tree"}));

  ASSERT_TRUE(PublicFunctionUnit::DeleteRegistryValue(full + "\\Values", "plain"));
  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << (restore.Problems.empty() ? "" : restore.Problems[0]);
  EXPECT_TRUE(box.ValueExists("Values", "plain"));
}
