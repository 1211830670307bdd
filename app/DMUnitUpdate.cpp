// The data module's HTTP client, its download routine and the update check.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "../framework/InternetHandle.h"
#include "../framework/Application.h"
#include "../framework/Dialogs.h"
#include "../framework/Endpoints.h"
#include "../framework/Exceptions.h"
#include "../framework/Handles.h"
#include "../framework/Registry.h"
#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "MainUnit.h"
#include "ShowLiveUpdateUnit.h"

namespace {

const char* const kUpToDate = "There are no updates available at this time.\rYour Zelvoran is up-to-date.";
const char* const kUpdateQuestion =
    "A newer version of Zelvoran is available, Zelvoran will shut down to install the newer version.\r"
    "Would you like to update now?";
const char* const kUpdaterFailed = "The updater could not be started:\r";
const char* const kGoingOn = "\r\rZelvoran goes on with this version.";
// How long an interactive check waits beyond its deadline for its last call to return.
const DWORD kLastCallGrace = 1000;
// A version list is a few lines; a longer reply is no list.
const size_t kMaxVersionList = 1 << 20;

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

// Closes a request's handle when its deadline passes while a call on it waits (on a server that
// trickles its reply), so that the call returns then. Every call on the request goes through
// Call: once the deadline has passed none is made, and the handle is closed once only.
class TDeadlineWatch {
 public:
  TDeadlineWatch(const TNetDeadline& deadline, TInternetHandle& request) : request_(request) {
    if (deadline.At != 0)
      CreateTimerQueueTimer(&timer_, nullptr, Fire, this, deadline.Limit(INFINITE), 0, WT_EXECUTEONLYONCE);
  }
  ~TDeadlineWatch() {
    if (timer_ != nullptr) DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);   // waits for Fire
    if (closed_) request_.Handle = nullptr;
  }
  TDeadlineWatch(const TDeadlineWatch&) = delete;
  TDeadlineWatch& operator=(const TDeadlineWatch&) = delete;

  // f's result, or false once the deadline has passed.
  template <class F>
  bool Call(F&& f) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (fired_) return false;
      inCall_ = true;
    }
    bool result = f();
    std::lock_guard<std::mutex> lock(mutex_);
    inCall_ = false;
    return result && !fired_;
  }

 private:
  static void CALLBACK Fire(void* self, BOOLEAN) {
    auto* watch = static_cast<TDeadlineWatch*>(self);
    std::lock_guard<std::mutex> lock(watch->mutex_);
    watch->fired_ = true;
    if (!watch->inCall_) return;   // the next call is not made; the owner closes the handle
    InternetCloseHandle(watch->request_.Handle);
    watch->closed_ = true;
  }
  TInternetHandle& request_;
  HANDLE timer_ = nullptr;
  std::mutex mutex_;
  bool fired_ = false, inCall_ = false, closed_ = false;
};

}  // namespace

bool THttpClient::Fetch(const std::string& url, const TTake& take, const std::atomic<bool>* stop) const {
  auto givenUp = [&] { return (stop != nullptr && stop->load()) || Deadline.Passed(); };
  if (givenUp()) return false;
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

  // Each read waits ReadTimeout at most; with a deadline no call of the request waits beyond it.
  auto limit = [&](HINTERNET handle) {
    if (Deadline.At != 0) {
      Deadline.Apply(handle, (DWORD)ReadTimeout);
      return;
    }
    DWORD timeout = (DWORD)ReadTimeout;
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  };
  TInternetHandle internet(InternetOpenW(Widen(UserAgent).c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (internet.Handle == nullptr) return false;
  limit(internet.Handle);
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
  limit(request.Handle);
  TDeadlineWatch watch(Deadline, request);
  HINTERNET h = request.Handle;
  std::wstring headers = L"Content-Type: " + Widen(ContentType) + L"\r\n";
  if (!watch.Call([&] { return HttpSendRequestW(h, headers.c_str(), (DWORD)headers.size(), nullptr, 0); }) ||
      givenUp())
    return false;

  DWORD status = 0, size = sizeof status;
  if (!watch.Call([&] { return HttpQueryInfoW(h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr); }) ||
      status < 200 || status > 299)
    return false;
  char buffer[16384];
  unsigned long long received = 0;
  for (;;) {
    // what is left of the deadline; only what has arrived is read (a read for more waits until
    // that much has come, however slowly)
    DWORD available = 0, read = 0;
    if (!watch.Call([&] {
          limit(h);
          return InternetQueryDataAvailable(h, &available, 0, 0);
        }) ||
        givenUp())
      return false;
    DWORD wanted = std::min<DWORD>(std::max<DWORD>(available, 1), sizeof buffer);
    if (!watch.Call([&] { return InternetReadFile(h, buffer, wanted, &read); }) || givenUp()) return false;
    if (read == 0) break;
    if (!take(buffer, read)) return false;
    received += read;
  }
  // A reply that announced its length must have delivered all of it.
  DWORD expected = 0;
  size = sizeof expected;
  bool announced = watch.Call(
      [&] { return HttpQueryInfoW(h, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &expected, &size, nullptr); });
  return !announced || received == expected;
}

bool THttpClient::Get(const std::string& url, HANDLE file) const {
  return Fetch(url, [file](const char* bytes, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, nullptr) && written == size;
  });
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
  // a server that trickles or never answers holds the calling tool no longer than this
  THttpClient client = IdHTTP1;
  client.Deadline = TNetDeadline::In(DownloadDeadline);
  bool ok = client.Get(url, file);
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

// ---- the check on its own thread ----

struct TUpdateCheck::TShared {
  DMUnit::TUpdateRequest Request;
  std::atomic<bool> Stop{false};
  std::atomic<int> Outcome{(int)DMUnit::TUpdateOutcome::Running};
  TKernelHandle Done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

  void End(DMUnit::TUpdateOutcome outcome) {
    Outcome = (int)outcome;
    SetEvent(Done.Get());
  }
};

TUpdateCheck::TUpdateCheck(DMUnit::TUpdateRequest request) : shared_(std::make_shared<TShared>()) {
  shared_->Request = std::move(request);
  try {
    // The thread holds the shared state: a check let go ends on its own, later.
    std::thread([shared = shared_] {
      DMUnit::TUpdateOutcome outcome = DMUnit::TUpdateOutcome::Failed;
      try {
        outcome = DMUnit::RunUpdateCheck(shared->Request, shared->Stop);
      } catch (...) {
      }
      shared->End(outcome);
    }).detach();
  } catch (const std::exception&) {
    shared_->End(DMUnit::TUpdateOutcome::Failed);
  }
}

TUpdateCheck::~TUpdateCheck() { shared_->Stop = true; }

DMUnit::TUpdateOutcome TUpdateCheck::Outcome() const { return (DMUnit::TUpdateOutcome)shared_->Outcome.load(); }

bool TUpdateCheck::Wait(DWORD milliseconds) const {
  return WaitForSingleObject(shared_->Done.Get(), milliseconds) == WAIT_OBJECT_0;
}

bool TUpdateCheck::Expired() const { return shared_->Request.Client.Deadline.Passed(); }

// ---- the check as the program runs it ----

DMUnit::TUpdateRequest TDM::UpdateRequest() {
  DMUnit::TUpdateRequest request;
  request.Client = IdHTTP1;
  request.Client.Deadline = TNetDeadline::In(UpdateDeadline);
  request.UpdateBase = Endpoints::UpdateBase;
  request.DataFolder = DataFolder;
  GetInstalledVersion(request.Installed);
  request.Executable = ExeName();
  request.Agent = Application.Title;
  return request;
}

void TDM::CheckForUpdates(bool interactive) {
  if (!interactive) {
    if (startupCheck_ != nullptr) return;   // one runs already
    startupCheck_ = std::make_unique<TUpdateCheck>(UpdateRequest());
    UpdateTimer.SetEnabled(true);
    return;
  }
  // Asked for: a check of the start-up's still under way is not needed any more.
  UpdateTimer.SetEnabled(false);
  startupCheck_.reset();
  DMUnit::TUpdateOutcome outcome;
  {
    TFormPtr<TShowLiveUpdateForm> waitForm(new TShowLiveUpdateForm());
    waitForm->ShowAndPaint();
    TUpdateCheck check(UpdateRequest());
    check.Wait(UpdateDeadline + kLastCallGrace);
    outcome = check.Outcome();
  }
  AnswerUpdateCheck(outcome, true);
}

void TDM::UpdateTimerTimer(TObject*) {
  if (startupCheck_ == nullptr) {
    UpdateTimer.SetEnabled(false);
    return;
  }
  DMUnit::TUpdateOutcome outcome = startupCheck_->Outcome();
  if (outcome == DMUnit::TUpdateOutcome::Running) {
    if (!startupCheck_->Expired()) return;
    outcome = DMUnit::TUpdateOutcome::Failed;   // its deadline has passed: given up
  } else if (outcome == DMUnit::TUpdateOutcome::Newer) {
    // The question waits until the program is free: no scan, repair, busy page or dialog, and
    // no finish page the user has not left (agreeing ends the program).
    if (Application.Terminated()) outcome = DMUnit::TUpdateOutcome::Failed;
    else if (ZelvoranMainForm != nullptr && !ZelvoranMainForm->FreeForUnattendedWork()) return;
  }
  UpdateTimer.SetEnabled(false);
  startupCheck_.reset();
  AnswerUpdateCheck(outcome, false);
}

void TDM::AnswerUpdateCheck(DMUnit::TUpdateOutcome outcome, bool interactive) {
  switch (outcome) {
    case DMUnit::TUpdateOutcome::Newer:
      break;
    case DMUnit::TUpdateOutcome::UpToDate:
      if (interactive) ShowMessageBox(kUpToDate, MB_ICONINFORMATION);
      return;
    default:
      return;   // the check failed or was given up: nothing is said
  }
  if (ShowMessageBox(kUpdateQuestion, MB_YESNO | MB_ICONINFORMATION) != IDYES) return;
  StartUpdater();
}

void TDM::StartUpdater() {
  std::string updater = DataFolder + "ZelvoranUpdate.exe";
  // From before the start until the system has started it, the file is held open against
  // writing, renaming and deleting: what runs is the file that lies in the program's folder.
  DWORD error = ERROR_SUCCESS;
  {
    TKernelHandle held(CreateFileW(Widen(updater).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    error = !held ? GetLastError() : RunUpdater ? RunUpdater(updater, DataFolder) : (DWORD)ERROR_INVALID_FUNCTION;
  }
  if (error != ERROR_SUCCESS) {
    ShowMessageBox(kUpdaterFailed + updater + kGoingOn, MB_ICONWARNING);
    return;
  }
  UpdateRequested = true;
  Exit1Click(Exit1);   // as the tray menu's "Exit": whatever runs stops, and the program ends
}

namespace DMUnit {

TUpdateOutcome IsNewerVersionListed(const TUpdateRequest& request, const std::atomic<bool>& stop) {
  std::string list;
  bool fetched = request.Client.Fetch(
      request.UpdateBase + "/update/Update.ini",
      [&](const char* bytes, DWORD size) {
        if (list.size() + size > kMaxVersionList) return false;
        list.append(bytes, size);
        return true;
      },
      &stop);
  // Kept beside the program, replaced only by a whole list.
  std::string ini = request.DataFolder + "Update.ini";
  if (!fetched || stop || !ReplaceFileContents(ini, list)) return TUpdateOutcome::Failed;
  wchar_t listed[256] = {};
  GetPrivateProfileStringW(L"Version", L"Ver", L"", listed, 255, Widen(ini).c_str());
  return IsNewerVersion(Narrow(listed), request.Installed) ? TUpdateOutcome::Newer : TUpdateOutcome::UpToDate;
}

TUpdateOutcome RunUpdateCheck(const TUpdateRequest& request, const std::atomic<bool>& stop) {
  TUpdateOutcome listed = IsNewerVersionListed(request, stop);
  if (listed != TUpdateOutcome::UpToDate) return listed;
  std::string url = request.UpdateBase + "/update/" + ExtractFileName(request.Executable);
  bool newer = PublicFunctionUnit::IsNewerBuildOnServer(url, request.Executable, request.Agent, request.Client.Deadline);
  // an answer cut off by the deadline says nothing about the server's copy
  if (stop || request.Client.Deadline.Passed()) return TUpdateOutcome::Failed;
  return newer ? TUpdateOutcome::Newer : TUpdateOutcome::UpToDate;
}

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
