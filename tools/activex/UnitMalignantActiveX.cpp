#include "UnitMalignantActiveX.h"

#include "../../app/DMUnit.h"
#include "../../app/HintUnit.h"
#include "../../app/MainUnitSections.h"
#include "../../framework/Dialogs.h"
#include "../../framework/Endpoints.h"
#include "../../framework/ImageList.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

using namespace UnitMalignantActiveX;

namespace {

const char* const kHeading = "Block the malignant ActiveX controls to protect your PC";
const char* const kObjectsFormat = "(%d objects)";
const char* const kMemoText =
    "The checked ActiveX item will be blocked from your PC and your PC system will be "
    "protected. The un-checked one will still have a chance to auto-install in your PC "
    "and maybe cause potential threats to your PC system.";
const char* const kSelectAll = "Select All";
const char* const kLock = "Lock";
const char* const kUnlock = "Unlock";
const char* const kHintTitle = "Zelvoran - Block ActiveX";
const char* const kHintMessage = "Please wait while the related data is being loaded.";
const char* const kNotLoadedText = "The list of malignant ActiveX controls could not be loaded.";
const char* const kSelectItem = "Please select the specific item for this operation!";

struct TColumn {
  const char* Caption;
  int Width;
  TAlignment Alignment;
};
const TColumn kColumns[] = {{"Object Name", 150, TAlignment::LeftJustify},
                            {"CLSID", 160, TAlignment::LeftJustify},
                            {"Status", 80, TAlignment::Center}};

}  // namespace

TToolPage* NewActiveXBlockerPage(TControl* host) { return new TFormMalignant(host); }

TFormMalignant::TFormMalignant(TControl* host) : TToolPage(host, "TFormMalignant"), Store(&registry_) {
  SetCaption("Malignant ActiveX");
  SetColor(clWhite);
  Label1 = new TLabel(this);
  Label1->SetBounds(8, 6, 440, 16);
  Label1->SetFont({.Bold = true, .Color = clNavy});
  Label1->SetCaption(kHeading);
  LabelList = new TLabel(this);
  LabelList->SetBounds(8, 24, 200, 16);
  ListActiveX = new TListView(this, {.CheckBoxes = true, .OwnerData = true});
  ListActiveX->SetBounds(8, 42, 473, 168);
  for (const TColumn& c : kColumns) ListActiveX->AddColumn(c.Caption, c.Width, c.Alignment);
  ListActiveX->OnData = [this](TListView*, int index, TListItem& row) {
    if (index < 0 || index >= (int)Objects.size()) return;
    row.Caption = Objects[index].Name;
    row.SubItems = {Objects[index].Clsid, Objects[index].Status};
    row.Checked = Objects[index].Checked;
  };
  ListActiveX->OnItemChecked = [this](TListView*, int index) {
    if (index >= 0 && index < (int)Objects.size()) Objects[index].Checked = !Objects[index].Checked;
  };
  ImageWarning = new TImage(this);
  ImageWarning->SetBounds(8, 216, 16, 16);
  ImageWarning->Hide();
  LabelWarning = new TLabel(this);
  LabelWarning->SetBounds(28, 217, 450, 16);
  LabelWarning->SetFontColor(clRed);
  LabelWarning->Hide();
  Memo1 = new TMemo(this);
  Memo1->SetBounds(8, 238, 473, 46);
  Memo1->SetReadOnly(true);
  Memo1->SetScrollBar(false);
  Memo1->SetText(kMemoText);
  ChkList = new TCheckBox(this);
  ChkList->SetBounds(8, 294, 16, 17);
  ChkList->OnClick = [this](TObject* s) { ChkListClick(s); };
  Label3 = new TLabel(this);
  Label3->SetBounds(26, 295, 70, 16);
  Label3->SetCaption(kSelectAll);
  Label3->OnClick = [this](TObject* s) { ChkListClick(s); };
  ProtectGauge = new TProgressBar(this);
  ProtectGauge->SetBounds(104, 294, 186, 17);
  ProtectGauge->Hide();
  ImmunizeBtn = new TButton(this);
  ImmunizeBtn->SetBounds(300, 290, 87, 25);
  ImmunizeBtn->SetCaption(kLock);
  ImmunizeBtn->OnClick = [this](TObject* s) { ImmunizeBtnClick(s); };
  UnImmunizeBtn = new TButton(this);
  UnImmunizeBtn->SetBounds(394, 290, 87, 25);
  UnImmunizeBtn->SetCaption(kUnlock);
  UnImmunizeBtn->OnClick = [this](TObject* s) { UnImmunizeBtnClick(s); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  DoCreate();
}

void TFormMalignant::FormCreate(TObject*) {
  std::string code = DM->DataFolder + kCodeFileName;
  if (FileExists(code)) return;
  TFormPtr<THintForm> hint(new THintForm());
  hint->PanelHint->SetCaption(kHintTitle);
  hint->LabelMsg->SetCaption(kHintMessage);
  hint->Show();
  hint->Repaint();
  DM->DownloadFile(Endpoints::UpdateBase + kCodePath, code);   // a failure ends here silently
}

void TFormMalignant::FormShow(TObject*) {
  FitColumns();
  LoadList();
  LabelList->SetCaption(Objects.empty() ? "" : Format(kObjectsFormat, (int)Objects.size()));
  if (Objects.empty() && !notLoadedTold_) {
    notLoadedTold_ = true;
    TBusyGuard busy(this);   // the page stays while the box is up
    ShowMessageBox(kNotLoadedText, MB_ICONWARNING);
  }
}

void TFormMalignant::FormResize(TObject*) { FitColumns(); }

void TFormMalignant::FitColumns() {
  int others = ListActiveX->ColumnWidth(0) + ListActiveX->ColumnWidth(2);
  ListActiveX->SetColumnWidth(1, ListActiveX->Width() - others - 20);
}

void TFormMalignant::ShowRows() {
  ListActiveX->SetItemCount((int)Objects.size());
  ListActiveX->Invalidate();
}

void TFormMalignant::LoadList() {
  Objects = LoadCodeFile(DM->DataFolder + kCodeFileName);
  int locked = ReadStatuses(*Store, Objects);
  ShowRows();
  ShowWarning((int)Objects.size() - locked);
}

void TFormMalignant::ShowWarning(int count) {
  bool show = count > 0;
  if (show) {
    ShowImage(ImageWarning, DM->StatImageList, MainUnit::StatFound);
    LabelWarning->SetCaption(Format(kWarningFormat, count));
  }
  ImageWarning->SetVisible(show);
  LabelWarning->SetVisible(show);
}

void TFormMalignant::ChkListClick(TObject*) {
  for (TActiveXObject& object : Objects) object.Checked = ChkList->Checked();
  ShowRows();
}

void TFormMalignant::RunOverRows(TRunResult (*action)(TKillBitStore&, std::vector<TActiveXObject>&, const TProgress&),
                                 const char* doneText, bool warnUnlockedRows) {
  if (UncheckedCount(Objects) == (int)Objects.size()) {   // nothing ticked, or no list at all
    ShowMessageBox(kSelectItem, MB_ICONWARNING);
    return;
  }
  TBusyGuard busy(this);
  ImmunizeBtn->SetEnabled(false);
  UnImmunizeBtn->SetEnabled(false);
  ProtectGauge->SetPosition(0);
  ProtectGauge->Show();
  TRunResult result = action(*Store, Objects, [this](int done, int total) {
    ProtectGauge->SetPosition(GaugePosition(done, total));
    PublicFunctionUnit::ProcessMessages();
    return !Closing();
  });
  if (Closing()) return;
  ShowRows();
  // after an Unlock every row is a threat but those still locked (by another program)
  ShowWarning(warnUnlockedRows ? UnlockedCount(Objects) : UncheckedCount(Objects));
  if (result.Complete()) ShowMessageBox(doneText, MB_OK);
  else ShowMessageBox(RunProblemText(result), MB_ICONWARNING);
  ProtectGauge->SetPosition(0);
  ProtectGauge->Hide();
  ImmunizeBtn->SetEnabled(true);
  UnImmunizeBtn->SetEnabled(true);
}

void TFormMalignant::ImmunizeBtnClick(TObject*) { RunOverRows(LockItems, kLockDoneText, false); }

void TFormMalignant::UnImmunizeBtnClick(TObject*) { RunOverRows(UnlockItems, kUnlockDoneText, true); }
