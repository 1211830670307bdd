// "User Software Settings": the software-settings walk over the current user's tree, with the
// section's own skip texts, ignore test order and finding texts (see SystemSoftWareSettingUnit).
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"
#include "SystemSoftWareSettingUnit.h"

namespace UserSoftWareSettings {

inline constexpr const char* SectionCaption = "User Software Settings";

extern const SystemSoftWareSettingUnit::TSettingsWalk UserWalk;

void ScanUserSoftwareSettings(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                              TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                              HKEY root);
// Deletes each ticked finding's value; an error ends the repair with its message.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .MessagesPerFinding = true};
void RepairUserSoftwareSettings(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                                TRepairContents& log);

}  // namespace UserSoftWareSettings
