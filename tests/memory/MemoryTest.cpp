// The memory optimizer: the processor load from counter readings, the memory figures, the
// process list it trims, and its page driven tick by tick.
#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"
#include "tools/memory/MemorySaviorUnit.h"

using namespace CPUUsageUnit;
using namespace MemorySaviorUnit;
using testing_support::MessageBoxes;
using testing_support::TKeep;

namespace {

constexpr uint64_t kMiB = 1 << 20, kGiB = 1ull << 30;

// One reading a recorded source gives: refused, or counters (seconds) and the load expected.
struct TStep {
  bool Given;
  double Idle, Time;
  int Processors, Expected;
};

TCounterSource Recorded(std::deque<TStep>& steps) {
  return [&steps](TCpuCounters& c) {
    if (steps.empty()) return false;   // a tick of the page's own timer: no reading
    TStep s = steps.front();
    steps.pop_front();
    c = {s.Idle * 1e7, s.Time * 1e7, s.Processors};
    return s.Given;
  };
}

}  // namespace

TEST(CpuLoad, FiguresFromRecordedCounterReadings) {
  struct TCase {
    const char* Name;
    std::vector<TStep> Steps;
  };
  const TCase cases[] = {
      {"first reading", {{true, 5, 100, 1, 0}}},
      {"two processors, one busy", {{true, 0, 0, 2, 0}, {true, 10, 10, 2, 50}}},
      {"all idle, all busy", {{true, 0, 0, 1, 0}, {true, 1, 1, 1, 0}, {true, 1, 2, 1, 100}}},
      {"four processors", {{true, 0, 0, 4, 0}, {true, 31, 10, 4, 23}}},
      {"same time keeps the last", {{true, 0, 0, 1, 0}, {true, 0.302, 1, 1, 70}, {true, 0.302, 1, 1, 70}, {true, 1.206, 2, 1, 10}}},
      {"refused keeps the last", {{true, 0, 0, 1, 0}, {true, 0.604, 1, 1, 40}, {false, 0, 0, 1, 40}, {true, 0.604, 2, 1, 100}}},
      {"refused first", {{false, 0, 0, 1, 0}, {true, 0, 10, 1, 0}, {true, 5, 20, 1, 50}}},
      {"clamped", {{true, 0, 0, 1, 0}, {true, 30, 10, 1, 0}, {true, 0, 20, 1, 100}}},
      {"time backwards", {{true, 0, 10, 1, 0}, {true, 0, 20, 1, 100}, {true, 0, 5, 1, 100}, {true, 10, 15, 1, 0}}},
  };
  for (const TCase& c : cases) {
    std::deque<TStep> steps(c.Steps.begin(), c.Steps.end());
    TCpuLoadMeter meter(Recorded(steps));
    for (const TStep& s : c.Steps) EXPECT_EQ(meter.Next(), s.Expected) << c.Name << " at " << s.Time;
  }
}

TEST(SystemFigures, CountersAndTheWideMemoryCallWithTheOldOneStandingIn) {
  TCpuCounters counters;
  ASSERT_TRUE(QuerySystemCounters(counters));
  EXPECT_TRUE(counters.Processors >= 1 && counters.SystemTime > 0 && counters.IdleTime > 0);
  EXPECT_LE(GetCPUUsage() + GetCPUUsage(), 200);
  MEMORYSTATUSEX ex{sizeof ex};
  ASSERT_TRUE(GlobalMemoryStatusEx(&ex));
  TMemoryStatus wide = ReadMemoryStatus();   // more than the old call's 2 GiB where there is
  EXPECT_TRUE(wide.TotalPhys == ex.ullTotalPhys && wide.TotalPageFile == ex.ullTotalPageFile);
  TMemoryStatus old = ReadMemoryStatus(nullptr);
  EXPECT_TRUE(old.TotalPhys > 0 && old.TotalPhys <= wide.TotalPhys && old.AvailPhys <= old.TotalPhys);

  const std::pair<uint64_t, const char*> texts[] = {
      {0, "0 MB"}, {kMiB + kMiB / 2, "2 MB"}, {2 * kMiB + kMiB / 2, "2 MB"}, {6 * kGiB + kMiB - 1, "6145 MB"}};
  for (const auto& [bytes, text] : texts) EXPECT_EQ(MbText(bytes), text);
  EXPECT_EQ(Mib(6 * kGiB + kMiB - 1), 6144);
}

TEST(ProcessList, ListsThisProgramOpensItAndClosesEveryHandle) {
  EXPECT_EQ(ShownModulePath("C:\\windows\\system32\\a.exe"), "C:\\windows\\system32\\a.exe");
  EXPECT_EQ(ShownModulePath("\\SystemRoot\\System32\\smss.exe"), "smss.exe");
  EXPECT_EQ(ShownModulePath("\\??\\C:\\b.exe"), "b.exe");

  DWORD handlesBefore = 0, handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
  std::vector<DWORD> asked;   // the first access is refused for this program
  TProcessList list([&](DWORD access, DWORD pid) -> HANDLE {
    if (pid == GetCurrentProcessId()) asked.push_back(access);
    if (pid == GetCurrentProcessId() && asked.size() == 1) return nullptr;
    return OpenSystemProcess(access, pid);
  });
  ASSERT_TRUE(list.Snapshot());
  int opened = 0, detailed = 0, self = -1;
  for (int i = 0; i < list.Count(); ++i) {
    const TProcess& p = list.Items(i);
    if (p.ProcessID == GetCurrentProcessId()) self = i;
    opened += (bool)p.Handle;
    detailed += p.WorkingSetSize > 0 && !p.ModulePath.empty();
  }
  ASSERT_NE(self, -1);
  EXPECT_EQ(asked, (std::vector<DWORD>{kOpenAccesses[0], kOpenAccesses[1]}));
  EXPECT_TRUE(list.Items(self).Handle && list.Items(self).ExeName == "memory_tests.exe");
  EXPECT_GT(detailed, 0);
  EXPECT_EQ(list.TrimAll(), opened) << "every process opened with the trim's access";
  list.CloseAll();
  EXPECT_EQ(list.Count(), 0);
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_EQ(handlesAfter, handlesBefore);
}

namespace {

struct MemoryPageFixture : ::testing::Test {
  TKeep<uint8_t> platform{PublicFunctionUnit::PlatformKind, 4};
  TFormPtr<TForm> holder{new TForm({})};
  TPanel* host = new TPanel(holder.get());
  std::deque<TStep> steps;
  TCpuLoadMeter meter{Recorded(steps)};
  TMemoryStatus memory{6 * kGiB, 2 * kGiB, 8 * kGiB, 3 * kGiB + kMiB / 2};

  MemoryPageFixture() { MessageBoxes().Clear(); }
  TMemorySaviorForm* Open() {
    auto* page = new TMemorySaviorForm(host);
    page->MemoryStatus = [this] { return memory; };
    page->Meter = &meter;
    page->SetBounds(4, 26, 489, 337);
    page->Show();
    return page;
  }
};

}  // namespace

TEST_F(MemoryPageFixture, EachTickScrollsTheChartsAndShowsTheFigures) {
  TMemorySaviorForm* page = Open();
  EXPECT_EQ(page->Chart_PhyMem->LeftMaximum(), 6144);
  steps = {{true, 0, 0, 2, 0}};
  for (int i = 1; i <= 60; ++i) steps.push_back({true, i * 1.522, i * 1.0, 2, 24});
  auto handled = std::make_shared<bool>(false);   // a tick handles no other message
  Application.Post([handled] { *handled = true; });
  for (int i = 0; i <= 60; ++i) page->RefreshDisplay();
  EXPECT_FALSE(*handled);

  for (TChartSeries* s : {page->FastLineSeries1, page->FastLineSeries2, page->Series1}) {
    ASSERT_EQ(s->Count(), TChart::kHistory);
    EXPECT_NE(s->YValue(0), 0) << "the zero points of the start have scrolled out";
  }
  EXPECT_EQ((std::vector<double>{page->FastLineSeries1->YValue(49), page->FastLineSeries2->YValue(49),
                                 page->Series1->YValue(49)}),
            (std::vector<double>{24, 4096, 5119}));
  EXPECT_EQ((std::vector<int>{page->Gauge_CPU->Position(), page->Gauge_Mem->Position(), page->Gauge_Mem->Max()}),
            (std::vector<int>{24, 4096, 6144}));
  const std::pair<TLabel*, const char*> labels[] = {
      {page->Label_CPUusage, "24%"}, {page->Label_PMu, "4096 MB"}, {page->Label_VMu, "5119 MB"},
      {page->Label_pmTotal, "6144 MB"}, {page->Label_pmUsage, "4096 MB"}, {page->Label_pmFree, "2048 MB"},
      {page->Label_vmTotal, "8192 MB"}, {page->Label_vmUsage, "5120 MB"}, {page->Label_vmFree, "3072 MB"}};
  for (const auto& [label, text] : labels) EXPECT_EQ(label->Caption(), text);
}

TEST_F(MemoryPageFixture, BothChartsZoomInOneStepAndStayZoomedAsTheyScroll) {
  TMemorySaviorForm* page = Open();
  steps = {{true, 0, 0, 1, 0}};
  for (int i = 1; i <= 5; ++i) steps.push_back({true, i * 0.5, i * 1.0, 1, 50});
  for (TChart* chart : {page->Chart_CPUs, page->Chart_PhyMem}) {
    EXPECT_TRUE(chart->AnimatedZoom && chart->AnimatedZoomSteps == 1);
    RECT plot = chart->PlotRect();
    POINT from{(plot.left + plot.right) / 2, plot.top + 2}, to{plot.right - 2, plot.bottom - 2};
    chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    chart->Perform(WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    EXPECT_TRUE(chart->Zoomed());
  }
  TChartZoom cpuZoom = page->Chart_CPUs->Zoom();
  for (int i = 0; i < 5; ++i) page->RefreshDisplay();
  EXPECT_TRUE(page->Chart_CPUs->Zoom() == cpuZoom);
  EXPECT_EQ(page->Chart_CPUs->View().XMax, page->FastLineSeries1->XValue(TChart::kHistory - 1));
  EXPECT_EQ(page->Chart_PhyMem->View().YMin, 0);
  EXPECT_NEAR(page->Chart_PhyMem->View().YMax, 6144, 60);
}

// The success text only when the system trimmed some process; a run that trimmed none (every
// process refused) says so.
TEST_F(MemoryPageFixture, OptimizeTrimsTheRunningProcessesAndSaysSoOnlyWhenItDid) {
  TMemorySaviorForm* page = Open();
  page->OptimizeBtn->Click();
  page->OpenProcess = [](DWORD, DWORD) { return HANDLE(nullptr); };
  page->OptimizeBtn->Click();
  ASSERT_EQ(MessageBoxes().Calls.size(), 2u);
  EXPECT_EQ(MessageBoxes().Calls[0].text + Format(" %u", MessageBoxes().Calls[0].flags), "Memory Optimizes Successfully! 0");
  EXPECT_EQ(MessageBoxes().Calls[1].text + Format(" %u", MessageBoxes().Calls[1].flags),
            Format("The memory could not be optimized: the system let no running program give its memory back. %u",
                   (unsigned)MB_ICONWARNING));
  EXPECT_TRUE(!page->TweakGauge->Visible() && page->OptimizeBtn->Enabled());
}

TEST_F(MemoryPageFixture, ThePageStopsItsTimerBeforeItGoes) {
  TMemorySaviorForm* page = Open();
  EXPECT_TRUE(page->Timer1.Enabled());
  bool runningAtDestroy = true;
  TNotifyEvent destroy = page->OnDestroy;
  page->OnDestroy = [&](TObject* s) {
    destroy(s);
    runningAtDestroy = page->Timer1.Enabled();
  };
  page->Free();
  EXPECT_FALSE(runningAtDestroy);

  // Freed while a handler still runs: the page waits hidden and its next tick only stops the timer.
  page = Open();
  {
    TBusyGuard busy(page);
    page->FreeWhenIdle();
    page->Timer1.OnTimer(&page->Timer1);
    EXPECT_FALSE(page->Timer1.Enabled());
    EXPECT_EQ(page->Label_pmTotal->Caption(), "");
  }
}
