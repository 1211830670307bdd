// The scheduled scan job under the real Task Scheduler: created, read back, changed, deleted.
#include <gtest/gtest.h>
#include <mstask.h>

#include <thread>

#include "framework/Application.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"

using namespace PublicFunctionUnit;
using testing_support::MessageBoxes;

namespace {

// A job name of this test's own, as the scheduler lists it.
std::string JobName() { return "ZelvoranTest_" + testing_support::TestName() + ".job"; }

std::string JobFile(const std::string& jobName) { return GetWindowsDir() + "\\Tasks\\" + jobName; }

// One of the job's texts, read with the given getter.
template <class Getter>
std::string Text(ITask* task, Getter getter) {
  LPWSTR text = nullptr;
  if (FAILED((task->*getter)(&text)) || text == nullptr) return "<failed>";
  std::string s = Narrow(text);
  CoTaskMemFree(text);
  return s;
}

struct TJobState {
  std::string Application, Parameters, Comment;
  WORD Hour = 0, Minute = 0, Days = 0, Type = 99;
};

TJobState ReadJob(ITask* task) {
  TJobState s;
  s.Application = Text(task, &ITask::GetApplicationName);
  s.Parameters = Text(task, &ITask::GetParameters);
  s.Comment = Text(task, &ITask::GetComment);
  TComPtr<ITaskTrigger> trigger;
  TASK_TRIGGER t{};
  t.cbTriggerSize = sizeof t;
  if (SUCCEEDED(task->GetTrigger(0, trigger.OutTyped())) && SUCCEEDED(trigger->GetTrigger(&t))) {
    s.Hour = t.wStartHour;
    s.Minute = t.wStartMinute;
    s.Days = t.Type.Daily.DaysInterval;
    s.Type = (WORD)t.TriggerType;
  }
  return s;
}

HRESULT SetDaily(ITask* task, WORD hour, WORD minute, WORD days) {
  TComPtr<ITaskTrigger> trigger;
  WORD index = 0;
  HRESULT hr = task->GetTriggerCount(&index);
  if (SUCCEEDED(hr)) hr = index == 0 ? task->CreateTrigger(&index, trigger.OutTyped())
                                     : task->GetTrigger(0, trigger.OutTyped());
  if (FAILED(hr)) return hr;
  SYSTEMTIME today;
  GetLocalTime(&today);
  TASK_TRIGGER t{};
  t.cbTriggerSize = sizeof t;
  t.wBeginYear = today.wYear;
  t.wBeginMonth = today.wMonth;
  t.wBeginDay = today.wDay;
  t.wStartHour = hour;
  t.wStartMinute = minute;
  t.TriggerType = TASK_TIME_TRIGGER_DAILY;
  t.Type.Daily.DaysInterval = days;
  return trigger->SetTrigger(&t);
}

}  // namespace

TEST(Schedule, JobIsCreatedReadBackChangedAndDeleted) {
  MessageBoxes().Clear();
  ASSERT_EQ(InitTaskScheduler(), S_OK);
  ITaskScheduler* first = TaskScheduler;
  EXPECT_EQ(InitTaskScheduler(), S_OK);
  EXPECT_EQ(TaskScheduler, first) << "created once";
  std::string job = JobName();
  DeleteTask(job);

  TComPtr<ITask> task;
  ASSERT_EQ(NewTask(job, task), S_OK);
  std::string user;
  GetCurrentUserName(user);
  std::string exe = ExeName();
  EXPECT_EQ(task->SetApplicationName(Widen(exe).c_str()), S_OK);
  EXPECT_EQ(task->SetWorkingDirectory(Widen(ExeDir()).c_str()), S_OK);
  EXPECT_EQ(task->SetParameters(L"-Scan"), S_OK);
  EXPECT_EQ(task->SetFlags(0x2000), S_OK);
  EXPECT_EQ(task->SetComment(Widen(ScheduledJobComment).c_str()), S_OK);
  EXPECT_EQ(task->SetAccountInformation(Widen(user).c_str(), nullptr), S_OK);
  HoldTask(job, task.Get());
  EXPECT_EQ(SaveTask(), S_OK);
  EXPECT_EQ(SetDaily(CurrentTask, 21, 5, 3), S_OK);
  EXPECT_EQ(SaveTask(), S_OK);
  EXPECT_TRUE(FileExists(JobFile(job)));
  EXPECT_TRUE(TaskListed(job));
  EXPECT_FALSE(TaskListed("ZelvoranTest_NotThere.job"));

  // read back through a fresh activation, as the options dialog does when it opens
  DropCurrentTask();
  task.Reset();
  ASSERT_EQ(ActivateTask(job, task), S_OK);
  TJobState s = ReadJob(task.Get());
  EXPECT_TRUE(SameText(s.Application, exe)) << s.Application;
  EXPECT_EQ(s.Parameters, "-Scan");
  EXPECT_EQ(s.Comment, "Runs Zelvoran at Scheduled Time.");
  EXPECT_EQ(s.Type, TASK_TIME_TRIGGER_DAILY);
  EXPECT_EQ(s.Days, 3);
  EXPECT_EQ(s.Hour, 21);
  EXPECT_EQ(s.Minute, 5);

  // change the held job's trigger only
  HoldTask(job, task.Get());
  ASSERT_EQ(SetDaily(CurrentTask, 6, 30, 31), S_OK);
  EXPECT_EQ(SaveTask(), S_OK);
  task.Reset();
  ASSERT_EQ(ActivateTask(job, task), S_OK);
  s = ReadJob(task.Get());
  EXPECT_EQ(s.Days, 31);
  EXPECT_EQ(s.Hour, 6);
  EXPECT_EQ(s.Minute, 30);
  EXPECT_EQ(s.Parameters, "-Scan");
  task.Reset();

  // deleting drops the held job; the file and the listing are gone
  EXPECT_EQ(DeleteTask(job), S_OK);
  EXPECT_EQ(CurrentTask, nullptr);
  EXPECT_FALSE(FileExists(JobFile(job)));
  EXPECT_FALSE(TaskListed(job));
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  ReleaseTaskScheduler();
}

TEST(Schedule, FailuresShowTheirMessagesAndYieldNothing) {
  MessageBoxes().Clear();
  ASSERT_EQ(InitTaskScheduler(), S_OK);
  TComPtr<ITask> task;
  HRESULT hr = ActivateTask("ZelvoranTest_NoSuchJob.job", task);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_FALSE(task);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, "Error in SchedulingAgent.Activate.Error Code :" + IntToHex((uint32_t)hr, 8));

  MessageBoxes().Clear();
  DropCurrentTask();
  EXPECT_EQ(SaveTask(), -1);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, "Error in  Task.QueryInterface(IID_IPersistFile, pIPersistFile):");

  MessageBoxes().Clear();
  EXPECT_TRUE(FAILED(DeleteTask("ZelvoranTest_NoSuchJob.job")));
  EXPECT_TRUE(MessageBoxes().Calls.empty()) << "deleting shows nothing";
  ReleaseTaskScheduler();
  EXPECT_EQ(TaskScheduler, nullptr);
}

TEST(Schedule, SchedulerThatCannotBeCreatedLeavesTheProgramRunning) {
  MessageBoxes().Clear();
  ReleaseTaskScheduler();
  HRESULT hr = S_OK;
  // a thread without COM cannot create the object
  std::thread([&] { hr = InitTaskScheduler(); }).join();
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(TaskScheduler, nullptr);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, "Error in ActiveX.CoCreateInstance.Error Code :" + IntToHex((uint32_t)hr, 8));
  EXPECT_FALSE(Application.Terminated());

  // without a scheduler nothing goes through a null object
  MessageBoxes().Clear();
  TComPtr<ITask> task;
  EXPECT_TRUE(FAILED(ActivateTask(ScheduledJobName, task)));
  EXPECT_FALSE(task);
  EXPECT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_TRUE(FAILED(NewTask(ScheduledJobName, task)));
  EXPECT_TRUE(FAILED(DeleteTask(ScheduledJobName)));
  EXPECT_FALSE(TaskListed(ScheduledJobName));
}
