#include "BrowserRepairUnitBackup.h"

#include <set>
#include <tuple>

#include <windows.h>

#include "../../app/RegBackupUnitScript.h"
#include "../../framework/Exceptions.h"
#include "../../scan/PublicFunctionUnit.h"
#include "IePluginsUnitBackup.h"

namespace BrowserRepairUnit {

namespace {

using IERepairItemUnit::TRepairTarget;
using MainUnit::TExportOutcome;

std::string KeyPathOf(const TRepairTarget& target) {
  return PublicFunctionUnit::RootKeyName(target.Root) + "\\" + target.Key;
}

// What the target holds now; for a value that is not there, the line that takes away the value
// the action will create.
TExportOutcome Export(const TRepairTarget& target, TStringList& lines) {
  std::string keyPath = KeyPathOf(target);
  if (target.Subtree) return MainUnit::ExportRegKey(keyPath, lines);   // listed because it is there
  TExportOutcome outcome = MainUnit::ExportRegValue(keyPath, target.ValueName, lines);
  if (outcome != TExportOutcome::Absent) return outcome;
  return MainUnit::ExportAbsentValue(keyPath, target.ValueName, lines);
}

// How a target is named to the user: its key, with the value's name in parentheses.
std::string Describe(const TRepairTarget& target) {
  if (target.Subtree) return KeyPathOf(target);
  return KeyPathOf(target) + " (" + (target.ValueName.empty() ? "default" : target.ValueName) + ")";
}

// Two actions may change the same value; it is written once. Names compare as the registry
// compares them, without regard to case.
using TTargetId = std::tuple<HKEY, std::string, std::string, bool>;
TTargetId IdOf(const TRepairTarget& target) {
  return {target.Root, AnsiUpperCase(target.Key), AnsiUpperCase(target.ValueName), target.Subtree};
}

}  // namespace

TRepairBackup BackupRepairs(const std::vector<int>& rows, uint8_t platformKind, const std::string& folder,
                            TDateTime stamp) {
  TRepairBackup backup;
  MainUnit::TBackupScript script(IePluginsUnit::PluginBackupNamer(folder), stamp, platformKind);
  std::set<TTargetId> exported;
  for (int row : rows)
    for (const TRepairTarget& target : IERepairItemUnit::RepairTargets(row)) {
      if (!exported.insert(IdOf(target)).second) continue;
      script.Count(Export(target, script.Lines), Describe(target));
      if (!target.Subtree) backup.Values.push_back(target);
    }
  if (script.Lines.Count() > 1) RegBackupUnit::AddUserNote(script.Lines);   // only a file that is saved
  backup.Result = script.Save();
  backup.Lines = script.Lines;
  return backup;
}

bool NoteWrittenValues(const TRepairBackup& backup) {
  if (!backup.Result.Saved) return false;
  TStringList lines = backup.Lines;
  for (const TRepairTarget& target : backup.Values) {
    TStringList now;
    if (Export(target, now) != TExportOutcome::Written) continue;   // one that cannot be read is not noted
    for (const std::string& line : now.Items) lines.Add(RegBackupUnit::WrittenNotePrefix + line);
  }
  try {
    if (ReadFileBytes(backup.Result.FileName) != MainUnit::EncodeRegScript(backup.Lines)) return false;
  } catch (const EInOutError&) {
    return false;
  }
  return ReplaceFileContents(backup.Result.FileName, MainUnit::EncodeRegScript(lines));
}

}  // namespace BrowserRepairUnit
