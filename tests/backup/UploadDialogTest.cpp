// The upload offer after the first repair.
#include <gtest/gtest.h>

#include "LocalFtpServer.h"
#include "app/MainUnit.h"
#include "app/ftpUpFileDialogUnit.h"
#include "framework/Endpoints.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"

using testing_support::MessageBoxes;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {
// Shows the dialog and presses the given buttons in its modal loop; returns the modal result.
TModalResult ShowAndPress(TftpUpFileDialog& dialog, const std::function<void()>& press) {
  TModalHookScope hook([&](TForm&) { press(); });
  return dialog.ShowModal();
}
}  // namespace

TEST(UploadDialog, OkWithNoMarksTheOffersDoneWithoutSending) {
  RegSandbox settings(HKEY_LOCAL_MACHINE);
  PublicFunctionUnit::MyRegistryInfo.OneTime = true;
  MessageBoxes().Clear();
  TFormPtr<TftpUpFileDialog> dialog(new TftpUpFileDialog);
  dialog->SettingsKey = "\\" + settings.Path();
  EXPECT_EQ(dialog->Height(), 250);
  EXPECT_TRUE(dialog->yesRadioButton->Checked());
  dialog->Label5->Click();
  EXPECT_TRUE(dialog->noRadioButton->Checked());
  EXPECT_EQ(ShowAndPress(*dialog, [&] { dialog->OkBitBtn->Click(); }), mrOk);
  EXPECT_FALSE(PublicFunctionUnit::MyRegistryInfo.OneTime);
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(reg.OpenKey("\\" + settings.Path(), false));
  EXPECT_EQ(reg.ReadString("OneTime"), "1");
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST(UploadDialog, OkWithYesSendsTheBackupAndCancelLeavesTheOffersDue) {
  RegSandbox settings(HKEY_LOCAL_MACHINE);
  TempFolder temp;
  TLocalFtpServer server("zelvoran", "secret");
  Endpoints::FtpHost = "127.0.0.1";
  Endpoints::FtpPort = server.Port();
  Endpoints::FtpUser = "zelvoran";
  Endpoints::FtpPassword = "secret";
  MainUnit::RepairBackupFile = temp.WriteFile("_20261205_154249.reg", "backup");

  PublicFunctionUnit::MyRegistryInfo.OneTime = true;
  TFormPtr<TftpUpFileDialog> cancelled(new TftpUpFileDialog);
  cancelled->SettingsKey = "\\" + settings.Path();
  EXPECT_EQ(ShowAndPress(*cancelled, [&] { cancelled->CancelButton->Click(); }), mrCancel);
  EXPECT_TRUE(PublicFunctionUnit::MyRegistryInfo.OneTime);
  EXPECT_FALSE(settings.ValueExists("", "OneTime"));

  MessageBoxes().Clear();
  TFormPtr<TftpUpFileDialog> dialog(new TftpUpFileDialog);
  dialog->SettingsKey = "\\" + settings.Path();
  dialog->Label2->Click();
  EXPECT_EQ(ShowAndPress(*dialog, [&] { dialog->OkBitBtn->Click(); }), mrOk);
  EXPECT_EQ(server.Files()["/_20261205_154249.reg"], "backup");
  EXPECT_EQ(dialog->ftpGauge->Position(), dialog->ftpGauge->Max());
  EXPECT_FALSE(PublicFunctionUnit::MyRegistryInfo.OneTime);
  EXPECT_TRUE(settings.ValueExists("", "OneTime"));
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}
