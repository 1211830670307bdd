// Disable, enable, remove and restore: round trips leave everything as it was, each action acts
// on the entry its row shows, nothing goes unless its copy and record are safely saved.
#include "StartupFixture.h"

#include "framework/IniFiles.h"
#include "framework/Strings.h"

namespace startup_test {

namespace {

struct StartupActions : StartupFixture {
  // One value name under both roots, a RunOnce value, one file name in both folders, one win.ini key in both sections.
  void Plant() {
    hklm.SetString("Run", "X", "C:\\machine.exe");
    hkcu.SetString("Run", "X", "C:\\user.exe");
    hkcu.SetString("RunOnce", "Once", "C:\\once.exe");
    temp.WriteFile("common\\same.lnk", "common");
    temp.WriteFile("user\\same.lnk", "user");
    TIniFile ini(sources.WinIniFile);
    ini.WriteString("Load", "w", "load");
    ini.WriteString("Run", "w", "run");
  }
  void TickAll() {
    for (TStartupRow& row : listing.Rows) row.ImageIndex = ImageTicked;
  }
};

TEST_F(StartupActions, DisableThenEnableLeavesEverythingAsBefore) {
  Plant();
  std::string before = Dump();
  List();
  TickAll();
  EXPECT_TRUE(DisableSelected(listing.Rows, files).LeftUnchanged.empty());
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), RunFullPath(HKEY_LOCAL_MACHINE) + "#X|C:\\machine.exe\r\n" +
                                                RunFullPath(HKEY_CURRENT_USER) + "#X|C:\\user.exe\r\n" +
                                                RunFullPath(HKEY_CURRENT_USER, 1) + "#Once|C:\\once.exe\r\n");
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), common + "\\same.lnk#" + files.DelFolder + "\\same.lnk|E\r\n" + user +
                                            "\\same.lnk#" + files.DelFolder + "\\same (2).lnk|E\r\n");
  List();   // each entry listed once, as disabled: none is left in its place
  std::vector<std::string> statuses;
  for (const TStartupRow& row : listing.Rows) statuses.push_back(row.Caption + ":" + row.Status);
  EXPECT_EQ(statuses, (std::vector<std::string>{common + "\\same.lnk:Disable", user + "\\same.lnk:Disable", "w:Enable",
                                                "w:Enable", "X:Disable", "X:Disable", "Once:Disable"}));
  TickAll();
  EXPECT_TRUE(EnableSelected(listing.Rows, files).LeftUnchanged.empty());
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), "");
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), "");
}

TEST_F(StartupActions, RemoveThenRestoreLeavesEverythingButWinIniAsBefore) {
  Plant();
  List();
  Tick("w");   // the "Load" key
  EXPECT_TRUE(RemoveSelected(listing.Rows, files, sources.WinIniFile).LeftUnchanged.empty());
  TIniFile ini(sources.WinIniFile);
  EXPECT_FALSE(ini.ValueExists("Load", "w"));
  EXPECT_EQ(ini.ReadString("Run", "w", ""), "run");
  std::string before = Dump();
  List();
  for (TStartupRow& row : listing.Rows)   // a disabled entry is removed from its disabled state
    if (row.Path == user + "\\same.lnk") row.ImageIndex = ImageTicked;
  EXPECT_TRUE(DisableSelected(listing.Rows, files).LeftUnchanged.empty());
  List();
  for (TStartupRow& row : listing.Rows)
    if (row.Kind != KindWinIni) row.ImageIndex = ImageTicked;
  EXPECT_TRUE(RemoveSelected(listing.Rows, files, sources.WinIniFile).LeftUnchanged.empty());
  List();
  EXPECT_EQ(RowTexts(), std::vector<std::string>{"w|run|Enable|Win.ini||0/-1"});
  std::vector<TRestoreRow> restore = LoadRestoreList(files);
  std::vector<std::string> names;
  for (TRestoreRow& row : restore) {
    names.push_back(row.Name + "|" + row.Kind.substr(0, 4));
    row.Checked = true;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"X|HKEY", "X|HKEY", "Once|HKEY", common + "\\same.lnk|file",
                                             user + "\\same.lnk|file"}));
  EXPECT_TRUE(RestoreItems(restore, files).LeftUnchanged.empty());
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(LoadRestoreList(files).empty());
}

TEST_F(StartupActions, SameValueNameActsOnTheTickedRootOnly) {
  Plant();
  List();
  Tick("X", RunFullPath(HKEY_CURRENT_USER));
  DisableSelected(listing.Rows, files);
  EXPECT_TRUE(hklm.ValueExists("Run", "X"));
  EXPECT_FALSE(hkcu.ValueExists("Run", "X"));
  List();
  Tick("X", RunFullPath(HKEY_LOCAL_MACHINE));
  RemoveSelected(listing.Rows, files, sources.WinIniFile);
  EXPECT_FALSE(hklm.ValueExists("Run", "X"));
  EXPECT_EQ(ReadFileBytes(files.RemovedDatFile), RunFullPath(HKEY_LOCAL_MACHINE) + "#X|C:\\machine.exe\r\n");
}

TEST_F(StartupActions, StatusDecidesWhichRowsAnActionTouches) {
  Plant();
  std::string before = Dump();
  List();
  TickAll();
  EXPECT_TRUE(EnableSelected(listing.Rows, files).LeftUnchanged.empty());   // live rows: nothing to enable
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), "");
  DisableSelected(listing.Rows, files);
  List();
  TickAll();
  std::string disabled = Dump(), lines = ReadFileBytes(files.DelTxtFile);
  EXPECT_TRUE(DisableSelected(listing.Rows, files).LeftUnchanged.empty());   // disabled rows stay as they are
  EXPECT_EQ(Dump(), disabled);
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), lines);
  EXPECT_TRUE(FileExists(files.DelFolder + "\\same.lnk") && FileExists(files.DelFolder + "\\same (2).lnk"));
}

TEST_F(StartupActions, EntryStaysLiveWhenItsCopyOrRecordCannotBeSaved) {
  Plant();
  List();
  TickAll();
  // The del folder is a file, and startup.dat a folder: neither copy nor line can be written.
  RemoveDirectoryW(Widen(files.DelFolder).c_str());
  ASSERT_TRUE(WriteFileBytes(files.DelFolder, "not a folder"));
  DeleteFileW(Widen(files.StartupDatFile).c_str());
  ForceDirectories(files.StartupDatFile);
  std::string before = Dump();
  TActionResult result = DisableSelected(listing.Rows, files);
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), "");
  EXPECT_EQ(LeftUnchangedText(result), "These items could not be changed and were left as they were:\rsame.lnk\r"
                                       "same.lnk\rX\rX\rOnce");
}

TEST_F(StartupActions, ValueWithALineBreakStaysAndEnableKeepsItsLineWhenTheKeyIsGone) {
  hkcu.SetString("Run", "Two\r\nLines", "a.exe");
  hkcu.SetString("Run", "Data", "a.exe\nb.exe");
  List();
  TickAll();
  EXPECT_EQ(DisableSelected(listing.Rows, files).LeftUnchanged.size(), 2u);
  EXPECT_EQ(RemoveSelected(listing.Rows, files, sources.WinIniFile).LeftUnchanged.size(), 2u);
  EXPECT_TRUE(hkcu.ValueExists("Run", "Two\r\nLines") && hkcu.ValueExists("Run", "Data"));
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile) + ReadFileBytes(files.RemovedDatFile), "");

  // Enabling keeps its line when the key is gone.
  std::string line = Box(HKEY_CURRENT_USER).FullPath() + "\\Vanished#V|v.exe";
  ASSERT_TRUE(WriteFileBytes(files.StartupDatFile, line + "\r\n"));
  List();
  TickAll();
  EXPECT_EQ(EnableSelected(listing.Rows, files).LeftUnchanged, std::vector<std::string>{"V"});
  EXPECT_FALSE(hkcu.KeyExists("Vanished"));
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), line + "\r\n");
}

TEST_F(StartupActions, NothingIsWrittenAtARootOrUnderAnUnknownOne) {
  for (const TRunLine& line : {TRunLine{.Root = HKEY_CURRENT_USER, .KeyPath = ""},
                               TRunLine{.Root = HKEY_CURRENT_USER, .KeyPath = "\\"},
                               TRunLine{.Root = nullptr, .KeyPath = hkcu.Path()}})
    EXPECT_FALSE(WriteRunValue(line, "ZvTestStartupRoot", "x"));
  EXPECT_NE(RegQueryValueExW(HKEY_CURRENT_USER, L"ZvTestStartupRoot", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

}  // namespace

}  // namespace startup_test
