// The data module's download routine and the update check against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"
#include "app/DMUnit.h"
#include "app/ShowLiveUpdateUnit.h"
#include "framework/Application.h"
#include "framework/Endpoints.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Strings.h"

using testing_support::MessageBoxes;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {

const char* kOld = "Mon, 01 Jan 2001 00:00:00 GMT";
const char* kFuture = "Sun, 01 Jan 2040 00:00:00 GMT";
const char* kQuestion =
    "A newer version of Zelvoran is available, Zelvoran will shut down to install the newer version.\r"
    "Would you like to update now?";

std::string ReadAll(const std::string& path) { return FileExists(path) ? ReadFileBytes(path) : std::string(); }

int FilesIn(const std::string& folder) {
  int n = 0;
  ForEachFile(folder, "*", [&](const TFoundFile& f) { return n += !f.IsFolder(), true; });
  return n;
}

bool OwnWindowShown(const wchar_t* className) { return testing_support::ThreadWindows(className) > 0; }

// A data module whose update files live in the test's folder and whose installed version is
// read from the test's own key.
struct UpdateFixture : ::testing::Test {
  TempFolder folder;
  RegSandbox versionKey{HKEY_LOCAL_MACHINE};
  TLocalHttpServer server;
  TDM dm;
  testing_support::TKeep<std::string> base{Endpoints::UpdateBase};

  UpdateFixture() {
    dm.DataFolder = folder.Path();
    dm.VersionKey = "\\" + versionKey.Path();
    Endpoints::UpdateBase = server.Base();
    MessageBoxes().Clear();
  }

  void Installed(const std::string& version) { versionKey.SetString("", "Version", version); }
  void Listed(const std::string& iniText) { server.Route("/update/Update.ini", {200, iniText}); }
  void ServerBuild(const char* lastModified) {
    TLocalHttpServer::TReply r;
    r.Body = "MZ";
    r.LastModified = lastModified;
    server.Route("/update/" + ExtractFileName(ExeName()), r);
  }
};

}  // namespace

TEST(Versions, CompareByNumericParts) {
  struct Case {
    const char *Listed, *Installed;
    int Order;   // the sign of the comparison
  };
  for (const Case& c : {Case{"10.0", "3.0", 1}, Case{"3.1", "3.0", 1}, Case{"3.0", "3.0", 0}, Case{"3", "3.0", 0},
                        Case{"03.00", "3.0", 0}, Case{"3.0", "3.0.1", -1}, Case{"2.99", "3.0", -1},
                        Case{"3.0b", "3.0a", 1}, Case{"12345678901234567890.1", "9.1", 1}}) {
    const int order = DMUnit::CompareVersions(c.Listed, c.Installed);
    EXPECT_EQ((order > 0) - (order < 0), c.Order) << c.Listed << " " << c.Installed;
  }
  // a blank listed version is never newer; anything is newer than no installed version
  std::string newer;
  for (auto [listed, installed] : {std::pair{"", "3.0"}, {"", ""}, {"  ", ""}, {"1.0", ""}, {"10.0", "3.0"}, {"3.0", "3.0"}})
    newer += DMUnit::IsNewerVersion(listed, installed) ? "1" : "0";
  EXPECT_EQ(newer, "000110");
}

TEST_F(UpdateFixture, DownloadReplacesTheFileAndSendsTheClientHeaders) {
  std::string target = folder.WriteFile("list.txt", std::string(5000, 'x'));
  server.Route("/update/list.txt", {200, "short"});
  dm.DownloadFile(server.Base() + "/update/list.txt", target);
  EXPECT_EQ(ReadAll(target), "short");
  EXPECT_EQ(FilesIn(folder.Path()), 1);   // no temporary file left behind

  ASSERT_EQ(server.Requests().size(), 1u);
  for (const char* header : {"User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n", "Accept: text/html, */*\r\n",
                             "Content-Type: text/html\r\n"})
    EXPECT_NE(server.Requests()[0].find(header), std::string::npos) << server.Requests()[0];
}

TEST_F(UpdateFixture, FailedDownloadsAndAServerDownAbortSilentlyAndLeaveTheFilesAlone) {
  std::string target = folder.WriteFile("Code", "known list");
  TLocalHttpServer::TReply truncated;
  truncated.Body = "half of it";
  truncated.Truncate = true;
  server.Route("/update/cut", truncated);
  server.Route("/update/error", {500, "oops"});

  for (std::string url : {server.Base() + "/update/missing", server.Base() + "/update/error",
                          server.Base() + "/update/cut", TLocalHttpServer::ClosedBase() + "/update/Code"}) {
    EXPECT_THROW(dm.DownloadFile(url, target), EAbort) << url;
    EXPECT_EQ(ReadAll(target), "known list") << url;
    EXPECT_EQ(FilesIn(folder.Path()), 1) << url;
  }

  // A list that was never there stays missing: no empty file that would never be fetched again.
  // A server that stalls is given up after the read time-out.
  TLocalHttpServer::TReply stall;
  stall.Stall = true;
  server.Route("/update/slow", stall);
  std::string fresh = folder.Path() + "errorlist.txt";
  for (const char* path : {"/update/missing", "/update/slow"}) {
    EXPECT_THROW(dm.DownloadFile(server.Base() + path, fresh), EAbort) << path;
    EXPECT_FALSE(FileExists(fresh)) << path;
  }

  // A folder that cannot be written to counts as a failed download.
  EXPECT_THROW(dm.DownloadFile(server.Base() + "/update/error", folder.Path() + "nosuch\\x.txt"), EAbort);
  // With the server down the update check ends without a word.
  Installed("3.0");
  Endpoints::UpdateBase = TLocalHttpServer::ClosedBase();
  dm.CheckForUpdates(false);
  dm.CheckForUpdates(true);
  EXPECT_FALSE(FileExists(folder.Path() + "Update.ini") || OwnWindowShown(L"TShowLiveUpdateForm"));
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(UpdateFixture, NewerListedVersionAsksAndNoKeepsRunning) {
  Installed("3.0");
  Listed("[Version]\r\nVer=10.0\r\n");
  ServerBuild(kOld);
  MessageBoxes().NextAnswer = IDNO;
  dm.CheckForUpdates(false);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, kQuestion);
  EXPECT_EQ(MessageBoxes().Calls[0].caption, "Zelvoran");
  EXPECT_EQ(MessageBoxes().Calls[0].flags, 68u);
  EXPECT_FALSE(dm.UpdateRequested || Application.Terminated());
  EXPECT_EQ(server.RequestsFor("/update/" + ExtractFileName(ExeName())), 0);   // the list decided
  EXPECT_NE(ReadAll(folder.Path() + "Update.ini").find("Ver=10.0"), std::string::npos);
}

// What the check says, asked for or not, to each installed version, list and server build.
TEST_F(UpdateFixture, AsksOnlyWhenSomethingIsNewerAndSaysUpToDateOnlyWhenAsked) {
  struct Case {
    const char *Installed, *List, *Built;
    bool Asked;
    int Answer;
    std::vector<std::string> Texts;
  };
  const std::string upToDate = "There are no updates available at this time.\rYour Zelvoran is up-to-date.";
  const std::string noUpdater = "ZelvoranUpdate.exe";
  for (const Case& c : {
           // a broken list and no installed version are never newer
           Case{nullptr, "<html><body>Not what you expected</body></html>", kOld, false, 0, {}},
           Case{"3.0", "3.0", kFuture, false, IDNO, {kQuestion}},   // a newer build, the same listed version
           Case{"3.0", "3.0", kOld, false, 0, {}},
           Case{"3.0", "3.0", kOld, true, 0, {upToDate}},
           Case{"3.0", "3.1", nullptr, true, IDYES, {kQuestion, noUpdater}},   // yes, but no updater to start
       }) {
    SCOPED_TRACE(std::string(c.List) + (c.Asked ? ", asked" : ""));
    MessageBoxes().Clear();
    if (c.Installed != nullptr) Installed(c.Installed);
    Listed(c.Installed != nullptr ? "[Version]\r\nVer=" + std::string(c.List) + "\r\n" : c.List);
    if (c.Built != nullptr) ServerBuild(c.Built);
    MessageBoxes().NextAnswer = c.Answer;
    dm.CheckForUpdates(c.Asked);
    std::vector<std::string> texts;
    for (const MessageBoxCall& call : MessageBoxes().Calls)
      texts.push_back(call.text.find(noUpdater) != std::string::npos ? noUpdater : call.text);
    EXPECT_EQ(texts, c.Texts);
    if (c.Texts == std::vector<std::string>{upToDate}) EXPECT_EQ(MessageBoxes().Calls[0].flags, 64u);
    EXPECT_FALSE(dm.UpdateRequested || Application.Terminated());
    EXPECT_FALSE(OwnWindowShown(L"TShowLiveUpdateForm"));   // the wait window is gone
  }
}

TEST(LiveUpdateWindow, ShowsTheAnimationAboveItsLine) {
  TFormPtr<TShowLiveUpdateForm> wait(new TShowLiveUpdateForm());
  wait->ShowAndPaint();
  EXPECT_TRUE(OwnWindowShown(L"TShowLiveUpdateForm") && wait->StayOnTop());
  EXPECT_EQ(wait->Caption(), "Live Update");
  EXPECT_EQ(wait->Label1->Caption(), "The newest version is testing , wait please...");
  // The animation (see the picture tests) plays above the line.
  EXPECT_TRUE(wait->Image1->Top() + wait->Image1->Height() <= wait->Label1->Top() && wait->Image1->Playing());
}
