// The shared routines start-up relies on: the installer's marker, user account control, the
// elevated relaunch, the Run value of start with Windows and the update server's build date.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <vector>

#include "../framework/InternetHandle.h"
#include "../framework/Application.h"
#include "../framework/Registry.h"
#include "PublicFunctionUnit.h"

namespace PublicFunctionUnit {

bool TakeSetupFlag(const std::string& userKey) {
  bool result = false;
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (reg.OpenKey("\\" + userKey, false)) {
      TRegDataType t = reg.GetDataType("setup");
      result = (t == rdString || t == rdExpandString) && reg.ReadString("setup") == "1";
    }
  }
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  if (reg.OpenKey("\\" + userKey, true)) reg.DeleteValue("setup");
  return result;
}

bool IsUacEnabled(const std::string& policyKey) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKey("\\" + policyKey, false)) return false;
  TRegValue value;
  if (!reg.ReadValue("EnableLUA", value) || value.Type != REG_DWORD || value.Data.size() < sizeof(DWORD)) return false;
  DWORD enabled = 0;
  memcpy(&enabled, value.Data.data(), sizeof enabled);
  return enabled != 0;
}

namespace {
struct TDisabledWindows {
  std::vector<HWND> Windows;
  static BOOL CALLBACK Collect(HWND hwnd, LPARAM self) {
    if (IsWindowEnabled(hwnd)) reinterpret_cast<TDisabledWindows*>(self)->Windows.push_back(hwnd);
    return TRUE;
  }
};
}  // namespace

void RunElevated(const std::string& fileName, const std::string&, const std::string& directory,
                 const std::string& parameters) {
  HWND focused = GetFocus();
  TDisabledWindows disabled;
  EnumThreadWindows(GetCurrentThreadId(), TDisabledWindows::Collect, reinterpret_cast<LPARAM>(&disabled));
  for (HWND w : disabled.Windows) EnableWindow(w, FALSE);
  SetFocus(nullptr);
  if (Application.Handle != nullptr) SetActiveWindow(Application.Handle);

  std::wstring file = Widen(fileName), dir = Widen(directory), params = Widen(parameters);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = Application.Handle;
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = params.empty() ? nullptr : params.c_str();
  info.lpDirectory = dir.empty() ? nullptr : dir.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info) && info.hProcess != nullptr) CloseHandle(info.hProcess);

  for (HWND w : disabled.Windows) EnableWindow(w, TRUE);
  if (focused != nullptr && IsWindow(focused)) SetFocus(focused);
}

std::string RunValueName(const std::string& exe) { return ExtractFileName(exe); }

std::string RunValueData(const std::string& exe) { return "\"" + exe + "\""; }

bool IsOwnRunValue(const std::string& data, const std::string& exe) {
  return !exe.empty() && (data == exe || data == RunValueData(exe));
}

bool RunsAtStartup(TRegistry& runKey, const std::string& exe) {
  std::string data;
  return runKey.ReadText(RunValueName(exe), data) && IsOwnRunValue(data, exe);
}

namespace {

bool FileTimeOf(const std::string& path, FILETIME& written) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return false;
  written = data.ftLastWriteTime;
  return true;
}
}  // namespace

bool IsNewerBuildOnServer(const std::string& url, const std::string& exe, const std::string& agent,
                          const TNetDeadline& deadline) {
  if (deadline.Passed()) return false;
  TInternetHandle internet(
      InternetOpenW(Widen(agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, nullptr, nullptr, 0));
  if (internet.Handle == nullptr) return false;
  if (deadline.At != 0) deadline.Apply(internet.Handle, INFINITE);
  TInternetHandle request(InternetOpenUrlW(internet.Handle, Widen(url).c_str(), nullptr, 0, INTERNET_FLAG_NO_UI, 0));
  if (request.Handle == nullptr) return false;

  // Only a successful reply says anything about the file on the server.
  DWORD status = 0, size = sizeof status;
  if (!HttpQueryInfoW(request.Handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status < 200 || status > 299)
    return false;
  wchar_t text[513] = {};
  size = sizeof text - sizeof(wchar_t);
  if (!HttpQueryInfoW(request.Handle, HTTP_QUERY_LAST_MODIFIED, text, &size, nullptr)) return false;
  SYSTEMTIME serverTime;
  if (!InternetTimeToSystemTimeW(text, &serverTime, 0)) return false;
  FILETIME server, local;
  if (!SystemTimeToFileTime(&serverTime, &server) || !FileTimeOf(exe, local)) return false;
  return CompareFileTime(&server, &local) > 0;   // both in UTC
}

}  // namespace PublicFunctionUnit
