// Text helpers with the semantics the rest of the program was written against:
// 1-based positions, Copy's forgiving bounds, Trim of every control character,
// path splitting at "\" and ":", locale-aware upper-casing.
// All text inside the program is UTF-8; Widen/Narrow convert at the API boundary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Narrow(const wchar_t* wide, size_t length);

// Decodes bytes read from a text file line by line (an optional BOM is dropped): a line that is
// valid UTF-8 is taken as UTF-8, any other in the ANSI code page, so that a file written 8-bit
// by an older version and appended to in UTF-8 reads back whole.
std::string DecodeTextBytes(const std::string& bytes);

int Pos(const std::string& sub, const std::string& s);               // 1-based, 0 when absent
std::string Copy(const std::string& s, int index, int count);         // 1-based
std::string Trim(const std::string& s);                               // drops chars <= ' ' at both ends
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string UpperCase(const std::string& s);                          // ASCII letters only
std::string AnsiUpperCase(const std::string& s);                      // locale-aware
std::string AnsiLowerCase(const std::string& s);
bool SameText(const std::string& a, const std::string& b);            // locale-aware, case-insensitive

std::string ExtractFilePath(const std::string& path);   // up to and including the last "\" or ":"
std::string ExtractFileName(const std::string& path);   // after the last "\" or ":"
std::string ExtractFileExt(const std::string& path);    // from the last "." after the last "\" or ":"
std::string ExtractFileDrive(const std::string& path);  // "C:" or ""
std::string IncludeTrailingBackslash(const std::string& path);
std::string ExcludeTrailingBackslash(const std::string& path);

// Case-sensitive; replaces the first or every occurrence. An empty pattern leaves the text unchanged.
std::string StringReplace(const std::string& s, const std::string& pattern,
                          const std::string& replacement, bool replaceAll = true);

// Percent escapes for a field of a text record: "%" and each character of `special` written as
// "%" and two upper-case hexadecimal digits. PercentDecode reads every such escape back; false
// when a "%" is not followed by two hexadecimal digits.
std::string PercentEncode(const std::string& text, const std::string& special);
bool PercentDecode(const std::string& text, std::string& decoded);
// The value of one hexadecimal digit (either case); -1 for any other character.
int HexDigit(char c);

std::string IntToStr(long long value);
std::string IntToHex(unsigned long long value, int digits);           // upper-case
long long StrToIntDef(const std::string& s, long long fallback);
long long StrToInt(const std::string& s);                             // throws EConvertError
bool TryStrToInt(const std::string& s, long long& value);
long long Round(double value);                                        // half to even

// The system's own sentence for an error code or an HRESULT, without its line end; "" when the
// system has none.
std::string SystemMessage(unsigned long code);
// The system's sentence for an error code (GetLastError, a registry function's result), its
// "%1" replaced by subject when one is given; "System error <code>." when the system has none.
std::string SystemErrorText(unsigned long code, const std::string& subject = "");

bool FileExists(const std::string& path);                             // false for folders
// True only when the system says that nothing of that name is there: an entry it cannot look at
// (no access, held in a way that hides it) counts as there, so it is never taken for a free name.
bool PathAbsent(const std::string& path);
// True for the look-up errors that say nothing of that name is there: "file not found" and "path
// not found". Any other (access denied, a sharing violation, a network error) says nothing.
bool NotFoundError(unsigned long error);
bool DirectoryExists(const std::string& path);
bool ForceDirectories(const std::string& path);

// printf-style formatting ("%d", "%10d", "%08X", "%s"); std::string arguments are accepted.
namespace format_detail {
inline const char* Arg(const std::string& s) { return s.c_str(); }
template <class T> inline T Arg(const T& v) { return v; }
std::string FormatC(const char* fmt, ...);
}
template <class... A>
std::string Format(const char* fmt, const A&... args) {
  return format_detail::FormatC(fmt, format_detail::Arg(args)...);
}

// The folder of the running executable, with a trailing "\".
std::string ExeDir();
std::string ExeName();   // full path of the running executable

// A date-time as days since 1899-12-30 with the time as the fraction.
using TDateTime = double;
TDateTime Now();
std::string FormatDateTime(const std::string& fmt, TDateTime t);  // "yyyymmdd_hhnnss" and the like
// The default date-and-time text: the locale's short date and long time (the date alone at
// exactly midnight).
std::string DateTimeToStr(TDateTime t);
