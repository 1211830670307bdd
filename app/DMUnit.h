// The data module: what the program holds beside its windows. The HTTP client and the download
// routine the update check and the tools use, the update check itself, the tray menu, the two
// scan timers and the image lists of the skinned windows.
#pragma once

#include <functional>
#include <string>

#include <windows.h>

#include "../framework/ImageList.h"
#include "../framework/Menus.h"
#include "../framework/Strings.h"
#include "../framework/Timer.h"

// HTTP GET over WinINet with the request headers and the read time-out the program uses.
struct THttpClient {
  int ReadTimeout = 5000;   // milliseconds
  std::string UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
  std::string Accept = "text/html, */*";
  std::string ContentType = "text/html";
  // Fetches the URL and writes the reply's body to file; false when the request failed, timed out
  // or the reply was not a success.
  bool Get(const std::string& url, HANDLE file) const;
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

  // Fetches the URL into the file, replacing it only when the whole download succeeded; any
  // failure (no connection, time-out, an error reply, a folder that cannot be written) leaves the
  // file as it was and ends the calling operation with the silent abort.
  void DownloadFile(const std::string& url, const std::string& fileName);

  void CheckForUpdates(bool interactive);
  bool IsNewerVersionListed();
  void GetInstalledVersion(std::string& version);
};

extern TDM* DM;

namespace DMUnit {
// Compares dot-separated versions part by part, numbers by value ("10.0" > "3.0"), other parts
// by their text; missing parts count as 0. Negative, zero or positive as a is older, equal, newer.
int CompareVersions(const std::string& a, const std::string& b);
// An empty listed version is never newer; an empty installed version is older than any other.
bool IsNewerVersion(const std::string& listed, const std::string& installed);
}  // namespace DMUnit
