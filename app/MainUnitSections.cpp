#include "MainUnitSections.h"

#include <vector>

#include "../framework/Exceptions.h"
#include "../framework/Strings.h"
#include "../scan/ActivexSection.h"
#include "../scan/ApplicationPathsUnit.h"
#include "../scan/EmptyRegistryUnit.h"
#include "../scan/FileAssociationsUnit.h"
#include "../scan/FileExtensionUnit.h"
#include "../scan/HelpSectionUnit.h"
#include "../scan/InvalidShortCutsUnit.h"
#include "../scan/PublicFunctionUnit.h"
#include "../scan/RecentlyFileUnit.h"
#include "../scan/SharedDLLsUnit.h"
#include "../scan/SoundsUnit.h"
#include "../scan/StartMenuItemUnit.h"
#include "../scan/StartUpUnit.h"
#include "../scan/SystemServicesUnit.h"
#include "../scan/SystemSoftWareSettingUnit.h"
#include "../scan/UninstallSectionUnit.h"
#include "../scan/UserSoftWareSettings.h"
#include "../scan/WindowsFontsUnit.h"

namespace MainUnit {

using namespace PublicFunctionUnit;

TSectionResults* SectionResults = nullptr;
TRepairContents* RepairLog = nullptr;
TIgnoreContents* IgnoreList = nullptr;

namespace {

// A scan routine that takes every argument of the table.
using TFullScan = void (*)(int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&,
                           const std::string&, HKEY);

struct TScanCall {
  TFullScan Scan;
  HKEY Root;
};

// Calls each routine in turn with the table's arguments, into the one collection and count label.
TScanRoutine Standard(std::vector<TScanCall> calls, const std::string& keyPath) {
  return [calls, keyPath](int index, TCaptionTarget* item, TCaptionTarget* count, TIgnoreContents& ignore,
                          TRegistryContents& contents) {
    for (const TScanCall& c : calls) c.Scan(index, item, count, ignore, contents, keyPath, c.Root);
  };
}

// A row's one routine with the row's key path and root key.
TScanRoutine Standard(const TSection& row, TFullScan scan) { return Standard({{scan, row.Root}}, row.KeyPath); }

// Each section's scan and repair routines with the table's arguments and exceptions.
void WireRoutines(TSectionTable& t) {
  t[0].Scan = Standard({{ActivexSection::ScanComKeys, HKEY_CLASSES_ROOT},
                        {ActivexSection::ScanClsidTypeLibs, HKEY_CLASSES_ROOT}},
                       t[0].KeyPath);
  t[0].Repair = ActivexSection::RepairComEntries;
  t[1].Scan = Standard(t[1], ApplicationPathsUnit::ScanApplicationPaths);
  t[1].Repair = ApplicationPathsUnit::RepairApplicationPaths;
  t[2].Scan = Standard(t[2], EmptyRegistryUnit::ScanEmptyRegistryKeys);
  t[2].Repair = EmptyRegistryUnit::RepairEmptyRegistryKeys;
  t[3].Scan = Standard(t[3], FileExtensionUnit::ScanFileExtensions);
  t[3].Repair = FileExtensionUnit::RepairFileExtensions;
  t[4].Scan = Standard(t[4], WindowsFontsUnit::ScanFonts);
  t[4].Repair = WindowsFontsUnit::RepairFonts;
  t[5].Scan = [](int index, TCaptionTarget* item, TCaptionTarget* count, TIgnoreContents& ignore,
                 TRegistryContents& contents) {   // no key path
    HelpSectionUnit::ScanHelpFiles(index, item, count, ignore, contents, HKEY_LOCAL_MACHINE);
  };
  t[5].Repair = HelpSectionUnit::RepairHelpFiles;
  t[6].Scan = Standard(t[6], FileAssociationsUnit::ScanFileAssociations);
  t[6].Repair = FileAssociationsUnit::RepairFileAssociations;
  t[7].Scan = InvalidShortCutsUnit::ScanShortcuts;   // no root or key path
  t[7].Repair = InvalidShortCutsUnit::RepairShortcuts;
  t[8].Scan = Standard(t[8], RecentlyFileUnit::ScanRecentFiles);
  t[8].Repair = RecentlyFileUnit::RepairRecentFiles;
  t[9].Scan = Standard(t[9], SharedDLLsUnit::ScanSharedDlls);
  t[9].Repair = SharedDLLsUnit::RepairSharedDlls;
  t[10].Scan = Standard(t[10], SoundsUnit::ScanSounds);
  t[10].Repair = SoundsUnit::RepairSounds;
  t[11].Scan = Standard(t[11], StartMenuItemUnit::ScanStartMenuItems);
  t[11].Repair = StartMenuItemUnit::RepairStartMenuItems;
  t[12].Scan = Standard(t[12], StartUpUnit::ScanStartupPrograms);
  t[12].Repair = StartUpUnit::RepairStartupPrograms;
  t[13].Scan = [keyPath = t[13].KeyPath](int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&,
                                          TRegistryContents& contents) {   // findings, key path and root only
    SystemServicesUnit::ScanServices(contents, keyPath, HKEY_LOCAL_MACHINE);
  };
  t[13].Repair = SystemServicesUnit::RepairServices;
  t[14].Scan = Standard({{SystemSoftWareSettingUnit::ScanSoftwareSettings, HKEY_LOCAL_MACHINE},
                         {SystemSoftWareSettingUnit::ScanSoftwareSettings, HKEY_USERS}},
                        t[14].KeyPath);
  t[14].Repair = SystemSoftWareSettingUnit::RepairSoftwareSettings;
  t[15].Scan = Standard(t[15], UninstallSectionUnit::ScanUninstallEntries);
  t[15].Repair = UninstallSectionUnit::RepairUninstallEntries;
  t[16].Scan = Standard(t[16], UserSoftWareSettings::ScanUserSoftwareSettings);
  t[16].Repair = UserSoftWareSettings::RepairUserSoftwareSettings;
}

TSectionTable BuildTable() {
  TSectionTable t{{
      {"ActiveX, OLE/COM Entries", HKEY_CLASSES_ROOT, "", ActivexSection::RepairStyle.Form, "High",
       "The invalid or empty registry entities within ActiveX, OLE, COM sections could cause system errors and application crash if not properly fixed."},
      {"Application Paths", HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", ApplicationPathsUnit::RepairStyle.Form, "High",
       "Application Paths section of registry has been found containing invalid entities that point to the incorrect application path."},
      {"Empty Registry Keys", HKEY_USERS, "", EmptyRegistryUnit::RepairStyle.Form, "Low",
       "Empty registry key refers to the entities in registry that no value to associate with."},
      {"File Extensions", HKEY_CLASSES_ROOT, "", FileExtensionUnit::RepairStyle.Form, "Normal",
       "The invalid file extension entities have been found existing in the registry."},
      {"Font Entries", HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", WindowsFontsUnit::RepairStyle.Form, "Normal",
       "The invalid registry entities of the Font could cause the abnormal font styling in applications if not fixed properly."},
      {"Help Section", HKEY_LOCAL_MACHINE, "", HelpSectionUnit::RepairStyle.Form, "Low",
       "The invalid registry entities of the Help File Information section can cause help file opening fail."},
      {"Invalid File Associations", HKEY_CLASSES_ROOT, "", FileAssociationsUnit::RepairStyle.Form, "Normal",
       "The File Association section of registry has contained invalid file associations. If a file type is associated with a program that does not exist then it shows up as an irregularity."},
      {"Invalid Shortcuts", nullptr, "", InvalidShortCutsUnit::RepairStyle.Form, "Low",
       "The Shortcut section of registry has contained some invalid shortcut entities that link to the missing .exe file. This is caused by incorrectly installing and uninstalling software, or moving .lnk file."},
      {"Most Recently Used Files", HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU", RecentlyFileUnit::RepairStyle.Form, "Low",
       "The invalid or empty registry entities of the Recently Used Files have not matched correctly"},
      {"Shared DLL's Sections", HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", SharedDLLsUnit::RepairStyle.Form, "High",
       "The invalid or damaged registry entities could cause the DLL conflict between two applications and thus make your application run instable."},
      {"Sounds Section", HKEY_LOCAL_MACHINE, "Control Panel\\Sounds", SoundsUnit::RepairStyle.Form, "Low",
       "The sounds section of registry has been found containing some junk entities that could cause system slow."},
      {"Start Menu Items", HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs", StartMenuItemUnit::RepairStyle.Form, "Normal",
       "The Start Menu Section of registry has been found containing invalid entities linked to start menu programs."},
      {"Startup Programs", HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder", StartUpUnit::RepairStyle.Form, "Low",
       "This invalid and damaged registry entities of The startup Program section would bring startup errors and cause system slow when Windows startup."},
      {"System Services", HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services", SystemServicesUnit::RepairStyle.Form, "High",
       "System Service section of registry has been found containing some damaged entities related to system services."},
      {"System Software Settings", HKEY_LOCAL_MACHINE, "", SystemSoftWareSettingUnit::RepairStyle.Form, "High",
       "The registry has been found containing some invalid or damaged system software settings records that need to be cleaned or repaired."},
      {"Uninstall Entries", HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", UninstallSectionUnit::RepairStyle.Form, "High",
       "The Uninstall Entries section of registry contains some invalid entities that link to the missing entities. This is caused by the incorrect installing and uninstalling of application in system."},
      {"User Software Settings", HKEY_CURRENT_USER, "", UserSoftWareSettings::RepairStyle.Form, "High",
       "The registry has been found containing some invalid or damaged user software settings records that need to be cleaned or repaired."},
  }};
  WireRoutines(t);
  return t;
}

}  // namespace

TSectionTable& Sections() {
  static TSectionTable table = BuildTable();
  return table;
}

int TotalProblemCount() {
  if (SectionResults == nullptr) return 0;
  int total = 0;
  for (const TRegistryContents& c : *SectionResults) total += c.Count();
  return total;
}

std::string TotalProcessText(int percent) { return Format("Total Process: %d", percent) + "%"; }

namespace {

// Runs one step of the scan; its error text, " " for a silent abort, "" when it ran through.
template <class F>
std::string ScanStep(F&& step) {
  try {
    step();
    return {};
  } catch (const EAbort&) {
    return " ";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace

std::string ScanSections(TScanView& view, TSectionResults& results, TIgnoreContents& ignoreList) {
  for (int i = 0; i < SectionCount; ++i) view.ShowSectionImage(i, StatNone);
  // Without its ignore list the scan would report what the user excluded: it ends before the
  // first section, as a section's error ends it.
  std::string error = ScanStep([&] { LoadIgnoreList(ignoreList); });
  if (!error.empty()) return error == " " ? std::string() : error;
  TScanFileChecks fileChecks;   // each path's existence is looked up once per scan
  VisitedKeyCount = 0;
  ProblemNumber = 0;
  ItemsProcessed = 0;
  int done = 0, total = 0;
  for (int i = 0; i < SectionCount; ++i)
    if (view.SectionTicked(i)) ++total;

  for (int i = 0; i < SectionCount; ++i) {
    if (ScanStopRequested()) break;
    bool ticked = view.SectionTicked(i);
    view.ScanningSection(ticked ? i + 1 : -1);
    if (ticked) {
      TCaptionTarget* count = view.CountLabel(i);
      if (count != nullptr) count->SetCaption("0");
      const TSection& section = Sections()[i];
      error = ScanStep([&] {
        if (section.Scan) section.Scan(i, view.CurrentItem(), count, ignoreList, results[i]);
        // one key met under two names (a hive's aliases) is listed once
        if (SectionCommon::DropRepeatedFindings(section.RepairForm, results[i]))
          SectionCommon::ShowCount(count, results[i]);
      });
      ++done;
      view.ShowSectionImage(i, StatNone);
      view.ShowSectionImage(i, count == nullptr || count->Caption() == "0" ? StatClean : StatFound);
    }
    int percent = total == 0 ? 0 : (int)Round((double)done / total * 100);
    view.ShowTotalProcess(percent);
    if (!error.empty()) break;
  }
  view.ScanningSection(-1);
  return error == " " ? std::string() : error;
}

std::string ElapsedClockText(TDateTime elapsed) {
  if (elapsed < 0) elapsed = 0;
  long long seconds = (long long)Round(elapsed * 86400000.0) / 1000 % 86400;   // whole seconds of the day
  auto twoDigits = [](long long v) { return v < 10 ? Format("0%d", (int)v) : Format("%d", (int)v); };
  return Format("%s:%s:%s", twoDigits(seconds / 3600), twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
}

std::string ElapsedTimeText(const std::string& clockText) {
  long long minutes = StrToIntDef(Copy(clockText, 4, 2), 0);
  long long seconds = StrToIntDef(Copy(clockText, 7, 2), 0);
  std::string text = "Elapsed time: ";
  if (minutes == 1) text += Format("%d minute ", (int)minutes);
  else if (minutes > 1) text += Format("%d minutes ", (int)minutes);
  if (seconds == 1) text += Format("%d second      ", (int)seconds);
  else if (seconds > 1) text += Format("%d seconds      ", (int)seconds);
  if (minutes == 0 && seconds == 0) text += "0 second      ";
  return text;
}

}  // namespace MainUnit
