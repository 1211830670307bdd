// "Invalid File Associations": extensions whose program identifier names no class.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "../framework/Outputs.h"
#include "../framework/StringList.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace FileAssociationsUnit {

inline constexpr const char* SectionCaption = "Invalid File Associations";
inline constexpr const char* UserFileExtsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

// Splits the key names of the classes root: drops every name containing "*", "Directory",
// "Folder", "Drive" or "Unknow" (case-sensitive), then moves the names beginning with "." to
// `extensions`, in order. What stays in `names` are the class names.
void SplitClassKeyNames(TStringList& names, TStringList& extensions);
// Appends the subkey names of the current user's Explorer FileExts key.
void ListUserFileExts(TStringList& list);

// What an association is judged against: every key name of the classes root (upper-cased), the
// current user's FileExts subkeys and the program identifiers their OpenWithProgids name.
struct TAssociationTargets {
  std::vector<std::string> UpperClassNames;   // sorted
  TStringList UserFileExts;
  std::vector<std::string> UpperUserProgIds;   // sorted
};
void LoadAssociationTargets(const TStringList& allKeyNames, TAssociationTargets& targets);
bool IsAssociationValid(const TAssociationTargets& targets, const std::string& extension,
                        const std::string& progId);

void ScanFileAssociations(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                          TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                          HKEY root);
// Deletes the extension's unnamed value; the key stays.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};
void RepairFileAssociations(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log);

}  // namespace FileAssociationsUnit
