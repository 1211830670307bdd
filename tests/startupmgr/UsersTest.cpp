// The record files lie in the program's folder, shared by every user of the machine: a line of a
// user's own hive carries that user's SID beside its key, each user lists and acts on their own
// lines only, and the lines of other users stay in the files as they are.
#include "StartupFixture.h"

#include "framework/Registry.h"
#include "framework/Strings.h"

namespace startup_test {

namespace {

const char* const kOtherSid = "S-1-5-21-1004336348-1177238915-682003330-1001";

struct StartupUsers : StartupFixture {
  std::string run = RunFullPath(HKEY_CURRENT_USER), machine = RunFullPath(HKEY_LOCAL_MACHINE);
  std::string mine = "|" + CurrentUserSid(), theirs = std::string("|") + kOtherSid;
  std::string otherFolder = temp.Path() + "other user";   // another user's Startup folder

  std::string Copy(const std::string& name) {
    EXPECT_TRUE(WriteFileBytes(files.DelFolder + "\\" + name, name));
    return files.DelFolder + "\\" + name;
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (const TStartupRow& row : listing.Rows) captions.push_back(row.Caption + ":" + row.Status);
    return captions;
  }
};

TEST_F(StartupUsers, EachUserListsAndActsOnTheirOwnLinesAndAnotherUsersLinesStay) {
  ASSERT_FALSE(CurrentUserSid().empty());
  // Another user's lines, with and without a type; the current user's; and lines without a SID:
  // the machine's, and one of an earlier version (read, as before, as the current user's).
  const std::string theirLines = run + theirs + "#Theirs|C:\\theirs.exe\r\n" + run + theirs + "|2#Theirs2|78000000\r\n";
  ASSERT_TRUE(WriteFileBytes(files.StartupDatFile, theirLines + run + mine + "#Mine|C:\\mine.exe\r\n" + run +
                                                       "#Old|C:\\old.exe\r\n" + machine + "#Machine|C:\\m.exe\r\n" +
                                                       run + mine + "|2#MineX|78000000\r\n"));
  const std::string theirRemoved = run + theirs + "#TheirsGone|C:\\gone.exe\r\n";
  ASSERT_TRUE(WriteFileBytes(files.RemovedDatFile, theirRemoved + run + mine + "#MineGone|C:\\mine.exe\r\n"));
  const std::string theirDel = DelLineText(otherFolder + "\\x.lnk", Copy("x.lnk"), true) + "\r\n" +
                               DelLineText(otherFolder + "\\y.lnk", Copy("y.lnk"), false) + "\r\n";
  ASSERT_TRUE(WriteFileBytes(files.DelTxtFile, theirDel + DelLineText(user + "\\m.lnk", Copy("m.lnk"), true) + "\r\n" +
                                                   DelLineText(user + "\\n.lnk", Copy("n.lnk"), false) + "\r\n"));

  List();
  EXPECT_EQ(Captions(), (std::vector<std::string>{user + "\\m.lnk:Disable", "Mine:Disable", "Old:Disable",
                                                  "Machine:Disable", "MineX:Disable"}));
  std::vector<TRestoreRow> restore = LoadRestoreList(sources, files);
  std::vector<std::string> names;
  for (TRestoreRow& row : restore) {
    names.push_back(row.Name);
    row.Checked = true;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"MineGone", user + "\\n.lnk"}));

  for (TStartupRow& row : listing.Rows) row.ImageIndex = ImageTicked;
  EXPECT_TRUE(EnableSelected(listing.Rows, sources, files).Empty());
  EXPECT_TRUE(RestoreItems(restore, sources, files).Empty());
  for (const char* name : {"Mine", "Old", "MineX", "MineGone"}) EXPECT_TRUE(hkcu.ValueExists("Run", name)) << name;
  EXPECT_TRUE(hklm.ValueExists("Run", "Machine"));
  for (const char* name : {"Theirs", "Theirs2", "TheirsGone"}) EXPECT_FALSE(hkcu.ValueExists("Run", name)) << name;
  EXPECT_EQ(ReadFileBytes(user + "\\m.lnk") + ReadFileBytes(user + "\\n.lnk"), "m.lnkn.lnk");
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), theirLines);
  EXPECT_EQ(ReadFileBytes(files.RemovedDatFile), theirRemoved);
  EXPECT_EQ(ReadFileBytes(files.DelTxtFile), theirDel);
  EXPECT_EQ(ReadFileBytes(files.DelFolder + "\\x.lnk") + ReadFileBytes(files.DelFolder + "\\y.lnk"), "x.lnky.lnk");

  // Disabled again, a value of the user's hive is recorded with the user's SID, the machine's
  // without; removed from its disabled state, its line moves whole.
  List();
  Tick("Mine");
  Tick("Machine");
  EXPECT_TRUE(DisableSelected(listing.Rows, files).Empty());
  const std::string machineLine = machine + "#Machine|C:\\m.exe\r\n", mineLine = run + mine + "#Mine|C:\\mine.exe\r\n";
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), theirLines + machineLine + mineLine);
  List();
  Tick("Mine");
  EXPECT_TRUE(RemoveSelected(listing.Rows, sources, files).Empty());
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile), theirLines + machineLine);
  EXPECT_EQ(ReadFileBytes(files.RemovedDatFile), theirRemoved + mineLine);
}

// A row naming another user's line (as no listing of this user makes it) is never acted on: the
// value does not go into this user's hive and the line stays.
TEST_F(StartupUsers, AnotherUsersLineIsNeverActedOnEvenWhenARowNamesIt) {
  const std::string line = run + theirs + "#Theirs|C:\\theirs.exe";
  ASSERT_TRUE(WriteFileBytes(files.StartupDatFile, line + "\r\n"));
  ASSERT_TRUE(WriteFileBytes(files.RemovedDatFile, line + "\r\n"));
  TRunLine parsed;
  ASSERT_TRUE(ParseRunLine(line, parsed));
  TStartupRow row{.Caption = "Theirs", .Path = "C:\\theirs.exe", .Status = StatusDisable, .Kind = KindRegistration,
                  .Extra = line, .ImageIndex = ImageTicked, .StateIndex = StateDetailsHidden};
  EXPECT_EQ(EnableSelected({row}, sources, files).LeftUnchanged, std::vector<std::string>{"Theirs"});
  EXPECT_EQ(RemoveSelected({row}, sources, files).LeftUnchanged, std::vector<std::string>{"Theirs"});
  TRestoreRow restore{.Name = "Theirs", .Info = "C:\\theirs.exe", .Kind = line, .Line = line, .Checked = true};
  EXPECT_EQ(RestoreItems({restore}, sources, files).LeftUnchanged, std::vector<std::string>{"Theirs"});
  EXPECT_FALSE(hkcu.ValueExists("Run", "Theirs"));
  EXPECT_EQ(ReadFileBytes(files.StartupDatFile) + ReadFileBytes(files.RemovedDatFile), line + "\r\n" + line + "\r\n");
}

// The SID stands beside the key, before the type of a tagged line; anything else in its place
// makes the line one that is passed over.
TEST_F(StartupUsers, TheSidIsReadBesideTheKeyAndAMalformedOneIsPassedOver) {
  struct TCase {
    std::string Head;   // after the key text
    bool Read;
    std::string Sid;
  };
  const TCase cases[] = {
      {"", true, ""},
      {"|S-1-5-21-1-2-3-1001", true, "S-1-5-21-1-2-3-1001"},
      {"|s-1-5-18", true, "s-1-5-18"},
      {"|S-1-5-21-1-2-3-1001|1", true, "S-1-5-21-1-2-3-1001"},
      {"|1", true, ""},
      {"|1|S-1-5-21-1-2-3-1001", false, ""},
      {"|S-1-5-21-1|S-1-5-21-2", false, ""},
      {"|S-1", false, ""},
      {"|S-1-5-", false, ""},
      {"|S--1-5", false, ""},
      {"|S-1-x-5", false, ""},
      {"||S-1-5-21", false, ""},
      {"|S-1-5-21|", false, ""},
      {"|S-1-5-21|1|2", false, ""},
  };
  for (const TCase& c : cases) {
    TRunLine parsed;
    EXPECT_EQ(ParseRunLine(run + c.Head + "#N|6400", parsed), c.Read) << c.Head;
    if (c.Read) {
      EXPECT_EQ(parsed.UserSid + "|" + parsed.KeyText, c.Sid + "|" + run) << c.Head;
    }
  }
  // written and read back: every kind of value, names holding the format's separators
  for (const std::string& sid : {std::string(), std::string(kOtherSid)})
    for (const TRegValue& value : {StringValue("C:\\a.exe|b#c"), StringValue("%x%", REG_EXPAND_SZ), DwordValue(7),
                                   TRegValue{REG_BINARY, {1, 0, 255}}, TRegValue{REG_NONE, {}}}) {
      std::string line;
      TRunLine back;
      ASSERT_TRUE(RunLineText(run, sid, "n|a#m%e \xC3\xA9", value, line)) << sid;
      ASSERT_TRUE(ParseRunLine(line, back)) << line;
      EXPECT_EQ(back.UserSid + back.KeyText + back.ValueName, sid + run + "n|a#m%e \xC3\xA9") << line;
      EXPECT_TRUE(back.Value.Type == value.Type && back.Value.Data == value.Data) << line;
    }
}

}  // namespace

}  // namespace startup_test
