#include "IePluginsUnit.h"

#include "../../app/RegBackupUnit.h"
#include "../../framework/Dialogs.h"
#include "../../framework/ListedEntry.h"
#include "../../framework/PageBuilders.h"
#include "../../scan/PublicFunctionUnit.h"
#include "IERepairItemUnit.h"

using namespace IePluginsUnit;

namespace {

struct TColumn {
  const char* Caption;
  int Width;
};
const TColumn kItemColumns[] = {{"", 25}, {"Name", 150}, {"Registry Entries", 200}};
const TColumn kBackupColumns[] = {{"Backup Time", 150}, {"Backup File Name", 150}};
const TColumn kDetailColumns[] = {{"Key Name", 250}, {"Key Value", 150}};

const char* const kRemoveChecked = "Remove Checked";
const char* const kRestore = "Restore";
const char* const kRemoveBackup = "Remove Backup";

TListView* NewList(TControl* parent, const TListViewOptions& options, const char* name, const TColumn* columns,
                   int count) {
  auto* list = new TListView(parent, options);
  list->Name = name;
  for (int i = 0; i < count; ++i) list->AddColumn(columns[i].Caption, columns[i].Width);
  return list;
}

TButton* NewButton(TControl* parent, const char* name, const char* caption, int left) {
  auto* button = new TButton(parent);
  button->Name = name;
  button->SetBounds(left, 299, 105, 27);
  button->SetCaption(caption);
  return button;
}

// The last column takes what the others leave of the list's width, less 20.
void FitLastColumn(TListView* list) {
  int rest = list->Width() - 20;
  for (int i = 0; i + 1 < list->ColumnCount(); ++i) rest -= list->ColumnWidth(i);
  list->SetColumnWidth(list->ColumnCount() - 1, rest);
}

}  // namespace

TFormIePlugins::TFormIePlugins(TControl* host) : TToolPage(host, "TFormIePlugins") {
  SetCaption("IE Plugins");
  SetColor(clWhite);
  Notebook = new TNotebook(this);
  Notebook->SetBounds(0, 0, 489, 295);
  BuildListPage(Notebook->AddPage("List"));
  BuildRestorePage(Notebook->AddPage("Restore"));
  for (int i = 0; i < Notebook->PageCount(); ++i) Notebook->Page(i)->SetColor(clWhite);
  Notebook->SetPageIndex(0);
  BuildBottomBar();

  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  OnDestroy = [this](TObject* s) { FormDestroy(s); };
  // each tick lists the plug-ins again
  CkMenuExtension->SetChecked(true);
  CkToolBar->SetChecked(true);
  CkExplorerBars->SetChecked(true);
  DoCreate();
}

TFormIePlugins::~TFormIePlugins() {
  IEBackupListView->OnSelectItem = nullptr;
  DetailListView->OnData = nullptr;
}

void TFormIePlugins::BuildListPage(TPanel* page) {
  IEItemListView = NewList(page, {.CheckBoxes = true, .RowSelect = true, .GridLines = true}, "IEItemListView",
                           kItemColumns, 3);
  IEItemListView->SetBounds(8, 8, 473, 228);
  DisplayGroup = NewGroup(page, "Display", 8, 242, 473, 48);
  CkMenuExtension = NewCheckBox(DisplayGroup, "Menu Extensions", 16, 20, 140);
  CkToolBar = NewCheckBox(DisplayGroup, "ToolBar", 170, 20, 140);
  CkExplorerBars = NewCheckBox(DisplayGroup, "Explorer Bars", 324, 20, 140);
  CkMenuExtension->Name = "CkMenuExtension";
  CkToolBar->Name = "CkToolBar";
  CkExplorerBars->Name = "CkExplorerBars";
  for (TCheckBox* box : {CkMenuExtension, CkToolBar, CkExplorerBars})
    box->OnClick = [this](TObject*) { RefreshItemList(); };
}

void TFormIePlugins::BuildRestorePage(TPanel* page) {
  IEBackupListView = NewList(page, {.RowSelect = true, .GridLines = true}, "IEBackupListView", kBackupColumns, 2);
  IEBackupListView->SetBounds(8, 8, 473, 280);
  IEBackupListView->OnSelectItem = [this](TListView* s, int i, bool selected) { IEBackupListViewSelectItem(s, i, selected); };
  IEBackupListView->OnDblClick = [this](TObject* s) { IEBackupListViewDblClick(s); };
  // the details stay hidden; their records follow the selection
  DetailCaptionPanel = new TPanel(page);
  DetailCaptionPanel->Name = "DetailCaptionPanel";
  DetailCaptionPanel->SetBounds(8, 150, 473, 18);
  DetailCaptionPanel->SetCaption("Detail Backup");
  DetailSplitter = new TPanel(page);
  DetailSplitter->Name = "DetailSplitter";
  DetailSplitter->SetBounds(8, 146, 473, 3);
  DetailListView = NewList(page, {.OwnerData = true, .RowSelect = true}, "DetailListView", kDetailColumns, 2);
  DetailListView->SetBounds(8, 170, 473, 118);
  DetailListView->OnData = [this](TListView* s, int i, TListItem& item) { DetailListViewData(s, i, item); };
  for (TControl* c : std::initializer_list<TControl*>{DetailCaptionPanel, DetailSplitter, DetailListView}) c->Hide();
}

void TFormIePlugins::BuildBottomBar() {
  cbSelectAll = NewCheckBox(this, "", 8, 302, 16);
  cbSelectAll->Name = "cbSelectAll";
  abSelectAll = NewLabel(this, "Select All", 26, 304, 80);
  abSelectAll->Name = "abSelectAll";
  abSelectAll->SetCursor(TCursor::HandPoint);
  BackBtn = NewButton(this, "BackBtn", "Back", 160);
  RepairItemBtn = NewButton(this, "RepairItemBtn", kRemoveChecked, 268);
  RemoveRestoreBtn = NewButton(this, "RemoveRestoreBtn", kRestore, 376);
  BackBtn->Hide();
  cbSelectAll->OnClick = [this](TObject* s) { abSelectAllClick(s); };
  abSelectAll->OnClick = [this](TObject* s) { abSelectAllClick(s); };
  RepairItemBtn->OnClick = [this](TObject* s) { RepairItemBtnClick(s); };
  RemoveRestoreBtn->OnClick = [this](TObject* s) { RemoveRestoreBtnClick(s); };
  BackBtn->OnClick = [this](TObject* s) { BackBtnClick(s); };
}

std::string TFormIePlugins::Folder() const {
  return IncludeTrailingBackslash(BackupFolder.empty() ? PluginBackupFolder() : BackupFolder);
}

// ---- pages ----

TFormIePlugins::TPluginsPage TFormIePlugins::Page() const {
  return Notebook->PageIndex() == 1 ? TPluginsPage::Restore : TPluginsPage::List;
}

void TFormIePlugins::ShowPage(TPluginsPage page) {
  bool list = page == TPluginsPage::List;
  Notebook->SetPageIndex(list ? 0 : 1);
  RepairItemBtn->SetCaption(list ? kRemoveChecked : kRestore);
  RemoveRestoreBtn->SetCaption(list ? kRestore : kRemoveBackup);
  cbSelectAll->SetVisible(list);
  abSelectAll->SetVisible(list);
  BackBtn->SetVisible(!list);
  FormResize(this);
}

void TFormIePlugins::FormShow(TObject*) {
  if (Busy()) return;
  ShowPage(TPluginsPage::List);
}

void TFormIePlugins::FormResize(TObject*) {
  for (TListView* list : {IEItemListView, IEBackupListView, DetailListView}) FitLastColumn(list);
}

void TFormIePlugins::FormDestroy(TObject*) {
  IEItemListView->SetItemIndex(-1);
  IEBackupListView->OnSelectItem = nullptr;
  IEBackupListView->SetItemIndex(-1);
  Details.clear();
}

// ---- list page ----

void TFormIePlugins::RefreshItemList() {
  TRegistryContents plugins;
  if (CkMenuExtension->Checked()) IERepairItemUnit::ListMenuExtensions(plugins);
  if (CkToolBar->Checked()) IERepairItemUnit::ListToolbars(plugins);
  if (CkExplorerBars->Checked()) IERepairItemUnit::ListExplorerBars(plugins);
  FillItemList(plugins);
}

void TFormIePlugins::FillItemList(const TRegistryContents& plugins) {
  IEItemListView->BeginUpdate();
  IEItemListView->Clear();
  for (int i = 0; i < plugins.Count(); ++i) {
    TListItem* row = IEItemListView->AddItem("");
    row->SubItems = RowTexts(PluginRow(plugins.GetItem(i).Content));
    row->Update();
  }
  IEItemListView->EndUpdate();
}

void TFormIePlugins::abSelectAllClick(TObject* sender) {
  if (Busy()) return;
  if (sender == abSelectAll) {
    cbSelectAll->SetChecked(!cbSelectAll->Checked());   // its own click then sets the rows
    return;
  }
  for (int i = 0; i < IEItemListView->Count(); ++i) IEItemListView->SetChecked(i, cbSelectAll->Checked());
}

void TFormIePlugins::RemoveCheckedPlugins() {
  std::vector<TPluginRow> rows;
  for (int i = 0; i < IEItemListView->Count(); ++i)
    if (IEItemListView->IsChecked(i)) rows.push_back(RowFromTexts(IEItemListView->Item(i)->SubItems));
  RemovePlugins(rows, PublicFunctionUnit::PlatformKind, Folder(), Now());
  RefreshItemList();
}

void TFormIePlugins::RepairItemBtnClick(TObject*) {
  if (Busy()) return;
  if (Page() == TPluginsPage::List) RemoveCheckedPlugins();
  else ImportSelectedBackup();
}

// ---- restore page ----

std::string TFormIePlugins::SelectedBackup() const {
  TListItem* row = IEBackupListView->Selected();
  return row == nullptr ? std::string() : row->Text(1);
}

void TFormIePlugins::ImportSelectedBackup() {
  std::string file = SelectedBackup();
  if (file.empty()) {
    ShowMessageBox(SelectBackupText, SelectBackupCaption, MB_OK);
    return;
  }
  TBusyGuard busy(this);   // regedit runs while messages are processed
  // never over what changed since the removal
  RegBackupUnit::TRestoreResult result =
      RegBackupUnit::RestoreShowingProgress(nullptr, RegBackupUnit::RestoreUndoBackup, file);
  if (Closing() || result.Succeeded()) return;
  ShowMessageBox(RegBackupUnit::RestoreFailureText(result), MB_ICONWARNING);
}

void TFormIePlugins::IEBackupListViewDblClick(TObject*) {
  if (Busy() || SelectedBackup().empty()) return;
  ImportSelectedBackup();
}

void TFormIePlugins::RemoveSelectedBackup() {
  std::string file = SelectedBackup();
  if (file.empty()) {
    ShowMessageBox(SelectBackupText, SelectBackupCaption, MB_OK);
    return;
  }
  if (!ListedEntry::Delete(ExtractFilePath(file), ExtractFileName(file))) {   // exactly the file listed
    ShowMessageBox(RemoveFailedText, RemoveFailedCaption, MB_OK);
    return;
  }
  LoadBackupList();
}

void TFormIePlugins::RemoveRestoreBtnClick(TObject*) {
  if (Busy()) return;
  if (Page() == TPluginsPage::Restore) {
    RemoveSelectedBackup();
    return;
  }
  ShowPage(TPluginsPage::Restore);
  LoadBackupList();
}

void TFormIePlugins::BackBtnClick(TObject*) {
  if (Busy() || Page() != TPluginsPage::Restore) return;
  ShowPage(TPluginsPage::List);
  RefreshItemList();
}

void TFormIePlugins::LoadBackupList() {
  IEBackupListView->BeginUpdate();
  IEBackupListView->Clear();
  for (const TBackupFile& file : ListBackupFiles(Folder())) {
    TListItem* row = IEBackupListView->AddItem(DateTimeToStr(file.Created));
    row->SubItems = {file.FileName};
    row->Update();
  }
  IEBackupListView->EndUpdate();
  IEBackupListViewSelectItem(IEBackupListView, -1, false);
}

void TFormIePlugins::IEBackupListViewSelectItem(TListView* sender, int index, bool selected) {
  Details.clear();
  if (selected && index >= 0 && index < sender->Count()) Details = LoadBackupDetails(sender->Item(index)->Text(1));
  DetailListView->SetItemCount((int)Details.size());
  DetailListView->Invalidate();
}

void TFormIePlugins::DetailListViewData(TListView*, int index, TListItem& item) {
  if (index < 0 || index >= (int)Details.size()) return;
  const TDetailBackup& record = Details[index];
  item.Caption = record.KeyLine;
  item.SubItems = {record.ValueLine};
  item.StateIndex = record.Flag != 0 ? 1 : 0;
}

TToolPage* NewBrowserPluginsPage(TControl* host) { return new TFormIePlugins(host); }
