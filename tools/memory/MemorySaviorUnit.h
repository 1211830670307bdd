// The "Tweak Memory" tool: once a second the processor load and the use of physical and virtual
// memory as numbers, gauges and two scrolling charts; "Optimize" empties the working set of
// every running process.
#pragma once

#include <functional>

#include "../../app/ToolPage.h"
#include "../../framework/Chart.h"
#include "../../framework/ComCtrls.h"
#include "../../framework/StdCtrls.h"
#include "../../framework/Timer.h"
#include "CPUUsageUnit.h"
#include "MemorySaviorUnitSystem.h"

class TMemorySaviorForm : public TToolPage {
 public:
  explicit TMemorySaviorForm(TControl* host);
  ~TMemorySaviorForm() override;

  TChart *Chart_CPUs, *Chart_PhyMem;
  TChartSeries *FastLineSeries1, *FastLineSeries2, *Series1;
  TProgressBar *Gauge_CPU, *Gauge_Mem, *TweakGauge;
  TGroupBox *GroupPhysical, *GroupVirtual;
  TLabel *Label_pmTotal, *Label_pmUsage, *Label_pmFree;
  TLabel *Label_vmTotal, *Label_vmUsage, *Label_vmFree;
  TLabel *Label_CPUusage, *Label_PMu, *Label_VMu;   // kept up to date, never shown
  TButton* OptimizeBtn;
  TTimer Timer1;

  // Where the figures come from (tests give recorded ones): the memory status, the processor
  // load meter of the NT family and the processes to trim.
  std::function<MemorySaviorUnit::TMemoryStatus()> MemoryStatus = [] { return MemorySaviorUnit::ReadMemoryStatus(); };
  CPUUsageUnit::TCpuLoadMeter* Meter;
  MemorySaviorUnit::TOpenProcess OpenProcess = MemorySaviorUnit::OpenSystemProcess;

  void FormShow(TObject* sender);
  void FormDestroy(TObject* sender);
  void Timer1Timer(TObject* sender);
  void OptimizeBtnClick(TObject* sender);
  // One tick: the memory figures and the processor load into charts, gauges and labels.
  void RefreshDisplay();
  // The processor load in percent, from the source of this Windows family.
  double GetCPUUsage();

 private:
  void BuildCharts();
  void BuildGauges();
  void BuildGroupRows(TGroupBox* group, TLabel*& total, TLabel*& usage, TLabel*& free);
  void BuildOptimize();
};
