// The "Error Utilities" tool: known errors and their registry fixes, from the downloaded list,
// followed by four built-in rows; the ticked ones are repaired. Its hidden "Report" button
// opens the support mail window.
#pragma once

#include <vector>

#include "../../app/ToolPage.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "UnitSystemErrorList.h"

class TErrorFixForm : public TToolPage {
 public:
  explicit TErrorFixForm(TControl* host);

  TListView* listerror;
  TPanel* PanelDescription;
  TMemo* MemoText;
  TCheckBox* cbSelectAll;
  TLabel* abSelectAll;
  TBitBtn *BitBtn1, *BitBtn2;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormResize(TObject* sender);
  void cbSelectAllClick(TObject* sender);
  void listerrorMouseDown(int x, int y);
  void listerrorSelectItem(int index, bool selected);
  void BitBtn1Click(TObject* sender);
  void BitBtn2Click(TObject* sender);

  // The rows (the only copy of each tick) and the fixes behind them.
  std::vector<UnitSystemError::TErrorRow> Rows;
  TErrorContents Errors;

  // Toggles a row's tick as a click on its state image does (rows 0 and 1 ask first).
  void ToggleRow(int index);

 private:
  void ShowRows();
  // Fetches the list into the file, under the please-wait window; false when that failed.
  bool DownloadList(const std::string& list);
  // Reads the list file into the rows; false when it could not be read.
  bool LoadList(const std::string& list);
  bool listNotLoaded_ = false;   // the list could not be fetched or read: the user is told when the page shows
};
