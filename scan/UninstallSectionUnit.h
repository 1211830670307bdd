// "Uninstall Entries": uninstall commands whose program is missing.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace UninstallSectionUnit {

inline constexpr const char* SectionCaption = "Uninstall Entries";

// The program path a command line names ("C:\App\un.exe /S" gives "C:\App\un.exe").
std::string CommandToExePath(const std::string& command);
// Whether the program a command line starts exists: the program read from its text, or a leading
// part of it ending before a blank that names an existing file.
bool UninstallTargetExists(const std::string& command);
// Whether an uninstall command (its quotes removed) is reported: its environment strings
// expanded as the system expands them, its program missing in every reading, on a drive that is
// fixed now. A command that cannot be expanded whole is not.
bool IsUninstallCommandBroken(const std::string& command);

void ScanUninstallEntries(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                          TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                          HKEY root);
// Deletes the "UninstallString" of each ticked finding; the subkey stays.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};
void RepairUninstallEntries(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log);

}  // namespace UninstallSectionUnit
