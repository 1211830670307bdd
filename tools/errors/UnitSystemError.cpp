#include "UnitSystemError.h"

#include "../../app/DMUnit.h"
#include "../../app/HintUnit.h"
#include "../../framework/Dialogs.h"
#include "../../framework/Endpoints.h"
#include "../../framework/Exceptions.h"
#include "../../framework/StringList.h"
#include "../../framework/Strings.h"
#include "UnitMail.h"

using namespace UnitSystemError;

namespace {

const char* const kCaption = "Error Fix";
const char* const kColumn = "Error Info";
const char* const kDescriptionPanel = "  Error description";
const char* const kSelectAll = "Select All (except IE 5.x and IE 6.x options)";
const char* const kRepair = "Repair";
const char* const kReport = "Report";
const char* const kHintTitle = "Zelvoran - Error Utilities";
const char* const kHintMessage = "Please wait while the related data is being loaded.";
const char* const kSelectItem = "Please select the specific item for this operation!";
const char* const kBrowserWarning =
    "Warning: This option is just suitable for the case that the IE\r"
    "was incompletely uninstalled and thus unable to reinstall the IE.\r"
    "If your IE works fine or it hasn't been uninstalled, please DO\r"
    "NOT select this option, otherwise it would create troubles for\r"
    "your IE performance.\r\r"
    "Are you sure to select this option?";
// Rows 0 and 1 are the browser reinstallation fixes: they are never ticked without asking.
const int kWarnedRows = 2;
// The "Error Info" column leaves this much of the list's width free.
const int kColumnSlack = 20;

}  // namespace

TToolPage* NewErrorUtilitiesPage(TControl* host) { return new TErrorFixForm(host); }

TErrorFixForm::TErrorFixForm(TControl* host) : TToolPage(host, "TErrorFixForm") {
  SetCaption(kCaption);
  SetColor(clWhite);
  listerror = new TListView(this, {.OwnerData = true, .GridLines = true});
  listerror->SetBounds(8, 8, 473, 170);
  listerror->AddColumn(kColumn, 300);
  listerror->SetStateImages(&DM->StatImageList);
  listerror->OnData = [this](TListView*, int index, TListItem& row) {
    if (index < 0 || index >= (int)Rows.size()) return;
    row.Caption = Rows[index].Caption;
    row.SubItems = {Rows[index].Description, Rows[index].FromList ? kListMark : ""};
    row.StateIndex = Rows[index].Ticked ? 1 : 0;
  };
  listerror->OnMouseDown = [this](TObject*, TMouseButton button, int x, int y) {
    if (button == TMouseButton::Left) listerrorMouseDown(x, y);
  };
  listerror->OnSelectItem = [this](TListView*, int index, bool selected) { listerrorSelectItem(index, selected); };
  PanelDescription = new TPanel(this);
  PanelDescription->SetBounds(8, 184, 473, 18);
  PanelDescription->Alignment = TAlignment::LeftJustify;
  PanelDescription->SetCaption(kDescriptionPanel);
  MemoText = new TMemo(this);
  MemoText->SetBounds(8, 202, 473, 86);
  MemoText->SetReadOnly(true);
  cbSelectAll = new TCheckBox(this);
  cbSelectAll->SetBounds(8, 298, 16, 17);
  cbSelectAll->OnClick = [this](TObject* s) { cbSelectAllClick(s); };
  abSelectAll = new TLabel(this);
  abSelectAll->SetBounds(26, 299, 260, 16);
  abSelectAll->SetCaption(kSelectAll);
  abSelectAll->OnClick = [this](TObject*) { cbSelectAll->Click(); };
  BitBtn1 = new TBitBtn(this);
  BitBtn1->SetBounds(394, 294, 87, 25);
  BitBtn1->SetCaption(kRepair);
  BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
  BitBtn2 = new TBitBtn(this);
  BitBtn2->SetBounds(300, 294, 87, 25);
  BitBtn2->SetCaption(kReport);
  BitBtn2->Hide();
  BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  DoCreate();
}

void TErrorFixForm::FormCreate(TObject*) {
  std::string list = DM->DataFolder + kListFileName;
  // fetched only when nothing of that name is there: a file that cannot be looked at now is no missing one
  listNotLoaded_ = (PathAbsent(list) && !DownloadList(list)) || !LoadList(list);
  AddBuiltinRows(Rows);
  ShowRows();
}

bool TErrorFixForm::DownloadList(const std::string& list) {
  TFormPtr<THintForm> hint(new THintForm());
  hint->PanelHint->SetCaption(kHintTitle);
  hint->LabelMsg->SetCaption(kHintMessage);
  hint->Show();
  hint->Repaint();
  try {
    DM->DownloadFile(Endpoints::UpdateBase + kListPath, list);
    return true;
  } catch (const EAbort&) {   // the download failed and left no file
    return false;
  }
}

bool TErrorFixForm::LoadList(const std::string& list) {
  std::vector<std::string> lines;
  try {
    lines = DecodeTextLines(ReadFileBytes(list));
  } catch (const EInOutError&) {   // there, but held by another program or not readable: left as it is
    return false;
  }
  LoadErrorList(lines, Errors, Rows);
  return true;
}

void TErrorFixForm::FormShow(TObject*) {
  if (cbSelectAll->Checked()) cbSelectAllClick(cbSelectAll);
  else cbSelectAll->SetChecked(true);   // its click ticks the rows
  if (!listNotLoaded_) return;
  listNotLoaded_ = false;   // said once per visit
  TBusyGuard busy(this);
  ShowMessageBox(kListNotLoadedText, MB_ICONWARNING);
}

void TErrorFixForm::FormResize(TObject*) { listerror->SetColumnWidth(0, listerror->Width() - kColumnSlack); }

void TErrorFixForm::ShowRows() {
  listerror->SetItemCount((int)Rows.size());
  listerror->Invalidate();
}

void TErrorFixForm::cbSelectAllClick(TObject*) {
  for (size_t i = 0; i < Rows.size(); ++i) Rows[i].Ticked = (int)i >= kWarnedRows && cbSelectAll->Checked();
  ShowRows();
}

void TErrorFixForm::ToggleRow(int index) {
  if (index < 0 || index >= (int)Rows.size()) return;
  TErrorRow& row = Rows[index];
  if (index < kWarnedRows && !row.Ticked) {
    row.Ticked = ShowMessageBox(kBrowserWarning, MB_YESNO | MB_ICONWARNING) == IDYES;
  } else {
    row.Ticked = !row.Ticked;
  }
  ShowRows();
}

void TErrorFixForm::listerrorMouseDown(int x, int y) { ToggleRow(listerror->GetStateIconAt(x, y)); }

void TErrorFixForm::listerrorSelectItem(int index, bool selected) {
  if (!selected || index < 0 || index >= (int)Rows.size()) {
    MemoText->Clear();
    return;
  }
  const TErrorRow& row = Rows[index];
  MemoText->SetText(row.FromList ? FindDescription(Errors, row.Caption) : row.Description);
}

void TErrorFixForm::BitBtn1Click(TObject*) {
  bool anyTicked = false;
  for (const TErrorRow& row : Rows) anyTicked = anyTicked || row.Ticked;
  if (!anyTicked) {
    ShowMessageBox(kSelectItem, MB_ICONWARNING);
    return;
  }
  TRepairResult result = Repair(Rows, Errors);
  if (!result.AnyTicked) ShowMessage(kNothingAppliedText);
  else if (!result.NotRepaired.empty()) ShowMessageBox(NotRepairedText(result), MB_ICONWARNING);
  else if (result.Applied == 0) ShowMessageBox(NothingToRepairText(result), MB_ICONINFORMATION);
  else ShowMessageBox(kRepairedText, MB_ICONINFORMATION);
}

void TErrorFixForm::BitBtn2Click(TObject*) {
  TFormPtr<TEMailForm> mail(new TEMailForm());
  mail->ShowModal();
}
