// "User Software Settings": the software-settings walk over the current user's tree, with the
// section's own skip texts, ignore test order and finding texts (see SystemSoftWareSettingUnit).
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SystemSoftWareSettingUnit.h"

namespace UserSoftWareSettings {

inline constexpr const char* SectionCaption = "User Software Settings";

extern const SystemSoftWareSettingUnit::TSettingsWalk UserWalk;

void ScanUserSoftwareSettings(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                              TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                              HKEY root);
void RepairUserSoftwareSettings(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                                TRepairContents& log);

}  // namespace UserSoftWareSettings
