// The restore points: CIM dates, the row filter, the page's actions and messages through a
// provider of the test's own, and the same page against the system's provider (Wine's answers
// with one empty instance and fails every action).
#include <gtest/gtest.h>

#include <cmath>

#include "framework/Automation.h"
#include "framework/Forms.h"
#include "framework/InputBox.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"
#include "tools/restore/SysRestoreUnit.h"

using namespace PointRestauration;
using namespace SysRestoreUnit;
using testing_support::MessageBoxes;

namespace {

TDateTime At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms = 0) {
  SYSTEMTIME time{year, month, 0, day, hour, minute, second, ms};
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  return (double)(((unsigned long long)file.dwHighDateTime << 32) | file.dwLowDateTime) / 864000000000.0 - 109205.0;
}

// A zone bias minutes west of UTC, without daylight saving.
TIME_ZONE_INFORMATION Zone(LONG bias) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = bias;
  return zone;
}

struct TFakeProvider : TRestoreProvider {
  std::vector<TRestorePointRecord> Records;
  int Result = 0;
  bool Raise = false;
  std::vector<std::string> Calls;
  std::function<void()> During;   // runs inside every call
  std::vector<TRestorePointRecord> List() override { return Record("List"), Records; }
  int Create(const std::string& name) override { return Act("Create " + name); }
  int Restore(int sequence) override { return Act("Restore " + std::to_string(sequence)); }
  int Delete(int sequence) override { return Act("Delete " + std::to_string(sequence)); }
  void Record(const std::string& call) {
    Calls.push_back(call);
    if (During) During();
  }
  int Act(const std::string& call) {
    Record(call);
    if (Raise) throw EOleError("Object doesn't support this property or method", DISP_E_UNKNOWNNAME);
    return Result;
  }
};

struct HostForm : TForm {
  HostForm() : TForm({.Border = TBorderStyle::None}) {
    SetBounds(0, 0, 500, 370);
    DoCreate();
  }
};

struct RestorePage : testing::Test {
  std::shared_ptr<TFakeProvider> fake = std::make_shared<TFakeProvider>();
  std::shared_ptr<TRestoreProvider> provider = fake;
  int serviceState = ServiceRunning;
  std::vector<UINT> reboots;
  TFormPtr<HostForm> host{new HostForm};
  TSysRestoreForm* page = nullptr;

  RestorePage() {
    MessageBoxes().Clear();
    fake->Records = {{"First", "20240115103000.000000+000", "11", 0}, {"Second", "20240116103000.000000+000", "12", 0}};
  }
  void Open() {
    page = new TSysRestoreForm(host.get(), {.Provider = provider,
                                            .ServiceState = [this] { return serviceState; },
                                            .Reboot = [this](UINT flags) { return reboots.push_back(flags), true; }});
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < page->RestoreListView->Count(); ++i) {
      TListItem* row = page->RestoreListView->Item(i);
      rows.push_back(row->Caption + "|" + row->Text(2));
    }
    return rows;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const MessageBoxCall& call : MessageBoxes().Calls) texts.push_back(call.text);
    return texts;
  }
  void Click(TButton* button) {
    fake->Calls.clear();
    MessageBoxes().Calls.clear();   // the answers set for the boxes stay
    button->Perform(BM_CLICK);
  }
};

}  // namespace

TEST(CimDate, ToLocalTimeWithTheOffsetAndRefusesMalformedDates) {
  const TIME_ZONE_INFORMATION east = Zone(-60), west = Zone(300);
  struct TCase {
    const char* Cim;
    const TIME_ZONE_INFORMATION* Zone;
    TDateTime Expected;   // 0: refused
  } cases[] = {
      {"20240115103000.000000+000", &east, At(2024, 1, 15, 11, 30, 0)},
      {"20240115103000.000000+060", &east, At(2024, 1, 15, 10, 30, 0)},
      {"20240115103000.000000-300", &east, At(2024, 1, 15, 16, 30, 0)},
      {"20240115103000.000000-300", &west, At(2024, 1, 15, 10, 30, 0)},
      {"20231231233000.500000-060", &east, At(2024, 1, 1, 1, 30, 0, 500)},
      {"20240301003000.000000+000", &west, At(2024, 2, 29, 19, 30, 0)},
      {"20240229120000.000000+000", &east, At(2024, 2, 29, 13, 0, 0)},
      {"", &east, 0},
      {"2024011510300.000000+000", &east, 0},
      {"20240115103000.000000+0000", &east, 0},
      {"20240115103000,000000+000", &east, 0},
      {"20240115103000.000000*000", &east, 0},
      {"2024011510****.******+***", &east, 0},
      {"2024O115103000.000000+000", &east, 0},
      {"20241315103000.000000+000", &east, 0},
      {"20230229120000.000000+000", &east, 0},
      {"20240431120000.000000+000", &east, 0},
      {"20240115243000.000000+000", &east, 0},
      {"20240115106000.000000+000", &east, 0},
      {"00000000000000.000000+000", &east, 0},
      {" 0240115103000.000000+000", &east, 0},
  };
  for (const TCase& c : cases) {
    TDateTime local = 0;
    EXPECT_EQ(CimDateToLocal(c.Cim, local, c.Zone), c.Expected != 0) << c.Cim;
    if (c.Expected != 0) EXPECT_NEAR(local, c.Expected, 1e-9) << c.Cim;
  }
  EXPECT_EQ(CimDateText("20240115103000.000000+000").empty(), false);
  EXPECT_EQ(CimDateText("20241315103000.000000+000"), "");
}

TEST(RestorePointRows, OnlyCompletePointsOfAnyTypeButCancelledAreListedUntrimmed) {
  const std::string date = "20240115103000.000000+060";
  std::vector<TRestorePointRecord> records = {
      {" Before the driver ", date, "7", 0},   // listed as it is
      {"Cancelled", date, "8", kCancelledOperation},
      {"Installed", date, " 9", 12},
      {"  ", date, "10", 0},
      {"No date", "", "11", 0},
      {"Bad date", "20241315103000.000000+060", "12", 0},
      {"No number", date, " ", 0},
      {"", "", "0", 0},   // what Wine's provider answers
  };
  std::vector<TRestorePointRow> rows = RestorePointRows(records);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Description, " Before the driver ");
  EXPECT_EQ(rows[0].Date, CimDateText(date));
  EXPECT_EQ(rows[0].SequenceNumber, "7");
  EXPECT_EQ(rows[1].Description, "Installed");
  EXPECT_EQ(rows[1].SequenceNumber, " 9");
}

TEST_F(RestorePage, ListsWhenTheServiceRunsElseWarnsAndListsNothing) {
  Open();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"First|11", "Second|12"}));
  EXPECT_EQ(page->RestoreListView->Item(0)->Text(1), CimDateText("20240115103000.000000+000"));
  EXPECT_EQ(page->RestoreListView->ColumnWidth(0), page->RestoreListView->Width() - 160 - 19);
  EXPECT_EQ(page->Memo1->Text().substr(0, 32), "This utility can be used to crea");
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  page->Free();
  fake->Calls.clear();
  serviceState = -1;
  Open();
  EXPECT_TRUE(Rows().empty());
  ASSERT_EQ(Texts(), std::vector<std::string>{NotStartedText});
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_OK | MB_ICONWARNING));
  EXPECT_EQ(fake->Calls, std::vector<std::string>{});
  Click(page->RefreshButton);   // the buttons stay usable
  EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(RestorePage, CreateAsksForANameAndReportsTheOutcome) {
  Open();
  std::string typed;
  TModalHookScope hook([&](TForm& form) {
    auto& box = dynamic_cast<TInputQueryForm&>(form);
    EXPECT_EQ(box.Caption(), NameCaption);
    EXPECT_EQ(box.Prompt->Caption(), NamePrompt);
    if (typed == "cancel") return;
    box.Edit->SetText(typed);
    box.OkButton->Perform(BM_CLICK);
  });
  typed = "cancel";
  Click(page->BackupButton);
  EXPECT_TRUE(fake->Calls.empty() && MessageBoxes().Calls.empty());
  typed = "";
  Click(page->BackupButton);
  EXPECT_EQ(fake->Calls, (std::vector<std::string>{"Create ", "List"}));
  EXPECT_EQ(Texts(), std::vector<std::string>{CreatedText});
  fake->Result = 1;
  typed = "Before the driver";
  Click(page->BackupButton);
  EXPECT_EQ(fake->Calls, std::vector<std::string>{"Create Before the driver"});
  EXPECT_EQ(Texts(), std::vector<std::string>{CreateFailedText});
}

TEST_F(RestorePage, RestoreActsOnTheHiddenNumberAndRebootsOnlyOnYesLettingProgramsSave) {
  Open();
  Click(page->RestoreButton);
  EXPECT_EQ(Texts(), std::vector<std::string>{NothingToRestoreText});
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)MB_OK);
  EXPECT_TRUE(fake->Calls.empty());
  page->RestoreListView->SetItemIndex(1);
  MessageBoxes().NextAnswer = IDNO;
  Click(page->RestoreButton);
  EXPECT_EQ(fake->Calls, (std::vector<std::string>{"Restore 12", "List"}));
  EXPECT_EQ(Texts(), std::vector<std::string>{RestoredText});
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_YESNO | MB_ICONWARNING));
  EXPECT_TRUE(reboots.empty());
  page->RestoreListView->SetItemIndex(0);
  MessageBoxes().NextAnswer = IDYES;
  Click(page->RestoreButton);
  EXPECT_EQ(reboots, std::vector<UINT>{EWX_REBOOT | EWX_FORCEIFHUNG});
  fake->Result = 5;
  page->RestoreListView->SetItemIndex(0);
  Click(page->RestoreButton);
  EXPECT_EQ(fake->Calls, (std::vector<std::string>{"Restore 11", "List"}));
  EXPECT_EQ(Texts(), std::vector<std::string>{RestoreFailedText});
  EXPECT_EQ(reboots.size(), 1u);
}

TEST_F(RestorePage, DeleteReportsAnyErrorOfTheProviderAsAFailure) {
  Open();
  Click(page->DeleteButton);
  EXPECT_TRUE(fake->Calls.empty() && MessageBoxes().Calls.empty());
  struct TCase {
    int Result;
    bool Raise;
    const char* Text;
  } cases[] = {{0, false, RemovedText}, {1, false, RemoveFailedText}, {0, true, RemoveFailedText}};
  for (const TCase& c : cases) {
    fake->Result = c.Result;
    fake->Raise = c.Raise;
    page->RestoreListView->SetItemIndex(1);
    Click(page->DeleteButton);
    EXPECT_EQ(fake->Calls, (std::vector<std::string>{"Delete 12", "List"}));
    EXPECT_EQ(Texts(), std::vector<std::string>{c.Text});   // never the raw error
  }
}

TEST_F(RestorePage, BusyWhileTheProviderWorksAndClicksMeanwhileAreIgnored) {
  Open();
  int busyCalls = 0;
  fake->During = [&] {
    busyCalls += page->HoldsWindow();
    page->RefreshButton->Perform(BM_CLICK);
    page->DeleteButton->Perform(BM_CLICK);
  };
  page->RestoreListView->SetItemIndex(0);
  Click(page->DeleteButton);
  Click(page->RefreshButton);
  EXPECT_EQ(fake->Calls, std::vector<std::string>{"List"});
  EXPECT_EQ(busyCalls, 3);
  EXPECT_FALSE(page->HoldsWindow());
  fake->During = {};
  fake->Raise = true;   // an error of the provider ends the action: the error box, never busy after
  page->RestoreListView->SetItemIndex(0);
  Click(page->RestoreButton);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_OK | MB_ICONSTOP));
  EXPECT_FALSE(page->HoldsWindow());
}

TEST_F(RestorePage, WinesProviderListsNothingFailsEveryActionAndNeverAborts) {
  EXPECT_EQ(GetRestoreServiceState(), -1);   // no restore service in Wine
  EXPECT_EQ(GetRestoreServiceState("Eventlog"), ServiceRunning);
  EXPECT_TRUE(PublicFunctionUnit::EnableShutdownPrivilege());
  TSystemRestoreProvider system;
  EXPECT_FALSE(system.List().empty());   // Wine's one instance has no properties set
  EXPECT_TRUE(ListRestorePoints(system).empty());

  provider = std::make_shared<TSystemRestoreProvider>();
  Open();
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  Click(page->RefreshButton);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  TModalHookScope hook([](TForm& form) {
    auto& box = dynamic_cast<TInputQueryForm&>(form);
    box.Edit->SetText("t1");
    box.OkButton->Perform(BM_CLICK);
  });
  Click(page->BackupButton);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_OK | MB_ICONSTOP));
  EXPECT_NE(Texts()[0], CreatedText);
  EXPECT_NE(Texts()[0], "");   // the provider's own error text
  page->RestoreListView->AddItem("Planted")->SubItems = {"", "1"};
  page->RestoreListView->SetItemIndex(0);
  Click(page->RestoreButton);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_OK | MB_ICONSTOP));
  EXPECT_TRUE(reboots.empty());
  page->RestoreListView->SetItemIndex(0);
  Click(page->DeleteButton);
  EXPECT_EQ(Texts(), std::vector<std::string>{RemoveFailedText});
  EXPECT_TRUE(Rows().empty());   // refreshed from the provider
}
