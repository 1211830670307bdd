// The "Preferences" dialog in-process, opened as the main window opens it: the settings values
// and the Run value, the ignore-list editor, and the scheduled scan job under the real Task
// Scheduler. Settings, Run value, ignore file and job are each test's own.
#include <gtest/gtest.h>
#include <mstask.h>
#include <objbase.h>

#include "app/MainUnit.h"
#include "app/OptionUnit.h"
#include "framework/Application.h"
#include "framework/ComPtr.h"
#include "framework/Exceptions.h"
#include "framework/Registry.h"
#include "scan/PublicFunctionUnit.h"
#include "support/HeldFile.h"
#include "support/TestSupport.h"

using namespace PublicFunctionUnit;
using OptionUnit::Places;
using testing_support::MessageBoxes;
using testing_support::MessageTexts;
using testing_support::RegSandbox;
using testing_support::TempFolder;
using testing_support::THeldFile;

namespace {

struct OptionsFixture : ::testing::Test {
  testing_support::TKeep<OptionUnit::TOptionPlaces> places{Places};
  testing_support::TKeep<TMyRegistryInfo> info{MyRegistryInfo};
  RegSandbox settings{HKEY_CURRENT_USER, "Software\\ZelvoranTest", "Settings"};
  RegSandbox run{HKEY_CURRENT_USER, "Software\\ZelvoranTest", "Run"};
  TempFolder folder;
  std::string exe = ExeName();
  std::string runName = ExtractFileName(ExeName());
  std::string job;   // the scheduled job's file name

  OptionsFixture() {
    MessageBoxes().Clear();
    Places = OptionUnit::DefaultPlaces();
    Places.SettingsRoot = settings.Root();
    Places.SettingsKey = "\\" + settings.Path();
    Places.RunRoot = run.Root();
    Places.RunKey = "\\" + run.Path();
    job = Places.JobName = "ZelvoranTest_" + testing_support::TestName() + ".job";
    SetIgnoreFileName(IgnoreFile());
  }
  ~OptionsFixture() override {
    if (TaskScheduler != nullptr) DeleteTask(Places.JobName);
    ReleaseTaskScheduler();
    SetIgnoreFileName("");
  }

  std::string IgnoreFile() const { return folder.Path() + "ZelvoranIgnores.dat"; }

  // Opens the dialog through the main window's hook and lets `use` work it while it is shown.
  void Open(const std::function<void(TFormOptions&)>& use) {
    TModalHookScope hook([&](TForm& form) { use(dynamic_cast<TFormOptions&>(form)); });
    MainUnit::ShowOptions();
  }

  std::string Setting(const std::string& name) const { return settings.Read("", name); }
  std::string RunValue() const { return run.Read("", runName); }
};

struct TJob {
  bool Found = false;
  std::string Application, WorkingDirectory, Parameters, Comment;
  DWORD Flags = 0;
  TASK_TRIGGER Trigger{};
};

// One of the job's texts, read with the given getter.
template <class Getter>
std::string Text(ITask* task, Getter getter) {
  LPWSTR text = nullptr;
  if (FAILED((task->*getter)(&text)) || text == nullptr) return "<failed>";
  std::string s = Narrow(text);
  CoTaskMemFree(text);
  return s;
}

// The job as the scheduler reads it back from its file.
TJob ReadJob(const std::string& name) {
  TJob job;
  TComPtr<ITask> task;
  if (FAILED(ActivateTask(name, task))) return job;
  job.Found = true;
  job.Application = Text(task.Get(), &ITask::GetApplicationName);
  job.WorkingDirectory = Text(task.Get(), &ITask::GetWorkingDirectory);
  job.Parameters = Text(task.Get(), &ITask::GetParameters);
  job.Comment = Text(task.Get(), &ITask::GetComment);
  task->GetFlags(&job.Flags);
  TComPtr<ITaskTrigger> trigger;
  job.Trigger.cbTriggerSize = sizeof job.Trigger;
  if (SUCCEEDED(task->GetTrigger(0, trigger.OutTyped()))) trigger->GetTrigger(&job.Trigger);
  return job;
}

// The job runs "-Scan" daily every `days` days at the given time.
void ExpectJob(const TJob& job, int hour, int minute, int days) {
  ASSERT_TRUE(job.Found);
  EXPECT_EQ(job.Parameters + "|" + job.Comment, "-Scan|Runs Zelvoran at Scheduled Time.");
  const TASK_TRIGGER& t = job.Trigger;
  EXPECT_EQ(Format("kind %d at %d:%d every %d days", t.TriggerType, t.wStartHour, t.wStartMinute, t.Type.Daily.DaysInterval),
            Format("kind %d at %d:%d every %d days", TASK_TIME_TRIGGER_DAILY, hour, minute, days));
}

std::string JobFile(const std::string& name) { return GetWindowsDir() + "\\Tasks\\" + name; }

void SetStartTime(TFormOptions& f, int hour, int minute, int days) {
  f.dtpStartTime->SetTime(hour, minute, 0);
  f.SpinEditDays->SetValue(days);
}

// The general page's boxes, "1" for ticked: Run, automatic backup off, select all, update check.
std::string Ticks(TFormOptions& f) {
  std::string t;
  for (TCheckBox* box : {f.ChkRun, f.ChkAutoBackup, f.ChkCheckItem, f.cbCheckUpdate}) t += box->Checked() ? "1" : "0";
  return t;
}

std::string StartTime(TFormOptions& f) {
  int h = 0, m = 0, s = 0;
  f.dtpStartTime->Time(h, m, s);
  return Format("%02d:%02d:%02d", h, m, s);
}

}  // namespace

TEST_F(OptionsFixture, GeneralSettingsRoundTripThroughTheRegistryValuesAndTheRunValueMustNameThisExe) {
  for (auto [name, value] : {std::pair{"NotAutoBackup", "1"}, {"SelectAll", "0"}, {"CheckUpdate", "1"}, {"Version", "  "}})
    settings.SetString("", name, value);
  run.SetString("", runName, exe);
  MyRegistryInfo.NotAutoBackup = true;
  MyRegistryInfo.SelectAll = false;
  MyRegistryInfo.CheckUpdate = true;

  Open([&](TFormOptions& f) {
    EXPECT_EQ(f.Caption(), "Preferences");
    EXPECT_EQ(f.MainPageControl->ActivePageIndex(), 0);
    EXPECT_EQ(Ticks(f), "1101");
    EXPECT_EQ(f.LabelVer->Caption().rfind("Version: 3.0, Last Time: ", 0), 0u) << f.LabelVer->Caption();
    f.ChkRun->SetChecked(false);
    f.ChkAutoBackup->SetChecked(false);
    f.ChkCheckItem->SetChecked(true);
    f.cbCheckUpdate->SetChecked(false);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(Setting("NotAutoBackup") + Setting("SelectAll") + Setting("CheckUpdate"), "010");
  EXPECT_EQ(Setting("Version"), "  ") << "the version is only read";
  EXPECT_TRUE(!MyRegistryInfo.NotAutoBackup && MyRegistryInfo.SelectAll && !MyRegistryInfo.CheckUpdate);
  EXPECT_EQ(RunValue(), "<none>") << "unticking removes the Run value";

  // ticked again: the Run value is written with the executable's path in quotes; Cancel saves nothing
  Open([&](TFormOptions& f) {
    EXPECT_EQ(Ticks(f), "0010");
    f.ChkRun->SetChecked(true);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(RunValue(), "\"" + exe + "\"");
  Open([&](TFormOptions& f) {
    EXPECT_EQ(Ticks(f), "1010");
    f.ChkRun->SetChecked(false);
    f.ChkCheckItem->SetChecked(false);
    f.BtnCancel->Click();
  });
  EXPECT_EQ(RunValue() + Setting("SelectAll"), "\"" + exe + "\"1");

  // the Run value counts only when it names this executable exactly
  for (const std::string& data : {std::string("C:\\Other copy\\") + runName, AnsiLowerCase(exe), exe + " "}) {
    run.SetString("", runName, data);
    Open([&](TFormOptions& f) { EXPECT_FALSE(f.ChkRun->Checked()) << data; });
  }
  run.SetDword("", runName, 1);
  Open([&](TFormOptions& f) { EXPECT_FALSE(f.ChkRun->Checked()) << "a value of another kind"; });
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(OptionsFixture, VersionTextAndMissingKeys) {
  settings.SetString("", "Version", "3.1");
  Open([&](TFormOptions& f) { EXPECT_EQ(f.LabelVer->Caption().rfind("Version: 3.1, Last Time: ", 0), 0u); });

  Places.ExeName = folder.Path() + "Gone.exe";
  Open([&](TFormOptions& f) { EXPECT_EQ(f.LabelVer->Caption(), "Unknowable Version"); });

  // a settings key and a Run key that do not exist yet are created by OK
  Places.ExeName.clear();
  Places.SettingsKey += "\\New";
  Places.RunKey += "\\New";
  Open([&](TFormOptions& f) {
    EXPECT_FALSE(f.ChkRun->Checked());
    f.ChkRun->SetChecked(true);
    f.ChkAutoBackup->SetChecked(true);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(settings.Read("New", "NotAutoBackup"), "1");
  EXPECT_EQ(settings.Read("New", "SelectAll"), "0");
  EXPECT_EQ(run.Read("New", runName), "\"" + exe + "\"");
}

TEST_F(OptionsFixture, ASettingThatCannotBeStoredIsNotChangedInMemoryEither) {
  MyRegistryInfo.NotAutoBackup = false;
  // the performance data key opens but takes no values: every write of a setting fails
  Places.SettingsRoot = HKEY_PERFORMANCE_DATA;
  Places.SettingsKey = "";
  Open([&](TFormOptions& f) {
    f.ChkAutoBackup->SetChecked(true);
    Guarded([&] { f.BitBtn1->Click(); });   // as the button's window procedure runs it
    EXPECT_EQ(f.ModalResult, mrNone) << "the dialog stays open";
  });
  EXPECT_FALSE(MyRegistryInfo.NotAutoBackup);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Failed to set data for 'NotAutoBackup'"});
}

// A program that runs without the rights to its keys (no elevation) cannot store its settings:
// OK says so with the system's reason, the dialog stays open and nothing changes, in the
// registry or in memory.
TEST_F(OptionsFixture, SettingsAndTheRunValueInKeysWithoutTheRightsToWriteAreReported) {
  const std::string denied = SystemErrorText(ERROR_ACCESS_DENIED);
  settings.SetString("", "NotAutoBackup", "0");
  settings.SetString("", "SelectAll", "1");
  settings.SetString("", "CheckUpdate", "1");
  struct TCase {
    const char* What;
    bool SettingsLocked, RunLocked, RunBefore;
    std::function<void(TFormOptions&)> Change;
    std::string Message;
  };
  const TCase cases[] = {
      {"a setting", true, false, false, [](TFormOptions& f) { f.ChkAutoBackup->SetChecked(true); },
       "The settings could not be saved.\r\rReason: " + denied},
      {"start with Windows on", false, true, false, [](TFormOptions& f) { f.ChkRun->SetChecked(true); },
       "The start with Windows could not be saved.\r\rReason: " + denied},
      {"start with Windows off", false, true, true, [](TFormOptions& f) { f.ChkRun->SetChecked(false); },
       "The start with Windows could not be saved.\r\rReason: " + denied},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    MessageBoxes().Clear();
    MyRegistryInfo.NotAutoBackup = false;
    if (c.RunBefore) run.SetString("", runName, "\"" + exe + "\"");
    else RegDeleteKeyValueW(run.Root(), Widen(run.Path()).c_str(), Widen(runName).c_str());
    const std::string runBefore = RunValue();
    {
      std::unique_ptr<testing_support::TKeyPermissions> settingsLock, runLock;
      if (c.SettingsLocked) settingsLock.reset(new testing_support::TKeyPermissions(settings.Root(), settings.Path(), L"D:(A;;KR;;;WD)"));
      if (c.RunLocked) runLock.reset(new testing_support::TKeyPermissions(run.Root(), run.Path(), L"D:(A;;KR;;;WD)"));
      Open([&](TFormOptions& f) {
        c.Change(f);
        Guarded([&] { f.BitBtn1->Click(); });   // as the button's window procedure runs it
        EXPECT_EQ(f.ModalResult, mrNone) << "the dialog stays open";
      });
    }
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.Message});
    EXPECT_FALSE(MyRegistryInfo.NotAutoBackup);
    EXPECT_EQ(Setting("NotAutoBackup"), "0");
    EXPECT_EQ(RunValue(), runBefore);
  }
}

TEST_F(OptionsFixture, ChangingPagesReloadsThePageShownAndDropsItsUnsavedTicks) {
  settings.SetString("", "SelectAll", "1");
  Open([&](TFormOptions& f) {
    f.ChkCheckItem->SetChecked(false);
    f.ChkRun->SetChecked(true);
    f.MainPageControl->SetActivePageIndex(1);
    f.MainPageControlChange(f.MainPageControl);
    f.MainPageControl->SetActivePageIndex(0);
    f.MainPageControlChange(f.MainPageControl);
    EXPECT_EQ(Ticks(f), "0010");
    f.BitBtn1->Click();
  });
  EXPECT_EQ(Setting("SelectAll") + RunValue(), "1<none>");
}

TEST_F(OptionsFixture, StartWithWindowsWritesThePathInQuotesAndTakesTheOldBareFormForItsOwn) {
  // a program in a folder with a blank: bare, the system would run "...\My.exe" at every logon
  Places.ExeName = folder.Path() + "My Tools\\Zelvoran.exe";
  runName = "Zelvoran.exe";
  const std::string quoted = "\"" + Places.ExeName + "\"";
  Open([&](TFormOptions& f) {
    EXPECT_FALSE(f.ChkRun->Checked());
    f.ChkRun->SetChecked(true);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(RunValue(), quoted);
  EXPECT_FALSE(MyRegistryInfo.NotRun);

  // both forms are the program's own: shown ticked, and unticking removes either
  for (const std::string& data : {quoted, Places.ExeName}) {
    run.SetString("", runName, data);
    Open([&](TFormOptions& f) {
      EXPECT_TRUE(f.ChkRun->Checked()) << data;
      f.ChkRun->SetChecked(false);
      f.BitBtn1->Click();
    });
    EXPECT_EQ(RunValue(), "<none>") << data;
    EXPECT_TRUE(MyRegistryInfo.NotRun);
  }
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(OptionsFixture, OkChangesTheRunValueOnlyWhenTheBoxWasChanged) {
  const std::string other = "C:\\Other copy\\" + runName;
  // entries the page does not take for the program's own, and the old bare form of its own
  for (const std::string& data : {"\"" + exe + "\" -tray", exe + " /min", other, "\"" + other + "\"",
                                  AnsiLowerCase(exe), exe}) {
    run.SetString("", runName, data);
    Open([&](TFormOptions& f) {
      EXPECT_EQ(f.ChkRun->Checked(), data == exe) << data;
      f.ChkAutoBackup->SetChecked(!f.ChkAutoBackup->Checked());   // some other change
      f.BitBtn1->Click();
    });
    EXPECT_EQ(RunValue(), data) << "left as it was";
  }
  run.SetString("", runName, "%SystemRoot%\\Other.exe", REG_EXPAND_SZ);
  Open([&](TFormOptions& f) { f.BitBtn1->Click(); });
  EXPECT_EQ(RunValue(), "%SystemRoot%\\Other.exe");
  run.SetDword("", runName, 1);
  Open([&](TFormOptions& f) {
    EXPECT_FALSE(f.ChkRun->Checked());
    f.BitBtn1->Click();
  });
  EXPECT_TRUE(run.ValueExists("", runName)) << "a value of another kind stays";

  // ticking over another copy's entry makes this copy start with Windows
  run.SetString("", runName, other);
  Open([&](TFormOptions& f) {
    f.ChkRun->SetChecked(true);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(RunValue(), "\"" + exe + "\"");

  // unticked while another copy took the entry over: that copy's entry stays
  Open([&](TFormOptions& f) {
    ASSERT_TRUE(f.ChkRun->Checked());
    run.SetString("", runName, other);
    f.ChkRun->SetChecked(false);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(RunValue(), other);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(OptionsFixture, SettingsThatDoNotReadAsTextStayAsTheyAreUnlessTheirBoxChanges) {
  settings.SetDword("", "SelectAll", 1);
  settings.SetRaw("", "CheckUpdate", REG_BINARY, {'1', 0});
  settings.SetString("", "NotAutoBackup", "yes");
  auto kind = [&](const char* name) {
    TRegistry reg(KEY_READ);
    reg.RootKey = settings.Root();
    TRegValue value;
    return reg.OpenKey("\\" + settings.Path(), false) && reg.ReadValue(name, value) ? (int)value.Type : -1;
  };
  Open([&](TFormOptions& f) {
    EXPECT_EQ(Ticks(f), "0000");
    f.ChkRun->SetChecked(true);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(kind("SelectAll"), REG_DWORD);
  EXPECT_EQ(kind("CheckUpdate"), REG_BINARY);
  EXPECT_EQ(Setting("NotAutoBackup"), "yes");

  // a box the user changes is stored as usual
  MyRegistryInfo.SelectAll = false;
  Open([&](TFormOptions& f) {
    f.ChkCheckItem->SetChecked(true);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(Setting("SelectAll"), "1");
  EXPECT_TRUE(MyRegistryInfo.SelectAll);
  EXPECT_EQ(kind("CheckUpdate"), REG_BINARY);
}

TEST_F(OptionsFixture, RemovingAnIgnoreLineKeepsTheOthers) {
  WriteFileBytes(IgnoreFile(),
                 "\r\n"
                 "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial\r\n"
                 "Sounds Section|HKEY_CURRENT_USER\\AppEvents|\r\n"
                 "   \r\n"
                 "no bar here\r\n"
                 "Help Section|HKEY_LOCAL_MACHINE\\Help|x.hlp\r\n");
  Open([&](TFormOptions& f) {
    ASSERT_EQ(f.IgnoreListView->Count(), 4);
    EXPECT_EQ(f.IgnoreListView->Item(0)->Text(0) + "|" + f.IgnoreListView->Item(0)->Text(1),
              "Font Entries|HKEY_LOCAL_MACHINE\\Fonts");
    EXPECT_EQ(f.IgnoreListView->Item(2)->Text(0) + "|" + f.IgnoreListView->Item(2)->Text(1), "|");
    EXPECT_EQ(f.IgnoreListView->ColumnCaption(0) + "|" + f.IgnoreListView->ColumnCaption(1), "Category|Registry Key");

    f.RemoveSelectBtn->Click();   // nothing selected: nothing happens
    EXPECT_EQ(f.IgnoreListView->Count(), 4);

    f.IgnoreListView->SetItemIndex(0);   // the first row stands for the first non-blank line
    f.RemoveSelectBtn->Click();
    ASSERT_EQ(f.IgnoreListView->Count(), 3);
    EXPECT_EQ(f.IgnoreListView->Item(0)->Text(0), "Sounds Section");
    f.IgnoreListView->SetItemIndex(2);
    f.RemoveSelectBtn->Click();
    f.BtnCancel->Click();   // removals stay
  });
  EXPECT_EQ(ReadFileBytes(IgnoreFile()),
            "\r\n"
            "Sounds Section|HKEY_CURRENT_USER\\AppEvents|\r\n"
            "   \r\n"
            "no bar here\r\n");
  EXPECT_FALSE(FileExists(IgnoreFile() + ".tmp"));
  EXPECT_TRUE(MessageBoxes().Calls.empty());

  DeleteFileW(Widen(IgnoreFile()).c_str());
  Open([&](TFormOptions& f) { EXPECT_EQ(f.IgnoreListView->Count(), 0); });
}

TEST_F(OptionsFixture, AnIgnoreFileThatCannotBeReplacedKeepsEveryLine) {
  const std::string content = "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial\r\nHelp Section|HKEY_LOCAL_MACHINE\\Help|x.hlp\r\n";
  WriteFileBytes(IgnoreFile(), content);
  Open([&](TFormOptions& f) {
    // another program holds the file open and lets nobody replace it
    THeldFile held(IgnoreFile(), FILE_SHARE_READ);
    ASSERT_TRUE(held.Held());
    f.IgnoreListView->SetItemIndex(0);
    f.RemoveSelectBtn->Click();
    held.Release();
    EXPECT_EQ(f.IgnoreListView->Count(), 2) << "the page still shows what the file holds";
    ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
    EXPECT_EQ(MessageBoxes().Calls[0].caption, "Zelvoran");

    // once the file is free again the same removal goes through
    f.IgnoreListView->SetItemIndex(0);
    f.RemoveSelectBtn->Click();
    EXPECT_EQ(ReadFileBytes(IgnoreFile()), "Help Section|HKEY_LOCAL_MACHINE\\Help|x.hlp\r\n");
  });
  EXPECT_FALSE(FileExists(IgnoreFile() + ".tmp"));
}

TEST_F(OptionsFixture, AnIgnoreFileOfOldAndNewLinesIsShownAndRewrittenAsEachLineWasWritten) {
  // an 8-bit line of an older version, then lines appended in UTF-8
  WriteFileBytes(IgnoreFile(), "Font Entries|HKEY_LOCAL_MACHINE\\Caf\xE9|Arial\r\n"
                               "Help Section|HKEY_LOCAL_MACHINE\\Help|x.hlp\r\n"
                               "Sounds Section|HKEY_CURRENT_USER\\Ключ|имя\r\n");
  wchar_t ansi = 0;
  MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, &ansi, 1);
  const std::string cafe = "Caf" + Narrow(std::wstring(1, ansi));
  Open([&](TFormOptions& f) {
    ASSERT_EQ(f.IgnoreListView->Count(), 3);
    EXPECT_EQ(f.IgnoreListView->Item(0)->Text(1), "HKEY_LOCAL_MACHINE\\" + cafe);
    EXPECT_EQ(f.IgnoreListView->Item(2)->Text(1), "HKEY_CURRENT_USER\\Ключ");
    f.IgnoreListView->SetItemIndex(1);
    f.RemoveSelectBtn->Click();
  });
  EXPECT_EQ(ReadFileBytes(IgnoreFile()), "Font Entries|HKEY_LOCAL_MACHINE\\" + cafe + "|Arial\r\n"
                                         "Sounds Section|HKEY_CURRENT_USER\\Ключ|имя\r\n");
}

// The page reads the file again just before it writes it: a line added meanwhile stays, and a
// file that cannot be read then is never written over. Escaped lines show their own key.
TEST_F(OptionsFixture, RemovingAnIgnoreLineKeepsLinesAddedMeanwhileAndNeverWritesOverAnUnreadableFile) {
  const std::string escaped = IgnoreLine("Font Entries", "HKEY_CURRENT_USER\\k|1", "default");
  WriteFileBytes(IgnoreFile(), "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial\r\n" + escaped);
  const std::string added = "Help Section|HKEY_LOCAL_MACHINE\\Help|x.hlp\r\n";
  Open([&](TFormOptions& f) {
    ASSERT_EQ(f.IgnoreListView->Count(), 2);
    EXPECT_EQ(f.IgnoreListView->Item(1)->Text(0) + "|" + f.IgnoreListView->Item(1)->Text(1),
              "Font Entries|HKEY_CURRENT_USER\\k|1");

    // another program holds the file, letting nobody read it
    THeldFile held(IgnoreFile());
    ASSERT_TRUE(held.Held());
    f.IgnoreListView->SetItemIndex(0);
    f.RemoveSelectBtn->Click();
    held.Release();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"The ignore list could not be read, so the entry was not removed."});
    EXPECT_EQ(f.IgnoreListView->Count(), 2);

    // an exclusion appended since the page was filled
    AppendFileBytes(IgnoreFile(), added);
    f.IgnoreListView->SetItemIndex(0);
    f.RemoveSelectBtn->Click();
    ASSERT_EQ(f.IgnoreListView->Count(), 2) << "the page shows what the file holds now";
    EXPECT_EQ(f.IgnoreListView->Item(1)->Text(0), "Help Section");
  });
  EXPECT_EQ(ReadFileBytes(IgnoreFile()), escaped + added);
}

TEST_F(OptionsFixture, ScheduleCreatesChangesAndDeletesTheJob) {
  SYSTEMTIME before, after;   // the job begins on the day it is saved, whichever side of midnight
  GetLocalTime(&before);
  Open([&](TFormOptions& f) {
    EXPECT_TRUE(f.cbActiveTask->Enabled() && !f.cbActiveTask->Checked());
    EXPECT_FALSE(f.dtpStartTime->Enabled() || f.SpinEditDays->Enabled());
    EXPECT_EQ(StartTime(f), "09:30:00");
    f.cbActiveTask->SetChecked(true);
    EXPECT_TRUE(f.dtpStartTime->Enabled() && f.SpinEditDays->Enabled());
    EXPECT_EQ(f.SpinEditDays->Value(), 1);
    SetStartTime(f, 21, 5, 3);
    f.BitBtn1->Click();
  });
  TJob read = ReadJob(job);
  ExpectJob(read, 21, 5, 3);
  EXPECT_TRUE(SameText(read.Application, exe)) << read.Application;
  EXPECT_TRUE(SameText(IncludeTrailingBackslash(read.WorkingDirectory), ExeDir())) << read.WorkingDirectory;
  EXPECT_EQ(read.Flags & OptionUnit::JobFlags, OptionUnit::JobFlags);
  GetLocalTime(&after);
  auto sameDay = [&](const SYSTEMTIME& day) {
    return read.Trigger.wBeginYear == day.wYear && read.Trigger.wBeginMonth == day.wMonth &&
           read.Trigger.wBeginDay == day.wDay;
  };
  EXPECT_TRUE(sameDay(before) || sameDay(after));

  // opened again: the job is shown and only its trigger changes
  Open([&](TFormOptions& f) {
    EXPECT_TRUE(f.cbActiveTask->Checked());
    EXPECT_EQ(StartTime(f), "21:05:00");
    EXPECT_EQ(f.SpinEditDays->Value(), 3);
    EXPECT_EQ(f.abTaskName->Caption(), job);
    EXPECT_FALSE(f.ImageTask->Picture().Empty()) << "the program's icon";
    SetStartTime(f, 6, 30, 31);
    f.BitBtn1->Click();
  });
  ExpectJob(ReadJob(job), 6, 30, 31);

  // unticked: the picker and the days go back and OK deletes the job
  Open([&](TFormOptions& f) {
    f.cbActiveTask->SetChecked(false);
    EXPECT_EQ(StartTime(f), "09:30:00");
    EXPECT_EQ(f.SpinEditDays->Value(), 1);
    EXPECT_FALSE(f.dtpStartTime->Enabled() || f.SpinEditDays->Enabled());
    f.BitBtn1->Click();
  });
  EXPECT_FALSE(FileExists(JobFile(job)) || TaskListed(job));
  EXPECT_EQ(CurrentTask, nullptr) << "the deleted job is not held on";
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(OptionsFixture, OkLeavesTheJobAsItIsUnlessItsTimeOrDaysChange) {
  // a job every 7 days at 20:15 from a Monday long ago
  InitTaskScheduler();
  {
    TComPtr<ITask> task;
    ASSERT_EQ(NewTask(job, task), S_OK);
    TComPtr<ITaskTrigger> trigger;
    WORD index = 0;
    ASSERT_EQ(task->CreateTrigger(&index, trigger.OutTyped()), S_OK);
    TASK_TRIGGER t{};
    t.cbTriggerSize = sizeof t;
    t.wBeginYear = 2020, t.wBeginMonth = 1, t.wBeginDay = 6, t.wStartHour = 20, t.wStartMinute = 15;
    t.TriggerType = TASK_TIME_TRIGGER_DAILY;
    t.Type.Daily.DaysInterval = 7;
    ASSERT_EQ(trigger->SetTrigger(&t), S_OK);
    TComPtr<IPersistFile> file;
    ASSERT_EQ(task->QueryInterface(IID_IPersistFile, file.Out()), S_OK);
    ASSERT_EQ(file->Save(nullptr, TRUE), S_OK);
  }
  auto trigger = [&] {
    const TASK_TRIGGER& t = ReadJob(job).Trigger;
    return Format("from %04d-%02d-%02d at %02d:%02d every %d days", t.wBeginYear, t.wBeginMonth, t.wBeginDay,
                  t.wStartHour, t.wStartMinute, t.Type.Daily.DaysInterval);
  };
  // OK for another change: the days keep falling on Mondays
  Open([&](TFormOptions& f) {
    EXPECT_EQ(StartTime(f) + Format(" %d", f.SpinEditDays->Value()), "20:15:00 7");
    f.ChkAutoBackup->SetChecked(!f.ChkAutoBackup->Checked());
    f.BitBtn1->Click();
  });
  EXPECT_EQ(trigger(), "from 2020-01-06 at 20:15 every 7 days");

  // a changed time is stored, from today as before
  Open([&](TFormOptions& f) {
    SetStartTime(f, 20, 45, 7);
    f.BitBtn1->Click();
  });
  std::string changed = trigger();
  EXPECT_EQ(changed.substr(changed.find(" at ")), " at 20:45 every 7 days");
  EXPECT_EQ(changed.find("from 2020-01-06"), std::string::npos);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(OptionsFixture, AJobDeletedBehindTheProgramsBackIsCreatedAnewWithAllItsSettings) {
  Open([&](TFormOptions& f) {
    f.cbActiveTask->SetChecked(true);
    SetStartTime(f, 7, 15, 2);
    f.BitBtn1->Click();
  });
  ASSERT_NE(CurrentTask, nullptr);
  // someone removes the job with the scheduler; the program still holds its old object
  ASSERT_EQ(TaskScheduler->Delete(Widen(job.substr(0, job.size() - 4)).c_str()), S_OK);
  ASSERT_NE(CurrentTask, nullptr);

  Open([&](TFormOptions& f) {
    EXPECT_FALSE(f.cbActiveTask->Checked());
    EXPECT_EQ(CurrentTask, nullptr) << "opening forgets a job held from before";
    f.cbActiveTask->SetChecked(true);
    SetStartTime(f, 8, 45, 5);
    f.BitBtn1->Click();
  });
  ExpectJob(ReadJob(job), 8, 45, 5);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(OptionsFixture, AJobThatCannotBeOpenedIsLeftAsItIsUntilTheBoxChanges) {
  WriteFileBytes(JobFile(job), "damaged");
  Open([&](TFormOptions& f) {
    EXPECT_TRUE(f.cbActiveTask->Checked());
    EXPECT_FALSE(f.dtpStartTime->Enabled() || f.SpinEditDays->Enabled());
    f.BitBtn1->Click();
  });
  EXPECT_EQ(ReadFileBytes(JobFile(job)), "damaged");

  // ticked anew: a new job replaces it
  Open([&](TFormOptions& f) {
    f.cbActiveTask->SetChecked(false);
    f.cbActiveTask->SetChecked(true);
    SetStartTime(f, 7, 40, 2);
    f.BitBtn1->Click();
  });
  ExpectJob(ReadJob(job), 7, 40, 2);

  // unticked: deleted, though it could not be opened
  WriteFileBytes(JobFile(job), "damaged");
  Open([&](TFormOptions& f) {
    f.cbActiveTask->SetChecked(false);
    f.BitBtn1->Click();
  });
  EXPECT_FALSE(TaskListed(job));
  ASSERT_EQ(MessageBoxes().Calls.size(), 3u) << "one activation message per opening, nothing else";
  for (const auto& call : MessageBoxes().Calls)
    EXPECT_EQ(call.text.rfind("Error in SchedulingAgent.Activate.Error Code :", 0), 0u) << call.text;
}

TEST_F(OptionsFixture, ASecondOkWhileTheJobIsBeingDeletedDoesNothing) {
  Open([&](TFormOptions& f) {
    f.cbActiveTask->SetChecked(true);
    f.BitBtn1->Click();
  });
  Open([&](TFormOptions& f) {
    f.cbActiveTask->SetChecked(false);
    // the scheduler's service reads the job file, so the deletion waits and handles messages;
    // meanwhile OK is pressed again, and the file is let go
    THeldFile held(JobFile(job));
    ASSERT_TRUE(held.Held());
    int clicks = 0;
    TNotifyEvent ok = f.BitBtn1->OnClick;
    f.BitBtn1->OnClick = [&](TObject* sender) {
      if (++clicks == 2) held.Release();
      ok(sender);
    };
    HWND button = f.BitBtn1->Handle();
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), (LPARAM)button);
    f.BitBtn1->Click();
    EXPECT_EQ(clicks, 2);
  });
  EXPECT_FALSE(TaskListed(job));
  EXPECT_TRUE(MessageBoxes().Calls.empty()) << MessageBoxes().Calls[0].text;
}

TEST_F(OptionsFixture, AJobThatCannotBeCreatedIsReportedAndNothingIsHeld) {
  // the scheduler refuses this name (it takes no "." before ".job")
  Places.JobName = "ZelvoranTest.Dotted.job";
  Open([&](TFormOptions& f) {
    f.cbActiveTask->SetChecked(true);
    f.BitBtn1->Click();
  });
  EXPECT_EQ(CurrentTask, nullptr);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_TRUE(MessageTexts()[0].starts_with("Error in SchedulingAgent.NewWorkItem.Error Code :")) << MessageTexts()[0];
}

TEST_F(OptionsFixture, WithoutTheSchedulerItsMessageShowsAndSchedulingIsOff) {
  ReleaseTaskScheduler();
  CoUninitialize();   // the scheduler object cannot be created without COM
  Open([&](TFormOptions& f) {
    EXPECT_FALSE(f.cbActiveTask->Enabled() || f.cbActiveTask->Checked() || f.dtpStartTime->Enabled() ||
                 f.SpinEditDays->Enabled());
    f.cbActiveTask->SetChecked(true);
    f.BitBtn1->Click();
  });
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_TRUE(TaskScheduler == nullptr && !Application.Terminated());
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_TRUE(MessageTexts()[0].starts_with("Error in ActiveX.CoCreateInstance.Error Code :")) << MessageTexts()[0];
  EXPECT_FALSE(FileExists(JobFile(job)));
}

TEST_F(OptionsFixture, AnUnreadableIgnoreFileDoesNotCostTheScheduledJob) {
  Open([&](TFormOptions& f) {
    f.cbActiveTask->SetChecked(true);
    SetStartTime(f, 22, 0, 1);
    f.BitBtn1->Click();
  });
  WriteFileBytes(IgnoreFile(), "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial\r\n");
  THeldFile held(IgnoreFile(), 0, GENERIC_READ | GENERIC_WRITE);
  ASSERT_TRUE(held.Held());
  Open([&](TFormOptions& f) {
    EXPECT_EQ(MessageBoxes().Calls.size(), 1u) << "the read error is shown";
    EXPECT_EQ(f.IgnoreListView->Count(), 0);
    EXPECT_TRUE(f.cbActiveTask->Checked());
    EXPECT_EQ(StartTime(f), "22:00:00");
    f.BitBtn1->Click();
  });
  held.Release();
  EXPECT_TRUE(TaskListed(job));
  EXPECT_EQ(ReadFileBytes(IgnoreFile()), "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial\r\n");
}
