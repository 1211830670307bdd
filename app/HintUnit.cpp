#include "HintUnit.h"

THintForm::THintForm(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::None, .ClassName = "THintForm", .ExtraExStyle = WS_EX_TOPMOST}) {
  SetCaption("Hint");
  SetColor(clBtnFace);
  SetClientSize(318, 57);
  Position = TPosition::ScreenCenter;

  PanelHint = new TPanel(this);
  PanelHint->SetHeight(17);
  PanelHint->SetAlign(TAlign::Top);
  PanelHint->SetColor(clAppWorkSpace);
  TFont title;
  title.Height = 11;
  title.Bold = true;
  title.Color = clWhite;
  PanelHint->SetFont(title);
  PanelHint->SetCaption("Hint");

  LabelMsg = new TLabel(this);
  LabelMsg->SetAlign(TAlign::Client);
  LabelMsg->Alignment = TAlignment::Center;
  LabelMsg->VerticalCenter = true;
  TFont message;
  message.Height = 13;
  message.Color = clNavy;
  LabelMsg->SetFont(message);
  LabelMsg->SetCaption("LabelMsg");

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  DoCreate();
}

THintForm::~THintForm() = default;
