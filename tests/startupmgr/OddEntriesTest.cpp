// Entries and records as real systems hold them: names the system reads as other entries, read-only
// files, record files another program holds, a disabled entry whose place is taken again, texts
// stored without their terminating zero, and record lines of a megabyte.
#include "StartupFixture.h"

#include <algorithm>
#include <functional>

#include "framework/IniFiles.h"
#include "framework/Strings.h"
#include "support/RegistryTree.h"

namespace startup_test {

namespace {

using testing_support::ExactContent;
using testing_support::ExactlyThere;
using testing_support::Listing;
using testing_support::PlantExact;

struct StartupOddEntries : StartupFixture {
  void TickWhere(const std::function<bool(const TStartupRow&)>& wanted) {
    for (TStartupRow& row : listing.Rows) row.ImageIndex = wanted(row) ? ImageTicked : ImageUnticked;
  }
  std::vector<TRestoreRow> AllRestoreRows() {
    std::vector<TRestoreRow> rows = LoadRestoreList(sources, files);
    for (TRestoreRow& row : rows) row.Checked = true;
    return rows;
  }
  std::string Records() const {
    return ReadFileBytes(files.StartupDatFile) + "--\n" + ReadFileBytes(files.RemovedDatFile) + "--\n" +
           ReadFileBytes(files.DelTxtFile);
  }
};

std::vector<std::string> Sorted(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

// "keep.", "keep " and "..." beside "keep": every action reaches exactly the entry its row shows,
// and the plain "keep", never ticked, is never touched.
TEST_F(StartupOddEntries, NamesTheSystemReadsOtherwiseAreActedOnExactly) {
  const std::vector<std::string> odd = {"keep.", "keep ", "..."};
  PlantExact(user, "keep", "plain");
  for (const std::string& name : odd) PlantExact(user, name, "odd " + name);
  std::string before = Dump();
  // Wine gives every name beginning with a dot the hidden attribute, so "..." is not listed here;
  // Windows lists it, and its row is added as Windows' listing makes it.
  auto List = [&] {
    StartupFixture::List();
    if (ExactlyThere(user, "...") && RowOf("...") < 0)
      listing.Rows.push_back(
          {.Caption = "...", .Path = user + "\\...", .Status = StatusEnable, .Kind = KindStartupFolder});
  };
  auto isOdd = [&](const TStartupRow& row) {
    return std::find(odd.begin(), odd.end(), ExtractFileName(row.Kind == KindStartupFolder && row.Disabled()
                                                                  ? row.Caption
                                                                  : row.Path)) != odd.end();
  };
  for (int round = 0; round < 3; ++round) {
    List();
    EXPECT_EQ(RowTexts().size(), 4u);
    TickWhere(isOdd);
    if (round == 0) {   // disabled and enabled again
      EXPECT_TRUE(DisableSelected(listing.Rows, files).Empty());
      EXPECT_EQ(ExactContent(user, "keep"), "plain");
      EXPECT_EQ(Listing(user), std::vector<std::string>{"keep"});
      EXPECT_EQ(Listing(files.DelFolder), Sorted({"keep._", "keep _", "..._"}));
      EXPECT_EQ(ExactContent(files.DelFolder, "keep._"), "odd keep.");
      List();
      std::vector<std::string> disabled;
      for (const TStartupRow& row : listing.Rows)
        if (row.Disabled()) disabled.push_back(row.Caption);
      EXPECT_EQ(Sorted(disabled), Sorted({user + "\\keep.", user + "\\keep ", user + "\\..."}));
      TickWhere(isOdd);
      EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).Empty());
    } else {   // removed, live (round 1) or disabled (round 2), and restored
      if (round == 2) {
        EXPECT_TRUE(DisableSelected(listing.Rows, files).Empty());
        List();
        TickWhere(isOdd);
      }
      EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).Empty());
      EXPECT_EQ(Listing(user), std::vector<std::string>{"keep"});
      std::vector<TRestoreRow> restore = AllRestoreRows();
      std::vector<std::string> homes;
      for (const TRestoreRow& row : restore) homes.push_back(row.Name);
      EXPECT_EQ(Sorted(homes), Sorted({user + "\\keep.", user + "\\keep ", user + "\\..."}));
      EXPECT_TRUE(RestoreItems(restore, sources, files).Empty());
    }
    EXPECT_EQ(Dump(), before) << round;
    EXPECT_TRUE(Listing(files.DelFolder).empty()) << round;
    EXPECT_EQ(ReadFileBytes(files.DelTxtFile), "") << round;
  }
}

// A read-only Startup file that cannot be removed (another program holds it) stays, and leaves no
// copy and no record behind; once free it is disabled and removed, and comes back read-only.
TEST_F(StartupOddEntries, ReadOnlyFilesLeaveNothingBehindAndComeBackAsTheyWere) {
  std::string file = temp.WriteFile("user\\ro.lnk", "read only");
  ASSERT_TRUE(SetFileAttributesW(Widen(file).c_str(), FILE_ATTRIBUTE_READONLY));
  const DWORD attributes = AttributesOf(file);
  std::string before = Dump();
  {
    THeldFile held(file, FILE_SHARE_READ);
    ASSERT_TRUE(held.Held());
    for (bool remove : {false, true}) {
      List();
      Tick("ro.lnk");
      TActionResult result =
          remove ? RemoveSelected(listing.Rows, sources, files) : DisableSelected(listing.Rows, files);
      EXPECT_EQ(result.LeftUnchanged, std::vector<std::string>{"ro.lnk"});
      EXPECT_TRUE(Listing(files.DelFolder).empty()) << remove;
      EXPECT_EQ(ReadFileBytes(files.DelTxtFile), "") << remove;
      EXPECT_EQ(Dump(), before);
      EXPECT_EQ(AttributesOf(file), attributes);
    }
  }
  List();
  Tick("ro.lnk");
  EXPECT_TRUE(DisableSelected(listing.Rows, files).Empty());
  EXPECT_EQ(AttributesOf(files.DelFolder + "\\ro.lnk"), attributes);
  List();
  Tick(file);
  EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).Empty());
  EXPECT_EQ(AttributesOf(file), attributes);
  EXPECT_TRUE(Listing(files.DelFolder).empty());
  List();
  Tick("ro.lnk");
  EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).Empty());
  EXPECT_TRUE(RestoreItems(AllRestoreRows(), sources, files).Empty());
  EXPECT_EQ(AttributesOf(file), attributes);
  EXPECT_TRUE(Listing(files.DelFolder).empty());
  EXPECT_EQ(Dump(), before);
}

// A disabled folder entry whose home holds a file of its name again is still listed as disabled:
// Enable says why it stays, and Remove takes it to the Restore List.
TEST_F(StartupOddEntries, DisabledEntryIsListedWhileAnotherFileHoldsItsPlace) {
  std::string home = temp.WriteFile("user\\app.lnk", "old");
  List();
  Tick("app.lnk");
  EXPECT_TRUE(DisableSelected(listing.Rows, files).Empty());
  temp.WriteFile("user\\app.lnk", "new");
  List();
  EXPECT_EQ(RowTexts(), (std::vector<std::string>{
                            home + "|" + files.DelFolder + "\\app.lnk|Disable|Startup Folder||0/-1",
                            "app.lnk|" + home + "|Enable|Startup Folder||0/-1"}));
  std::string before = Dump(), records = Records();
  Tick(home);
  EXPECT_EQ(EnableSelected(listing.Rows, sources, files).Occupied, std::vector<std::string>{home});
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(Records(), records);
  EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).Empty());
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), home + "#" + files.DelFolder + "\\app.lnk\r\n");
  List();
  EXPECT_EQ(RowTexts(), std::vector<std::string>{"app.lnk|" + home + "|Enable|Startup Folder||0/-1"});
  std::vector<TRestoreRow> restore = AllRestoreRows();
  ASSERT_EQ(restore.size(), 1u);
  EXPECT_EQ(restore[0].Name, home);
  EXPECT_EQ(ReadFileBytes(files.DelFolder + "\\app.lnk"), "old");
}

// A record file that is there but cannot be read (another program holds it, letting nobody read
// it, though it lets the file be replaced) stops every action that reads it before anything moves;
// once it is free the same action goes through and every earlier record is still there.
TEST_F(StartupOddEntries, AnUnreadableRecordFileStopsTheActionBeforeAnythingMoves) {
  PlantRecords("Old", "Gone");   // earlier records: a disabled and a removed entry of each kind
  const std::string oldLine = RunFullPath(HKEY_CURRENT_USER) + "|" + CurrentUserSid() + "#Old|old.exe";
  const std::string goneLine = RunFullPath(HKEY_CURRENT_USER) + "|" + CurrentUserSid() + "#Gone|old.exe";
  // The entry the actions move.
  hkcu.SetString("Run", "Live", "live.exe");
  std::string live = temp.WriteFile("user\\live.lnk", "live");
  auto isLive = [&](const TStartupRow& row) {
    return row.Caption == "Live" || row.Caption == "live.lnk" || row.Caption == live;
  };
  std::vector<TRestoreRow> restoreRows;
  struct Step {
    std::string Name;
    std::vector<const std::string*> Reads;
    std::function<TActionResult()> Act;
    std::string FolderRow;   // the caption of the folder entry's row
  };
  const std::vector<Step> steps = {
      {"disable", {&files.StartupDatFile, &files.DelTxtFile}, [&] { return DisableSelected(listing.Rows, files); },
       "live.lnk"},
      {"enable", {&files.StartupDatFile, &files.DelTxtFile},
       [&] { return EnableSelected(listing.Rows, sources, files); }, live},
      {"remove", {&files.StartupDatFile, &files.RemovedDatFile, &files.DelTxtFile},
       [&] { return RemoveSelected(listing.Rows, sources, files); }, "live.lnk"},
      {"restore", {&files.RemovedDatFile, &files.DelTxtFile}, [&] { return RestoreItems(restoreRows, sources, files); },
       live}};
  auto pick = [&] {   // the rows of the live entries, ticked
    List();
    TickWhere(isLive);
    restoreRows = LoadRestoreList(sources, files);
    for (TRestoreRow& row : restoreRows) row.Checked = row.Name == "Live" || row.Name == live;
  };
  for (const Step& step : steps) {
    for (const std::string* record : step.Reads) {
      pick();
      std::string before = Dump(), records = Records();
      std::vector<std::string> copies = Listing(files.DelFolder);
      TActionResult result;
      {
        THeldFile held(*record, FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        ASSERT_TRUE(held.Held());
        result = step.Act();
      }
      EXPECT_EQ(result.UnreadableFiles, std::vector<std::string>{*record}) << step.Name;
      EXPECT_EQ(Sorted(result.LeftUnchanged), Sorted({"Live", step.FolderRow})) << step.Name;
      EXPECT_EQ(LeftUnchangedText(result).find(UnreadableHead), 0u);
      EXPECT_EQ(Dump(), before) << step.Name << " " << *record;
      EXPECT_EQ(Records(), records) << step.Name << " " << *record;
      EXPECT_EQ(Listing(files.DelFolder), copies) << step.Name;
    }
    pick();
    EXPECT_TRUE(step.Act().Empty()) << step.Name;
    std::string records = Records();
    EXPECT_NE(records.find(oldLine + "\r\n"), std::string::npos) << step.Name;
    EXPECT_NE(records.find(goneLine + "\r\n"), std::string::npos) << step.Name;
    EXPECT_NE(records.find(user + "\\old.lnk#" + files.DelFolder + "\\old.lnk|E\r\n"), std::string::npos) << step.Name;
    EXPECT_NE(records.find(user + "\\gone.lnk#" + files.DelFolder + "\\gone.lnk\r\n"), std::string::npos) << step.Name;
  }
  EXPECT_EQ(hkcu.Read("Run", "Live"), "live.exe");
  EXPECT_EQ(ReadFileBytes(live), "live");
}

// win.ini held by another program that lets nobody read it: removing one of its keys changes
// nothing, and the row stays and is named as left; once win.ini is free the key goes.
TEST_F(StartupOddEntries, AWinIniKeyIsRemovedOnlyWhenWinIniCouldBeRead) {
  TIniFile ini(sources.WinIniFile);
  ini.WriteString("Load", "w", "load.exe");
  ini.WriteString("Run", "w", "run.exe");
  const std::string before = Dump();
  auto tickLoadKey = [&] {
    List();
    TickWhere([](const TStartupRow& row) { return row.Kind == KindWinIni && row.WinIni->Section == "Load"; });
  };
  for (DWORD share : {0ul, (DWORD)(FILE_SHARE_WRITE | FILE_SHARE_DELETE)}) {
    SCOPED_TRACE(share);
    tickLoadKey();
    TActionResult result;
    {
      THeldFile held(sources.WinIniFile, share);
      ASSERT_TRUE(held.Held());
      result = RemoveSelected(listing.Rows, sources, files);
    }
    EXPECT_EQ(result.LeftUnchanged, std::vector<std::string>{"w"});
    EXPECT_EQ(LeftUnchangedText(result), std::string(LeftUnchangedHead) + "\rw");
    EXPECT_EQ(Dump(), before);
    List();
    EXPECT_EQ(std::count_if(listing.Rows.begin(), listing.Rows.end(),
                            [](const TStartupRow& row) { return row.Kind == KindWinIni; }),
              2)
        << "both keys still listed";
  }
  tickLoadKey();
  EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).Empty());
  EXPECT_FALSE(ini.ValueExists("Load", "w"));
  EXPECT_EQ(ini.ReadString("Run", "w", ""), "run.exe");
}

// A text value stored without its terminating zero comes back once: the registry adds the zero,
// and the row is neither reported as left nor listed twice.
TEST_F(StartupOddEntries, TextsWithoutTheirTerminatingZeroComeBackOnce) {
  using testing_support::SetExact;
  using testing_support::Utf16;
  const std::string key = RunKey(HKEY_CURRENT_USER);
  SetExact(HKEY_CURRENT_USER, key, L"Sz", REG_SZ, Utf16(L"C:\\sz.exe", false));
  SetExact(HKEY_CURRENT_USER, key, L"Expand", REG_EXPAND_SZ, Utf16(L"%windir%\\ex.exe", false));
  SetExact(HKEY_CURRENT_USER, key, L"Multi", REG_MULTI_SZ, Utf16(std::wstring(L"m.exe\0x", 7), false));
  const std::vector<std::string> shown = {"Expand|%windir%\\ex.exe|Enable", "Multi||Enable", "Sz|C:\\sz.exe|Enable"};
  auto rows = [&] {
    List();
    std::vector<std::string> texts;
    for (const TStartupRow& row : listing.Rows) texts.push_back(row.Caption + "|" + row.Path + "|" + row.Status);
    return Sorted(texts);
  };
  auto types = [&] {
    testing_support::TTreeDump dump = testing_support::DumpTree(HKEY_CURRENT_USER, key);
    return IntToStr(dump["\\|Sz"].Type) + IntToStr(dump["\\|Expand"].Type) + IntToStr(dump["\\|Multi"].Type);
  };
  const std::string typesBefore = types();
  ASSERT_EQ(typesBefore, "127");
  for (bool remove : {false, true}) {
    ASSERT_EQ(rows(), shown);
    TickWhere([](const TStartupRow&) { return true; });
    if (remove) {
      EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).Empty());
      EXPECT_TRUE(RestoreItems(AllRestoreRows(), sources, files).Empty());
    } else {
      EXPECT_TRUE(DisableSelected(listing.Rows, files).Empty());
      List();
      TickWhere([](const TStartupRow&) { return true; });
      EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).Empty());
    }
    EXPECT_EQ(rows(), shown) << remove;
    EXPECT_EQ(types(), typesBefore);
    EXPECT_EQ(ReadFileBytes(files.StartupDatFile) + ReadFileBytes(files.RemovedDatFile), "") << remove;
  }
  EXPECT_EQ(hkcu.Read("Run", "Sz"), "C:\\sz.exe");
}

// del.txt lines of a megabyte, of one letter, of separators, of backslashes: each is read at once
// and split where the copy in the del folder begins.
TEST_F(StartupOddEntries, MegabyteDelLinesOfEveryShapeAreReadAsBefore) {
  const size_t mb = 1 << 20;
  const std::string copy = files.DelFolder + "\\c.lnk";
  struct Case {
    std::string Line;
    bool Parses;
    std::string Home, Copy;
  };
  const std::string hashes(mb, '#'), letters(mb, 'A'), slashes(mb, '\\');
  std::string pairs;
  for (size_t i = 0; i < mb / 2; ++i) pairs += "#\\";
  std::string folders;   // the del folder's path again and again, each time after a "#"
  while (folders.size() < mb) folders += files.DelFolder + "\\#";
  const std::string other = files.DelFolder + "\\f.lnk";
  const std::vector<Case> cases = {
      {hashes, false, "", ""},
      {letters, false, "", ""},
      {slashes, false, "", ""},
      {pairs, false, "", ""},
      {hashes + "|E", false, "", ""},
      {user + "\\" + hashes + "#" + copy + "|E", true, user + "\\" + hashes, copy},
      {user + "\\" + letters + "#" + copy, true, user + "\\" + letters, copy},
      {user + slashes + "x#" + copy, true, user + slashes + "x", copy},
      {user + "\\" + pairs + "x#" + copy, true, user + "\\" + pairs + "x", copy},
      {hashes + copy, true, hashes.substr(1), copy},
      {user + "\\x#" + files.DelFolder + "\\" + hashes, true, user + "\\x", files.DelFolder + "\\" + hashes},
      {folders + other + "|E", true, folders.substr(0, folders.size() - 1), other},
      {user + "\\x#" + files.DelFolder + "\\" + slashes, false, "", ""},
  };
  for (const Case& c : cases) {
    TDelLine del;
    bool parses = ParseDelLine(c.Line, files.DelFolder, del);
    EXPECT_EQ(parses, c.Parses) << c.Line.substr(0, 40);
    if (!parses || !c.Parses) continue;
    EXPECT_TRUE(del.HomePath == c.Home) << c.Line.substr(0, 40);
    EXPECT_TRUE(del.CopyPath == c.Copy) << c.Line.substr(0, 40);
  }
  // The whole file read by the listing and the Restore List: one row for each line of the form
  // whose entry lies directly in one of this user's Startup folders.
  std::string text;
  for (const Case& c : cases) text += c.Line + "\r\n";
  ASSERT_TRUE(WriteFileBytes(files.DelTxtFile, text));
  List();
  EXPECT_EQ(listing.Rows.size(), 1u);   // the disabled line
  EXPECT_EQ(LoadRestoreList(sources, files).size(), 2u);
}

}  // namespace

}  // namespace startup_test
