// The "Block ActiveX" tool: the catalogue of harmful ActiveX objects with their kill bits; the
// ticked objects are locked, the others unlocked.
#pragma once

#include <vector>

#include "../../app/ToolPage.h"
#include "../../framework/ComCtrls.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "UnitMalignantActiveXList.h"

class TFormMalignant : public TToolPage {
 public:
  explicit TFormMalignant(TControl* host);

  TLabel *Label1, *LabelList, *LabelWarning, *Label3;
  TListView* ListActiveX;
  TImage* ImageWarning;
  TMemo* Memo1;
  TCheckBox* ChkList;
  TProgressBar* ProtectGauge;
  TButton *ImmunizeBtn, *UnImmunizeBtn;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  // The "CLSID" column takes what the other two columns leave of the list's width.
  void FormResize(TObject* sender);
  // Bound to the box and its label "Select All": every row takes the box's state as it stands.
  void ChkListClick(TObject* sender);
  void ImmunizeBtnClick(TObject* sender);
  void UnImmunizeBtnClick(TObject* sender);

  // The catalogue's objects, one per row: the only copy of each row's tick.
  std::vector<UnitMalignantActiveX::TActiveXObject> Objects;
  // Where the kill bits live (tests put a store of their own).
  UnitMalignantActiveX::TKillBitStore* Store;

 private:
  void LoadList();
  void ShowWarning(int count);
  void FitColumns();
  void ShowRows();
  // Runs a lock or unlock over every row with the gauge, then the closing message.
  void RunOverRows(UnitMalignantActiveX::TRunResult (*action)(UnitMalignantActiveX::TKillBitStore&,
                                 std::vector<UnitMalignantActiveX::TActiveXObject>&,
                                 const UnitMalignantActiveX::TProgress&),
                   const char* doneText, bool warnUnlockedRows);
  UnitMalignantActiveX::TKillBitStore registry_;
  bool notLoadedTold_ = false;   // the empty list is told once per visit
};
