#include "ZelvoranStartup.h"

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "MainUnit.h"

namespace Zelvoran {

HWND RunningInstance() {
  HWND running = FindWindowW(L"TZelvoranMainForm", nullptr);
  return (INT_PTR)running > 0 ? running : nullptr;
}

bool HandOverToRunningInstance(HWND running, const std::string& parameter) {
  if (Trim(parameter).empty()) {
    PostMessageW(running, MainUnit::WM_RESTORE_INSTANCE, 0, 0);
    return true;
  }
  std::wstring text = Widen(parameter);
  COPYDATASTRUCT data{MainUnit::CommandLineData, (DWORD)(text.size() * sizeof(wchar_t)), text.data()};
  // The running instance may be held for a while (an update check, a large backup); the wait is
  // long enough for those, and the message is handled as soon as it answers again.
  const UINT kWaitMs = 60000;
  DWORD_PTR taken = FALSE;
  if (!SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, kWaitMs, &taken)) {
    return IsWindow(running) != FALSE;   // gone: this start is the only one now
  }
  // an instance that does not take a parameter still shows itself
  if (taken != TRUE) PostMessageW(running, MainUnit::WM_RESTORE_INSTANCE, 0, 0);
  return true;
}

std::string CommandLineTail(const std::string& commandLine) {
  size_t i = 0, n = commandLine.size();
  while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
  if (i < n && commandLine[i] == '"') {
    size_t close = commandLine.find('"', i + 1);
    i = close == std::string::npos ? n : close + 1;
  } else {
    while (i < n && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
  }
  while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
  return commandLine.substr(i);
}

bool RelaunchElevatedIfNeeded(DWORD majorVersion, const std::string& commandLine, const TRelauncher& relaunch,
                              const std::string& userKey, const std::string& policyKey) {
  if (majorVersion < 6) return false;
  if (PublicFunctionUnit::TakeSetupFlag(userKey)) return false;
  if (!PublicFunctionUnit::IsUacEnabled(policyKey)) return false;
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  if (!reg.OpenKey("\\" + userKey, true)) return false;
  TRegDataType t = reg.GetDataType("vista");
  std::string marker = (t == rdString || t == rdExpandString) ? reg.ReadString("vista") : std::string();
  if (marker == "1") {
    reg.WriteString("vista", "");
    return false;
  }
  reg.WriteString("vista", "1");
  reg.CloseKey();
  relaunch(ExeName(), CommandLineTail(commandLine));
  return true;
}

}  // namespace Zelvoran
