// "Shared DLL's Sections": the SharedDlls values (DLL path = use count) whose count is 0 or whose
// DLL is missing.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "../framework/Registry.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace SharedDLLsUnit {

inline constexpr const char* SectionCaption = "Shared DLL's Sections";

void ScanSharedDlls(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                    TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root);
// Deletes each ticked DLL's value.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};
void RepairSharedDlls(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                      TRepairContents& log);

}  // namespace SharedDLLsUnit
