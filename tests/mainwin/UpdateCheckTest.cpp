// The data module's download routine and the update check against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include "support/LocalHttpServer.h"
#include "support/MainWindowHost.h"
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

  // The check as the program runs it: asked for, it answers before it returns; at start-up it
  // runs beside the program, and its answer comes from the message loop.
  void Check(bool interactive) {
    dm.CheckForUpdates(interactive);
    for (int i = 0; i < 3000 && dm.UpdateCheckPending(); ++i) {
      Application.ProcessMessages();
      Sleep(10);
    }
    EXPECT_FALSE(dm.UpdateCheckPending());
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
  Check(false);
  Check(true);
  EXPECT_FALSE(FileExists(folder.Path() + "Update.ini") || OwnWindowShown(L"TShowLiveUpdateForm"));
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(UpdateFixture, NewerListedVersionAsksAndNoKeepsRunning) {
  Installed("3.0");
  Listed("[Version]\r\nVer=10.0\r\n");
  ServerBuild(kOld);
  MessageBoxes().NextAnswer = IDNO;
  Check(false);
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
    Check(c.Asked);
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

// ---- one deadline for the whole check, and the window never waits for it ----

// A server that never answers or trickles its reply, at the list or at the build's date: the
// start-up returns at once and the check gives up at its deadline, long before the server would
// have ended; asked for, the check returns by its deadline too. Nothing is said or written.
TEST_F(UpdateFixture, AServerThatNeverAnswersOrTricklesIsGivenUpAtTheDeadline) {
  using TReply = TLocalHttpServer::TReply;
  Installed("3.0");
  dm.UpdateDeadline = 1000;
  const std::string list = "/update/Update.ini", build = "/update/" + ExtractFileName(ExeName());
  struct TCase {
    const char* What;
    std::string Path;   // the request the server holds
    bool TReply::*How;   // how the server holds it
  };
  const TCase cases[] = {
      {"the list never answers", list, &TReply::Stall},
      {"the list trickles", list, &TReply::Trickle},
      {"the build's date never answers", build, &TReply::Stall},
      {"the build's date trickles", build, &TReply::TrickleHead},
  };
  for (const TCase& c : cases) {
    for (bool asked : {false, true}) {
      SCOPED_TRACE(std::string(c.What) + (asked ? ", asked" : ""));
      MessageBoxes().Clear();
      DeleteFileW(Widen(folder.Path() + "Update.ini").c_str());
      TLocalHttpServer slow;
      Endpoints::UpdateBase = slow.Base();
      TLocalHttpServer::TReply held;
      held.Body = c.Path == list ? "[Version]\r\nVer=10.0\r\n" : "MZ";
      held.LastModified = kFuture;
      held.*c.How = true;
      slow.Route(c.Path, held);
      if (c.Path == build) slow.Route(list, {200, "[Version]\r\nVer=3.0\r\n"});

      dm.CheckForUpdates(asked);
      EXPECT_EQ(slow.AnsweredFor(c.Path), 0) << "returned while the server still held the request";
      if (!asked) {
        EXPECT_TRUE(dm.UpdateCheckPending()) << "the check goes on beside the program";
        for (int i = 0; i < 3000 && dm.UpdateCheckPending(); ++i) {
          Application.ProcessMessages();
          Sleep(10);
        }
        EXPECT_FALSE(dm.UpdateCheckPending());
        EXPECT_EQ(slow.AnsweredFor(c.Path), 0) << "given up while the server still held the request";
      }
      EXPECT_TRUE(MessageBoxes().Calls.empty());
      EXPECT_FALSE(OwnWindowShown(L"TShowLiveUpdateForm"));
      if (c.Path == list) EXPECT_FALSE(FileExists(folder.Path() + "Update.ini")) << "only a whole list is kept";
      EXPECT_FALSE(dm.UpdateRequested || Application.Terminated());
    }
  }
}

// A list the tools download from a server that trickles it or never sends it whole: the download
// ends by its deadline with the silent abort, and the file stays as it was.
TEST_F(UpdateFixture, ADownloadEndsByItsDeadlineWhateverTheServerDoes) {
  dm.DownloadDeadline = 1000;
  std::string target = folder.WriteFile("Code", "known list");
  for (bool trickle : {true, false}) {
    TLocalHttpServer slow;
    TLocalHttpServer::TReply held;
    held.Body = "a new list";
    (trickle ? held.Trickle : held.Stall) = true;
    slow.Route("/update/Code", held);
    EXPECT_THROW(dm.DownloadFile(slow.Base() + "/update/Code", target), EAbort) << trickle;
    EXPECT_EQ(slow.AnsweredFor("/update/Code"), 0) << "ended while the server still held the request";
    EXPECT_EQ(ReadAll(target), "known list");
    EXPECT_EQ(FilesIn(folder.Path()), 1);
  }
}

// The update question of the start-up's check waits while the program is busy or shows the
// finish page (agreeing ends the program), and comes once it is free.
TEST(UpdateInMainWindow, TheStartUpsQuestionWaitsUntilTheProgramIsFree) {
  struct TFixture : MainWindowHost {} host;
  RegSandbox versionKey{HKEY_LOCAL_MACHINE};
  TLocalHttpServer server;
  testing_support::TKeep<std::string> base{Endpoints::UpdateBase};
  Endpoints::UpdateBase = server.Base();
  host.dm.DataFolder = host.folder.Path();
  host.dm.VersionKey = "\\" + versionKey.Path();
  versionKey.SetString("", "Version", "3.0");
  server.Route("/update/Update.ini", {200, "[Version]\r\nVer=10.0\r\n"});
  host.CreateAndShow();
  TZelvoranMainForm* form = host.form;

  TBusyGuard* busy = nullptr;
  struct THold {
    const char* What;
    std::function<void()> Take, Release;
  };
  const THold holds[] = {
      {"a repair or a busy page", [&] { busy = new TBusyGuard(form); }, [&] { delete busy; }},
      {"the finish page", [&] {
         form->ScanNotebook->SetPageIndex(2);
         form->SetScanPhase(3);
       }, [&] { form->FinishBtnClick(form->FinishBtn); }},
      {"a modal dialog", [&] { EnableWindow(form->Handle(), FALSE); }, [&] { EnableWindow(form->Handle(), TRUE); }},
  };
  auto pump = [](int rounds) {
    for (int i = 0; i < rounds; ++i) {
      Application.ProcessMessages();
      Sleep(10);
    }
  };
  for (const THold& hold : holds) {
    SCOPED_TRACE(hold.What);
    MessageBoxes().Clear();
    hold.Take();
    int asked = server.RequestsFor("/update/Update.ini");
    host.dm.CheckForUpdates(false);
    for (int i = 0; i < 3000 && server.AnsweredFor("/update/Update.ini") == asked; ++i) pump(1);
    pump(30);   // the check has its answer: the question waits
    EXPECT_TRUE(host.dm.UpdateCheckPending());
    EXPECT_TRUE(MessageBoxes().Calls.empty());
    hold.Release();
    MessageBoxes().NextAnswer = IDNO;
    for (int i = 0; i < 3000 && host.dm.UpdateCheckPending(); ++i) pump(1);
    ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
    EXPECT_EQ(MessageBoxes().Calls[0].text, kQuestion);
    EXPECT_FALSE(host.dm.UpdateRequested || Application.Terminated());
  }
}

// The updater is handed over from the program's folder, held against writing, renaming and
// deleting until the system has started it; then the program ends.
TEST_F(UpdateFixture, TheUpdaterIsHeldAgainstChangesUntilItHasBeenStarted) {
  Installed("3.0");
  Listed("[Version]\r\nVer=10.0\r\n");
  std::string updater = folder.Path() + "ZelvoranUpdate.exe";
  testing_support::TPlantedProgram planted(updater);
  auto start = dm.RunUpdater;
  std::vector<DWORD> refusals;
  dm.RunUpdater = [&](const std::string& file, const std::string& folderOfIt) {
    EXPECT_EQ(file, updater);
    EXPECT_EQ(folderOfIt, folder.Path());
    HANDLE writer = CreateFileW(Widen(file).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    refusals.push_back(writer == INVALID_HANDLE_VALUE ? GetLastError() : 0);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    refusals.push_back(MoveFileW(Widen(file).c_str(), Widen(file + ".old").c_str()) ? 0 : GetLastError());
    refusals.push_back(DeleteFileW(Widen(file).c_str()) ? 0 : GetLastError());
    return start(file, folderOfIt);
  };
  MessageBoxes().NextAnswer = IDYES;
  Check(true);
  EXPECT_EQ(refusals, std::vector<DWORD>(3, ERROR_SHARING_VIOLATION));
  for (int i = 0; i < 500 && !planted.Ran(); ++i) Sleep(10);
  EXPECT_TRUE(planted.Ran());
  EXPECT_TRUE(dm.UpdateRequested && Application.Terminated());
  EXPECT_EQ(MessageBoxes().Calls.size(), 1u);   // the question only
}
