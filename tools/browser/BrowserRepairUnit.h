// The "Internet Explorer Restorer" tool page ("Browser Repair"): thirteen ticked repair rows, each
// showing "Repairing" and then "Completed" (or "Failed") as its action runs after the user has
// confirmed the warning. What the ticked actions will delete or overwrite is first written to a
// registry script among the plug-in backups, and what they wrote is noted in it after they ran,
// from where the "BHO Manager" restores it, undoing them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "../../app/ToolPage.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "BrowserRepairUnitBackup.h"
#include "IERepairItemUnit.h"

namespace BrowserRepairUnit {
inline constexpr const char* RepairingText = "Repairing";
inline constexpr const char* CompletedText = "Completed";
inline constexpr const char* FailedText = "Failed";
inline constexpr const char* RestoreWarning =
    "You will lose all of your personal settings of the Internet Explorer if you restore\r"
    "the default settings. We recommend you to restore your IE only if it couldn't work at all.\r\r"
    "Do you still want to restore the Internet Explorer to the default settings?";
}  // namespace BrowserRepairUnit

class TBrowserRepairForm : public TToolPage {
 public:
  explicit TBrowserRepairForm(TControl* host);

  TListView* IERepairListView;
  TCheckBox* cbSelectAll;
  TLabel* abSelectAll;
  TButton* DeleteItemBtn;

  // The action of each row (row i runs Actions[i]); tests may put their own in.
  std::function<bool()> Actions[IERepairItemUnit::RepairItemCount];
  std::string BackupFolder;   // "" is "IEBackUp\" beside the program, where the plug-in backups lie

  void FormShow(TObject* sender);
  void FormResize(TObject* sender);
  void FillRepairList();
  void cbSelectAllClick(TObject* sender);
  void DeleteItemBtnClick(TObject* sender);
  void RunRepairs();
  void IERepairListViewCustomDrawSubItem(TListView* sender, int index, int column, TColor& textColor);

 private:
  std::vector<int> TickedRows() const;
  bool BackupBeforeRepairs(const std::vector<int>& rows, BrowserRepairUnit::TRepairBackup& backup);
  void SetStatus(int row, const std::string& status);
};
