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

bool IsSharedDllReported(const std::string& name, int count) {
  std::vector<std::string> readings = PathJudgeUnit::ExpandedReadings(name);
  for (const std::string& path : readings)
    if (!WithinPathLimit(path) || SectionCommon::OutOfReach(path) || !IsOnFixedDriveNow(path) ||
        (count != 0 && ScanFileExists(path)))
      return false;
  return !readings.empty();
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
    int count = UseCount(value);
    SectionCommon::ShowItem(currentItem, name);
    TickItemsProcessed();
    std::string upperName = AnsiUpperCase(name);
    if (IsPassedOver(upperName)) continue;
    if (IsSharedDllReported(name, count)) {
      if (Pos("msoe.dll", name) > 0) break;   // the mail program's shared files end the section
      SectionCommon::AddMissingPathFinding(
          contents, countLabel,
          {.KeyPath = sectionKey, .ShortName = "SharedDlls", .ValueName = name, .Value = IntToStr(count)}, "default",
          name, name);
    }
    ProcessMessages();
  }
}

void RepairSharedDlls(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                      TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log);
}

}  // namespace SharedDLLsUnit
