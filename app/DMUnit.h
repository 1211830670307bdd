// The data module: what the program holds beside its windows. The HTTP client and the download
// routine the update check and the tools use, the update check itself, the tray menu, the two
// scan timers and the image lists of the skinned windows.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <windows.h>

#include "../framework/ImageList.h"
#include "../framework/InternetHandle.h"
#include "../framework/Menus.h"
#include "../framework/Strings.h"
#include "../framework/Timer.h"

// HTTP GET over WinINet with the request headers and the read time-out the program uses.
struct THttpClient {
  int ReadTimeout = 5000;   // milliseconds
  std::string UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
  std::string Accept = "text/html, */*";
  std::string ContentType = "text/html";
  TNetDeadline Deadline;    // when set, the whole request ends by then, however the server answers
  // Fetches the URL and hands the reply's body to take, piece by piece; false when the request
  // failed, timed out, passed its deadline, was stopped (stop set) or the reply was not a success
  // or not whole, or when take refused a piece.
  using TTake = std::function<bool(const char* bytes, DWORD size)>;
  bool Fetch(const std::string& url, const TTake& take, const std::atomic<bool>* stop = nullptr) const;
  // The body into the file.
  bool Get(const std::string& url, HANDLE file) const;
};

namespace DMUnit {

enum class TUpdateOutcome { Running, Failed, UpToDate, Newer };

// What an update check works with, taken on the GUI thread before it starts.
struct TUpdateRequest {
  THttpClient Client;        // its deadline ends the whole check
  std::string UpdateBase;    // the update server, "http://host"
  std::string DataFolder;    // where "Update.ini" goes (with a trailing "\")
  std::string Installed;     // the installed "Version"
  std::string Executable;    // this program: its name on the server, its date here
  std::string Agent;         // the name the server's build date is asked with
};

// The listed version: "Update.ini" fetched (and kept in the data folder) and its "Ver" compared
// with the installed version. Failed when the list could not be fetched whole or stop was set.
TUpdateOutcome IsNewerVersionListed(const TUpdateRequest& request, const std::atomic<bool>& stop);
// The whole check's network part: the listed version, then, only when that is not newer, the
// build date of the server's copy of the executable.
TUpdateOutcome RunUpdateCheck(const TUpdateRequest& request, const std::atomic<bool>& stop);

}  // namespace DMUnit

// One update check on a thread of its own, which its owner follows from the GUI thread. Every
// request of it ends by the request's deadline; an owner that lets it go (the deadline passed,
// the program ends) stops it: it writes nothing more and its outcome is not read.
class TUpdateCheck {
 public:
  explicit TUpdateCheck(DMUnit::TUpdateRequest request);
  ~TUpdateCheck();
  TUpdateCheck(const TUpdateCheck&) = delete;
  TUpdateCheck& operator=(const TUpdateCheck&) = delete;

  DMUnit::TUpdateOutcome Outcome() const;   // Running until it has ended
  bool Wait(DWORD milliseconds) const;       // true when it has ended by then
  bool Expired() const;                      // its deadline has passed

 private:
  struct TShared;
  std::shared_ptr<TShared> shared_;
};

class TDM {
 public:
  TDM();
  ~TDM();
  TDM(const TDM&) = delete;
  TDM& operator=(const TDM&) = delete;

  THttpClient IdHTTP1;

  // The tray menu and the results page's exclude menu.
  TPopupMenu MainPopupMenu;
  TMenuItem *OpenMenu, *Home1, *About1, *N2, *OnlineUpdate1, *N1, *Exit1;
  TPopupMenu PopupExcludeMenu;
  TMenuItem* ExcludeMenu;

  // ScanTimer (20 ms) animates the section being scanned and shows the running total; while it
  // is enabled a scan runs. ScanTimerEx (1 s) shows the elapsed time.
  TTimer ScanTimer;
  TTimer ScanTimerEx;

  // The pictures of the skinned windows (a bitmap resource of the same name each).
  TImageList PopupImageList{16, 16};
  TImageList ScanImageList{136, 33};
  TImageList ExBtnImageList{53, 22};
  TImageList BackupImageList{136, 33};
  TImageList StatImageList{16, 16};
  TImageList ProblemsImageList{16, 70};
  TImageList MinCloseImageList{21, 11};
  TImageList MainImageList{136, 33};
  TImageList BackupStatImageList{16, 56};
  TImageList LelvelImageList{36, 12};
  TImageList AboutImageList{153, 60};
  TImageList BackupTabImageList{107, 31};

  int AnimFrame = 0;
  int ScanSection = -1;
  TDateTime ScanStartTime = 0;
  std::function<TDateTime()> Clock = Now;   // the elapsed time's clock; tests drive their own

  bool UpdateRequested = false;   // the user agreed to update and the updater was started

  // The whole update check, every request of it, ends within this many milliseconds. The
  // start-up's check runs beside the window, which never waits for it; UpdateTimer follows it
  // from the message loop, and its question waits until the program is free.
  DWORD UpdateDeadline = 5000;
  TTimer UpdateTimer;
  // True while the start-up's check runs or its question waits.
  bool UpdateCheckPending() const { return startupCheck_ != nullptr; }
  // Starts the updater (its full path, its folder); 0, or the system's error code. Tests put their own in.
  std::function<DWORD(const std::string& file, const std::string& folder)> RunUpdater;

  // Where the update check keeps "Update.ini" and finds "ZelvoranUpdate.exe" (the executable's
  // folder, with a trailing "\"), and the key of HKEY_LOCAL_MACHINE holding the installed
  // "Version". Tests point both at their own.
  std::string DataFolder;
  std::string VersionKey;

  void DataModuleCreate();

  void OpenMenuClick(TObject* sender);
  void Home1Click(TObject* sender);
  void About1Click(TObject* sender);
  void OnlineUpdate1Click(TObject* sender);
  void Exit1Click(TObject* sender);
  void ScanTimerTimer(TObject* sender);
  void ScanTimerExTimer(TObject* sender);
  void UpdateTimerTimer(TObject* sender);

  // Fetches the URL into the file, replacing it only when the whole download succeeded; any
  // failure (no connection, time-out, an error reply, a folder that cannot be written, a download
  // not done within DownloadDeadline) leaves the file as it was and ends the calling operation
  // with the silent abort.
  void DownloadFile(const std::string& url, const std::string& fileName);
  DWORD DownloadDeadline = 60000;   // milliseconds for a whole download

  // The update check. Asked for (interactive), it shows its wait window and answers when done,
  // by its deadline at the latest; at start-up it runs beside the program and asks only when
  // something is newer.
  void CheckForUpdates(bool interactive);
  void GetInstalledVersion(std::string& version);

 private:
  DMUnit::TUpdateRequest UpdateRequest();
  // What the ended check found: the question, or (asked for) the word that nothing is newer.
  void AnswerUpdateCheck(DMUnit::TUpdateOutcome outcome, bool interactive);
  // The updater, held against writing until the system has started it.
  void StartUpdater();
  std::unique_ptr<TUpdateCheck> startupCheck_;
};

extern TDM* DM;

namespace DMUnit {
// Compares dot-separated versions part by part, numbers by value ("10.0" > "3.0"), other parts
// by their text; missing parts count as 0. Negative, zero or positive as a is older, equal, newer.
int CompareVersions(const std::string& a, const std::string& b);
// An empty listed version is never newer; an empty installed version is older than any other.
bool IsNewerVersion(const std::string& listed, const std::string& installed);
}  // namespace DMUnit
