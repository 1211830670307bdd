// "File Extensions": extension keys of the classes root whose unnamed value is empty and that
// hold nothing else (no other value, no subkey).
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "../framework/StringList.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace FileExtensionUnit {

inline constexpr const char* SectionCaption = "File Extensions";

// The same split as FileAssociationsUnit::SplitClassKeyNames.
void FilterExtensionNames(TStringList& names, TStringList& extensions);

// Always walks HKEY_CLASSES_ROOT, whatever root is passed; the key path only fills the texts.
void ScanFileExtensions(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                        TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                        HKEY root);
// Deletes each ticked extension's key with all its subkeys.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Key,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};
void RepairFileExtensions(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                          TRepairContents& log);

}  // namespace FileExtensionUnit
