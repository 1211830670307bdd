// The "BHO Manager" tool page ("IE Plugins"): on its "List" page the browser's menu extensions,
// toolbars and explorer bars (filtered by the "Display" boxes), of which the ticked ones are
// removed after a backup; on its "Restore" page the backups, which can be imported again or
// removed.
#pragma once

#include <string>
#include <vector>

#include "../../app/ToolPage.h"
#include "../../framework/ComCtrls.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "IePluginsUnitBackup.h"

namespace IePluginsUnit {
inline constexpr const char* SelectBackupText = "Please select one backup file!";
inline constexpr const char* SelectBackupCaption = "Warning";
inline constexpr const char* RemoveFailedText = "Backup file was remove failed!";
inline constexpr const char* RemoveFailedCaption = "warning!";
}  // namespace IePluginsUnit

class TFormIePlugins : public TToolPage {
 public:
  enum class TPluginsPage { List, Restore };

  explicit TFormIePlugins(TControl* host);
  ~TFormIePlugins() override;

  TNotebook* Notebook;
  TListView* IEItemListView;
  TGroupBox* DisplayGroup;
  TCheckBox *CkMenuExtension, *CkToolBar, *CkExplorerBars;
  TListView* IEBackupListView;
  TPanel* DetailCaptionPanel;
  TPanel* DetailSplitter;
  TListView* DetailListView;
  TCheckBox* cbSelectAll;
  TLabel* abSelectAll;
  TButton *RepairItemBtn, *RemoveRestoreBtn, *BackBtn;

  std::string BackupFolder;   // "" is "IEBackUp\" beside the program
  std::vector<IePluginsUnit::TDetailBackup> Details;   // the selected backup's key and value lines

  TPluginsPage Page() const;
  void ShowPage(TPluginsPage page);

  void FormShow(TObject* sender);
  void FormResize(TObject* sender);
  void FormDestroy(TObject* sender);
  void RefreshItemList();
  void abSelectAllClick(TObject* sender);
  void RepairItemBtnClick(TObject* sender);
  void RemoveRestoreBtnClick(TObject* sender);
  void BackBtnClick(TObject* sender);
  void IEBackupListViewDblClick(TObject* sender);
  void IEBackupListViewSelectItem(TListView* sender, int index, bool selected);
  void DetailListViewData(TListView* sender, int index, TListItem& item);
  void LoadBackupList();

 private:
  void BuildListPage(TPanel* page);
  void BuildRestorePage(TPanel* page);
  void BuildBottomBar();
  std::string Folder() const;
  void FillItemList(const TRegistryContents& plugins);
  void RemoveCheckedPlugins();
  void ImportSelectedBackup();
  void RemoveSelectedBackup();
  std::string SelectedBackup() const;
};
