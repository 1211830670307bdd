#include "RepairDialogUnit.h"

#include "../scan/PublicFunctionUnit.h"

namespace RepairDialogUnit {
TRepairDialogForm* RepairDialogForm = nullptr;
}

TRepairDialogForm::TRepairDialogForm(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::Dialog, .ClassName = "TRepairDialogForm",
             .ExtraExStyle = WS_EX_TOPMOST}) {
  SetCaption("Zelvoran");
  SetColor(clBtnFace);
  SetClientSize(417, 105);
  Position = TPosition::ScreenCenter;

  Button1 = new TButton(this);
  Button1->SetBounds(328, 40, 75, 25);
  Button1->SetCaption("Cancel");
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };

  abRepair = new TLabel(this);
  abRepair->SetBounds(16, 8, 305, 16);
  TFont f;
  f.Height = 13;
  abRepair->SetFont(f);
  abRepair->PathEllipsis = true;   // the key or file at work, often longer than the line
  abRepair->SetCaption("Repair");

  // The file-deletion animation is our own: not every system's shell holds one.
  Animate1 = new TAnimatedImage(this);
  Animate1->SetBounds(16, 32, 304, 60);
  TGifImage animation;
  if (animation.LoadFromResource("REPAIR_ANIMATION")) Animate1->SetAnimation(std::move(animation));

  OnCreate = [this](TObject* s) { FormCreate(s); };
  DoCreate();
}

TRepairDialogForm::~TRepairDialogForm() {
  if (RepairDialogUnit::RepairDialogForm == this) RepairDialogUnit::RepairDialogForm = nullptr;
}

void TRepairDialogForm::FormCreate(TObject*) { Animate1->Play(); }

void TRepairDialogForm::Button1Click(TObject*) {
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::StopRepair;
  Close();
}
