// The text helpers the scanners judge with: command lines, class key names, help, font and
// program paths.
#include <gtest/gtest.h>

#include "support/ScanFixture.h"
#include "scan/ApplicationPathsUnit.h"
#include "scan/FileAssociationsUnit.h"
#include "scan/FileExtensionUnit.h"
#include "scan/HelpSectionUnit.h"
#include "scan/UninstallSectionUnit.h"
#include "scan/WindowsFontsUnit.h"

using namespace scan_test;
using namespace testing_support;

TEST(CommandToExePath, NamesTheProgramOfACommandLine) {
  using UninstallSectionUnit::CommandToExePath;
  struct Case {
    const char* command;
    const char* program;
  };
  const Case cases[] = {
      {"C:\\P F\\App\\un.exe /S", "C:\\P F\\App\\un.exe"}, {"C:\\a\\un.exe /LOG=D:\\x.log", "C:\\a\\un.exe"},
      {"C:\\a\\un.exe D:\\x\\y.dat", "C:\\a\\un.exe"}, {"C:\\a\\un.exe", "C:\\a\\un.exe"},
      {"C:\\Program Files\\My App\\Uninstall App.exe /x", "C:\\Program Files\\My App\\Uninstall App.exe"},
      {"C:\\a.b\\c.exe /S", "C:\\a.b\\c.exe"}, {"C:\\a\\un.exe/S", "C:\\a\\un.exe"},
      {"C:\\a\\noext /S", "C:\\a\\noext"}, {"  C:\\a\\un.exe -q", "C:\\a\\un.exe"}, {"C:\\a\\b D:\\c", "C:\\a\\b D"},
      {"C:\\Programme\\Über\\entfernen.exe /S", "C:\\Programme\\Über\\entfernen.exe"},
      {"C:\\x\\désinstaller.exe /q", "C:\\x\\désinstaller.exe"},
      {"C:\\x\\un.exe /q /dir=\\y", "C:\\x\\un.exe /q /dir=\\y"},   // a "\" in the arguments misleads it
  };
  for (const Case& c : cases) EXPECT_EQ(CommandToExePath(c.command), c.program) << c.command;

  // Odd texts end with some answer instead of looping.
  for (const char* odd : {"", ":", "::", ":::", "C:", "C:\\", ":\\x.exe /S", "C::", ":a:b:c", "a:b.toolong:c.verylong",
                          "x:y.abcdef:z.ghijkl:w", "\\\\", ".", "C:\\a\\..\\..\\b.c.d.e.f.g /x", "C:.exe.exe:x.exe"})
    EXPECT_LE(CommandToExePath(odd).size(), std::string(odd).size()) << odd;

  // An existing program is taken whole.
  testing_support::TempFolder folder;
  std::string exe = folder.WriteFile("My Prog\\un install.exe");
  EXPECT_EQ(CommandToExePath(exe) + "|" + CommandToExePath(exe + " /S"), exe + "|" + exe);
  EXPECT_TRUE(UninstallSectionUnit::UninstallTargetExists(exe + " /S"));
  EXPECT_FALSE(UninstallSectionUnit::UninstallTargetExists(folder.Path() + "My Prog\\gone.exe /S"));
  // A "\" in the arguments misleads the path reading; the program before the blank still counts.
  std::string un = folder.WriteFile("x\\un.exe");
  EXPECT_TRUE(UninstallSectionUnit::UninstallTargetExists(un + " /q /dir=\\y"));
  EXPECT_FALSE(UninstallSectionUnit::UninstallTargetExists(folder.Path() + "x\\gone.exe /q /dir=\\y"));
}

TEST(ClassKeyNames, SplitDropsSpecialClassesAndSeparatesExtensions) {
  TStringList names, extensions;
  names.Items = {"*",     ".txt",    "Directory", "folder", "Folder", "CompressedFolder", "Drive",   "Unknown",
                 "Folder", "Folder2", "txtfile",  ".zip",   ".*",     "AllFilesystemObjects", "DriveX", ".last"};
  FileAssociationsUnit::SplitClassKeyNames(names, extensions);
  EXPECT_EQ(names.Items, (Texts{"folder", "txtfile", "AllFilesystemObjects"}));
  EXPECT_EQ(extensions.Items, (Texts{".txt", ".zip", ".last"}));

  for (Texts given : {Texts{"Folder", "Folder", "*x*"}, Texts{}}) {
    TStringList kept, exts;
    kept.Items = given;
    FileExtensionUnit::FilterExtensionNames(kept, exts);
    EXPECT_EQ(kept.Count() + exts.Count(), 0);
  }
}

TEST(PathHelpers, HelpFontAndProgramPaths) {
  using HelpSectionUnit::HelpFilePath;
  // blanks around the folder do not count
  for (const char* folder : {"C:\\Help", "C:\\Help\\", " C:\\Help\\ "}) EXPECT_EQ(HelpFilePath(folder, "a.hlp"), "C:\\Help\\a.hlp");
  EXPECT_EQ(HelpFilePath("", "a.hlp") + HelpFilePath("  ", "a.hlp"), "");

  std::string windows = PublicFunctionUnit::GetWindowsDir();
  EXPECT_EQ(WindowsFontsUnit::FontFilePath("arial.ttf "), windows + "\\Fonts\\arial.ttf");
  EXPECT_EQ(WindowsFontsUnit::FontFilePath(" D:\\Fonts-external\\x.ttf"), "D:\\Fonts-external\\x.ttf");
  EXPECT_EQ(WindowsFontsUnit::FontFilePath("\\\\server\\x.ttf"), windows + "\\Fonts\\\\\\server\\x.ttf");

  using namespace ApplicationPathsUnit;
  EXPECT_EQ(WindowsDirFromSystemDir(), windows + "\\");
  for (const char* folder : {"C:\\App", "C:\\App\\"}) EXPECT_EQ(AppFullPath("app.exe", folder), "C:\\App\\app.exe");
  EXPECT_EQ(AppFullPath("app.exe", ""), "\\app.exe");
  EXPECT_EQ(AppFullPath("\"%ProgramFiles%\\A\\a.exe\"", "C:\\x"),
            PublicFunctionUnit::GetProgramFilesDir(0) + "\\A\\a.exe");
  for (const char* app : {"%SystemRoot%\\system32\\a.exe", "\"%SystemRoot%\\system32\\a.exe\""})
    EXPECT_EQ(AppFullPath(app, ""), windows + "\\system32\\a.exe");
  EXPECT_EQ(AppFullPath("\"C:\\A\\a.exe\"", ""), "C:\\A\\a.exe");
  EXPECT_TRUE(IsFileNameWithExt("C:\\a\\b.exe"));
  EXPECT_FALSE(IsFileNameWithExt("C:\\a.d\\b") || IsFileNameWithExt("C:\\a\\"));
}
