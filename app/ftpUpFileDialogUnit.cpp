#include "ftpUpFileDialogUnit.h"

#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "../framework/Application.h"
#include "../framework/Dialogs.h"
#include "../framework/InternetHandle.h"
#include "../framework/Registry.h"
#include "../scan/PublicFunctionUnit.h"
#include "MainUnit.h"
#include "../framework/Endpoints.h"
#include "../framework/Strings.h"

namespace ftpUpFileDialogUnit {

DWORD UploadTimeout = 30000;

namespace {

// One upload, shared by the caller and the worker thread that talks to the server. The worker
// alone opens and closes the WinINet handles, each once it is done with it; the caller reads the
// progress and may only ask it to stop. Every call of the worker that waits on the server ends
// after the session's time-outs at the latest, so a worker asked to stop ends by itself soon.
struct TUploadState {
  std::wstring Host, User, Password, Directory, Name;
  INTERNET_PORT Port = 21;
  DWORD Timeout = 30000;
  HANDLE File = INVALID_HANDLE_VALUE;
  HANDLE Finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);   // set when the worker is done
  std::atomic<bool> Cancel{false};
  std::atomic<bool> Done{false};
  std::atomic<bool> Connected{false};   // logged in and in the directory
  std::atomic<uint64_t> Sent{0};
  std::atomic<DWORD> LastActivity{0};
  std::atomic<TUploadOutcome> Outcome{TUploadOutcome::TransferFailed};

  ~TUploadState() {
    if (File != INVALID_HANDLE_VALUE) CloseHandle(File);
    if (Finished != nullptr) CloseHandle(Finished);
  }
};

TUploadOutcome Transfer(TUploadState& s) {
  // Declared in this order, the handles close child first: the file, the connection, the session.
  TInternetHandle session(InternetOpenW(L"Zelvoran", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (session.Handle == nullptr) return TUploadOutcome::ConnectFailed;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT})
    InternetSetOptionW(session.Handle, option, &s.Timeout, sizeof s.Timeout);
  if (s.Cancel) return TUploadOutcome::Cancelled;
  TInternetHandle connection(InternetConnectW(session.Handle, s.Host.c_str(), s.Port,
                                              s.User.empty() ? nullptr : s.User.c_str(),
                                              s.User.empty() ? nullptr : s.Password.c_str(), INTERNET_SERVICE_FTP,
                                              INTERNET_FLAG_PASSIVE, 0));
  if (connection.Handle == nullptr || !FtpSetCurrentDirectoryW(connection.Handle, s.Directory.c_str()))
    return TUploadOutcome::ConnectFailed;
  s.Connected = true;
  s.LastActivity = GetTickCount();
  wchar_t current[MAX_PATH + 1] = {};
  DWORD length = MAX_PATH;
  if (!FtpGetCurrentDirectoryW(connection.Handle, current, &length)) return TUploadOutcome::TransferFailed;
  std::wstring remote(current, wcsnlen(current, MAX_PATH));
  if (remote.empty() || remote.back() != L'/') remote += L'/';
  remote += s.Name;
  TInternetHandle upload(FtpOpenFileW(connection.Handle, remote.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0));
  if (upload.Handle == nullptr) return TUploadOutcome::TransferFailed;
  std::vector<char> block(16384);
  for (;;) {
    if (s.Cancel) return TUploadOutcome::Cancelled;
    DWORD read = 0;
    if (!ReadFile(s.File, block.data(), (DWORD)block.size(), &read, nullptr)) return TUploadOutcome::TransferFailed;
    if (read == 0) break;
    DWORD written = 0;
    if (!InternetWriteFile(upload.Handle, block.data(), read, &written) || written != read)
      return TUploadOutcome::TransferFailed;
    s.Sent += written;
    s.LastActivity = GetTickCount();
  }
  // Closing the file ends the transfer; only the server's answer to that tells it was stored.
  HINTERNET file = upload.Handle;
  upload.Handle = nullptr;
  return InternetCloseHandle(file) ? TUploadOutcome::Sent : TUploadOutcome::TransferFailed;
}

// The uploads whose workers may still run. A caller that gives up (Cancel, time-out) leaves its
// worker to end by itself; before the program ends, every one still running is asked to stop and
// waited for, up to a few of its time-outs.
class TUploadWorkers {
 public:
  ~TUploadWorkers() { WaitAll(); }

  void Start(const std::shared_ptr<TUploadState>& state) {
    std::thread([state] {
      state->Outcome = Transfer(*state);
      state->Done = true;
      SetEvent(state->Finished);
    }).detach();
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(running_, [](const auto& s) { return s->Done.load(); });
    running_.push_back(state);
  }

  void WaitAll() {
    std::vector<std::shared_ptr<TUploadState>> all;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      all.swap(running_);
    }
    for (const auto& state : all) state->Cancel = true;
    for (const auto& state : all) WaitForSingleObject(state->Finished, 3 * state->Timeout + 1000);
  }

  int Running() {
    std::lock_guard<std::mutex> lock(mutex_);
    return (int)std::count_if(running_.begin(), running_.end(), [](const auto& s) { return !s->Done; });
  }

 private:
  std::mutex mutex_;
  std::vector<std::shared_ptr<TUploadState>> running_;
};

TUploadWorkers& Workers() {
  static TUploadWorkers workers;
  return workers;
}

TUploadOutcome ConnectFailed() {
  ShowMessage("Connect fail!");
  return TUploadOutcome::ConnectFailed;
}

}  // namespace

TUploadOutcome Upload(const std::string& directory, const std::string& file, const std::string& password,
                      const std::string& user, const std::string& host, const TUploadProgress& progress) {
  auto state = std::make_shared<TUploadState>();
  std::string name = Trim(user), pass = password;
  if (!name.empty()) pass = Trim(password);
  else name = user;
  state->Host = Widen(Trim(host));
  state->User = Widen(name);
  state->Password = Widen(pass);
  state->Directory = Widen(directory);
  state->Name = Widen(ExtractFileName(file));
  state->Port = (INTERNET_PORT)Endpoints::FtpPort;
  if (!file.empty())
    state->File = CreateFileW(Widen(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (state->File == INVALID_HANDLE_VALUE) return TUploadOutcome::TransferFailed;   // nothing to send
  LARGE_INTEGER size{};
  GetFileSizeEx(state->File, &size);
  uint64_t total = (uint64_t)size.QuadPart;

  state->Timeout = UploadTimeout;
  state->LastActivity = GetTickCount();

  // The server is talked to on a thread of its own, so that the progress handler (which lets the
  // windows handle their messages) is called while it waits, Cancel works at once and a server
  // that stops answering is given up after the time-out.
  Workers().Start(state);
  bool timedOut = false;
  while (!state->Done) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    if (progress && !state->Cancel && !progress(state->Sent, total)) state->Cancel = true;
    timedOut = GetTickCount() - state->LastActivity > UploadTimeout;
    if (state->Cancel || timedOut) break;
  }
  if (!state->Done) {
    state->Cancel = true;   // the worker ends by itself once its call returns
    if (timedOut && !state->Connected) return ConnectFailed();
    return timedOut ? TUploadOutcome::TransferFailed : TUploadOutcome::Cancelled;
  }
  if (progress && state->Outcome == TUploadOutcome::Sent) progress(state->Sent, total);
  if (state->Outcome == TUploadOutcome::ConnectFailed) return ConnectFailed();
  return state->Outcome;
}

void WaitForUploads() { Workers().WaitAll(); }

int RunningUploads() { return Workers().Running(); }

}  // namespace ftpUpFileDialogUnit

using ftpUpFileDialogUnit::TUploadOutcome;

TftpUpFileDialog::TftpUpFileDialog(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::Dialog, .ClassName = "TftpUpFileDialog"}),
      SettingsKey(PublicFunctionUnit::SettingsKey) {
  SetCaption("Zelvoran - Repair Successful");
  SetColor(clBtnFace);
  SetClientSize(456, 303);
  Position = TPosition::ScreenCenter;

  Banner = new TPanel(this);
  Banner->SetBounds(0, 0, 456, 49);
  Banner->SetColor(clWhite);
  Banner->SetCaption("    Permission to send the repaired results");
  yesRadioButton = new TRadioButton(this);
  yesRadioButton->SetBounds(24, 68, 17, 17);
  noRadioButton = new TRadioButton(this);
  noRadioButton->SetBounds(24, 140, 17, 17);
  auto label = [this](int top, const char* text, TRadioButton* choice) {
    TLabel* l = new TLabel(this);
    l->SetBounds(44, top, 400, 16);
    l->SetCaption(text);
    l->OnClick = [choice](TObject*) { choice->SetChecked(true); };
    return l;
  };
  Label1 = label(68, "Yes, I want to help Zelvoran fix more problems. Send my FIRST", yesRadioButton);
  Label2 = label(86, "repaired results to Zelvoran's repair database to help track", yesRadioButton);
  Label3 = label(104, "problems.", yesRadioButton);
  Label5 = label(140, "No, I do not want to send my repaired results to Zelvoran.", noRadioButton);
  yesRadioButton->SetChecked(true);

  OkBitBtn = new TBitBtn(this);
  OkBitBtn->SetBounds(264, 190, 80, 27);
  OkBitBtn->SetCaption("OK");
  OkBitBtn->OnClick = [this](TObject* s) { OkBitBtnClick(s); };
  CancelButton = new TButton(this);
  CancelButton->SetBounds(356, 190, 80, 27);
  CancelButton->SetCaption("Cancel");
  CancelButton->OnClick = [this](TObject* s) { CancelButtonClick(s); };
  abWaitting = new TLabel(this);
  abWaitting->SetBounds(24, 236, 400, 16);
  abWaitting->SetCaption("Sending is in process, please wait.");
  abWaitting->SetVisible(false);
  ftpGauge = new TProgressBar(this);
  ftpGauge->SetBounds(24, 260, 408, 17);
  ftpGauge->SetBarColor(clGreen);

  OnCreate = [this](TObject* s) { FormCreate(s); };
  DoCreate();
}

void TftpUpFileDialog::FormCreate(TObject*) {
  SetHeight(250);   // the gauge and the waiting text show only while sending
  Cancelled = false;
  ftpGauge->SetPosition(0);
}

TUploadOutcome TftpUpFileDialog::Upload(const std::string& directory, const std::string& file,
                                        const std::string& password, const std::string& user,
                                        const std::string& host) {
  Cancelled = false;
  return ftpUpFileDialogUnit::Upload(directory, file, password, user, host, [this](uint64_t sent, uint64_t total) {
    Application.ProcessMessages();   // the dialog repaints and its Cancel can be pressed
    ftpGauge->SetRange(0, 1000);
    ftpGauge->SetPosition(total == 0 ? 0 : (int)(sent * 1000 / total));
    return !Cancelled && !Closing();
  });
}

void TftpUpFileDialog::OkBitBtnClick(TObject*) {
  PublicFunctionUnit::MyRegistryInfo.OneTime = false;
  {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (reg.OpenKey(SettingsKey, false)) reg.WriteString("OneTime", "1");
  }
  if (yesRadioButton->Checked()) {
    TBusyGuard busy(this);   // the upload pumps messages
    SetHeight(346);
    OkBitBtn->SetEnabled(false);
    SetCursor(TCursor::HourGlass);
    abWaitting->SetVisible(true);
    Repaint();
    Upload("/", MainUnit::RepairBackupFile, Endpoints::FtpPassword, Endpoints::FtpUser, Endpoints::FtpHost);
    abWaitting->SetVisible(false);
    SetCursor(TCursor::Default);
    OkBitBtn->SetEnabled(true);
    ModalResult = mrOk;
    Close();
  } else if (noRadioButton->Checked()) {
    ModalResult = mrOk;
    Close();
  }
}

void TftpUpFileDialog::CancelButtonClick(TObject*) {
  Cancelled = true;
  SetCursor(TCursor::Default);
  ModalResult = mrCancel;
  Close();
}
