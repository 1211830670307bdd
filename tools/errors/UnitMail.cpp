#include "UnitMail.h"

#include <memory>
#include <thread>

#include "../../framework/Application.h"
#include "../../framework/Dialogs.h"
#include "../../framework/Handles.h"
#include "../../framework/Processes.h"
#include "../../framework/Strings.h"

using namespace UnitMail;

namespace {

const char* const kCaption = "Support";
const char* const kUserEmail = "User Email";
const char* const kSubject = "Subject";
const char* const kSend = "Send";
const char* const kClose = "Close";

// Runs work on a thread of its own while this thread handles its messages, so the window stays
// live however long the mail server takes; returns work's result once the thread has ended. When
// the program ends meanwhile it returns at once ("" then): the thread owns the work and its state
// and ends with the process, having written nothing of this program's.
std::string RunWhileHandlingMessages(std::function<std::string()> work) {
  struct TShared {
    TKernelHandle Done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::string Result;
  };
  auto shared = std::make_shared<TShared>();
  std::thread([shared, work = std::move(work)] {
    shared->Result = work();
    SetEvent(shared->Done.Get());
  }).detach();
  constexpr DWORD kEndingCheckMs = 100;
  while (!WaitHandlingMessages(shared->Done.Get(), kEndingCheckMs))
    if (Application.Terminated()) return {};
  return shared->Result;
}

}  // namespace

std::string UnitMail::ProcessorLine() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return Format("系统中有%d个CPU,类型为%d", (int)info.dwNumberOfProcessors, (int)info.dwProcessorType);
}

TEMailForm::TEMailForm(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::Dialog, .ClassName = "TEMailForm"}), Settings(LoadSmtpSettings()) {
  SetCaption(kCaption);
  SetClientSize(400, 318);
  Position = TPosition::ScreenCenter;
  Label1 = new TLabel(this);
  Label1->SetBounds(12, 10, 200, 16);
  Label1->SetCaption(kUserEmail);
  TxtSendFile = new TEdit(this);
  TxtSendFile->SetBounds(12, 28, 376, 21);
  Label2 = new TLabel(this);
  Label2->SetBounds(12, 56, 200, 16);
  Label2->SetCaption(kSubject);
  TxtSubject = new TEdit(this);
  TxtSubject->SetBounds(12, 74, 376, 21);
  MemoText = new TMemo(this);
  MemoText->SetBounds(12, 104, 376, 168);
  btnSend = new TButton(this);
  btnSend->SetBounds(220, 282, 80, 25);
  btnSend->SetCaption(kSend);
  btnSend->OnClick = [this](TObject* s) { btnSendClick(s); };
  btnClose = new TButton(this);
  btnClose->SetBounds(308, 282, 80, 25);
  btnClose->SetCaption(kClose);
  btnClose->SetCancel(true);
  btnClose->OnClick = [this](TObject* s) { btnCloseClick(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  DoCreate();
}

void TEMailForm::FormShow(TObject*) { MemoText->SetText(ProcessorLine()); }

void TEMailForm::btnSendClick(TObject*) { SendMail(); }

void TEMailForm::btnCloseClick(TObject*) { Close(); }

void TEMailForm::SendMail() {
  TBusyGuard busy(this);
  btnSend->SetEnabled(false);
  TMailMessage message{.ReplyTo = TxtSendFile->Text(), .Subject = TxtSubject->Text(), .Body = MemoText->Text()};
  TSmtpSettings settings = Settings;
  std::string error = RunWhileHandlingMessages([settings, message] { return UnitMail::SendMail(settings, message); });
  if (Closing()) return;
  btnSend->SetEnabled(true);
  if (!error.empty()) ShowMessage(kErrorPrefix + error);
}
