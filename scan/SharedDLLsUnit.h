// "Shared DLL's Sections": the SharedDlls values (DLL path = use count) whose count is 0 or whose
// DLL is missing.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "../framework/Registry.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"

namespace SharedDLLsUnit {

inline constexpr const char* SectionCaption = "Shared DLL's Sections";

// The use count a value holds, by its own type: a string read as a decimal number (0 when it is
// none), a double word, the first byte of binary data; -1 for any other type.
int ReadUseCount(TRegistry& reg, const std::string& name);

void ScanSharedDlls(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                    TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root);
void RepairSharedDlls(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                      TRepairContents& log);

}  // namespace SharedDLLsUnit
