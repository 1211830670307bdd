// The service switching on the prefix's real service manager (Eventlog, Spooler, TermService and
// wuauserv exist there); every test puts the services back as they were.
#include <gtest/gtest.h>

#include "OptimizerTestSupport.h"
#include "framework/IniFiles.h"
#include "support/TestSupport.h"
#include "tools/optimizer/SystemSpeedUnitBackup.h"
#include "tools/optimizer/UnitServicesOptimize.h"

using namespace optimizer_test;
using namespace UnitServicesOptimize;
using testing_support::TempFolder;

namespace {

DWORD RegistryStart(const std::string& service) {
  TMaybeValue v = ReadValue(HKEY_LOCAL_MACHINE, std::string(ServicesKey) + service, "Start");
  return v && v->Type == REG_DWORD ? *(const DWORD*)v->Data.data() : 0;
}

struct OptimizerServices : ::testing::Test {
  TServiceGuard guard;
  TempFolder temp;
  testing_support::TKeep<std::function<bool(const std::string&)>> refusal{RefuseServiceChange, nullptr};
};

TEST_F(OptimizerServices, DisableThenEnableDrivesStartTypeAndState) {
  const std::pair<TServiceOutcome (*)(), TServiceOutcome (*)()> routines[] = {
      {DisableSpooler, EnableSpooler}, {DisableTermService, EnableTermService}, {DisableWuauserv, EnableWuauserv}};
  const char* names[] = {"Spooler", "TermService", "wuauserv"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(routines[i].second().Refused) << names[i];
    EXPECT_TRUE(WaitForServiceState(names[i], true)) << names[i];
    EXPECT_FALSE(routines[i].first().Refused) << names[i];
    EXPECT_EQ(QueryServiceState(names[i]).StartType, (DWORD)SERVICE_DISABLED) << names[i];
    EXPECT_EQ(RegistryStart(names[i]), 4u) << names[i];
    EXPECT_TRUE(WaitForServiceState(names[i], false)) << names[i];
    // Disabling again: the stop fails as "not active", which is no refusal.
    TServiceOutcome again = routines[i].first();
    EXPECT_FALSE(again.Accepted);
    EXPECT_FALSE(again.Refused);
  }
  // A service disabled in the manager itself is enabled and started.
  ASSERT_TRUE(SetServiceStartValue(SERVICE_DISABLED, "Spooler"));
  TServiceOutcome outcome = EnableSpooler();
  EXPECT_TRUE(outcome.Accepted);
  EXPECT_FALSE(outcome.Refused);
  EXPECT_EQ(QueryServiceState("Spooler").StartType, (DWORD)SERVICE_AUTO_START);
  EXPECT_EQ(RegistryStart("Spooler"), 2u);
  EXPECT_TRUE(WaitForServiceState("Spooler", true));
}

TEST_F(OptimizerServices, ExpectedNoOpsAreNoRefusalsButARefusedChangeIs) {
  TServiceOutcome running = EnableEventlog();   // already running
  EXPECT_FALSE(running.Accepted);
  EXPECT_FALSE(running.Refused);
  TServiceOutcome missing = DisableThemes();    // not installed: no key is made
  EXPECT_FALSE(missing.Accepted);
  EXPECT_FALSE(missing.Refused);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(ServicesKey) + "Themes"));
  EXPECT_TRUE(SetServiceStartType(7, std::string(ServicesKey) + "Spooler"));   // unknown mode: nothing
  RefuseServiceChange = [](const std::string& name) { return name == "Spooler"; };
  DWORD startType = QueryServiceState("Spooler").StartType;
  EXPECT_TRUE(DisableSpooler().Refused);
  EXPECT_EQ(QueryServiceState("Spooler").StartType, startType);
}

TEST_F(OptimizerServices, RunSavesEachStateOnceAndRestorePutsItBack) {
  std::string file = temp.Path() + "speedRestore20240102_030405.ini";
  TServiceState before = QueryServiceState("Spooler"), term = QueryServiceState("TermService");
  std::array<SystemSpeedUnit::TServiceChoice, SystemSpeedUnit::ServiceBoxCount> boxes{};
  boxes[3] = {.Checked = false, .Driven = true};   // chk4: Spooler
  boxes[17] = {.Checked = true, .Driven = true};   // chk18: TermService
  boxes[19] = {.Checked = false, .Driven = true};  // chk20: Themes, not installed
  EXPECT_EQ(SystemSpeedUnit::ApplyServiceChoices(boxes, file), 0);
  EXPECT_EQ(SystemSpeedUnit::ApplyServiceChoices(boxes, file), 0);   // the second run saves nothing new
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Service Spooler", "Service TermService"}));
  EXPECT_EQ(ini.ReadString("Service Spooler", "Start", ""), std::to_string(before.StartType));
  EXPECT_EQ(ini.ReadString("Service Spooler", "Running", ""), before.Running ? "1" : "0");
  EXPECT_EQ(RegistryStart("TermService"), 2u);
  SystemSpeedUnit::TSpeedRestore result = SystemSpeedUnit::RestoreSpeedFile(file);
  EXPECT_TRUE(result.ServicesRestored);
  EXPECT_EQ(result.Refused, 0);
  EXPECT_EQ(QueryServiceState("Spooler").StartType, before.StartType);
  EXPECT_EQ(QueryServiceState("TermService").StartType, term.StartType);
  EXPECT_TRUE(WaitForServiceState("TermService", term.Running));
}

TEST_F(OptimizerServices, RestoreDrivesOnlyTheOptimizersServices) {
  std::string file = temp.WriteFile("speedOther.ini", "[Service Eventlog2]\r\nStart=4\r\nRunning=0\r\n"
                                                      "[Service Spooler]\r\nStart=9\r\nRunning=1\r\n");
  DWORD startType = QueryServiceState("Spooler").StartType;
  SystemSpeedUnit::TSpeedRestore result = SystemSpeedUnit::RestoreSpeedFile(file);
  EXPECT_EQ(result.Refused, 0);
  EXPECT_EQ(QueryServiceState("Spooler").StartType, startType);
  EXPECT_FALSE(IsOptimizerService("Eventlog2"));
}

}  // namespace
