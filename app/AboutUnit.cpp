#include "AboutUnit.h"

#include "../framework/Endpoints.h"
#include "../framework/Pictures.h"
#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"

TAboutForm::TAboutForm(TForm* owner) : TForm({.Owner = owner, .Border = TBorderStyle::Dialog, .ClassName = "TAboutForm"}) {
  SetColor(clWhite);
  SetCaption("About");
  SetClientSize(480, 223);
  Position = TPosition::ScreenCenter;

  Panel1 = new TPanel(this);
  Panel1->SetBounds(0, 0, 480, 64);
  Image1 = new TImage(Panel1);
  Image1->SetBounds(0, 0, 160, 64);
  TBitmap picture;
  if (LoadJpegResource("ABOUT_BANNER_LEFT", picture)) Image1->SetPicture(std::move(picture));
  Image2 = new TImage(Panel1);
  Image2->SetBounds(160, 0, 320, 64);
  Image2->Stretch = true;
  if (LoadJpegResource("ABOUT_BANNER_RIGHT", picture)) Image2->SetPicture(std::move(picture));

  TFont text;
  text.Height = 13;
  text.Color = clBlack;
  abVersion = new TLabel(this);
  abVersion->SetBounds(24, 84, 300, 18);
  TFont versionFont = text;
  versionFont.Bold = true;
  abVersion->SetFont(versionFont);

  abHomeBtn = new TLabel(this);
  abHomeBtn->SetBounds(24, 112, 300, 18);
  abHomeBtn->SetFont(text);
  abHomeBtn->SetCursor(TCursor::HandPoint);
  const std::string& home = PublicFunctionUnit::MyRegistryInfo.HomePage;
  abHomeBtn->SetCaption(home.empty() ? Endpoints::HomePage : home);
  abHomeBtn->OnClick = [this](TObject* s) { abHomeBtnClick(s); };
  abHomeBtn->OnMouseEnter = [this](TObject* s) { abHomeBtnMouseEnter(s); };
  abHomeBtn->OnMouseLeave = [this](TObject* s) { abHomeBtnMouseLeave(s); };

  Label3 = new TLabel(this);
  Label3->SetBounds(24, 140, 432, 34);
  Label3->WordWrap = true;
  TFont small = text;
  small.Height = 11;
  small.Color = clGray;
  Label3->SetFont(small);
  Label3->SetCaption("Zelvoran finds and repairs invalid registry entries. Every repair is written to a "
                     "registry backup first, so that it can be undone.");

  BitBtn1 = new TBitBtn(this);
  BitBtn1->SetBounds(381, 184, 75, 25);
  BitBtn1->SetCaption("&OK");
  BitBtn1->ModalResult = mrOk;
  BitBtn1->SetDefault(true);

  OnCreate = [this](TObject* s) { FormCreate(s); };
  DoCreate();
}

void TAboutForm::FormCreate(TObject*) { abVersion->SetCaption(Format("Version %s", "3.0")); }

void TAboutForm::abHomeBtnClick(TObject*) { PublicFunctionUnit::OpenUrl(1, PublicFunctionUnit::MyRegistryInfo.HomePage); }

void TAboutForm::abHomeBtnMouseEnter(TObject*) {
  TFont f = abHomeBtn->Font();
  f.Color = clBlue;
  f.Underline = true;
  abHomeBtn->SetFont(f);
}

void TAboutForm::abHomeBtnMouseLeave(TObject*) {
  TFont f = abHomeBtn->Font();
  f.Color = clBlack;
  f.Bold = f.Italic = f.Underline = false;
  abHomeBtn->SetFont(f);
}
