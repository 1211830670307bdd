// "ActiveX, OLE/COM Entries": help-folder and server keys under HKEY_CLASSES_ROOT whose default
// value is an empty text, and class entries whose type library is not registered.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace ActivexSection {

inline constexpr const char* SectionCaption = "ActiveX, OLE/COM Entries";

// Walks every subkey of root\keyPath (but "AppID" subtrees and the other registry view's
// "Wow6432Node"), testing HELPDIR and server keys. An empty server key in a user's classes that
// switches off a class the machine's classes register with a server is not reported.
void ScanComKeys(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                 TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root);
// Reports class entries of HKEY_CLASSES_ROOT\CLSID whose "TypeLib" names a type library missing
// from HKEY_CLASSES_ROOT\TypeLib. The key path is not used; root only names the findings' root.
void ScanClsidTypeLibs(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                       TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                       HKEY root);

// Deletes the key of every ticked finding with its subtree.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Key,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true,
                                                         .Status = SectionCommon::TStatusText::WithoutRootName,
                                                         .GoneCountsAsRepaired = true};
void RepairComEntries(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                      TRepairContents& log);

}  // namespace ActivexSection
