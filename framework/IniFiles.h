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
#pragma once

#include <string>
#include <vector>

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
