#include <gtest/gtest.h>

#include <algorithm>

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/IniFiles.h"
#include "framework/Strings.h"
#include "support/TestSupport.h"

using testing_support::TempFolder;

TEST(IniFile, WritesReadsListsAndErasesKeepingEveryCharacterOrSaysWhereItCouldNotWrite) {
  TempFolder folder;
  TIniFile ini(folder.Path() + "speed.ini");
  ini.WriteString("Quicken menu display speed", "F1", "400");
  ini.WriteInteger("Optimize the system to the wrong handle", "F1", -1);
  ini.WriteString("Optimize the system to the wrong handle", "F2", "C:\\Программы\\日本.exe");
  EXPECT_EQ(ini.ReadString("Quicken menu display speed", "F1", ""), "400");
  EXPECT_EQ(ini.ReadInteger("Optimize the system to the wrong handle", "F1", 0), -1);
  EXPECT_EQ(ini.ReadString("Optimize the system to the wrong handle", "F2", ""), "C:\\Программы\\日本.exe");
  EXPECT_EQ(ini.ReadInteger("Optimize the system to the wrong handle", "F2", 7), 7);   // not a number
  EXPECT_EQ(ini.ReadString("missing", "F1", "fallback"), "fallback");
  EXPECT_EQ(ini.ReadSections(),
            (std::vector<std::string>{"Quicken menu display speed", "Optimize the system to the wrong handle"}));
  EXPECT_EQ(ini.ReadSection("Optimize the system to the wrong handle"), (std::vector<std::string>{"F1", "F2"}));
  EXPECT_EQ(ini.ReadSectionValues("Quicken menu display speed"), (std::vector<std::string>{"F1=400"}));
  EXPECT_TRUE(ini.ValueExists("Quicken menu display speed", "f1"));

  ini.DeleteKey("Quicken menu display speed", "F1");
  EXPECT_FALSE(ini.SectionExists("Quicken menu display speed"));   // no key left
  ini.EraseSection("Optimize the system to the wrong handle");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Quicken menu display speed"}));

  std::string longValue(70000, 'x');   // beyond any first buffer
  ini.WriteString("Long", "F1", longValue);
  EXPECT_EQ(ini.ReadString("Long", "F1", ""), longValue);

  // A write that fails says where it could not write.
  TIniFile nowhere(folder.Path() + "no such folder\\speed.ini");
  std::string error = "no error";
  try {
    nowhere.WriteString("S", "F1", "1");
  } catch (const EIniFileException& e) {
    error = e.what();
  }
  EXPECT_EQ(error, "Unable to write to " + folder.Path() + "no such folder\\speed.ini");
}

TEST(Handles, ForEachFileListsEntriesButNeverTheDotFoldersAndStopsWhenAsked) {
  TempFolder folder;
  for (const char* name : {"a.ini", "b.ini", "c.txt"}) folder.WriteFile(name);
  CreateDirectoryW(Widen(folder.Path() + "sub.ini").c_str(), nullptr);
  std::vector<std::string> names;
  EXPECT_TRUE(ForEachFile(folder.Path(), "*", [&](const TFoundFile& f) {
    names.push_back(f.Name + (f.IsFolder() ? "\\" : ""));
    return true;
  }));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.ini", "b.ini", "c.txt", "sub.ini\\"}));
  int seen = 0;
  ForEachFile(folder.Path(), "*.ini", [&](const TFoundFile&) { return ++seen < 2; });
  EXPECT_EQ(seen, 2);
  EXPECT_FALSE(ForEachFile(folder.Path() + "missing", "*", [](const TFoundFile&) { return true; }));
}
