// The service switching on the prefix's real service manager (Eventlog, Spooler, TermService and
// wuauserv exist there); every test puts the services back as they were.
#include <gtest/gtest.h>

#include <algorithm>

#include "OptimizerTestSupport.h"
#include "framework/IniFiles.h"
#include "support/TestSupport.h"
#include "tools/optimizer/SystemSpeedUnitBackup.h"
#include "tools/optimizer/UnitServicesOptimize.h"

using namespace optimizer_test;
using namespace UnitServicesOptimize;
using testing_support::TempFolder;

namespace {

std::string RegistryStart(const std::string& service) {
  return ValueAt(HKEY_LOCAL_MACHINE, std::string(ServicesKey) + service, "Start");
}

struct OptimizerServices : ::testing::Test {
  TServiceGuard guard;
  TempFolder temp;
  testing_support::TKeep<std::function<bool(const std::string&)>> refusal{RefuseServiceChange, nullptr};
};

TEST_F(OptimizerServices, DisableThenEnableDrivesStartTypeAndState) {
  const struct {
    const char* Name;
    TServiceOutcome (*Disable)(), (*Enable)();
  } services[] = {{"Spooler", DisableSpooler, EnableSpooler}, {"TermService", DisableTermService, EnableTermService},
                  {"wuauserv", DisableWuauserv, EnableWuauserv}};
  for (const auto& s : services) {
    EXPECT_FALSE(s.Enable().Refused) << s.Name;
    EXPECT_TRUE(WaitForServiceState(s.Name, true)) << s.Name;
    EXPECT_FALSE(s.Disable().Refused) << s.Name;
    EXPECT_TRUE(ServiceIs(s.Name, SERVICE_DISABLED, false)) << s.Name;
    EXPECT_EQ(RegistryStart(s.Name), "DWORD 4") << s.Name;
    TServiceOutcome again = s.Disable();   // the stop fails as "not active", which is no refusal
    EXPECT_FALSE(again.Accepted || again.Refused) << s.Name;
  }
  // A service disabled in the manager itself is enabled and started.
  ASSERT_TRUE(SetServiceStartValue(SERVICE_DISABLED, "Spooler"));
  TServiceOutcome outcome = EnableSpooler();
  EXPECT_TRUE(outcome.Accepted && !outcome.Refused);
  EXPECT_TRUE(ServiceIs("Spooler", SERVICE_AUTO_START, true));
  EXPECT_EQ(RegistryStart("Spooler"), "DWORD 2");
}

TEST_F(OptimizerServices, ExpectedNoOpsAreNoRefusalsButARefusedChangeIs) {
  for (TServiceOutcome outcome : {EnableEventlog(), DisableThemes()})   // already running; not installed
    EXPECT_FALSE(outcome.Accepted || outcome.Refused);
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, std::string(ServicesKey) + "Themes"));   // no key is made
  EXPECT_TRUE(SetServiceStartType(7, std::string(ServicesKey) + "Spooler"));   // unknown mode: nothing
  RefuseServiceChange = [](const std::string& name) { return name == "Spooler"; };
  DWORD startType = QueryServiceState("Spooler").StartType;
  EXPECT_TRUE(DisableSpooler().Refused);
  EXPECT_EQ(QueryServiceState("Spooler").StartType, startType);
}

TEST_F(OptimizerServices, RunSavesEachStateOnceAndRestorePutsBackOnlyTheOptimizersServices) {
  std::string file = temp.Path() + "speedRestore20240102_030405.ini";
  TServiceState before = QueryServiceState("Spooler"), term = QueryServiceState("TermService");
  std::array<SystemSpeedUnit::TServiceChoice, SystemSpeedUnit::ServiceBoxCount> boxes{};
  boxes[3] = {.Checked = false, .Driven = true};   // chk4: Spooler
  boxes[17] = {.Checked = true, .Driven = true};   // chk18: TermService
  boxes[19] = {.Checked = false, .Driven = true};  // chk20: Themes, not installed
  EXPECT_EQ(SystemSpeedUnit::ApplyServiceChoices(boxes, file), 0);
  EXPECT_EQ(SystemSpeedUnit::ApplyServiceChoices(boxes, file), 0);   // the second run saves nothing new
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Backup", "Service Spooler", "Service TermService"}));
  EXPECT_EQ(ini.ReadString("Service Spooler", "Start", ""), std::to_string(before.StartType));
  EXPECT_EQ(ini.ReadString("Service Spooler", "Running", ""), before.Running ? "1" : "0");
  EXPECT_EQ(RegistryStart("TermService"), "DWORD 2");
  SystemSpeedUnit::TSpeedRestore result = SystemSpeedUnit::RestoreSpeedFile(file);
  EXPECT_TRUE(result.ServicesRestored);
  EXPECT_EQ(result.Refused, 0);
  EXPECT_EQ(QueryServiceState("Spooler").StartType, before.StartType);
  EXPECT_TRUE(ServiceIs("TermService", term.StartType, term.Running));
  // Only the optimizer's own services are driven by a restore, and only to a start type there is.
  std::string other = temp.WriteFile("speedOther.ini", "[Service Eventlog2]\r\nStart=4\r\nRunning=0\r\n"
                                                       "[Service Spooler]\r\nStart=9\r\nRunning=1\r\n");
  EXPECT_EQ(SystemSpeedUnit::RestoreSpeedFile(other).NotRestored, std::vector<std::string>{"Service Spooler"});
  EXPECT_EQ(QueryServiceState("Spooler").StartType, before.StartType);
  EXPECT_FALSE(IsOptimizerService("Eventlog2"));
}

// Each box drives the service its caption names, and no service has two boxes: a run switches
// each service once (the wireless service is no longer switched off and on again in one run).
// Every change is refused here, so the routines only say which service they would touch.
TEST_F(OptimizerServices, EachBoxDrivesTheServiceItNamesAndEachServiceHasOneBox) {
  const std::vector<std::pair<const char*, const char*>> boxes = {
      {"Enalbe Event Viewer", "Eventlog"},
      {"Enable infrared device support", "Irmon"},
      {"Enable remote registry operation service", "RemoteRegistry"},
      {"Enable printer support", "Spooler"},
      {"Open wireless network support function", "WZCSVC"},
      {"Enable My Network Place browsing service", "Browser"},
      {"Enable Windows XP integrated firewall", "ALG"},
      {"Enable Windows XP writable function", "ImapiService"},
      {"Enable automatic update function", "wuauserv"},
      {"Enable system restoration function", "srservice"},
      {"Enable notification for AutoPlay hardware events", "ShellHWDetection"},
      {"Enable remote assistance and terminal", "mnmsrvc"},
      {"Enable UPS management service", "UPS"},
      {"Enable help and support service", "helpsvc"},
      {"Enable secure center management function", "wscsvc"},
      {"Enable UPNP device detection", "SSDPSRV"},
      {"Enable Time Synchronizing service", "W32Time"},
      {"Enable multi-users connect and operate one computer", "TermService"},
      {"Enable registering for remote computer and refresh IP address function", "WinDHCPsvc"},
      {"Enable Desktop management experience", "Themes"},
      {"Enable tracing system event", "SENS"},
      {"Enable messenger service", "Messenger"}};
  ASSERT_EQ(boxes.size(), (size_t)SystemSpeedUnit::ServiceBoxCount);
  std::vector<std::string> touched;
  RefuseServiceChange = [&](const std::string& name) { return touched.push_back(name), true; };
  for (size_t i = 0; i < boxes.size(); ++i) {
    const SystemSpeedUnit::TServiceBox& box = SystemSpeedUnit::ServiceBoxes[i];
    EXPECT_STREQ(box.Caption, boxes[i].first) << "chk" << i + 1;
    EXPECT_STREQ(box.Service, boxes[i].second) << "chk" << i + 1;
    EXPECT_TRUE(IsOptimizerService(box.Service)) << box.Service;
    for (TServiceOutcome (*routine)() : {box.Enable, box.Disable}) {
      touched.clear();
      routine();
      EXPECT_EQ(touched, (std::vector<std::string>{box.Service, box.Service})) << "chk" << i + 1;
    }
  }
  // A run with every box acting: each service is asked for exactly once per change.
  std::array<SystemSpeedUnit::TServiceChoice, SystemSpeedUnit::ServiceBoxCount> all{};
  for (auto& choice : all) choice = {.Checked = true, .Driven = true};
  touched.clear();
  SystemSpeedUnit::ApplyServiceChoices(all, "");
  for (const auto& [caption, service] : boxes)
    EXPECT_EQ(std::count(touched.begin(), touched.end(), service), 2) << service;
}

}  // namespace
