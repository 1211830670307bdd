// "Start Menu Items": every subkey of the Start menu's order key and every value under those
// subkeys is reported; the repair removes the subkeys and only logs the value findings.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace StartMenuItemUnit {

inline constexpr const char* SectionCaption = "Start Menu Items";

void ScanStartMenuItems(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                        TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                        HKEY root);

// A finding whose Value is "key" removes its subkey with its values; a value finding is logged and
// removes nothing.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::KeyOrNothing,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};

void RepairStartMenuItems(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                          TRepairContents& log);

}  // namespace StartMenuItemUnit
