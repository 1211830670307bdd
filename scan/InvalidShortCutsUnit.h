// "Invalid Shortcuts": walks the folders of the fixed drives, reads the target of every
// shortcut file and reports shortcuts whose target is missing; the repair moves the shortcut
// files to the recycle bin.
#pragma once

#include <string>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace InvalidShortCutsUnit {

inline constexpr const char* SectionCaption = "Invalid Shortcuts";

// Every fixed drive from C: to Z:, each walked from its root; stops when the run state is 1.
void ScanShortcuts(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                   TIgnoreContents& ignoreList, TRegistryContents& contents);

// Lists one folder (a path without trailing "\", e.g. "C:" or "C:\Data") and walks its
// subfolders. Only plain folders are entered: never links, junctions or mount points, nor the
// recycle bins at a drive's root ("$Recycle.Bin", "RECYCLER", "RECYCLED", in any letter case).
void ScanShortcutFolder(const std::string& folder, int sectionIndex, TCaptionTarget* currentItem,
                        TCaptionTarget* countLabel, TIgnoreContents& ignoreList, TRegistryContents& contents);

// The path a shortcut file points to, as the shortcut holds it (environment strings unexpanded);
// "" when the file cannot be loaded as a shortcut or holds no path.
std::string GetShortcutTarget(const std::string& shortcutFile);

// Whether a shortcut's target is reported: a path on a fixed drive that is there now, no web
// address, that names nothing in any reading of its environment strings.
bool IsShortcutTargetMissing(const std::string& target);
// The repair moves each ticked shortcut file to the recycle bin, logging the real outcome.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::File,
                                                         .ErrorsEndSilently = true};

void RepairShortcuts(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                     TRepairContents& log);

}  // namespace InvalidShortCutsUnit
