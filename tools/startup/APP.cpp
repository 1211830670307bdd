// The version resource reader. Every block the resource hands back is used only after the query
// succeeded and said it is long enough, so a cut or malformed resource never reads past its end.
#include "APP.h"

#include <windows.h>

#include "../../framework/Application.h"
#include "../../framework/Strings.h"

namespace APP {

namespace {

// A block of the resource being read, or null when the query failed or the block is shorter
// than `minimum` bytes.
const void* QueryBlock(const std::vector<uint8_t>& data, const std::wstring& path, UINT minimum, UINT& length) {
  void* block = nullptr;
  length = 0;
  if (data.empty()) return nullptr;
  if (!VerQueryValueW(data.data(), path.c_str(), &block, &length) || block == nullptr) return nullptr;
  const auto* begin = data.data();
  const auto* at = static_cast<const uint8_t*>(block);
  if (at < begin || at >= begin + data.size()) return nullptr;   // never trust a pointer out of the buffer
  if (length < minimum) return nullptr;
  return block;
}

size_t AlignUp(size_t offset) { return (offset + 3) & ~size_t(3); }

// True when the block at `offset` and every block inside it lie within `end`: each has a length
// of at least its header, a key ended by a zero inside it, and children inside it. The system's
// query walks these lengths, so a resource that fails here is not queried at all.
bool WellFormedBlock(const uint8_t* data, size_t offset, size_t end, int depth) {
  if (depth > 4 || offset + 6 > end) return false;
  WORD length = 0, valueLength = 0, type = 0;
  memcpy(&length, data + offset, 2);
  memcpy(&valueLength, data + offset + 2, 2);
  memcpy(&type, data + offset + 4, 2);
  size_t blockEnd = offset + length;
  if (length < 6 || blockEnd > end) return false;
  size_t at = offset + 6;
  for (;; at += 2) {   // the key
    if (at + 2 > blockEnd) return false;
    if (data[at] == 0 && data[at + 1] == 0) break;
  }
  size_t child = AlignUp(AlignUp(at + 2) + (type == 1 ? valueLength * 2u : valueLength));
  while (child + 6 <= blockEnd) {
    WORD childLength = 0;
    memcpy(&childLength, data + child, 2);
    if (!WellFormedBlock(data, child, blockEnd, depth + 1)) return false;
    child = AlignUp(child + childLength);
  }
  return true;
}

}  // namespace

void TAppObj::ReadVersionInfo(const std::string& fileName) {
  std::wstring wide = Widen(fileName);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
  std::vector<uint8_t> data(size, 0);
  if (size > 0 && !GetFileVersionInfoW(wide.c_str(), 0, size, data.data())) data.clear();
  ReadVersionResource(std::move(data));
  FileDir = ExtractFilePath(fileName);
  FileName = ExtractFileName(fileName);
}

void TAppObj::ReadVersionResource(std::vector<uint8_t> data) {
  Translation = 0;
  TranslationText.clear();
  VersionMajor = VersionMinor = VersionRelease = VersionBuild = 0;
  versionData_ = std::move(data);
  if (!versionData_.empty() && !WellFormedBlock(versionData_.data(), 0, versionData_.size(), 0)) versionData_.clear();
  ReadFixedInfo();
  ReadTranslation();
  ReadStrings();
  InfoCount = 10;
  AppTitle = Application.Title;
  InfoTexts[0] = Format("%d.%d.%d.%d", (int)VersionMajor, (int)VersionMinor, (int)VersionRelease, (int)VersionBuild);
  versionData_.clear();
}

void TAppObj::ReadFixedInfo() {
  UINT length = 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(QueryBlock(versionData_, L"\\", sizeof(VS_FIXEDFILEINFO), length));
  if (fixed == nullptr) return;
  VersionMajor = HIWORD(fixed->dwFileVersionMS);
  VersionMinor = LOWORD(fixed->dwFileVersionMS);
  VersionRelease = HIWORD(fixed->dwFileVersionLS);
  VersionBuild = LOWORD(fixed->dwFileVersionLS);
}

void TAppObj::ReadTranslation() {
  UINT length = 0;
  const void* block = QueryBlock(versionData_, L"\\VarFileInfo\\Translation", sizeof(DWORD), length);
  if (block == nullptr) return;
  DWORD value = 0;
  memcpy(&value, block, sizeof value);
  Translation = value;
  TranslationText = Format("%04X%04X", (unsigned)LOWORD(value), (unsigned)HIWORD(value));
}

void TAppObj::ReadStrings() {
  std::string* fields[10] = {&CompanyName, &FileDescription, &FileVersion, &InternalName, &LegalCopyright,
                             &LegalTradeMarks, &OriginalFilename, &ProductName, &ProductVersion, &Comments};
  for (int i = 0; i < 10; ++i) {
    *fields[i] = QueryString(InfoNames[i]);
    InfoTexts[i + 1] = *fields[i];
  }
}

std::string TAppObj::QueryString(const std::string& name) const {
  if (versionData_.empty() || TranslationText.empty()) return {};
  UINT length = 0;
  std::wstring path = Widen("StringFileInfo\\" + TranslationText + "\\" + name);
  const auto* text = static_cast<const wchar_t*>(QueryBlock(versionData_, path, 0, length));
  if (text == nullptr) return {};
  // The length counts characters; the text ends at its first zero or at the end of the buffer.
  size_t room = (versionData_.data() + versionData_.size() - reinterpret_cast<const uint8_t*>(text)) / sizeof(wchar_t);
  size_t count = 0;
  while (count < length && count < room && text[count] != L'\0') ++count;
  return Trim(Narrow(text, count));
}

std::string TAppObj::GetInfo(int index) const {
  if (index < 0 || index >= (int)InfoTexts.size()) return {};
  return InfoTexts[index];
}

}  // namespace APP
