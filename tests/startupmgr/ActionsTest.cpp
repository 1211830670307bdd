// Disable, enable, remove and restore: round trips leave everything as it was, each action acts
// on the entry its row shows, nothing goes unless its copy and record are safely saved.
#include "StartupFixture.h"

#include <algorithm>
#include <functional>

#include "framework/IniFiles.h"
#include "framework/Registry.h"
#include "framework/Strings.h"
#include "support/RegistryTree.h"

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
  // a line of the user's own hive carries the user's SID beside its key
  const std::string sid = "|" + CurrentUserSid();
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), RunFullPath(HKEY_LOCAL_MACHINE) + "#X|C:\\machine.exe\r\n" +
                                                RunFullPath(HKEY_CURRENT_USER) + sid + "#X|C:\\user.exe\r\n" +
                                                RunFullPath(HKEY_CURRENT_USER, 1) + sid + "#Once|C:\\once.exe\r\n");
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), common + "\\same.lnk#" + files.DelFolder + "\\same.lnk|E\r\n" + user +
                                            "\\same.lnk#" + files.DelFolder + "\\same (2).lnk|E\r\n");
  List();   // each entry listed once, as disabled: none is left in its place
  std::vector<std::string> statuses;
  for (const TStartupRow& row : listing.Rows) statuses.push_back(row.Caption + ":" + row.Status);
  EXPECT_EQ(statuses, (std::vector<std::string>{common + "\\same.lnk:Disable", user + "\\same.lnk:Disable", "w:Enable",
                                                "w:Enable", "X:Disable", "X:Disable", "Once:Disable"}));
  TickAll();
  EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).LeftUnchanged.empty());
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), "");
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), "");
}

TEST_F(StartupActions, RemoveThenRestoreLeavesEverythingButWinIniAsBefore) {
  Plant();
  List();
  Tick("w");   // the "Load" key
  EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).LeftUnchanged.empty());
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
  EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).LeftUnchanged.empty());
  List();
  EXPECT_EQ(RowTexts(), std::vector<std::string>{"w|run|Enable|Win.ini||0/-1"});
  std::vector<TRestoreRow> restore = LoadRestoreList(sources, files);
  std::vector<std::string> names;
  for (TRestoreRow& row : restore) {
    names.push_back(row.Name + "|" + row.Kind.substr(0, 4));
    row.Checked = true;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"X|HKEY", "X|HKEY", "Once|HKEY", common + "\\same.lnk|file",
                                             user + "\\same.lnk|file"}));
  EXPECT_TRUE(RestoreItems(restore, sources, files).LeftUnchanged.empty());
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(LoadRestoreList(sources, files).empty());
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
  RemoveSelected(listing.Rows, sources, files);
  EXPECT_FALSE(hklm.ValueExists("Run", "X"));
  EXPECT_EQ(ReadFileBytes(files.RemovedDatFile), RunFullPath(HKEY_LOCAL_MACHINE) + "#X|C:\\machine.exe\r\n");
}

TEST_F(StartupActions, StatusDecidesWhichRowsAnActionTouches) {
  Plant();
  std::string before = Dump();
  List();
  TickAll();
  EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).LeftUnchanged.empty());   // live rows: nothing to enable
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
  // The del folder is a file, and startup.dat can be read but not replaced: neither copy nor line
  // can be written.
  RemoveDirectoryW(Widen(files.DelFolder).c_str());
  ASSERT_TRUE(WriteFileBytes(files.DelFolder, "not a folder"));
  THeldFile held(files.StartupDatFile, FILE_SHARE_READ);
  ASSERT_TRUE(held.Held());
  std::string before = Dump();
  TActionResult result = DisableSelected(listing.Rows, files);
  held.Release();
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
  EXPECT_EQ(RemoveSelected(listing.Rows, sources, files).LeftUnchanged.size(), 2u);
  EXPECT_TRUE(hkcu.ValueExists("Run", "Two\r\nLines") && hkcu.ValueExists("Run", "Data"));
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile) + ReadFileBytes(files.RemovedDatFile), "");

  // Enabling keeps its line when the key is gone.
  std::string line = Box(HKEY_CURRENT_USER).FullPath() + "\\Vanished#V|v.exe";
  ASSERT_TRUE(WriteFileBytes(files.StartupDatFile, line + "\r\n"));
  List();
  TickAll();
  EXPECT_EQ(EnableSelected(listing.Rows, sources, files).LeftUnchanged, std::vector<std::string>{"V"});
  EXPECT_FALSE(hkcu.KeyExists("Vanished"));
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), line + "\r\n");
}

// The bytes of UTF-16 text as the registry holds it (no terminator added).
std::vector<uint8_t> Utf16Bytes(const std::wstring& text) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
  return std::vector<uint8_t>(bytes, bytes + text.size() * 2);
}

std::vector<std::string> Sorted(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

// Every kind of value comes back from Enable and Restore with its type and bytes; a plain string
// keeps the line form of earlier versions, and their lines still come back as strings.
TEST_F(StartupActions, ValuesComeBackWithTheirTypeAndBytes) {
  hkcu.SetString("Run", "Expand", "%windir%\\b.exe", REG_EXPAND_SZ);
  hkcu.SetDword("Run", "Dword", 7);
  hkcu.SetRaw("Run", "Binary", REG_BINARY, {0, 1, '\r', '\n', '|', '#', '%', 0xFF});
  hkcu.SetRaw("Run", "Multi", REG_MULTI_SZ, Utf16Bytes(std::wstring(L"a.exe\0b|c#\0\0", 13)));
  hkcu.SetRaw("RunOnce", "Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
  hkcu.SetRaw("RunOnce", "Nothing", REG_NONE, {});
  // A text stored without its terminating zero may come back with one: the registry adds it.
  auto plantUnterminated = [&] {
    testing_support::SetExact(HKEY_CURRENT_USER, RunKey(HKEY_CURRENT_USER, 1), L"Unterminated", REG_SZ,
                              Utf16Bytes(L"u.exe"));
  };
  auto unterminatedCameBack = [&] {
    EXPECT_EQ(testing_support::DumpTree(HKEY_CURRENT_USER, RunKey(HKEY_CURRENT_USER, 1))["\\|Unterminated"].Type,
              (DWORD)REG_SZ);
    EXPECT_EQ(hkcu.Read("RunOnce", "Unterminated"), "u.exe");
    plantUnterminated();
  };
  plantUnterminated();
  hklm.SetString("Run", "Plain", "C:\\p.exe /q");
  std::string before = Dump();
  List();
  std::vector<std::string> live = Sorted(RowTexts());
  TickAll();
  EXPECT_TRUE(DisableSelected(listing.Rows, files).LeftUnchanged.empty());
  EXPECT_NE(ReadFileBytes(files.StartupDatFile).find(RunFullPath(HKEY_LOCAL_MACHINE) + "#Plain|C:\\p.exe /q\r\n"),
            std::string::npos);
  List();   // the disabled rows show what the live ones showed
  std::vector<std::string> shown;
  for (const TStartupRow& row : listing.Rows) shown.push_back(row.Caption + "|" + row.Path + "|" + row.Status);
  std::vector<std::string> expected;
  for (const std::string& row : live) expected.push_back(row.substr(0, row.find("|Enable|")) + "|Disable");
  EXPECT_EQ(Sorted(shown), expected);
  TickAll();
  EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).LeftUnchanged.empty());
  unterminatedCameBack();
  EXPECT_EQ(Dump(), before);

  List();
  TickAll();
  EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).LeftUnchanged.empty());
  std::vector<TRestoreRow> restore = LoadRestoreList(sources, files);
  ASSERT_EQ(restore.size(), 8u);
  for (TRestoreRow& row : restore) row.Checked = true;
  EXPECT_TRUE(RestoreItems(restore, sources, files).LeftUnchanged.empty());
  unterminatedCameBack();
  EXPECT_EQ(Dump(), before);

  // A line of an earlier version comes back as a string value holding its text.
  ASSERT_TRUE(WriteFileBytes(files.StartupDatFile, RunFullPath(HKEY_CURRENT_USER) + "#Old|%windir%\\old.exe\r\n"));
  List();
  Tick("Old");
  EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).LeftUnchanged.empty());
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey("\\" + RunKey(HKEY_CURRENT_USER), false));
  EXPECT_EQ(reg.GetDataType("Old"), rdString);
  EXPECT_EQ(reg.ReadString("Old"), "%windir%\\old.exe");
}

// "#" and "|" in value names and data, in Startup file names, in the profile path and in the
// program's folder: every entry comes back exactly, and a name holding "|" never stands in for
// the shorter name.
TEST_F(StartupActions, SeparatorsInNamesAndPathsSurviveEveryRoundTrip) {
  common = temp.Path() + "All #Users";
  user = temp.Path() + "pro#file";
  ForceDirectories(common);
  ForceDirectories(user);
  sources.Folders[0].Data = common;
  sources.Folders[1].Data = user;
  files = PrepareStartupFiles(temp.Path() + "pro#gram\\");
  hkcu.SetString("Run", "Tool|Helper", "C:\\tool.exe");
  hkcu.SetString("Run", "Tool", "C:\\real tool.exe");
  hkcu.SetString("Run", "C# Tool", "C:\\c#\\t.exe /a|b #c");
  hklm.SetString("Run", "%7C|#%25", "|#");
  temp.WriteFile("pro#file\\C# Helper.lnk", "helper");
  temp.WriteFile("All #Users\\a#b.lnk", "all");
  std::string before = Dump();
  const std::vector<std::string> names = Sorted({"Tool|Helper", "Tool", "C# Tool", "%7C|#%25", common + "\\a#b.lnk",
                                                 user + "\\C# Helper.lnk"});
  auto captions = [&] {
    std::vector<std::string> texts;
    for (const TStartupRow& row : listing.Rows) texts.push_back(row.Caption);
    return Sorted(texts);
  };
  auto restoreAll = [&] {
    std::vector<TRestoreRow> restore = LoadRestoreList(sources, files);
    std::vector<std::string> texts;
    for (TRestoreRow& row : restore) {
      texts.push_back(row.Name);
      row.Checked = true;
    }
    EXPECT_EQ(Sorted(texts), names);
    EXPECT_TRUE(RestoreItems(restore, sources, files).LeftUnchanged.empty());
    EXPECT_EQ(Dump(), before);
    EXPECT_TRUE(LoadRestoreList(sources, files).empty());
  };
  for (int round = 0; round < 2; ++round) {
    List();
    TickAll();
    EXPECT_TRUE(DisableSelected(listing.Rows, files).LeftUnchanged.empty());
    List();
    EXPECT_EQ(captions(), names);
    TickAll();
    if (round == 0) {
      EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).LeftUnchanged.empty());
      EXPECT_EQ(Dump(), before);
    } else {   // removed from the disabled state
      EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).LeftUnchanged.empty());
      restoreAll();
    }
  }
  List();
  TickAll();
  EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).LeftUnchanged.empty());
  restoreAll();
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile) + ReadFileBytes(files.RemovedDatFile) + ReadFileBytes(files.DelTxtFile),
            "");
}

// Enable and Restore never put an entry over one of the same name that appeared since; records
// naming a key that is no Run key, or a home outside the Startup folders, are listed and left.
TEST_F(StartupActions, PuttingBackNeverOverwritesAndGoesOnlyToTheListedPlaces) {
  PlantRecords("Disabled", "Removed");
  // Newer entries of the same names appear meanwhile.
  hkcu.SetString("Run", "Disabled", "new.exe");
  hkcu.SetString("Run", "Removed", "new.exe");
  temp.WriteFile("user\\disabled.lnk", "new");
  temp.WriteFile("user\\removed.lnk", "new");
  std::string newer = Dump();
  std::string records = ReadFileBytes(files.StartupDatFile) + ReadFileBytes(files.RemovedDatFile) +
                        ReadFileBytes(files.DelTxtFile);
  TickAll();
  TActionResult enabled = EnableSelected(listing.Rows, sources, files);
  std::vector<TRestoreRow> restore = LoadRestoreList(sources, files);
  for (TRestoreRow& row : restore) row.Checked = true;
  TActionResult restored = RestoreItems(restore, sources, files);
  EXPECT_EQ(Sorted(enabled.Occupied), Sorted({"Disabled", user + "\\disabled.lnk"}));
  EXPECT_EQ(Sorted(restored.Occupied), Sorted({"Removed", user + "\\removed.lnk"}));
  EXPECT_EQ(LeftUnchangedText(restored), "These items were left as they were, because an item of the same name is "
                                         "there now:\rRemoved\r" + user + "\\removed.lnk");
  EXPECT_EQ(Dump(), newer);
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile) + ReadFileBytes(files.RemovedDatFile) + ReadFileBytes(files.DelTxtFile),
            records);
  EXPECT_TRUE(FileExists(files.DelFolder + "\\disabled.lnk") && FileExists(files.DelFolder + "\\removed.lnk"));

  // Records anyone could have written, naming other keys and other folders.
  hkcu.CreateKey("Winlogon");
  hkcu.CreateKey("Classes\\txtfile\\shell\\open\\command");
  ForceDirectories(temp.Path() + "windows");
  std::string forged = hkcu.FullPath() + "\\Winlogon#Shell|evil.exe\r\n" + hkcu.FullPath() +
                       "\\Classes\\txtfile\\shell\\open\\command#Command|evil.exe %1\r\n" +
                       RunFullPath(HKEY_CURRENT_USER) + "\\..#Up|evil.exe\r\n";
  temp.WriteFile("prog\\RepairBackup\\del\\evil.exe", "evil");
  std::string forgedDel = temp.Path() + "windows\\evil.exe#" + files.DelFolder + "\\evil.exe\r\n" + temp.Path() +
                          "windows\\evil2.exe#" + files.DelFolder + "\\evil.exe|E\r\n";
  ASSERT_TRUE(WriteFileBytes(files.StartupDatFile, forged));
  ASSERT_TRUE(WriteFileBytes(files.RemovedDatFile, forged));
  ASSERT_TRUE(WriteFileBytes(files.DelTxtFile, forgedDel));
  List();
  // folder entries of a folder that is not one of this user's Startup folders are not listed; a
  // row naming one is refused all the same
  TStartupRow evil2{.Caption = temp.Path() + "windows\\evil2.exe", .Path = files.DelFolder + "\\evil.exe",
                    .Status = StatusDisable, .Kind = KindStartupFolder};
  EXPECT_EQ(RowOf(evil2.Caption), -1);
  listing.Rows.push_back(evil2);
  for (TStartupRow& row : listing.Rows) row.ImageIndex = row.Disabled() ? ImageTicked : ImageUnticked;
  const std::vector<std::string> forgedRows = Sorted({"Shell", "Command", "Up", temp.Path() + "windows\\evil2.exe"});
  EXPECT_EQ(Sorted(EnableSelected(listing.Rows, sources, files).LeftUnchanged), forgedRows);
  EXPECT_EQ(Sorted(RemoveSelected(listing.Rows, sources, files).LeftUnchanged), forgedRows);
  restore = LoadRestoreList(sources, files);
  EXPECT_EQ(restore.size(), 3u);
  restore.push_back({.Name = temp.Path() + "windows\\evil.exe", .Info = files.DelFolder + "\\evil.exe",
                     .Kind = RestoreKindFile});
  for (TRestoreRow& row : restore) row.Checked = true;
  EXPECT_EQ(Sorted(RestoreItems(restore, sources, files).LeftUnchanged),
            Sorted({"Shell", "Command", "Up", temp.Path() + "windows\\evil.exe"}));
  EXPECT_FALSE(hkcu.ValueExists("Winlogon", "Shell"));
  EXPECT_FALSE(hkcu.ValueExists("Classes\\txtfile\\shell\\open\\command", "Command"));
  EXPECT_FALSE(FileExists(temp.Path() + "windows\\evil.exe") || FileExists(temp.Path() + "windows\\evil2.exe"));
  EXPECT_EQ(ReadFileBytes(files.DelFolder + "\\evil.exe"), "evil");
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), forged);
  EXPECT_EQ(ReadFileBytes(files.RemovedDatFile), forged);
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), forgedDel);
}

// Every action reads and writes each record file once, however many entries it moves.
TEST_F(StartupActions, EachRecordFileIsWrittenOncePerAction) {
  for (int i = 0; i < 40; ++i) hkcu.SetString("Run", "V" + IntToStr(i), "v" + IntToStr(i) + ".exe");
  for (int i = 0; i < 10; ++i) temp.WriteFile("user\\f" + IntToStr(i) + ".lnk", IntToStr(i));
  std::string before = Dump();
  auto writes = [&](const std::function<TActionResult()>& action) {
    List();
    TickAll();
    int start = RecordFileWrites();
    EXPECT_TRUE(action().LeftUnchanged.empty());
    return RecordFileWrites() - start;
  };
  auto restoreAll = [&] {
    std::vector<TRestoreRow> restore = LoadRestoreList(sources, files);
    for (TRestoreRow& row : restore) row.Checked = true;
    int start = RecordFileWrites();
    EXPECT_TRUE(RestoreItems(restore, sources, files).LeftUnchanged.empty());
    return RecordFileWrites() - start;
  };
  EXPECT_EQ(writes([&] { return DisableSelected(listing.Rows, files); }), 2);   // startup.dat, del.txt
  EXPECT_EQ(writes([&] { return EnableSelected(listing.Rows, sources, files); }), 2);
  EXPECT_EQ(writes([&] { return RemoveSelected(listing.Rows, sources, files); }), 2);
  EXPECT_EQ(restoreAll(), 2);   // removestartup.dat, del.txt
  writes([&] { return DisableSelected(listing.Rows, files); });
  EXPECT_EQ(writes([&] { return RemoveSelected(listing.Rows, sources, files); }), 3);
  EXPECT_EQ(restoreAll(), 2);
  EXPECT_EQ(Dump(), before);
}

TEST_F(StartupActions, NothingIsWrittenAtARootOrUnderAnUnknownOne) {
  for (TRunLine line : {TRunLine{.Root = HKEY_CURRENT_USER, .KeyPath = ""},
                        TRunLine{.Root = HKEY_CURRENT_USER, .KeyPath = "\\"},
                        TRunLine{.Root = nullptr, .KeyPath = hkcu.Path()}}) {
    line.ValueName = "ZvTestStartupRoot";
    line.Value = StringValue("x");
    EXPECT_EQ(WriteRunValue(line), TPutBack::Failed);
  }
  EXPECT_NE(RegQueryValueExW(HKEY_CURRENT_USER, L"ZvTestStartupRoot", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

}  // namespace

}  // namespace startup_test
