#include "ShowLiveUpdateUnit.h"

TShowLiveUpdateForm::TShowLiveUpdateForm(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::Dialog, .ClassName = "TShowLiveUpdateForm"}) {
  SetCaption("Live Update");
  SetClientSize(380, 166);
  SetColor(0xFDFDFD);
  SetStayOnTop(true);
  Position = TPosition::ScreenCenter;

  Image1 = new TAnimatedImage(this);
  Image1->SetBounds(16, 8, 350, 80);
  Image1->AutoSize = true;
  TGifImage gif;
  if (gif.LoadFromResource("UPDATE_ANIMATION")) {
    Image1->SetAnimation(std::move(gif));
    Image1->Play();
  }

  Label1 = new TLabel(this);
  Label1->SetBounds(16, 100, 350, 44);
  Label1->Alignment = TAlignment::Center;
  Label1->WordWrap = true;
  Label1->SetFont({.Name = "Georgia", .Height = 16, .Bold = true, .Color = clBlack});
  Label1->SetCaption("The newest version is testing , wait please...");
  DoCreate();
}

void TShowLiveUpdateForm::ShowAndPaint() {
  Show();
  Repaint();
}
