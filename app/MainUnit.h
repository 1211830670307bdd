// The main window: the scan page with its section choice, progress, results and finish pages,
// the backup page, the "Advanced" page hosting the tools, the title bar buttons and the tray icon.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "../framework/ComCtrls.h"
#include "../framework/Controls.h"
#include "../framework/Forms.h"
#include "../framework/ListView.h"
#include "../framework/StdCtrls.h"
#include "../framework/Timer.h"
#include "../framework/TrayIcon.h"
#include "ImageEx.h"
#include "MainUnitSections.h"
#include "ToolPage.h"

class TRegBackupForm;

namespace MainUnit {

inline constexpr UINT WM_TRAY_ICON = 0x500;
inline constexpr UINT WM_RESTORE_INSTANCE = 0x2400;
// A later start's first command-line parameter, handed over in a WM_COPYDATA message of this kind
// (its UTF-16 text, without a terminating zero, at most MaxCommandLineData bytes).
inline constexpr ULONG_PTR CommandLineData = 0x5A564C43;
inline constexpr DWORD MaxCommandLineData = 2048;
inline constexpr int ToolCount = 12;

// Shows the options dialog modally (OptionUnit::ShowPreferences; tests may put their own).
extern std::function<void()> ShowOptions;
// Waits the given milliseconds while the window stays live (PublicFunctionUnit::Delay): the pause
// before the scan a command-line start asks for. Tests put their own in.
extern std::function<void(DWORD milliseconds)> Delay;

// The first-run offers of a repair while "OneTime" is due, each a modal dialog: the full export
// of the registry before the repair, and the upload of the repair backup after it (its OK clears
// "OneTime"). Tests put their own in.
extern std::function<void()> ShowFirstFullBackup;
extern std::function<void()> ShowBackupUpload;
// The repair backup file the last repair wrote ("" when it wrote none); the upload sends it.
extern std::string RepairBackupFile;

// One tool of the "Advanced" page. Create builds its page inside the host panel (app/ToolPage.h).
struct TToolSlot {
  std::string Caption;
  std::string LabelName;   // the launcher label's name
  std::function<TToolPage*(TControl* host)> Create;
  TToolPage* Window = nullptr;
};

}  // namespace MainUnit

class TZelvoranMainForm : public TForm, private MainUnit::TScanView {
 public:
  TZelvoranMainForm();
  ~TZelvoranMainForm() override;

  bool FirstActivate = true;
  std::array<TImage*, MainUnit::SectionCount> SectionImages{};

  // Title picture and its buttons. The pictures come from the data module's image lists; the
  // buttons under the mouse show their hover picture.
  TImage* BackImage;
  TImageEx *HelpBtn, *OptionsBtn, *AboutBtn, *wsMinimizedBtn, *wsCloseBtn;
  // Page buttons and the home-page picture on the left column's part of the background.
  TImage* LeftImage;
  TImageEx *ScanBtn, *BackupBtn, *AdvanceBtn, *HomeBtn;
  TNotebook* MainNotebook;   // 0 scan, 1 backup, 2 advanced
  TNotebook* ScanNotebook;   // 0 sections, 1 results ("Repair"), 2 finish
  TPanel *BackupPanel, *AdvancePanel;
  // The backup page, made on its first visit and kept until the window goes (it owns it).
  TRegBackupForm* BackupPage() const { return backupPage_; }

  // Section page.
  std::array<TLabel*, MainUnit::SectionCount> SectionLabels{};   // abSection01..17
  std::array<TLabel*, MainUnit::SectionCount> ItemCountLabels{};   // abItemCount01..17
  TLabel* LabelHint;
  TShape* spShape;
  TLabel *spLabel, *abScanTimeTitle, *abScanTime, *abItemsProcessed, *panTotalProcess;
  TPanel* ScanOutcomePanel;
  TProgressBar *pbItemsProcessed, *pbTotalProcess;

  // Bottom bar.
  TPanel* ScanOutcomePanelEx;
  TCheckBox* cbSelectAll;
  TLabel* abSelectAll;
  TPanel* WarningPanel;
  TImage* ImageWarning;
  TLabel* LabelWarning;
  TImageEx *ScanNowBtn, *AbortScanBtn, *RepairBtn, *FinishBtn;

  // Results page.
  TPanel* Panel3;
  TListView* RepairGrid;
  TPanel* ProblemsPanel;
  TLabel *abExcludeMsg, *abShowHideDetails;
  TListView* ProblemsListBox;
  TPanel* panDetails;
  TLabel *abSeverity, *abLevel, *abDescription;
  TImage* LevleImage;
  TMemo* DetailsMemo;

  // Finish page.
  TListView* FinishListView;

  // Advanced page: the tools in the order they are freed, with their launchers.
  std::array<MainUnit::TToolSlot, MainUnit::ToolCount> Tools;
  std::array<TImageEx*, MainUnit::ToolCount> ToolIcons{};   // ImageEx1..12 in the tools' order
  std::array<TLabel*, MainUnit::ToolCount> ToolLabels{};
  TLabel* abOnlyXPMsg;

  // Start-up and life.
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormDestroy();
  void HelpBtnClick(TObject* sender);

  // Pages and frame.
  void ScanBtnClick(TObject* sender);
  void BackupBtnClick(TObject* sender);
  void AdvanceBtnClick(TObject* sender);
  void SwitchMainPage(TObject* sender);
  void SetScanPhase(int phase);
  void ResetScanProgress(bool visible);
  void picSection01Click(TObject* sender);
  void LaunchTool(int tool, TObject* sender);
  void HighlightToolLabel(TObject* control);
  void AddTrayIcon();
  void WMTrayIcon(LPARAM lp);
  void WMRestoreInstance();
  // A later start's parameter (WM_COPYDATA, MainUnit::CommandLineData): the window shows itself as
  // for WM_RESTORE_INSTANCE, and the scheduled job's parameter asks for a scan. False for data
  // that is not such a parameter.
  bool WMCopyData(const COPYDATASTRUCT* data);
  // The scan a later start asked for: it starts as a start with the parameter starts it, once the
  // program is free for it (no scan, repair or busy page, no dialog or menu open, and the finish
  // page, the only report of a repair, left by the user); a scan under way, or any scan that
  // starts before it, is the scan asked for.
  void RequestScan();
  bool ScanRequested() const { return scanRequested_; }
  // The program is free for what comes unasked (the requested scan, the update question): no
  // scan, repair or busy page, no dialog or menu open, the finish page left.
  bool FreeForUnattendedWork() const;
  // The finish page is in view: it stays until the user leaves it (its button or a page button).
  bool FinishPageShown() const;
  void StartRequestedScan();   // run by a timer while a scan is asked for
  void wsCloseBtnClick(TObject* sender);
  void wsMinimizedBtnClick(TObject* sender);
  void OptionsBtnClick(TObject* sender);
  void AboutBtnClick(TObject* sender);
  void HomeBtnClick(TObject* sender);
  void BackImageMouseDown(TObject* sender, TMouseButton button, int x, int y);

  // Hover pictures: each pair serves a group of buttons and tells them apart by the sender.
  void ImageEx1MouseEnter(TObject* sender);   // a tool icon or its label: the label lights up
  void ImageEx1MouseLeave(TObject* sender);

  // True while a scan or a repair runs or a hosted tool holds the window.
  bool ScanRunning() const;
  bool FrameBusy() const;
  // A hosted tool holds the window (a long operation runs) / blocks the other launchers.
  bool ToolBusy() const;
  bool LaunchersBlocked() const;
  // The tray's Exit: every open tool is asked to stop its running operation.
  void StopToolsForExit();
  // The tray's "Exit": asks the running scan, repair or tool to stop and ends the program.
  void ExitProgram();

  // The scan.
  void ScanNowBtnClick(TObject* sender);
  void AbortScanBtnClick(TObject* sender);
  void cbSelectAllClick(TObject* sender);
  void RunScan();
  void ShowScanResults();
  void ClearSectionResults();

  // Results page.
  void RepairGridSelectItem(int index, bool selected);
  void FillProblemList(unsigned section);
  void GetFindingText(int section, int index, std::string& keyPathLine, std::string& valueNameLine,
                      std::string& valueLine, std::string& faultLine);
  bool FindingChecked(int section, int index) const;
  void SetFindingChecked(int section, int index, bool checked);
  void ProblemsListBoxDrawItem(int index, TCanvas& canvas, const RECT& rect, bool selected);
  void ProblemsListBoxMouseDown(TMouseButton button, int x, int y);
  void ProblemsListBoxContextMenu(int x, int y);   // (-1, -1): from the keyboard
  void ProblemsListBoxSelectItem(int index, bool selected);
  void abShowHideDetailsClick(TObject* sender);
  void ExcludeMenuClick(TObject* sender);
  // Takes every finding that the exclusion of `finding` (made in section `caption`) names out of
  // the results, in every section.
  void DropExcludedFindings(const std::string& caption, const TContent& finding);
  // Appends the exclusion's line to the ignore file (valueName as the finding shows it; unnamed:
  // it stands for the key's unnamed value). Nothing is written when a name holds a line break,
  // or when the file is there but cannot be read (its last line might lack its line break).
  enum class TIgnoreAppend { Written, LineBreakInName, NotWritten };
  TIgnoreAppend AppendIgnoreEntry(const std::string& caption, const std::string& keyPath,
                                  const std::string& valueName, bool unnamed = false);
  int SelectedSection() const;   // the selected grid row's section index, -1 when none
  int RowSection(int row) const;   // a grid row's section index, -1 when it holds no number

  // Repair and finish. RepairBtnClick is the repair driver (MainUnitRepair.cpp): the ticked
  // findings' backup, the repair-progress dialog around the repair run, the finish page. While
  // it runs the window is busy (TBusyGuard): nothing that changes the findings or the pages acts.
  void RepairBtnClick(TObject* sender);
  void RunRepair();
  void FinishBtnClick(TObject* sender);
  std::string BackupFolder;   // where repair backups go; "" is "RepairBackup\" beside the program

  // The scan page's picture of a section (an image of the data module's StatImageList, or none).
  void ShowSectionImage(int index, int image) override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // TScanView
  bool SectionTicked(int index) const override;
  TCaptionTarget* CountLabel(int index) override;
  TCaptionTarget* CurrentItem() override;
  void ScanningSection(int number) override;
  void ShowTotalProcess(int percent) override;

  void BuildFrame();
  void BuildScanPage(TPanel* page);
  void BuildBottomBar(TPanel* bar);
  void BuildResultsPage(TPanel* page);
  void BuildFinishPage(TPanel* page);
  void BuildAdvancedPage(TPanel* page);
  bool BackupBeforeRepair(class TRepairDialogForm& dialog);
  TImageEx* NewButton(TControl* parent, const char* name, int left, int top, int width, int height);
  void FreeTools();

  std::unique_ptr<TTrayIcon> trayIcon_;
  TTimer requestedScanTimer_;
  bool scanRequested_ = false;
  bool startingRequestedScan_ = false;
  TRegBackupForm* backupPage_ = nullptr;
  bool shownOnce_ = false;
  std::string scanError_;
};

extern TZelvoranMainForm* ZelvoranMainForm;
