// The restore points: CIM dates, the row filter, the page's actions and messages through a
// provider of the test's own, and the page against the system's provider (Wine's answers with one
// empty instance and fails every action).
#include <gtest/gtest.h>

#include "framework/Automation.h"
#include "framework/InputBox.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"
#include "tools/restore/SysRestoreUnit.h"

using namespace PointRestauration;
using namespace SysRestoreUnit;
using testing_support::MessageBoxes;
using TTexts = std::vector<std::string>;

namespace {

TDateTime At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD ms = 0) {
  SYSTEMTIME time{year, month, 0, day, hour, minute, 0, ms};
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  return (double)(((unsigned long long)file.dwHighDateTime << 32) | file.dwLowDateTime) / 864e9 - 109205.0;
}

// Lists two points among ones that are never listed, and answers every action with Result.
struct TFakeProvider : TRestoreProvider {
  const std::string date = "20240115103000.000000+000";
  std::vector<TRestorePointRecord> Records = {
      {" First ", date, "11", 0}, {"Cancelled", date, "8", kCancelledOperation}, {"Second", date, " 12", 12},
      {"  ", date, "10", 0}, {"No date", "", "9", 0}, {"Bad date", "20241315103000.000000+060", "7", 0},
      {"No number", date, " ", 0}, {"", "", "0", 0} /* what Wine's provider answers */};
  int Result = 0;
  bool Raise = false;        // every action raises the provider's error
  bool RaiseOnList = false;  // the listing raises the provider's error
  TTexts Calls;
  std::function<void()> During;   // runs inside every call
  std::vector<TRestorePointRecord> List() override {
    Act("List");
    if (RaiseOnList) throw EOleError("Invalid namespace", E_FAIL);
    return Records;
  }
  int Create(const std::string& name) override { return Act("Create " + name); }
  int Restore(int sequence) override { return Act("Restore " + std::to_string(sequence)); }
  int Delete(int sequence) override { return Act("Delete " + std::to_string(sequence)); }
  int Act(const std::string& call) {
    Calls.push_back(call);
    if (During) During();
    if (Raise && call != "List") throw EOleError("Object doesn't support this property or method", DISP_E_UNKNOWNNAME);
    return Result;
  }
};

struct RestorePage : testing::Test {
  std::shared_ptr<TFakeProvider> fake = std::make_shared<TFakeProvider>();
  std::shared_ptr<TRestoreProvider> provider = fake;
  int serviceState = ServiceRunning;
  std::vector<UINT> reboots;
  std::function<bool(UINT)> setupReboot = [this](UINT flags) { return reboots.push_back(flags), true; };
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::None})};
  TSysRestoreForm* page = nullptr;
  std::string typed;   // what the user types into the input box; "cancel" is typed and cancelled
  TModalHookScope hook{[this](TForm& form) {
    auto& box = dynamic_cast<TInputQueryForm&>(form);
    EXPECT_EQ(box.Caption() + "|" + box.Prompt->Caption() + "|" + box.Edit->Text(), "Please Enter|System Backup Name|");
    box.Edit->SetText(typed);
    (typed == "cancel" ? box.CancelButton : box.OkButton)->Perform(BM_CLICK);
  }};

  void Open() {
    MessageBoxes().Clear();
    page = new TSysRestoreForm(host.get(), {.Provider = provider,
                                            .ServiceState = [this] { return serviceState; },
                                            .Reboot = [this](UINT flags) { return setupReboot(flags); }});
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }
  TTexts Rows() const {
    TTexts rows;
    for (int i = 0; i < page->RestoreListView->Count(); ++i)
      rows.push_back(page->RestoreListView->Item(i)->Caption + "|" + page->RestoreListView->Item(i)->Text(2));
    return rows;
  }
  // The boxes shown, each as its text and flags.
  TTexts Shown() const {
    TTexts boxes;
    for (const MessageBoxCall& call : MessageBoxes().Calls) boxes.push_back(Box(call.text, call.flags));
    return boxes;
  }
  static std::string Box(const std::string& text, unsigned flags = MB_OK) { return text + "#" + std::to_string(flags); }
  void Click(TButton* button, int row = -1) {
    if (row >= 0) page->RestoreListView->SetItemIndex(row);
    fake->Calls.clear();
    MessageBoxes().Calls.clear();   // the answers set for the boxes stay
    button->Perform(BM_CLICK);
  }
};

}  // namespace

TEST(CimDate, ToLocalTimeWithTheOffsetAndRefusesMalformedDates) {
  struct TCase {
    const char* Cim;
    LONG Bias;            // minutes west of UTC, no daylight saving
    TDateTime Expected;   // 0: refused
  } cases[] = {
      {"20240115103000.000000+000", -60, At(2024, 1, 15, 11, 30)},
      {"20240115103000.000000+060", -60, At(2024, 1, 15, 10, 30)},
      {"20240115103000.000000-300", -60, At(2024, 1, 15, 16, 30)},
      {"20240115103000.000000-300", 300, At(2024, 1, 15, 10, 30)},
      {"20231231233000.500000-060", -60, At(2024, 1, 1, 1, 30, 500)},
      {"20240301003000.000000+000", 300, At(2024, 2, 29, 19, 30)},
      {"", 0, 0}, {"2024011510300.000000+000", 0, 0}, {"20240115103000.000000+0000", 0, 0},
      {"20240115103000,000000+000", 0, 0}, {"20240115103000.000000*000", 0, 0}, {"2024011510****.******+***", 0, 0},
      {"2024O115103000.000000+000", 0, 0}, {"20241315103000.000000+000", 0, 0}, {"20230229120000.000000+000", 0, 0},
      {"20240431120000.000000+000", 0, 0}, {"20240115243000.000000+000", 0, 0}, {"20240115106000.000000+000", 0, 0},
      {"00000000000000.000000+000", 0, 0}, {" 0240115103000.000000+000", 0, 0},
  };
  for (const TCase& c : cases) {
    TIME_ZONE_INFORMATION zone{.Bias = c.Bias};
    TDateTime local = 0;
    EXPECT_EQ(CimDateToLocal(c.Cim, local, &zone), c.Expected != 0) << c.Cim;
    if (c.Expected != 0) {
      EXPECT_NEAR(local, c.Expected, 1e-9) << c.Cim;
    }
  }
}

TEST_F(RestorePage, ListsWhenTheServiceRunsElseWarnsAndListsNothing) {
  Open();
  EXPECT_EQ(Rows(), (TTexts{" First |11", "Second| 12"}));   // as the provider gave them
  EXPECT_EQ(page->RestoreListView->Item(0)->Text(1), CimDateText("20240115103000.000000+000"));
  EXPECT_EQ(page->RestoreListView->ColumnWidth(0), page->RestoreListView->Width() - 160 - 19);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  page->Free();
  serviceState = -1;
  Open();
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(fake->Calls.size(), 1u);   // only the first visit listed
  EXPECT_EQ(Shown(), TTexts{Box(NotStartedText, MB_ICONWARNING)});
  Click(page->RefreshButton);   // the buttons stay usable
  EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(RestorePage, CreateAsksForANameAndReportsTheOutcome) {
  Open();
  typed = "cancel";
  Click(page->BackupButton);
  EXPECT_TRUE(fake->Calls.empty() && MessageBoxes().Calls.empty());
  typed = "";
  Click(page->BackupButton);
  EXPECT_EQ(fake->Calls, (TTexts{"Create ", "List"}));
  EXPECT_EQ(Shown(), TTexts{Box(CreatedText)});
  fake->Result = 1;
  typed = "Before the driver";
  Click(page->BackupButton);
  EXPECT_EQ(fake->Calls, TTexts{"Create Before the driver"});
  EXPECT_EQ(Shown(), TTexts{Box(CreateFailedText)});
}

// The restore is asked for first, naming the point and the restart; only Yes rolls the system
// back, and then restarts it (letting programs save their work).
TEST_F(RestorePage, RestoreAsksFirstNamingThePointAndRestartsOnlyOnYes) {
  Open();
  Click(page->RestoreButton);
  EXPECT_EQ(Shown(), TTexts{Box(NothingToRestoreText)});
  const std::string date = CimDateText("20240115103000.000000+000");
  auto question = [&](const std::string& description) {
    return Box("The whole system will be returned to the restore point \"" + description + "\" of " + date +
                   ", and the computer will restart at once to do it.\rPlease save your work and close your programs "
                   "first.\r\rDo you want to restore the system and restart the computer now?",
               MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  };
  bool restarts = true;
  const struct {
    int Row, Answer, Result;
    bool Restarts;
    TTexts Calls, Boxes;
    size_t Reboots;
  } cases[] = {
      {1, IDNO, 0, true, {}, {question("Second")}, 0},   // nothing set, nothing restarted
      {1, IDCANCEL, 0, true, {}, {question("Second")}, 0},
      {0, IDYES, 0, true, {"Restore 11", "List"}, {question(" First ")}, 1},
      {0, IDYES, 5, true, {"Restore 11", "List"}, {question(" First "), Box(RestoreFailedText)}, 1},
      {1, IDYES, 0, false, {"Restore 12", "List"}, {question("Second"), Box(RestartFailedText, MB_ICONWARNING)}, 2},
  };
  setupReboot = [&](UINT flags) { return reboots.push_back(flags), restarts; };
  for (const auto& c : cases) {
    fake->Result = c.Result;
    restarts = c.Restarts;
    MessageBoxes().Answers = {c.Answer};
    Click(page->RestoreButton, c.Row);
    EXPECT_EQ(fake->Calls, c.Calls) << c.Row << " " << c.Answer;
    EXPECT_EQ(Shown(), c.Boxes) << c.Row << " " << c.Answer;
    EXPECT_EQ(reboots.size(), c.Reboots) << c.Row << " " << c.Answer;
  }
  EXPECT_EQ(reboots, (std::vector<UINT>{EWX_REBOOT | EWX_FORCEIFHUNG, EWX_REBOOT | EWX_FORCEIFHUNG}));
}

// A page ending while the question is up restores nothing.
TEST_F(RestorePage, APageEndingWhileTheRestoreIsAskedForRestoresNothing) {
  Open();
  MessageBoxes().Answers = {IDYES};
  MessageBoxes().WhileShown = [this](const MessageBoxCall&) { page->FreeWhenIdle(); };
  Click(page->RestoreButton, 0);
  EXPECT_TRUE(fake->Calls.empty());
  EXPECT_TRUE(reboots.empty());
}

TEST_F(RestorePage, DeleteReportsAnyErrorOfTheProviderAsAFailureAndThePageIsBusyMeanwhile) {
  Open();
  Click(page->DeleteButton);
  EXPECT_TRUE(fake->Calls.empty() && MessageBoxes().Calls.empty());
  int busyCalls = 0;
  fake->During = [&] {
    busyCalls += page->HoldsWindow();
    page->RefreshButton->Perform(BM_CLICK);   // ignored while the provider works
    page->RestoreButton->Perform(BM_CLICK);
  };
  const struct { int Result; bool Raise; const char* Text; } cases[] = {
      {0, false, RemovedText}, {1, false, RemoveFailedText}, {0, true, RemoveFailedText}};
  for (const auto& c : cases) {
    fake->Result = c.Result;
    fake->Raise = c.Raise;
    Click(page->DeleteButton, 1);
    EXPECT_EQ(fake->Calls, (TTexts{"Delete 12", "List"}));
    EXPECT_EQ(Shown(), TTexts{Box(c.Text)});   // never the raw error
  }
  EXPECT_EQ(busyCalls, 6);
  MessageBoxes().Answers = {IDYES};
  Click(page->RestoreButton, 0);   // an error of any other action: the error box, not busy after
  ASSERT_EQ(Shown().size(), 2u);   // the question, then the error
  EXPECT_EQ(Shown()[1], Box("Object doesn't support this property or method", MB_ICONSTOP));
  EXPECT_FALSE(page->HoldsWindow());
}

TEST_F(RestorePage, WinesProviderListsNothingFailsEveryActionAndNeverAborts) {
  // Real points are made and restored below: only where no restore service could act on them.
  if (GetRestoreServiceState() != -1) GTEST_SKIP() << "a restore service runs here";
  EXPECT_EQ(GetRestoreServiceState("Eventlog"), ServiceRunning);
  EXPECT_TRUE(PublicFunctionUnit::EnableShutdownPrivilege());
  TSystemRestoreProvider system;
  EXPECT_FALSE(system.List().empty());   // one instance without properties
  provider = std::make_shared<TSystemRestoreProvider>();
  Open();
  Click(page->RefreshButton);
  EXPECT_TRUE(Rows().empty() && MessageBoxes().Calls.empty());
  typed = "t1";
  Click(page->BackupButton);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);   // the provider's own error text
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)MB_ICONSTOP);
  EXPECT_FALSE(MessageBoxes().Calls[0].text.empty());
  page->RestoreListView->AddItem("Planted")->SubItems = {"", "1"};
  MessageBoxes().Answers = {IDYES};
  Click(page->RestoreButton, 0);
  EXPECT_EQ(MessageBoxes().Calls.at(1).flags, (unsigned)MB_ICONSTOP);
  EXPECT_FALSE(MessageBoxes().Calls.at(1).text.empty());
  EXPECT_TRUE(reboots.empty());
  Click(page->DeleteButton, 0);
  EXPECT_EQ(Shown(), TTexts{Box(RemoveFailedText)});
  EXPECT_TRUE(Rows().empty());   // refreshed from the provider
}

TEST_F(RestorePage, AListingThatFailsAfterOneThatWorkedLeavesNoRowToActOn) {
  Open();
  ASSERT_EQ(Rows().size(), 2u);
  fake->RaiseOnList = true;
  Click(page->RefreshButton);
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(Shown(), TTexts{Box("Invalid namespace", MB_ICONSTOP)});
  fake->RaiseOnList = false;
  Click(page->RefreshButton);
  ASSERT_EQ(Rows().size(), 2u);
  fake->RaiseOnList = true;   // the listing after an action fails too
  Click(page->DeleteButton, 1);
  EXPECT_EQ(fake->Calls, (TTexts{"Delete 12", "List"}));
  EXPECT_TRUE(Rows().empty());
  Click(page->RestoreButton);
  EXPECT_TRUE(fake->Calls.empty());
  EXPECT_EQ(Shown(), TTexts{Box(NothingToRestoreText)});
}

TEST_F(RestorePage, APageEndingWhileItsMessageIsUpListsNothingMore) {
  const struct {
    TButton* TSysRestoreForm::*Button;
    const char* Call;
  } cases[] = {{&TSysRestoreForm::BackupButton, "Create "}, {&TSysRestoreForm::DeleteButton, "Delete 12"}};
  for (const auto& c : cases) {
    Open();
    MessageBoxes().WhileShown = [this](const MessageBoxCall&) { page->FreeWhenIdle(); };
    Click(page->*c.Button, 1);
    EXPECT_EQ(fake->Calls, TTexts{c.Call});
    EXPECT_TRUE(page->Closing());
    EXPECT_EQ(Rows().size(), 2u);
  }
}
