// scan_bench: times the full seventeen-section scan against a plain walk of the same trees with
// the file look-ups the scan cannot do without, and a repair of all its findings about the planted
// entries against plain deletion of the same entries.
//
//   scan_bench [--keys N] [--repeat R]   measures at N/5 and at N keys (default 50000), each size
//                                        in a process of its own, and compares how the cost grows
//   scan_bench --size N [--repeat R]     one size: plants N keys, walks, scans, repairs, prints the
//                                        figures
//
// Each size is planted afresh in the benchmark's own Wine prefix, and what was planted is removed
// at the end. The reference (walk, then one look-up per distinct path the section's planted data
// names) and the scan run R times each (default 3), alternating; each section counts with its
// fastest run, which keeps out what other processes and the Wine server's own registry saving
// cost now and then. The processor time per section (this process's own work, without the waits
// for the Wine server) shows where the scan spends beyond the registry calls; under load it is
// the steadier figure. Then, R times each on the registry planted afresh, the last scan's findings
// about planted entries are repaired by the sections' repair routines (each finding judged again
// just before its removal), and the same entries are deleted plainly (one registry or file call
// each); the prefix's own entries are left as they are.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
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
  std::unique_ptr<MainUnit::TSectionResults> Results = std::make_unique<MainUnit::TSectionResults>();
};

TScanRun RunScan() {
  TIgnoreContents ignoreList;
  TBenchView view;
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
  TScanRun run;
  std::string error = MainUnit::ScanSections(view, *run.Results, ignoreList);
  if (!error.empty()) printf("  the scan ended with an error: %s\n", error.c_str());
  run.Times = view.Times;
  run.CpuTimes = view.CpuTimes;
  for (const TRegistryContents& c : *run.Results) run.Findings += c.Count();
  return run;
}

// Per section, the distinct paths that the planted data it judges names.
using TSectionPaths = std::array<std::vector<std::string>, SectionCount>;

// Walks every section once, gathering its paths (and the sizes of the walked trees).
TSectionPaths GatherPaths(const BenchPlant::TNamedPaths& named, ReferenceWalk::TWalkCounts& walked) {
  TSectionPaths paths;
  for (int i = 0; i < SectionCount; ++i) {
    ReferenceWalk::TWalkCounts counts;
    counts.Named = &named;
    ReferenceWalk::SectionWalks()[i](counts);
    walked.Keys += counts.Keys;
    walked.Values += counts.Values;
    walked.Files += counts.Files;
    paths[i].assign(counts.Paths.begin(), counts.Paths.end());
  }
  return paths;
}

struct TReferenceRun {
  TSectionTimes Walk{};
  TSectionTimes LookUps{};
  TSectionTimes CpuTimes{};
};

TReferenceRun RunReference(const TSectionPaths& paths) {
  TReferenceRun run;
  for (int i = 0; i < SectionCount; ++i) {
    ReferenceWalk::TWalkCounts counts;
    double start = NowMs(), cpu = ThreadCpuMs();
    ReferenceWalk::SectionWalks()[i](counts);
    double walked = NowMs();
    ReferenceWalk::LookUp(paths[i]);
    run.Walk[i] = walked - start;
    run.LookUps[i] = NowMs() - walked;
    run.CpuTimes[i] = ThreadCpuMs() - cpu;
  }
  return run;
}

// The repair of all findings, section by section, as the repair page runs it.
struct TRepairRun {
  TSectionTimes Times{};
  TSectionTimes CpuTimes{};
  long Repaired = 0, Left = 0, Failed = 0;
};

TRepairRun RepairAll(MainUnit::TSectionResults& results) {
  TRepairRun run;
  TRepairContents log;
  TCaptionHolder status;
  TListCountHolder finishList;
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
  for (int i = 0; i < SectionCount; ++i) {
    const MainUnit::TSection& section = MainUnit::Sections()[i];
    if (!section.Repair) continue;
    double start = NowMs(), cpu = ThreadCpuMs();
    try {
      section.Repair(status, finishList, results[i], log);
    } catch (const std::exception& e) {
      printf("  the repair of %s ended with an error: %s\n", section.Caption.c_str(), e.what());
    }
    run.Times[i] = NowMs() - start;
    run.CpuTimes[i] = ThreadCpuMs() - cpu;
  }
  for (int i = 0; i < log.Count(); ++i) {
    const std::string& outcome = log.GetItem(i).Content.Status;
    if (outcome == SectionCommon::RepairedText) ++run.Repaired;
    else if (outcome == SectionCommon::ChangedSinceScanText) ++run.Left;
    else ++run.Failed;
  }
  return run;
}

// The findings about what the bench planted: the repair's timing leaves the prefix's own entries
// as they are, so that every run finds what the first one found.
std::unique_ptr<MainUnit::TSectionResults> PlantedFindings(const MainUnit::TSectionResults& results) {
  auto planted = std::make_unique<MainUnit::TSectionResults>();
  for (int i = 0; i < SectionCount; ++i)
    for (int f = 0; f < results[i].Count(); ++f) {
      const TContent& finding = results[i].GetItem(f).Content;
      if (BenchPlant::NamesPlanted(finding.KeyPath, finding.ValueName, finding.ShortName))
        (*planted)[i].GetItem((*planted)[i].Add()) = results[i].GetItem(f);
    }
  return planted;
}

// What the repairs of the findings remove, per section, worked out before the clock runs.
using TSectionRemovals = std::array<std::vector<SectionCommon::TRemoval>, SectionCount>;

TSectionRemovals RemovalsOf(const MainUnit::TSectionResults& results) {
  TSectionRemovals removals;
  for (int i = 0; i < SectionCount; ++i) {
    const MainUnit::TSection& section = MainUnit::Sections()[i];
    if (!section.Repair) continue;
    for (int f = 0; f < results[i].Count(); ++f) {
      const TContent& finding = results[i].GetItem(f).Content;
      if (finding.Checked) removals[i].push_back(SectionCommon::RepairRemoval(section.RepairForm, finding));
    }
  }
  return removals;
}

// Plain deletion of the same entries: one call each, nothing judged, nothing logged; a file is
// deleted, not moved to the recycle bin.
TSectionTimes DeletePlainly(const TSectionRemovals& removals, long& deleted) {
  using SectionCommon::TRemovalKind;
  TSectionTimes times{};
  for (int i = 0; i < SectionCount; ++i) {
    double start = NowMs();
    for (const SectionCommon::TRemoval& r : removals[i]) {
      if (r.Kind == TRemovalKind::Value) {
        HKEY key;
        if (RegOpenKeyExW(r.Root, Widen(r.SubKey).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
        if (RegDeleteValueW(key, Widen(r.ValueName).c_str()) == ERROR_SUCCESS) ++deleted;
        RegCloseKey(key);
      } else if (r.Kind == TRemovalKind::Key) {
        if (RegDeleteTreeW(r.Root, Widen(r.SubKey).c_str()) == ERROR_SUCCESS) ++deleted;
      } else if (r.Kind == TRemovalKind::File) {
        if (DeleteFileW(Widen(r.File).c_str())) ++deleted;
      }
    }
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

// The ignore file of the benchmark: exclusions of the software-settings sections, as a user who
// has excluded a few findings has them, naming values that every product has under keys that are
// not there, so that they cost the scan their tests but hide nothing.
std::string IgnoreFile() { return std::string(BenchPlant::BenchFolder) + "\\ZelvoranIgnores.dat"; }

void WriteIgnoreFile() {
  std::string lines;
  for (const char* section : {"System Software Settings", "User Software Settings"})
    for (const char* value :
         {"default", "", "InstallDir", "MainExe", "Command", "LastLibrary", "File1", "File2", "Data", "Temp", "Editor"})
      lines += Format("%s|HKEY_LOCAL_MACHINE\\Software\\ZelvoranBench\\Excluded\\%s|%s\r\n", section, value, value);
  WriteFileBytes(IgnoreFile(), lines);
}

// The scan's settings and shared state as the main window sets them before a scan.
void PrepareScanState() {
  using namespace PublicFunctionUnit;
  MyRegistryInfo.SelectAll = true;
  NonFixedDrives.Clear();
  ListNonFixedDrives(NonFixedDrives);
  WriteIgnoreFile();
  SetIgnoreFileName(IgnoreFile());
}

double Ratio(double part, double whole) { return whole > 0.05 ? part / whole : 0.0; }

// The registry as PlantRegistry left it, walked once.
void PlantAgain(long keys) {
  BenchPlant::ClearPlanted();
  BenchPlant::PlantRegistry(keys);
  ReferenceWalk::TWalkCounts counts;
  for (const ReferenceWalk::TSectionWalk& walk : ReferenceWalk::SectionWalks()) walk(counts);
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

  // The first walk gathers each section's paths and warms the file system and registry caches;
  // it is not counted.
  ReferenceWalk::TWalkCounts walked;
  TSectionPaths paths = GatherPaths(planted.NamedPaths, walked);
  BenchPlant::TNamedPaths().swap(planted.NamedPaths);
  long lookUps = 0;
  for (const std::vector<std::string>& p : paths) lookUps += (long)p.size();
  printf("  the walked trees hold %ld keys, %ld values, %ld files and folders; %ld look-ups of distinct paths\n",
         walked.Keys, walked.Values, walked.Files, lookUps);
  fflush(stdout);

  SIZE_T before = Memory().WorkingSetSize;
  TSectionTimes bestWalk{}, bestLookUps{}, bestReferenceCpu{}, bestScan{}, bestCpu{};
  TScanRun scan;
  for (int r = 0; r < repeat; ++r) {
    TReferenceRun reference = RunReference(paths);
    KeepFastest(bestWalk, reference.Walk, r == 0);
    KeepFastest(bestLookUps, reference.LookUps, r == 0);
    KeepFastest(bestReferenceCpu, reference.CpuTimes, r == 0);
    scan.Results.reset();   // one scan's findings in memory at a time, as in the program
    scan = RunScan();
    KeepFastest(bestScan, scan.Times, r == 0);
    KeepFastest(bestCpu, scan.CpuTimes, r == 0);
  }
  PROCESS_MEMORY_COUNTERS memory = Memory();

  printf("  %-28s %9s %8s %8s %9s %7s %7s %8s %8s\n", "section", "walk ms", "look-ups", "look ms", "scan ms",
         "s/walk", "s/(w+l)", "ref cpu", "scan cpu");
  for (int i = 0; i < SectionCount; ++i) {
    double reference = bestWalk[i] + bestLookUps[i];
    printf("  %-28s %9.1f %8zu %8.1f %9.1f %7.2f %7.2f %8.0f %8.0f\n", MainUnit::Sections()[i].Caption.c_str(),
           bestWalk[i], paths[i].size(), bestLookUps[i], bestScan[i], Ratio(bestScan[i], bestWalk[i]),
           Ratio(bestScan[i], reference), bestReferenceCpu[i], bestCpu[i]);
  }
  double walkMs = Total(bestWalk), lookUpMs = Total(bestLookUps), scanMs = Total(bestScan);
  double referenceMs = walkMs + lookUpMs;
  printf("  %-28s %9.1f %8ld %8.1f %9.1f %7.2f %7.2f %8.0f %8.0f\n", "all sections", walkMs, lookUps, lookUpMs,
         scanMs, scanMs / walkMs, scanMs / referenceMs, Total(bestReferenceCpu), Total(bestCpu));
  printf("  findings %ld; working set before the scans %.1f MB, peak %.1f MB\n", scan.Findings, MegaBytes(before),
         MegaBytes(memory.PeakWorkingSetSize));
  fflush(stdout);

  // The repair of the last scan's findings about planted entries against plain deletion of the
  // same entries, each on the registry planted afresh and walked once (so that both start from
  // warm caches); each section counts with its fastest round.
  std::unique_ptr<MainUnit::TSectionResults> benchFindings = PlantedFindings(*scan.Results);
  TSectionRemovals removals = RemovalsOf(*benchFindings);
  TRepairRun repair;
  TSectionTimes plain{};
  long deleted = 0;
  for (int r = 0; r < repeat; ++r) {
    PlantAgain(keys);
    MainUnit::TSectionResults findings = *benchFindings;
    TRepairRun round = RepairAll(findings);
    KeepFastest(repair.Times, round.Times, r == 0);
    KeepFastest(repair.CpuTimes, round.CpuTimes, r == 0);
    repair.Repaired = round.Repaired, repair.Left = round.Left, repair.Failed = round.Failed;
    PlantAgain(keys);
    deleted = 0;
    KeepFastest(plain, DeletePlainly(removals, deleted), r == 0);
  }
  printf("  %-28s %9s %9s %7s %9s\n", "repair of all findings", "repair ms", "plain ms", "ratio", "repair cpu");
  for (int i = 0; i < SectionCount; ++i)
    if (!removals[i].empty())
      printf("  %-28s %9.1f %9.1f %7.2f %9.0f\n", MainUnit::Sections()[i].Caption.c_str(), repair.Times[i], plain[i],
             Ratio(repair.Times[i], plain[i]), repair.CpuTimes[i]);
  double repairMs = Total(repair.Times), plainMs = Total(plain);
  printf("  %-28s %9.1f %9.1f %7.2f %9.0f\n", "all sections", repairMs, plainMs, Ratio(repairMs, plainMs),
         Total(repair.CpuTimes));
  printf("  repaired %ld, left as changed since the scan %ld, failed %ld; plainly deleted %ld\n", repair.Repaired,
         repair.Left, repair.Failed, deleted);
  printf("RESULT %ld %.1f %.1f %ld %.1f %.1f %.1f %.1f %.1f %.1f %.1f\n", keys, referenceMs, scanMs, scan.Findings,
         MegaBytes(before), MegaBytes(memory.PeakWorkingSetSize), walkMs, Total(bestReferenceCpu), Total(bestCpu),
         repairMs, plainMs);
  fflush(stdout);
  DeleteFileW(Widen(IgnoreFile()).c_str());
  BenchPlant::ClearPlanted();
  CoUninitialize();
  return 0;
}

struct TSizeResult {
  long Keys = 0;
  double ReferenceMs = 0, ScanMs = 0;
  long Findings = 0;
  double BaseMb = 0, PeakMb = 0;
  double WalkMs = 0, ReferenceCpuMs = 0, ScanCpuMs = 0;
  double RepairMs = 0, PlainMs = 0;
  bool Valid = false;
};

// Runs one size in a process of its own (so that each peak working set is that size's own),
// passing its output through and picking up its RESULT line.
TSizeResult MeasureInChild(long keys, int repeat) {
  std::string output = RunSelf(L"--size " + std::to_wstring(keys) + L" --repeat " + std::to_wstring(repeat));
  TSizeResult result;
  size_t at = output.find("RESULT ");
  if (at != std::string::npos)
    result.Valid = sscanf(output.c_str() + at, "RESULT %ld %lf %lf %ld %lf %lf %lf %lf %lf %lf %lf", &result.Keys,
                          &result.ReferenceMs, &result.ScanMs, &result.Findings, &result.BaseMb, &result.PeakMb,
                          &result.WalkMs, &result.ReferenceCpuMs, &result.ScanCpuMs, &result.RepairMs,
                          &result.PlainMs) == 11;
  return result;
}

int CompareSizes(long keys, int repeat) {
  std::vector<TSizeResult> results;
  for (long size : {keys / 5, keys}) {
    TSizeResult r = MeasureInChild(size, repeat);
    if (!r.Valid) {
      printf("the run at %ld keys gave no result\n", size);
      DeleteFileW(Widen(IgnoreFile()).c_str());   // what a run that ended early left behind
      BenchPlant::ClearPlanted();
      return 1;
    }
    results.push_back(r);
  }
  printf("\n%7s %9s %9s %9s %6s %6s %8s %8s %6s %8s %9s %8s %6s %7s\n", "keys", "walk ms", "w+l ms", "scan ms",
         "s/walk", "s/(w+l)", "ref cpu", "scan cpu", "cpu", "findings", "repair ms", "plain ms", "ratio", "peak MB");
  for (const TSizeResult& r : results)
    printf("%7ld %9.1f %9.1f %9.1f %6.2f %7.2f %8.0f %8.0f %6.2f %8ld %9.1f %8.1f %6.2f %7.1f\n", r.Keys, r.WalkMs,
           r.ReferenceMs, r.ScanMs, r.ScanMs / r.WalkMs, r.ScanMs / r.ReferenceMs, r.ReferenceCpuMs, r.ScanCpuMs,
           Ratio(r.ScanCpuMs, r.ReferenceCpuMs), r.Findings, r.RepairMs, r.PlainMs, Ratio(r.RepairMs, r.PlainMs),
           r.PeakMb);
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
