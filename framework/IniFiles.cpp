#include "IniFiles.h"

#include <windows.h>

#include "Exceptions.h"
#include "Handles.h"
#include "Strings.h"

namespace {

// Reads a profile list (names separated by NULs, ending in two NULs) into its parts.
std::vector<std::string> SplitNulList(const std::wstring& buffer, DWORD length) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (buffer[i] != L'\0') continue;
    if (i > start) parts.push_back(Narrow(buffer.c_str() + start, i - start));
    start = i + 1;
  }
  if (start < length) parts.push_back(Narrow(buffer.c_str() + start, length - start));
  return parts;
}

// Calls read(buffer, size) with a growing buffer until the text fits; the profile functions
// return size - 1 (strings) or size - 2 (lists) when they had to cut.
template <class Read>
std::wstring ReadGrowing(DWORD cut, Read read, DWORD& length) {
  std::wstring buffer;
  for (DWORD size = 1024;; size *= 4) {
    buffer.assign(size, L'\0');
    length = read(buffer.data(), size);
    if (length < size - cut || size >= (1u << 24)) return buffer;
  }
}

}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& fallback) const {
  std::wstring s = Widen(section), k = Widen(ident), def = Widen(fallback), file = Widen(fileName_);
  DWORD length = 0;
  std::wstring buffer = ReadGrowing(1, [&](wchar_t* b, DWORD size) {
    return GetPrivateProfileStringW(s.c_str(), k.c_str(), def.c_str(), b, size, file.c_str());
  }, length);
  return Narrow(buffer.c_str(), length);
}

long long TIniFile::ReadInteger(const std::string& section, const std::string& ident, long long fallback) const {
  std::string text = ReadString(section, ident, "");
  return text.empty() ? fallback : StrToIntDef(text, fallback);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& ident, bool fallback) const {
  return ReadInteger(section, ident, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  CreateUnicodeFileIfMissing();
  if (!WritePrivateProfileStringW(Widen(section).c_str(), Widen(ident).c_str(), Widen(value).c_str(),
                                  Widen(fileName_).c_str()))
    WriteFailed();
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, long long value) {
  WriteString(section, ident, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::wstring s = Widen(section), file = Widen(fileName_);
  DWORD length = 0;
  std::wstring buffer = ReadGrowing(2, [&](wchar_t* b, DWORD size) {
    return GetPrivateProfileStringW(s.c_str(), nullptr, L"", b, size, file.c_str());
  }, length);
  return SplitNulList(buffer, length);
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::wstring file = Widen(fileName_);
  DWORD length = 0;
  std::wstring buffer = ReadGrowing(2, [&](wchar_t* b, DWORD size) {
    return GetPrivateProfileSectionNamesW(b, size, file.c_str());
  }, length);
  return SplitNulList(buffer, length);
}

std::vector<std::string> TIniFile::ReadSectionValues(const std::string& section) const {
  std::wstring s = Widen(section), file = Widen(fileName_);
  DWORD length = 0;
  std::wstring buffer = ReadGrowing(2, [&](wchar_t* b, DWORD size) {
    return GetPrivateProfileSectionW(s.c_str(), b, size, file.c_str());
  }, length);
  return SplitNulList(buffer, length);
}

bool TIniFile::SectionExists(const std::string& section) const { return !ReadSection(section).empty(); }

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  for (const std::string& key : ReadSection(section))
    if (SameText(key, ident)) return true;
  return false;
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  WritePrivateProfileStringW(Widen(section).c_str(), Widen(ident).c_str(), nullptr, Widen(fileName_).c_str());
}

void TIniFile::EraseSection(const std::string& section) {
  if (!WritePrivateProfileStringW(Widen(section).c_str(), nullptr, nullptr, Widen(fileName_).c_str()))
    WriteFailed();
}

void TIniFile::UpdateFile() { WritePrivateProfileStringW(nullptr, nullptr, nullptr, Widen(fileName_).c_str()); }

void TIniFile::CreateUnicodeFileIfMissing() const {
  std::wstring file = Widen(fileName_);
  // Only a path with a folder: a bare name such as "win.ini" is the system's own file.
  if (file.find_first_of(L"\\/") == std::wstring::npos) return;
  TKernelHandle h(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return;   // there already, or the write that follows reports the failure
  static const unsigned char kBom[] = {0xFF, 0xFE};
  DWORD written = 0;
  WriteFile(h.Get(), kBom, sizeof kBom, &written, nullptr);
}

void TIniFile::WriteFailed() const { throw EIniFileException(Format("Unable to write to %s", fileName_)); }

TIniReadHold::TIniReadHold(const std::string& fileName)
    : file_(CreateFileW(Widen(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
      error_(file_ ? 0 : GetLastError()) {}
