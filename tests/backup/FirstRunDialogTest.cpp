// The first-run offer of a full registry export.
#include <gtest/gtest.h>

#include "app/FirstFullBackupUnit.h"
#include "app/RegBackupUnit.h"
#include "framework/Handles.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"

using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {
// The dialog exporting the test's own key into the test's folder.
struct FirstRunExport : ::testing::Test {
  RegSandbox box;
  TempFolder temp;
  TFormPtr<TFirstFullBackupDialog> dialog{new TFirstFullBackupDialog};
  FirstRunExport() {
    dialog->BackupFolder = temp.Path() + "FullBackup\\";
    dialog->ExportKey = box.FullPath();
  }
};
}  // namespace

TEST_F(FirstRunExport, FirstPressExportsAndSaysSoTheSecondCloses) {
  box.SetString("", "v", "x");
  EXPECT_FALSE(dialog->abMessage->Visible());
  std::vector<std::string> seen;
  TModalHookScope hook([&](TForm&) {
    dialog->OKButton->Perform(BM_CLICK);
    seen.push_back(dialog->abMessage->Caption());
    seen.push_back(dialog->OKButton->Caption());
    dialog->OKButton->Perform(BM_CLICK);
  });
  dialog->ShowModal();
  EXPECT_EQ(seen, (std::vector<std::string>{"Backup registry complete!", "OK"}));
  std::vector<std::string> files;
  ForEachFile(dialog->BackupFolder, "Backup_*.reg", [&](const TFoundFile& f) { return files.push_back(f.Name), true; });
  ASSERT_EQ(files.size(), 1u);
  std::string sid;   // the export holds the current user's HKEY_CURRENT_USER
  EXPECT_TRUE(RegBackupUnit::ReadExportUser(dialog->BackupFolder + files[0], sid));
  EXPECT_EQ(sid, PublicFunctionUnit::CurrentUserSid());
  EXPECT_FALSE(dialog->Visible());
}

TEST_F(FirstRunExport, AnExportThatWroteNothingIsReportedAsFailed) {
  dialog->ExportKey = box.FullPath() + "\\missing";
  dialog->OKButton->Perform(BM_CLICK);
  EXPECT_EQ(dialog->abMessage->Caption(), "Creating registry backup was failed.");
  EXPECT_EQ(dialog->OKButton->Caption(), "OK");
  EXPECT_TRUE(dialog->abMessage->Visible() && dialog->OKButton->Enabled());
}
