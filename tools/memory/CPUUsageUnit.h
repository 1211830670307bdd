// The processor load from the system's performance counters: each reading compares the idle
// time and the system time with those of the reading before.
//
// How to use: CPUUsageUnit::GetCPUUsage() once a second gives the load in percent since the
// call before. Tests give a TCpuLoadMeter recorded counter readings instead of the system's.
#pragma once

#include <functional>

namespace CPUUsageUnit {

// One reading of the counters: times in 100 ns units.
struct TCpuCounters {
  double IdleTime = 0;     // the idle time of all processors together
  double SystemTime = 0;   // the current system time
  int Processors = 1;
};

// Fills one reading; false when the system would not give one.
using TCounterSource = std::function<bool(TCpuCounters&)>;

// The system's reading (NtQuerySystemInformation: basic, time of day and performance
// information).
bool QuerySystemCounters(TCpuCounters& counters);

// The load in percent between two readings, 0 to 100; false when no time has passed between
// them (then there is no figure).
bool LoadBetween(const TCpuCounters& previous, const TCpuCounters& current, int& load);

// The load since the previous reading. The first reading, a reading the source refused and a
// reading at the same system time give the last figure again (0 before there is one).
class TCpuLoadMeter {
 public:
  explicit TCpuLoadMeter(TCounterSource source = QuerySystemCounters) : source_(std::move(source)) {}
  int Next();
  int Last() const { return last_; }

 private:
  TCounterSource source_;
  TCpuCounters previous_;
  bool havePrevious_ = false;
  int last_ = 0;
};

// The program's one meter over the system's counters: its readings last for the whole run.
TCpuLoadMeter& SystemMeter();
// The load in percent from that meter.
int GetCPUUsage();

}  // namespace CPUUsageUnit
