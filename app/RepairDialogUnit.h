// The repair-progress dialog: always on top, it shows the item being processed (abRepair), a
// file-deletion animation and a Cancel button that asks the running operation to stop
// (the run state becomes 3). The caller creates it, shows it and lets it paint at once, runs the
// work (which writes abRepair and tests the run state after each item), then frees it.
#pragma once

#include "../framework/Forms.h"
#include "../framework/Pictures.h"
#include "../framework/StdCtrls.h"

class TRepairDialogForm : public TForm {
 public:
  explicit TRepairDialogForm(TForm* owner = nullptr);
  ~TRepairDialogForm() override;

  TLabel* abRepair;
  TButton* Button1;
  TAnimatedImage* Animate1;

  void FormCreate(TObject* sender);
  void Button1Click(TObject* sender);
};

namespace RepairDialogUnit {
extern TRepairDialogForm* RepairDialogForm;
}
