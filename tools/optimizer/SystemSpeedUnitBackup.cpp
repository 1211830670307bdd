#include "SystemSpeedUnitBackup.h"

#include "../../app/MainUnitBackup.h"
#include "../../framework/Exceptions.h"
#include "../../framework/Handles.h"
#include "../../framework/IniFiles.h"
#include "../../scan/PublicFunctionUnit.h"
#include "SpeedItemUnit.h"

namespace SystemSpeedUnit {

namespace {

const char* const kStartKey = "Start";
const char* const kRunningKey = "Running";
const char* const kServicePrefix = "Service ";

// One saved service as its section says.
struct TSavedService {
  std::string Service;
  std::string Start;
  bool Running = false;
};

// The services the file holds states of, in box order (each once).
std::vector<TSavedService> SavedServices(const TIniFile& ini) {
  std::vector<TSavedService> services;
  for (const TServiceBox& box : ServiceBoxes) {
    bool seen = false;
    for (const TSavedService& s : services) seen = seen || s.Service == box.Service;
    std::string section = ServiceSectionName(box.Service);
    if (seen || !ini.SectionExists(section)) continue;
    services.push_back(
        {box.Service, ini.ReadString(section, kStartKey, ""), ini.ReadString(section, kRunningKey, "") == "1"});
  }
  return services;
}

// Puts back one saved service: its start type first, then its run state. Returns the changes
// that were refused or could not be made (a start type this program never saves is one).
int RestoreServiceState(const TSavedService& saved) {
  long long start = 0;
  if (!TryStrToInt(saved.Start, start) || start < SERVICE_BOOT_START || start > SERVICE_DISABLED) return 1;
  int refused = UnitServicesOptimize::SetServiceStartValue((DWORD)start, saved.Service) ? 0 : 1;
  DWORD error = ERROR_SUCCESS;
  if (saved.Running)
    UnitServicesOptimize::StartServiceByName(saved.Service, &error);
  else
    UnitServicesOptimize::StopServiceByName(saved.Service, &error);
  return refused + (UnitServicesOptimize::IsExpectedServiceError(error) ? 0 : 1);
}

}  // namespace

std::string SpeedBackupFolder() { return MainUnit::RepairBackupFolder(); }

std::string SpeedBackupFileName(const std::string& folder, TDateTime stamp) {
  return IncludeTrailingBackslash(folder) + "speedRestore" + FormatDateTime("yyyymmdd_hhnnss", stamp) + ".ini";
}

std::string ServiceSectionName(const std::string& service) { return kServicePrefix + service; }

void BackupServiceState(const std::string& fileName, const std::string& service) {
  TIniFile ini(fileName);
  {
    SpeedItemUnit::TBackupReading reading(fileName);
    if (ini.SectionExists(ServiceSectionName(service))) return;   // the state before the first change stays
  }
  UnitServicesOptimize::TServiceState state = UnitServicesOptimize::QueryServiceState(service);
  if (!state.Installed) return;
  SpeedItemUnit::MarkSpeedBackup(fileName);
  ini.WriteString(ServiceSectionName(service), kStartKey, std::to_string(state.StartType));
  ini.WriteString(ServiceSectionName(service), kRunningKey, state.Running ? "1" : "0");
}

int ApplyServiceChoices(const std::array<TServiceChoice, ServiceBoxCount>& boxes, const std::string& backupFile,
                        std::vector<std::string>* refusedServices) {
  int refused = 0;
  for (int i = 0; i < ServiceBoxCount; ++i) {
    if (!boxes[i].Driven) continue;
    const TServiceBox& box = ServiceBoxes[i];
    if (!backupFile.empty()) BackupServiceState(backupFile, box.Service);
    UnitServicesOptimize::TServiceOutcome outcome = boxes[i].Checked ? box.Enable() : box.Disable();
    if (!outcome.Refused) continue;
    ++refused;
    if (refusedServices != nullptr) refusedServices->push_back(ServiceSectionName(box.Service));
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
  std::vector<SpeedItemUnit::TSpeedUndo> undos;
  std::vector<TSavedService> services;
  try {
    SpeedItemUnit::TBackupReading reading(fileName);
    if (!PublicFunctionUnit::IsCurrentUsersSid(SpeedItemUnit::SpeedBackupUser(ini))) {
      result.OtherUser = true;
      return result;
    }
    result.Marked = SpeedItemUnit::IsMarkedSpeedBackup(ini);
    for (int item = 1; item <= SpeedItemUnit::SpeedItemCount; ++item) {
      std::string section = SpeedItemUnit::SpeedSectionName(item);
      if (!ini.SectionExists(section)) continue;
      try {
        undos.push_back(SpeedItemUnit::ReadSpeedUndo(item, ini, result.Marked));
      } catch (const EConvertError& e) {
        result.NotRestored.push_back(section + ": " + e.what());
      }
    }
    services = SavedServices(ini);
  } catch (const EInOutError&) {
    result.Unreadable = true;
    return result;
  }
  for (const SpeedItemUnit::TSpeedUndo& undo : undos) {
    int refused = SpeedItemUnit::RunSpeedUndo(undo, ini);
    if (refused != 0) result.NotRestored.push_back(SpeedItemUnit::SpeedSectionName(undo.Item));
    result.Refused += refused;
  }
  for (const TSavedService& service : services) {
    int refused = RestoreServiceState(service);
    if (refused != 0) result.NotRestored.push_back(ServiceSectionName(service.Service));
    result.Refused += refused;
    result.ServicesRestored = true;
  }
  return result;
}

std::vector<TSpeedBackupRow> ListSpeedBackupFiles(const std::string& folder) {
  std::vector<TSpeedBackupRow> rows;
  std::string dir = IncludeTrailingBackslash(folder);
  ForEachFile(dir, "*.ini", [&](const TFoundFile& f) {
    if (f.Attributes == FILE_ATTRIBUTE_DIRECTORY || Pos("SPEED", AnsiUpperCase(f.Name)) == 0) return true;
    if (PublicFunctionUnit::IsCurrentUsersSid(SpeedItemUnit::SpeedBackupUser(TIniFile(dir + f.Name))))
      rows.push_back({f.Name, dir + f.Name});
    return true;
  });
  return rows;
}

}  // namespace SystemSpeedUnit
