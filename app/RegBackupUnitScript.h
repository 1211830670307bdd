// Registry scripts read and written a line at a time, so that a full export of hundreds of
// megabytes costs no more memory than a small backup: the script file held open against writing,
// its lines as the system's importer splits them, the statements read from them, which statements
// a later line of the same script overrides, and the writer of the canonical lines that a restore
// hands to the importer.
//
// How to use:
//   TScriptFile file;
//   if (!file.Open(name, problem)) ...;            // nobody writes it while `file` lives
//   TScriptParser parser(file.Handle());
//   if (!parser.ReadHeader()) ...;                  // not a registry script
//   for (TScriptEntry entry; parser.Next(entry);) ...;   // parser.Problems: what could not be read
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include <windows.h>

#include "../framework/Handles.h"
#include "../framework/StringList.h"

namespace RegBackupUnit {

// How many names a message list keeps; the rest are only counted.
inline constexpr size_t kListedNames = 1000;
// Adds item to list, or counts it in unlisted once the list holds kListedNames.
void AddListed(std::vector<std::string>& list, size_t& unlisted, std::string item);

// An existing file open for reading that no program may write, rename or delete while it is open
// (other readers, the importer among them, may read it).
class TScriptFile {
 public:
  // False, with the reason for the user in problem, when the file is missing, in use for writing or
  // cannot be read.
  bool Open(const std::string& fileName, std::string& problem);
  HANDLE Handle() const { return handle_.Get(); }
  uint64_t Size() const { return size_; }
  void Close() { handle_.Reset(); }

 private:
  TKernelHandle handle_;
  uint64_t size_ = 0;
};

// Why a line may read otherwise to the importer than here.
enum class TLineFlaw {
  None,
  LoneReturn,   // a carriage return not followed by a line feed: a line end to the importer
  Zero,         // a zero character, where the importer's text ends
};

// The lines of a script file from its start, as the importer splits them at each line feed (a
// carriage return before it belongs to the line end). A file that starts with the UTF-16LE
// byte-order mark is read as UTF-16LE, any other as 8-bit text in the ANSI code page.
class TLineReader {
 public:
  explicit TLineReader(HANDLE file);
  bool EightBit() const { return eightBit_; }
  // The next line without its line end; false at the end of the file or when reading fails.
  bool Next(std::wstring& line, TLineFlaw& flaw);
  bool Failed() const { return failed_; }
  uint64_t Position() const { return dropped_ + start_; }   // bytes taken so far

 private:
  bool Fill(size_t& scan);
  size_t FindLineFeed(size_t from) const;
  size_t UsableEnd() const;
  void Take(size_t begin, size_t end, std::wstring& line, TLineFlaw& flaw) const;

  HANDLE file_;
  std::string buffer_;
  size_t start_ = 0;       // where the next line begins in buffer_
  uint64_t dropped_ = 0;   // bytes dropped from the buffer's front
  bool eightBit_ = true;
  bool ended_ = false;
  bool failed_ = false;
};

// One statement of a script: a key that must exist (or, deleted, must not), or a value of the
// current key with its type and bytes (or, deleted, that must not exist).
struct TScriptEntry {
  bool IsKey = false;
  bool Deleted = false;
  std::string Key;          // the root's name (upper case), "\" and the path
  std::wstring ValueName;   // "" is the unnamed value
  DWORD Type = REG_NONE;
  std::vector<uint8_t> Data;
  uint64_t Ordinal = 0;     // its place among the statements, from 1
  uint64_t KeySerial = 0;   // the number of the key line it belongs to, from 1
};

// ---- notes ----
// The importer, and every version of this program, passes over a line starting with ";". In the
// backups it writes, the program notes in such lines whose hive the HKEY_CURRENT_USER lines are
// (the program's folder is shared by every user of the machine) and, for a backup taken before a
// change, what the change wrote, so that undoing it can tell the change's own data from data
// changed since:
//   ;User: S-1-5-21-...                         once, after the header (a full export, which the
//                                               system's exporter writes, has it as its last line
//                                               instead: its hundreds of megabytes are never
//                                               rewritten for it)
//   ;Written: [HKEY_LOCAL_MACHINE\...]           after the backup's own lines: each value the
//   ;Written: "start page"="about:blank"         change touched as it was right after the change,
//   ;Written: "created then removed"=-           in the script's key and value lines, one a line
inline constexpr const char* UserNotePrefix = ";User: ";
inline constexpr const char* WrittenNotePrefix = ";Written: ";
// Notes the current user in a script's lines, after the header (nothing when the user's SID
// cannot be read).
void AddUserNote(TStringList& lines);
// True when a script's line (blanks around it aside) is a user note; sid is then the text after
// the prefix, without blanks around it, which may be no SID.
bool IsUserNote(const std::wstring& line, std::string& sid);

// What a change wrote as a script's written notes state it, the last note of a value winning.
class TWrittenRecord {
 public:
  void Add(const TScriptEntry& value);
  // The note of the value `entry` names (its key, as the registry tells keys apart, and its name in
  // any case); null when there is none.
  const TScriptEntry* Find(const TScriptEntry& entry) const;
  size_t Count() const { return values_.size(); }

 private:
  static std::pair<std::string, std::wstring> Identity(const TScriptEntry& entry);
  std::map<std::pair<std::string, std::wstring>, TScriptEntry> values_;
};

// The statements of a script in file order, read as the importer reads them. A line that cannot
// be read, or that the importer would read otherwise (a lone carriage return, a zero character, a
// root that is no root, an empty key name, a value name holding a line break), is noted in
// Problems and passed over.
class TScriptParser {
 public:
  explicit TScriptParser(HANDLE file) : lines_(file) {}
  // Reads the first line: true for "Windows Registry Editor Version 5.00" and "REGEDIT4".
  bool ReadHeader();
  // The next statement; false at the end.
  bool Next(TScriptEntry& entry);
  // Reads the notes up to the first statement (whose line it takes too: nothing is read after).
  void ReadLeadingNotes();
  uint64_t Position() const { return lines_.Position(); }
  // Reads the written notes into record; without one they are passed over as any comment.
  void KeepWritten(TWrittenRecord* record) { written_ = record; }

  std::vector<std::string> Problems;   // a note of the program that cannot be read is one
  size_t Unlisted = 0;   // problems beyond those listed
  std::string UserSid;   // of the user note; "" without one

 private:
  void Note(const std::wstring& line);
  void WrittenNote(const std::wstring& line);
  bool ReadLine(std::wstring& line);
  bool KeyLine(const std::wstring& line, TScriptEntry& entry);
  bool ValueLine(const std::wstring& line, TScriptEntry& entry);
  bool ContinuedHex(std::wstring data, TScriptEntry& entry);
  void Unreadable(const std::wstring& line);

  TLineReader lines_;
  std::string key_;   // the current key; "" after a deleted or unreadable key line
  uint64_t ordinal_ = 0, serial_ = 0;
  TWrittenRecord* written_ = nullptr;
  std::string writtenKey_;   // the current key of the written notes
};

// The SID of a script's user note among the lines before its first statement; "" without one (or
// with one that cannot be read). False when the file cannot be read now.
bool ReadScriptUser(const std::string& fileName, std::string& sid);

// The statements of a script that a later line of the same script overrides, as the importer
// applies them in file order: the same key or value stated again, a key or value below a key
// deleted later, a key deletion after which the key (or a key below it) comes again. Learned in
// one pass over the script, asked in the next. What it keeps does not grow with the script: a
// filter of fixed size finds the few statements that may come twice, and only those, and the
// deleted keys, are remembered.
class TLaterLines {
 public:
  explicit TLaterLines(uint64_t fileSize);
  void Learn(const TScriptEntry& entry);   // every statement, in order
  void Learned();                          // frees the filter
  bool Overridden(const TScriptEntry& entry);

 private:
  struct TDeletion {
    uint64_t LastDeleted = 0;
    uint64_t LastCreated = 0;   // the last key line of it or below it
  };
  const std::vector<uint64_t>& KeyHashes(const TScriptEntry& entry);
  uint64_t Target(const TScriptEntry& entry);
  bool TestAndSet(uint64_t hash);

  std::vector<uint64_t> filter_;
  uint64_t filterBits_ = 0;
  std::unordered_map<uint64_t, uint64_t> last_;   // statement: its last ordinal
  std::unordered_map<uint64_t, TDeletion> deletions_;
  uint64_t serial_ = 0;
  std::vector<uint64_t> keyHashes_;   // the current key's and its parents', the key's last
};

// A new script of canonical lines for the importer: UTF-16LE with its byte-order mark, the header
// "Windows Registry Editor Version 5.00", lines ended by CRLF; a key line before the first value of
// each key, the value names escaped, the data as dword: or hex(type): with exactly its bytes.
class TScriptWriter {
 public:
  ~TScriptWriter();
  // Creates the file (never over an existing one); false when that fails.
  bool Create(const std::string& fileName);
  // The statement's lines: its key line unless that key's line was the last one written, and the
  // value line of a value ("name"=- for a value the statement deletes).
  void Write(const TScriptEntry& entry);
  // Writes what is buffered and closes the file; false when any write failed.
  bool Close();
  uint64_t Hash() const { return hash_; }   // of every byte written

 private:
  void Put(const std::wstring& line);
  void Flush();

  TKernelHandle file_;
  std::string buffer_;
  std::string lastKey_;
  uint64_t hash_;
  bool failed_ = false;
};

// The hash TScriptWriter::Hash gives for the bytes of a file read from its start; false when it
// cannot be read.
bool HashFile(HANDLE file, uint64_t& hash);

}  // namespace RegBackupUnit
