// "Application Paths": App Paths subkeys whose program file is missing.
#pragma once

#include <string>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace ApplicationPathsUnit {

inline constexpr const char* SectionCaption = "Application Paths";

// True when the path has both a file name and an extension.
bool IsFileNameWithExt(const std::string& path);
// The Windows folder with a trailing "\".
std::string WindowsDirFromSystemDir();
// The full path of a program as an App Paths subkey registers it: its unnamed value `program`
// and its "Path" value `folder`.
std::string AppFullPath(const std::string& program, const std::string& folder);

// Whether a program an App Paths subkey registers is reported: its full path, the environment
// strings expanded, is missing in every reading from a fixed drive that is there now (a bare name
// without a folder is also looked up on the search path).
bool IsAppPathMissing(const std::string& program, const std::string& folder);
// Judges one subkey (the key path below the root, the subkey's name) and adds its finding.
void CheckAppPathKey(HKEY root, const std::string& subPath, const std::string& name, TCaptionTarget* countLabel,
                     TIgnoreContents& ignoreList, TRegistryContents& contents);

void ScanApplicationPaths(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                          TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                          HKEY root);
// Deletes each ticked program's App Paths subkey with its subtree.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Key,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true};
void RepairApplicationPaths(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log);

}  // namespace ApplicationPathsUnit
