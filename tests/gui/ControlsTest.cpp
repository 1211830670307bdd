// The window layer's controls, created on a real form, driven by window messages and read back.
#include <gtest/gtest.h>

#include <functional>

#include "support/TestSupport.h"
#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/ImageList.h"
#include "framework/ListSort.h"
#include "framework/ListView.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/Timer.h"
#include "framework/TrayIcon.h"

namespace {

class TTestForm : public TForm {
 public:
  TTestForm() : TForm({.Border = TBorderStyle::Dialog}) {
    SetCaption("Test");
    SetClientSize(400, 300);
    DoCreate();
  }
};

class GuiControls : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::MessageBoxes().Clear();
    form.reset(new TTestForm);
  }
  TFormPtr<TTestForm> form;
};

std::string ListText(TListView* list, int row, int column) {
  wchar_t buffer[256] = {};
  LVITEMW item{.iSubItem = column, .pszText = buffer, .cchTextMax = 255};
  list->Perform(LVM_GETITEMTEXTW, row, (LPARAM)&item);
  return Narrow(buffer);
}

void ClickCheckBoxOfRow(TListView* list, int row) {
  LVITEMW state{.state = INDEXTOSTATEIMAGEMASK(list->IsChecked(row) ? 1 : 2), .stateMask = LVIS_STATEIMAGEMASK};
  list->Perform(LVM_SETITEMSTATE, row, (LPARAM)&state);
}

}  // namespace

TEST_F(GuiControls, StandardControlsAndLinkLabelsReportTheirChangesAndKeepTheirValues) {
  auto* box = new TCheckBox(form.get());
  int clicks = 0;
  box->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, box);
    ++clicks;
  };
  box->SetChecked(true);
  box->SetChecked(true);   // no change, no click
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 1);
  box->Perform(BM_CLICK);  // as the user
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 2);

  // Radio buttons of one parent exclude each other.
  auto* a = new TRadioButton(form.get());
  auto* b = new TRadioButton(form.get());
  b->OnClick = [&](TObject*) { ++clicks; };
  a->SetChecked(true);
  b->Perform(BM_CLICK);
  EXPECT_TRUE(!a->Checked() && b->Checked());
  EXPECT_EQ(clicks, 3);

  auto* group = new TRadioGroup(form.get());
  group->SetItems({"One", "Two", "Three"});
  EXPECT_EQ(group->ItemIndex(), -1);
  group->Button(2)->Perform(BM_CLICK);
  EXPECT_EQ(group->ItemIndex(), 2);

  auto* button = new TButton(form.get());
  button->OnClick = [&](TObject*) { ++clicks; };
  button->Perform(BM_CLICK);
  EXPECT_EQ(clicks, 4);

  auto* edit = new TEdit(form.get());
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->Perform(WM_SETTEXT, 0, (LPARAM)L"Grüße");
  EXPECT_EQ(edit->Text(), "Grüße");
  EXPECT_EQ(changes, 1);

  auto* memo = new TMemo(form.get());
  memo->SetLines({"first", "second"});
  memo->AddLine("third");
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"first", "second", "third"}));

  auto* combo = new TComboBox(form.get());
  combo->SetItems({"Daily", "Weekly"});
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "Weekly");

  auto* spin = new TSpinEdit(form.get());
  spin->SetRange(1, 31);
  spin->SetValue(40);
  EXPECT_EQ(spin->Value(), 31);
  spin->SetText("abc");
  EXPECT_EQ(spin->Value(), 1);
  spin->SetValue(7);
  SendMessageW(spin->UpDownHandle(), UDM_SETPOS32, 0, 8);
  EXPECT_EQ(spin->Value(), 8);

  auto* time = new TDateTimePicker(form.get());
  time->SetTime(21, 5, 0);
  int h, m, s;
  time->Time(h, m, s);
  EXPECT_EQ((std::vector<int>{h, m, s}), (std::vector<int>{21, 5, 0}));

  auto* bar = new TProgressBar(form.get());
  static_cast<TProgressTarget*>(bar)->SetPosition(150);
  EXPECT_EQ(bar->Position(), 100);

  // A label acts as a link with hover events and a click.
  auto* link = new TLabel(form.get());
  link->SetCaption("home");
  link->SetCursor(TCursor::HandPoint);
  std::vector<std::string> events;
  link->OnMouseEnter = [&](TObject* s) { events.push_back(s == link ? "enter" : "?"); };
  link->OnMouseLeave = [&](TObject* s) { events.push_back(s == link ? "leave" : "?"); };
  link->OnClick = [&](TObject*) { events.push_back("click"); };
  link->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  link->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(3, 2));
  link->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 2));
  link->Perform(WM_LBUTTONUP, 0, MAKELPARAM(3, 2));
  link->Perform(WM_MOUSELEAVE);
  Application.ProcessMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "click", "leave"}));
}

TEST_F(GuiControls, NotebookPagesAndTreeShowTheChosenOneAndReportTheSwitch) {
  auto* book = new TNotebook(form.get());
  book->SetBounds(0, 0, 200, 100);
  TPanel* first = book->AddPage("Scan");
  TPanel* second = book->AddPage("Results");
  int changes = 0;
  book->OnPageChanged = [&](TObject*) { ++changes; };
  EXPECT_TRUE(book->PageIndex() == 0 && first->Visible() && !second->Visible());
  book->SetPageIndex(1);
  book->SetPageIndex(1);
  EXPECT_TRUE(!first->Visible() && second->Visible());
  EXPECT_EQ(second->Width(), 200);
  EXPECT_EQ(changes, 1);

  auto* tabs = new TPageControl(form.get());
  tabs->SetBounds(0, 0, 300, 200);
  TPanel* tab1 = tabs->AddPage("Backup");
  TPanel* tab2 = tabs->AddPage("Restore");
  int tabChanges = 0;
  tabs->OnChange = [&](TObject*) { ++tabChanges; };
  EXPECT_TRUE(tab1->Visible());
  tabs->SetActivePageIndex(1);
  EXPECT_TRUE(tab2->Visible() && !tab1->Visible());
  EXPECT_EQ(tabChanges, 0);

  auto* tree = new TTreeView(form.get());
  TTreeNode* root = tree->Add(nullptr, "Root");
  TTreeNode* child = tree->Add(root, "Child", &tree);
  tree->OnChange = [&](TObject*) { ++changes; };
  tree->Select(child);
  ASSERT_EQ(tree->Selected(), child);
  EXPECT_EQ(child->Data, &tree);
  EXPECT_EQ(changes, 2);
  tree->Clear();
  EXPECT_EQ(tree->Selected(), nullptr);
}

TEST_F(GuiControls, ModalHookDrivesADialogToItsResult) {
  TFormPtr<TTestForm> dialog(new TTestForm);
  auto* name = new TEdit(dialog.get());
  auto* ok = new TButton(dialog.get());
  ok->ModalResult = mrOk;
  ok->SetDefault(true);
  {
    TModalHookScope hook([&](TForm& f) {
      EXPECT_TRUE(f.Visible());
      EXPECT_TRUE(f.Modal());
      EXPECT_FALSE(IsWindowEnabled(form->Handle()) && form->Visible());
      name->SetText("typed");
      ok->Perform(BM_CLICK);
    });
    form->Show();
    EXPECT_EQ(dialog->ShowModal(), mrOk);
  }
  EXPECT_EQ(name->Text(), "typed");
  EXPECT_FALSE(dialog->Visible());
  EXPECT_TRUE(IsWindowEnabled(form->Handle()));

  // A hook that does nothing cancels, so does Close; Enter presses the default button.
  for (auto [hook, result] : std::initializer_list<std::pair<std::function<void(TForm&)>, int>>{
           {[](TForm&) {}, mrCancel}, {[](TForm& f) { f.Close(); }, mrCancel},
           {[](TForm& f) { EXPECT_TRUE(f.HandleDialogKey(VK_RETURN)); }, mrOk}}) {
    TModalHookScope scope(hook);
    EXPECT_EQ(dialog->ShowModal(), result);
  }
  // A button clicked from the message queue ends the loop too.
  auto* cancel = new TButton(dialog.get());
  cancel->ModalResult = mrCancel;
  PostMessageW(cancel->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
}

TEST_F(GuiControls, ErrorInAHandlerOrOnCreateShowsTheErrorBoxAndTheProgramGoesOn) {
  auto* button = new TButton(form.get());
  button->OnClick = [](TObject*) { throw std::runtime_error("Invalid data type for 'Start'"); };
  button->Perform(BM_CLICK);
  const auto& boxes = testing_support::MessageBoxes().Calls;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption + ": " + boxes[0].text, "Zelvoran: Invalid data type for 'Start'");

  // A silent abort shows nothing; a timer (fired from the message loop) reports its error the same way.
  button->OnClick = [](TObject*) { ::Abort(); };
  button->Perform(BM_CLICK);
  EXPECT_EQ(boxes.size(), 1u);

  TTimer timer;
  timer.SetInterval(1);
  timer.OnTimer = [&](TObject*) {
    timer.SetEnabled(false);
    throw std::runtime_error("timer failed");
  };
  timer.SetEnabled(true);
  for (int i = 0; i < 500 && timer.Enabled(); ++i) {
    Application.ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);   // until the timer's message
  }
  EXPECT_EQ(testing_support::MessageTexts(), (std::vector<std::string>{"Invalid data type for 'Start'", "timer failed"}));

  // The form still works.
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  button->Perform(BM_CLICK);
  EXPECT_EQ(clicks, 1);

  // An error in OnCreate is reported and the construction goes on.
  struct TFailingForm : TForm {
    TFailingForm() : TForm({}) {
      OnCreate = [](TObject*) { throw std::runtime_error("create failed"); };
      DoCreate();
      Label = new TLabel(this);
    }
    TLabel* Label = nullptr;
  };
  TFormPtr<TFailingForm> f(new TFailingForm);
  EXPECT_NE(f->Label, nullptr);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].text, "create failed");
}

TEST_F(GuiControls, ListViewKeepsRowsWithMoreTextsThanColumnsAndTracksChecks) {
  auto* list = new TListView(form.get(), {.CheckBoxes = true});
  list->AddColumn("Section", 150);
  list->AddColumn("Count", 60, TAlignment::RightJustify);
  TListItem* row = list->AddItem("Fonts");
  row->SubItems = {"3", "7"};   // the third text is the section index, not shown
  row->Update();
  list->AddItem("Sounds")->SubItems = {"1", "12"};
  EXPECT_EQ(ListText(list, 0, 0) + "|" + ListText(list, 0, 1) + "|" + list->Item(1)->SubItems[1], "Fonts|3|12");

  std::vector<int> checked;
  list->OnItemChecked = [&](TListView*, int index) { checked.push_back(index); };
  ClickCheckBoxOfRow(list, 1);    // as the user's click does
  EXPECT_TRUE(list->Item(1)->Checked);
  list->SetChecked(0, true);
  EXPECT_EQ(list->Perform(LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) >> 12, 2);
  EXPECT_EQ(checked, (std::vector<int>{1, 0}));

  std::vector<std::pair<int, bool>> selections;
  list->OnSelectItem = [&](TListView*, int index, bool selected) { selections.push_back({index, selected}); };
  list->SetItemIndex(1);
  list->SetItemIndex(0);
  EXPECT_EQ(list->Selected(), list->Item(0));
  EXPECT_EQ(selections, (std::vector<std::pair<int, bool>>{{1, true}, {1, false}, {0, true}}));

  list->InsertItem(0, "Help");
  EXPECT_EQ(ListText(list, 0, 0), "Help");
  EXPECT_EQ(list->Item(1)->Index(), 1);
  EXPECT_TRUE(list->IsSelected(1));   // the selection moved with its row
  list->DeleteItem(0);
  EXPECT_EQ(ListText(list, 0, 0), "Fonts");
  list->Clear();
  EXPECT_EQ(list->Perform(LVM_GETITEMCOUNT), 0);
}

TEST_F(GuiControls, OwnerDataListAsksForRowsAndReportsCheckBoxClicks) {
  std::vector<std::pair<std::string, bool>> data{{"HKEY_CURRENT_USER\\Software\\A", true},
                                                 {"HKEY_CURRENT_USER\\Software\\B", false}};
  auto* list = new TListView(form.get(), {.CheckBoxes = true, .OwnerData = true});
  list->SetBounds(0, 0, 300, 200);
  list->AddColumn("Key", 200);
  list->AddColumn("Status", 80);
  list->OnData = [&](TListView*, int index, TListItem& item) {
    item.Caption = data[index].first;
    item.SubItems = {"Repaired Successfully"};
    item.Checked = data[index].second;
  };
  list->OnItemChecked = [&](TListView*, int index) { data[index].second = !data[index].second; };
  static_cast<TListCountTarget*>(list)->SetItemCount(2);
  EXPECT_EQ(list->Perform(LVM_GETITEMCOUNT), 2);
  EXPECT_EQ(ListText(list, 1, 0) + "|" + ListText(list, 1, 1), "HKEY_CURRENT_USER\\Software\\B|Repaired Successfully");
  EXPECT_TRUE(list->IsChecked(0));
  EXPECT_EQ(list->Perform(LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) >> 12, 2);

  // A click on the second row's check box.
  RECT icon{};
  icon.left = LVIR_ICON;
  list->Perform(LVM_GETITEMRECT, 1, (LPARAM)&icon);
  int x = icon.left - 8, y = (icon.top + icon.bottom) / 2;
  ASSERT_EQ(list->GetStateIconAt(x, y), 1);
  list->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  list->Perform(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  EXPECT_TRUE(data[1].second && list->IsChecked(1));
}

TEST_F(GuiControls, OwnerDrawnRowsTakeTheStateImageListsHeightPerCellColoursAndLargeIcons) {
  TImageList states(16, 70);
  TBitmap strip(32, 70, clFuchsia);
  ASSERT_EQ(states.AddBitmap(strip), 2);
  auto* list = new TListView(form.get(), {.OwnerDraw = true, .ShowColumnHeaders = false});
  list->SetBounds(0, 0, 300, 250);
  list->AddColumn("Finding", 280);
  list->SetStateImages(&states);
  for (const char* row : {"one", "two"}) list->AddItem(row);
  int drawn = 0;
  list->OnDrawItem = [&](TListView*, int, TCanvas& canvas, const RECT& r, bool) {
    ++drawn;
    canvas.BrushColor = 0xFFF2D9;
    canvas.FillRect(r);
  };
  RECT r = list->ItemRect(1);
  EXPECT_EQ(r.bottom - r.top, 70);
  form->Show();
  list->Repaint();
  EXPECT_GE(drawn, 2);

  auto* colours = new TListView(form.get());
  colours->SetBounds(0, 0, 300, 100);
  for (const char* column : {"A", "B"}) colours->AddColumn(column, 100);
  colours->AddItem("x")->SubItems = {"y"};
  std::vector<int> cells;
  colours->OnCustomDrawSubItem = [&](TListView*, int index, int column, TColor& color) {
    cells.push_back(index * 10 + column);
    if (column == 1) color = clRed;
  };
  colours->Repaint();
  EXPECT_NE(std::find(cells.begin(), cells.end(), 1), cells.end());

  // The icon view shows large pictures.
  TImageList large(32, 32);
  ASSERT_EQ(large.AddBitmap(TBitmap(64, 32, clRed)), 2);
  list = new TListView(form.get(), {.IconView = true});
  list->SetBounds(0, 0, 300, 200);
  list->SetLargeImages(&large);
  TListItem* row = list->AddItem("Tool");
  row->ImageIndex = 1;
  row->Update();
  EXPECT_EQ(GetWindowLongW(list->Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_ICON);
  EXPECT_EQ((HIMAGELIST)list->Perform(LVM_GETIMAGELIST, LVSIL_NORMAL), large.Handle());
  RECT icon{};
  icon.left = LVIR_ICON;
  list->Perform(LVM_GETITEMRECT, 0, (LPARAM)&icon);
  EXPECT_GE(icon.bottom - icon.top, 32);
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  list->Perform(LVM_GETITEMW, 0, (LPARAM)&item);
  EXPECT_EQ(item.iImage, 1);
}

TEST_F(GuiControls, ColumnClicksSortRowsAndASecondClickReversesThem) {
  auto* list = new TListView(form.get(), {.CheckBoxes = true});
  list->AddColumn("Name", 100);
  list->AddColumn("Size", 60);
  for (auto [name, size] : {std::pair{"beta", "10"}, {"Alpha", "9"}, {"gamma", "100"}})
    list->AddItem(name)->SubItems = {size};
  list->SetChecked(1, true);
  list->SetItemIndex(2);
  TColumnSort sort;
  auto names = [&] { return ListText(list, 0, 0) + "," + ListText(list, 1, 0) + "," + ListText(list, 2, 0); };
  sort.Click(0);
  sort.Sort(*list, CompareColumnText);
  EXPECT_EQ(names(), "Alpha,beta,gamma");   // case does not count
  EXPECT_TRUE(list->IsChecked(0));           // tick and selection move with their rows
  EXPECT_EQ(list->Perform(LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) >> 12, 2);
  EXPECT_EQ(list->ItemIndex(), 2);
  sort.Click(0);
  sort.Sort(*list, CompareColumnText);
  EXPECT_EQ(names(), "gamma,beta,Alpha");
  sort.Click(1);   // another column starts ascending, with the caller's compare
  EXPECT_TRUE(sort.Ascending());
  sort.Sort(*list, [](const TListItem& a, const TListItem& b, int column) {
    return std::stoi(a.Text(column)) - std::stoi(b.Text(column));
  });
  EXPECT_EQ(names(), "Alpha,beta,gamma");

  // Owner data: an index vector over the records, stable for equal keys.
  std::vector<std::string> records{"b", "a", "b", "c"};
  std::vector<int> order{0, 1, 2, 3};
  TColumnSort byName;
  byName.Click(0);
  byName.Click(0);
  byName.Sort(order, [&](int a, int b, int) { return records[a].compare(records[b]); });
  EXPECT_EQ(order, (std::vector<int>{3, 0, 2, 1}));
}

TEST_F(GuiControls, TrayIconPopupMenuAndImageListPictures) {
  TPopupMenu menu;
  int opened = 0;
  menu.Add("Open Zelvoran", [&](TObject*) { ++opened; })->Default = true;
  menu.AddSeparator();
  TMenuItem* exitItem = menu.Add("Exit");
  int exits = 0;
  exitItem->OnClick = [&](TObject* s) {
    EXPECT_EQ(s, exitItem);
    ++exits;
  };
  menu.Find("Open Zelvoran")->Click();
  exitItem->Enabled = false;
  exitItem->Click();
  exitItem->Enabled = true;
  exitItem->Click();
  EXPECT_EQ(opened + exits, 2);
  EXPECT_EQ(menu.Count(), 3);

  TTrayIcon tray(form->Handle(), 0x500);
  EXPECT_TRUE(tray.Add(LoadIconW(nullptr, (LPCWSTR)IDI_APPLICATION), "Zelvoran") && tray.Added());
  EXPECT_TRUE(tray.Remove() && !tray.Added());

  // The image list gives masked pictures to images.
  TImageList list(4, 4);
  TBitmap strip(8, 4, clFuchsia);
  for (int y = 0; y < 4; ++y) strip.Bits()[y * 8 + 5] = 0x0000FF;   // one blue column in image 1
  ASSERT_EQ(list.AddBitmap(strip), 2);
  auto* image = new TImage(form.get());
  list.GetBitmap(1, image->Picture());
  image->PictureChanged();
  EXPECT_TRUE(image->Picture().Transparent);
  EXPECT_EQ(image->Picture().Pixel(1, 0), 0xFF0000u);      // blue, as $BBGGRR
  EXPECT_EQ(image->Picture().Pixel(0, 0), clFuchsia);      // transparent there
  image->ClearPicture();
  EXPECT_TRUE(image->Picture().Empty());
}

TEST_F(GuiControls, FormsAreFreedByTheirHostOwnerOrOnceIdle) {
  auto* host = new TPanel(form.get());
  host->SetBounds(0, 0, 500, 370);
  struct TPage : TForm {
    explicit TPage(TControl* host) : TForm({.Host = host, .Border = TBorderStyle::None}) {
      SetColor(clWhite);
      DoCreate();
    }
  };
  bool destroyed = false;
  auto* page = new TPage(host);
  page->OnDestroy = [&](TObject*) { destroyed = true; };
  page->Show();
  EXPECT_TRUE(page->Visible());
  EXPECT_EQ(GetParent(page->Handle()), host->Handle());
  delete host;   // the host frees the page it holds
  EXPECT_TRUE(destroyed);

  // A busy form is freed only after its handler has unwound.
  destroyed = false;
  auto* busy = new TTestForm;
  busy->OnDestroy = [&](TObject*) { destroyed = true; };
  {
    TBusyGuard guard(busy);
    EXPECT_FALSE(busy->CanFreeNow());
    busy->FreeWhenIdle();
    EXPECT_TRUE(busy->Closing());
    Application.ProcessMessages();
    EXPECT_FALSE(destroyed);
  }
  for (int i = 0; i < 10 && !destroyed; ++i) Application.ProcessMessages();
  EXPECT_TRUE(destroyed);

  destroyed = false;
  auto* idle = new TTestForm;
  idle->OnDestroy = [&](TObject*) { destroyed = true; };
  idle->FreeWhenIdle();
  EXPECT_TRUE(destroyed) << "freed at once";

  // Owned forms are freed with their owner.
  std::vector<std::string> order;
  auto* owner = new TTestForm;
  owner->OnDestroy = [&](TObject*) { order.push_back("owner"); };
  struct TOwned : TForm {
    explicit TOwned(TForm* o) : TForm({.Owner = o}) { DoCreate(); }
  };
  auto* owned = new TOwned(owner);
  owned->OnDestroy = [&](TObject*) { order.push_back("owned"); };
  owner->Free();
  EXPECT_EQ(order, (std::vector<std::string>{"owner", "owned"}));
}

namespace {

// What the open pop-up menu showed for each item as it was highlighted in turn.
struct THighlighted {
  std::vector<std::string> Texts;
  std::vector<bool> HasPicture;   // the item was given a picture
  std::vector<bool> DarkBlock;    // its highlighted row held a black square
  std::vector<bool> PictureShown; // its highlighted row held its picture as the image list has it
};
THighlighted highlighted;
const COLORREF kPictureColour = RGB(0x20, 0xA0, 0x40);

// True when the row holds a 16 x 16 block of one colour.
bool HoldsBlock(const TBitmap& drawn, const RECT& row, auto matches) {
  for (int y = row.top; y + 16 <= row.bottom; ++y)
    for (int x = row.left; x + 16 <= row.right; ++x) {
      bool all = true;
      for (int dy = 0; dy < 16 && all; ++dy)
        for (int dx = 0; dx < 16 && all; ++dx) all = matches(drawn.Pixel(x + dx, y + dy));
      if (all) return true;
    }
  return false;
}

// Highlights the open menu's items one after another (the Down key) and reads each row back.
int ticks = 0;
bool keyPosted = false;
void CALLBACK ReadHighlightedRow(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND window = testing_support::ThreadWindow(L"#32768");
  HMENU menu = window == nullptr ? nullptr : (HMENU)SendMessageW(window, MN_GETHMENU, 0, 0);
  if (++ticks > 200) {   // the menu never opened or never moved on
    KillTimer(nullptr, timer);
    EndMenu();
    return;
  }
  if (menu == nullptr) return;
  int count = GetMenuItemCount(menu);
  int current = -1;
  for (int i = 0; i < count; ++i)
    if (GetMenuState(menu, i, MF_BYPOSITION) & MF_HILITE) current = i;
  // once the key has moved the highlight on to the next item, read that item's row
  if (keyPosted && current != (int)highlighted.Texts.size()) return;
  keyPosted = false;
  if (current >= 0) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{.cbSize = sizeof info, .fMask = MIIM_STRING | MIIM_BITMAP, .dwTypeData = text, .cch = 63};
    GetMenuItemInfoW(menu, current, TRUE, &info);
    RECT whole, row;
    GetWindowRect(window, &whole);
    GetMenuItemRect(window, menu, current, &row);
    OffsetRect(&row, -whole.left, -whole.top);
    TBitmap drawn(whole.right - whole.left, whole.bottom - whole.top);
    {
      HDC source = GetWindowDC(window);
      TBitmapDC target(drawn);
      BitBlt(target.Handle(), 0, 0, drawn.Width(), drawn.Height(), source, 0, 0, SRCCOPY);
      ReleaseDC(window, source);
    }
    highlighted.Texts.push_back(Narrow(text));
    highlighted.HasPicture.push_back(info.hbmpItem != nullptr);
    highlighted.DarkBlock.push_back(HoldsBlock(drawn, row, [](uint32_t c) {
      return GetRValue(c) < 64 && GetGValue(c) < 64 && GetBValue(c) < 64;
    }));
    highlighted.PictureShown.push_back(HoldsBlock(drawn, row, [](uint32_t c) { return c == kPictureColour; }));
  }
  if (current + 1 >= count) {
    KillTimer(nullptr, timer);
    EndMenu();
    return;
  }
  keyPosted = PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0) != FALSE;
}

}  // namespace

TEST_F(GuiControls, PopupMenuItemsWithoutAPictureShowNoneWhenHighlighted) {
  TImageList images(16, 16);
  TBitmap picture(16, 16, kPictureColour);
  ASSERT_EQ(images.AddBitmap(picture), 1);
  TPopupMenu menu;
  menu.Images = &images;
  menu.Add("Pictured")->ImageIndex = 0;
  menu.Add("Plain and the longest text");
  menu.Add("Beyond the list")->ImageIndex = 5;
  menu.Add("Pictured too")->ImageIndex = 0;
  form->Show();
  highlighted = {};
  ticks = 0;
  keyPosted = false;
  SetTimer(nullptr, 0, 50, ReadHighlightedRow);
  menu.Popup(620, 330, form->Handle());
  ASSERT_EQ(highlighted.Texts, (std::vector<std::string>{"Pictured", "Plain and the longest text", "Beyond the list",
                                                          "Pictured too"}));
  EXPECT_EQ(highlighted.HasPicture, (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(highlighted.DarkBlock, (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(highlighted.PictureShown, (std::vector<bool>{true, false, false, true})) << "drawn as the list has it";
}
