#include "UserSoftWareSettings.h"

#include "SectionCommon.h"

namespace UserSoftWareSettings {

const SystemSoftWareSettingUnit::TSettingsWalk UserWalk = {
    SectionCaption,
    {"WINLOGON", "OUTLOOK"},
    false,
    false,
    {".SYS", ".VXD", "ITUNES"},
    false,
    false,
    "The file (",
    false,
    " The file (",
    ") does not exist at the specified location",
};

void ScanUserSoftwareSettings(int /*sectionIndex*/, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                              TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                              HKEY root) {
  SystemSoftWareSettingUnit::WalkSettings(UserWalk, currentItem, countLabel, ignoreList, contents, keyPath, root);
}

void RepairUserSoftwareSettings(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                                TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, [](const TContent& finding) {
    return SystemSoftWareSettingUnit::StillFound(UserWalk, finding);
  });
}

}  // namespace UserSoftWareSettings
