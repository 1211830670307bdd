// The "Startup Manager" tool page: the Startup List (every program Windows starts at log-on,
// with switchable version details) and the Restore List (removed entries), and the four buttons
// that disable, enable, remove and restore entries. The page only lays out, lists and forwards;
// the listing and the actions are the routines of StartupManagerUnitEntries.h and
// StartupManagerUnitActions.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "../../app/ToolPage.h"
#include "../../framework/ComCtrls.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "APP.h"
#include "StartupManagerUnitActions.h"
#include "StartupManagerUnitEntries.h"
#include "StartupManagerUnitFiles.h"

// Where the page keeps its files and looks for entries; the program's own by default.
struct TStartupPageSetup {
  std::string ProgramFolder;                      // "" the executable's folder
  std::optional<StartupManagerUnit::TStartupSources> Sources;   // none: the system's locations
};

class TStartupManagerForm : public TToolPage {
 public:
  enum class TTab { StartupList = 0, RestoreList = 1 };

  explicit TStartupManagerForm(TControl* host, const TStartupPageSetup& setup = {});

  TPanel *Panel1, *Panel2, *Panel3, *Panel5;
  TMemo* Memo1;
  TPageControl* PageCIndex;
  TPanel *TabSheet1, *TabSheet2;
  TListView* StartupListView;
  TListView* ListRestore;
  TButton *OpenPathBtn, *DeleteItemBtn, *BtRemove, *RestoreBtn;

  void FormShow(TObject* sender);
  void FormResize(TObject* sender);
  void PageCIndexChange(TObject* sender);
  void StartupListViewMouseDown(TObject* sender, TMouseButton button, int x, int y);
  void StartupListViewDblClick(TObject* sender);
  void OpenPathBtnClick(TObject* sender);     // "Enable Selected"
  void DeleteItemBtnClick(TObject* sender);   // "Disable Selected"
  void BtRemoveClick(TObject* sender);        // "Remove Selected"
  void RestoreBtnClick(TObject* sender);      // "Restore Item"

  // Lists the Startup List anew; a request while a listing runs is ignored.
  void RefreshStartupList();
  void LoadRestoreList();
  // Shows the tab and does what choosing it does.
  void ShowTab(TTab tab);
  // A row's tick (image 0 and 1) and its details switch (state 2 and 3).
  void SwitchTick(int index);
  void SwitchDetails(int index);

  const StartupManagerUnit::TStartupListing& Listing() const { return listing_; }
  const std::vector<StartupManagerUnit::TRestoreRow>& RestoreRows() const { return restoreRows_; }
  const StartupManagerUnit::TStartupFiles& Files() const { return files_; }
  bool ListingRuns() const { return listing_running_; }
  // Called once per entry listed, after the page's own pumping (tests look at the page there).
  std::function<void()> OnListingStep;

 private:
  void BuildButtons(TPanel* bar);
  void BuildLists(TPanel* client);
  void ShowStartupRows();
  void ShowRestoreRows();
  void StartupRowData(TListView* sender, int index, TListItem& item);
  void RestoreRowData(TListView* sender, int index, TListItem& item);
  void ReportLeftUnchanged(const StartupManagerUnit::TActionResult& result);
  bool ListingStep();

  StartupManagerUnit::TStartupFiles files_;
  StartupManagerUnit::TStartupSources sources_;   // FolderList: sources_.Folders
  APP::TAppObj VersionReader;
  StartupManagerUnit::TStartupListing listing_;
  std::vector<StartupManagerUnit::TRestoreRow> restoreRows_;
  bool listing_running_ = false;
};
