#include <initguid.h>

#include <mstask.h>
#include <objidl.h>

#include "../framework/Dialogs.h"
#include "AuxProcs.h"
#include "PublicFunctionUnit.h"

namespace PublicFunctionUnit {

ITaskScheduler* TaskScheduler = nullptr;
ITask* CurrentTask = nullptr;
IPersistFile* CurrentTaskFile = nullptr;

namespace {

std::string& HeldTaskName() {
  static std::string name;
  return name;
}

// The name the scheduler is called with: without ".job" (the scheduler adds it to the file).
std::string ApiName(const std::string& jobName) {
  if (jobName.size() >= 4 && SameText(jobName.substr(jobName.size() - 4), ".job"))
    return jobName.substr(0, jobName.size() - 4);
  return jobName;
}

template <class I>
void ReleaseGlobal(I*& p) {
  if (p != nullptr) p->Release();
  p = nullptr;
}

}  // namespace

HRESULT InitTaskScheduler() {
  if (TaskScheduler != nullptr) return S_OK;
  HRESULT hr = CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                reinterpret_cast<void**>(&TaskScheduler));
  if (FAILED(hr)) {
    TaskScheduler = nullptr;
    ShowMessage("Error in ActiveX.CoCreateInstance.Error Code :" + IntToHex((uint32_t)hr, 8));
  }
  return hr;
}

HRESULT ActivateTask(const std::string& jobName, TComPtr<ITask>& task) {
  task.Reset();
  HRESULT hr = E_POINTER;
  if (TaskScheduler != nullptr) {
    std::wstring name = AuxProcs::StrToWideBuf(ApiName(jobName));
    hr = TaskScheduler->Activate(name.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.OutTyped()));
    if (FAILED(hr)) task.Detach();   // never hand on what a failed call left behind
  }
  if (FAILED(hr)) ShowMessage("Error in SchedulingAgent.Activate.Error Code :" + IntToHex((uint32_t)hr, 8));
  return hr;
}

HRESULT NewTask(const std::string& jobName, TComPtr<ITask>& task) {
  task.Reset();
  if (TaskScheduler == nullptr) return E_POINTER;
  std::wstring name = AuxProcs::StrToWideBuf(ApiName(jobName));
  HRESULT hr = TaskScheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask,
                                          reinterpret_cast<IUnknown**>(task.OutTyped()));
  if (FAILED(hr)) task.Detach();
  return hr;
}

bool TaskListed(const std::string& jobName) {
  if (TaskScheduler == nullptr) return false;
  std::wstring wanted = Widen(ApiName(jobName) + ".job");
  TComPtr<IEnumWorkItems> items;
  if (FAILED(TaskScheduler->Enum(items.OutTyped())) || !items) return false;
  bool found = false;
  for (;;) {
    LPWSTR* names = nullptr;
    ULONG fetched = 0;
    if (items->Next(1, &names, &fetched) != S_OK || fetched == 0 || names == nullptr) break;
    found = wanted == names[0];
    CoTaskMemFree(names[0]);
    CoTaskMemFree(names);
    if (found) break;
  }
  return found;
}

void HoldTask(const std::string& jobName, ITask* task) {
  if (task != nullptr) task->AddRef();
  DropCurrentTask();
  CurrentTask = task;
  if (task != nullptr) HeldTaskName() = ApiName(jobName);
}

void DropCurrentTask() {
  ReleaseGlobal(CurrentTaskFile);
  ReleaseGlobal(CurrentTask);
  HeldTaskName().clear();
}

HRESULT SaveTask() {
  ReleaseGlobal(CurrentTaskFile);
  if (CurrentTask == nullptr ||
      FAILED(CurrentTask->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&CurrentTaskFile))) ||
      CurrentTaskFile == nullptr) {
    CurrentTaskFile = nullptr;
    ShowMessage("Error in  Task.QueryInterface(IID_IPersistFile, pIPersistFile):");
    return -1;
  }
  return CurrentTaskFile->Save(nullptr, TRUE);
}

HRESULT DeleteTask(const std::string& jobName) {
  if (TaskScheduler == nullptr) return E_POINTER;
  std::string name = ApiName(jobName);
  ReleaseGlobal(CurrentTaskFile);   // an open job file would keep the delete from going through
  // The scheduler's service reads a job file right after it was saved; while it does, the file
  // cannot be deleted. Try again for a moment before reporting the failure.
  HRESULT hr = E_FAIL;
  for (int attempt = 0; attempt < 20; ++attempt) {
    hr = TaskScheduler->Delete(AuxProcs::StrToWideBuf(name).c_str());
    if (hr != HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)) break;
    Delay(100);
  }
  if (SUCCEEDED(hr) && CurrentTask != nullptr && SameText(HeldTaskName(), name)) DropCurrentTask();
  return hr;
}

void ReleaseTaskScheduler() {
  DropCurrentTask();
  ReleaseGlobal(TaskScheduler);
}

}  // namespace PublicFunctionUnit
