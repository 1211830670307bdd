// "System Software Settings": a walk through whole registry trees for text values that name a
// file or folder missing from a fixed drive. The walker, the value examination and the path
// helpers here also serve "User Software Settings" (UserSoftWareSettings), which differs in the
// few points a TSettingsWalk row holds. ExtractFileFromCommandLine also serves the startup manager.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "../framework/Outputs.h"
#include "IgnoreItemUnit.h"
#include "RegistryContentUnit.h"
#include "SectionCommon.h"

namespace SystemSoftWareSettingUnit {

inline constexpr const char* SectionCaption = "System Software Settings";

// Where the two software-settings sections differ.
struct TSettingsWalk {
  const char* Caption;                    // the section's caption, for the ignore list
  // Texts are upper-case and compared with the upper-cased key path or data.
  std::vector<std::string> SkipTexts;     // a key path holding one of these: subkeys not walked
  bool SkipInstallerAndAppPaths;          // the Installer subtree and "App Paths" subkeys are left out
  bool IgnoreTestFirst;                   // the ignore test comes before the type test, else after expansion
  std::vector<std::string> EndKeyTexts;   // data holding one: the key's remaining values are left
  bool TestsHDrive;                       // data holding "H:\" is left out
  bool FileNeedsDriveColon;               // a command line's file must hold ":\"
  const char* PathFaultPrefix;            // fault line of a path finding, before the path
  bool UnnamedAsDefault;                  // a command-line finding shows the unnamed value as "default"
  const char* CommandFaultPrefix;         // fault line of a command-line finding: prefix and suffix
  const char* CommandFaultSuffix;
};

extern const TSettingsWalk SystemWalk;

// The scanner entry: walks the subkeys of root\keyPath, examining each child's values and then
// walking the child. The walked key's own values are left to its parent.
void ScanSoftwareSettings(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                          TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath,
                          HKEY root);
void WalkSettings(const TSettingsWalk& walk, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                  TIgnoreContents& ignoreList, TRegistryContents& contents, const std::string& keyPath, HKEY root);

// What a text value's data makes of it, judged as the section judges one value.
struct TValueVerdict {
  enum class TKind {
    Valid,            // nothing to report (also: what cannot be judged now)
    EndsKey,          // data naming a driver or a program left alone: the key's other values are left
    MissingPath,      // a path without extension that names nothing: a path finding
    MissingProgram,   // a command line whose program is missing: a command-line finding
  };
  TKind Kind = TKind::Valid;
  std::string Shown;   // the path or program as the finding shows it (its Value)
};
// Judges the data of one string or expandable-string value of root\keyPath: its environment
// strings expanded as the system expands them (another user's hive: the section's own variables
// only), a command line kept when the program it starts exists, each path tested in every view
// and only on a drive that is fixed at this moment. What is reported is missing in every reading.
TValueVerdict JudgeValueData(const TSettingsWalk& walk, HKEY root, const std::string& keyPath, const std::string& data);

// Adds the command-line finding of a file JudgeValueData found missing.
void ReportMissingFile(const TSettingsWalk& walk, TCaptionTarget* countLabel, const std::string& file,
                       const std::string& valueName, const std::string& keyPath, const std::string& shortName,
                       HKEY root, TRegistryContents& contents);

// %SystemRoot%, %windir% and %ProgramFiles% replaced; a text holding any comes back upper-cased.
std::string ExpandPathVars(const std::string& text);
// The file a command line names ("rundll32.exe C:\Lib\x.dll,Entry" gives "C:\Lib\x.dll").
std::string ExtractFileFromCommandLine(const std::string& text);
// The Windows folder with a trailing "\", upper-cased, as command lines are rewritten with it.
std::string GetWindowsDir();
bool LooksLikeFilePath(const std::string& text);
bool IsValidPath(const std::string& text);
bool HasSingleColon(const std::string& text);
// False when text holds a character of the command-line set up to lastIndex (9: the whole set).
bool HasNoInvalidChars(const std::string& text, int lastIndex);

// Judges a finding's value again as the registry holds it now, with the walk that found it:
// true while it gives the same finding.
bool StillFound(const TSettingsWalk& walk, const TContent& finding);

// Deletes each ticked finding's value; the HKEY_USERS pass may meet a value again through a
// linked hive.
inline constexpr SectionCommon::TRepairStyle RepairStyle{.Form = SectionCommon::TRepairForm::Value,
                                                         .MessagesPerFinding = true,
                                                         .ErrorsEndSilently = true,
                                                         .GoneCountsAsRepaired = true};
void RepairSoftwareSettings(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log);

}  // namespace SystemSoftWareSettingUnit
