// The junk types the cleaner looks for, and their file "JunkFile.dat" (records: Persrec.h).
// Texts are UTF-8 here and ANSI in the file; each keeps at most 100 characters there. A text goes
// into the file only as it is: a character the ANSI code page has no place for is never turned
// into "?" (a wildcard) or into a look-alike letter; such a text is refused.
//
// How to use:
//   std::vector<TJunkType> types;
//   if (!LoadJunkTypeFile(path, types)) { types = DefaultJunkTypeList(); SaveJunkTypeFile(path, types); }
//   // EInOutError from the load: the file is there but unreadable; never save over it then
#pragma once

#include <string>
#include <vector>

#include "Persrec.h"

namespace SysDiskCleanerUnit {

inline constexpr const char* JunkFileName = "JunkFile.dat";
// %s: the reason the file could not be read.
inline constexpr const char* UnreadableJunkText =
    "The list of junk file types cannot be read:\r\r%s\r\rIf another program is using the file, close it "
    "and choose Retry. Cancel goes back without changing the list.";
// %s: the text that holds characters the file cannot store.
inline constexpr const char* UnstorableJunkText =
    "\"%s\" holds characters that the list of junk file types cannot store on this computer. "
    "Please enter it without them.";

// One junk type as the program holds it.
struct TJunkType {
  bool Checked = true;
  std::string Pattern;       // e.g. "*.tmp"
  std::string Description;   // e.g. "Temporary Junk Files"
  bool operator==(const TJunkType&) const = default;
};

// The 47 types that stand in for a missing file, all ticked, in their fixed order.
std::vector<TJunkType> DefaultJunkTypeList();

// Whether every character of the text has its own place in the ANSI code page of the file.
bool CanStoreJunkText(const std::string& text);
// Text cut to what a record keeps: at most 100 characters, whole characters within 100 bytes.
std::string CutJunkText(const std::string& text);
// Raises EConvertError (UnstorableJunkText) for a pattern or description CanStoreJunkText refuses.
TJunkTypeRecord ToRecord(const TJunkType& type);
// Never reads past the record: a length byte over 100 counts as 100; any non-zero tick is on.
TJunkType FromRecord(const TJunkTypeRecord& record);

// Reads the file and puts its types in place of types; false, types unchanged, when no file of
// that name is there. A file shorter than one record gives no types; a partial last record is
// dropped. Raises EInOutError, types unchanged, when the file may be there but cannot be opened
// or read to its end (held by another program, no access): such a file is never taken for an
// empty one.
bool LoadJunkTypeFile(const std::string& path, std::vector<TJunkType>& types);
// Writes every type in order to a temporary file beside path and then puts it in place of
// path, so a failed save leaves the old file as it was. Raises EInOutError on failure, and
// EConvertError for a type whose text the file cannot store.
void SaveJunkTypeFile(const std::string& path, const std::vector<TJunkType>& types);

}  // namespace SysDiskCleanerUnit
