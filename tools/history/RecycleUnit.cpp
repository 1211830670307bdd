#include "RecycleUnit.h"

#include "../../app/HintUnit.h"
#include "../../framework/Application.h"
#include "../../framework/Dialogs.h"
#include "../../scan/PublicFunctionUnit.h"
#include "HistoryUnit.h"

using namespace RecycleUnit;

namespace {

const char* const kCaption = "Recycle";
const char* const kSelectAll = "Select All";
const char* const kClean = "Clean";

struct TColumn {
  const char* Caption;
  int Width;
};
const TColumn kColumns[] = {{"", 25}, {"Item Name", 200}};

// Marks the page cleaning and shows the progress dialog for the length of a cleaning.
class TCleaningScope {
 public:
  TCleaningScope(bool& cleaning, TRepairDialogForm*& dialog)
      : cleaning_(cleaning), dialog_(dialog), form_(new TRepairDialogForm()) {
    cleaning_ = true;
    dialog_ = form_.get();
  }
  ~TCleaningScope() {
    dialog_ = nullptr;
    cleaning_ = false;
  }
  TRepairDialogForm* Form() const { return form_.get(); }

 private:
  bool& cleaning_;
  TRepairDialogForm*& dialog_;
  TFormPtr<TRepairDialogForm> form_;
};

}  // namespace

TToolPage* NewHistoryCleanerPage(TControl* host) { return new TRecycleForm(host); }

TRecycleForm::TRecycleForm(TControl* host, const TRecycleKeys& keys)
    : TToolPage(host, "TRecycleForm"), ClearBrowsingHistory(HistoryUnit::ClearHistory), keys_(keys) {
  SetCaption(kCaption);
  SetColor(clWhite);
  DataTreeView = new TTreeView(this);
  DataTreeView->SetBounds(8, 8, 150, 290);
  RootNode = DataTreeView->Add(nullptr, RootNodeText);
  RootNode->Tag = -1;
  for (int c = 0; c < CategoryCount; ++c) {
    CategoryNodes[c] = DataTreeView->Add(RootNode, CategoryNodeText[c]);
    CategoryNodes[c]->Tag = c;
  }
  RootNode->Expand();
  DataTreeView->OnChange = [this](TObject* s) { DataTreeViewChange(s); };

  DataListView = new TListView(this, {.CheckBoxes = true, .OwnerData = true});
  DataListView->SetBounds(166, 8, 315, 290);
  for (const TColumn& c : kColumns) DataListView->AddColumn(c.Caption, c.Width);
  DataListView->OnData = [this](TListView*, int row, TListItem& shown) {
    if (row < 0 || row >= RowCount()) return;
    shown.SubItems = {RowItem(row).Name};
    shown.Checked = RowItem(row).Checked;
  };
  DataListView->OnItemChecked = [this](TListView*, int row) {
    if (row >= 0 && row < RowCount()) RowItem(row).Checked = !RowItem(row).Checked;
  };

  cbSelectAll = new TCheckBox(this);
  cbSelectAll->SetBounds(166, 308, 16, 17);
  cbSelectAll->OnClick = [this](TObject* s) { cbSelectAllClick(s); };
  abSelectAll = new TLabel(this);
  abSelectAll->SetBounds(184, 309, 70, 16);
  abSelectAll->SetCaption(kSelectAll);
  // The label names the box: a click on it applies the box as it stands and leaves it so.
  abSelectAll->OnClick = [this](TObject* s) { cbSelectAllClick(s); };
  Button1 = new TButton(this);
  Button1->SetBounds(406, 304, 75, 25);
  Button1->SetCaption(kClean);
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  DoCreate();
}

void TRecycleForm::FormCreate(TObject*) {
  ClearItems();
  Folders = LoadShellFolders(keys_.ShellFolders);
}

void TRecycleForm::FormShow(TObject*) {
  FitColumns();
  if (DataTreeView->Selected() == RootNode) DataTreeViewChange(DataTreeView);   // selecting it changes nothing
  else DataTreeView->Select(RootNode);
}

void TRecycleForm::FormResize(TObject*) { FitColumns(); }

void TRecycleForm::FitColumns() { DataListView->SetColumnWidth(1, DataListView->Width() - kColumns[0].Width - 20); }

// ---- listing ----

void TRecycleForm::ListAll() {
  ClearItems();
  ListAllCategories(Folders, keys_, Items);
}

void TRecycleForm::DataTreeViewChange(TObject*) {
  TTreeNode* node = DataTreeView->Selected();
  if (node == nullptr || cleaning_) return;
  if (node == RootNode) {
    ListAll();
  } else {
    ClearItems();
    ListCategory(TCategory(node->Tag), Folders, keys_, Items);
  }
  ShowItems();
}

void TRecycleForm::ClearItems() {
  rows_.clear();   // no row may point into the items while they are listed anew
  if (DataListView != nullptr) DataListView->SetItemCount(0);
  Items.clear();
}

void TRecycleForm::ShowItems() {
  TFormPtr<THintForm> hint(new THintForm());
  hint->LabelMsg->SetCaption(LoadingText);
  hint->Show();
  hint->Repaint();
  rows_.clear();
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i].Kind != TCategory::History) rows_.push_back(i);
  DataListView->SetItemCount(RowCount());
  DataListView->Invalidate();
  if (rows_.empty()) return;
  filling_ = true;
  cbSelectAll->SetChecked(Items[rows_.back()].Checked);
  filling_ = false;
}

void TRecycleForm::cbSelectAllClick(TObject*) {
  if (filling_ || cleaning_) return;
  for (int row = 0; row < RowCount(); ++row) RowItem(row).Checked = cbSelectAll->Checked();
  DataListView->Invalidate();
}

// ---- cleaning ----

bool TRecycleForm::CleanStep(const TRecycleData& item) {
  if (IsFileKind(item.Kind)) {
    if (RepairDialog != nullptr) RepairDialog->abRepair->SetCaption(item.Name);
    PublicFunctionUnit::ProcessMessages();
  }
  if (OnCleanStep) OnCleanStep(item);
  return !PublicFunctionUnit::RepairStopRequested() && !stopForExit_ && !Closing();
}

void TRecycleForm::CleanAll() {
  auto step = [this](const TRecycleData& item) { return CleanStep(item); };
  EmptyRecycleBin(Application.Handle);
  DeleteIECache(Items, step);
  DeleteTypedURLs(Items, keys_.TypedUrls, step);
  DeleteCheckedFiles(Items, step);
  ClearBrowsingHistory();   // a failure means nothing was cleared: nothing to tell
  DeleteRunMRU(Items, keys_.RunMru, step);
}

void TRecycleForm::CleanCategory(TCategory category) {
  auto step = [this](const TRecycleData& item) { return CleanStep(item); };
  switch (category) {
    case TCategory::RecycleBin: EmptyRecycleBin(Application.Handle); break;
    case TCategory::IECache: DeleteIECache(Items, step); break;
    case TCategory::IEAddress: DeleteTypedURLs(Items, keys_.TypedUrls, step); break;
    case TCategory::TemporaryFiles:
    case TCategory::NetHood:
    case TCategory::Recent: DeleteCheckedFiles(Items, step); break;
    case TCategory::History: ClearBrowsingHistory(); break;
    case TCategory::RunMRU: DeleteRunMRU(Items, keys_.RunMru, step); break;
  }
}

void TRecycleForm::EnableControls(bool enabled) {
  for (TControl* c : std::initializer_list<TControl*>{DataTreeView, DataListView, cbSelectAll, abSelectAll, Button1})
    c->SetEnabled(enabled);
}

void TRecycleForm::Button1Click(TObject*) {
  if (cleaning_) return;
  TTreeNode* node = DataTreeView->Selected();
  if (node == nullptr) {
    ShowMessageBox(NothingSelectedText, MB_ICONWARNING);
    return;
  }
  TBusyGuard busy(this);
  {
    TCleaningScope scope(cleaning_, RepairDialog);
    EnableControls(false);
    scope.Form()->abRepair->SetCaption(StartCleaningText);
    scope.Form()->Show();
    scope.Form()->Repaint();
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::HistoryCleaning;
    if (node == RootNode) CleanAll();
    else CleanCategory(TCategory(node->Tag));
  }
  if (Closing()) return;
  EnableControls(true);
  TCategory category = TCategory(node->Tag);
  if (node == RootNode) {
    ListAll();
  } else if (category != TCategory::RecycleBin && category != TCategory::History) {
    ClearItems();
    ListCategory(category, Folders, keys_, Items);
  }
  ShowItems();
}
