// The About box: the banner, the version, a link to the home page and OK. Shown modally by its
// caller (the tray menu's "About" and the main window's About button) and freed afterwards.
#pragma once

#include "../framework/Forms.h"
#include "../framework/StdCtrls.h"

class TAboutForm : public TForm {
 public:
  explicit TAboutForm(TForm* owner = nullptr);

  TPanel* Panel1;
  TImage* Image1;
  TImage* Image2;
  TLabel* abVersion;
  TLabel* abHomeBtn;
  TLabel* Label3;
  TBitBtn* BitBtn1;

  void FormCreate(TObject* sender);
  void abHomeBtnClick(TObject* sender);
  void abHomeBtnMouseEnter(TObject* sender);
  void abHomeBtnMouseLeave(TObject* sender);
};
