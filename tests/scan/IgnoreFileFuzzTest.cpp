// The ignore file is the user's to edit: whatever it holds loads without harm.
#include <gtest/gtest.h>

#include "framework/Handles.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/Fuzz.h"
#include "support/ScanFixture.h"

using namespace PublicFunctionUnit;

TEST(IgnoreFileFuzz, MalformedFilesLoadWithoutHarmAndStayAsTheyWere) {
  scan_test::TScanRun run;   // the run's own ignore file, put back afterwards
  const std::string file = IgnoreFileName();
  testing_support::TFuzzInputs inputs({
      IgnoreLine("Font Entries", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                 "Arial (TrueType)") +
          IgnoreLine("User Software Settings", "HKEY_CURRENT_USER\\Software\\Ключ", "имя") +
          IgnoreLine("Invalid Shortcuts", "C:\\Users\\Me\\Desktop\\Old.lnk", "C:\\Gone\\app.exe"),
      "Sounds Section|HKEY_CURRENT_USER\\AppEvents|default\r\n\r\nno bar at all\r\nSec|Key|name|with|bars\n",
      "Help Section|HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help|\xE9t\xE9.hlp\r\n",   // an 8-bit line
  });
  for (int i = 0; i < 2500; ++i) {
    const std::string bytes = inputs.Next();
    ASSERT_TRUE(testing_support::WriteInput(file, bytes));
    TIgnoreContents list;
    ASSERT_NO_THROW(LoadIgnoreList(list)) << "input " << i;
    ASSERT_LE(list.Count(), (int)bytes.size() + 1) << "input " << i;
    IsIgnored(list, "Font Entries", "HKEY_LOCAL_MACHINE\\SOFTWARE", "Arial (TrueType)");
    ASSERT_EQ(ReadFileBytes(file), bytes) << "the load changed the file, input " << i;
  }
  // nothing else was written beside the file
  std::vector<std::string> names;
  ForEachFile(run.Folder.Path(), "*", [&](const TFoundFile& f) { return names.push_back(f.Name), true; });
  EXPECT_EQ(names, std::vector<std::string>{ExtractFileName(file)});
}
