#include "SystemRepairUnitWalk.h"

#include <vector>

#include "../../framework/Processes.h"
#include "../../framework/Strings.h"

namespace SystemRepairUnit {

bool QualifiesForRegistration(const TFoundFile& file) {
  if (file.IsFolder() || file.IsReparsePoint()) return false;
  std::string extension = UpperCase(ExtractFileExt(file.Name));
  return extension == ".DLL" || extension == ".OCX";
}

std::string RegisterCommandLine(const std::string& path) { return "regsvr32.exe /s \"" + path + "\""; }

bool RegisterOne(const std::string& path, DWORD timeoutMs) {
  DWORD exitCode = 0;
  return RunHiddenAndWait(RegisterCommandLine(path), timeoutMs, exitCode) == TRunOutcome::Ended && exitCode == 0;
}

int ReRegisterFolder(const std::string& folder, const std::function<bool()>& goOn,
                     const std::function<void(const std::string& path, bool registered)>& onRegistered,
                     DWORD timeoutMs) {
  std::string base = IncludeTrailingBackslash(folder);
  int count = 0;
  ForEachFile(base, "*.*", [&](const TFoundFile& file) {
    if (!goOn()) return false;
    if (!QualifiesForRegistration(file)) return true;
    std::string path = base + file.Name;
    onRegistered(path, RegisterOne(path, timeoutMs));
    ++count;
    return true;
  });
  return count;
}

}  // namespace SystemRepairUnit
