// The first-run offer, shown before the first repair: a full export of the registry into
// "FullBackup\" with a status line; the button reads "Backup Now" until the export ran, then "OK".
#pragma once

#include <string>

#include "../framework/Forms.h"
#include "../framework/StdCtrls.h"

class TFirstFullBackupDialog : public TForm {
 public:
  explicit TFirstFullBackupDialog(TForm* owner = nullptr);

  TImage* Image1;   // the banner
  TLabel* Label1;
  TLabel* Label2;
  TLabel* abMessage;
  TButton* OKButton;

  std::string BackupFolder;   // "" is "FullBackup\" beside the program
  std::string ExportKey;      // "" is the whole registry

  void FormCreate(TObject* sender);
  void OKButtonClick(TObject* sender);
  // Exports the registry; true when regedit ended and wrote a complete file.
  bool FullBackup();
};
