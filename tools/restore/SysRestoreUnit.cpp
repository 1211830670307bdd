#include "SysRestoreUnit.h"

#include "../../framework/Dialogs.h"
#include "../../framework/Handles.h"
#include "../../framework/InputBox.h"
#include "../../scan/PublicFunctionUnit.h"

using namespace PointRestauration;
using namespace SysRestoreUnit;

namespace {

const char* const kCaption = "System Restore Point";
const char* const kIntro =
    "This utility can be used to create and name your own restore points at any time. In case of system "
    "instability, it is better to have a restore point before any major actions were taken on your PC system. "
    "After that, you can choose a restore point and return your computer to its previous stable state.";
const char* const kDescriptionColumn = "Description";
const char* const kDateColumn = "Backup Date";
const int kDescriptionWidth = 200;
const int kDateWidth = 160;
const int kColumnFitMargin = 19;   // the list's frame and scroll bar
const char* const kBackupButton = "Create a Restore Point";
const char* const kRefreshButton = "Refresh";
const char* const kRestoreButton = "Restore";
const char* const kDeleteButton = "Delete";
const int kIntroHeight = 64;
const int kButtonBarHeight = 40;
const int kButtonHeight = 25;
const int kButtonGap = 8;
const int kSequenceSubItem = 1;

bool RebootSystem(UINT flags) {
  PublicFunctionUnit::EnableShutdownPrivilege();
  return ExitWindowsEx(flags, 0) != FALSE;
}

}  // namespace

int SysRestoreUnit::GetRestoreServiceState(const std::string& service) {
  TServiceHandle manager(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_CONNECT));
  if (!manager) return -1;
  TServiceHandle handle(OpenServiceW(manager.Get(), Widen(service).c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS status{};
  if (!handle || !QueryServiceStatus(handle.Get(), &status)) return -1;
  return (int)status.dwCurrentState;
}

TToolPage* NewRestorePointsPage(TControl* host) { return new TSysRestoreForm(host); }

TSysRestoreForm::TSysRestoreForm(TControl* host, TSysRestoreSetup setup)
    : TToolPage(host, "TSysRestoreForm"), setup_(std::move(setup)) {
  if (!setup_.Provider) setup_.Provider = std::make_shared<TSystemRestoreProvider>();
  if (!setup_.ServiceState) setup_.ServiceState = [] { return GetRestoreServiceState(); };
  if (!setup_.Reboot) setup_.Reboot = RebootSystem;
  SetCaption(kCaption);
  SetColor(clWhite);

  Panel1 = new TPanel(this);
  Panel1->SetHeight(kIntroHeight);
  Panel1->SetAlign(TAlign::Top);
  Memo1 = new TMemo(Panel1);
  Memo1->SetAlign(TAlign::Client);
  Memo1->SetReadOnly(true);
  Memo1->SetBorder(false);
  Memo1->SetColor(clWhite);
  Panel1->SetEnabled(false);

  ButtonBar = new TPanel(this);
  ButtonBar->SetHeight(kButtonBarHeight);
  ButtonBar->SetAlign(TAlign::Bottom);
  ButtonBar->SetColor(clWhite);
  int left = kButtonGap;
  auto button = [&](const char* caption, int width, void (TSysRestoreForm::*handler)(TObject*)) {
    auto* b = new TButton(ButtonBar);
    b->SetBounds(left, (kButtonBarHeight - kButtonHeight) / 2, width, kButtonHeight);
    b->SetCaption(caption);
    b->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
    left += width + kButtonGap;
    return b;
  };
  BackupButton = button(kBackupButton, 140, &TSysRestoreForm::BackupButtonClick);
  RefreshButton = button(kRefreshButton, 80, &TSysRestoreForm::RefreshButtonClick);
  RestoreButton = button(kRestoreButton, 80, &TSysRestoreForm::RestoreButtonClick);
  DeleteButton = button(kDeleteButton, 80, &TSysRestoreForm::DeleteButtonClick);

  RestoreListView = new TListView(this, {.GridLines = true});
  RestoreListView->SetAlign(TAlign::Client);
  RestoreListView->AddColumn(kDescriptionColumn, kDescriptionWidth);
  RestoreListView->AddColumn(kDateColumn, kDateWidth);

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  DoCreate();
}

void TSysRestoreForm::FormCreate(TObject*) {
  Memo1->SetText(kIntro);
  Memo1->SetScrollBar(false);   // the text fits
}

void TSysRestoreForm::FormShow(TObject*) {
  FitColumns();
  if (Busy()) return;
  TBusyGuard busy(this);   // also while the warning box is up: nothing may free the page under it
  if (setup_.ServiceState() != ServiceRunning) {
    ShowMessageBox(NotStartedText, MB_OK | MB_ICONWARNING);
    return;
  }
  Refresh();
}

void TSysRestoreForm::FormResize(TObject*) { FitColumns(); }

void TSysRestoreForm::FitColumns() {
  RestoreListView->SetColumnWidth(0, RestoreListView->Width() - RestoreListView->ColumnWidth(1) - kColumnFitMargin);
}

void TSysRestoreForm::RefreshButtonClick(TObject*) {
  if (Busy()) return;
  TBusyGuard busy(this);
  Refresh();
}

void TSysRestoreForm::Refresh() {
  RestoreListView->Clear();   // no stale row stays to be restored or deleted if the listing fails
  std::vector<TRestorePointRow> rows = ListRestorePoints(*setup_.Provider);
  if (!Closing()) ShowRows(rows);
}

void TSysRestoreForm::ShowRows(const std::vector<TRestorePointRow>& rows) {
  RestoreListView->BeginUpdate();
  RestoreListView->Clear();
  for (const TRestorePointRow& row : rows)
    RestoreListView->AddItem(row.Description)->SubItems = {row.Date, row.SequenceNumber};
  RestoreListView->EndUpdate();
}

bool TSysRestoreForm::SelectedSequence(std::string& text) const {
  TListItem* row = RestoreListView->Selected();
  if (row == nullptr) return false;
  text = row->Text(1 + kSequenceSubItem);
  return true;
}

void TSysRestoreForm::BackupButtonClick(TObject*) {
  if (Busy()) return;
  TBusyGuard busy(this);
  std::string name;
  if (!InputQuery(NameCaption, NamePrompt, name) || Closing()) return;
  int result = setup_.Provider->Create(name);
  if (Closing()) return;
  if (result != 0) {
    ShowMessage(CreateFailedText);
    return;
  }
  ShowMessage(CreatedText);
  if (!Closing()) Refresh();
}

void TSysRestoreForm::RestoreButtonClick(TObject*) {
  if (Busy()) return;
  TBusyGuard busy(this);
  std::string text;
  if (!SelectedSequence(text)) {
    ShowMessageBox(NothingToRestoreText, MB_OK);
    return;
  }
  int sequence = 0;
  if (!ParseSequenceNumber(text, sequence)) {
    ShowMessage(RestoreFailedText);
    return;
  }
  // the restore takes the whole system back and needs a restart: nothing is set before the user
  // has agreed to both
  if (ShowMessageBox(ConfirmRestoreQuestion(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES || Closing())
    return;
  int result = setup_.Provider->Restore(sequence);
  if (Closing()) return;
  if (result != 0) ShowMessage(RestoreFailedText);
  else if (!setup_.Reboot(RebootFlags) && !Closing()) ShowMessageBox(RestartFailedText, MB_OK | MB_ICONWARNING);
  if (!Closing()) Refresh();
}

std::string TSysRestoreForm::ConfirmRestoreQuestion() const {
  TListItem* row = RestoreListView->Selected();
  return Format(ConfirmRestoreText, row->Caption, row->Text(1));
}

void TSysRestoreForm::DeleteButtonClick(TObject*) {
  if (Busy()) return;
  std::string text;
  if (!SelectedSequence(text)) return;
  TBusyGuard busy(this);
  int sequence = 0;
  bool removed = ParseSequenceNumber(text, sequence) && DeleteRestorePoint(*setup_.Provider, sequence);
  if (Closing()) return;
  ShowMessage(removed ? RemovedText : RemoveFailedText);
  if (!Closing()) Refresh();
}
