// The error utilities (the list's checks, rows, ticks, repair and download) and the support
// mail (the SMTP dialogue, its safety and its failures).
#include <gtest/gtest.h>

#include "app/DMUnit.h"
#include "framework/Application.h"
#include "framework/Endpoints.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "LocalSmtpServer.h"
#include "support/Fuzz.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"
#include "tools/errors/UnitMail.h"
#include "tools/errors/UnitSystemError.h"

using namespace UnitSystemError;
using testing_support::MessageBoxes;
using testing_support::MessageTexts;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {

std::vector<std::string> Titles(const std::vector<TErrorRow>& rows) {
  std::vector<std::string> titles;
  for (const TErrorRow& row : rows) titles.push_back((row.Ticked ? "[x] " : "[ ] ") + row.Caption);
  return titles;
}

}  // namespace

TEST(ErrorList, OnlyWellFormedFixesOutsideStartupPlacesAreListed) {
  const std::string hkcu = "HKEY_CURRENT_USER\\Software\\X";
  struct TCase {
    std::string Line;
    bool Listed;
  } cases[] = {
      {"A)" + hkcu + "||V#5$1@0##Fix A", true},
      {"A)" + hkcu + "||V#-5$1@0,W#text, with #$1@1##Fix, with # $ @ and ,", false},   // data with ","
      {"A)" + hkcu + "||V#4294967295$1@0,W#$2@1,#x$1@1##ok", true},
      {"A)" + hkcu + "||V#5$1@0##costs $1@1, more", true},   // the description yields no operation
      {"A)" + hkcu + "||V#abc$1@0##not a number", false},
      {"A)" + hkcu + "||V#4294967296$1@0##too large", false},
      {"A)" + hkcu + "||V#0x10$1@0##not decimal", false},
      {"A)" + hkcu + "||V#5$3@0##unknown action", false},
      {"A)" + hkcu + "||V#5$1@2##unknown type", false},
      {"A)" + hkcu + "||V5$1@0##no #", false},
      {"A)" + hkcu + "||V#5$1@0,##empty piece", false},
      {"A)hkey_current_user\\Software\\X||V#5$1@0##root case", false},
      {"A)HKEY_CURRENT_USER||V#5$1@0##no subkey", false},
      {"A)HKEY_CURRENT_USER\\Soft\tware||V#5$1@0##control character", false},
      {"no parenthesis HKEY_CURRENT_USER\\Software||V#5$1@0", false},
      {"A)" + hkcu + "##no operations", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run||V#x$1@1", false},
      {"R)HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run||V#x$2@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon||Shell#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\a.exe||Debugger#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows||AppInit_DLLs#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\x||ImagePath#x$1@1", false},
      {"R)HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command||#x$1@1", false},
      {"R)HKEY_CLASSES_ROOT\\CLSID\\{0}\\InprocServer32||#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\x||StubPath#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad||x#y$1@1", false},
      {"I)HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main||Start Page#about:blank$1@1##ok", true},
  };
  for (const TCase& c : cases) {
    UnitErrorList::TContent content;
    std::vector<TRegOp> ops;
    EXPECT_EQ(ParseErrorLine(c.Line, content, ops), c.Listed) << c.Line;
  }
  UnitErrorList::TContent content;
  std::vector<TRegOp> ops;
  ASSERT_TRUE(ParseErrorLine("A)" + hkcu + "||V#5$1@0,W#text$1@1,Z#$2@0##Fix A, B#c", content, ops));
  EXPECT_EQ(content.Title + "|" + content.KeyPath + "|" + Narrow(content.Description), "A|" + hkcu + "|Fix A, B#c");
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[1].ValueName + "|" + ops[1].Data + Format("|%d|%d", ops[1].Action, ops[1].Type), "W|text|1|1");
  EXPECT_EQ(SplitString("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
}

TEST(ErrorList, MalformedListsNeitherCrashNorHangNorListAnythingUnchecked) {
  testing_support::TFuzzInputs inputs(
      {"A)HKEY_CURRENT_USER\\Software\\X||V#5$1@0,W#text$1@1,Z#$2@0##Fix A\r\nB)HKEY_CURRENT_USER\\Y||Q#1$1@0##B\r\n",
       "R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run||V#x$1@1\r\n\r\n)||##\r\n"});
  for (int i = 0; i < 3000; ++i) {
    TErrorContents errors;
    std::vector<TErrorRow> rows;
    LoadErrorList(DecodeTextLines(inputs.Next()), errors, rows);
    for (int k = 0; k < errors.Count(); ++k) {
      const auto& e = errors.GetItem(k).Content;
      UnitErrorList::TContent again;
      std::vector<TRegOp> ops;
      ASSERT_TRUE(ParseErrorLine(e.Title + ")" + e.KeyPath + "||" + e.Operations, again, ops));
    }
  }
}

namespace {

struct ErrorPageFixture : ::testing::Test {
  TempFolder temp;
  RegSandbox box;
  TDM dm;
  TForm* holder = new TForm({});
  TPanel* host = new TPanel(holder);

  ErrorPageFixture() {
    MessageBoxes().Clear();
    DM = &dm;
    dm.DataFolder = temp.Path();
    host->SetBounds(0, 0, 497, 363);
  }
  ~ErrorPageFixture() override {
    holder->Free();
    DM = nullptr;
  }
  TErrorFixForm* Open() {
    auto* page = new TErrorFixForm(host);
    page->SetBounds(4, 26, 489, 337);
    page->Show();
    return page;
  }
  // The list: two browser fixes first, then "A" twice (one row), "B", and "A" again further on.
  void PlantList() {
    std::string x = box.FullPath() + "\\X", y = box.FullPath() + "\\Y";
    temp.WriteFile("errorlist.txt", "IE5)" + x + "||IE#5$1@1##Reinstall IE 5\r\nIE6)" + x + "||IE#6$1@1##IE 6\r\n" +
                                        "A)" + x + "||V#5$1@0,W#text$1@1##Fix A\r\n\r\nA)" + y + "||Q#1$1@0##Fix A on Y\r\n" +
                                        "B)" + x + "||Z#$2@0##Fix B\r\nA)" + x + "||Later#-1$1@0##again\r\n");
  }
};

}  // namespace

TEST_F(ErrorPageFixture, RowsFollowTheListThenTheBuiltInOnesAllButTheFirstTwoTickedAndReportOpensSupport) {
  PlantList();
  TErrorFixForm* page = Open();
  EXPECT_EQ(Titles(page->Rows),
            (std::vector<std::string>{"[ ] IE5", "[ ] IE6", "[x] A", "[x] B", "[x] A",
                                      "[x] \"Internal application error\" occurred in Windows Media Player",
                                      "[x] 1607: Unable to install InstallShield Scripting Runtime",
                                      "[x] Unable to open new window by IE hyperlink", "[x] Unable to update Windows online"}));
  EXPECT_FALSE(page->BitBtn2->Visible());
  page->listerrorSelectItem(4, true);   // a list row: the first fix of that title describes it
  EXPECT_EQ(page->MemoText->Text(), "Fix A");
  page->listerrorSelectItem(6, true);
  EXPECT_EQ(page->MemoText->Text(),
            "Received error message \"1607: Unable to install InstallShield Scripting Runtime\" when trying to install "
            "software in Windows XP");
  page->listerrorSelectItem(6, false);
  EXPECT_EQ(page->MemoText->Text(), "");

  MessageBoxes().NextAnswer = IDNO;   // a browser fix asks first
  page->ToggleRow(0);
  EXPECT_FALSE(page->Rows[0].Ticked);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text.substr(0, 63), "Warning: This option is just suitable for the case that the IE\r");
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_YESNO | MB_ICONWARNING));
  MessageBoxes().NextAnswer = IDYES;
  page->ToggleRow(0);
  page->ToggleRow(3);
  EXPECT_TRUE(page->Rows[0].Ticked);
  EXPECT_FALSE(page->Rows[3].Ticked);
  page->ToggleRow(0);   // unticked without a question
  EXPECT_EQ(MessageBoxes().Calls.size(), 2u);

  std::string caption;   // the hidden report button opens the support window
  TModalHookScope hook([&](TForm& f) { caption = f.Caption(); });
  page->BitBtn2Click(nullptr);
  EXPECT_EQ(caption, "Support");
}

TEST_F(ErrorPageFixture, RepairAppliesEveryFixOfATickedTitleToExistingKeysOnly) {
  PlantList();
  box.SetString("X", "W", "old");
  box.SetString("X", "Z", "to delete");
  box.SetString("X", "IE", "untouched");
  TErrorFixForm* page = Open();
  page->Rows[3].Ticked = false;   // B: Z stays
  page->BitBtn1Click(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"The error(s) has been repaired successfully!"}));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\" + box.Path() + "\\X", false));
  EXPECT_EQ(reg.ReadInteger("V"), 5);
  EXPECT_EQ(reg.ReadString("W"), "text");
  EXPECT_EQ(reg.ReadInteger("Later"), -1);   // the same title further on applies too
  EXPECT_EQ(reg.ReadString("Z"), "to delete");
  EXPECT_EQ(reg.ReadString("IE"), "untouched");
  EXPECT_FALSE(box.KeyExists("Y"));   // never created

  MessageBoxes().Clear();
  for (TErrorRow& row : page->Rows) row.Ticked = !row.FromList;   // built-in rows carry no fix
  page->BitBtn1Click(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"No fix could be applied to the ticked items."}));
  MessageBoxes().Clear();
  for (TErrorRow& row : page->Rows) row.Ticked = false;
  page->BitBtn1Click(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Please select the specific item for this operation!"}));
}

TEST_F(ErrorPageFixture, TheListIsFetchedOnlyWhenMissingAndAFailedFetchLeavesNoFile) {
  TLocalHttpServer server;
  testing_support::TKeep<std::string> base(Endpoints::UpdateBase, server.Base());
  server.Route("/update/errorlist.txt", {.Body = "A)" + box.FullPath() + "||V#5$1@0##Fix A\r\n"});
  TErrorFixForm* page = Open();
  EXPECT_EQ(page->Rows.size(), 5u);
  page->Free();
  Open()->Free();
  EXPECT_EQ(server.RequestsFor("/update/errorlist.txt"), 1);

  DeleteFileW(Widen(temp.Path() + "errorlist.txt").c_str());
  server.Route("/update/errorlist.txt", {.Body = "A)HKEY_CURRENT_USER\\x||V#5$1@0\r\n", .Truncate = true});
  page = Open();
  EXPECT_TRUE(page->Rows.empty());
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  EXPECT_FALSE(FileExists(temp.Path() + "errorlist.txt"));
}

namespace {

struct MailFixture : ::testing::Test {
  TFormPtr<TEMailForm> form{new TEMailForm()};
  MailFixture() { MessageBoxes().Clear(); }
  void Configure(int port, const std::string& password) {
    form->Settings = {.Host = "127.0.0.1", .Port = port, .Address = "support@example.invalid",
                      .User = "desk", .Password = password, .TimeoutMs = 2000};
  }
};

}  // namespace

TEST_F(MailFixture, SendsTheWholeDialogueWithLoginAndAHeaderThatCannotBeInjected) {
  TLocalSmtpServer server;
  Configure(server.Port(), "secret");
  form->Show();
  EXPECT_EQ(form->MemoText->Text(), UnitMail::ProcessorLine());
  EXPECT_NE(form->MemoText->Text().find("个CPU,类型为"), std::string::npos);
  form->TxtSendFile->SetText("user@example.invalid");
  form->TxtSubject->SetText("Hello\r\nBcc: victim@example.invalid");
  form->MemoText->SetText("first\r\n.\r\n.hidden");
  form->SendMail();
  form->SendMail();   // a second message, on a connection of its own
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  std::vector<std::string> lines = server.Lines();
  std::vector<std::string> head(lines.begin(), lines.begin() + 7);
  EXPECT_EQ(head, (std::vector<std::string>{"EHLO localhost", "AUTH LOGIN", UnitMail::Base64("desk"),
                                            UnitMail::Base64("secret"), "MAIL FROM:<support@example.invalid>",
                                            "RCPT TO:<support@example.invalid>", "DATA"}));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "QUIT"), 2);
  auto begin = std::find(lines.begin(), lines.end(), "DATA"), end = std::find(begin, lines.end(), ".");
  ASSERT_NE(end, lines.end());
  std::vector<std::string> data(begin + 1, end);   // the message between DATA and the final dot
  EXPECT_NE(std::find(data.begin(), data.end(), "Reply-To: user@example.invalid"), data.end());
  EXPECT_NE(std::find(data.begin(), data.end(), "Subject: HelloBcc: victim@example.invalid"), data.end());
  for (const std::string& line : data) EXPECT_NE(line.rfind("Bcc:", 0), 0u) << line;
  EXPECT_NE(std::find(data.begin(), data.end(), ".."), data.end());          // dot-stuffed
  EXPECT_NE(std::find(data.begin(), data.end(), "..hidden"), data.end());
  EXPECT_TRUE(form->btnSend->Enabled());
}

TEST_F(MailFixture, FailuresEndInOneErrorMessageAndTheWindowStaysUsable) {
  TLocalSmtpServer refusing(TLocalSmtpServer::TMode::RefuseLogin), silent(TLocalSmtpServer::TMode::Silent),
      plain;
  struct TCase {
    int Port;
    std::string Password, Expected;
  } cases[] = {
      {refusing.Port(), "wrong", "ERROR: 535 5.7.8 Authentication credentials invalid"},
      {silent.Port(), "x", "ERROR: Read timed out."},
      {1, "x", "ERROR: Connection refused."},
  };
  for (const TCase& c : cases) {
    MessageBoxes().Clear();
    Configure(c.Port, c.Password);
    form->Settings.TimeoutMs = 500;
    form->SendMail();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{c.Expected}));
    EXPECT_TRUE(form->btnSend->Enabled());
  }
  MessageBoxes().Clear();
  Configure(plain.Port(), "");   // no password: no login
  form->SendMail();
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  EXPECT_EQ(plain.Lines().at(1), "MAIL FROM:<support@example.invalid>");

  form->Settings.Address.clear();
  form->SendMail();
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"ERROR: The support mail is not configured."}));
}
