// The "Junk File Cleaner" tool page: a six-step wizard that picks fixed drives and junk file
// types, walks the drives for junk files, reports what it found per drive and deletes, recycles
// or moves the files the user keeps ticked. The walk and the cleaning are plain routines
// (SysDiskCleanerUnitWalk.h); the junk types and their file are SysDiskCleanerUnitStore.h.
//
// The main window sees the page through TToolPage: it holds the window while a step runs (scan,
// cleanup, a dialog of the page), blocks the other launchers while the scan step is shown, and
// the tray's Exit asks a running scan to stop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../../app/ToolPage.h"
#include "../../framework/ComCtrls.h"
#include "../../framework/ImageList.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "SysDiskCleanerUnitStore.h"
#include "SysDiskCleanerUnitWalk.h"

// The wizard's steps, in the order of the notebook's pages.
enum class TCleanerStep { Drives, JunkFiles, Scan, Report, CleanupOptions, Cleanup };

// The cleaner's state byte, with the values the main window and the tray read.
enum class TCleanerState : uint8_t {
  Idle = 0,
  Scanning = 1,
  StopRequested = 2,
  ScanFinished = 3,
  Cleaning = 4,
  StopCleaning = 5,
};

class TSysDiskCleanerForm : public TToolPage {
 public:
  // storePath: the junk type file (default: "JunkFile.dat" beside the program).
  explicit TSysDiskCleanerForm(TControl* host, const std::string& storePath = "");
  ~TSysDiskCleanerForm() override;

  bool HoldsWindow() const override;
  bool BlocksLaunchers() const override;
  void StopForExit() override;

  TCleanerState State = TCleanerState::Idle;
  std::string JunkFilePath;   // the junk type file
  std::vector<SysDiskCleanerUnit::TJunkType> JunkTypes;
  std::vector<SysDiskCleanerUnit::TJunkFileRecord> FoundFiles;

  TCleanerStep Step() const;
  // Offers these drives in place of the fixed drives found at creation (row i is drive i).
  void UseDrives(const std::vector<SysDiskCleanerUnit::TFixedDrive>& drives);
  // Asks for the folder of the move mode; "" when the user cancels. Replaceable by tests.
  std::function<std::string()> PickFolder;

  TNotebook* DataNotebook;
  TButton* BackBtn;
  TButton* NextBtn;
  TListView* DiskListView;
  TListView* JunkFilesListView;
  TCheckBox* cbJunkFileSelectAll;
  TButton* AddBtn;
  TButton* EditBtn;
  TButton* DelBtn;
  TListView* ScanListView;
  TLabel* ScanMessage;
  TButton* StopScanBtn;
  TListView* ReportListView;
  TStatusBar* ReportStatusBar;
  TLabel* Label23;
  TRadioButton* RadioButton1;
  TRadioButton* RadioButton2;
  TRadioButton* RadioButton3;
  TPanel* panJunkMoveFolder;
  TLabel* RemovedLabel;   // what the cleanup did: the files removed, or nothing
  TListView* CleanerListView;
  TPanel* CleanupPanel;
  TProgressBar* CleanupGauge;
  TButton* StopRepairBtn;

  // The cleanup list's rows: path and status.
  struct TCleanedFile {
    std::string Path;
    std::string Status;
  };
  const std::vector<TCleanedFile>& CleanedFiles() const { return cleaned_; }

  void NextBtnClick(TObject* sender);
  void BackBtnClick(TObject* sender);
  void StopScanBtnClick(TObject* sender);
  void StopRepairBtnClick(TObject* sender);
  void AddBtnClick(TObject* sender);
  void EditBtnClick(TObject* sender);
  void DelBtnClick(TObject* sender);
  void cbJunkFileSelectAllClick(TObject* sender);
  void JunkFilesListViewMouseDown(TObject* sender, TMouseButton button, int x, int y);
  void ReportListViewMouseDown(TObject* sender, TMouseButton button, int x, int y);
  void ReportListViewDblClick(TObject* sender);
  void Label23Click(TObject* sender);
  void RadioButton1Click(TObject* sender);
  void RadioButton3Click(TObject* sender);

  // Reads the junk types into the list and its rows (the defaults, saved, when there is no file).
  // A file that is there but cannot be read leaves both as they were and asks to retry; false
  // when the user cancels.
  bool LoadJunkTypes();
  // Writes the list with the rows' ticks; nothing while the last read of the file failed.
  void SaveJunkTypes();
  void DefaultJunkTypes();

 private:
  void BuildDrivesPage(TPanel* page);
  void BuildJunkFilesPage(TPanel* page);
  void BuildScanPage(TPanel* page);
  void BuildReportPage(TPanel* page);
  void BuildOptionsPage(TPanel* page);
  void BuildCleanupPage(TPanel* page);
  void FormCreate(TObject* sender);
  void FormResize(TObject* sender);

  void ShowStep(TCleanerStep step, bool enter);
  void UpdateWizardButtons();
  bool MoveFolderMissing() const;
  void InitDrives();
  int DriveImage(const std::string& drive);
  void CopyRowChecks();
  void ShowJunkTypes();
  void AddJunkRow(const SysDiskCleanerUnit::TJunkType& type);
  void FillScanList();
  void ScanDrives();
  bool WalkStep(const SysDiskCleanerUnit::TWalkEntry& entry);
  void BuildReport();
  void UpdateReportStatus();
  void ShowFoundFiles(const std::string& drive);
  void ConfirmCleanup();
  void Cleanup();
  SysDiskCleanerUnit::TCleanupMode CleanupMode() const;

  std::unique_ptr<TImageList> driveImages_;
  std::vector<SysDiskCleanerUnit::TFixedDrive> drives_;       // row i of DiskListView
  std::vector<SysDiskCleanerUnit::TFixedDrive> scanDrives_;   // row i of ScanListView
  std::vector<TCleanedFile> cleaned_;
  bool cleanupDeclined_ = false;   // the cleanup step shows a cleanup the user said no to
  bool junkTypesRead_ = false;   // the list holds what the file held, or the defaults written
  DWORD lastPump_ = 0;
  bool pumpedOnce_ = false;
};

// The page for the "Junk File Cleaner" launcher.
TToolPage* NewJunkFileCleanerPage(TControl* host);
