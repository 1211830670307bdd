#include "OptionUnit.h"

#include <algorithm>

#include <mstask.h>
#include <shellapi.h>

#include "../framework/ComPtr.h"
#include "../framework/Dialogs.h"
#include "../framework/Exceptions.h"
#include "../framework/Handles.h"
#include "../framework/PageBuilders.h"
#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"

namespace OptionUnit {

std::string TOptionPlaces::Executable() const { return ExeName.empty() ? ::ExeName() : ExeName; }

TOptionPlaces DefaultPlaces() {
  TOptionPlaces p;
  p.SettingsKey = PublicFunctionUnit::SettingsKey;
  p.RunKey = PublicFunctionUnit::RunKey;
  p.JobName = PublicFunctionUnit::ScheduledJobName;
  return p;
}

TOptionPlaces Places = DefaultPlaces();

void ShowPreferences() {
  TFormPtr<TFormOptions> form(new TFormOptions(nullptr));
  form->ShowModal();
}

}  // namespace OptionUnit

using OptionUnit::Places;
using PublicFunctionUnit::MyRegistryInfo;

namespace {

// A key the settings go to that cannot be opened for writing (the program runs without the rights
// to it): the saving ends with this error, which the error box shows, and the dialog stays open.
[[noreturn]] void CannotSave(const std::string& what, LONG code) {
  throw ERegistryException(what + " could not be saved.\r\rReason: " + SystemErrorText((unsigned long)code));
}

// True when the scheduler call went through; otherwise says which call failed and with what code.
// SaveTask's -1 has been reported already.
bool Succeeded(HRESULT hr, const std::string& call) {
  if (SUCCEEDED(hr)) return true;
  if (hr != -1) ShowMessage("Error in " + call + ".Error Code :" + IntToHex((uint32_t)hr, 8));
  return false;
}

// The settings of a new job: the program with "-Scan" in its folder, run for the current user.
bool SetJobSettings(ITask* task, const std::string& exe) {
  std::string user;
  PublicFunctionUnit::GetCurrentUserName(user);
  bool set = Succeeded(task->SetApplicationName(Widen(exe).c_str()), "Task.SetApplicationName") &&
             Succeeded(task->SetWorkingDirectory(Widen(ExtractFilePath(exe)).c_str()), "Task.SetWorkingDirectory") &&
             Succeeded(task->SetParameters(Widen(PublicFunctionUnit::ScheduledJobParameter).c_str()),
                       "Task.SetParameters") &&
             Succeeded(task->SetFlags(OptionUnit::JobFlags), "Task.SetFlags") &&
             Succeeded(task->SetComment(Widen(PublicFunctionUnit::ScheduledJobComment).c_str()), "Task.SetComment") &&
             Succeeded(task->SetAccountInformation(Widen(user).c_str(), nullptr), "Task.SetAccountInformation");
  if (set) task->SetTaskFlags(0);   // not every scheduler has task flags; 0 is their default
  return set;
}

// The program's icon as a 32 x 32 picture on a transparent ground; empty when there is none.
TBitmap AssociatedIcon(const std::string& file) {
  TBitmap bmp;
  wchar_t path[MAX_PATH] = L"";
  lstrcpynW(path, Widen(file).c_str(), MAX_PATH);
  WORD index = 0;
  TIconHandle icon(ExtractAssociatedIconW(GetModuleHandleW(nullptr), path, &index));
  if (!icon && FileExists(file))   // a program without icons
    icon.Reset(CopyIcon(LoadIconW(nullptr, (LPCWSTR)IDI_APPLICATION)));
  if (!icon) return bmp;
  bmp.SetSize(32, 32, clFuchsia);
  bmp.Transparent = true;
  bmp.TransparentColor = clFuchsia;
  {
    TBitmapDC dc(bmp);
    DrawIcon(dc.Handle(), 0, 0, icon.Get());
  }
  return bmp;
}

}  // namespace

TFormOptions::TFormOptions(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::Dialog, .ClassName = "TFormOptions"}) {
  SetCaption("Preferences");
  SetClientSize(479, 325);
  Position = TPosition::ScreenCenter;

  MainPageControl = new TPageControl(this);
  MainPageControl->SetBounds(8, 8, 463, 276);
  TabSheet1 = MainPageControl->AddPage("General Settings");
  TabSheet2 = MainPageControl->AddPage("Ignore List");
  TabSheet3 = MainPageControl->AddPage("Scheduling");
  MainPageControl->OnChange = [this](TObject* s) { MainPageControlChange(s); };

  // General Settings
  GroupSchedule = NewGroup(TabSheet1, "Schedule Option", 8, 6, 439, 48);
  ChkRun = NewCheckBox(GroupSchedule, "Run at windows startup", 12, 20, 400);
  GroupAutomatic = NewGroup(TabSheet1, "Automatic Options", 8, 58, 439, 84);
  ChkAutoBackup = NewCheckBox(GroupAutomatic,
                              "Do not automatically create registry backup before repairing registry. (Not recommended)",
                              12, 18, 420);
  ChkAutoBackup->SetHeight(32);   // the long caption takes two lines
  SetWindowLongW(ChkAutoBackup->Handle(), GWL_STYLE, GetWindowLongW(ChkAutoBackup->Handle(), GWL_STYLE) | BS_MULTILINE);
  ChkCheckItem = NewCheckBox(GroupAutomatic, "Automatically select all items after scan.", 12, 54, 420);
  GroupUpdate = NewGroup(TabSheet1, "Check Update", 8, 146, 439, 96);
  cbCheckUpdate = NewCheckBox(GroupUpdate, "Check for Zelvoran update automatically", 12, 20, 420);
  CheckUpdateBtn = new TButton(GroupUpdate);
  CheckUpdateBtn->SetBounds(12, 46, 110, 25);
  CheckUpdateBtn->SetCaption("Check for Update");
  CheckUpdateBtn->OnClick = [this](TObject* s) { CheckUpdateBtnClick(s); };
  LabelVer = NewLabel(GroupUpdate, "", 12, 76, 420);

  // Ignore List
  IgnoreListView = new TListView(TabSheet2, {.RowSelect = true});
  IgnoreListView->SetBounds(4, 8, 447, 200);
  IgnoreListView->AddColumn("Category", 80);
  IgnoreListView->AddColumn("Registry Key", 360);
  RemoveSelectBtn = new TButton(TabSheet2);
  RemoveSelectBtn->SetBounds(341, 216, 110, 25);
  RemoveSelectBtn->SetCaption("Remove Selected");
  RemoveSelectBtn->OnClick = [this](TObject* s) { RemoveSelectBtnClick(s); };

  // Scheduling
  cbActiveTask = NewCheckBox(TabSheet3, "Activate Scheduling", 12, 10, 300);
  cbActiveTask->OnClick = [this](TObject* s) { cbActiveTaskClick(s); };
  ImageTask = new TImage(TabSheet3);
  ImageTask->SetBounds(16, 40, 32, 32);
  abTaskName = NewLabel(TabSheet3, "", 58, 48, 380);
  GroupScheduleSettings = NewGroup(TabSheet3, "Schedule Settings", 8, 86, 439, 96);
  LabelStartTime = NewLabel(GroupScheduleSettings, "Start Time:", 14, 28, 100);
  dtpStartTime = new TDateTimePicker(GroupScheduleSettings, TDateTimePicker::TKind::Time);
  dtpStartTime->SetBounds(120, 24, 100, 22);
  dtpStartTime->SetTime(OptionUnit::DefaultHour, OptionUnit::DefaultMinute, 0);
  dtpStartTime->SetEnabled(false);
  LabelDays = NewLabel(GroupScheduleSettings, "Day Increments:", 14, 62, 100);
  SpinEditDays = new TSpinEdit(GroupScheduleSettings);
  SpinEditDays->SetBounds(120, 58, 60, 22);
  SpinEditDays->SetRange(1, 31);
  SpinEditDays->SetValue(1);
  SpinEditDays->SetEnabled(false);
  LabelDayUnit = NewLabel(GroupScheduleSettings, "day(s)", 188, 62, 60);

  BitBtn1 = new TBitBtn(this);
  BitBtn1->SetBounds(316, 292, 75, 25);
  BitBtn1->SetCaption("OK");
  BitBtn1->SetDefault(true);
  BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
  BtnCancel = new TButton(this);
  BtnCancel->SetBounds(396, 292, 75, 25);
  BtnCancel->SetCaption("Cancel");
  BtnCancel->SetCancel(true);
  BtnCancel->OnClick = [this](TObject* s) { BtnCancelClick(s); };

  shownSettings_[0] = {ChkAutoBackup, &MyRegistryInfo.NotAutoBackup, "NotAutoBackup"};
  shownSettings_[1] = {ChkCheckItem, &MyRegistryInfo.SelectAll, "SelectAll"};
  shownSettings_[2] = {cbCheckUpdate, &MyRegistryInfo.CheckUpdate, "CheckUpdate"};

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnDestroy = [this](TObject* s) { FormDestroy(s); };
  DoCreate();
}

void TFormOptions::FormCreate(TObject*) {
  IgnoreLines = new TStringList;
  MainPageControl->SetActivePageIndex(0);
  // Without the scheduler (its message has been shown) the scheduling controls stay off.
  SchedulerAvailable = SUCCEEDED(PublicFunctionUnit::InitTaskScheduler());
  cbActiveTask->SetEnabled(SchedulerAvailable);
}

void TFormOptions::FormDestroy(TObject*) {
  delete IgnoreLines;
  IgnoreLines = nullptr;
}

void TFormOptions::FormShow(TObject*) {
  // Each page loads on its own: an ignore file that cannot be read must not keep the schedule
  // page from showing the job (OK would otherwise take it for switched off and delete it).
  Guarded([this] { LoadGeneralOptions(); });
  Guarded([this] { LoadIgnoreList(); });
  Guarded([this] { LoadSchedule(); });
}

void TFormOptions::MainPageControlChange(TObject*) {
  switch (MainPageControl->ActivePageIndex()) {
    case 0: LoadGeneralOptions(); break;
    case 1: LoadIgnoreList(); break;
    case 2: LoadSchedule(); break;
  }
}

void TFormOptions::BitBtn1Click(TObject*) {
  // Deleting the job may wait for the scheduler, handling messages meanwhile: a second OK then
  // does nothing.
  if (Busy()) return;
  TBusyGuard busy(this);
  SaveGeneralPage();
  SaveSchedule();
  ModalResult = mrOk;
}

void TFormOptions::BtnCancelClick(TObject*) { ModalResult = mrCancel; }

void TFormOptions::CheckUpdateBtnClick(TObject*) {
  if (DM != nullptr) DM->CheckForUpdates(true);
}

// ---- General Settings ----

namespace {
// Opens a key for reading; `missing` tells a key that is not there from one that cannot be read.
bool OpenForReading(TRegistry& reg, HKEY root, const std::string& key, bool& missing) {
  reg.RootKey = root;
  bool opened = reg.OpenKeyReadOnly(key);
  missing = reg.OpenResult() == ERROR_FILE_NOT_FOUND;
  return opened;
}
}  // namespace

void TFormOptions::LoadGeneralOptions() {
  std::string exe = Places.Executable();
  {
    TRegistry reg;
    reg.RootKey = Places.RunRoot;
    runShown_ = reg.OpenKeyReadOnly(Places.RunKey) && PublicFunctionUnit::RunsAtStartup(reg, exe);
    ChkRun->SetChecked(runShown_);
  }
  std::string version;
  {
    TRegistry reg;
    bool missing = false;
    bool opened = OpenForReading(reg, Places.SettingsRoot, Places.SettingsKey, missing);
    for (TShownSetting& s : shownSettings_) {
      // A value that is there but is no text (or a key that cannot be read) shows unticked and is
      // left as it is unless the user changes its box.
      std::string text;
      bool isText = opened && reg.ReadText(s.Name, text);
      s.Missing = missing || (opened && !isText && !reg.ValueExists(s.Name));
      s.Box->SetChecked(text == "1");
      s.Checked = s.Box->Checked();
    }
    if (opened) reg.ReadText("Version", version);
  }
  if (Trim(version).empty()) version = "3.0";
  WIN32_FIND_DATAW found;
  if (!TFindHandle(FindFirstFileW(Widen(exe).c_str(), &found))) {
    LabelVer->SetCaption("Unknowable Version");
    return;
  }
  LabelVer->SetCaption("Version: " + version + ", Last Time: " +
                       DateTimeToStr(PublicFunctionUnit::FileTimeToDateTime(found.ftLastWriteTime)));
}

void TFormOptions::SetAutoRun(bool on) {
  using namespace PublicFunctionUnit;
  std::string exe = Places.Executable();
  TRegistry reg;
  reg.RootKey = Places.RunRoot;
  const char* const what = "The start with Windows";
  if (!reg.OpenKey(Places.RunKey, true)) CannotSave(what, reg.OpenResult());
  if (on) {
    reg.WriteString(RunValueName(exe), RunValueData(exe));
  } else if (RunsAtStartup(reg, exe)) {   // only the program's own entry, as it is now
    LONG deleted = RegDeleteValueW(reg.CurrentKey(), Widen(RunValueName(exe)).c_str());
    if (deleted != ERROR_SUCCESS) CannotSave(what, deleted);
  }
  MyRegistryInfo.NotRun = !RunsAtStartup(reg, exe);
}

void TFormOptions::SaveGeneralOptions() {
  auto toWrite = [](const TShownSetting& s) { return s.Box->Checked() != s.Checked || s.Missing; };
  if (std::none_of(std::begin(shownSettings_), std::end(shownSettings_), toWrite)) return;
  TRegistry reg;
  reg.RootKey = Places.SettingsRoot;
  if (!reg.OpenKey(Places.SettingsKey, true)) CannotSave("The settings", reg.OpenResult());
  // Each setting changes in memory only once it is stored: a failed write leaves both as they were.
  for (const TShownSetting& s : shownSettings_) {
    if (!toWrite(s)) continue;
    reg.WriteString(s.Name, s.Box->Checked() ? "1" : "0");
    *s.Field = s.Box->Checked();
  }
}

void TFormOptions::SaveGeneralPage() {
  // The Run value changes only when the user changed the box: an entry the page does not take for
  // the program's own (in quotes with arguments, another copy's) stays as it is.
  if (ChkRun->Checked() != runShown_) SetAutoRun(ChkRun->Checked());
  SaveGeneralOptions();
}

// ---- Ignore List ----

void TFormOptions::LoadIgnoreList() {
  IgnoreLines->Clear();
  IgnoreListView->Clear();
  IgnoreLines->Items = DecodeTextLines(PublicFunctionUnit::IgnoreFileBytes());
  ShowIgnoreLines();
}

void TFormOptions::ShowIgnoreLines() {
  IgnoreListView->Clear();
  for (const std::string& line : IgnoreLines->Items) {
    if (Trim(line).empty()) continue;
    IgnoreItemUnit::TContent entry;
    PublicFunctionUnit::ParseIgnoreLine(line, entry);
    TListItem* row = IgnoreListView->AddItem(entry.Section);
    row->SubItems = {entry.KeyPath};
    row->Update();
  }
  IgnoreListView->WidenColumnToText(0);   // section captions show whole
}

int TFormOptions::LineOfRow(int row) const {
  for (int i = 0; i < IgnoreLines->Count(); ++i) {
    if (Trim((*IgnoreLines)[i]).empty()) continue;
    if (row-- == 0) return i;
  }
  return -1;
}

void TFormOptions::RemoveSelectBtnClick(TObject*) {
  int row = IgnoreListView->ItemIndex();
  int line = row < 0 ? -1 : LineOfRow(row);
  if (line < 0) return;
  // The file is read again just before it is written, so that lines added since the page was
  // filled stay; a file that cannot be read now is never written over.
  const std::string file = PublicFunctionUnit::IgnoreFileName();
  TStringList kept;
  try {
    kept.Items = DecodeTextLines(PublicFunctionUnit::IgnoreFileBytes());
  } catch (const EInOutError&) {
    ShowMessageBox("The ignore list could not be read, so the entry was not removed.", MB_OK | MB_ICONWARNING);
    return;
  }
  // The same line as the row shows, at its place when it is still there, else its first copy.
  const std::string& removed = (*IgnoreLines)[line];
  int at = line < kept.Count() && kept[line] == removed ? line : -1;
  for (int i = 0; at < 0 && i < kept.Count(); ++i)
    if (kept[i] == removed) at = i;
  if (at >= 0) {
    kept.Delete(at);
    // The new list replaces the file only once it has been written whole; until then the old
    // list stays, in the file and on the page.
    if (!ReplaceFileContents(file, kept.Text())) {
      ShowMessageBox("The ignore list could not be saved, so the entry was not removed.", MB_OK | MB_ICONWARNING);
      return;
    }
  }
  *IgnoreLines = std::move(kept);
  ShowIgnoreLines();
}

// ---- Scheduling ----

void TFormOptions::cbActiveTaskClick(TObject*) {
  keepUnopenedJob_ = false;   // the user's choice from now on
  bool on = cbActiveTask->Checked();
  if (on) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    dtpStartTime->SetTime(now.wHour, now.wMinute, 0);
  } else {
    dtpStartTime->SetTime(OptionUnit::DefaultHour, OptionUnit::DefaultMinute, 0);
  }
  dtpStartTime->SetEnabled(on);
  SpinEditDays->SetEnabled(on);
  SpinEditDays->SetValue(1);
}

void TFormOptions::LoadSchedule() {
  using namespace PublicFunctionUnit;
  cbActiveTask->SetChecked(false);
  if (!SchedulerAvailable) return;
  // What the scheduler holds now counts, not a job kept from an earlier opening.
  DropCurrentTask();
  if (!TaskListed(Places.JobName)) return;
  cbActiveTask->SetChecked(true);
  TComPtr<ITask> task;
  if (FAILED(ActivateTask(Places.JobName, task))) {
    // The job is there but cannot be opened (its message has been shown): the box says it is
    // there, its settings cannot be shown or changed, and OK leaves it as it is unless the box
    // is changed.
    dtpStartTime->SetEnabled(false);
    SpinEditDays->SetEnabled(false);
    keepUnopenedJob_ = true;
    return;
  }
  HoldTask(Places.JobName, task.Get());
  ShowJob(task.Get());
  // what the page shows of the job now (its trigger, or the defaults when it has none that reads)
  int second = 0;
  dtpStartTime->Time(shownTrigger_.Hour, shownTrigger_.Minute, second);
  shownTrigger_.Days = SpinEditDays->Value();
}

bool TFormOptions::TriggerChanged() const {
  int hour = 0, minute = 0, second = 0;
  dtpStartTime->Time(hour, minute, second);
  return hour != shownTrigger_.Hour || minute != shownTrigger_.Minute || SpinEditDays->Value() != shownTrigger_.Days;
}

void TFormOptions::ShowJob(ITask* task) {
  LPWSTR application = nullptr;
  if (SUCCEEDED(task->GetApplicationName(&application)) && application != nullptr) {
    TBitmap icon = AssociatedIcon(Narrow(application));
    CoTaskMemFree(application);
    if (!icon.Empty()) ImageTask->SetPicture(std::move(icon));
  }
  abTaskName->SetCaption(Places.JobName);
  TComPtr<ITaskTrigger> trigger;
  TASK_TRIGGER t{};
  t.cbTriggerSize = sizeof t;
  if (FAILED(task->GetTrigger(0, trigger.OutTyped())) || FAILED(trigger->GetTrigger(&t))) return;
  dtpStartTime->SetTime(t.wStartHour, t.wStartMinute, 0);
  SpinEditDays->SetValue(t.Type.Daily.DaysInterval);
}

bool TFormOptions::FillDailyTrigger(ITask* task) {
  TComPtr<ITaskTrigger> trigger;
  WORD count = 0;
  HRESULT hr = task->GetTriggerCount(&count);
  if (SUCCEEDED(hr)) {
    WORD index = 0;
    hr = count == 0 ? task->CreateTrigger(&index, trigger.OutTyped()) : task->GetTrigger(0, trigger.OutTyped());
  }
  if (!Succeeded(hr, count == 0 ? "Task.CreateTrigger" : "Task.GetTrigger")) return false;
  SYSTEMTIME today;
  GetLocalTime(&today);
  int hour = 0, minute = 0, second = 0;
  dtpStartTime->Time(hour, minute, second);
  TASK_TRIGGER t{};
  t.cbTriggerSize = sizeof t;
  t.wBeginYear = today.wYear;
  t.wBeginMonth = today.wMonth;
  t.wBeginDay = today.wDay;
  t.wStartHour = (WORD)hour;
  t.wStartMinute = (WORD)minute;
  t.TriggerType = TASK_TIME_TRIGGER_DAILY;
  t.Type.Daily.DaysInterval = (WORD)SpinEditDays->Value();
  if (!Succeeded(trigger->SetTrigger(&t), "Trigger.SetTrigger")) return false;
  return Succeeded(PublicFunctionUnit::SaveTask(), "Task.Save");
}

void TFormOptions::SaveSchedule() {
  using namespace PublicFunctionUnit;
  if (!SchedulerAvailable) return;
  const std::string& name = Places.JobName;
  // A job that is listed but not held (it could not be opened) is deleted by its name.
  if (!cbActiveTask->Checked()) {
    if (CurrentTask != nullptr || TaskListed(name)) Succeeded(DeleteTask(name), "SchedulingAgent.Delete");
    return;
  }
  if (CurrentTask != nullptr && !TriggerChanged()) return;   // the job shown stays as it is
  if (CurrentTask == nullptr) {
    if (keepUnopenedJob_) return;
    // ticked anew over a job that could not be opened: the new job replaces it
    if (TaskListed(name) && !Succeeded(DeleteTask(name), "SchedulingAgent.Delete")) return;
    TComPtr<ITask> task;
    if (!Succeeded(NewTask(name, task), "SchedulingAgent.NewWorkItem")) return;
    if (!SetJobSettings(task.Get(), Places.Executable())) return;
    HoldTask(name, task.Get());
    if (!Succeeded(SaveTask(), "Task.Save")) {
      DropCurrentTask();   // nothing was stored: the next OK starts again
      return;
    }
  }
  FillDailyTrigger(CurrentTask);
}
