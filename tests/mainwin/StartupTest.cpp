// The start-up decisions: the installer's marker, user account control and the one elevated
// relaunch, each against the test's own keys.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "app/ZelvoranStartup.h"
#include "framework/Registry.h"
#include "framework/Strings.h"

using testing_support::RegSandbox;

namespace {

std::string ReadString(const RegSandbox& key, const std::string& name, bool& exists) {
  TRegistry reg;
  reg.RootKey = key.Root();
  exists = false;
  if (!reg.OpenKey("\\" + key.Path(), false) || !reg.ValueExists(name)) return {};
  exists = true;
  return reg.ReadString(name);
}

struct Relaunches {
  std::vector<std::pair<std::string, std::string>> Calls;
  Zelvoran::TRelauncher Launcher() {
    return [this](const std::string& file, const std::string& params) { Calls.emplace_back(file, params); };
  }
};

}  // namespace

TEST(Startup, UacIsOnOnlyForANonZeroDoubleWord) {
  RegSandbox policy(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(PublicFunctionUnit::IsUacEnabled(policy.Path() + "\\missing"));
  policy.CreateKey("");
  EXPECT_FALSE(PublicFunctionUnit::IsUacEnabled(policy.Path()));   // value missing
  policy.SetString("", "EnableLUA", "1");
  EXPECT_FALSE(PublicFunctionUnit::IsUacEnabled(policy.Path()));   // not a number
  policy.SetRaw("", "EnableLUA", REG_BINARY, {1});
  EXPECT_FALSE(PublicFunctionUnit::IsUacEnabled(policy.Path()));
  policy.SetDword("", "EnableLUA", 0);
  EXPECT_FALSE(PublicFunctionUnit::IsUacEnabled(policy.Path()));
  policy.SetDword("", "EnableLUA", 1);
  EXPECT_TRUE(PublicFunctionUnit::IsUacEnabled(policy.Path()));
}

TEST(Startup, SetupMarkerIsTakenOnce) {
  RegSandbox user;
  EXPECT_FALSE(PublicFunctionUnit::TakeSetupFlag(user.Path()));
  user.SetString("", "setup", "1");
  EXPECT_TRUE(PublicFunctionUnit::TakeSetupFlag(user.Path()));
  EXPECT_FALSE(user.ValueExists("", "setup"));
  EXPECT_FALSE(PublicFunctionUnit::TakeSetupFlag(user.Path()));
  user.SetString("", "setup", "0");
  EXPECT_FALSE(PublicFunctionUnit::TakeSetupFlag(user.Path()));
  EXPECT_FALSE(user.ValueExists("", "setup"));
}

TEST(Startup, RelaunchAlternatesAndPassesTheCommandLineOn) {
  RegSandbox user, policy(HKEY_LOCAL_MACHINE);
  policy.SetDword("", "EnableLUA", 1);
  Relaunches r;
  bool exists = false;

  EXPECT_TRUE(Zelvoran::RelaunchElevatedIfNeeded(6, "\"C:\\Program Files\\Zelvoran\\Zelvoran.exe\" -Scan",
                                                 r.Launcher(), user.Path(), policy.Path()));
  ASSERT_EQ(r.Calls.size(), 1u);
  EXPECT_EQ(r.Calls[0].first, ExeName());
  EXPECT_EQ(r.Calls[0].second, "-Scan");
  EXPECT_EQ(ReadString(user, "vista", exists), "1");

  // The relaunched start empties the marker and runs.
  EXPECT_FALSE(Zelvoran::RelaunchElevatedIfNeeded(6, "Zelvoran.exe -Scan", r.Launcher(), user.Path(), policy.Path()));
  EXPECT_EQ(r.Calls.size(), 1u);
  EXPECT_EQ(ReadString(user, "vista", exists), "");
  EXPECT_TRUE(exists);

  // The next start relaunches again.
  EXPECT_TRUE(Zelvoran::RelaunchElevatedIfNeeded(10, "Zelvoran.exe", r.Launcher(), user.Path(), policy.Path()));
  ASSERT_EQ(r.Calls.size(), 2u);
  EXPECT_EQ(r.Calls[1].second, "");
}

TEST(Startup, NoRelaunchBeforeVistaAfterSetupOrWithoutUac) {
  RegSandbox user, policy(HKEY_LOCAL_MACHINE);
  policy.SetDword("", "EnableLUA", 1);
  Relaunches r;
  bool exists = false;

  // Windows XP: neither marker is read or written.
  user.SetString("", "setup", "1");
  EXPECT_FALSE(Zelvoran::RelaunchElevatedIfNeeded(5, "Zelvoran.exe", r.Launcher(), user.Path(), policy.Path()));
  EXPECT_TRUE(user.ValueExists("", "setup"));
  EXPECT_FALSE(user.ValueExists("", "vista"));

  // The installer's first start runs without relaunching and takes the marker.
  EXPECT_FALSE(Zelvoran::RelaunchElevatedIfNeeded(6, "Zelvoran.exe", r.Launcher(), user.Path(), policy.Path()));
  EXPECT_FALSE(user.ValueExists("", "setup"));
  EXPECT_FALSE(user.ValueExists("", "vista"));

  // User account control off, missing or not a number: no relaunch.
  policy.SetString("", "EnableLUA", "yes");
  EXPECT_FALSE(Zelvoran::RelaunchElevatedIfNeeded(6, "Zelvoran.exe", r.Launcher(), user.Path(), policy.Path()));
  policy.SetDword("", "EnableLUA", 0);
  EXPECT_FALSE(Zelvoran::RelaunchElevatedIfNeeded(6, "Zelvoran.exe", r.Launcher(), user.Path(), policy.Path()));
  EXPECT_TRUE(r.Calls.empty());
  ReadString(user, "vista", exists);
  EXPECT_FALSE(exists);
}

TEST(Startup, CommandLineTailSkipsTheProgramName) {
  using Zelvoran::CommandLineTail;
  EXPECT_EQ(CommandLineTail("\"C:\\Program Files\\Z\\Zelvoran.exe\" -Scan"), "-Scan");
  EXPECT_EQ(CommandLineTail("Zelvoran.exe   -Scan \"two words\""), "-Scan \"two words\"");
  EXPECT_EQ(CommandLineTail("Zelvoran.exe"), "");
  EXPECT_EQ(CommandLineTail("\"Zelvoran.exe\""), "");
  EXPECT_EQ(CommandLineTail(""), "");
}
