#include "SharedDLLsUnit.h"

#include <cstring>

#include "../framework/Strings.h"
#include "PathJudgeUnit.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace SharedDLLsUnit {

using namespace PublicFunctionUnit;

// The use count a value holds, read by its type.
static int UseCount(const TRegValue& value) {
  switch (value.Type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return (int)StrToIntDef(RegValueText(value), 0);
    case REG_DWORD: {
      uint32_t n = 0;   // a short double word counts with the bytes it has
      memcpy(&n, value.Data.data(), value.Data.size() < 4 ? value.Data.size() : 4);
      return (int)n;
    }
    case REG_BINARY:
      return value.Data.empty() ? 0 : value.Data[0];
    default:
      return -1;
  }
}

// Names the scan never judges: drivers and the media player's shared files.
static bool IsPassedOver(const std::string& upperName) {
  return Pos(".SYS", upperName) > 0 || Pos(".VXD", upperName) > 0 || Pos("ITUNES", upperName) > 0;
}

// A count of 0 is reported whether or not the file is there, wherever it may be judged. The key's
// unnamed value names no file at all: it is always reported.
bool IsSharedDllReported(const std::string& name, int count) {
  if (name.empty()) return true;
  return PathJudgeUnit::MissingInEveryReading(PathJudgeUnit::ExpandedReadings(name),
                                              count == 0 ? PathJudgeUnit::MayJudge : PathJudgeUnit::FileMissing);
}

// What examining one value came to.
enum class TDllOutcome { PassedOver, Examined, EndOfSection };

// Reports one SharedDlls value when its use count is 0 or its file is missing.
static TDllOutcome CheckDllValue(const std::string& sectionKey, const std::string& name, const TRegValue& value,
                                 TCaptionTarget* countLabel, TRegistryContents& contents) {
  int count = UseCount(value);
  if (IsPassedOver(AnsiUpperCase(name))) return TDllOutcome::PassedOver;
  if (!IsSharedDllReported(name, count)) return TDllOutcome::Examined;
  if (Pos("msoe.dll", name) > 0) return TDllOutcome::EndOfSection;   // the mail program's shared files
  SectionCommon::AddMissingPathFinding(contents, countLabel,
                                       {.KeyPath = sectionKey, .ShortName = "SharedDlls", .ValueName = name,
                                        .Value = IntToStr(count), .UnnamedValue = name.empty()},
                                       "default", name, name);
  return TDllOutcome::Examined;
}

void ScanSharedDlls(int, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                    TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  contents.Clear();
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  if (root == nullptr || !reg.OpenKey(keyPath, false)) return;
  const std::string sectionKey = Format("%s\\%s", RootKeyName(root), keyPath);
  TValueReader values(reg.CurrentKey());
  std::string name;
  TRegValue value;
  while (values.Next(name, value)) {
    if (ScanStopRequested()) break;
    if (IsIgnored(ignoreList, SectionCaption, sectionKey, name)) continue;   // only this value is passed over
    SectionCommon::ShowItem(currentItem, name);
    TickItemsProcessed();
    TDllOutcome outcome = CheckDllValue(sectionKey, name, value, countLabel, contents);
    if (outcome == TDllOutcome::PassedOver) continue;
    if (outcome == TDllOutcome::EndOfSection) break;
    ProcessMessages();
  }
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  TRegValue value;
  if (!check.ReadValue(RepairStyle.Form, finding, value)) return false;
  CheckDllValue(finding.KeyPath, SectionCommon::ListedValueName(finding), value, nullptr, check.Found);
  return check.Gives(finding);
}

void RepairSharedDlls(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                      TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace SharedDLLsUnit
