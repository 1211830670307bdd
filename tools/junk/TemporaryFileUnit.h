// The small modal dialog that asks for a junk file pattern and its description (Add and Edit
// of the junk type list). It stores nothing: after OK the caller reads edExtension and edDesc.
// OK refuses, with a message, a text that the junk type file cannot store, and the dialog stays
// open for the user to change it.
//
// How to use:
//   TFormPtr<TTemporaryFileForm> dialog(new TTemporaryFileForm(nullptr));
//   dialog->SetCaption(AddTypeCaption);
//   if (dialog->ShowModal() == mrOk) use(dialog->edExtension->Text(), dialog->edDesc->Text());
#pragma once

#include "../../framework/Forms.h"
#include "../../framework/StdCtrls.h"

class TTemporaryFileForm : public TForm {
 public:
  explicit TTemporaryFileForm(TForm* owner);

  TEdit* edExtension;
  TEdit* edDesc;
  TButton* mrOkBtn;
  TButton* mrCancelBtn;

  // OK is enabled exactly when the pattern holds more than blanks.
  void edExtensionChange(TObject* sender);
  void mrOkBtnClick(TObject* sender);
};
