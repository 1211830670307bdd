#include <gtest/gtest.h>

#include "framework/Strings.h"
#include "scan/StartUpUnit.h"
#include "support/ScanFixture.h"

using namespace PublicFunctionUnit;
using testing_support::RegSandbox;

namespace {

// A program-group folder planted in one of the real Programs folders, removed after the test.
class GroupFolder {
 public:
  GroupFolder(const std::string& programs, const std::string& name) : path_(programs + name) {
    ForceDirectories(path_);
  }
  ~GroupFolder() { RemoveDirectoryW(Widen(path_).c_str()); }

 private:
  std::string path_;
};

std::string Unique(const std::string& what) { return testing_support::TestName() + " " + what; }

void Scan(scan_test::TScanRun& scan, const RegSandbox& order) {
  StartUpUnit::ScanStartupPrograms(12, &scan.CurrentItem, &scan.CountLabel, scan.IgnoreList, scan.Contents, order.Path(),
                                   HKEY_CURRENT_USER);
}

}  // namespace

TEST(StartupPrograms, ProgramsFoldersComeFromTheSystem) {
  std::string common = StartUpUnit::AllUsersProgramsDir(), user = StartUpUnit::UserProgramsDir();
  EXPECT_TRUE(DirectoryExists(common)) << common;
  EXPECT_TRUE(DirectoryExists(user)) << user;
  EXPECT_NE(AnsiUpperCase(common), AnsiUpperCase(user));
  EXPECT_EQ(common.back(), '\\');
  EXPECT_EQ(StartUpUnit::AllUsersProfileDir(), "C:\\Documents and Settings\\All Users");
}

TEST(StartupPrograms, GroupsMissingFromBothProgramsFoldersAreReported) {
  std::string inCommon = Unique("common"), inUser = Unique("user"), missing = Unique("missing");
  GroupFolder a(StartUpUnit::AllUsersProgramsDir(), inCommon);
  GroupFolder b(StartUpUnit::UserProgramsDir(), inUser);
  RegSandbox order;
  for (std::string sub : {"Favorites\\Programs\\elsewhere", "Start Menu2\\Programs\\not looked at"}) order.CreateKey(sub);
  for (std::string group : {inCommon, inUser, missing}) order.CreateKey("Start Menu\\Programs\\" + group);
  scan_test::TScanRun scan;
  Scan(scan, order);
  std::string k = order.FullPath() + "\\Start Menu\\Programs\\" + missing;
  ASSERT_EQ(scan.Lines(), std::vector<std::string>{k + "|" + missing + "|"});
  EXPECT_EQ(scan.CountLabel.Text, "1");
  EXPECT_EQ(ItemsProcessed, 1);
  const TContent& c = scan.Contents.GetItem(0).Content;
  EXPECT_TRUE(c.Checked);
  EXPECT_EQ(c.Number, 1);
  EXPECT_EQ((std::vector<std::string>{c.ShortName, c.KeyPathLine, c.ValueNameLine, c.ValueLine, c.FaultLine,
                                      c.DescriptionLine, c.ProblemKind}),
            (std::vector<std::string>{missing, " Key Path:" + k, " ValueName:" + missing, " Value:" + missing,
                                      " The key does not exist at the specified location", "", ""}));
}

TEST(StartupPrograms, ExclusionsOwnSubkeysAndProgramsFoldersOutOfReach) {
  RegSandbox order;
  std::string g1 = Unique("one"), g2 = Unique("two");
  for (std::string group : {g1, g2}) order.CreateKey("Start Menu\\Programs\\" + group);
  std::string base = order.FullPath() + "\\Start Menu\\Programs\\";
  scan_test::TScanRun scan;
  scan.Ignore("Startup Programs", base + g1, g1);
  Scan(scan, order);
  EXPECT_EQ(scan.Lines(), std::vector<std::string>{base + g2 + "|" + g2 + "|"});

  // Without a start menu order the groups are the key's own subkeys; a missing key gives nothing.
  for (auto [sub, expected] : std::initializer_list<std::pair<std::string, std::vector<std::string>>>{
           {"\\Start Menu\\Programs", {base + g1 + "|" + g1 + "|", base + g2 + "|" + g2 + "|"}}, {"\\nokey", {}}}) {
    scan_test::TScanRun plain;
    StartUpUnit::ScanStartupPrograms(12, nullptr, nullptr, plain.IgnoreList, plain.Contents, order.Path() + sub,
                                     HKEY_CURRENT_USER);
    EXPECT_EQ(plain.Lines(), expected) << sub;
  }

  // Programs folders on a drive that is not fixed cannot be judged.
  scan_test::TScanRun none;
  NonFixedDrives.Items = {ExtractFileDrive(StartUpUnit::UserProgramsDir())};   // put back by the run
  Scan(none, order);
  EXPECT_EQ(none.Contents.Count(), 0);
}

