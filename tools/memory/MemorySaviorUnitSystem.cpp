#include "MemorySaviorUnitSystem.h"

// The process status calls of psapi.dll itself, which every system of the family has.
#define PSAPI_VERSION 1
#include <psapi.h>
#include <tlhelp32.h>

#include "../../framework/Strings.h"

namespace MemorySaviorUnit {

// ---- memory status ----

TGlobalMemoryStatusEx ExtendedStatusCall() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<TGlobalMemoryStatusEx>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GlobalMemoryStatusEx")));
}

TMemoryStatus ReadMemoryStatus(TGlobalMemoryStatusEx extended) {
  TMemoryStatus status;
  MEMORYSTATUSEX ex{};
  ex.dwLength = sizeof ex;
  if (extended != nullptr && extended(&ex)) {
    status.TotalPhys = ex.ullTotalPhys;
    status.AvailPhys = ex.ullAvailPhys;
    status.TotalPageFile = ex.ullTotalPageFile;
    status.AvailPageFile = ex.ullAvailPageFile;
    return status;
  }
  MEMORYSTATUS old{};
  old.dwLength = sizeof old;
  GlobalMemoryStatus(&old);
  status.TotalPhys = old.dwTotalPhys;
  status.AvailPhys = old.dwAvailPhys;
  status.TotalPageFile = old.dwTotalPageFile;
  status.AvailPageFile = old.dwAvailPageFile;
  return status;
}

int Mib(uint64_t bytes) { return (int)(bytes >> 20); }

std::string MbText(uint64_t bytes) { return Format("%d MB", (int)Round(bytes / 1048576.0)); }

// ---- processes ----

HANDLE OpenSystemProcess(DWORD access, DWORD processId) { return OpenProcess(access, FALSE, processId); }

std::string ShownModulePath(const std::string& path) {
  return ExtractFileDrive(path).empty() ? ExtractFileName(path) : path;
}

bool TProcessList::Snapshot() {
  TKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    TProcess& p = items_.emplace_back();
    p.ExeName = Narrow(entry.szExeFile);
    p.ProcessID = entry.th32ProcessID;
    p.Usage = entry.cntUsage;
    p.BasePriority = entry.pcPriClassBase;
    p.ParentProcessID = entry.th32ParentProcessID;
  }
  snapshot.Reset();
  FillDetails();
  return true;
}

void TProcessList::FillDetails() {
  for (TProcess& p : items_) {
    for (DWORD access : kOpenAccesses) {
      p.Handle.Reset(open_ ? open_(access, p.ProcessID) : nullptr);
      if (p.Handle) break;
    }
    if (!p.Handle) continue;
    wchar_t path[MAX_PATH * 2] = {};
    if (GetModuleFileNameExW(p.Handle.Get(), nullptr, path, (DWORD)std::size(path) - 1) > 0)
      p.ModulePath = ShownModulePath(Narrow(path));
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(p.Handle.Get(), &counters, sizeof counters)) {
      p.PageFaultCount = counters.PageFaultCount;
      p.PeakWorkingSetSize = counters.PeakWorkingSetSize;
      p.WorkingSetSize = counters.WorkingSetSize;
    }
    GetProcessTimes(p.Handle.Get(), &p.CreationTime, &p.ExitTime, &p.KernelTime, &p.UserTime);
    p.PriorityClass = GetPriorityClass(p.Handle.Get());
  }
}

int TProcessList::TrimAll(const TTrimProgress& progress) {
  int trimmed = 0;
  for (int i = 0; i < Count(); ++i) {
    HANDLE h = items_[i].Handle.Get();
    if (h != nullptr && SetProcessWorkingSetSize(h, (SIZE_T)-1, (SIZE_T)-1)) ++trimmed;
    if (progress) progress(i + 1);
  }
  return trimmed;
}

}  // namespace MemorySaviorUnit
