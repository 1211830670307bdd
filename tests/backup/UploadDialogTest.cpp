// The upload offer after the first repair.
#include <gtest/gtest.h>

#include "LocalFtpServer.h"
#include "app/MainUnit.h"
#include "app/ftpUpFileDialogUnit.h"
#include "framework/Application.h"
#include "scan/PublicFunctionUnit.h"

using testing_support::MessageBoxes;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {
// Shows the dialog and presses the given buttons in its modal loop; returns the modal result.
TModalResult ShowAndPress(TftpUpFileDialog& dialog, const std::function<void()>& press) {
  TModalHookScope hook([&](TForm&) { press(); });
  return dialog.ShowModal();
}

void UseServer(const TLocalFtpServer& server) {
  Endpoints::FtpHost = "127.0.0.1";
  Endpoints::FtpPort = server.Port();
  Endpoints::FtpUser = "zelvoran";
  Endpoints::FtpPassword = "secret";
}
struct UploadDialog : ::testing::Test, FtpEndpointsKept {
  testing_support::TKeep<PublicFunctionUnit::TMyRegistryInfo> info{PublicFunctionUnit::MyRegistryInfo};
  testing_support::TKeep<std::string> backupFile{MainUnit::RepairBackupFile};
  RegSandbox settings{HKEY_LOCAL_MACHINE};
  TempFolder temp;

  // A dialog over the test's settings key, with the offers due.
  TftpUpFileDialog* NewDialog() {
    PublicFunctionUnit::MyRegistryInfo.OneTime = true;
    MessageBoxes().Clear();
    auto* dialog = new TftpUpFileDialog;
    dialog->SettingsKey = "\\" + settings.Path();
    return dialog;
  }
};
}  // namespace

TEST_F(UploadDialog, OkWithNoMarksTheOffersDoneWithoutSending) {
  TFormPtr<TftpUpFileDialog> dialog(NewDialog());
  EXPECT_TRUE(dialog->yesRadioButton->Checked());
  dialog->Label5->Click();
  EXPECT_TRUE(dialog->noRadioButton->Checked());
  EXPECT_EQ(ShowAndPress(*dialog, [&] { dialog->OkBitBtn->Click(); }), mrOk);
  EXPECT_FALSE(PublicFunctionUnit::MyRegistryInfo.OneTime);
  EXPECT_TRUE(settings.Read("", "OneTime") == "1" && MessageBoxes().Calls.empty());
}

TEST_F(UploadDialog, OkWithYesSendsTheBackupAndCancelLeavesTheOffersDue) {
  TLocalFtpServer server("zelvoran", "secret");
  UseServer(server);
  MainUnit::RepairBackupFile = temp.WriteFile("_20261205_154249.reg", "backup");

  TFormPtr<TftpUpFileDialog> cancelled(NewDialog());
  EXPECT_EQ(ShowAndPress(*cancelled, [&] { cancelled->CancelButton->Click(); }), mrCancel);
  EXPECT_TRUE(PublicFunctionUnit::MyRegistryInfo.OneTime && !settings.ValueExists("", "OneTime"));

  TFormPtr<TftpUpFileDialog> dialog(NewDialog());
  dialog->Label2->Click();
  EXPECT_EQ(ShowAndPress(*dialog, [&] { dialog->OkBitBtn->Click(); }), mrOk);
  EXPECT_EQ(server.Files()["/_20261205_154249.reg"], "backup");
  EXPECT_EQ(dialog->ftpGauge->Position(), dialog->ftpGauge->Max());
  EXPECT_TRUE(!PublicFunctionUnit::MyRegistryInfo.OneTime && settings.ValueExists("", "OneTime"));
  EXPECT_TRUE(MessageBoxes().Calls.empty());

  // a server that refuses the login: "Connect fail!" once, and the dialog closes as after a send
  Endpoints::FtpPassword = "wrong";
  TFormPtr<TftpUpFileDialog> refused(NewDialog());
  EXPECT_EQ(ShowAndPress(*refused, [&] { refused->OkBitBtn->Click(); }), mrOk);
  EXPECT_EQ(testing_support::MessageTexts(), std::vector<std::string>{"Connect fail!"});
  EXPECT_FALSE(PublicFunctionUnit::MyRegistryInfo.OneTime);
}

TEST_F(UploadDialog, CancelCanBePressedWhileTheFileGoesOut) {
  TLocalFtpServer slow("zelvoran", "secret", false, true);
  UseServer(slow);
  MainUnit::RepairBackupFile = temp.WriteFile("_20261205_154249.reg", std::string(8 << 20, 'x'));
  TFormPtr<TftpUpFileDialog> dialog(NewDialog());
  bool sending = false;
  ShowAndPress(*dialog, [&] {
    // runs only once the dialog handles its messages again, which it does while it sends
    Application.Post([&] {
      sending = dialog->abWaitting->Visible() && !dialog->OkBitBtn->Enabled() && dialog->Height() == 346;
      dialog->CancelButton->Click();
    });
    dialog->OkBitBtn->Click();
  });
  EXPECT_TRUE(sending && dialog->Cancelled);
  EXPECT_LT(dialog->ftpGauge->Position(), dialog->ftpGauge->Max()) << "the upload ended before the whole file went";
  EXPECT_FALSE(dialog->abWaitting->Visible());
  EXPECT_FALSE(PublicFunctionUnit::MyRegistryInfo.OneTime) << "OK marked the offers done";
  EXPECT_TRUE(MessageBoxes().Calls.empty()) << "a cancel is silent";
}
