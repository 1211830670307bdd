#include "FirstFullBackupUnit.h"

#include "../framework/Pictures.h"
#include "RegBackupUnit.h"

namespace {
const char* const kBackupNow = "Backup Now";
const char* const kInProcess = "Backup is in process, please wait.";
const char* const kDone = "Backup registry complete!";
const char* const kFailed = "Creating registry backup was failed.";
const char* const kOk = "OK";
}  // namespace

TFirstFullBackupDialog::TFirstFullBackupDialog(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::Dialog, .ClassName = "TFirstFullBackupDialog"}) {
  SetCaption("Zelvoran - Create full registry backup");
  SetColor(clBtnFace);
  SetClientSize(465, 219);
  Position = TPosition::ScreenCenter;

  Image1 = new TImage(this);
  Image1->SetBounds(0, 0, 465, 60);
  TBitmap banner;
  if (LoadJpegResource("FIRST_BACKUP_BANNER", banner)) Image1->SetPicture(std::move(banner));

  Label1 = new TLabel(this);
  Label1->SetBounds(24, 72, 420, 16);
  Label1->SetCaption("It is recommended to creat a full registry backup before your first repair. ");
  Label2 = new TLabel(this);
  Label2->SetBounds(24, 96, 420, 16);
  Label2->SetCaption("According to your PC configuration, it will take few seconds to minutes.");
  abMessage = new TLabel(this);
  abMessage->SetBounds(24, 132, 417, 16);
  abMessage->Alignment = TAlignment::Center;
  abMessage->SetVisible(false);

  OKButton = new TButton(this);
  OKButton->SetBounds(0, 168, 105, 29);
  OKButton->SetCaption(kBackupNow);
  OKButton->OnClick = [this](TObject* s) { OKButtonClick(s); };

  OnCreate = [this](TObject* s) { FormCreate(s); };
  DoCreate();
}

void TFirstFullBackupDialog::FormCreate(TObject*) {
  abMessage->SetCaption("");
  OKButton->SetBounds((ClientWidth() - OKButton->Width()) / 2, OKButton->Top(), OKButton->Width(), OKButton->Height());
}

bool TFirstFullBackupDialog::FullBackup() {
  std::string folder = BackupFolder.empty() ? RegBackupUnit::FullBackupFolder() : BackupFolder;
  return RegBackupUnit::MakeFullBackup(folder, Now(), ExportKey).Succeeded;
}

void TFirstFullBackupDialog::OKButtonClick(TObject*) {
  if (OKButton->Caption() != kBackupNow) {
    Close();
    return;
  }
  TBusyGuard busy(this);   // the export pumps messages while regedit runs
  abMessage->SetCaption(kInProcess);
  abMessage->SetVisible(true);
  OKButton->SetEnabled(false);
  Repaint();
  bool done = FullBackup();
  abMessage->SetCaption(done ? kDone : kFailed);
  OKButton->SetEnabled(true);
  OKButton->SetCaption(kOk);
}
