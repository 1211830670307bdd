// A profile (INI) file: sections of "key=value" lines, read and written through the system's
// profile functions, so win.ini and the program's own files behave as the system reads them.
// A file the object creates starts as UTF-16 so that no name or value is lost to the code page;
// existing files keep their encoding.
//
// How to use:
//   TIniFile ini(path);
//   ini.WriteString("Section", "F1", "400");        // throws EIniFileException on failure
//   std::string v = ini.ReadString("Section", "F1", "");
//   for (const std::string& key : ini.ReadSection("Section")) ...
//
// The profile functions read a file they cannot open as an empty one. A reader that must never
// take such a file for an empty one holds it with TIniReadHold while it reads:
//   TIniReadHold hold(ini.FileName());
//   if (!hold.Held() && !hold.Absent()) throw ...;   // there, but it cannot be read now
//   ... ini.ReadString(...) ...
#pragma once

#include <string>
#include <vector>

#include "Handles.h"

class TIniFile {
 public:
  explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  const std::string& FileName() const { return fileName_; }

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& fallback) const;
  // A missing or non-numeric value gives fallback.
  long long ReadInteger(const std::string& section, const std::string& ident, long long fallback) const;
  bool ReadBool(const std::string& section, const std::string& ident, bool fallback) const;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, long long value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);

  // The key names of a section, in file order (empty when the section is missing or empty).
  std::vector<std::string> ReadSection(const std::string& section) const;
  std::vector<std::string> ReadSections() const;
  // The "key=value" lines of a section.
  std::vector<std::string> ReadSectionValues(const std::string& section) const;
  // A section counts as there when it holds at least one key.
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& ident) const;

  void DeleteKey(const std::string& section, const std::string& ident);
  void EraseSection(const std::string& section);   // throws EIniFileException on failure
  // Writes what the system keeps in memory for the file to disk.
  void UpdateFile();

 private:
  void CreateUnicodeFileIfMissing() const;
  [[noreturn]] void WriteFailed() const;
  std::string fileName_;
};

// Holds a file open for reading, every kind of sharing allowed, for the length of a scope: no
// other program can lock it meanwhile, so the profile functions can read it while it is held.
class TIniReadHold {
 public:
  explicit TIniReadHold(const std::string& fileName);
  bool Held() const { return static_cast<bool>(file_); }
  // Not held because the file is not there (or its folder is not).
  bool Absent() const { return error_ == ERROR_FILE_NOT_FOUND || error_ == ERROR_PATH_NOT_FOUND; }
  // Why the file could not be opened; 0 when it is held.
  DWORD OpenError() const { return error_; }

 private:
  TKernelHandle file_;
  DWORD error_ = 0;
};
