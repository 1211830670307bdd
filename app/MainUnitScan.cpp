// The main window's scan: starting and stopping it, the select-all box, the run over the ticked
// sections with its progress, and the hand-over to the results or the finish page.
#include "../framework/Application.h"
#include "../framework/Dialogs.h"
#include "../framework/Exceptions.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "MainUnit.h"

using namespace MainUnit;

namespace {
const char* const kNothingTicked = "Please select the specific options before scanning.";
}  // namespace

void TZelvoranMainForm::ScanNowBtnClick(TObject*) {
  if (ScanRunning() || Busy()) return;
  bool anyTicked = false;
  for (TImage* pic : SectionImages) anyTicked = anyTicked || pic->Tag == 1;
  if (!anyTicked) {
    ShowMessageBox(kNothingTicked, MB_ICONWARNING);
    return;
  }
  // this scan is also the one a later start asked for
  scanRequested_ = false;
  requestedScanTimer_.SetEnabled(false);
  ClearSectionResults();
  RepairGrid->SetItemIndex(-1);
  RepairGrid->Clear();
  SetScanPhase(1);
  ResetScanProgress(true);
  DM->ScanTimerEx.SetEnabled(true);
  DM->ScanStartTime = DM->Clock();

  RunScan();

  abExcludeMsg->SetCaption(ElapsedTimeText(abScanTime->Caption()));
  DM->ScanTimerEx.SetEnabled(false);
  ResetScanProgress(false);
  ShowScanResults();
  RepairGrid->FillWidthWithColumn(0);
  if (RepairGrid->Count() > 0) {
    ScanNotebook->SetPageIndex(1);
    SetScanPhase(2);
  } else {
    RepairLog->Clear();
    TRepairRec& line = RepairLog->GetItem(RepairLog->Add()).Content;
    line.KeyPath = "Problems Found: 0";
    FinishListView->SetItemCount(RepairLog->Count());
    FinishListView->Invalidate();
    ScanNotebook->SetPageIndex(2);
    SetScanPhase(3);
  }
  // A scanner's error is shown once the window is usable again, over what was found so far.
  if (!scanError_.empty()) {
    std::string error = scanError_;
    scanError_.clear();
    ShowException(error);
  }
}

void TZelvoranMainForm::AbortScanBtnClick(TObject*) {
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::StopScan;
}

void TZelvoranMainForm::cbSelectAllClick(TObject* sender) {
  if (Busy()) return;   // the ticks a running repair reads stay as they are
  if (sender == abSelectAll) {
    cbSelectAll->Click();   // runs this handler for the box
    return;
  }
  bool ticked = cbSelectAll->Checked();
  switch (ScanNotebook->PageIndex()) {
    case 0:
      for (TImage* pic : SectionImages) {
        pic->Tag = ticked ? 1 : 0;
        ShowImage(pic, DM->StatImageList, ticked ? StatTicked : StatUnticked);
      }
      break;
    case 1: {
      int section = SelectedSection();
      if (section < 0) break;
      for (int i = 0; i < ProblemsListBox->Count(); ++i) SetFindingChecked(section, i, ticked);
      ProblemsListBox->Invalidate();
      break;
    }
    default:
      break;
  }
}

void TZelvoranMainForm::RunScan() {
  DM->AnimFrame = StatAnimFirst;
  DM->ScanTimer.SetEnabled(true);
  scanError_ = ScanSections(*this, *SectionResults, *IgnoreList);
  DM->ScanTimer.SetEnabled(false);
}

void TZelvoranMainForm::ShowScanResults() {
  cbSelectAll->SetChecked(PublicFunctionUnit::MyRegistryInfo.SelectAll);
  ProblemsListBox->Clear();
  RepairGrid->SetItemIndex(-1);
  RepairGrid->Clear();
  for (int i = 0; i < SectionCount; ++i) {
    if ((*SectionResults)[i].Count() == 0) continue;
    TListItem* row = RepairGrid->AddItem(Sections()[i].Caption);
    row->SubItems = {ItemCountLabels[i]->Caption(), IntToStr(i)};
    row->Update();
  }
  if (RepairGrid->Count() > 0) {
    RepairGrid->SetItemIndex(0);
    RepairGrid->SetColumnCaption(1, Format("Problems Found: %d", TotalProblemCount()));
  } else {
    RepairGrid->SetColumnCaption(1, "Problems Found");
  }
}

void TZelvoranMainForm::ClearSectionResults() {
  if (SectionResults == nullptr) return;
  for (TRegistryContents& c : *SectionResults) c.Clear();
}

// ---- what the scan shows ----

bool TZelvoranMainForm::SectionTicked(int index) const { return SectionImages[index]->Tag > 0; }

void TZelvoranMainForm::ShowSectionImage(int index, int image) {
  if (index < 0 || index >= SectionCount) return;
  ShowImage(SectionImages[index], DM->StatImageList, image);
}

TCaptionTarget* TZelvoranMainForm::CountLabel(int index) { return ItemCountLabels[index]; }

TCaptionTarget* TZelvoranMainForm::CurrentItem() { return ScanOutcomePanel; }

void TZelvoranMainForm::ScanningSection(int number) { DM->ScanSection = number; }

void TZelvoranMainForm::ShowTotalProcess(int percent) {
  panTotalProcess->SetCaption(TotalProcessText(percent));
  pbTotalProcess->SetPosition(percent);
}
