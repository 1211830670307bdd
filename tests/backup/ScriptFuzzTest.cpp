// A registry script is a file anyone can edit: whatever it holds, reading and checking it neither
// crashes nor hangs, and it changes nothing in the registry. Fuzz data is never imported.
#include <gtest/gtest.h>

#include "app/RegBackupUnit.h"
#include "framework/Strings.h"
#include "support/Fuzz.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"

using namespace testing_support;

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
  TFuzzInputs inputs({script, ansi});
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
