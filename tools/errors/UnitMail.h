// The support mail window: the user's address, a subject and a message, sent to the support
// mailbox. Opened by the error utilities' hidden "Report" button.
#pragma once

#include "../../framework/Forms.h"
#include "../../framework/StdCtrls.h"
#include "UnitMailSmtp.h"

class TEMailForm : public TForm {
 public:
  explicit TEMailForm(TForm* owner = nullptr);

  TLabel *Label1, *Label2;
  TEdit *TxtSendFile, *TxtSubject;
  TMemo* MemoText;
  TButton *btnSend, *btnClose;

  void FormShow(TObject* sender);
  void btnSendClick(TObject* sender);
  void btnCloseClick(TObject* sender);
  // Sends the window's message; a failure is shown as "ERROR: " and its text.
  void SendMail();

  // Where the message goes (the registry's configuration; tests put their own).
  UnitMail::TSmtpSettings Settings;
};

namespace UnitMail {
// The body's first line: the machine's processors, in the words of the support desk.
std::string ProcessorLine();
}  // namespace UnitMail
