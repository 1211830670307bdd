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

// Whether a SharedDlls value (its name, a DLL's path, and its use count) is reported: a count of
// 0, or a DLL missing in every reading of its name; either only on a fixed drive that is there now.
bool IsSharedDllReported(const std::string& name, int count);
void ScanSharedDlls(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                    TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root);
// Deletes each ticked DLL's value.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};
void RepairSharedDlls(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                      TRepairContents& log);

}  // namespace SharedDLLsUnit
