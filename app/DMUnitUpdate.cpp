// The data module's HTTP client, its download routine and the update check.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <memory>
#include <vector>

#include "../framework/InternetHandle.h"
#include "../framework/Application.h"
#include "../framework/Dialogs.h"
#include "../framework/Endpoints.h"
#include "../framework/Exceptions.h"
#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "ShowLiveUpdateUnit.h"

namespace {

const char* const kUpToDate = "There are no updates available at this time.\rYour Zelvoran is up-to-date.";
const char* const kUpdateQuestion =
    "A newer version of Zelvoran is available, Zelvoran will shut down to install the newer version.\r"
    "Would you like to update now?";
const char* const kUpdaterFailed = "The updater could not be started:\r";
const char* const kGoingOn = "\r\rZelvoran goes on with this version.";

bool IsAllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::vector<std::string> VersionParts(const std::string& version) {
  std::vector<std::string> parts;
  std::string text = Trim(version);
  size_t start = 0;
  for (;;) {
    size_t dot = text.find('.', start);
    parts.push_back(Trim(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start)));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts;
}

int ComparePart(std::string a, std::string b) {
  if (a.empty()) a = "0";
  if (b.empty()) b = "0";
  if (IsAllDigits(a) && IsAllDigits(b)) {
    a.erase(0, std::min(a.find_first_not_of('0'), a.size() - 1));
    b.erase(0, std::min(b.find_first_not_of('0'), b.size() - 1));
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  }
  return a < b ? -1 : (a == b ? 0 : 1);
}

}  // namespace

bool THttpClient::Get(const std::string& url, HANDLE file) const {
  std::wstring wideUrl = Widen(url);
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  wchar_t host[256] = {}, path[2048] = {}, extra[2048] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = 255;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 2047;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = 2047;
  if (!InternetCrackUrlW(wideUrl.c_str(), 0, 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;

  TInternetHandle internet(InternetOpenW(Widen(UserAgent).c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (internet.Handle == nullptr) return false;
  DWORD timeout = (DWORD)ReadTimeout;
  InternetSetOptionW(internet.Handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  InternetSetOptionW(internet.Handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  TInternetHandle connection(
      InternetConnectW(internet.Handle, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (connection.Handle == nullptr) return false;

  std::wstring object = std::wstring(path) + extra;
  if (object.empty()) object = L"/";
  std::wstring accept = Widen(Accept);
  const wchar_t* acceptTypes[] = {accept.c_str(), nullptr};
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  TInternetHandle request(
      HttpOpenRequestW(connection.Handle, L"GET", object.c_str(), nullptr, nullptr, acceptTypes, flags, 0));
  if (request.Handle == nullptr) return false;
  InternetSetOptionW(request.Handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  std::wstring headers = L"Content-Type: " + Widen(ContentType) + L"\r\n";
  if (!HttpSendRequestW(request.Handle, headers.c_str(), (DWORD)headers.size(), nullptr, 0)) return false;

  DWORD status = 0, size = sizeof status;
  if (!HttpQueryInfoW(request.Handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status < 200 || status > 299)
    return false;
  char buffer[16384];
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request.Handle, buffer, sizeof buffer, &read)) return false;
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(file, buffer, read, &written, nullptr) || written != read) return false;
  }
  // A reply that announced its length must have delivered all of it.
  DWORD expected = 0;
  size = sizeof expected;
  if (HttpQueryInfoW(request.Handle, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &expected, &size, nullptr)) {
    LARGE_INTEGER got;
    if (!GetFileSizeEx(file, &got) || got.QuadPart != (LONGLONG)expected) return false;
  }
  return true;
}

void TDM::DownloadFile(const std::string& url, const std::string& fileName) {
  std::string folder = ExtractFilePath(fileName);
  if (folder.empty()) folder = ".\\";
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempFileNameW(Widen(folder).c_str(), L"zlv", 0, temp) == 0) Abort();
  HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(temp);
    Abort();
  }
  bool ok = IdHTTP1.Get(url, file);
  ok = CloseHandle(file) && ok;
  if (ok) ok = MoveFileExW(temp, Widen(fileName).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
  if (!ok) {
    DeleteFileW(temp);
    Abort();
  }
}

void TDM::GetInstalledVersion(std::string& version) {
  version.clear();
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKey(VersionKey, true)) return;
  TRegDataType t = reg.GetDataType("Version");
  if (t == rdString || t == rdExpandString) version = reg.ReadString("Version");
}

bool TDM::IsNewerVersionListed() {
  std::string ini = DataFolder + "Update.ini";
  DownloadFile(Endpoints::UpdateBase + "/update/Update.ini", ini);
  wchar_t listed[256] = {};
  GetPrivateProfileStringW(L"Version", L"Ver", L"", listed, 255, Widen(ini).c_str());
  std::string installed;
  GetInstalledVersion(installed);
  return DMUnit::IsNewerVersion(Narrow(listed), installed);
}

void TDM::CheckForUpdates(bool interactive) {
  TFormPtr<TShowLiveUpdateForm> waitForm;
  if (interactive) {
    waitForm.reset(new TShowLiveUpdateForm());
    waitForm->ShowAndPaint();
  }
  bool newer = false;
  try {
    newer = IsNewerVersionListed() || PublicFunctionUnit::IsNewerBuildOnServer();
  } catch (const EAbort&) {
    return;   // the download failed: the check ends without a word
  }
  waitForm.reset();
  if (!newer) {
    if (interactive)
      ShowMessageBox(kUpToDate, MB_ICONINFORMATION);
    return;
  }
  if (ShowMessageBox(kUpdateQuestion, MB_YESNO | MB_ICONINFORMATION) != IDYES)
    return;
  std::string updater = DataFolder + "ZelvoranUpdate.exe";
  HINSTANCE started = ShellExecuteW(Application.Handle, L"open", Widen(updater).c_str(), L"", L"", SW_SHOW);
  if ((INT_PTR)started <= 32) {
    ShowMessageBox(kUpdaterFailed + updater + kGoingOn, MB_ICONWARNING);
    return;
  }
  UpdateRequested = true;
  Application.Terminate();
}

namespace DMUnit {

int CompareVersions(const std::string& a, const std::string& b) {
  std::vector<std::string> pa = VersionParts(a), pb = VersionParts(b);
  size_t n = std::max(pa.size(), pb.size());
  pa.resize(n);
  pb.resize(n);
  for (size_t i = 0; i < n; ++i)
    if (int c = ComparePart(pa[i], pb[i]); c != 0) return c;
  return 0;
}

bool IsNewerVersion(const std::string& listed, const std::string& installed) {
  if (Trim(listed).empty()) return false;
  if (Trim(installed).empty()) return true;
  return CompareVersions(listed, installed) > 0;
}

}  // namespace DMUnit
