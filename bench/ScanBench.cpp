// scan_bench: times the full seventeen-section scan against a plain walk of the same trees.
//
//   scan_bench [--keys N] [--repeat R]   measures at N/5 and at N keys (default 50000), each size
//                                        in a process of its own, and compares how the cost grows
//   scan_bench --size N [--repeat R]     one size: plants N keys, walks, scans, prints the figures
//
// Each size is planted afresh in the benchmark's own Wine prefix. The reference walk and the scan
// run R times each (default 3), alternating; each section counts with its fastest run, which keeps
// out what other processes and the Wine server's own registry saving cost now and then. The
// scan's processor time per section (this process's own work, without the waits for the Wine
// server) shows where the scan spends beyond the registry calls.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include "BenchChild.h"
#include "BenchClock.h"
#include "BenchPlant.h"
#include "ReferenceWalk.h"
#include "app/MainUnitSections.h"
#include "framework/Outputs.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"

namespace {

using MainUnit::SectionCount;
using TSectionTimes = std::array<double, SectionCount>;

double Total(const TSectionTimes& times) {
  double sum = 0;
  for (double t : times) sum += t;
  return sum;
}

// Keeps each section's fastest time.
void KeepFastest(TSectionTimes& best, const TSectionTimes& times, bool first) {
  for (int i = 0; i < SectionCount; ++i)
    if (first || times[i] < best[i]) best[i] = times[i];
}

// The processor time this thread has used, in milliseconds.
double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  auto ms = [](const FILETIME& t) { return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4; };
  return ms(kernel) + ms(user);
}

// The scan page as the benchmark sees it: every section ticked, the count labels and the
// current item kept in memory, and the time spent in each section.
class TBenchView : public MainUnit::TScanView {
 public:
  TSectionTimes Times{};
  TSectionTimes CpuTimes{};

  bool SectionTicked(int) const override { return true; }
  void ShowSectionImage(int, int) override {}
  TCaptionTarget* CountLabel(int index) override { return &counts_[index]; }
  TCaptionTarget* CurrentItem() override { return &item_; }
  void ScanningSection(int number) override {
    double now = NowMs(), cpu = ThreadCpuMs();
    if (current_ >= 0) {
      Times[current_] += now - since_;
      CpuTimes[current_] += cpu - cpuSince_;
    }
    current_ = number - 1;
    since_ = now;
    cpuSince_ = cpu;
  }
  void ShowTotalProcess(int) override {}

 private:
  std::array<TCaptionHolder, SectionCount> counts_;
  TCaptionHolder item_;
  int current_ = -1;
  double since_ = 0, cpuSince_ = 0;
};

struct TScanRun {
  TSectionTimes Times{};
  TSectionTimes CpuTimes{};
  long Findings = 0;
};

TScanRun RunScan() {
  auto results = std::make_unique<MainUnit::TSectionResults>();
  TIgnoreContents ignoreList;
  TBenchView view;
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
  std::string error = MainUnit::ScanSections(view, *results, ignoreList);
  if (!error.empty()) printf("  the scan ended with an error: %s\n", error.c_str());
  TScanRun run;
  run.Times = view.Times;
  run.CpuTimes = view.CpuTimes;
  for (const TRegistryContents& c : *results) run.Findings += c.Count();
  return run;
}

TSectionTimes RunReference(ReferenceWalk::TWalkCounts& counts) {
  TSectionTimes times{};
  for (int i = 0; i < SectionCount; ++i) {
    double start = NowMs();
    ReferenceWalk::SectionWalks()[i](counts);
    times[i] = NowMs() - start;
  }
  return times;
}

double MegaBytes(SIZE_T bytes) { return double(bytes) / (1024.0 * 1024.0); }

PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
  return m;
}

// The scan's settings and shared state as the main window sets them before a scan.
void PrepareScanState() {
  using namespace PublicFunctionUnit;
  MyRegistryInfo.SelectAll = true;
  NonFixedDrives.Clear();
  ListNonFixedDrives(NonFixedDrives);
  std::string ignoreFile = std::string(BenchPlant::BenchFolder) + "\\ZelvoranIgnores.dat";
  DeleteFileW(Widen(ignoreFile).c_str());
  SetIgnoreFileName(ignoreFile);
}

int MeasureSize(long keys, int repeat) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  printf("== %ld keys\n", keys);
  double start = NowMs();
  BenchPlant::ClearPlanted();
  BenchPlant::TPlantCounts planted = BenchPlant::PlantRegistry(keys);
  printf("  planted %ld keys, %ld values, %ld shortcuts in %.1f s\n", planted.Keys, planted.Values,
         planted.Shortcuts, (NowMs() - start) / 1000);
  fflush(stdout);
  PrepareScanState();

  ReferenceWalk::TWalkCounts walked;
  RunReference(walked);   // warms the file system and registry caches; not counted
  printf("  the walked trees hold %ld keys, %ld values, %ld files and folders\n", walked.Keys, walked.Values,
         walked.Files);
  fflush(stdout);

  SIZE_T before = Memory().WorkingSetSize;
  TSectionTimes bestReference{}, bestScan{}, bestCpu{};
  long findings = 0;
  for (int r = 0; r < repeat; ++r) {
    ReferenceWalk::TWalkCounts unused;
    KeepFastest(bestReference, RunReference(unused), r == 0);
    TScanRun scan = RunScan();
    KeepFastest(bestScan, scan.Times, r == 0);
    KeepFastest(bestCpu, scan.CpuTimes, r == 0);
    findings = scan.Findings;
  }
  PROCESS_MEMORY_COUNTERS memory = Memory();

  printf("  %-28s %10s %10s %7s %12s\n", "section", "walk ms", "scan ms", "ratio", "scan cpu ms");
  for (int i = 0; i < SectionCount; ++i)
    printf("  %-28s %10.1f %10.1f %7.2f %12.1f\n", MainUnit::Sections()[i].Caption.c_str(), bestReference[i],
           bestScan[i], bestReference[i] > 0.05 ? bestScan[i] / bestReference[i] : 0.0, bestCpu[i]);
  double referenceMs = Total(bestReference), scanMs = Total(bestScan);
  printf("  %-28s %10.1f %10.1f %7.2f %12.1f\n", "all sections", referenceMs, scanMs, scanMs / referenceMs,
         Total(bestCpu));
  printf("  findings %ld; working set before the scans %.1f MB, peak %.1f MB\n", findings, MegaBytes(before),
         MegaBytes(memory.PeakWorkingSetSize));
  printf("RESULT %ld %.1f %.1f %ld %.1f %.1f\n", keys, referenceMs, scanMs, findings, MegaBytes(before),
         MegaBytes(memory.PeakWorkingSetSize));
  fflush(stdout);
  CoUninitialize();
  return 0;
}

struct TSizeResult {
  long Keys = 0;
  double ReferenceMs = 0, ScanMs = 0;
  long Findings = 0;
  double BaseMb = 0, PeakMb = 0;
  bool Valid = false;
};

// Runs one size in a process of its own (so that each peak working set is that size's own),
// passing its output through and picking up its RESULT line.
TSizeResult MeasureInChild(long keys, int repeat) {
  std::string output = RunSelf(L"--size " + std::to_wstring(keys) + L" --repeat " + std::to_wstring(repeat));
  TSizeResult result;
  size_t at = output.find("RESULT ");
  if (at != std::string::npos)
    result.Valid = sscanf(output.c_str() + at, "RESULT %ld %lf %lf %ld %lf %lf", &result.Keys, &result.ReferenceMs,
                          &result.ScanMs, &result.Findings, &result.BaseMb, &result.PeakMb) == 6;
  return result;
}

int CompareSizes(long keys, int repeat) {
  std::vector<TSizeResult> results;
  for (long size : {keys / 5, keys}) {
    TSizeResult r = MeasureInChild(size, repeat);
    if (!r.Valid) {
      printf("the run at %ld keys gave no result\n", size);
      return 1;
    }
    results.push_back(r);
  }
  printf("\n%8s %12s %12s %7s %9s %12s %10s\n", "keys", "walk ms", "scan ms", "ratio", "findings", "base WS MB",
         "peak WS MB");
  for (const TSizeResult& r : results)
    printf("%8ld %12.1f %12.1f %7.2f %9ld %12.1f %10.1f\n", r.Keys, r.ReferenceMs, r.ScanMs, r.ScanMs / r.ReferenceMs,
           r.Findings, r.BaseMb, r.PeakMb);
  double small = results[0].ScanMs / results[0].ReferenceMs, large = results[1].ScanMs / results[1].ReferenceMs;
  printf("ratio at %ld keys / ratio at %ld keys: %.3f\n", results[1].Keys, results[0].Keys, large / small);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  long keys = 50000, size = 0;
  int repeat = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (strcmp(argv[i], "--keys") == 0) keys = atol(argv[i + 1]);
    else if (strcmp(argv[i], "--size") == 0) size = atol(argv[i + 1]);
    else if (strcmp(argv[i], "--repeat") == 0) repeat = atoi(argv[i + 1]);
  }
  if (keys < 1000 || repeat < 1) {
    printf("usage: scan_bench [--keys N (at least 1000)] [--repeat R] | --size N [--repeat R]\n");
    return 2;
  }
  return size > 0 ? MeasureSize(size, repeat) : CompareSizes(keys, repeat);
}
