// "Help Section": the registered help files (value name = file, data = its folder) that are missing.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace HelpSectionUnit {

inline constexpr const char* SectionCaption = "Help Section";
inline constexpr const char* HelpKey = "SOFTWARE\\Microsoft\\Windows\\Help";
inline constexpr const char* HtmlHelpKey = "SOFTWARE\\Microsoft\\Windows\\Html Help";

// The help file a value names: its folder, "\" and the file name, with one "\" between them.
// Empty when the folder text is blank.
std::string HelpFilePath(const std::string& folder, const std::string& fileName);
// Whether a help value (its folder text and the file's name) is reported: the file, the folder's
// environment strings expanded, is missing in every reading from a fixed drive that is there now.
bool IsHelpFileMissing(const std::string& folder, const std::string& fileName);

// Walks the two help keys under the root.
void ScanHelpFiles(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                   TIgnoreContents& ignoreList, TRegistryContents& contents, HKEY root);
// Deletes the value that names each ticked help file (the finding's ShortName).
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::ValueByShortName,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true,
                                                         .Status = SectionCommon::TStatusText::WithoutRootName};
void RepairHelpFiles(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                     TRepairContents& log);

}  // namespace HelpSectionUnit
