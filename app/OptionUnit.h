// The "Preferences" dialog: the general settings with start with Windows, the ignore-list editor
// and the scheduled scan job that starts the program with "-Scan" every 1 to 31 days.
//
// How to use: OptionUnit::ShowPreferences() creates the dialog, shows it modally and frees it
// (the main window's Options button). Tests point OptionUnit::Places at keys and a job name of
// their own before they open it.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/ComCtrls.h"
#include "../framework/Forms.h"
#include "../framework/ListView.h"
#include "../framework/StdCtrls.h"
#include "../framework/StringList.h"

struct ITask;

namespace OptionUnit {

// Where the dialog reads and writes what it edits.
struct TOptionPlaces {
  HKEY SettingsRoot = HKEY_LOCAL_MACHINE;
  std::string SettingsKey;   // "\Software\Zelvoran"
  HKEY RunRoot = HKEY_LOCAL_MACHINE;
  std::string RunKey;        // "\Software\Microsoft\Windows\CurrentVersion\Run"
  std::string ExeName;       // the executable's full path; "" is the running one
  std::string JobName;       // "Zelvoran.job"
  std::string Executable() const;
};
TOptionPlaces DefaultPlaces();
extern TOptionPlaces Places;

inline constexpr DWORD JobFlags = 0x2000;   // run only while the user is logged on
inline constexpr int DefaultHour = 9;       // the start time shown while scheduling is off
inline constexpr int DefaultMinute = 30;

// Creates the dialog with the application as owner, shows it modally and frees it.
void ShowPreferences();

}  // namespace OptionUnit

class TFormOptions : public TForm {
 public:
  explicit TFormOptions(TForm* owner = nullptr);

  TPageControl* MainPageControl;
  TPanel *TabSheet1, *TabSheet2, *TabSheet3;
  TBitBtn* BitBtn1;
  TButton* BtnCancel;

  // General Settings
  TGroupBox *GroupSchedule, *GroupAutomatic, *GroupUpdate;
  TCheckBox *ChkRun, *ChkAutoBackup, *ChkCheckItem, *cbCheckUpdate;
  TButton* CheckUpdateBtn;
  TLabel* LabelVer;

  // Ignore List
  TListView* IgnoreListView;
  TButton* RemoveSelectBtn;
  TStringList* IgnoreLines = nullptr;   // the lines of the ignore file, blank ones included

  // Scheduling
  TCheckBox* cbActiveTask;
  TImage* ImageTask;
  TLabel* abTaskName;
  TGroupBox* GroupScheduleSettings;
  TLabel *LabelStartTime, *LabelDays, *LabelDayUnit;
  TDateTimePicker* dtpStartTime;
  TSpinEdit* SpinEditDays;
  bool SchedulerAvailable = false;

  void FormCreate(TObject* sender);
  void FormDestroy(TObject* sender);
  void FormShow(TObject* sender);
  void MainPageControlChange(TObject* sender);
  void BitBtn1Click(TObject* sender);
  void BtnCancelClick(TObject* sender);
  void CheckUpdateBtnClick(TObject* sender);
  void RemoveSelectBtnClick(TObject* sender);
  void cbActiveTaskClick(TObject* sender);

  void LoadGeneralOptions();
  void SetAutoRun(bool on);
  void SaveGeneralOptions();
  void SaveGeneralPage();
  void LoadIgnoreList();
  void LoadSchedule();
  void SaveSchedule();

 private:
  int LineOfRow(int row) const;   // the ignore line a row stands for, -1 when none
  void ShowIgnoreLines();         // one row per non-blank ignore line
  void ShowJob(ITask* task);
  bool FillDailyTrigger(ITask* task);   // sets trigger 0 from the page and saves the job
  bool TriggerChanged() const;          // the start time or the days differ from the job's shown
  bool keepUnopenedJob_ = false;        // the job is listed but could not be opened, the box untouched

  // What the pages showed when they were loaded. OK stores only what the user changed, so that an
  // entry or a value that could not be read as the page reads it is never replaced by what the page
  // made of it.
  bool runShown_ = false;   // the Run value is the program's own entry
  struct TShownSetting {
    TCheckBox* Box = nullptr;
    bool* Field = nullptr;       // the setting in memory
    const char* Name = nullptr;  // the registry value
    bool Checked = false;
    bool Missing = false;   // not stored at all: OK stores what the box shows
  };
  TShownSetting shownSettings_[3];
  struct TShownTrigger {   // the held job's start time and days as the page showed them
    int Hour = 0, Minute = 0, Days = 0;
  };
  TShownTrigger shownTrigger_;
};
