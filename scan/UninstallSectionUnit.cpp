#include "UninstallSectionUnit.h"

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PathJudgeUnit.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace UninstallSectionUnit {

using namespace PublicFunctionUnit;

std::string CommandToExePath(const std::string& command) {
  if (ScanFileExists(command)) return command;
  return PathJudgeUnit::ReadProgramPath(command);
}

bool UninstallTargetExists(const std::string& command) { return PathJudgeUnit::CommandLineProgramExists(command); }

bool IsUninstallCommandBroken(const std::string& command) {
  if (command.empty() || Pos(":", command) == 0) return false;
  // The arguments may name other drives: a command naming a drive out of reach is left alone.
  auto broken = [](const std::string& reading) {
    return Pos(":", reading) > 0 && !PathJudgeUnit::OutOfReach(reading) && !UninstallTargetExists(reading) &&
           PathJudgeUnit::FileMissing(CommandToExePath(Trim(reading)));
  };
  return PathJudgeUnit::MissingInEveryReading(PathJudgeUnit::ExpandedReadings(command), broken);
}

// Judges one uninstall subkey, open in `reg`.
static void CheckUninstallKey(TRegistry& reg, const std::string& keyText, const std::string& name,
                              TCaptionTarget* countLabel, TIgnoreContents& ignoreList, TRegistryContents& contents) {
  if (IsIgnored(ignoreList, SectionCaption, keyText, "UninstallString")) return;
  std::string command;
  if (!reg.ReadText("UninstallString", command)) return;
  command = StringReplace(command, "\"", "");
  if (!IsUninstallCommandBroken(command)) return;
  TContent& c = SectionCommon::AddMissingPathFinding(
      contents, countLabel, {.KeyPath = keyText, .ShortName = name, .ValueName = "UninstallString", .Value = command},
      "UninstallString", command, command);
  c.FaultLine = "The file (" + command + ") does not exist at the specified location";
}

void ScanUninstallEntries(int, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                          TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  contents.Clear();
  std::vector<std::string> names = SectionCommon::ListSubkeyNames(root, keyPath);
  const std::string rootName = RootKeyName(root);
  for (const std::string& name : names) {
    if (ScanStopRequested()) return;
    SectionCommon::ShowItem(currentItem, name);
    TickItemsProcessed();
    TRegistry reg(KEY_READ);
    reg.RootKey = root;
    if (reg.OpenKey("\\" + SectionCommon::ChildKeyPath(keyPath, name), false))
      CheckUninstallKey(reg, Format("%s\\%s\\%s", rootName, keyPath, name), name, countLabel, ignoreList, contents);
    ProcessMessages();
  }
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  TRegistry reg(KEY_READ);
  if (!check.OpenKey(finding, reg)) return false;
  CheckUninstallKey(reg, finding.KeyPath, finding.ShortName, nullptr, check.NoExclusions, check.Found);
  return check.Gives(finding);
}

void RepairUninstallEntries(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace UninstallSectionUnit
