// An ordered list of texts that loads and saves text files with CRLF line ends.
#pragma once

#include <string>
#include <vector>

class TStringList {
 public:
  std::vector<std::string> Items;

  int Count() const { return (int)Items.size(); }
  int Add(const std::string& s) {
    Items.push_back(s);
    return (int)Items.size() - 1;
  }
  void Clear() { Items.clear(); }
  void Delete(int index) { Items.erase(Items.begin() + index); }
  int IndexOf(const std::string& s) const;   // case-insensitive, -1 when absent
  const std::string& operator[](int i) const { return Items[i]; }
  std::string& operator[](int i) { return Items[i]; }
  std::string Text() const;                  // every line followed by CRLF

  // Throws EInOutError when the file cannot be read; accepts CRLF and lone LF.
  void LoadFromFile(const std::string& fileName);
  // Writes every line followed by CRLF (UTF-8); throws EInOutError when it cannot.
  void SaveToFile(const std::string& fileName) const;
};

// The lines of a text file's bytes (CRLF or LF), each decoded on its own: UTF-8 where the line
// is valid UTF-8, else the ANSI code page, so one old 8-bit line does not change how the others
// read.
std::vector<std::string> DecodeTextLines(const std::string& bytes);

// Whole-file helpers; the file name is UTF-8. ReadFileBytes throws EInOutError.
std::string ReadFileBytes(const std::string& fileName);
bool WriteFileBytes(const std::string& fileName, const std::string& bytes);
// Writes through a temporary file beside the target and replaces it: a failed write leaves the
// old file as it was.
bool ReplaceFileContents(const std::string& fileName, const std::string& bytes);
// Writes a new file the same way, never replacing one: Taken when a file of that name exists.
enum class TNewFileOutcome { Written, Taken, Failed };
TNewFileOutcome WriteNewFileContents(const std::string& fileName, const std::string& bytes);
bool AppendFileBytes(const std::string& fileName, const std::string& bytes);
