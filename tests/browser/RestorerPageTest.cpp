// The "Internet Explorer Restorer" page: its rows, select all, the confirmation, the run with its
// statuses and colours, and both browser launchers of the main window.
#include <gtest/gtest.h>

#include "app/DMUnit.h"
#include "app/MainUnit.h"
#include "framework/Application.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"
#include "tools/browser/BrowserRepairUnit.h"
#include "tools/browser/IePluginsUnit.h"

using namespace BrowserRepairUnit;
using testing_support::MessageBoxes;

namespace {

class THostForm : public TForm {
 public:
  THostForm() : TForm({.Border = TBorderStyle::Dialog}) {
    SetClientSize(497, 368);
    Host = new TPanel(this);
    Host->SetBounds(0, 0, 497, 368);
    DoCreate();
  }
  TPanel* Host;
};

struct RestorerPage : ::testing::Test {
  TFormPtr<THostForm> host{new THostForm()};
  TBrowserRepairForm* page = nullptr;
  std::vector<int> ran;   // the rows whose actions ran, in order

  RestorerPage() {
    MessageBoxes().Clear();
    host->Show();
    Open();
  }
  ~RestorerPage() override { page->Free(); }

  void Open() {
    if (page != nullptr) page->Free();
    page = dynamic_cast<TBrowserRepairForm*>(NewBrowserRestorePage(host->Host));
    page->SetBounds(4, 26, 489, 337);
    page->Show();
    for (int i = 0; i < IERepairItemUnit::RepairItemCount; ++i)
      page->Actions[i] = [this, i] {
        ran.push_back(i);
        return i != 3;   // row 3 is refused
      };
  }
  void TickOnly(std::initializer_list<int> rows) {
    for (int i = 0; i < page->IERepairListView->Count(); ++i) page->IERepairListView->SetChecked(i, false);
    for (int row : rows) page->IERepairListView->SetChecked(row, true);
  }
  std::vector<std::string> Statuses() const {
    std::vector<std::string> s;
    for (int i = 0; i < page->IERepairListView->Count(); ++i) s.push_back(page->IERepairListView->Item(i)->Text(2));
    return s;
  }
  TColor StatusColor(int row, int column = 2) const {
    TColor color = 0x123456;
    page->IERepairListViewCustomDrawSubItem(page->IERepairListView, row, column, color);
    return color;
  }
};

TEST_F(RestorerPage, EveryVisitShowsTheThirteenRowsTickedWithoutStatus) {
  for (int visit = 0; visit < 2; ++visit) {
    TListView* list = page->IERepairListView;
    ASSERT_EQ(list->Count(), 13);
    for (int i = 0; i < 13; ++i) {
      EXPECT_EQ(list->Item(i)->Caption, "");
      EXPECT_EQ(list->Item(i)->Text(1), IERepairItemUnit::RepairItems[i].Caption);
      EXPECT_TRUE(list->IsChecked(i));
    }
    EXPECT_EQ(Statuses(), std::vector<std::string>(13, ""));
    EXPECT_EQ(page->Caption(), "Browser Repair");
    EXPECT_EQ(list->ColumnWidth(1), list->Width() - 25 - 80 - 20);
    TickOnly({2});
    page->RunRepairs();
    Open();
  }
}

TEST_F(RestorerPage, SelectAllFollowsTheBoxAndTheLabelTogglesIt) {
  page->abSelectAll->Click();
  EXPECT_FALSE(page->cbSelectAll->Checked());
  for (int i = 0; i < 13; ++i) EXPECT_FALSE(page->IERepairListView->IsChecked(i));
  page->cbSelectAll->Click();
  for (int i = 0; i < 13; ++i) EXPECT_TRUE(page->IERepairListView->IsChecked(i));
}

TEST_F(RestorerPage, NothingTickedOnlyAsksForASelection) {
  TickOnly({});
  page->DeleteItemBtnClick(page->DeleteItemBtn);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, "Please select the specific item for this operation!");
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_OK | MB_ICONWARNING));
  EXPECT_TRUE(ran.empty());
}

TEST_F(RestorerPage, NoToTheWarningRunsNothing) {
  MessageBoxes().NextAnswer = IDNO;
  page->DeleteItemBtnClick(page->DeleteItemBtn);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text,
            "You will lose all of your personal settings of the Internet Explorer if you restore\r"
            "the default settings. We recommend you to restore your IE only if it couldn't work at all.\r\r"
            "Do you still want to restore the Internet Explorer to the default settings?");
  EXPECT_EQ(MessageBoxes().Calls[0].caption, Application.Title);
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_YESNO | MB_ICONWARNING));
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(Statuses(), std::vector<std::string>(13, ""));
}

TEST_F(RestorerPage, YesRunsTheTickedRowsInOrderAndShowsEachOutcome) {
  TickOnly({0, 3, 12});
  MessageBoxes().NextAnswer = IDYES;
  page->DeleteItemBtnClick(page->DeleteItemBtn);
  EXPECT_EQ(ran, (std::vector<int>{0, 3, 12}));
  std::vector<std::string> expected(13, "");
  expected[0] = expected[12] = "Completed";
  expected[3] = "Failed";
  EXPECT_EQ(Statuses(), expected);
  EXPECT_EQ(MessageBoxes().Calls.size(), 1u) << "no message at the end";

  EXPECT_EQ(StatusColor(0), RGB(0, 128, 0));
  EXPECT_EQ(StatusColor(3), RGB(255, 0, 0));
  EXPECT_EQ(StatusColor(1), clBlack);
  EXPECT_EQ(StatusColor(0, 1), clBlack);
  page->IERepairListView->Item(5)->SubItems[1] = RepairingText;
  EXPECT_EQ(StatusColor(5), RGB(255, 0, 0));
}

// ---- the launchers ----

struct BrowserLaunchers : ::testing::Test {
  TDM dm;
  TZelvoranMainForm* form = nullptr;
  BrowserLaunchers() {
    MessageBoxes().Clear();
    PublicFunctionUnit::MyRegistryInfo.CheckUpdate = false;
    PublicFunctionUnit::MyRegistryInfo.OneTime = false;
    DM = &dm;
    form = new TZelvoranMainForm();
    Application.Handle = form->Handle();
    form->Show();
  }
  ~BrowserLaunchers() override {
    form->Free();
    DM = nullptr;
  }
};

TEST_F(BrowserLaunchers, OpenTheRestorerAndThePluginManager) {
  form->AdvanceBtnClick(form->AdvanceBtn);
  ASSERT_EQ(form->Tools[3].Caption, "Internet Explorer Restorer");
  ASSERT_EQ(form->Tools[4].Caption, "BHO Manager");
  form->LaunchTool(3, form->ToolIcons[3]);
  auto* restorer = dynamic_cast<TBrowserRepairForm*>(form->Tools[3].Window);
  ASSERT_NE(restorer, nullptr);
  EXPECT_TRUE(restorer->Visible());
  EXPECT_EQ(restorer->IERepairListView->Count(), 13);
  form->LaunchTool(4, form->ToolLabels[4]);
  auto* plugins = dynamic_cast<TFormIePlugins*>(form->Tools[4].Window);
  ASSERT_NE(plugins, nullptr);
  EXPECT_EQ(plugins->Caption(), "IE Plugins");
  EXPECT_EQ(plugins->Page(), TFormIePlugins::TPluginsPage::List);
  form->AdvanceBtnClick(form->AdvanceBtn);
  EXPECT_EQ(form->Tools[3].Window, nullptr);
  EXPECT_EQ(form->Tools[4].Window, nullptr);
}

}  // namespace
