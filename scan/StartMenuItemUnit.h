// "Start Menu Items": every subkey of the Start menu's order key and every value under those
// subkeys is reported; the repair removes the subkey, or the value a finding names.
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

// A finding whose Value is "key" removes its subkey, every other one the value it names. Value
// findings under a key that the same repair removed count as repaired.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::KeyOrValue,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true,
                                                         .GoneCountsAsRepaired = true};

void RepairStartMenuItems(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                          TRepairContents& log);

}  // namespace StartMenuItemUnit
