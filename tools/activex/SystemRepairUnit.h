// The "Register ActiveX" tool: every ActiveX control and library of the system folder
// registered again, silently, one after the other, each listed with its outcome.
#pragma once

#include <string>
#include <vector>

#include "../../app/ToolPage.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"

class TFormRegDll : public TToolPage {
 public:
  explicit TFormRegDll(TControl* host);

  TMemo* MemoTxt;
  TListView* lvActivexDLL;
  TButton *btnRepair, *btnStop;

  // The first column takes what the "Status" column leaves of the list's width.
  void FormResize(TObject* sender);
  void btnRepairClick(TObject* sender);
  void btnStopClick(TObject* sender);

  // The folder walked: the system folder (tests point it at their own).
  std::string Folder;

  struct TRow {
    std::string Path;
    std::string Status;
  };
  const std::vector<TRow>& Rows() const { return rows_; }

 private:
  bool running_ = false;
  std::vector<TRow> rows_;
};
