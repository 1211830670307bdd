// The Startup List: every location in the page's order with every row's texts, and the rows of
// entries the page disabled earlier, malformed record lines passed over and kept.
#include "StartupFixture.h"

#include "framework/IniFiles.h"
#include "support/Fuzz.h"
#include "framework/Strings.h"

namespace startup_test {

namespace {

struct StartupListing : StartupFixture {};

TEST_F(StartupListing, ListsEveryLocationInOrderWithItsTexts) {
  temp.WriteFile("common\\c.lnk", "c");
  temp.WriteFile("user\\u.lnk", "u");
  std::string hidden = temp.WriteFile("user\\desktop.ini", "h");
  SetFileAttributesW(Widen(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  ForceDirectories(user + "\\sub");
  hklm.SetString("Run", "S", "C:\\a.exe /x");
  hklm.SetString("RunOnce", "E", "%windir%\\b.exe", REG_EXPAND_SZ);
  hklm.SetDword("RunOnceEx", "D", 0xFFFFFFFF);
  hklm.SetRaw("RunServices", "B", REG_BINARY, {1, 2});
  hklm.SetString("RunOnceEx\\Sub", "Deep", "not listed");
  for (int k = 0; k < 4; ++k) hkcu.SetString(kRunKeys[k], "U" + IntToStr(k), "u" + IntToStr(k));
  TIniFile ini(sources.WinIniFile);
  ini.WriteString("Load", "k1", "v1");
  ini.WriteString("Run", "k2", "v2");
  ASSERT_TRUE(WriteFileBytes(files.StartupDatFile, RunFullPath(HKEY_CURRENT_USER) + "#Old|C:\\old.exe\r\n"));
  List();
  std::vector<std::string> expected = {
      "c.lnk|" + common + "\\c.lnk|Enable|Startup Folder||0/-1",
      "sub|" + user + "\\sub|Enable|Startup Folder||0/-1",
      "u.lnk|" + user + "\\u.lnk|Enable|Startup Folder||0/-1",
      "S|C:\\a.exe /x|Enable|Registration|" + RunFullPath(HKEY_LOCAL_MACHINE, 0) + "|0/2",
      "E|%windir%\\b.exe|Enable|Registration|" + RunFullPath(HKEY_LOCAL_MACHINE, 1) + "|0/2",
      "D|-1|Enable|Registration|" + RunFullPath(HKEY_LOCAL_MACHINE, 2) + "|0/2",
      "B||Enable|Registration|" + RunFullPath(HKEY_LOCAL_MACHINE, 3) + "|0/2"};
  for (int k = 0; k < 4; ++k)
    expected.push_back("U" + IntToStr(k) + "|u" + IntToStr(k) + "|Enable|Registration|" +
                       RunFullPath(HKEY_CURRENT_USER, k) + "|0/2");
  expected.push_back("k1|v1|Enable|Win.ini||0/2");
  expected.push_back("k2|v2|Enable|Win.ini||0/-1");
  expected.push_back("Old|C:\\old.exe|Disable|Registration|" + RunFullPath(HKEY_CURRENT_USER) + "#Old|C:\\old.exe|0/2");
  std::vector<std::string> rows = RowTexts();
  std::sort(rows.begin(), rows.begin() + 3);   // the file system's order within the folders is its own
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(listing.Rows[3].Registry->RootKey, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(listing.Rows[11].WinIni->Section, "Load");
  EXPECT_EQ(listing.Rows[12].WinIni->Section, "Run");
}

TEST_F(StartupListing, KeysThatOnlyOpenForReadingAreListed) {
  hkcu.SetString("Run", "R", "r.exe");
  // everyone may read the key, but not write to it
  testing_support::TKeyPermissions readOnly(HKEY_CURRENT_USER, RunKey(HKEY_CURRENT_USER), L"D:(A;;KR;;;WD)");
  HKEY full = nullptr;
  ASSERT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, Widen(RunKey(HKEY_CURRENT_USER)).c_str(), 0, KEY_ALL_ACCESS, &full), 0);
  List();
  EXPECT_EQ(RowTexts(), std::vector<std::string>{"R|r.exe|Enable|Registration|" + RunFullPath(HKEY_CURRENT_USER) + "|0/2"});
}

TEST_F(StartupListing, EmptyOrMissingFolderPathListsNothingAndKeepsTheCurrentFolder) {
  temp.WriteFile("here.lnk", "x");
  wchar_t before[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, before);
  SetCurrentDirectoryW(Widen(temp.Path()).c_str());
  sources.Folders[0].Data = "";
  sources.Folders[1].Data = temp.Path() + "missing";
  List();
  wchar_t after[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, after);
  SetCurrentDirectoryW(before);
  EXPECT_TRUE(listing.Rows.empty());
  EXPECT_EQ(Widen(temp.Path()), std::wstring(after) + L"\\");
}

TEST_F(StartupListing, StartupFoldersComeFromBothShellFolderKeys) {
  std::vector<PublicFunctionUnit::TFolderData> folders;
  PublicFunctionUnit::GetStartupFolders(folders);
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].ValueName, "Common Startup");
  EXPECT_EQ(folders[0].RootKey, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(folders[1].ValueName, "Startup");
  EXPECT_NE(AnsiLowerCase(folders[1].Data).find("startup"), std::string::npos);
}

TEST_F(StartupListing, MalformedRecordLinesArePassedOverAndKept) {
  std::string good = RunFullPath(HKEY_CURRENT_USER) + "#Good|g\xE9.exe";   // an 8-bit ANSI line
  // Tagged lines with an odd or foreign hexadecimal text, a broken escape or no type.
  std::string run = RunFullPath(HKEY_CURRENT_USER);
  std::string tagged = run + "|1#t|610\r\n" + run + "|1#t|6G00\r\n" + run + "|1#t%7|6100\r\n" + run + "|1#t%|6100\r\n" +
                       run + "|#t|6100\r\n" + run + "|x1#t|6100\r\n" + run + "|99999999999#t|6100\r\n";
  std::string startup = "\r\ngarbage\r\nHKEY_CURRENT_USER\\#x|y\r\nHKEY_BOGUS\\k#x|y\r\n" +
                        RunFullPath(HKEY_CURRENT_USER) + "#nobar\r\n" + tagged + good + "\r\n";
  // Copies are only ever taken from the del folder: a line naming another file is passed over.
  std::string victim = temp.WriteFile("victim.txt", "keep");
  std::string del = "#\r\nnohash\r\n" + user + "\\gone.lnk#" + files.DelFolder + "\\gone.lnk|E\r\n|E\r\n" + user +
                    "\\evil.lnk#" + victim + "|E\r\n" + user + "\\evil.lnk#" + victim + "\r\n" + user + "\\a|b.lnk#" +
                    files.DelFolder + "\\a.lnk|E\r\n" + user + "\\up.lnk#" + files.DelFolder + "\\..|E\r\n";
  ASSERT_TRUE(WriteFileBytes(files.StartupDatFile, startup));
  ASSERT_TRUE(WriteFileBytes(files.DelTxtFile, del));
  ASSERT_TRUE(WriteFileBytes(files.RemovedDatFile, startup));
  List();
  EXPECT_EQ(RowTexts(), (std::vector<std::string>{
                            user + "\\gone.lnk|" + files.DelFolder + "\\gone.lnk|Disable|Startup Folder||0/-1",
                            "Good|g\xC3\xA9.exe|Disable|Registration|" + DecodeTextBytes(good) + "|0/2"}));
  std::vector<TRestoreRow> restore = LoadRestoreList(sources, files);
  ASSERT_EQ(restore.size(), 1u);
  EXPECT_EQ(restore[0].Name, "Good");
  TRestoreRow evil{.Name = user + "\\evil.lnk", .Info = victim, .Kind = RestoreKindFile, .Checked = true};
  EXPECT_EQ(RestoreItems({evil}, sources, files).LeftUnchanged.size(), 1u);
  EXPECT_EQ(ReadFileBytes(victim), "keep");
  EXPECT_FALSE(FileExists(user + "\\evil.lnk"));
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), startup);
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), del);
  // Enabling the one sound entry takes out its line only.
  Tick("Good");
  EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).LeftUnchanged.empty());
  EXPECT_TRUE(hkcu.ValueExists("Run", "Good"));
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), "\r\ngarbage\r\nHKEY_CURRENT_USER\\#x|y\r\nHKEY_BOGUS\\k#x|y\r\n" +
                                                RunFullPath(HKEY_CURRENT_USER) + "#nobar\r\n" + tagged);
}

TEST_F(StartupListing, DetailRowsAreSwitchedAndHidingTakesOnlyDetailRows) {
  std::string program = temp.Path() + "ver.exe";
  ASSERT_TRUE(WriteProgramWithVersion(program, VersionResource({{"ProductName", "Prod"}}, "040904B0", 0x409, 1200)));
  hkcu.SetString("Run", "A", program + " /min");
  hkcu.SetString("Run", "Z", "C:\\missing.exe");
  // The same name under the other root names a program of its own: each row shows its own details.
  std::string other = temp.Path() + "other.exe";
  ASSERT_TRUE(WriteProgramWithVersion(other, VersionResource({{"ProductName", "Other"}}, "040904B0", 0x409, 1200)));
  hklm.SetString("Run", "A", other);
  List();
  int machine = RowOf("A", RunFullPath(HKEY_LOCAL_MACHINE));
  ASSERT_TRUE(ToggleDetailRows(listing, machine));
  EXPECT_EQ(listing.Rows[machine + 3].Path, "Other");
  ToggleDetailRows(listing, machine);
  listing.Rows.erase(listing.Rows.begin() + machine);
  int a = RowOf("A", RunFullPath(HKEY_CURRENT_USER));
  ASSERT_TRUE(ToggleDetailRows(listing, a));
  ASSERT_EQ(listing.Rows.size(), 9u);
  EXPECT_EQ(listing.Rows[a].StateIndex, StateDetailsShown);
  EXPECT_EQ(listing.Rows[a + 1].Caption, "Type");
  EXPECT_EQ(listing.Rows[a + 2].Caption + "=" + listing.Rows[a + 2].Path, "Postion=" + RunFullPath(HKEY_CURRENT_USER));
  EXPECT_EQ(listing.Rows[a + 3].Path, "Prod");
  EXPECT_EQ(listing.Rows[a + 7].Caption + "=" + listing.Rows[a + 7].Path, "File Path=" + program);
  // Hiding after a detail row went away deletes only the six left, never the next entry.
  listing.Rows.erase(listing.Rows.begin() + a + 7);
  ASSERT_TRUE(ToggleDetailRows(listing, a));
  EXPECT_EQ(listing.Rows.size(), 2u);
  EXPECT_EQ(listing.Rows[a + 1].Caption, "Z");
  // A row without details switches but shows nothing; a detail row has no switch.
  EXPECT_TRUE(ToggleDetailRows(listing, a + 1));
  EXPECT_EQ(listing.Rows.size(), 2u);
  ToggleDetailRows(listing, a);
  EXPECT_FALSE(ToggleDetailRows(listing, a + 1));
}

// The three record files as users or other programs may leave them: malformed files are listed
// without a crash and nothing is written anywhere.
TEST_F(StartupListing, MalformedRecordFilesAreListedWithoutWritingAnything) {
  testing_support::TFuzzInputs inputs(
      {RunFullPath(HKEY_CURRENT_USER) + "#V|v.exe\r\nHKEY_LOCAL_MACHINE\\#x|\r\n" + RunFullPath(HKEY_CURRENT_USER) +
           "|7#M%7Cx#|61006200000000\r\n" + RunFullPath(HKEY_CURRENT_USER) + "|" + CurrentUserSid() + "|7#S|6100\r\n" +
           RunFullPath(HKEY_CURRENT_USER) + "|S-1-5-21-9-9-9-1001#T|t.exe\r\n",
       user + "\\x.lnk#" + files.DelFolder + "\\x.lnk|E\r\n#|E\r\n" + user + "\\C# a.lnk#" + files.DelFolder +
           "\\C# a.lnk\r\n"});
  std::string before = Dump();
  for (int round = 0; round < 600; ++round) {
    const std::string* names[] = {&files.StartupDatFile, &files.RemovedDatFile, &files.DelTxtFile};
    std::string bytes[3];
    for (int f = 0; f < 3; ++f) ASSERT_TRUE(testing_support::WriteInput(*names[f], bytes[f] = inputs.Next()));
    List();
    LoadRestoreList(sources, files);
    for (int f = 0; f < 3; ++f) ASSERT_EQ(ReadFileBytes(*names[f]), bytes[f]) << round;
  }
  EXPECT_EQ(Dump(), before);
}

}  // namespace

}  // namespace startup_test
