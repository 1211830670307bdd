// The "System Restore Point" tool: lists the system's restore points and creates a named one,
// rolls the system back to the selected one (offering a restart) and deletes one, all through
// the system restore provider (PointRestauration).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "../../app/ToolPage.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "PointRestauration.h"

namespace SysRestoreUnit {

inline constexpr const char* RestoreService = "srservice";
inline constexpr int ServiceRunning = SERVICE_RUNNING;

// The current state of a service (SERVICE_RUNNING and the like), -1 when it cannot be queried
// (no such service, no access). Asks only for the right to query.
int GetRestoreServiceState(const std::string& service = RestoreService);

// The restart offered after a restore: lets programs save their work, and ends a program only
// when it hangs.
inline constexpr UINT RebootFlags = EWX_REBOOT | EWX_FORCEIFHUNG;

// The texts of the page that tests read.
inline constexpr const char* NotStartedText =
    "The Windows System Restore function has not started! \rFor more information, please check the help file.";
inline constexpr const char* CreatedText = "The system backup was created successfully!";
inline constexpr const char* CreateFailedText = "Creating system backup was failed.";
inline constexpr const char* NothingToRestoreText = "There are no items to restore!";
inline constexpr const char* RestoreFailedText = "System restore failed!";
// Asked before anything is done. %s: the point's description, then its date as the list shows it.
inline constexpr const char* ConfirmRestoreText =
    "The whole system will be returned to the restore point \"%s\" of %s, and the computer will restart at "
    "once to do it.\rPlease save your work and close your programs first.\r\rDo you want to restore the system "
    "and restart the computer now?";
// The restore is set for the next start, but the computer could not be restarted.
inline constexpr const char* RestartFailedText =
    "The computer could not be restarted: the system is returned to the restore point at its next start.\r"
    "You have to reboot you PC to enable the changes.";
inline constexpr const char* RemovedText = "The system restore point was removed successfully!";
inline constexpr const char* RemoveFailedText = "System restore point was remove failed!";
inline constexpr const char* NameCaption = "Please Enter";
inline constexpr const char* NamePrompt = "System Backup Name";

}  // namespace SysRestoreUnit

// What the page talks to; the system's own where a field is left empty.
struct TSysRestoreSetup {
  std::shared_ptr<PointRestauration::TRestoreProvider> Provider;
  std::function<int()> ServiceState;          // GetRestoreServiceState()
  std::function<bool(UINT flags)> Reboot;     // ExitWindowsEx(flags, 0) after enabling the privilege
};

class TSysRestoreForm : public TToolPage {
 public:
  explicit TSysRestoreForm(TControl* host, TSysRestoreSetup setup = {});

  TPanel* Panel1;
  TMemo* Memo1;
  TListView* RestoreListView;
  TPanel* ButtonBar;
  TButton *BackupButton, *RefreshButton, *RestoreButton, *DeleteButton;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormResize(TObject* sender);
  void RefreshButtonClick(TObject* sender);
  void BackupButtonClick(TObject* sender);
  void RestoreButtonClick(TObject* sender);
  void DeleteButtonClick(TObject* sender);

 private:
  void FitColumns();
  void Refresh();
  void ShowRows(const std::vector<PointRestauration::TRestorePointRow>& rows);
  // The selected row's sequence number; false without a selection.
  bool SelectedSequence(std::string& text) const;
  // The question asked before a restore, naming the selected row's point.
  std::string ConfirmRestoreQuestion() const;

  TSysRestoreSetup setup_;
};
