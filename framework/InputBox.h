// The input box: a small modal dialog with a caption, a prompt, one edit line and OK / Cancel.
//
// How to use:
//   std::string name;
//   if (InputQuery("Please Enter", "System Backup Name", name)) Use(name);
// Tests drive it with TModalHookScope: dynamic_cast the form to TInputQueryForm, set Edit's text
// and click OkButton or CancelButton.
#pragma once

#include <string>

#include "Forms.h"
#include "StdCtrls.h"

class TInputQueryForm : public TForm {
 public:
  TInputQueryForm(const std::string& caption, const std::string& prompt, const std::string& value);

  TLabel* Prompt;
  TEdit* Edit;
  TButton* OkButton;
  TButton* CancelButton;
};

// Shows the input box with value as the initial text. OK: value becomes the entered text and
// the result is true. Cancel, Escape or closing the box: value stays and the result is false.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);
