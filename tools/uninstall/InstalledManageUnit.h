// The "Uninstaller Manager" tool page: the programs registered under the machine's Uninstall key
// with their icons, sorted by a clicked column, the details of the selected one, and the buttons
// that run its uninstall command or remove its registration. The page lays out and forwards; the
// entries and command lines are the routines of UninstallItemUnit.h.
#pragma once

#include <functional>
#include <string>

#include "../../app/ToolPage.h"
#include "../../framework/ImageList.h"
#include "../../framework/ListSort.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "UninstallItemUnit.h"

class TInstalledManageForm : public TToolPage {
 public:
  explicit TInstalledManageForm(TControl* host);

  TButton *TbtRefresh, *TbtUninstall, *TbrRemove;
  TCheckBox* ShowWindowsUpdate;
  TListView* ListInstalled;
  TImageList AppIconList{16, 16};
  TImageList AppIconListEx{32, 32};
  TImage* picApplicationIcon;
  TLabel *abProgramName, *abInstruct1, *abInstruct2;
  TLabel *caVersion, *caPublisher, *caHomePage;
  TLabel *abVersion, *abPublisher, *abHomePage;

  void FormShow(TObject* sender);
  void FormResize(TObject* sender);
  void TbtRefreshClick(TObject* sender);
  void ShowWindowsUpdateClick(TObject* sender);
  void ListInstalledColumnClick(int column);
  void ListInstalledSelectItem(int index, bool selected);
  void TbtUninstallClick(TObject* sender);
  void TbrRemoveClick(TObject* sender);

  // Row i shows entry i.
  const UninstallItemUnit::TUninstallContents& Entries() const { return entries_; }
  // Starts what the Uninstall button runs (tests watch the program they planted end).
  std::function<UninstallItemUnit::TStartOutcome(const std::string& commandLine)> StartProgram =
      UninstallItemUnit::StartCommandLine;

 private:
  void BuildDetails();
  void BuildButtons();
  void LoadSortAndFill();
  void SortAndFill();
  int AddIcon(const std::string& path);
  void ShowInstructions();
  void ShowDetails(int index);
  int SelectedEntry();   // -1 with the selection message shown

  UninstallItemUnit::TUninstallContents entries_;
  TColumnSort sort_;
};
