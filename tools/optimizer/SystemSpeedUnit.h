// The "System Optimizer" page: a wizard of four pages (the optimization model, the service
// boxes, the tweak boxes, the backups). "Optimize" and "Fast Optimize" switch the services and
// apply the tweaks after saving what they change into a backup file; the backup page lists those
// files and restores or deletes them. The work itself is in SystemSpeedUnitBackup.h.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "../../app/ToolPage.h"
#include "../../framework/ComCtrls.h"
#include "../../framework/ListView.h"
#include "../../framework/StdCtrls.h"
#include "SystemSpeedUnitBackup.h"

class TScrollBox;

// The notebook's pages "1" to "4".
enum class TOptimizeStep { Model = 0, Services = 1, Tweaks = 2, Backups = 3 };

class TOptimizeForm : public TToolPage {
 public:
  explicit TOptimizeForm(TControl* host);

  // Where backups go and are listed ("" is "RepairBackup\" beside the program) and the clock
  // that stamps their names; tests set both.
  std::string BackupFolder;
  std::function<TDateTime()> Clock = Now;

  TButton* btnOneClick = nullptr;   // "Fast Optimize"
  TButton* ReturnBtn = nullptr;     // "Back"
  TButton* btnExe = nullptr;        // "Optimize"
  TButton* btnOptimize = nullptr;   // "Next"
  TButton* btnDefault = nullptr;    // "Reset" / "Return"
  TNotebook* Notebook1 = nullptr;
  TRadioGroup* RGMode = nullptr;
  TMemo* Memo1 = nullptr;
  TMemo* MemoText = nullptr;
  TMemo* MemoSer = nullptr;
  TMemo* MemoReg = nullptr;
  std::array<TCheckBox*, SystemSpeedUnit::ServiceBoxCount> chk{};   // chk1 .. chk22
  std::array<TCheckBox*, SystemSpeedUnit::TweakBoxCount> Ochk{};   // Ochk1 .. Ochk27
  TListView* ListView1 = nullptr;
  TButton* BtnRestore = nullptr;
  TButton* btndelete = nullptr;

  TOptimizeStep Step() const { return (TOptimizeStep)Notebook1->PageIndex(); }

  void FormCreate();
  void RGModeClick();
  void btnOptimizeClick();
  void ReturnBtnClick();
  void Notebook1PageChanged();
  void btnExeClick();
  void btnOneClickClick();
  void btnDefaultClick();
  void BtnRestoreClick();
  void btndeleteClick();

  void PresetServiceBoxes(int model);
  void PresetTweakBoxes(int model);
  // Both return the number of refused changes; services are saved into backupFile first (and
  // each one refused is named in refusedServices, when given).
  int ApplyServiceBoxes(const std::string& backupFile, std::vector<std::string>* refusedServices = nullptr);
  int ApplyTweakBoxes();
  void ListSpeedBackups();
  void RestoreSpeedBackup(const std::string& fileName);

 private:
  void BuildButtonBar();
  void BuildModelPage(TPanel* page);
  void BuildServicePage(TPanel* page);
  void BuildTweakPage(TPanel* page);
  void BuildBackupPage(TPanel* page);
  TMemo* NewReadOnlyMemo(TControl* parent, int left, int top, int width, int height);
  void ShowStep(TOptimizeStep step);
  void ShowSystemServiceState();
  void StartRun();
  void RunOptimization(const char* successText);
  std::string Folder() const;
  std::string SelectedBackup() const;

  std::array<bool, SystemSpeedUnit::ServiceBoxCount> serviceDriven_{};
  bool showingSystemState_ = false;
};

TToolPage* NewSystemOptimizerPage(TControl* host);
