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
  EXPECT_TRUE(FAILED(hr) && !task);
  DropCurrentTask();
  EXPECT_EQ(SaveTask(), -1);
  EXPECT_TRUE(FAILED(DeleteTask("ZelvoranTest_NoSuchJob.job")));   // deleting shows nothing
  EXPECT_EQ(testing_support::MessageTexts(),
            (std::vector<std::string>{"Error in SchedulingAgent.Activate.Error Code :" + IntToHex((uint32_t)hr, 8),
                                      "Error in  Task.QueryInterface(IID_IPersistFile, pIPersistFile):"}));
  ReleaseTaskScheduler();
  EXPECT_EQ(TaskScheduler, nullptr);
}

TEST(Scheduler, OneThatCannotBeCreatedLeavesTheProgramRunning) {
  MessageBoxes().Clear();
  ReleaseTaskScheduler();
  HRESULT hr = S_OK;
  // a thread without COM cannot create the object
  std::thread([&] { hr = InitTaskScheduler(); }).join();
  EXPECT_TRUE(FAILED(hr) && TaskScheduler == nullptr && !Application.Terminated());
  EXPECT_EQ(testing_support::MessageTexts(),
            std::vector<std::string>{"Error in ActiveX.CoCreateInstance.Error Code :" + IntToHex((uint32_t)hr, 8)});

  // without a scheduler nothing goes through a null object
  MessageBoxes().Clear();
  TComPtr<ITask> task;
  EXPECT_TRUE(FAILED(ActivateTask(ScheduledJobName, task)) && !task);
  EXPECT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_TRUE(FAILED(NewTask(ScheduledJobName, task)));
  EXPECT_TRUE(FAILED(DeleteTask(ScheduledJobName)));
  EXPECT_FALSE(TaskListed(ScheduledJobName));
}
