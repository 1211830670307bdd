// The junk types the cleaner looks for, and their file "JunkFile.dat" (records: Persrec.h).
// Texts are UTF-8 here and ANSI in the file; each keeps at most 100 characters there.
//
// How to use:
//   std::vector<TJunkType> types;
//   if (!LoadJunkTypeFile(path, types)) { types = DefaultJunkTypeList(); SaveJunkTypeFile(path, types); }
#pragma once

#include <string>
#include <vector>

#include "Persrec.h"

namespace SysDiskCleanerUnit {

inline constexpr const char* JunkFileName = "JunkFile.dat";

// One junk type as the program holds it.
struct TJunkType {
  bool Checked = true;
  std::string Pattern;       // e.g. "*.tmp"
  std::string Description;   // e.g. "Temporary Junk Files"
  bool operator==(const TJunkType&) const = default;
};

// The 47 types that stand in for a missing file, all ticked, in their fixed order.
std::vector<TJunkType> DefaultJunkTypeList();

// Text cut to the 100 characters a record keeps.
std::string CutJunkText(const std::string& text);
TJunkTypeRecord ToRecord(const TJunkType& type);
// Never reads past the record: a length byte over 100 counts as 100; any non-zero tick is on.
TJunkType FromRecord(const TJunkTypeRecord& record);

// Reads the file into types (emptied first); false when the file does not exist. A file
// shorter than one record gives no types; a partial last record is dropped. Raises EInOutError
// when the file exists but cannot be opened.
bool LoadJunkTypeFile(const std::string& path, std::vector<TJunkType>& types);
// Writes every type in order to a temporary file beside path and then puts it in place of
// path, so a failed save leaves the old file as it was. Raises EInOutError on failure.
void SaveJunkTypeFile(const std::string& path, const std::vector<TJunkType>& types);

}  // namespace SysDiskCleanerUnit
