// The "History Cleaner" tool: a tree of eight kinds of traces (recycle bin, browser cache, typed
// addresses, temporary files, network neighbourhood links, recent documents, browsing history,
// Run history), the traces of the chosen kind with check boxes, and "Clean" for the chosen kind
// or all of them under the repair-progress dialog.
#pragma once

#include <functional>
#include <vector>

#include "../../app/RepairDialogUnit.h"
#include "../../app/ToolPage.h"
#include "../../framework/ComCtrls.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "RecycleUnitItems.h"

class TRecycleForm : public TToolPage {
 public:
  explicit TRecycleForm(TControl* host, const RecycleUnit::TRecycleKeys& keys = {});

  TTreeView* DataTreeView;
  TListView* DataListView = nullptr;
  TCheckBox* cbSelectAll;
  TLabel* abSelectAll;
  TButton* Button1;
  TTreeNode* RootNode;
  TTreeNode* CategoryNodes[RecycleUnit::CategoryCount];

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormResize(TObject* sender);
  void DataTreeViewChange(TObject* sender);
  void cbSelectAllClick(TObject* sender);
  void Button1Click(TObject* sender);
  void StopForExit() override { stopForExit_ = true; }

  RecycleUnit::TShellFolder Folders;
  // The traces listed, in list order; row i of the list shows item RowItem(i) (browsing-history
  // items are never shown).
  std::vector<RecycleUnit::TRecycleData> Items;
  RecycleUnit::TRecycleData& RowItem(int row) { return Items[rows_[row]]; }
  int RowCount() const { return (int)rows_.size(); }
  // The progress dialog while a cleaning runs, else null.
  TRepairDialogForm* RepairDialog = nullptr;
  // Clears the browsing history (tests count the calls).
  std::function<HRESULT()> ClearBrowsingHistory;
  // Tests: called before each item a cleaner takes up.
  std::function<void(const RecycleUnit::TRecycleData& item)> OnCleanStep;

 private:
  void FitColumns();
  void ListAll();
  void ClearItems();
  void ShowItems();
  void CleanAll();
  void CleanCategory(RecycleUnit::TCategory category);
  bool CleanStep(const RecycleUnit::TRecycleData& item);
  void EnableControls(bool enabled);

  RecycleUnit::TRecycleKeys keys_;
  std::vector<size_t> rows_;
  bool filling_ = false;    // ShowItems sets the select-all box: not a click of the user
  bool cleaning_ = false;
  bool stopForExit_ = false;
};
