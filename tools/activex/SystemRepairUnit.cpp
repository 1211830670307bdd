#include "SystemRepairUnit.h"

#include "../../framework/Dialogs.h"
#include "../../scan/PublicFunctionUnit.h"
#include "SystemRepairUnitWalk.h"

using namespace SystemRepairUnit;

namespace {

const char* const kExplanation =
    "With re-registering ActiveX and .dll objects' registry keys again, this small built-in utility can solve the "
    "curious problems on your system such as: unable to open new IE windows, website displaying incomplete, unable "
    "to auto update Windows, unable to select films model to watch picture, random error with Media player, and so "
    "on. When encountered the registry problems that could not be fixed by other major utilities, it is better to "
    "try this bonus small utility to fix them. It is suggested to backup the former registry file in the safe "
    "folder before fixing them.";
const char* const kObjectsColumn = "ActiveX and .dll objects";
const char* const kStatusColumn = "Status";
const int kObjectsWidth = 200;
const int kStatusWidth = 150;
const char* const kReRegister = "Re-register";
const char* const kStop = "Stop";

}  // namespace

TToolPage* NewActiveXRegisterPage(TControl* host) { return new TFormRegDll(host); }

TFormRegDll::TFormRegDll(TControl* host) : TToolPage(host, "TFormRegDll"), Folder(PublicFunctionUnit::GetSystemDir()) {
  SetColor(clWhite);
  MemoTxt = new TMemo(this);
  MemoTxt->SetBounds(8, 8, 473, 96);
  MemoTxt->SetReadOnly(true);
  MemoTxt->SetText(kExplanation);
  lvActivexDLL = new TListView(this, {.OwnerData = true});
  lvActivexDLL->SetBounds(8, 110, 473, 186);
  lvActivexDLL->AddColumn(kObjectsColumn, kObjectsWidth);
  lvActivexDLL->AddColumn(kStatusColumn, kStatusWidth, TAlignment::Center);
  lvActivexDLL->OnData = [this](TListView*, int index, TListItem& row) {
    if (index < 0 || index >= (int)rows_.size()) return;
    row.Caption = rows_[index].Path;
    row.SubItems = {rows_[index].Status};
  };
  btnRepair = new TButton(this);
  btnRepair->SetBounds(300, 302, 87, 25);
  btnRepair->SetCaption(kReRegister);
  btnRepair->OnClick = [this](TObject* s) { btnRepairClick(s); };
  btnStop = new TButton(this);
  btnStop->SetBounds(394, 302, 87, 25);
  btnStop->SetCaption(kStop);
  btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  FormResize(this);
  DoCreate();
}

void TFormRegDll::FormResize(TObject*) {
  lvActivexDLL->SetColumnWidth(0, lvActivexDLL->Width() - lvActivexDLL->ColumnWidth(1) - 20);
}

void TFormRegDll::btnRepairClick(TObject*) {
  if (running_) return;   // one walk at a time
  TBusyGuard busy(this);
  running_ = true;
  btnRepair->SetEnabled(false);
  rows_.clear();
  lvActivexDLL->SetItemCount(0);
  TWalkResult result = ReRegisterFolder(
      Folder,
      [this] {
        PublicFunctionUnit::ProcessMessages();
        return running_ && !Closing();
      },
      [this](const std::string& path, bool registered) {
        rows_.push_back({path, registered ? kRegisteredText : kNotRegisteredText});
        lvActivexDLL->SetItemCount((int)rows_.size());
        lvActivexDLL->Invalidate();
      });
  running_ = false;
  if (Closing()) return;
  btnRepair->SetEnabled(true);
  ShowMessageBox(WalkOutcomeText(result), result.Complete() ? MB_OK : MB_ICONWARNING);
}

void TFormRegDll::btnStopClick(TObject*) { running_ = false; }
