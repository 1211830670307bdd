// "Empty Registry Keys": keys under HKEY_USERS that have neither subkeys nor values.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace EmptyRegistryUnit {

inline constexpr const char* SectionCaption = "Empty Registry Keys";

// Walks root\keyPath, testing every key without subkeys; the default profile ".DEFAULT" directly
// under the root is left out.
void ScanEmptyRegistryKeys(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                           TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                           HKEY root);
// Reports root\keyPath when it holds no value and no subkey at all.
void CheckEmptyKey(TCaptionTarget* countLabel, HKEY root, const std::string& keyPath, TRegistryContents& contents,
                   TIgnoreContents& ignoreList);

// Deletes each ticked empty key.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Key,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};
void RepairEmptyRegistryKeys(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                             TRepairContents& log);

}  // namespace EmptyRegistryUnit
