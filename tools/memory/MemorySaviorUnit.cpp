#include "MemorySaviorUnit.h"

#include <algorithm>

#include "../../framework/Dialogs.h"
#include "../../framework/PageBuilders.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

using namespace MemorySaviorUnit;

namespace {

const char* const kCaption = "Memory Savior";
const char* const kCpuUsage = "CPU Usage";
const char* const kMemoryUsage = "Memory Usage";
const char* const kPhysicalMemory = "Physical Memory";
const char* const kVirtualMemory = "Virtual Memory";
const char* const kTotal = "Total:";
const char* const kUsage = "Usage:";
const char* const kFree = "Free:";
const char* const kOptimize = "Optimize";

constexpr TColor kPhysicalColor = 4227327;   // orange
constexpr int kTickMs = 1000;
constexpr int kZoomSteps = 1;

// Where the 9x family keeps its processor load (a 32-bit percent).
const char* const kDynStatKey = "PerfStats\\StatData";
const wchar_t* const kDynCpuValue = L"KERNEL\\CPUUsage";

// The processor load the 9x family publishes in its dynamic registry data.
int DynDataCpuUsage() {
  TRegKeyHandle key;
  if (!key.Open(HKEY_DYN_DATA, kDynStatKey)) return 0;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExW(key.Get(), kDynCpuValue, nullptr, &type, (BYTE*)&value, &size) != ERROR_SUCCESS ||
      size != sizeof value)
    return 0;
  return (int)std::min<DWORD>(value, 100);
}

}  // namespace

TToolPage* NewMemoryOptimizerPage(TControl* host) { return new TMemorySaviorForm(host); }

TMemorySaviorForm::TMemorySaviorForm(TControl* host)
    : TToolPage(host, "TMemorySaviorForm"), Meter(&CPUUsageUnit::SystemMeter()) {
  SetCaption(kCaption);
  SetColor(clWhite);
  BuildGauges();
  BuildCharts();
  BuildOptimize();
  Timer1.SetInterval(kTickMs);
  Timer1.OnTimer = [this](TObject* s) { Timer1Timer(s); };
  Timer1.SetEnabled(true);
  OnShow = [this](TObject* s) { FormShow(s); };
  OnDestroy = [this](TObject* s) { FormDestroy(s); };
  DoCreate();
}

// The timer stops before anything of the page goes, whichever way the page is freed.
TMemorySaviorForm::~TMemorySaviorForm() { Timer1.SetEnabled(false); }

void TMemorySaviorForm::BuildGauges() {
  NewLabel(this, kCpuUsage, 8, 6, 150);
  Gauge_CPU = new TProgressBar(this);
  Gauge_CPU->SetBounds(8, 22, 150, 16);
  Gauge_CPU->SetBarColor(clLime);
  NewLabel(this, kMemoryUsage, 8, 46, 150);
  Gauge_Mem = new TProgressBar(this);
  Gauge_Mem->SetBounds(8, 62, 150, 16);
  Gauge_Mem->SetBarColor(kPhysicalColor);
  GroupPhysical = NewGroup(this, kPhysicalMemory, 8, 86, 150, 78);
  BuildGroupRows(GroupPhysical, Label_pmTotal, Label_pmUsage, Label_pmFree);
  GroupVirtual = NewGroup(this, kVirtualMemory, 8, 170, 150, 78);
  BuildGroupRows(GroupVirtual, Label_vmTotal, Label_vmUsage, Label_vmFree);
  Label_CPUusage = NewLabel(this, "", 0, 0, 0, 0);
  Label_PMu = NewLabel(this, "", 0, 0, 0, 0);
  Label_VMu = NewLabel(this, "", 0, 0, 0, 0);
  for (TLabel* hidden : {Label_CPUusage, Label_PMu, Label_VMu}) hidden->Hide();
}

void TMemorySaviorForm::BuildGroupRows(TGroupBox* group, TLabel*& total, TLabel*& usage, TLabel*& free) {
  TLabel** values[] = {&total, &usage, &free};
  const char* captions[] = {kTotal, kUsage, kFree};
  for (int row = 0; row < 3; ++row) {
    NewLabel(group, captions[row], 10, 18 + row * 18, 50);
    *values[row] = NewLabel(group, "", 62, 18 + row * 18, 80);
    (*values[row])->Alignment = TAlignment::RightJustify;
  }
}

void TMemorySaviorForm::BuildCharts() {
  Chart_CPUs = new TChart(this);
  Chart_CPUs->SetBounds(166, 6, 315, 136);
  FastLineSeries1 = &Chart_CPUs->AddSeries("", clLime);
  Chart_PhyMem = new TChart(this);
  Chart_PhyMem->SetBounds(166, 148, 315, 136);
  FastLineSeries2 = &Chart_PhyMem->AddSeries("PM", kPhysicalColor);
  Series1 = &Chart_PhyMem->AddSeries("VM", clFuchsia);
  // The charts draw no legend: these two labels name the memory chart's colours.
  NewLabel(this, kPhysicalMemory, 206, 288, 110)->SetFontColor(kPhysicalColor);
  NewLabel(this, kVirtualMemory, 336, 288, 110)->SetFontColor(clFuchsia);
}

void TMemorySaviorForm::BuildOptimize() {
  TweakGauge = new TProgressBar(this);
  TweakGauge->SetBounds(8, 258, 150, 16);
  TweakGauge->Hide();
  OptimizeBtn = new TButton(this);
  OptimizeBtn->SetBounds(8, 282, 150, 27);
  OptimizeBtn->SetCaption(kOptimize);
  OptimizeBtn->OnClick = [this](TObject* s) { OptimizeBtnClick(s); };
}

void TMemorySaviorForm::FormShow(TObject*) {
  TMemoryStatus memory = MemoryStatus();
  Chart_PhyMem->SetLeftAxis(0, Mib(memory.TotalPhys));
  Chart_CPUs->SetLeftAxis(0, 100);
  for (TChart* chart : {Chart_PhyMem, Chart_CPUs}) {
    chart->AnimatedZoom = true;   // a zoom goes to the part dragged over in one step
    chart->AnimatedZoomSteps = kZoomSteps;
    for (int i = 0; i < chart->SeriesCount(); ++i) chart->Series(i).Fill(TChart::kHistory, 0);
    chart->Invalidate();
  }
}

void TMemorySaviorForm::FormDestroy(TObject*) { Timer1.SetEnabled(false); }

void TMemorySaviorForm::Timer1Timer(TObject*) {
  if (Closing()) {   // waiting to be freed: nothing more to show
    Timer1.SetEnabled(false);
    return;
  }
  RefreshDisplay();
}

double TMemorySaviorForm::GetCPUUsage() {
  switch (PublicFunctionUnit::PlatformKind) {
    case 2: return DynDataCpuUsage();
    case 4: return Meter->Next();
    default: return 0;
  }
}

void TMemorySaviorForm::RefreshDisplay() {
  TMemoryStatus memory = MemoryStatus();
  FastLineSeries2->Scroll(Mib(memory.UsedPhys()));
  Label_PMu->SetCaption(IntToStr(Mib(memory.UsedPhys())) + " MB");
  Series1->Scroll(Mib(memory.UsedPageFile()));
  Label_VMu->SetCaption(IntToStr(Mib(memory.UsedPageFile())) + " MB");

  int load = (int)GetCPUUsage();
  for (int i = 0; i < Chart_CPUs->SeriesCount(); ++i) Chart_CPUs->Series(i).Scroll(load);
  Label_CPUusage->SetCaption(IntToStr(load) + "%");

  Gauge_Mem->SetRange(0, Mib(memory.TotalPhys));
  Gauge_Mem->SetPosition(Mib(memory.TotalPhys) - Mib(memory.AvailPhys));
  Gauge_CPU->SetRange(0, 100);
  Gauge_CPU->SetPosition(load);

  Label_vmTotal->SetCaption(MbText(memory.TotalPageFile));
  Label_vmFree->SetCaption(MbText(memory.AvailPageFile));
  Label_vmUsage->SetCaption(MbText(memory.UsedPageFile()));
  Label_pmTotal->SetCaption(MbText(memory.TotalPhys));
  Label_pmFree->SetCaption(MbText(memory.AvailPhys));
  Label_pmUsage->SetCaption(MbText(memory.UsedPhys()));
  Chart_PhyMem->Invalidate();
  Chart_CPUs->Invalidate();
}

void TMemorySaviorForm::OptimizeBtnClick(TObject*) {
  TBusyGuard busy(this);   // the closing message box runs a message loop
  OptimizeBtn->SetEnabled(false);
  TProcessList processes(OpenProcess);
  processes.Snapshot();
  TweakGauge->SetRange(0, std::max(0, processes.Count() - 1));
  TweakGauge->SetPosition(0);
  TweakGauge->Show();
  int trimmed = processes.TrimAll([this](int position) {
    TweakGauge->SetPosition(position);
    TweakGauge->Repaint();
  });
  processes.CloseAll();
  TweakGauge->SetPosition(0);
  TweakGauge->Hide();
  if (trimmed > 0) ShowMessageBox(kOptimizedText, MB_OK);
  else ShowMessageBox(kNotOptimizedText, MB_ICONWARNING);
  if (Closing()) return;
  OptimizeBtn->SetEnabled(true);
}
