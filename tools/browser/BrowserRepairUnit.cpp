#include "BrowserRepairUnit.h"

#include "../../framework/Dialogs.h"
#include "../../framework/PageBuilders.h"
#include "../../scan/PublicFunctionUnit.h"
#include "BrowserRepairUnitBackup.h"
#include "IePluginsUnitBackup.h"

using namespace BrowserRepairUnit;

namespace {

const char* const kSelectItem = "Please select the specific item for this operation!";
const char* const kBackupIncomplete = "The backup of the Internet Explorer settings could not be completed.";
const char* const kRestoreAnyway = "Restore the Internet Explorer to the default settings anyway?";

struct TColumn {
  const char* Caption;
  int Width;
};
const TColumn kColumns[] = {{"", 25}, {"Name", 200}, {"Status", 80}};
const int kNameColumn = 1, kStatusColumn = 2;

const TColor kRepairingColor = RGB(255, 0, 0);
const TColor kCompletedColor = RGB(0, 128, 0);

// Why the backup is not complete, and the question whether to go on all the same.
std::string BackupProblemText(const MainUnit::TBackupResult& backup) {
  return MainUnit::IncompleteBackupText(backup, kBackupIncomplete, kRestoreAnyway);
}

}  // namespace

TBrowserRepairForm::TBrowserRepairForm(TControl* host) : TToolPage(host, "TBrowserRepairForm") {
  SetCaption("Browser Repair");
  SetColor(clWhite);
  for (int i = 0; i < IERepairItemUnit::RepairItemCount; ++i) Actions[i] = IERepairItemUnit::RepairItems[i].Action;

  IERepairListView = new TListView(this, {.CheckBoxes = true, .RowSelect = true, .GridLines = true});
  IERepairListView->Name = "IERepairListView";
  IERepairListView->SetBounds(8, 8, 473, 284);
  for (const TColumn& c : kColumns) IERepairListView->AddColumn(c.Caption, c.Width);
  IERepairListView->OnCustomDrawSubItem = [this](TListView* s, int i, int c, TColor& color) {
    IERepairListViewCustomDrawSubItem(s, i, c, color);
  };

  cbSelectAll = NewCheckBox(this, "", 8, 302, 16);
  cbSelectAll->Name = "cbSelectAll";
  cbSelectAll->SetChecked(true);
  abSelectAll = NewLabel(this, "Select All", 26, 304, 80);
  abSelectAll->Name = "abSelectAll";
  abSelectAll->SetCursor(TCursor::HandPoint);
  DeleteItemBtn = new TButton(this);
  DeleteItemBtn->Name = "DeleteItemBtn";
  DeleteItemBtn->SetBounds(396, 299, 85, 27);
  DeleteItemBtn->SetCaption("Restore");

  cbSelectAll->OnClick = [this](TObject* s) { cbSelectAllClick(s); };
  abSelectAll->OnClick = [this](TObject* s) { cbSelectAllClick(s); };
  DeleteItemBtn->OnClick = [this](TObject* s) { DeleteItemBtnClick(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  DoCreate();
}

void TBrowserRepairForm::FormShow(TObject*) {
  if (Busy()) return;
  FillRepairList();
}

void TBrowserRepairForm::FormResize(TObject*) {
  int name = IERepairListView->Width() - IERepairListView->ColumnWidth(0) -
             IERepairListView->ColumnWidth(kStatusColumn) - 20;
  IERepairListView->SetColumnWidth(kNameColumn, name);
}

void TBrowserRepairForm::FillRepairList() {
  IERepairListView->BeginUpdate();
  IERepairListView->Clear();
  for (const IERepairItemUnit::TRepairItem& item : IERepairItemUnit::RepairItems) {
    TListItem* row = IERepairListView->AddItem("");
    row->SubItems = {item.Caption, ""};
    row->Checked = true;
    row->Update();
  }
  IERepairListView->EndUpdate();
}

void TBrowserRepairForm::cbSelectAllClick(TObject* sender) {
  if (Busy()) return;
  if (sender == abSelectAll) {
    cbSelectAll->SetChecked(!cbSelectAll->Checked());   // its own click then sets the rows
    return;
  }
  for (int i = 0; i < IERepairListView->Count(); ++i) IERepairListView->SetChecked(i, cbSelectAll->Checked());
}

void TBrowserRepairForm::DeleteItemBtnClick(TObject*) {
  if (Busy()) return;
  if (TickedRows().empty()) {
    ShowMessageBox(kSelectItem, MB_OK | MB_ICONWARNING);
    return;
  }
  if (ShowMessageBox(RestoreWarning, MB_YESNO | MB_ICONWARNING) != IDYES) return;
  RunRepairs();
}

std::vector<int> TBrowserRepairForm::TickedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < IERepairListView->Count() && i < IERepairItemUnit::RepairItemCount; ++i)
    if (IERepairListView->IsChecked(i)) rows.push_back(i);
  return rows;
}

// Writes the backup of what the actions of rows will change. True when they may run: the backup
// is complete, or the user said Yes.
bool TBrowserRepairForm::BackupBeforeRepairs(const std::vector<int>& rows, TRepairBackup& backup) {
  std::string folder = BackupFolder.empty() ? IePluginsUnit::PluginBackupFolder() : BackupFolder;
  backup = BrowserRepairUnit::BackupRepairs(rows, PublicFunctionUnit::PlatformKind, folder, Now());
  const MainUnit::TBackupResult& result = backup.Result;
  if (result.Complete) return true;
  if (ShowMessageBox(BackupProblemText(result), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES && !Closing())
    return true;
  if (result.Saved) DeleteFileW(Widen(result.FileName).c_str());   // nothing changes: nothing to undo
  return false;
}

void TBrowserRepairForm::RunRepairs() {
  TBusyGuard busy(this);   // messages are processed between the rows
  // the rows ticked now, which the backup covers; ticks changed during the run change nothing
  std::vector<int> rows = TickedRows();
  TRepairBackup backup;
  if (rows.empty() || !BackupBeforeRepairs(rows, backup)) return;
  for (int i : rows) {
    PublicFunctionUnit::ProcessMessages();
    if (Closing()) break;
    SetStatus(i, RepairingText);
    bool done = Actions[i] && Actions[i]();
    SetStatus(i, done ? CompletedText : FailedText);
  }
  BrowserRepairUnit::NoteWrittenValues(backup);   // what the actions that ran wrote, for the undo
}

void TBrowserRepairForm::SetStatus(int row, const std::string& status) {
  TListItem* item = IERepairListView->Item(row);
  item->SubItems.resize(2);
  item->SubItems[1] = status;
  item->Update();
}

void TBrowserRepairForm::IERepairListViewCustomDrawSubItem(TListView* sender, int index, int column, TColor& color) {
  color = clBlack;
  if (column != kStatusColumn || index < 0 || index >= sender->Count()) return;
  std::string status = sender->Item(index)->Text(kStatusColumn);
  if (status == RepairingText || status == FailedText) color = kRepairingColor;
  else if (status == CompletedText) color = kCompletedColor;
}

TToolPage* NewBrowserRestorePage(TControl* host) { return new TBrowserRepairForm(host); }
