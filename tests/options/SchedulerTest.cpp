// The scheduler helpers on their own: one scheduler object per run, and the messages of the
// calls that fail. Creating, changing and deleting the job is tested through the dialog.
#include <gtest/gtest.h>
#include <mstask.h>

#include <thread>

#include "framework/Application.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"

using namespace PublicFunctionUnit;
using testing_support::MessageBoxes;

TEST(Scheduler, MadeOnceAndFailuresShowTheirMessagesAndYieldNothing) {
  MessageBoxes().Clear();
  ASSERT_EQ(InitTaskScheduler(), S_OK);
  ITaskScheduler* first = TaskScheduler;
  EXPECT_EQ(InitTaskScheduler(), S_OK);
  EXPECT_EQ(TaskScheduler, first) << "created once";
  EXPECT_FALSE(TaskListed("ZelvoranTest_NoSuchJob.job"));

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

TEST(Scheduler, OneThatCannotBeCreatedLeavesTheProgramRunning) {
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
