// The start-up decisions: the installer's marker, user account control and the one elevated
// relaunch, each against the test's own keys.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "app/ZelvoranStartup.h"
#include "framework/Strings.h"

using testing_support::RegSandbox;

namespace {

// The markers' key, user account control's key and the relaunches asked for, all the test's own.
struct Relaunch : ::testing::Test {
  RegSandbox user, policy{HKEY_LOCAL_MACHINE};
  std::vector<std::pair<std::string, std::string>> Calls;

  Relaunch() { policy.SetDword("", "EnableLUA", 1); }
  std::string Vista() const { return user.Read("", "vista"); }   // the relaunch marker
  bool Start(DWORD majorVersion, const std::string& commandLine = "Zelvoran.exe") {
    return Zelvoran::RelaunchElevatedIfNeeded(
        majorVersion, commandLine,
        [this](const std::string& file, const std::string& params) { Calls.emplace_back(file, params); }, user.Path(),
        policy.Path());
  }
};

}  // namespace

TEST(Startup, UacIsOnOnlyForANonZeroDoubleWord) {
  RegSandbox policy(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(PublicFunctionUnit::IsUacEnabled(policy.Path() + "\\missing"));
  std::string on;   // value missing, a text, binary, 0, 1
  policy.CreateKey("");
  on += PublicFunctionUnit::IsUacEnabled(policy.Path()) ? "1" : "0";
  for (const auto& [type, data] : std::vector<std::pair<DWORD, std::vector<uint8_t>>>{
           {REG_SZ, {'1', 0, 0, 0}}, {REG_BINARY, {1}}, {REG_DWORD, {0, 0, 0, 0}}, {REG_DWORD, {1, 0, 0, 0}}}) {
    policy.SetRaw("", "EnableLUA", type, data);
    on += PublicFunctionUnit::IsUacEnabled(policy.Path()) ? "1" : "0";
  }
  EXPECT_EQ(on, "00001");
}

TEST(Startup, SetupMarkerIsTakenOnce) {
  RegSandbox user;
  EXPECT_FALSE(PublicFunctionUnit::TakeSetupFlag(user.Path()));
  for (const char* marker : {"1", "0"}) {
    user.SetString("", "setup", marker);
    EXPECT_EQ(PublicFunctionUnit::TakeSetupFlag(user.Path()), marker == std::string("1"));
    EXPECT_FALSE(PublicFunctionUnit::TakeSetupFlag(user.Path()) || user.ValueExists("", "setup"));
  }
}

TEST_F(Relaunch, AlternatesAndPassesTheCommandLineOn) {
  EXPECT_TRUE(Start(6, "\"C:\\Program Files\\Zelvoran\\Zelvoran.exe\" -Scan"));
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0], std::pair(ExeName(), std::string("-Scan")));
  EXPECT_EQ(Vista(), "1");

  // The relaunched start empties the marker and runs.
  EXPECT_FALSE(Start(6, "Zelvoran.exe -Scan"));
  EXPECT_TRUE(Calls.size() == 1u && Vista().empty());

  // The next start relaunches again.
  EXPECT_TRUE(Start(10));
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[1].second, "");
}

TEST_F(Relaunch, NoneBeforeVistaAfterSetupOrWithoutUac) {
  // Windows XP: neither marker is read or written.
  user.SetString("", "setup", "1");
  EXPECT_FALSE(Start(5));
  EXPECT_EQ(user.Read("", "setup") + Vista(), "1<none>");

  // The installer's first start runs without relaunching and takes the marker.
  EXPECT_FALSE(Start(6));
  EXPECT_EQ(user.Read("", "setup") + Vista(), "<none><none>");

  // User account control off, missing or not a number: no relaunch.
  policy.SetString("", "EnableLUA", "yes");
  EXPECT_FALSE(Start(6));
  policy.SetDword("", "EnableLUA", 0);
  EXPECT_FALSE(Start(6));
  EXPECT_TRUE(Calls.empty());
  EXPECT_EQ(Vista(), "<none>");
}

TEST(Startup, CommandLineTailSkipsTheProgramName) {
  using Zelvoran::CommandLineTail;
  EXPECT_EQ(CommandLineTail("\"C:\\Program Files\\Z\\Zelvoran.exe\" -Scan"), "-Scan");
  EXPECT_EQ(CommandLineTail("Zelvoran.exe   -Scan \"two words\""), "-Scan \"two words\"");
  EXPECT_EQ(CommandLineTail("Zelvoran.exe"), "");
  EXPECT_EQ(CommandLineTail("\"Zelvoran.exe\""), "");
  EXPECT_EQ(CommandLineTail(""), "");
}
