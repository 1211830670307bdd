// What the memory optimizer reads and does outside its page: the memory status, the texts made
// from it, and the list of running processes whose working sets "Optimize" empties.
//
// How to use:
//   TMemoryStatus m = ReadMemoryStatus();   MbText(m.TotalPhys) -> "24103 MB"
//   TProcessList list; list.Snapshot(); list.TrimAll(progress); list.CloseAll();
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "../../framework/Handles.h"

namespace MemorySaviorUnit {

inline constexpr const char* kOptimizedText = "Memory Optimizes Successfully!";
// When the system emptied the working set of no process at all.
inline constexpr const char* kNotOptimizedText =
    "The memory could not be optimized: the system let no running program give its memory back.";

// ---- memory status ----

// The memory figures in bytes.
struct TMemoryStatus {
  uint64_t TotalPhys = 0, AvailPhys = 0;
  uint64_t TotalPageFile = 0, AvailPageFile = 0;
  uint64_t UsedPhys() const { return TotalPhys - AvailPhys; }
  uint64_t UsedPageFile() const { return TotalPageFile - AvailPageFile; }
};

using TGlobalMemoryStatusEx = BOOL(WINAPI*)(LPMEMORYSTATUSEX);
// The system's 64-bit memory status call; null on systems that lack it.
TGlobalMemoryStatusEx ExtendedStatusCall();
// The memory status through the 64-bit call, or through the old call (whose figures stop at
// 2 GiB) when extended is null.
TMemoryStatus ReadMemoryStatus(TGlobalMemoryStatusEx extended = ExtendedStatusCall());

// Whole MiB, cut (for charts and gauges), and "%d MB" rounded to the nearest MiB (for labels).
int Mib(uint64_t bytes);
std::string MbText(uint64_t bytes);

// ---- processes ----

// One running process.
struct TProcess {
  TKernelHandle Handle;            // empty when the process could not be opened
  std::string ExeName;             // from the snapshot
  std::string ModulePath;          // its executable's path; the file name alone when it has no drive
  DWORD ProcessID = 0;
  DWORD Usage = 0;
  LONG BasePriority = 0;
  DWORD ParentProcessID = 0;
  DWORD PageFaultCount = 0;
  SIZE_T PeakWorkingSetSize = 0;
  SIZE_T WorkingSetSize = 0;
  FILETIME CreationTime{}, ExitTime{}, KernelTime{}, UserTime{};
  DWORD PriorityClass = 0;
};

// Opens a process with the access asked for (null when refused); tests refuse some accesses.
using TOpenProcess = std::function<HANDLE(DWORD access, DWORD processId)>;
HANDLE OpenSystemProcess(DWORD access, DWORD processId);

// The accesses tried in turn: what the details and the trim need, then the trim alone, then
// the details alone.
inline constexpr DWORD kOpenAccesses[] = {PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_SET_QUOTA,
                                          PROCESS_SET_QUOTA, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ};

// A path without a drive part ("\SystemRoot\...", "\??\C:\...") reduced to its file name.
std::string ShownModulePath(const std::string& path);

// Called after each process trimmed with its position counted from 1.
using TTrimProgress = std::function<void(int position)>;

class TProcessList {
 public:
  explicit TProcessList(TOpenProcess open = OpenSystemProcess) : open_(std::move(open)) {}
  int Count() const { return (int)items_.size(); }
  TProcess& Items(int index) { return items_.at(index); }

  // Lists the running processes and reads their details. False when no snapshot was taken.
  bool Snapshot();
  // Opens each listed process and reads its path, memory counters, times and priority class.
  void FillDetails();
  // Empties the working set of every process; returns how many the system trimmed.
  int TrimAll(const TTrimProgress& progress = nullptr);
  // Closes every handle and empties the list.
  void CloseAll() { items_.clear(); }

 private:
  TOpenProcess open_;
  std::vector<TProcess> items_;
};

}  // namespace MemorySaviorUnit
