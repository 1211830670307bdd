// The startup manager page: layout, the two lists over the listing's rows, and handlers that
// call one routine each and show its result.
#include "StartupManagerUnit.h"

#include "../../app/DMUnit.h"
#include "../../framework/Dialogs.h"
#include "../../framework/ImageList.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

using namespace StartupManagerUnit;

namespace {

const char* const kCaption = "Startup Manager";
const char* const kStartupTab = "Startup List";
const char* const kRestoreTab = "Restore List";
const char* const kInstructions =
    "You can choose which applications are launched when you start the computer. Select the item(s) below within "
    "the Startup List tab and click a button to enable, disable or remove. In case that you wanted to recovery the "
    "item(s), select the specific item(s) within the Restore List tab, and then click the Restore Item button to "
    "restore.";

struct TColumn {
  const char* Caption;
  int Width;
  TAlignment Alignment = TAlignment::LeftJustify;
};
const TColumn kStartupColumns[] = {{"Name", 150}, {"Path", 140}, {"Status", 60, TAlignment::Center}};
const TColumn kRestoreColumns[] = {{"", 25}, {"Name", 160}, {"Info", 160}};

struct TButtonLayout {
  const char* Caption;
  int Left;
};
const TButtonLayout kEnableButton{"Enable Selected", 8};
const TButtonLayout kDisableButton{"Disable Selected", 100};
const TButtonLayout kRemoveButton{"Remove Selected", 192};
const TButtonLayout kRestoreButton{"Restore Item", 284};
const int kButtonTop = 6, kButtonWidth = 89, kButtonHeight = 28;
const int kButtonBarHeight = 54, kButtonPanelWidth = 379, kInstructionsHeight = 73;
const TColor kInstructionsColor = 0xF5D5C2;
const int kPathColumnSlack = 20;

void AddColumns(TListView* list, const TColumn* columns, int count) {
  for (int i = 0; i < count; ++i) list->AddColumn(columns[i].Caption, columns[i].Width, columns[i].Alignment);
}

}  // namespace

TStartupManagerForm::TStartupManagerForm(TControl* host, const TStartupPageSetup& setup)
    : TToolPage(host, "TStartupManagerForm") {
  SetColor(clWhite);
  SetCaption(kCaption);
  SetFont({.Name = "MS Sans Serif", .Height = 11});
  Panel2 = new TPanel(this);
  Panel2->SetHeight(kButtonBarHeight);
  Panel2->SetAlign(TAlign::Bottom);
  BuildButtons(Panel2);
  Panel1 = new TPanel(this);
  Panel1->SetAlign(TAlign::Client);
  BuildLists(Panel1);
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  // FormCreate: the files and folders, and the Startup folders (FolderList) once.
  files_ = PrepareStartupFiles(setup.ProgramFolder.empty() ? ExeDir() : setup.ProgramFolder);
  sources_ = setup.Sources ? *setup.Sources : DefaultStartupSources();
  DoCreate();
}

void TStartupManagerForm::BuildButtons(TPanel* bar) {
  Panel3 = new TPanel(bar);
  Panel3->SetWidth(kButtonPanelWidth);
  Panel3->SetAlign(TAlign::Right);
  auto button = [this](const TButtonLayout& layout, void (TStartupManagerForm::*handler)(TObject*)) {
    auto* b = new TButton(Panel3);
    b->SetBounds(layout.Left, kButtonTop, kButtonWidth, kButtonHeight);
    b->SetCaption(layout.Caption);
    b->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
    return b;
  };
  OpenPathBtn = button(kEnableButton, &TStartupManagerForm::OpenPathBtnClick);
  DeleteItemBtn = button(kDisableButton, &TStartupManagerForm::DeleteItemBtnClick);
  BtRemove = button(kRemoveButton, &TStartupManagerForm::BtRemoveClick);
  RestoreBtn = button(kRestoreButton, &TStartupManagerForm::RestoreBtnClick);
  RestoreBtn->SetEnabled(false);
}

void TStartupManagerForm::BuildLists(TPanel* client) {
  Panel5 = new TPanel(client);
  Panel5->SetHeight(kInstructionsHeight);
  Panel5->SetAlign(TAlign::Top);
  Panel5->SetColor(kInstructionsColor);
  Memo1 = new TMemo(Panel5);
  Memo1->SetAlign(TAlign::Client);
  Memo1->SetReadOnly(true);
  Memo1->SetBorder(false);
  Memo1->SetColor(clWhite);
  Memo1->SetText(kInstructions);
  Panel5->SetEnabled(false);
  PageCIndex = new TPageControl(client);
  PageCIndex->SetAlign(TAlign::Client);
  if (DM != nullptr) PageCIndex->SetImages(&DM->StatImageList);
  TabSheet1 = PageCIndex->AddPage(kStartupTab);
  TabSheet2 = PageCIndex->AddPage(kRestoreTab, 1);
  PageCIndex->OnChange = [this](TObject* s) { PageCIndexChange(s); };

  // A row's tick is its image; its state picture is its details switch, not a check box.
  StartupListView = new TListView(TabSheet1, {.CheckBoxes = true,
                                              .OwnerData = true,
                                              .MultiSelect = true,
                                              .GridLines = true,
                                              .RowStateImages = true});
  StartupListView->SetAlign(TAlign::Client);
  AddColumns(StartupListView, kStartupColumns, 3);
  if (DM != nullptr) {
    StartupListView->SetLargeImages(&DM->StatImageList);
    StartupListView->SetSmallImages(&DM->StatImageList);
    StartupListView->SetStateImages(&DM->StatImageList);
  }
  StartupListView->OnData = [this](TListView* s, int i, TListItem& item) { StartupRowData(s, i, item); };
  StartupListView->OnMouseDown = [this](TObject* s, TMouseButton b, int x, int y) { StartupListViewMouseDown(s, b, x, y); };
  StartupListView->OnDblClick = [this](TObject* s) { StartupListViewDblClick(s); };

  ListRestore = new TListView(TabSheet2, {.CheckBoxes = true, .OwnerData = true, .GridLines = true});
  ListRestore->SetAlign(TAlign::Client);
  AddColumns(ListRestore, kRestoreColumns, 3);
  ListRestore->OnData = [this](TListView* s, int i, TListItem& item) { RestoreRowData(s, i, item); };
  ListRestore->OnItemChecked = [this](TListView*, int i) {
    if (i >= 0 && i < (int)restoreRows_.size()) restoreRows_[i].Checked = !restoreRows_[i].Checked;
  };
}

// ---- rows ----

void TStartupManagerForm::StartupRowData(TListView*, int index, TListItem& item) {
  if (index < 0 || index >= (int)listing_.Rows.size()) return;
  const TStartupRow& row = listing_.Rows[index];
  item.Caption = row.Caption;
  item.SubItems = {row.Path, row.Status, row.Kind, row.Extra};
  item.ImageIndex = row.ImageIndex;
  item.StateIndex = row.StateIndex;
}

void TStartupManagerForm::RestoreRowData(TListView*, int index, TListItem& item) {
  if (index < 0 || index >= (int)restoreRows_.size()) return;
  const TRestoreRow& row = restoreRows_[index];
  item.SubItems = {row.Name, row.Info, row.Kind, row.Line};
  item.Checked = row.Checked;
}

void TStartupManagerForm::ShowStartupRows() {
  StartupListView->SetItemCount((int)listing_.Rows.size());
  StartupListView->Invalidate();
}

void TStartupManagerForm::ShowRestoreRows() {
  ListRestore->SetItemCount((int)restoreRows_.size());
  ListRestore->Invalidate();
}

// ---- listing ----

void TStartupManagerForm::FormShow(TObject*) { ShowTab(TTab::StartupList); }

bool TStartupManagerForm::ListingStep() {
  PublicFunctionUnit::ProcessMessages();
  if (OnListingStep) OnListingStep();
  return !Closing();
}

void TStartupManagerForm::RefreshStartupList() {
  if (listing_running_) return;
  TBusyGuard busy(this);
  listing_running_ = true;
  listing_.Rows.clear();
  ShowStartupRows();
  TStartupListing fresh;
  bool complete = ListStartupEntries(sources_, files_, VersionReader, fresh, [this] { return ListingStep(); });
  listing_running_ = false;
  if (Closing() || !complete) return;
  listing_ = std::move(fresh);
  ShowStartupRows();
}

void TStartupManagerForm::LoadRestoreList() {
  restoreRows_ = StartupManagerUnit::LoadRestoreList(sources_, files_);
  ShowRestoreRows();
}

void TStartupManagerForm::ShowTab(TTab tab) {
  PageCIndex->SetActivePageIndex((int)tab);
  PageCIndexChange(PageCIndex);
}

void TStartupManagerForm::PageCIndexChange(TObject*) {
  bool restore = PageCIndex->ActivePageIndex() == (int)TTab::RestoreList;
  DeleteItemBtn->SetEnabled(!restore);
  OpenPathBtn->SetEnabled(!restore);
  BtRemove->SetEnabled(!restore);
  RestoreBtn->SetEnabled(restore);
  if (restore)
    LoadRestoreList();
  else
    RefreshStartupList();
}

void TStartupManagerForm::FormResize(TObject*) {
  int width = StartupListView->Width() - StartupListView->ColumnWidth(0) - StartupListView->ColumnWidth(2) -
              kPathColumnSlack;
  StartupListView->SetColumnWidth(1, width);
}

// ---- ticks and details ----

void TStartupManagerForm::SwitchTick(int index) {
  if (listing_running_ || index < 0 || index >= (int)listing_.Rows.size()) return;
  TStartupRow& row = listing_.Rows[index];
  if (row.ImageIndex == ImageUnticked)
    row.ImageIndex = ImageTicked;
  else if (row.ImageIndex == ImageTicked)
    row.ImageIndex = ImageUnticked;
  ShowStartupRows();
}

void TStartupManagerForm::SwitchDetails(int index) {
  if (listing_running_) return;
  if (ToggleDetailRows(listing_, index)) ShowStartupRows();
}

void TStartupManagerForm::StartupListViewMouseDown(TObject*, TMouseButton button, int x, int y) {
  if (button != TMouseButton::Left) return;
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  int index = (int)StartupListView->Perform(LVM_HITTEST, 0, (LPARAM)&hit);
  if (index < 0) return;
  if (hit.flags & LVHT_ONITEMSTATEICON)
    SwitchDetails(index);
  else if (hit.flags & LVHT_ONITEMICON)
    SwitchTick(index);
}

void TStartupManagerForm::StartupListViewDblClick(TObject*) {
  int index = StartupListView->ItemIndex();
  if (index >= 0) SwitchDetails(index);
}

// ---- actions ----

void TStartupManagerForm::ReportLeftUnchanged(const TActionResult& result) {
  if (!result.Empty()) ShowMessageBox(LeftUnchangedText(result), MB_ICONWARNING);
}

void TStartupManagerForm::DeleteItemBtnClick(TObject*) {
  if (listing_running_) return;
  TBusyGuard busy(this);
  TActionResult result = DisableSelected(listing_.Rows, files_);
  RefreshStartupList();
  if (!Closing()) ReportLeftUnchanged(result);
}

void TStartupManagerForm::OpenPathBtnClick(TObject*) {
  if (listing_running_) return;
  TBusyGuard busy(this);
  TActionResult result = EnableSelected(listing_.Rows, sources_, files_);
  RefreshStartupList();
  if (!Closing()) ReportLeftUnchanged(result);
}

void TStartupManagerForm::BtRemoveClick(TObject*) {
  if (listing_running_) return;
  TBusyGuard busy(this);
  TActionResult result;
  if (ShowMessageBox(RemoveQuestion, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES)
    result = RemoveSelected(listing_.Rows, sources_, files_);
  RefreshStartupList();
  if (!Closing()) ReportLeftUnchanged(result);
}

void TStartupManagerForm::RestoreBtnClick(TObject*) {
  if (listing_running_) return;
  TBusyGuard busy(this);
  TActionResult result = RestoreItems(restoreRows_, sources_, files_);
  LoadRestoreList();
  ReportLeftUnchanged(result);
}

TToolPage* NewStartupManagerPage(TControl* host) { return new TStartupManagerForm(host); }
