// The reader of a program file's version resource: the fixed version numbers, the first
// translation and the ten string values, read one file at a time into the reader's fields.
//
// How to use:
//   TAppObj reader;
//   reader.ReadVersionInfo("C:\\Program Files\\App\\app.exe");
//   std::string company = reader.GetInfo(1);   // 0 the version text, 1..10 the string values
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace APP {

// The string values of a version resource, in the order of GetInfo's indexes 1 to 10.
inline constexpr std::array<const char*, 10> InfoNames = {
    "CompanyName", "FileDescription", "FileVersion",     "InternalName",   "LegalCopyright",
    "LegalTradeMarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments"};

class TAppObj {
 public:
  uint32_t Translation = 0;        // language in the low word, code page in the high word
  std::string TranslationText;     // "%04X%04X" of language and code page
  std::string CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright, LegalTradeMarks,
      OriginalFilename, ProductName, ProductVersion, Comments;
  uint32_t VersionMajor = 0, VersionMinor = 0, VersionRelease = 0, VersionBuild = 0;
  std::string FileDir;             // up to and including the last "\" or ":"
  std::string FileName;            // the rest
  std::string AppTitle;
  std::array<std::string, 11> InfoTexts;   // [0] "%d.%d.%d.%d", [1..10] the string values
  int InfoCount = 0;

  // Fills every field from the file. A file without a version resource, or with one that is cut
  // short or malformed, gives empty texts and zero numbers where nothing sound could be read.
  void ReadVersionInfo(const std::string& fileName);
  // The same from a version resource already in memory (the file's name fields are left).
  void ReadVersionResource(std::vector<uint8_t> data);
  // A string value of the resource being read ("" outside ReadVersionInfo or when missing).
  std::string QueryString(const std::string& name) const;
  // InfoTexts[index] for 0..10, "" otherwise.
  std::string GetInfo(int index) const;

 private:
  void ReadFixedInfo();
  void ReadTranslation();
  void ReadStrings();
  std::vector<uint8_t> versionData_;   // the resource while it is being read
};

}  // namespace APP
