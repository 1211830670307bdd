// "Most Recently Used Files": every value of the file dialogs' recent-file lists and every text
// value of the Run dialog's list is reported; the repair removes the value.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace RecentlyFileUnit {

inline constexpr const char* SectionCaption = "Most Recently Used Files";
// The Run dialog's list, read under the same root as the file dialogs' key.
inline constexpr const char* RunMruKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

void ScanRecentFiles(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                     TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root);

inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};

void RepairRecentFiles(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                       TRepairContents& log);

}  // namespace RecentlyFileUnit
