// "System Services": the section is listed and repaired like the others but judges nothing.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace SystemServicesUnit {

inline constexpr const char* SectionCaption = "System Services";

// Adds no finding.
void ScanServices(TRegistryContents& contents, const std::string& keyPath, HKEY root);
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .ErrorsEndSilently = true};
void RepairServices(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                    TRepairContents& log);

}  // namespace SystemServicesUnit
