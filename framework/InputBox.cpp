#include "InputBox.h"

namespace {
const char* const kOk = "OK";
const char* const kCancel = "Cancel";
const int kClientWidth = 320;
const int kClientHeight = 104;
const int kMargin = 10;
const int kButtonWidth = 75;
const int kButtonHeight = 25;
}  // namespace

TInputQueryForm::TInputQueryForm(const std::string& caption, const std::string& prompt, const std::string& value)
    : TForm({.Border = TBorderStyle::Dialog, .ClassName = "TInputQueryForm"}) {
  SetCaption(caption);
  SetClientSize(kClientWidth, kClientHeight);
  Position = TPosition::ScreenCenter;
  const int inner = kClientWidth - 2 * kMargin;
  Prompt = new TLabel(this);
  Prompt->SetBounds(kMargin, kMargin, inner, 16);
  Prompt->SetCaption(prompt);
  Edit = new TEdit(this);
  Edit->SetBounds(kMargin, kMargin + 20, inner, 21);
  Edit->SetText(value);
  const int buttonsTop = kClientHeight - kMargin - kButtonHeight;
  OkButton = new TButton(this);
  OkButton->SetBounds(kClientWidth - kMargin - 2 * kButtonWidth - 8, buttonsTop, kButtonWidth, kButtonHeight);
  OkButton->SetCaption(kOk);
  OkButton->ModalResult = mrOk;
  OkButton->SetDefault(true);
  CancelButton = new TButton(this);
  CancelButton->SetBounds(kClientWidth - kMargin - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight);
  CancelButton->SetCaption(kCancel);
  CancelButton->ModalResult = mrCancel;
  CancelButton->SetCancel(true);
  OnShow = [this](TObject*) {
    Edit->SetFocus();
    Edit->SelectAll();
  };
  DoCreate();
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  TFormPtr<TInputQueryForm> box(new TInputQueryForm(caption, prompt, value));
  if (box->ShowModal() != mrOk) return false;
  value = box->Edit->Text();
  return true;
}
