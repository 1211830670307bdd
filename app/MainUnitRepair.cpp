// The repair button and the finish page's button.
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "MainUnit.h"

using namespace MainUnit;

void TZelvoranMainForm::RepairBtnClick(TObject*) {
  // The repair driver goes here: the first-run export offer, the backup of the ticked findings
  // (MainUnit::BackupCheckedFindings), the repair-progress dialog around each listed section's
  // repair routine (Sections()[index].Repair), then the finish page (phase 3).
}

void TZelvoranMainForm::FinishBtnClick(TObject*) {
  PublicFunctionUnit::ScanState = 0;
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
