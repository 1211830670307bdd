// The "Internet Explorer Restorer" page: its rows, select all, the confirmation, the run with its
// statuses and colours, and both browser launchers of the main window.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/MainWindowHost.h"
#include "tools/browser/BrowserRepairUnit.h"
#include "tools/browser/IePluginsUnit.h"

using testing_support::MessageBoxes;

namespace {

const std::vector<std::string> kCaptions = {
    "Repair IE HomePage and Default Page", "Repair IE Control", "Enable RegistryTools(Registry Editor)",
    "IE Search Engine", "Cancel IE Menu Items Restrictions", "Enable IE Right Button", "Get back Desktop Icon",
    "Eabled IE Option Card", "Get Back Program Menu", "Enable control panel", "Remove IE Context Menu",
    "Delete IE Typed URL History", "Repair Links Toolbar Name"};

struct RestorerPage : ::testing::Test {
  testing_support::TempFolder backups;   // where the run's backups go
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::Dialog})};
  TBrowserRepairForm* page = nullptr;
  std::vector<int> ran;   // the rows whose actions ran, in order

  RestorerPage() {
    MessageBoxes().Clear();
    Open();
  }
  ~RestorerPage() override { page->Free(); }

  void Open() {
    if (page != nullptr) page->Free();
    page = dynamic_cast<TBrowserRepairForm*>(NewBrowserRestorePage(host.get()));
    page->SetBounds(4, 26, 489, 337);
    page->Show();
    page->BackupFolder = backups.Path();
    for (int i = 0; i < 13; ++i)
      page->Actions[i] = [this, i] {
        ran.push_back(i);
        return i != 3;   // row 3 is refused
      };
  }
  void TickOnly(std::initializer_list<int> rows) {
    for (int i = 0; i < 13; ++i) page->IERepairListView->SetChecked(i, std::count(rows.begin(), rows.end(), i) > 0);
  }
  std::vector<std::string> Column(int column) const {
    std::vector<std::string> texts;
    for (int i = 0; i < page->IERepairListView->Count(); ++i) texts.push_back(page->IERepairListView->Item(i)->Text(column));
    return texts;
  }
  TColor Color(int row, int column = 2) const {
    TColor color = 0x123456;
    page->IERepairListViewCustomDrawSubItem(page->IERepairListView, row, column, color);
    return color;
  }
};

TEST_F(RestorerPage, EveryVisitShowsTheThirteenRowsTickedWithoutStatus) {
  for (int visit = 0; visit < 2; ++visit) {
    EXPECT_EQ(Column(1), kCaptions);
    EXPECT_EQ(Column(0), std::vector<std::string>(13, ""));
    EXPECT_EQ(Column(2), std::vector<std::string>(13, ""));
    for (int i = 0; i < 13; ++i) EXPECT_TRUE(page->IERepairListView->IsChecked(i));
    TickOnly({2});
    page->RunRepairs();
    Open();
  }
  page->abSelectAll->Click();   // the label toggles the box, the box sets the rows
  EXPECT_FALSE(page->cbSelectAll->Checked());
  for (int i = 0; i < 13; ++i) EXPECT_FALSE(page->IERepairListView->IsChecked(i));
  page->cbSelectAll->Click();
  for (int i = 0; i < 13; ++i) EXPECT_TRUE(page->IERepairListView->IsChecked(i));
}

TEST_F(RestorerPage, OnlyTheTickedRowsRunAfterAYesEachOutcomeInItsColour) {
  MessageBoxes().NextAnswer = IDNO;
  page->DeleteItemBtnClick(page->DeleteItemBtn);
  TickOnly({});
  page->DeleteItemBtnClick(page->DeleteItemBtn);
  ASSERT_EQ(MessageBoxes().Calls.size(), 2u);
  EXPECT_EQ(MessageBoxes().Calls[0].text,
            "You will lose all of your personal settings of the Internet Explorer if you restore\r"
            "the default settings. We recommend you to restore your IE only if it couldn't work at all.\r\r"
            "Do you still want to restore the Internet Explorer to the default settings?");
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_YESNO | MB_ICONWARNING));
  EXPECT_EQ(MessageBoxes().Calls[1].text, "Please select the specific item for this operation!");
  EXPECT_EQ(MessageBoxes().Calls[1].flags, (unsigned)(MB_OK | MB_ICONWARNING));
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(Column(2), std::vector<std::string>(13, ""));

  MessageBoxes().Clear();   // a yes runs the ticked rows in order and shows each outcome in its colour
  TickOnly({0, 3, 12});
  MessageBoxes().NextAnswer = IDYES;
  page->DeleteItemBtnClick(page->DeleteItemBtn);
  EXPECT_EQ(ran, (std::vector<int>{0, 3, 12}));
  std::vector<std::string> expected(13, "");
  expected[0] = expected[12] = "Completed";
  expected[3] = "Failed";
  EXPECT_EQ(Column(2), expected);
  EXPECT_EQ(MessageBoxes().Calls.size(), 1u) << "no message at the end";
  EXPECT_EQ(Color(0), RGB(0, 128, 0));
  EXPECT_EQ(Color(3), RGB(255, 0, 0));
  EXPECT_EQ(Color(1), clBlack);
  EXPECT_EQ(Color(0, 1), clBlack);
  page->IERepairListView->Item(5)->SubItems[1] = "Repairing";
  EXPECT_EQ(Color(5), RGB(255, 0, 0));
}

struct BrowserLaunchers : ::testing::Test, MainWindowHost {};

TEST_F(BrowserLaunchers, OpenTheRestorerAndThePluginManager) {
  CreateAndShow();
  form->AdvanceBtnClick(form->AdvanceBtn);
  form->LaunchTool(3, form->ToolIcons[3]);
  auto* restorer = dynamic_cast<TBrowserRepairForm*>(form->Tools[3].Window);
  ASSERT_NE(restorer, nullptr);
  EXPECT_EQ(restorer->Caption(), "Browser Repair");
  EXPECT_EQ(restorer->IERepairListView->Count(), 13);
  form->LaunchTool(4, form->ToolLabels[4]);
  auto* plugins = dynamic_cast<TFormIePlugins*>(form->Tools[4].Window);
  ASSERT_NE(plugins, nullptr);
  EXPECT_EQ(plugins->Caption(), "IE Plugins");
  EXPECT_TRUE(plugins->Visible());
}

}  // namespace
