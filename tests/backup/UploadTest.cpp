// Sending the repair backup by FTP, against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include "LocalFtpServer.h"
#include "app/ftpUpFileDialogUnit.h"

using ftpUpFileDialogUnit::TUploadOutcome;
using ftpUpFileDialogUnit::Upload;
using testing_support::MessageBoxes;
using testing_support::TempFolder;

namespace {
std::string Content(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = (char)(i * 13 + 1);
  return s;
}
struct FtpUpload : ::testing::Test, FtpEndpointsKept {
  TempFolder temp;
  FtpUpload() { MessageBoxes().Clear(); }
};
}  // namespace

TEST_F(FtpUpload, StoresTheFileUnderItsNameAndReportsProgressOrShowsConnectFail) {
  TLocalFtpServer server("zelvoran", "secret");
  Endpoints::FtpPort = server.Port();
  const std::string body = Content(100000), file = temp.WriteFile("_20261205_154249.reg", body);
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  EXPECT_EQ(Upload("/", file, " secret ", " zelvoran ", " 127.0.0.1 ",
                   [&](uint64_t sent, uint64_t all) { return progress.emplace_back(sent, all), true; }),
            TUploadOutcome::Sent);
  EXPECT_TRUE(server.Files()["/_20261205_154249.reg"] == body);
  EXPECT_GT(progress.size(), 1u);
  EXPECT_EQ(progress.back(), (std::pair<uint64_t, uint64_t>(body.size(), body.size())));
  EXPECT_TRUE(MessageBoxes().Calls.empty());

  // a missing backup file: nothing is sent and nothing is shown
  EXPECT_EQ(Upload("/", temp.Path() + "gone.reg", "secret", "zelvoran", "127.0.0.1"), TUploadOutcome::TransferFailed);
  EXPECT_EQ(Upload("/", "", "secret", "zelvoran", "127.0.0.1"), TUploadOutcome::TransferFailed);
  EXPECT_TRUE(MessageBoxes().Calls.empty());

  // a refused login and a missing directory
  const std::string other = temp.WriteFile("b.reg", "x");
  EXPECT_EQ(Upload("/", other, "wrong", "zelvoran", "127.0.0.1"), TUploadOutcome::ConnectFailed);
  EXPECT_EQ(Upload("/nowhere", other, "secret", "zelvoran", "127.0.0.1"), TUploadOutcome::ConnectFailed);
  EXPECT_EQ(testing_support::MessageTexts(), (std::vector<std::string>{"Connect fail!", "Connect fail!"}));
  EXPECT_EQ(server.Files().size(), 1u);
}

TEST_F(FtpUpload, StalledServerAndCancelEndTheUpload) {
  std::string file = temp.WriteFile("c.reg", Content(200000));
  {
    TLocalFtpServer stalled("zelvoran", "secret", true);
    Endpoints::FtpPort = stalled.Port();
    testing_support::TKeep<DWORD> timeout(ftpUpFileDialogUnit::UploadTimeout, 1500);
    EXPECT_EQ(Upload("/", file, "secret", "zelvoran", "127.0.0.1"), TUploadOutcome::ConnectFailed);
    EXPECT_EQ(MessageBoxes().Calls.size(), 1u);
  }
  // Cancel while the data goes out: the upload ends at once, with nothing shown
  std::string big = temp.WriteFile("big.reg", Content(8 << 20));
  {
    TLocalFtpServer slow("zelvoran", "secret", false, true);
    Endpoints::FtpPort = slow.Port();
    MessageBoxes().Clear();
    int calls = 0;
    EXPECT_EQ(Upload("/", big, "secret", "zelvoran", "127.0.0.1", [&](uint64_t, uint64_t) { return ++calls < 3; }),
              TUploadOutcome::Cancelled);
    EXPECT_TRUE(calls == 3 && MessageBoxes().Calls.empty());
    // the worker still owns its handles: it closes them once the call it is in returns
    EXPECT_EQ(ftpUpFileDialogUnit::RunningUploads(), 1);
  }
  // before the program ends the workers given up on are waited for; the next upload is whole
  ftpUpFileDialogUnit::WaitForUploads();
  EXPECT_EQ(ftpUpFileDialogUnit::RunningUploads(), 0);
  TLocalFtpServer server("zelvoran", "secret");
  Endpoints::FtpPort = server.Port();
  EXPECT_EQ(Upload("/", file, "secret", "zelvoran", "127.0.0.1"), TUploadOutcome::Sent);
  EXPECT_TRUE(server.Files()["/c.reg"] == Content(200000));
}
