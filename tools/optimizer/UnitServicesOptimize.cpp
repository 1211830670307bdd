#include "UnitServicesOptimize.h"

#include <winsvc.h>

#include "../../framework/Handles.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"

namespace UnitServicesOptimize {

std::function<bool(const std::string& serviceName)> RefuseServiceChange;

namespace {

const char* const kServices[] = {"Eventlog", "Spooler", "WinDHCPsvc", "SSDPSRV", "SENS", "W32Time", "Themes",
                                 "srservice", "helpsvc", "ALG", "ImapiService", "mnmsrvc", "Messenger", "Browser",
                                 "TermService", "wuauserv", "UPS", "ShellHWDetection", "wscsvc", "WZCSVC", "Irmon",
                                 "RemoteRegistry"};

// Opens the service with only the rights asked for; `error` receives the failure's code.
TServiceHandle OpenNamedService(const std::string& name, DWORD access, DWORD& error) {
  error = ERROR_SUCCESS;
  TServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    error = GetLastError();
    return {};
  }
  TServiceHandle service(OpenServiceW(manager.Get(), Widen(name).c_str(), access));
  if (!service) error = GetLastError();
  return service;
}

bool RefusedByTest(const std::string& name, DWORD* error) {
  if (!RefuseServiceChange || !RefuseServiceChange(name)) return false;
  if (error != nullptr) *error = ERROR_ACCESS_DENIED;
  return true;
}

std::string ServiceNameOf(const std::string& keyPath) { return ExtractFileName(keyPath); }

// Writes "Start" into the service's key when the key exists (never creates it).
bool WriteStartValue(DWORD startType, const std::string& serviceName) {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  std::string key = ServicesKey + serviceName;
  if (!reg.KeyExists(key)) return true;   // not installed: nothing to change
  TRegValue value{REG_DWORD, {}};
  const auto* p = reinterpret_cast<const uint8_t*>(&startType);
  value.Data.assign(p, p + 4);
  return reg.OpenKey(key, false) && reg.WriteValue("Start", value);
}

DWORD StartValueOfMode(int mode) {
  switch (mode) {
    case ModeAutomatic: return SERVICE_AUTO_START;
    case ModeManual: return SERVICE_DEMAND_START;
    case ModeDisabled: return SERVICE_DISABLED;
    default: return 0;
  }
}

}  // namespace

bool IsOptimizerService(const std::string& serviceName) {
  for (const char* name : kServices)
    if (serviceName == name) return true;
  return false;
}

TServiceState QueryServiceState(const std::string& serviceName) {
  TServiceState state;
  DWORD error;
  TServiceHandle service = OpenNamedService(serviceName, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS, error);
  if (!service) return state;
  state.Installed = true;
  DWORD needed = 0;
  QueryServiceConfigW(service.Get(), nullptr, 0, &needed);
  std::vector<uint8_t> buffer(needed + sizeof(QUERY_SERVICE_CONFIGW));
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (QueryServiceConfigW(service.Get(), config, (DWORD)buffer.size(), &needed)) state.StartType = config->dwStartType;
  SERVICE_STATUS status{};
  if (QueryServiceStatus(service.Get(), &status))
    state.Running = status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_START_PENDING;
  return state;
}

bool StartServiceByName(const std::string& serviceName, DWORD* error) {
  if (RefusedByTest(serviceName, error)) return false;
  DWORD code;
  TServiceHandle service = OpenNamedService(serviceName, SERVICE_START, code);
  bool ok = service && StartServiceW(service.Get(), 0, nullptr);
  if (service && !ok) code = GetLastError();
  if (error != nullptr) *error = ok ? ERROR_SUCCESS : code;
  return ok;
}

bool StopServiceByName(const std::string& serviceName, DWORD* error) {
  if (RefusedByTest(serviceName, error)) return false;
  DWORD code;
  TServiceHandle service = OpenNamedService(serviceName, SERVICE_STOP, code);
  SERVICE_STATUS status{};
  bool ok = service && ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
  if (service && !ok) code = GetLastError();
  if (error != nullptr) *error = ok ? ERROR_SUCCESS : code;
  return ok;
}

bool SetServiceStartValue(DWORD startType, const std::string& serviceName) {
  if (startType < SERVICE_BOOT_START || startType > SERVICE_DISABLED) return true;
  if (RefusedByTest(serviceName, nullptr)) return false;
  DWORD error;
  TServiceHandle service = OpenNamedService(serviceName, SERVICE_CHANGE_CONFIG, error);
  if (service)
    return ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
  if (error == ERROR_SERVICE_DOES_NOT_EXIST) return true;
  return WriteStartValue(startType, serviceName);   // the manager would not let us: the key, as before
}

bool SetServiceStartType(int mode, const std::string& keyPath) {
  DWORD startType = StartValueOfMode(mode);
  return startType == 0 || SetServiceStartValue(startType, ServiceNameOf(keyPath));
}

bool IsExpectedServiceError(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
    case ERROR_SERVICE_DOES_NOT_EXIST:      // 1060 not installed
    case ERROR_SERVICE_ALREADY_RUNNING:     // 1056
    case ERROR_SERVICE_NOT_ACTIVE:          // 1062
    case ERROR_INVALID_SERVICE_CONTROL:     // 1052 cannot be stopped
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:  // 1061 stopping or starting already
      return true;
    default:
      return false;
  }
}

TServiceOutcome EnableService(const std::string& serviceName) {
  TServiceOutcome outcome;
  outcome.Refused = !SetServiceStartType(ModeAutomatic, ServicesKey + serviceName);
  DWORD error = ERROR_SUCCESS;
  outcome.Accepted = StartServiceByName(serviceName, &error);
  outcome.Refused = outcome.Refused || !IsExpectedServiceError(error);
  return outcome;
}

TServiceOutcome DisableService(const std::string& serviceName) {
  TServiceOutcome outcome;
  outcome.Refused = !SetServiceStartType(ModeDisabled, ServicesKey + serviceName);
  DWORD error = ERROR_SUCCESS;
  outcome.Accepted = StopServiceByName(serviceName, &error);
  outcome.Refused = outcome.Refused || !IsExpectedServiceError(error);
  return outcome;
}

}  // namespace UnitServicesOptimize
