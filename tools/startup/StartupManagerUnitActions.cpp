// The four actions. Each reads the record files it needs once, changes their lines in memory and
// writes each file once. An entry leaving its place is copied or read and recorded first, the
// records are saved, and only then is the entry taken away; an entry going back is put in its
// place first, and its line is dropped afterwards. A step that fails undoes the steps before it,
// so the entry stays live (or stays recorded) and its name is reported.
#include "StartupManagerUnitActions.h"

#include <functional>
#include <set>

#include "../../app/MainUnitBackup.h"
#include "../../framework/IniFiles.h"
#include "../../framework/ListedEntry.h"
#include "../../framework/Registry.h"
#include "../../framework/Strings.h"
#include "../../scan/PublicFunctionUnit.h"

namespace StartupManagerUnit {

namespace {

// Folder entries are acted on exactly as listed: a full path is taken as its folder and the name
// in it, and reached through its exact path, so a name like "keep." or "..." is never read as
// another entry.

// Copies a file (its attributes kept) to a path where nothing is yet.
bool CopyEntry(const std::string& from, const std::string& to) {
  return ListedEntry::Copy(ExtractFilePath(from), ExtractFileName(from), to);
}

// Deletes a file, read-only or not.
bool DeleteEntry(const std::string& path) { return ListedEntry::Delete(ExtractFilePath(path), ExtractFileName(path)); }

bool SomethingAt(const std::string& path) {
  return ListedEntry::Attributes(ExtractFilePath(path), ExtractFileName(path)) != INVALID_FILE_ATTRIBUTES;
}

// One record file for the length of one action: read once at its start, changed in memory,
// written only when its lines changed.
class TRecordFile {
 public:
  TRecordFile(const std::string& fileName, TStringList& lines) : fileName_(fileName), lines_(lines) {
    readable_ = ReadLines(fileName_, lines_);
    onDisk_ = lines_.Items;
  }
  // False for a file that is there but could not be read: the action must not change anything.
  bool Readable() const { return readable_; }
  const std::string& FileName() const { return fileName_; }
  TStringList& Lines() { return lines_; }
  void Add(const std::string& line) { lines_.Add(line); }
  bool Take(const std::string& line) { return RemoveLine(line, lines_); }
  // False when the changed lines could not be written; they are then as on disk again.
  bool Save() {
    if (lines_.Items == onDisk_) return true;
    if (WriteLines(fileName_, lines_)) {
      onDisk_ = lines_.Items;
      return true;
    }
    lines_.Items = onDisk_;
    return false;
  }

 private:
  const std::string& fileName_;
  TStringList& lines_;
  std::vector<std::string> onDisk_;
  bool readable_ = true;
};

// An action stops before anything moves when one of its record files could not be read: written
// back, it would lose every line it holds. The result names the files and the entries left.
bool StoppedByUnreadable(std::initializer_list<const TRecordFile*> records, const std::vector<std::string>& entries,
                         TActionResult& result) {
  for (const TRecordFile* record : records)
    if (!record->Readable()) result.UnreadableFiles.push_back(record->FileName());
  if (result.UnreadableFiles.empty()) return false;
  result.LeftUnchanged = entries;
  return true;
}

// What became of each entry an action took up, in row order.
class TOutcomes {
 public:
  int Add(const std::string& name) {
    names_.push_back(name);
    outcomes_.push_back(TPutBack::Done);
    return (int)names_.size() - 1;
  }
  void Set(int slot, TPutBack outcome) { outcomes_[slot] = outcome; }
  TPutBack Get(int slot) const { return outcomes_[slot]; }
  TActionResult Result() const {
    TActionResult result;
    for (size_t i = 0; i < names_.size(); ++i) {
      if (outcomes_[i] == TPutBack::Failed) result.LeftUnchanged.push_back(names_[i]);
      if (outcomes_[i] == TPutBack::Occupied) result.Occupied.push_back(names_[i]);
    }
    return result;
  }

 private:
  std::vector<std::string> names_;
  std::vector<TPutBack> outcomes_;
};

// ---- entries leaving their place ----

// An entry on its way out: its line is added to a record file, and once that file is saved the
// entry is taken away.
struct TLeaving {
  int Slot = -1;
  TRecordFile* Record = nullptr;
  std::string Line;
  std::string Copy;                    // a folder entry's copy in the del folder; "" none
  TRecordFile* From = nullptr;         // the record file the line moves out of; null none
  std::function<bool()> TakeAway;      // false when the entry could not be taken away
};

// A live folder entry: copied into the del folder and recorded in del.txt's lines.
bool LeaveFolder(const std::string& path, bool disabled, TStartupFiles& files, TRecordFile& del, TLeaving& entry) {
  std::string copy = FreeCopyPath(files.DelFolder, ExtractFileName(path));
  std::string line = DelLineText(path, copy, disabled);
  TDelLine back;   // a line that would not read back as written is not recorded
  if (!ParseDelLine(line, files.DelFolder, back) || back.HomePath != path || back.CopyPath != copy) return false;
  if (!CopyEntry(path, copy)) return false;
  del.Add(line);
  entry.Record = &del;
  entry.Line = line;
  entry.Copy = copy;
  entry.TakeAway = [path] { return DeleteEntry(path); };
  return true;
}

// A live Run value as it is now: recorded in the file's lines with its type and bytes.
bool LeaveRunValue(const TStartupRow& row, TRecordFile& file, TLeaving& entry) {
  if (!row.Registry || !NamesKey(row.Registry->RootKey, row.Registry->KeyPath)) return false;
  const TFolderData record = *row.Registry;
  TRegistry reg(KEY_QUERY_VALUE | KEY_SET_VALUE);   // a key we may not change is left at once
  reg.RootKey = record.RootKey;
  TRegValue value;
  std::string line;
  if (!reg.OpenKey("\\" + record.KeyPath, false) || !reg.ReadValue(record.ValueName, value) ||
      !RunLineText(record.FullPath, LineSid(record.RootKey), record.ValueName, value, line))
    return false;
  file.Add(line);
  entry.Record = &file;
  entry.Line = line;
  entry.TakeAway = [record] {
    TRegistry key(KEY_QUERY_VALUE | KEY_SET_VALUE);
    key.RootKey = record.RootKey;
    return key.OpenKey("\\" + record.KeyPath, false) && key.DeleteValue(record.ValueName) &&
           !key.ValueExists(record.ValueName);
  };
  return true;
}

// An entry whose record was made waits for its source to go; any other has failed already.
void Queue(bool recorded, TLeaving&& entry, std::vector<TLeaving>& leaving, TOutcomes& outcomes) {
  if (recorded)
    leaving.push_back(std::move(entry));
  else
    outcomes.Set(entry.Slot, TPutBack::Failed);
}

// Saves the records, then takes away each entry whose line is saved. An entry whose line could
// not be saved, or that could not be taken away, keeps its place and loses its line and copy.
// Lines moved out of another record file are dropped there last; when that file cannot be
// written they stay there and leave the record they were moved to.
void FinishLeaving(std::vector<TLeaving>& leaving, TOutcomes& outcomes) {
  std::set<TRecordFile*> records, sources, unsaved;
  for (const TLeaving& entry : leaving) {
    records.insert(entry.Record);
    if (entry.From != nullptr) sources.insert(entry.From);
  }
  for (TRecordFile* record : records)
    if (!record->Save()) unsaved.insert(record);
  for (TLeaving& entry : leaving) {
    bool recorded = unsaved.count(entry.Record) == 0;
    if (recorded && entry.TakeAway()) continue;
    if (recorded) entry.Record->Take(entry.Line);
    if (!entry.Copy.empty()) DeleteEntry(entry.Copy);
    outcomes.Set(entry.Slot, TPutBack::Failed);
  }
  for (TRecordFile* source : sources) {
    if (source->Save()) continue;
    for (TLeaving& entry : leaving)
      if (entry.From == source && outcomes.Get(entry.Slot) == TPutBack::Done) {
        entry.Record->Take(entry.Line);
        outcomes.Set(entry.Slot, TPutBack::Failed);
      }
  }
  for (TRecordFile* record : records) record->Save();   // writes only where lines were taken back
}

// win.ini is changed through the system's profile functions, which read a file they cannot open
// as an empty one. The key counts as deleted only when win.ini, held while it is looked at, no
// longer has it, or is gone.
bool DeleteWinIniKey(const TStartupRow& row, const std::string& winIniFile) {
  if (!row.WinIni) return false;
  TIniFile ini(winIniFile);
  ini.DeleteKey(row.WinIni->Section, row.WinIni->Key);
  TIniReadHold held(winIniFile);
  if (!held.Held()) return held.OpenError() == ERROR_FILE_NOT_FOUND;
  return !ini.ValueExists(row.WinIni->Section, row.WinIni->Key);
}

// ---- entries going back ----

// Entries put back in their places, each dropping its line from its record; Finish writes the
// records, and the copies of folder entries go once their lines are gone from del.txt.
class TReturning {
 public:
  TReturning(const TStartupSources& sources, const TStartupFiles& files, TRecordFile& runRecord, TRecordFile& del)
      : sources_(sources), files_(files), runRecord_(runRecord), del_(del) {}

  // A folder entry's copy goes back to its home path (its del.txt line as `disabled` says).
  TPutBack FolderEntry(const std::string& home, const std::string& copy, bool disabled) {
    if (!LiesInStartupFolder(sources_, home) || !IsInDelFolder(files_.DelFolder, copy)) return TPutBack::Failed;
    if (SomethingAt(home)) return TPutBack::Occupied;
    if (!CopyEntry(copy, home)) return TPutBack::Failed;
    del_.Take(DelLineText(home, copy, disabled));
    copies_.push_back(copy);
    return TPutBack::Done;
  }
  // A recorded Run value goes back under its key.
  TPutBack RunValue(const std::string& line) {
    TRunLine run;
    if (!ParseRunLine(line, run) || !IsCurrentUsersLine(run) || !IsListedRunKey(sources_, run.KeyText))
      return TPutBack::Failed;
    TPutBack outcome = WriteRunValue(run);
    if (outcome == TPutBack::Done) runRecord_.Take(line);
    return outcome;
  }
  void Finish() {
    runRecord_.Save();
    if (!del_.Save()) return;   // the copies stay, recorded
    for (const std::string& copy : copies_) DeleteEntry(copy);
  }

 private:
  const TStartupSources& sources_;
  const TStartupFiles& files_;
  TRecordFile& runRecord_;
  TRecordFile& del_;
  std::vector<std::string> copies_;
};

bool StartupRowTicked(const TStartupRow& row) { return row.Ticked() && !row.IsDetailRow(); }

std::vector<std::string> TickedNames(const std::vector<TStartupRow>& rows) {
  std::vector<std::string> names;
  for (const TStartupRow& row : rows)
    if (StartupRowTicked(row)) names.push_back(row.Caption);
  return names;
}

}  // namespace

std::string LeftUnchangedText(const TActionResult& result) {
  std::string text;
  MainUnit::AddHeadedList(text, UnreadableHead, result.UnreadableFiles);
  MainUnit::AddHeadedList(text, LeftUnchangedHead, result.LeftUnchanged);
  MainUnit::AddHeadedList(text, OccupiedHead, result.Occupied);
  return text;
}

TActionResult DisableSelected(const std::vector<TStartupRow>& rows, TStartupFiles& files) {
  TRecordFile startup(files.StartupDatFile, files.StartupLines), del(files.DelTxtFile, files.DelLines);
  if (TActionResult stopped; StoppedByUnreadable({&startup, &del}, TickedNames(rows), stopped)) return stopped;
  TOutcomes outcomes;
  std::vector<TLeaving> leaving;
  for (const TStartupRow& row : rows) {
    // Disabled entries are disabled already; win.ini rows have no record to undo a deletion with.
    if (!StartupRowTicked(row) || row.Disabled() || row.Kind == KindWinIni) continue;
    TLeaving entry{.Slot = outcomes.Add(row.Caption)};
    bool recorded = row.Kind == KindStartupFolder ? LeaveFolder(row.Path, true, files, del, entry)
                    : row.Kind == KindRegistration ? LeaveRunValue(row, startup, entry)
                                                   : false;
    Queue(recorded, std::move(entry), leaving, outcomes);
  }
  FinishLeaving(leaving, outcomes);
  return outcomes.Result();
}

TActionResult EnableSelected(const std::vector<TStartupRow>& rows, const TStartupSources& sources,
                             TStartupFiles& files) {
  TRecordFile startup(files.StartupDatFile, files.StartupLines), del(files.DelTxtFile, files.DelLines);
  if (TActionResult stopped; StoppedByUnreadable({&startup, &del}, TickedNames(rows), stopped)) return stopped;
  TOutcomes outcomes;
  TReturning returning(sources, files, startup, del);
  for (const TStartupRow& row : rows) {
    if (!StartupRowTicked(row) || !row.Disabled()) continue;   // only disabled entries can be enabled
    int slot = outcomes.Add(row.Caption);
    // a folder entry's caption is its home path and its "Path" the copy
    outcomes.Set(slot, row.Kind == KindStartupFolder  ? returning.FolderEntry(row.Caption, row.Path, true)
                       : row.Kind == KindRegistration ? returning.RunValue(row.Extra)
                                                      : TPutBack::Failed);
  }
  returning.Finish();
  return outcomes.Result();
}

TActionResult RemoveSelected(const std::vector<TStartupRow>& rows, const TStartupSources& sources,
                             TStartupFiles& files) {
  TRecordFile startup(files.StartupDatFile, files.StartupLines), removed(files.RemovedDatFile, files.RemovedLines),
      del(files.DelTxtFile, files.DelLines);
  if (TActionResult stopped; StoppedByUnreadable({&startup, &removed, &del}, TickedNames(rows), stopped))
    return stopped;
  TOutcomes outcomes;
  std::vector<TLeaving> leaving;
  for (const TStartupRow& row : rows) {
    if (!StartupRowTicked(row)) continue;
    TLeaving entry{.Slot = outcomes.Add(row.Caption)};
    bool recorded = false;
    if (row.Kind == KindStartupFolder && !row.Disabled()) {
      recorded = LeaveFolder(row.Path, false, files, del, entry);
    } else if (row.Kind == KindStartupFolder) {   // the copy stays, now recorded as removed
      recorded = LiesInStartupFolder(sources, row.Caption) &&
                 MarkDelLineRemoved(DelLineText(row.Caption, row.Path, true), del.Lines());
      entry.Record = &del;
      entry.TakeAway = [] { return true; };
    } else if (row.Kind == KindRegistration && !row.Disabled()) {
      recorded = LeaveRunValue(row, removed, entry);
    } else if (row.Kind == KindRegistration) {   // its line moves from startup.dat to removestartup.dat
      TRunLine run;
      recorded = ParseRunLine(row.Extra, run) && IsCurrentUsersLine(run) && IsListedRunKey(sources, run.KeyText);
      if (recorded) removed.Add(row.Extra);
      entry = {.Slot = entry.Slot, .Record = &removed, .Line = row.Extra, .From = &startup};
      entry.TakeAway = [&startup, line = row.Extra] { return startup.Take(line); };
    } else if (row.Kind == KindWinIni) {
      if (!DeleteWinIniKey(row, sources.WinIniFile)) outcomes.Set(entry.Slot, TPutBack::Failed);
      continue;
    }
    Queue(recorded, std::move(entry), leaving, outcomes);
  }
  FinishLeaving(leaving, outcomes);
  return outcomes.Result();
}

std::vector<TRestoreRow> LoadRestoreList(const TStartupSources& sources, TStartupFiles& files) {
  std::vector<TRestoreRow> rows;
  ReadLines(files.RemovedDatFile, files.RemovedLines);
  for (const std::string& line : files.RemovedLines.Items) {
    TRunLine run;
    if (ParseRunLine(line, run) && IsCurrentUsersLine(run))
      rows.push_back({.Name = run.ValueName, .Info = run.Data, .Kind = line, .Line = line});
  }
  ReadLines(files.DelTxtFile, files.DelLines);
  for (const std::string& line : files.DelLines.Items) {
    TDelLine del;
    if (ParseDelLine(line, files.DelFolder, del) && !del.Disabled && LiesInStartupFolder(sources, del.HomePath))
      rows.push_back({.Name = del.HomePath, .Info = del.CopyPath, .Kind = RestoreKindFile});
  }
  return rows;
}

TActionResult RestoreItems(const std::vector<TRestoreRow>& rows, const TStartupSources& sources, TStartupFiles& files) {
  TRecordFile removed(files.RemovedDatFile, files.RemovedLines), del(files.DelTxtFile, files.DelLines);
  std::vector<std::string> checked;
  for (const TRestoreRow& row : rows)
    if (row.Checked) checked.push_back(row.Name);
  if (TActionResult stopped; StoppedByUnreadable({&removed, &del}, checked, stopped)) return stopped;
  TOutcomes outcomes;
  TReturning returning(sources, files, removed, del);
  for (const TRestoreRow& row : rows) {
    if (!row.Checked) continue;
    int slot = outcomes.Add(row.Name);
    // a file's Name is its home path and its Info the copy
    outcomes.Set(slot, Trim(row.Kind) == RestoreKindFile ? returning.FolderEntry(row.Name, row.Info, false)
                                                         : returning.RunValue(row.Line));
  }
  returning.Finish();
  return outcomes.Result();
}

}  // namespace StartupManagerUnit
