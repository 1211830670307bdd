// Sending the repair backup file to the maker's FTP server after the first repair.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <windows.h>

#include "../framework/ComCtrls.h"
#include "../framework/Forms.h"
#include "../framework/StdCtrls.h"

namespace ftpUpFileDialogUnit {

// Connect, send and receive time-outs of the upload, in milliseconds.
extern DWORD UploadTimeout;

enum class TUploadOutcome { Sent, ConnectFailed, TransferFailed, Cancelled };

// Called while the upload runs (every 50 ms or so) with the bytes sent so far and the file's
// size; false cancels.
using TUploadProgress = std::function<bool(uint64_t sent, uint64_t total)>;

// Connects to host (port Endpoints::FtpPort) as user (trimmed with the password when not blank;
// blank: anonymous), changes to directory and stores file under its name in the current remote
// directory. A connection, login or directory failure shows "Connect fail!"; a missing file, a
// transfer failure and a cancel end silently.
TUploadOutcome Upload(const std::string& directory, const std::string& file, const std::string& password,
                      const std::string& user, const std::string& host, const TUploadProgress& progress = {});

// An upload given up (Cancel, time-out) leaves its worker thread to finish the call it is in and
// close its own handles. WaitForUploads asks every worker still running to stop and waits for it
// (a few time-outs at most); the program calls it before it ends.
void WaitForUploads();
int RunningUploads();

}  // namespace ftpUpFileDialogUnit

// The upload offer after the first repair. "OK" marks the first-run offers as done whatever the
// choice and, with "Yes", sends the repair backup file with a gauge; "Cancel" leaves them due.
class TftpUpFileDialog : public TForm {
 public:
  explicit TftpUpFileDialog(TForm* owner = nullptr);

  TPanel* Banner;
  TRadioButton* yesRadioButton;
  TRadioButton* noRadioButton;
  TLabel *Label1, *Label2, *Label3, *Label5;
  TBitBtn* OkBitBtn;
  TButton* CancelButton;
  TLabel* abWaitting;
  TProgressBar* ftpGauge;

  std::string SettingsKey;   // "\\" and the key below HKEY_LOCAL_MACHINE where "OneTime" is written
  bool Cancelled = false;

  void FormCreate(TObject* sender);
  void OkBitBtnClick(TObject* sender);
  void CancelButtonClick(TObject* sender);
  ftpUpFileDialogUnit::TUploadOutcome Upload(const std::string& directory, const std::string& file,
                                             const std::string& password, const std::string& user,
                                             const std::string& host);
};
