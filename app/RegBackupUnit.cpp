#include "RegBackupUnit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <optional>
#include <set>

#include "../framework/Application.h"
#include "../framework/Exceptions.h"
#include "../framework/ListedEntry.h"
#include "../framework/Processes.h"
#include "../framework/Registry.h"
#include "../framework/StringList.h"
#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"
#include "MainUnitBackup.h"
#include "RegBackupUnitScript.h"

namespace RegBackupUnit {

bool RunAndWait(const std::string& commandLine, DWORD& exitCode) {
  return RunHiddenAndWait(commandLine, INFINITE, exitCode) == TRunOutcome::Ended;
}

std::function<bool(const std::string& fileName, DWORD& exitCode)> RunImport = [](const std::string& fileName,
                                                                                 DWORD& exitCode) {
  return RunAndWait(PublicFunctionUnit::WindowsProgram("regedit.exe") + " /s \"" + fileName + "\"", exitCode);
};

namespace {

// Compares what the registry holds with the script. Text types may have gained the terminating
// zero that the importer adds to data given without one.
bool SameData(const TScriptEntry& entry, DWORD type, const std::vector<uint8_t>& actual) {
  if (type != entry.Type) return false;
  if (actual == entry.Data) return true;
  const auto& d = entry.Data;
  bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  bool terminated = d.size() >= 2 && d.size() % 2 == 0 && d[d.size() - 1] == 0 && d[d.size() - 2] == 0;
  if (!text || terminated || actual.size() != d.size() + 2) return false;
  return std::equal(d.begin(), d.end(), actual.begin()) && actual[d.size()] == 0 && actual[d.size() + 1] == 0;
}

// How an entry is named to the user: a key by its path, a value by its key's path followed by
// \@ for the unnamed value or by \"name" for a named one.
std::string EntryName(const TScriptEntry& entry) {
  if (entry.IsKey) return entry.Key;
  return entry.Key + (entry.ValueName.empty() ? std::string("\\@") : "\\\"" + Narrow(entry.ValueName) + "\"");
}

// What the registry holds now for one entry.
struct TEntryNow {
  bool KeyExists = false;
  bool KeyReadable = false;   // it exists and could be opened for reading
  LONG ValueResult = ERROR_FILE_NOT_FOUND;   // a value's: ERROR_SUCCESS when it was read
  DWORD Type = REG_NONE;
  std::vector<uint8_t> Data;
};

// Reads the registry for the entries of a script in order, keeping the last key open.
class TRegistryReader {
 public:
  TEntryNow Read(const TScriptEntry& entry) {
    if (entry.Key != path_) {
      path_ = entry.Key;
      key_.reset();
      std::string sub;
      HKEY root = PublicFunctionUnit::SplitRegistryPath(entry.Key, sub);
      HKEY opened = nullptr;
      LONG rc = root == nullptr ? ERROR_FILE_NOT_FOUND : RegOpenKeyExW(root, Widen(sub).c_str(), 0, KEY_READ, &opened);
      if (rc == ERROR_SUCCESS) key_.emplace(opened);
      readable_ = rc == ERROR_SUCCESS;
      exists_ = readable_ || (rc != ERROR_FILE_NOT_FOUND && rc != ERROR_PATH_NOT_FOUND);   // denied: it is there
    }
    TEntryNow now;
    now.KeyExists = exists_;
    now.KeyReadable = readable_;
    if (!entry.IsKey && readable_)
      now.ValueResult = MainUnit::ReadRawValue(key_->Get(), entry.ValueName, now.Type, now.Data);
    return now;
  }

 private:
  std::string path_;
  bool exists_ = false, readable_ = false;
  std::optional<TRegKeyHandle> key_;
};

const char* const kStopped = "The program was ended before the restore was complete.";

// One walk over a script's statements: the windows stay live, the progress is told now and then,
// and the walk stops when the program is ending.
class TWalk {
 public:
  TWalk(const TRestoreProgress& progress, TRestoreStep step, uint64_t size)
      : progress_(progress), step_(step), size_(size) {
    Tell(0);
  }
  // After each statement; false when the program is ending.
  bool Step(uint64_t position) {
    if (++count_ % kStatementsPerLook != 0) return true;
    DWORD now = GetTickCount();
    if (now - told_ >= kTellEveryMs) {
      told_ = now;
      Tell(size_ == 0 ? 0 : (int)(position * 100 / size_));
    }
    PublicFunctionUnit::ProcessMessages();
    return !Application.Terminated();
  }
  void Done() { Tell(100); }

 private:
  static constexpr int kStatementsPerLook = 64;
  static constexpr DWORD kTellEveryMs = 100;
  void Tell(int percent) {
    if (progress_) progress_(step_, std::min(percent, 100));
  }
  const TRestoreProgress& progress_;
  TRestoreStep step_;
  uint64_t size_;
  uint64_t count_ = 0;
  DWORD told_ = GetTickCount();
};

// Opens the script of a listed backup, held against writing; false, with the problem noted, for a
// file whose name is read as another file's, a missing one and one that cannot be read.
bool OpenScript(const std::string& fileName, TScriptFile& file, TRestoreResult& result) {
  std::string problem;
  if (ListedEntry::ParsesAsAnother(ExtractFileName(fileName))) problem = Format(NameReadAsAnotherText, fileName);
  else if (file.Open(fileName, problem)) return true;
  result.Problems.push_back(problem);
  result.FileRefused = true;
  return false;
}

enum class TReading { Read, NotScript, Stopped };

// Reads the whole script once: what cannot be read into result's problems, each statement into
// later, the written notes into written and the user note's SID into userSid, when given
// (RegBackupUnitScript.h).
TReading LearnScript(const std::string& fileName, const TScriptFile& file, TLaterLines& later,
                     TRestoreResult& result, const TRestoreProgress& progress, TWrittenRecord* written = nullptr,
                     std::string* userSid = nullptr) {
  TScriptParser parser(file.Handle());
  if (written != nullptr) parser.KeepWritten(written);
  if (!parser.ReadHeader()) {
    result.Problems.push_back("The file is not a registry script: " + fileName);
    return TReading::NotScript;
  }
  TWalk walk(progress, TRestoreStep::Reading, file.Size());
  for (TScriptEntry entry; parser.Next(entry);) {
    later.Learn(entry);
    if (!walk.Step(parser.Position())) {
      result.Problems.push_back(kStopped);
      return TReading::Stopped;
    }
  }
  later.Learned();
  if (userSid != nullptr) *userSid = parser.UserSid;
  for (std::string& problem : parser.Problems) AddListed(result.Problems, result.ProblemsUnlisted, std::move(problem));
  result.ProblemsUnlisted += parser.Unlisted;
  walk.Done();
  return TReading::Read;
}

// Reads a backup to restore from: false, with the problems noted, when it is not a script, holds a
// line that cannot be read (regedit would bring back part of it and leave the registry neither as
// it was nor as backed up), is noted as another user's (its HKEY_CURRENT_USER lines are that
// user's: the file is whole, and that user can restore it), or the program ends meanwhile.
bool ReadWholeScript(const std::string& fileName, const TScriptFile& file, TLaterLines& later,
                     TRestoreResult& result, const TRestoreProgress& progress, TWrittenRecord* written = nullptr) {
  std::string userSid;
  TReading reading = LearnScript(fileName, file, later, result, progress, written, &userSid);
  if (reading == TReading::Read && result.Problems.empty()) {
    if (PublicFunctionUnit::IsCurrentUsersSid(userSid)) return true;
    result.Problems.push_back(Format(PublicFunctionUnit::OtherUsersBackupText, fileName));
    return false;
  }
  result.FileRefused = reading != TReading::Stopped;
  return false;
}

// Compares the registry with the statements of a script that no later line overrides (every
// statement, without later) and names in NotWritten, once, what differs. A key that is not there
// stands for the values below it.
bool Verify(const TScriptFile& file, TLaterLines* later, TRestoreResult& result, const TRestoreProgress& progress) {
  TScriptParser parser(file.Handle());
  if (!parser.ReadHeader()) return true;   // told when it was read
  TWalk walk(progress, TRestoreStep::Checking, file.Size());
  TRegistryReader reader;
  std::set<std::string> named;
  uint64_t missingKey = 0;   // the key line whose key is not there
  auto name = [&](const std::string& text) {
    if (result.NotWritten.size() >= kListedNames) ++result.NotWrittenUnlisted;
    else if (named.insert(text).second) result.NotWritten.push_back(text);
  };
  for (TScriptEntry entry; parser.Next(entry);) {
    if (!walk.Step(parser.Position())) {
      result.Problems.push_back(kStopped);
      return false;
    }
    if (later != nullptr && later->Overridden(entry)) continue;
    TEntryNow now = reader.Read(entry);
    if (entry.IsKey) {
      ++result.Keys;
      if (entry.Deleted ? now.KeyExists : !now.KeyExists) name(entry.Key);
      continue;
    }
    ++result.Values;
    if (!now.KeyReadable && !(entry.Deleted && !now.KeyExists)) {
      if (missingKey != entry.KeySerial) name(entry.Key);   // its values are not named again
      missingKey = entry.KeySerial;
      continue;
    }
    bool present = now.ValueResult == ERROR_SUCCESS;
    bool gone = now.ValueResult == ERROR_FILE_NOT_FOUND;
    if (entry.Deleted ? !gone : !present || !SameData(entry, now.Type, now.Data)) name(EntryName(entry));
  }
  walk.Done();
  return true;
}

// An entry of a script compared with what the registry holds now.
enum class TComparison {
  Absent,    // not there: the script brings it back
  Same,      // there as the script has it (or, deleted by the script, not there): nothing to do
  Written,   // a value holding exactly what the change the script was taken before wrote: the
             // script puts it back (a value the change created goes again)
  Other,     // there with other data (or there where the script deletes it, or unreadable)
};

TComparison Compare(const TScriptEntry& entry, const TEntryNow& now) {
  if (entry.IsKey) {
    if (entry.Deleted) return now.KeyExists ? TComparison::Other : TComparison::Same;
    return now.KeyExists ? TComparison::Same : TComparison::Absent;
  }
  if (now.KeyExists && !now.KeyReadable) return TComparison::Other;   // cannot be told
  if (now.ValueResult == ERROR_FILE_NOT_FOUND) return entry.Deleted ? TComparison::Same : TComparison::Absent;
  if (now.ValueResult != ERROR_SUCCESS || entry.Deleted) return TComparison::Other;
  return SameData(entry, now.Type, now.Data) ? TComparison::Same : TComparison::Other;
}

// As Compare, telling apart a value that holds what the change noted it wrote (changed by nothing
// since) from one that holds anything else.
TComparison CompareWithWritten(const TScriptEntry& entry, const TEntryNow& now, const TWrittenRecord& written) {
  TComparison comparison = Compare(entry, now);
  if (comparison != TComparison::Other || entry.IsKey || !now.KeyReadable || now.ValueResult != ERROR_SUCCESS)
    return comparison;
  const TScriptEntry* noted = written.Find(entry);
  bool asWritten = noted != nullptr && !noted->Deleted && SameData(*noted, now.Type, now.Data);
  return asWritten ? TComparison::Written : TComparison::Other;
}

// Writes into `part` what the script's last word on each entry brings back that is absent now or
// still holds what the change noted in `changed` wrote; the entries that hold other data now go
// into result.Left. False when the program is ending meanwhile.
bool WriteAbsentPart(const TScriptFile& file, TLaterLines& later, const TWrittenRecord& changed, TScriptWriter& part,
                     int& written, TRestoreResult& result, const TRestoreProgress& progress) {
  TScriptParser parser(file.Handle());
  if (!parser.ReadHeader()) return true;
  TWalk walk(progress, TRestoreStep::Comparing, file.Size());
  TRegistryReader reader;
  for (TScriptEntry entry; parser.Next(entry);) {
    if (!walk.Step(parser.Position())) {
      result.Problems.push_back(kStopped);
      return false;
    }
    if (later.Overridden(entry)) continue;
    TComparison comparison = CompareWithWritten(entry, reader.Read(entry), changed);
    if (comparison == TComparison::Other) AddListed(result.Left, result.LeftUnlisted, EntryName(entry));
    if (comparison != TComparison::Absent && comparison != TComparison::Written) continue;
    part.Write(entry);
    ++written;
  }
  walk.Done();
  return true;
}

// Runs the importer on a script; false when it could not be started (nothing was imported then).
// An exit code other than 0 is noted.
bool Import(const std::string& fileName, TRestoreResult& result, const TRestoreProgress& progress) {
  if (progress) progress(TRestoreStep::Importing, 0);
  DWORD exitCode = 0;
  if (!RunImport(fileName, exitCode)) {
    result.Problems.push_back("Regedit could not be started.");
    return false;
  }
  if (exitCode != 0) result.Problems.push_back(Format("Regedit ended with code %d.", (int)exitCode));
  result.Imported = exitCode == 0;
  if (progress) progress(TRestoreStep::Importing, 100);
  return true;
}

void SetVerified(TRestoreResult& result) {
  result.Verified = result.Problems.empty() && result.NotWritten.empty() && result.NotWrittenUnlisted == 0;
}

// The part of a backup to import: a new file beside the backup, where only the program writes
// (never the temporary folder, which every program of the user may write), removed again when
// this object goes.
class TPartFile {
 public:
  // Creates the file for `writer`; false when no name beside the backup is free or writable.
  bool Create(const std::string& backup, TScriptWriter& writer) {
    for (int i = 0; i < kTries; ++i) {
      std::string name = backup + (i == 0 ? std::string() : Format(".%d", i)) + ".restore";
      if (writer.Create(name)) {
        name_ = name;
        return true;
      }
      DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
  }
  const std::string& Name() const { return name_; }
  ~TPartFile() {
    if (!name_.empty()) DeleteFileW(Widen(name_).c_str());
  }

 private:
  static constexpr int kTries = 100;
  std::string name_;
};

}  // namespace

TRestoreResult VerifyRegistryScript(const std::string& fileName, const TRestoreProgress& progress) {
  TRestoreResult result;
  TScriptFile file;
  std::string problem;
  if (!file.Open(fileName, problem)) {
    result.Problems.push_back(problem);
    return result;
  }
  TLaterLines later(file.Size());
  if (LearnScript(fileName, file, later, result, progress) != TReading::Read) return result;
  Verify(file, &later, result, progress);
  SetVerified(result);
  return result;
}

TRestoreResult RestoreRegistryScript(const std::string& fileName, const TRestoreProgress& progress) {
  TRestoreResult result;
  TScriptFile file;   // held until the check is done: regedit imports what was read
  if (!OpenScript(fileName, file, result)) return result;
  TLaterLines later(file.Size());
  if (!ReadWholeScript(fileName, file, later, result, progress)) return result;
  if (!Import(fileName, result, progress)) return result;
  Verify(file, &later, result, progress);
  SetVerified(result);
  return result;
}

TRestoreResult RestoreUndoBackup(const std::string& fileName, const TRestoreProgress& progress) {
  TRestoreResult result;
  TScriptFile file;
  if (!OpenScript(fileName, file, result)) return result;
  TLaterLines later(file.Size());
  TWrittenRecord changed;
  if (!ReadWholeScript(fileName, file, later, result, progress, &changed)) return result;

  TPartFile partFile;
  TScriptWriter writer;
  if (!partFile.Create(fileName, writer)) {
    result.Problems.push_back("The part of the backup to restore could not be written beside it in " +
                              ExtractFilePath(fileName));
    return result;
  }
  int written = 0;
  bool compared = WriteAbsentPart(file, later, changed, writer, written, result, progress);
  if (!writer.Close() && compared) {
    result.Problems.push_back("The part of the backup to restore could not be written: " + partFile.Name());
    return result;
  }
  file.Close();
  if (!compared) return result;
  if (written == 0) {
    result.Imported = true;   // everything is there already, or left
    SetVerified(result);
    return result;
  }
  // held against writing from here to the end of the check; what is held must be what was written
  TScriptFile part;
  std::string problem;
  uint64_t hash = 0;
  if (!part.Open(partFile.Name(), problem) || !HashFile(part.Handle(), hash) || hash != writer.Hash()) {
    result.Problems.push_back("The part of the backup to restore was changed before its import: " + partFile.Name());
    return result;
  }
  if (!Import(partFile.Name(), result, progress)) return result;
  Verify(part, nullptr, result, progress);
  SetVerified(result);
  return result;
}

std::string FullBackupFolder() { return ExeDir() + "FullBackup\\"; }

// Runs the export like RunAndWait, but ends it when the program ends meanwhile (the export is
// then not complete); false then.
static bool RunExport(const std::string& command, DWORD& exitCode) {
  constexpr DWORD kExitCheckMs = 50;
  TKernelHandle process = StartProcess(command, SW_HIDE);
  if (!process) return false;
  while (!WaitHandlingMessages(process.Get(), kExitCheckMs)) {
    if (!Application.Terminated()) continue;
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 5000);
    return false;
  }
  return GetExitCodeProcess(process.Get(), &exitCode) != 0;
}

namespace {
constexpr DWORD kExportEnds = 4096;   // bytes read of an export's head and of its tail
const char kWideMark[] = "\xFF\xFE";   // UTF-16LE byte-order mark

// Up to `count` bytes of the file from `offset`.
std::string ReadAt(HANDLE file, uint64_t offset, DWORD count) {
  LARGE_INTEGER at;
  at.QuadPart = (LONGLONG)offset;
  std::string bytes(count, '\0');
  DWORD got = 0;
  if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !ReadFile(file, bytes.data(), count, &got, nullptr)) return {};
  bytes.resize(got);
  return bytes;
}

bool IsWide(HANDLE file) { return ReadAt(file, 0, 2) == kWideMark; }

bool IsComplete(HANDLE file, uint64_t size) {
  std::string head = ReadAt(file, 0, (DWORD)std::min<uint64_t>(size, kExportEnds));
  bool wide = head.compare(0, 2, kWideMark) == 0;
  std::wstring text;
  if (wide) {
    text.assign((head.size() - 2) / 2, L'\0');
    memcpy(text.data(), head.data() + 2, text.size() * 2);
  } else {
    text = Widen(head);   // the header and the brackets read the same in any 8-bit code page
  }
  bool headed = text.rfind(L"Windows Registry Editor Version 5.00", 0) == 0 || text.rfind(L"REGEDIT4", 0) == 0;
  if (!headed || text.find(L"\n[") == std::wstring::npos) return false;
  std::string tail = ReadAt(file, size >= 2 ? size - 2 : 0, 2);
  return wide ? tail == std::string("\n\0", 2) : !tail.empty() && tail.back() == '\n';
}

// Appends the current user's note to a complete export as its last line, in the export's own
// encoding (nothing when the user's SID cannot be read). False when it could not be written.
bool NoteExportUser(HANDLE file, uint64_t size) {
  const std::string sid = PublicFunctionUnit::CurrentUserSid();
  if (sid.empty()) return true;
  const std::string line = UserNotePrefix + sid + "\r\n";   // a SID is plain ASCII
  std::string bytes = line;
  if (IsWide(file)) {
    std::wstring wide(line.begin(), line.end());
    bytes.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  }
  LARGE_INTEGER end;
  end.QuadPart = (LONGLONG)size;
  DWORD written = 0;
  return SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
         WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size() &&
         FlushFileBuffers(file);
}
}  // namespace

bool IsCompleteExport(const std::string& fileName) {
  TScriptFile file;
  std::string problem;
  return file.Open(fileName, problem) && IsComplete(file.Handle(), file.Size());
}

bool ReadExportUser(const std::string& fileName, std::string& sid) {
  sid.clear();
  TScriptFile file;
  std::string problem;
  if (!file.Open(fileName, problem)) return false;
  const uint64_t size = file.Size();
  const bool wide = IsWide(file.Handle());
  const uint64_t first = wide ? 2 : 0;   // after the byte-order mark
  uint64_t from = size > first + kExportEnds ? size - kExportEnds : first;
  if (wide && from % 2 != 0) ++from;   // whole characters only
  if (from >= size) return true;
  std::string tail = ReadAt(file.Handle(), from, (DWORD)(size - from));
  std::wstring text;
  if (wide) {
    text.assign(tail.size() / 2, L'\0');
    memcpy(text.data(), tail.data(), text.size() * 2);
  } else {
    for (unsigned char c : tail) text += (wchar_t)c;   // a note is plain ASCII, the same in any code page
  }
  size_t end = text.size();
  while (end > 0 && std::iswspace(text[end - 1])) --end;
  size_t lineFeed = end == 0 ? std::wstring::npos : text.rfind(L'\n', end - 1);
  if (lineFeed == std::wstring::npos && from > first) return true;   // a line longer than what was read
  size_t begin = lineFeed == std::wstring::npos ? 0 : lineFeed + 1;
  std::string noted;
  if (IsUserNote(text.substr(begin, end - begin), noted) && PublicFunctionUnit::IsSidText(noted)) sid = noted;
  return true;
}

// Runs the export and tells whether it wrote a complete script, which is then noted as the
// current user's.
static bool ExportCompleted(const std::string& command, const std::string& fileName) {
  DWORD exitCode = 1;
  if (!RunExport(command, exitCode) || exitCode != 0) return false;
  // nobody else writes the file between the check and the note
  TKernelHandle file(CreateFileW(Widen(fileName).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size)) return false;
  return IsComplete(file.Get(), (uint64_t)size.QuadPart) && NoteExportUser(file.Get(), (uint64_t)size.QuadPart);
}

TFullBackupResult MakeFullBackup(const std::string& folder, TDateTime stamp, const std::string& key) {
  TFullBackupResult result;
  std::string dir = ExcludeTrailingBackslash(folder);
  if (!DirectoryExists(dir)) CreateDirectoryW(Widen(dir).c_str(), nullptr);
  auto nameOf = [&folder](TDateTime t) {
    return Format("%sBackup_%s.reg", IncludeTrailingBackslash(folder), FormatDateTime("yyyymmdd_hhnnss", t));
  };
  result.FileName = MainUnit::FreeBackupFileName(nameOf, stamp);   // an earlier backup is never written over
  std::string command = PublicFunctionUnit::WindowsProgram("regedit.exe") + " /E \"" + result.FileName + "\"";
  if (!key.empty()) command += " \"" + key + "\"";
  result.Succeeded = ExportCompleted(command, result.FileName);
  // a cut-off export must not stay in the list looking like a full backup
  if (!result.Succeeded && FileExists(result.FileName)) DeleteFileW(Widen(result.FileName).c_str());
  return result;
}

}  // namespace RegBackupUnit
