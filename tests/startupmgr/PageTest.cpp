// The page: created, listed, freed and created again; busy while it lists, a refresh asked for
// meanwhile ignored; the tabs, the buttons and their messages; ticks and details by mouse.
#include "StartupFixture.h"

#include "app/DMUnit.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/ImageList.h"
#include "framework/IniFiles.h"
#include "framework/Strings.h"
#include "tools/startup/StartupManagerUnit.h"

using testing_support::MessageBoxes;

namespace startup_test {

namespace {

struct StartupPage : StartupFixture {
  TDM dm;
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::None})};
  TStartupManagerForm* page = nullptr;

  StartupPage() {
    MessageBoxes().Clear();
    host->SetBounds(0, 0, 500, 370);
    DM = &dm;
  }
  ~StartupPage() override {
    host.reset();
    DM = nullptr;
  }
  void Open() {
    page = new TStartupManagerForm(host.get(), {.ProgramFolder = temp.Path() + "prog\\", .Sources = sources});
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }
  std::vector<std::string> Shown(TListView* list) const {
    std::vector<std::string> rows;
    for (int i = 0; i < list->Count(); ++i) {
      TListItem row;
      list->GetRow(i, row);
      rows.push_back(row.Text(0) + "|" + row.Text(1) + "|" + row.Text(2) + "|" + row.Text(3));
    }
    return rows;
  }
};

// A picture's pixels as a shape: ' ' transparent, '.' light, '#' dark.
std::string Shape(const TImageList& images, int index) {
  TBitmap bitmap;
  images.GetBitmap(index, bitmap);
  std::string shape;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      uint32_t c = bitmap.Pixel(x, y);
      int light = ((c & 0xFF) * 299 + ((c >> 8) & 0xFF) * 587 + ((c >> 16) & 0xFF) * 114) / 1000;
      shape += c == (uint32_t)images.MaskColor ? ' ' : light > 200 ? '.' : '#';
    }
  return shape;
}

TEST_F(StartupPage, ListsOnShowIsFreedAndCreatedAnew) {
  hkcu.SetString("Run", "A", "a.exe");
  for (int visit = 0; visit < 2; ++visit) {
    Open();
    EXPECT_EQ(Shown(page->StartupListView), std::vector<std::string>{"A|a.exe|Enable|Registration"});
    EXPECT_EQ(page->PageCIndex->ActivePageIndex(), 0);
    EXPECT_TRUE(page->OpenPathBtn->Enabled() && page->DeleteItemBtn->Enabled() && page->BtRemove->Enabled());
    EXPECT_FALSE(page->RestoreBtn->Enabled());
    EXPECT_EQ(page->Memo1->Text().substr(0, 40), "You can choose which applications are la");
    bool destroyed = false;
    page->OnDestroy = [&](TObject*) { destroyed = true; };
    page->FreeWhenIdle();
    EXPECT_TRUE(destroyed);
  }
  EXPECT_TRUE(FileExists(temp.Path() + "prog\\RepairBackup\\startup.dat"));
  EXPECT_TRUE(DirectoryExists(temp.Path() + "prog\\RepairBackup\\del"));
}

// Busy while it lists, a refresh asked for meanwhile ignored; freed while listing, the page stops
// and goes once the listing unwound.
TEST_F(StartupPage, BusyWhileListingAndFreedOnlyOnceTheListingUnwound) {
  hkcu.SetString("Run", "A", "a.exe");
  hkcu.SetString("Run", "B", "b.exe");
  Open();
  int steps = 0;
  page->OnListingStep = [&] {
    ++steps;
    EXPECT_TRUE(page->HoldsWindow());
    page->RefreshStartupList();
    page->DeleteItemBtnClick(nullptr);
  };
  page->RefreshStartupList();
  EXPECT_EQ(steps, 2);
  EXPECT_FALSE(page->HoldsWindow());
  EXPECT_EQ(page->StartupListView->Count(), 2);

  bool destroyed = false;
  steps = 0;
  page->OnDestroy = [&](TObject*) { destroyed = true; };
  page->OnListingStep = [&] {
    ++steps;
    page->FreeWhenIdle();
    EXPECT_FALSE(destroyed);
  };
  page->RefreshStartupList();
  EXPECT_EQ(steps, 1);
  for (int i = 0; i < 10 && !destroyed; ++i) Application.ProcessMessages();
  EXPECT_TRUE(destroyed);
}

TEST_F(StartupPage, TabsButtonsAndTheRemoveQuestion) {
  hkcu.SetString("Run", "A", "a.exe");
  Open();
  page->SwitchTick(0);
  MessageBoxes().NextAnswer = IDNO;
  page->BtRemoveClick(nullptr);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text,
            "Are you sure to remove this item from the Startup List?\rYou could view or recovery this item from the "
            "Restore List.");
  EXPECT_EQ(MessageBoxes().Calls[0].flags, 308u);
  EXPECT_EQ(MessageBoxes().Calls[0].caption, "Zelvoran");
  EXPECT_TRUE(hkcu.ValueExists("Run", "A"));
  page->SwitchTick(0);
  MessageBoxes().NextAnswer = IDYES;
  page->BtRemoveClick(nullptr);
  EXPECT_FALSE(hkcu.ValueExists("Run", "A"));
  EXPECT_EQ(page->StartupListView->Count(), 0);
  page->ShowTab(TStartupManagerForm::TTab::RestoreList);
  EXPECT_FALSE(page->OpenPathBtn->Enabled() || page->DeleteItemBtn->Enabled() || page->BtRemove->Enabled());
  EXPECT_TRUE(page->RestoreBtn->Enabled());
  // the user's SID beside the key
  std::string line = RunFullPath(HKEY_CURRENT_USER) + "|" + CurrentUserSid() + "#A|a.exe";
  EXPECT_EQ(Shown(page->ListRestore), std::vector<std::string>{"|A|a.exe|" + line});
  page->ListRestore->OnItemChecked(page->ListRestore, 0);   // as a click on its check box
  EXPECT_TRUE(page->ListRestore->IsChecked(0));
  page->RestoreBtnClick(nullptr);
  EXPECT_TRUE(hkcu.ValueExists("Run", "A"));
  EXPECT_EQ(page->ListRestore->Count(), 0);
  EXPECT_EQ(MessageBoxes().Calls.size(), 2u);
  // An entry that cannot be disabled safely stays, and one box names it.
  page->ShowTab(TStartupManagerForm::TTab::StartupList);
  THeldFile held(page->Files().StartupDatFile, FILE_SHARE_READ);   // read, but never replaced
  page->SwitchTick(0);
  page->DeleteItemBtnClick(nullptr);
  held.Release();
  ASSERT_EQ(MessageBoxes().Calls.size(), 3u);
  EXPECT_EQ(MessageBoxes().Calls[2].text, "These items could not be changed and were left as they were:\rA");
  EXPECT_EQ(MessageBoxes().Calls[2].flags, (unsigned)MB_ICONWARNING);
  EXPECT_EQ(Shown(page->StartupListView), std::vector<std::string>{"A|a.exe|Enable|Registration"});
}

TEST_F(StartupPage, MouseTicksOnTheIconAndSwitchesDetailsOnTheStateImage) {
  std::string program = temp.Path() + "ver.exe";
  ASSERT_TRUE(WriteProgramWithVersion(program, VersionResource({{"CompanyName", "Co"}}, "040904B0", 0x409, 1200)));
  hkcu.SetString("Run", "A", program);
  Open();
  TListView* list = page->StartupListView;
  RECT icon{LVIR_ICON};
  list->Perform(LVM_GETITEMRECT, 0, (LPARAM)&icon);
  page->StartupListViewMouseDown(list, TMouseButton::Left, icon.left + 2, (icon.top + icon.bottom) / 2);
  EXPECT_EQ(page->Listing().Rows[0].ImageIndex, ImageTicked);
  page->StartupListViewMouseDown(list, TMouseButton::Right, icon.left + 2, (icon.top + icon.bottom) / 2);
  EXPECT_EQ(page->Listing().Rows[0].ImageIndex, ImageTicked);
  page->StartupListViewMouseDown(list, TMouseButton::Left, icon.left - 8, (icon.top + icon.bottom) / 2);
  ASSERT_EQ(list->Count(), 8);
  EXPECT_EQ(Shown(list)[4], "Publish Name|Co||");
  list->SetItemIndex(0);
  page->StartupListViewDblClick(list);
  EXPECT_EQ(list->Count(), 1);
  page->FormResize(page);
  EXPECT_EQ(list->ColumnWidth(1), list->Width() - list->ColumnWidth(0) - list->ColumnWidth(2) - 20);
}

// The details switch has pictures of its own, unlike the tick's; the list has its check-box option
// and its large images, and a click on a row's switch shows its details, never a check mark.
TEST_F(StartupPage, DetailsSwitchLooksUnlikeTheTick) {
  hkcu.SetString("Run", "A", "a.exe");
  Open();
  const TImageList& images = dm.StatImageList;
  for (int tick : {ImageUnticked, ImageTicked})
    for (int details : {StateDetailsHidden, StateDetailsShown}) EXPECT_NE(Shape(images, details), Shape(images, tick));
  EXPECT_NE(Shape(images, StateDetailsHidden), Shape(images, StateDetailsShown));
  TListView* list = page->StartupListView;
  EXPECT_TRUE(list->Perform(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);
  EXPECT_EQ((HIMAGELIST)list->Perform(LVM_GETIMAGELIST, LVSIL_NORMAL, 0), images.Handle());
  EXPECT_EQ((HIMAGELIST)list->Perform(LVM_GETIMAGELIST, LVSIL_STATE, 0), images.Handle());
  EXPECT_EQ(list->Perform(LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(StateDetailsHidden + 1));
  RECT icon{LVIR_ICON};
  list->Perform(LVM_GETITEMRECT, 0, (LPARAM)&icon);
  LPARAM onSwitch = MAKELPARAM(icon.left - 8, (icon.top + icon.bottom) / 2);
  list->Perform(WM_LBUTTONDOWN, MK_LBUTTON, onSwitch);
  list->Perform(WM_LBUTTONUP, 0, onSwitch);
  EXPECT_EQ(page->Listing().Rows[0].StateIndex, StateDetailsShown);
  EXPECT_EQ(page->Listing().Rows[0].ImageIndex, ImageUnticked);
  EXPECT_EQ(list->Perform(LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(StateDetailsShown + 1));
}

}  // namespace

}  // namespace startup_test
