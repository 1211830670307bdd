#include "TemporaryFileUnit.h"

#include "../../framework/Dialogs.h"
#include "../../framework/PageBuilders.h"
#include "../../framework/Strings.h"
#include "SysDiskCleanerUnitStore.h"

namespace {
const char* const kPrompt = "Enter the filename with extension you want to search for...";
const char* const kExtension = "File Extension";
const char* const kDescription = "Description of Above Filter";
const char* const kOk = "OK";
const char* const kCancel = "Cancel";
}  // namespace

TTemporaryFileForm::TTemporaryFileForm(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::Dialog, .ClassName = "TTemporaryFileForm"}) {
  SetColor(clBtnFace);
  SetClientSize(361, 209);
  Position = TPosition::ScreenCenter;

  TLabel* prompt = NewLabel(this, kPrompt, 16, 10, 329, 34);
  prompt->WordWrap = true;
  TFont font = prompt->Font();
  font.Height = 13;
  prompt->SetFont(font);
  NewLabel(this, kExtension, 16, 52, 200);
  edExtension = new TEdit(this);
  edExtension->SetBounds(16, 70, 329, 21);
  edExtension->OnChange = [this](TObject* s) { edExtensionChange(s); };
  NewLabel(this, kDescription, 16, 102, 200);
  edDesc = new TEdit(this);
  edDesc->SetBounds(16, 120, 329, 21);

  mrOkBtn = new TButton(this);
  mrOkBtn->SetBounds(190, 170, 75, 25);
  mrOkBtn->SetCaption(kOk);
  mrOkBtn->ModalResult = mrOk;
  mrOkBtn->SetDefault(true);
  mrOkBtn->SetEnabled(false);
  mrOkBtn->OnClick = [this](TObject* s) { mrOkBtnClick(s); };
  DefaultButton = mrOkBtn;
  mrCancelBtn = new TButton(this);
  mrCancelBtn->SetBounds(270, 170, 75, 25);
  mrCancelBtn->SetCaption(kCancel);
  mrCancelBtn->ModalResult = mrCancel;
  mrCancelBtn->SetCancel(true);
  CancelButton = mrCancelBtn;
  DoCreate();
}

void TTemporaryFileForm::edExtensionChange(TObject*) { mrOkBtn->SetEnabled(!Trim(edExtension->Text()).empty()); }

void TTemporaryFileForm::mrOkBtnClick(TObject*) {
  for (TEdit* edit : {edExtension, edDesc}) {
    if (SysDiskCleanerUnit::CanStoreJunkText(edit->Text())) continue;
    ModalResult = mrNone;
    ShowMessageBox(Format(SysDiskCleanerUnit::UnstorableJunkText, edit->Text()), MB_ICONWARNING);
    if (!Closing()) edit->SetFocus();
    return;
  }
}
