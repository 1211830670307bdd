// The please-wait window: a borderless, always-on-top pop-up with a title bar and a message.
// The caller creates it, sets the title (PanelHint) and the message (LabelMsg), shows it and
// lets it paint at once (Show, Repaint), does its work and frees it.
#pragma once

#include "../framework/Forms.h"

class THintForm : public TForm {
 public:
  explicit THintForm(TForm* owner = nullptr);
  ~THintForm() override;

  TPanel* PanelHint;
  TLabel* LabelMsg;

  void FormCreate(TObject* sender) {}
  void FormShow(TObject* sender) {}
};
