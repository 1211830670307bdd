// "System Services": the section is listed and repaired like the others but judges nothing.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "RegistryContentUnit.h"

namespace SystemServicesUnit {

inline constexpr const char* SectionCaption = "System Services";

// Adds no finding.
void ScanServices(TRegistryContents& contents, const std::string& keyPath, HKEY root);
void RepairServices(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                    TRepairContents& log);

}  // namespace SystemServicesUnit
