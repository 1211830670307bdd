// The repair button and the finish page's button: the first-run offers, the registry-script
// backup of the ticked findings, the repair run under the repair-progress dialog, the finish page.
#include <vector>

#include "../framework/Application.h"
#include "../framework/Dialogs.h"
#include "../framework/Exceptions.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "FirstFullBackupUnit.h"
#include "MainUnit.h"
#include "MainUnitBackup.h"
#include "RepairDialogUnit.h"
#include "ftpUpFileDialogUnit.h"

using namespace MainUnit;
using PublicFunctionUnit::MyRegistryInfo;

namespace MainUnit {
std::function<void()> ShowFirstFullBackup = [] {
  TFormPtr<TFirstFullBackupDialog> dialog(new TFirstFullBackupDialog(ZelvoranMainForm));
  dialog->ShowModal();
};
// The dialog's OK clears "OneTime"; Cancel leaves the offers due for the next repair.
std::function<void()> ShowBackupUpload = [] {
  TFormPtr<TftpUpFileDialog> dialog(new TftpUpFileDialog(ZelvoranMainForm));
  dialog->ShowModal();
};
std::string RepairBackupFile;
}  // namespace MainUnit

namespace {

const DWORD kProgressIntervalMs = 50;   // how often the backup shows the finding at work

const char* const kBackupDone =
    "Registry backup complete! Backup file at \r%s folder.\r\rYou can use registry restore function to restore "
    "it.\rPress OK to repair problems now!";

// Why the backup is not complete, and the question whether to repair all the same.
std::string BackupProblemText(const TBackupResult& backup) {
  return IncompleteBackupText(backup, "The registry backup could not be completed.", "Repair the problems anyway?");
}

}  // namespace

// Writes the backup of what the repair of the listed sections' ticked findings will remove and
// tells the user. While it is written the repair dialog shows each finding and the window stays
// live; its Cancel or the program's Exit stops the backup, and nothing is saved. True when the
// repair may go on: the backup is complete, or the user said Yes.
bool TZelvoranMainForm::BackupBeforeRepair(TRepairDialogForm& dialog) {
  std::vector<TBackupSection> sections;
  for (int row = 0; row < RepairGrid->Count(); ++row) {
    int index = RowSection(row);
    if (index < 0 || index >= SectionCount) continue;
    const TSection& section = Sections()[index];
    if (section.RepairForm == SectionCommon::TRepairForm::File) continue;   // files go to the recycle bin
    sections.push_back({section.Caption, section.RepairForm, &(*SectionResults)[index]});
  }
  std::string folder = BackupFolder.empty() ? RepairBackupFolder() : BackupFolder;
  DWORD shown = GetTickCount() - kProgressIntervalMs;
  auto step = [&](const TContent& finding) {
    if (GetTickCount() - shown >= kProgressIntervalMs) {
      dialog.abRepair->SetCaption(finding.KeyPath);
      shown = GetTickCount();
    }
    PublicFunctionUnit::ProcessMessages();
    return !PublicFunctionUnit::RepairStopRequested() && !Closing();
  };
  TBackupResult backup = BackupCheckedFindings(sections, PublicFunctionUnit::PlatformKind, folder, Now(), step);
  dialog.Hide();
  if (backup.Stopped) return false;
  RepairBackupFile = backup.Saved ? backup.FileName : std::string();
  if (!backup.Complete)
    return ShowMessageBox(BackupProblemText(backup), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
  if (backup.Saved) ShowMessageBox(Format(kBackupDone, ExtractFilePath(backup.FileName)), MB_ICONINFORMATION);
  return true;
}

void TZelvoranMainForm::RepairBtnClick(TObject*) {
  if (FrameBusy()) return;
  TBusyGuard busy(this);
  // Exit while an offer or the backup is on screen ends the program before anything is repaired.
  if (MyRegistryInfo.OneTime) ShowFirstFullBackup();
  if (Closing()) return;

  std::string error;
  {
    TFormPtr<TRepairDialogForm> dialog(new TRepairDialogForm());
    RepairDialogUnit::RepairDialogForm = dialog.get();
    dialog->Show();
    dialog->Repaint();
    if (!MyRegistryInfo.NotAutoBackup && !BackupBeforeRepair(*dialog)) {
      // Cancelled, refused or ended: nothing was repaired and the results stay for another try.
      if (!Closing()) PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
      return;
    }
    if (Closing()) return;
    dialog->abRepair->SetCaption("Repair");
    dialog->Show();
    dialog->Repaint();
    try {
      RunRepair();
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {
      error = "Unknown error";
    }
    dialog->Hide();
  }

  // the "Status" column (the outcome) always in view; a long key path ends in an ellipsis
  FinishListView->SetColumnWidth(0, FinishListView->Width() - (FinishListView->ColumnWidth(1) + 20));
  ScanNotebook->SetPageIndex(2);
  SetScanPhase(3);
  // A repair routine's error is shown over the finish page, which lists what was repaired.
  if (!error.empty()) ShowException(error);
  if (MyRegistryInfo.OneTime && !Closing()) ShowBackupUpload();
}

void TZelvoranMainForm::RunRepair() {
  RepairLog->Clear();
  FinishListView->SetItemCount(0);
  FinishListView->Invalidate();
  TCaptionHolder noStatus;
  TRepairDialogForm* dialog = RepairDialogUnit::RepairDialogForm;
  TCaptionTarget& status = dialog != nullptr ? static_cast<TCaptionTarget&>(*dialog->abRepair) : noStatus;
  for (int row = 0; row < RepairGrid->Count(); ++row) {
    Application.ProcessMessages();   // the dialog's Cancel between sections too
    if (PublicFunctionUnit::RepairStopRequested()) break;
    int index = RowSection(row);
    if (index < 0 || index >= SectionCount || !Sections()[index].Repair) continue;
    Sections()[index].Repair(status, *FinishListView, (*SectionResults)[index], *RepairLog);
  }
}

void TZelvoranMainForm::FinishBtnClick(TObject*) {
  if (Busy()) return;
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
  ClearSectionResults();
  ResetScanProgress(false);
  RepairGrid->SetItemIndex(-1);
  RepairGrid->Clear();
  ProblemsListBox->Clear();
  RepairLog->Clear();
  FinishListView->SetItemCount(RepairLog->Count());
  FinishListView->Invalidate();
  ScanNotebook->SetPageIndex(0);
  SetScanPhase(0);
}
