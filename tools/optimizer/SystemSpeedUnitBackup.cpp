#include "SystemSpeedUnitBackup.h"

#include "../../app/MainUnitBackup.h"
#include "../../framework/Handles.h"
#include "../../framework/IniFiles.h"
#include "SpeedItemUnit.h"

namespace SystemSpeedUnit {

namespace {

const char* const kStartKey = "Start";
const char* const kRunningKey = "Running";
const char* const kServicePrefix = "Service ";

// Puts back one saved service: its start type first, then its run state.
int RestoreServiceState(TIniFile& ini, const std::string& service) {
  std::string section = ServiceSectionName(service);
  long long start = 0;
  if (!TryStrToInt(ini.ReadString(section, kStartKey, ""), start) || start < SERVICE_AUTO_START ||
      start > SERVICE_DISABLED)
    return 0;   // not a start type this program saves
  int refused = UnitServicesOptimize::SetServiceStartValue((DWORD)start, service) ? 0 : 1;
  DWORD error = ERROR_SUCCESS;
  if (ini.ReadString(section, kRunningKey, "") == "1")
    UnitServicesOptimize::StartServiceByName(service, &error);
  else
    UnitServicesOptimize::StopServiceByName(service, &error);
  return refused + (UnitServicesOptimize::IsExpectedServiceError(error) ? 0 : 1);
}

// The services the file holds states of, in box order (each once).
std::vector<std::string> SavedServices(TIniFile& ini) {
  std::vector<std::string> services;
  for (const TServiceBox& box : ServiceBoxes) {
    bool seen = false;
    for (const std::string& s : services) seen = seen || s == box.Service;
    if (!seen && ini.SectionExists(ServiceSectionName(box.Service))) services.push_back(box.Service);
  }
  return services;
}

}  // namespace

std::string SpeedBackupFolder() { return MainUnit::RepairBackupFolder(); }

std::string SpeedBackupFileName(const std::string& folder, TDateTime stamp) {
  return IncludeTrailingBackslash(folder) + "speedRestore" + FormatDateTime("yyyymmdd_hhnnss", stamp) + ".ini";
}

std::string ServiceSectionName(const std::string& service) { return kServicePrefix + service; }

void BackupServiceState(const std::string& fileName, const std::string& service) {
  TIniFile ini(fileName);
  if (ini.SectionExists(ServiceSectionName(service))) return;   // the state before the first change stays
  UnitServicesOptimize::TServiceState state = UnitServicesOptimize::QueryServiceState(service);
  if (!state.Installed) return;
  ini.WriteString(ServiceSectionName(service), kStartKey, std::to_string(state.StartType));
  ini.WriteString(ServiceSectionName(service), kRunningKey, state.Running ? "1" : "0");
}

int ApplyServiceChoices(const std::array<TServiceChoice, ServiceBoxCount>& boxes, const std::string& backupFile) {
  int refused = 0;
  for (int i = 0; i < ServiceBoxCount; ++i) {
    if (!boxes[i].Driven) continue;
    const TServiceBox& box = ServiceBoxes[i];
    if (!backupFile.empty()) BackupServiceState(backupFile, box.Service);
    UnitServicesOptimize::TServiceOutcome outcome = boxes[i].Checked ? box.Enable() : box.Disable();
    if (outcome.Refused) ++refused;
  }
  return refused;
}

int ApplyTweakChoices(const std::array<bool, TweakBoxCount>& checked) {
  int refused = 0;
  for (int i = 0; i < TweakBoxCount; ++i) {
    if (!checked[i]) continue;
    SpeedItemUnit::BackupSpeedItem(TweakBoxes[i].Item);
    refused += SpeedItemUnit::ApplySpeedItem(TweakBoxes[i].Item);
  }
  return refused;
}

int RestoreSpeedSection(const std::string& section, TIniFile& ini) {
  int item = SpeedItemUnit::SpeedItemOfSection(section);
  return item == 0 ? 0 : SpeedItemUnit::UndoSpeedItem(item, ini);
}

TSpeedRestore RestoreSpeedFile(const std::string& fileName) {
  TIniFile ini(fileName);
  TSpeedRestore result;
  for (int item = 1; item <= SpeedItemUnit::SpeedItemCount; ++item) {
    std::string section = SpeedItemUnit::SpeedSectionName(item);
    if (ini.SectionExists(section)) result.Refused += RestoreSpeedSection(section, ini);
  }
  for (const std::string& service : SavedServices(ini)) {
    result.Refused += RestoreServiceState(ini, service);
    result.ServicesRestored = true;
  }
  return result;
}

std::vector<TSpeedBackupRow> ListSpeedBackupFiles(const std::string& folder) {
  std::vector<TSpeedBackupRow> rows;
  std::string dir = IncludeTrailingBackslash(folder);
  ForEachFile(dir, "*.ini", [&](const TFoundFile& f) {
    if (f.Attributes != FILE_ATTRIBUTE_DIRECTORY && Pos("SPEED", AnsiUpperCase(f.Name)) > 0)
      rows.push_back({f.Name, dir + f.Name});
    return true;
  });
  return rows;
}

}  // namespace SystemSpeedUnit
