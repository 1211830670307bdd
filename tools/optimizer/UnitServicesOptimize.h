// Switching the optimizer's 22 Windows services: the start type (through the service control
// manager, which also writes the service key's "Start"; the registry write is the fallback when
// the service cannot be opened for that), starting and stopping without waiting for the new
// state, and one enable (automatic, then start) and one disable (disabled, then stop) routine
// per service.
//
// How to use:
//   TServiceOutcome r = UnitServicesOptimize::EnableSpooler();
//   if (r.Refused) ...   // a real refusal; "not installed", "already running", "not active" and
//                        // "cannot be stopped" are expected and never count
#pragma once

#include <functional>
#include <string>

#include <windows.h>

namespace UnitServicesOptimize {

inline constexpr const char* ServicesKey = "SYSTEM\\CurrentControlSet\\Services\\";

// Start-type modes: 0 automatic ("Start" 2), 1 manual (3), 2 disabled (4); others change nothing.
inline constexpr int ModeAutomatic = 0;
inline constexpr int ModeManual = 1;
inline constexpr int ModeDisabled = 2;

struct TServiceOutcome {
  bool Accepted = false;   // the start or stop request was accepted
  bool Refused = false;    // a change was refused for a reason other than the expected ones
};

// The service as the service control manager knows it.
struct TServiceState {
  bool Installed = false;
  DWORD StartType = 0;     // SERVICE_AUTO_START (2), SERVICE_DEMAND_START (3), SERVICE_DISABLED (4), ...
  bool Running = false;    // running or on its way there
};
TServiceState QueryServiceState(const std::string& serviceName);

// True when the service control manager accepted the request; `error` receives its error code.
bool StartServiceByName(const std::string& serviceName, DWORD* error = nullptr);
bool StopServiceByName(const std::string& serviceName, DWORD* error = nullptr);
// Sets the start type of the service whose key is "SYSTEM\CurrentControlSet\Services\" + name.
// Returns false when the change was refused (a service that is not installed is no refusal).
bool SetServiceStartType(int mode, const std::string& keyPath);
// The same with a raw start type (2, 3 or 4), for putting back a saved one.
bool SetServiceStartValue(DWORD startType, const std::string& serviceName);

// An error of a start or stop request that means "nothing to do" rather than a refusal.
bool IsExpectedServiceError(DWORD error);

TServiceOutcome EnableService(const std::string& serviceName);    // automatic, then start
TServiceOutcome DisableService(const std::string& serviceName);   // disabled, then stop

// The 22 services the optimizer drives, one a service box.
bool IsOptimizerService(const std::string& serviceName);

inline TServiceOutcome EnableEventlog() { return EnableService("Eventlog"); }
inline TServiceOutcome DisableEventlog() { return DisableService("Eventlog"); }
inline TServiceOutcome EnableSpooler() { return EnableService("Spooler"); }
inline TServiceOutcome DisableSpooler() { return DisableService("Spooler"); }
inline TServiceOutcome EnableWinDHCPsvc() { return EnableService("WinDHCPsvc"); }
inline TServiceOutcome DisableWinDHCPsvc() { return DisableService("WinDHCPsvc"); }
inline TServiceOutcome EnableSSDPSRV() { return EnableService("SSDPSRV"); }
inline TServiceOutcome DisableSSDPSRV() { return DisableService("SSDPSRV"); }
inline TServiceOutcome EnableSENS() { return EnableService("SENS"); }
inline TServiceOutcome DisableSENS() { return DisableService("SENS"); }
inline TServiceOutcome EnableW32Time() { return EnableService("W32Time"); }
inline TServiceOutcome DisableW32Time() { return DisableService("W32Time"); }
inline TServiceOutcome EnableThemes() { return EnableService("Themes"); }
inline TServiceOutcome DisableThemes() { return DisableService("Themes"); }
inline TServiceOutcome EnableSrservice() { return EnableService("srservice"); }
inline TServiceOutcome DisableSrservice() { return DisableService("srservice"); }
inline TServiceOutcome EnableHelpsvc() { return EnableService("helpsvc"); }
inline TServiceOutcome DisableHelpsvc() { return DisableService("helpsvc"); }
inline TServiceOutcome EnableALG() { return EnableService("ALG"); }
inline TServiceOutcome DisableALG() { return DisableService("ALG"); }
inline TServiceOutcome EnableImapiService() { return EnableService("ImapiService"); }
inline TServiceOutcome DisableImapiService() { return DisableService("ImapiService"); }
inline TServiceOutcome EnableMnmsrvc() { return EnableService("mnmsrvc"); }
inline TServiceOutcome DisableMnmsrvc() { return DisableService("mnmsrvc"); }
inline TServiceOutcome EnableMessenger() { return EnableService("Messenger"); }
inline TServiceOutcome DisableMessenger() { return DisableService("Messenger"); }
inline TServiceOutcome EnableBrowser() { return EnableService("Browser"); }
inline TServiceOutcome DisableBrowser() { return DisableService("Browser"); }
inline TServiceOutcome EnableTermService() { return EnableService("TermService"); }
inline TServiceOutcome DisableTermService() { return DisableService("TermService"); }
inline TServiceOutcome EnableWuauserv() { return EnableService("wuauserv"); }
inline TServiceOutcome DisableWuauserv() { return DisableService("wuauserv"); }
inline TServiceOutcome EnableUPS() { return EnableService("UPS"); }
inline TServiceOutcome DisableUPS() { return DisableService("UPS"); }
inline TServiceOutcome EnableShellHWDetection() { return EnableService("ShellHWDetection"); }
inline TServiceOutcome DisableShellHWDetection() { return DisableService("ShellHWDetection"); }
inline TServiceOutcome EnableWscsvc() { return EnableService("wscsvc"); }
inline TServiceOutcome DisableWscsvc() { return DisableService("wscsvc"); }
inline TServiceOutcome EnableWZCSVC() { return EnableService("WZCSVC"); }
inline TServiceOutcome DisableWZCSVC() { return DisableService("WZCSVC"); }
inline TServiceOutcome EnableIrmon() { return EnableService("Irmon"); }
inline TServiceOutcome DisableIrmon() { return DisableService("Irmon"); }
inline TServiceOutcome EnableRemoteRegistry() { return EnableService("RemoteRegistry"); }
inline TServiceOutcome DisableRemoteRegistry() { return DisableService("RemoteRegistry"); }

// Tests only: when set, each start-type change, start and stop asks it first and is refused
// (ERROR_ACCESS_DENIED) when it returns true.
extern std::function<bool(const std::string& serviceName)> RefuseServiceChange;

}  // namespace UnitServicesOptimize
