#include "CPUUsageUnit.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "../../framework/Strings.h"

namespace CPUUsageUnit {

namespace {

using TNtQuerySystemInformation = LONG(WINAPI*)(ULONG infoClass, void* buffer, ULONG length, ULONG* returned);

// The information classes read and the sizes of their records on the 32-bit system.
constexpr ULONG kBasicInformation = 0, kBasicSize = 44, kProcessorsOffset = 40;
constexpr ULONG kPerformanceInformation = 2, kPerformanceSize = 312, kIdleOffset = 0;
constexpr ULONG kTimeOfDayInformation = 3, kTimeOfDaySize = 32, kCurrentTimeOffset = 8;

TNtQuerySystemInformation QueryFunction() {
  static TNtQuerySystemInformation query = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr ? nullptr
                            : reinterpret_cast<TNtQuerySystemInformation>(
                                  reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
  }();
  return query;
}

// A 64-bit time as the counters hold it (low part first), as a number.
double TimeAt(const uint8_t* buffer, size_t offset) {
  uint32_t low, high;
  std::memcpy(&low, buffer + offset, 4);
  std::memcpy(&high, buffer + offset + 4, 4);
  return high * 4294967296.0 + low;
}

bool Query(ULONG infoClass, uint8_t* buffer, ULONG size) {
  TNtQuerySystemInformation query = QueryFunction();
  std::memset(buffer, 0, size);
  return query != nullptr && query(infoClass, buffer, size, nullptr) >= 0;
}

}  // namespace

bool QuerySystemCounters(TCpuCounters& counters) {
  uint8_t basic[kBasicSize], timeOfDay[kTimeOfDaySize], performance[kPerformanceSize];
  if (!Query(kBasicInformation, basic, kBasicSize) || !Query(kTimeOfDayInformation, timeOfDay, kTimeOfDaySize) ||
      !Query(kPerformanceInformation, performance, kPerformanceSize))
    return false;
  counters.Processors = std::max<int>(1, (int8_t)basic[kProcessorsOffset]);
  counters.SystemTime = TimeAt(timeOfDay, kCurrentTimeOffset);
  counters.IdleTime = TimeAt(performance, kIdleOffset);
  return true;
}

bool LoadBetween(const TCpuCounters& previous, const TCpuCounters& current, int& load) {
  double elapsed = current.SystemTime - previous.SystemTime;
  if (elapsed <= 0) return false;
  double idle = (current.IdleTime - previous.IdleTime) / elapsed;
  double percent = 100.0 - idle * 100.0 / std::max(1, current.Processors) + 0.5;
  load = (int)std::clamp<long long>(Round(percent), 0, 100);
  return true;
}

int TCpuLoadMeter::Next() {
  TCpuCounters current;
  if (!source_ || !source_(current)) return last_;
  if (havePrevious_ && current.SystemTime == previous_.SystemTime) return last_;
  if (havePrevious_) LoadBetween(previous_, current, last_);
  previous_ = current;
  havePrevious_ = true;
  return last_;
}

TCpuLoadMeter& SystemMeter() {
  static TCpuLoadMeter meter;
  return meter;
}

int GetCPUUsage() { return SystemMeter().Next(); }

}  // namespace CPUUsageUnit
