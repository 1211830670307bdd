// "Sounds Section": a Sounds key whose unnamed value holds a sound.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace SoundsUnit {

inline constexpr const char* SectionCaption = "Sounds Section";

// The current-item control is not used: the walk is short and shows nothing per value.
void ScanSounds(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                TRegistryContents& contents, const std::string& keyPath, HKEY root);
// Deletes each ticked sound key's unnamed value.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .ErrorsEndSilently = true};
void RepairSounds(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                  TRepairContents& log);

}  // namespace SoundsUnit
