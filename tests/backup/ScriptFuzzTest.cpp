// A registry script is a file anyone can edit: whatever it holds, reading and checking it neither
// crashes nor hangs, and it changes nothing in the registry. Fuzz data is never imported.
#include <gtest/gtest.h>

#include <functional>

#include "app/RegBackupUnit.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/Fuzz.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {
// Lines the importer reads otherwise or later lines override: a lone carriage return, a zero, a root
// in lower case, a value set then deleted, a key deleted after its values.
std::string TwoWayScript(const RegSandbox& box) {
  const std::string key = box.FullPath() + "\\a";
  const std::string lower = "hkey_current_user" + key.substr(17);
  return RegScript({"Windows Registry Editor Version 5.00", "[" + key + "]", "\"s\"=\"x\r[-" + key + "]\"",
                    std::string("\"z\"=\"a\0b\"", 9), "[-" + lower + "\\old]", "[" + lower + "]", "\"v\"=\"x\"",
                    "\"v\"=-", "\"q\\\"u=#|\"=hex(7):61,00,00,00,00,00", "[-" + key + "]"});
}
}  // namespace

TEST(ScriptFuzz, MalformedScriptsAreReadWithoutHarm) {
  RegSandbox box;
  TempFolder temp;
  box.SetString("a", "s", "text");
  box.SetDword("a", "d", 42);
  const std::string key = "[" + box.FullPath() + "\\a]";
  const std::string script = RegScript({"Windows Registry Editor Version 5.00", "", key, "\"s\"=\"text\"",
                                        "\"d\"=dword:0000002a", "@=hex(2):25,00,41,00,25,00,00,00",
                                        "\"big\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\",
                                        "  12,13,14", "\"gone\"=-", "[-" + box.FullPath() + "\\old]", ""});
  const std::string ansi = "REGEDIT4\r\n\r\n" + key + "\r\n\"s\"=\"t\xE9xt \\\"quoted\\\"\"\r\n"
                           "\"m\"=hex(7):61,00,62,00,00\r\n; a comment\r\n";
  const TTreeDump before = DumpTree(box.Root(), box.Path());
  TFuzzInputs inputs({script, ansi, TwoWayScript(box)});
  const std::string file = temp.Path() + "fuzz.reg";
  for (int i = 0; i < 2000; ++i) {
    const std::string bytes = inputs.Next();
    ASSERT_TRUE(testing_support::WriteInput(file, bytes));
    RegBackupUnit::TRestoreResult result;
    ASSERT_NO_THROW(result = RegBackupUnit::VerifyRegistryScript(file)) << "input " << i;
    ASSERT_FALSE(result.Imported);
    ASSERT_EQ(ReadFileBytes(file), bytes) << "input " << i;
  }
  EXPECT_EQ(Differences(before, DumpTree(box.Root(), box.Path())), "");
}

// Whatever a backup holds, its restore hands the importer only canonical lines, which read back
// without a problem, and changes nothing before the import. Nothing is imported here.
TEST(ScriptFuzz, WhatARestoreHandsTheImporterAlwaysReads) {
  RegSandbox box;
  TempFolder temp;
  box.SetString("a", "s", "text");
  const std::string key = "[" + box.FullPath() + "\\a]";
  const std::string script = RegScript({"Windows Registry Editor Version 5.00", "", key, "\"s\"=\"other\"",
                                        "\"d\"=dword:0000002a", "@=hex(2):25,00,41,00,25,00,00,00", "\"e\"=-",
                                        "\"big\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\", "  12,13,14",
                                        "[" + box.FullPath() + "\\b\\\u00e4 [x]]", "\"\u00fc\\\\\"=\"\\\"q\\\"\""});
  const TTreeDump before = DumpTree(box.Root(), box.Path());
  TFuzzInputs inputs({script, TwoWayScript(box)}, 20261208);
  std::vector<std::string> handedProblems;
  int handed = 0;
  TKeep<std::function<bool(const std::string&, DWORD&)>> importer(
      RegBackupUnit::RunImport, [&](const std::string& file, DWORD& code) {
        ++handed;
        RegBackupUnit::TRestoreResult check = RegBackupUnit::VerifyRegistryScript(file);
        handedProblems.insert(handedProblems.end(), check.Problems.begin(), check.Problems.end());
        code = 0;
        return false;   // nothing is imported
      });
  const std::string file = temp.Path() + "fuzz.reg";
  for (int i = 0; i < 500; ++i) {
    const std::string bytes = inputs.Next();
    ASSERT_TRUE(testing_support::WriteInput(file, bytes));
    ASSERT_NO_THROW(RegBackupUnit::RestoreUndoBackup(file)) << "input " << i;
    ASSERT_EQ(handedProblems, std::vector<std::string>{}) << "input " << i;
    ASSERT_EQ(ReadFileBytes(file), bytes) << "input " << i;
  }
  EXPECT_GT(handed, 10);
  EXPECT_EQ(Differences(before, DumpTree(box.Root(), box.Path())), "");
}

// Whatever an export ends with, the note read from its end is a SID or nothing, the file stays as
// it is, and a restore never imports a file whose end names another user (the list hides it).
// Nothing is imported here.
TEST(ScriptFuzz, TheUserNoteAtAnExportsEndIsReadFromAnyEnding) {
  TempFolder temp;
  const std::string key = "[HKEY_CURRENT_USER\\Software\\ZelvoranTest\\ExportFuzz]";
  const std::string other = ";User: S-1-5-21-1004336348-1177238915-682003330-1001";
  const std::string wide = RegScript({"Windows Registry Editor Version 5.00", "", key, "\"v\"=\"x\"", "", other});
  const std::string ansi = "REGEDIT4\r\n\r\n" + key + "\r\n\"v\"=dword:00000001\r\n\r\n" + other + "\r\n\r\n";
  TFuzzInputs inputs({wide, ansi}, 20261210);
  int imported = 0;
  TKeep<std::function<bool(const std::string&, DWORD&)>> importer(RegBackupUnit::RunImport,
                                                                   [&](const std::string&, DWORD& code) {
                                                                     ++imported;
                                                                     code = 0;
                                                                     return false;   // nothing is imported
                                                                   });
  const std::string file = temp.Path() + "fuzz.reg";
  int noted = 0;
  for (int i = 0; i < 1500; ++i) {
    const std::string bytes = inputs.Next();
    ASSERT_TRUE(testing_support::WriteInput(file, bytes));
    std::string sid;
    bool read = false;
    ASSERT_NO_THROW(read = RegBackupUnit::ReadExportUser(file, sid)) << "input " << i;
    ASSERT_TRUE(read) << "input " << i;
    ASSERT_TRUE(sid.empty() || PublicFunctionUnit::IsSidText(sid)) << "input " << i << ": " << sid;
    ASSERT_NO_THROW(RegBackupUnit::IsCompleteExport(file)) << "input " << i;
    noted += !sid.empty();
    const int before = imported;
    ASSERT_NO_THROW(RegBackupUnit::RestoreRegistryScript(file)) << "input " << i;
    if (!PublicFunctionUnit::IsCurrentUsersSid(sid)) ASSERT_EQ(imported, before) << "input " << i;
    ASSERT_EQ(ReadFileBytes(file), bytes) << "input " << i;
  }
  EXPECT_GT(noted, 100);
  EXPECT_GT(imported, 10);
}
