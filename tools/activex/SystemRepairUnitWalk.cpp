#include "SystemRepairUnitWalk.h"

#include <vector>

#include "../../framework/Processes.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace SystemRepairUnit {

bool QualifiesForRegistration(const TFoundFile& file) {
  if (file.IsFolder() || file.IsReparsePoint()) return false;
  std::string extension = UpperCase(ExtractFileExt(file.Name));
  return extension == ".DLL" || extension == ".OCX";
}

std::string RegisterCommandLine(const std::string& path) {
  std::string program = PublicFunctionUnit::SystemProgram("regsvr32.exe");
  return program.empty() ? std::string() : program + " /s \"" + path + "\"";
}

bool RegisterOne(const std::string& path, DWORD timeoutMs) {
  std::string commandLine = RegisterCommandLine(path);
  if (commandLine.empty()) return false;
  DWORD exitCode = 0;
  return RunHiddenAndWait(commandLine, timeoutMs, exitCode) == TRunOutcome::Ended && exitCode == 0;
}

TWalkResult ReRegisterFolder(const std::string& folder, const std::function<bool()>& goOn,
                             const std::function<void(const std::string& path, bool registered)>& onRegistered,
                             DWORD timeoutMs) {
  std::string base = IncludeTrailingBackslash(folder);
  std::vector<std::string> paths;
  ForEachFile(base, "*.*", [&](const TFoundFile& file) {
    if (QualifiesForRegistration(file)) paths.push_back(base + file.Name);
    return true;
  });
  TWalkResult result;
  for (const std::string& path : paths) {
    if (!goOn()) break;
    bool registered = RegisterOne(path, timeoutMs);
    ++result.Registered;
    if (!registered) ++result.Failed;
    onRegistered(path, registered);
  }
  result.NotReached = (int)paths.size() - result.Registered;
  return result;
}

std::string WalkOutcomeText(const TWalkResult& result) {
  if (result.Complete()) return kWalkDoneText;
  std::string text = kWalkIncompleteText;
  if (result.Failed > 0) text += "\r" + Format(kFailedCountFormat, result.Failed);
  if (result.NotReached > 0) text += "\r" + Format(kNotReachedCountFormat, result.NotReached);
  return text;
}

}  // namespace SystemRepairUnit
