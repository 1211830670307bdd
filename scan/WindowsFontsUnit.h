// "Font Entries": the values of the Fonts key whose font file is missing.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace WindowsFontsUnit {

inline constexpr const char* SectionCaption = "Font Entries";

// The file a Fonts value names: data that is a full path ("X:\...") is that path, any other
// data a name inside the Windows Fonts folder.
std::string FontFilePath(const std::string& data);
// Whether a Fonts value's data is reported: its font file, the data's environment strings
// expanded, is missing in every reading from a fixed drive that is there now.
bool IsFontFileMissing(const std::string& data);

void ScanFonts(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
               TRegistryContents& contents, const std::string& keyPath, HKEY root);
// Deletes each ticked font's value; an error ends the repair with its message.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value};
void RepairFonts(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                 TRepairContents& log);

}  // namespace WindowsFontsUnit
