// "Startup Programs": program groups of the Start menu's order key whose folder exists in
// neither the all-users nor the user's Programs folder; the repair removes the group's key.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "../framework/StringList.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace StartUpUnit {

inline constexpr const char* SectionCaption = "Startup Programs";

void ScanStartupPrograms(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                         TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                         HKEY root);

// Tests the program groups (subkeys) of one order key against both Programs folders.
void CheckProgramGroups(int sectionIndex, const std::string& keyPath, HKEY root, TIgnoreContents& ignoreList,
                        TRegistryContents& contents, const TStringList& groups, TCaptionTarget* countLabel);

// Whether a program group is reported: each Programs folder there is (with a trailing "\") holds
// no folder of its name, judged on a fixed drive that is there now, the folders' environment
// strings expanded; a folder out of reach or that cannot be expanded leaves the group unjudged.
bool IsProgramGroupMissing(const std::string& commonPrograms, const std::string& userPrograms, const std::string& group);
// The all-users Programs folder, with a trailing "\": the system's common Programs folder, or,
// where the system cannot name one, the classic profile layout.
std::string AllUsersProgramsDir();
// The classic all-users profile folder: the system drive and "Documents and Settings\All Users".
std::string AllUsersProfileDir();
// The user's own Programs folder as the shell folders key lists it, with a trailing "\"; "" when
// the key or value is missing.
std::string UserProgramsDir();

inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Key,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};

void RepairStartupPrograms(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                           TRepairContents& log);

}  // namespace StartUpUnit
