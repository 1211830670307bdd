// The seventeen registry sections of the scan page, as one table that the scan driver, the results
// page, the repair-script backup and the repair all read; and the scan over the ticked sections.
#pragma once

#include <array>
#include <functional>
#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "../framework/Strings.h"
#include "../scan/IgnoreItemUnit.h"
#include "../scan/RegistryContentUnit.h"
#include "../scan/SectionCommon.h"

namespace MainUnit {

inline constexpr int SectionCount = 17;

// A section's scan with the table's root key and key path already bound (and the arguments the
// section does not take left out): section index, current-item panel, count label, ignore list,
// the section's findings.
using TScanRoutine = std::function<void(int index, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                                        TIgnoreContents& ignoreList, TRegistryContents& contents)>;
// A section's repair: status label, finish list, the section's findings, the repair log.
using TRepairRoutine = std::function<void(TCaptionTarget& status, TListCountTarget& finishList,
                                          TRegistryContents& contents, TRepairContents& log)>;

struct TSection {
  std::string Caption;
  HKEY Root = nullptr;          // the (first) root key the scan is given; none for shortcuts
  std::string KeyPath;          // the key path the scan is given
  // What a repair removes, for the backup: the section unit's RepairStyle.Form, which its repair walks with.
  SectionCommon::TRepairForm RepairForm = SectionCommon::TRepairForm::Value;
  std::string Severity;         // "Low", "Normal" or "High", shown on the results page
  std::string Description;
  TScanRoutine Scan;            // empty: the section scans nothing
  TRepairRoutine Repair;        // empty: the section repairs nothing
};

using TSectionTable = std::array<TSection, SectionCount>;
// The table in section order; section n is at index n - 1. Tests may put routines of their own in.
TSectionTable& Sections();

using TSectionResults = std::array<TRegistryContents, SectionCount>;

// The main window's result state, created with the window and freed with it (null otherwise).
extern TSectionResults* SectionResults;
extern TRepairContents* RepairLog;
extern TIgnoreContents* IgnoreList;

// The number of findings over all seventeen sections.
int TotalProblemCount();

// Pictures of the data module's StatImageList.
enum TStatImage {
  StatUnticked = 0,
  StatTicked = 1,
  StatAnimFirst = 4,
  StatAnimLast = 10,
  StatClean = 11,
  StatFound = 12,
  StatNone = -1,   // the picture cleared
};

// What the scan shows while it runs; the main window implements it with its controls.
class TScanView {
 public:
  virtual ~TScanView() = default;
  virtual bool SectionTicked(int index) const = 0;
  virtual void ShowSectionImage(int index, int image) = 0;
  virtual TCaptionTarget* CountLabel(int index) = 0;
  virtual TCaptionTarget* CurrentItem() = 0;
  virtual void ScanningSection(int number) = 0;       // 1..17, or -1 while an unticked one is passed
  virtual void ShowTotalProcess(int percent) = 0;     // the total label and the progress bar
};

// "Total Process: %d" followed by "%".
std::string TotalProcessText(int percent);

// Scans the ticked sections in table order: loads the ignore list, resets the counters, stops
// before a section when the run state is 1, and shows each section's outcome and the share of
// sections done. A section's error ends the scan like an abort; its text is returned ("" when
// the scan ran to its end or was aborted).
std::string ScanSections(TScanView& view, TSectionResults& results, TIgnoreContents& ignoreList);

// The elapsed-time label's text "hh:mm:ss" (hours of the day) for a span of days.
std::string ElapsedClockText(TDateTime elapsed);
// The results page's elapsed-time text built from that label: minutes and seconds only.
std::string ElapsedTimeText(const std::string& clockText);

}  // namespace MainUnit
