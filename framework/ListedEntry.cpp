#include "ListedEntry.h"

#include <shellapi.h>

#include <utility>
#include <vector>

#include "Strings.h"

namespace ListedEntry {

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// The folder as the system reads a parsing path, full; "" when it cannot be made full.
std::wstring FullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return L"";
  std::vector<wchar_t> buffer(size + 1);
  DWORD length = GetFullPathNameW(path.c_str(), (DWORD)buffer.size(), buffer.data(), nullptr);
  if (length == 0 || length >= buffer.size()) return L"";
  return std::wstring(buffer.data(), length);
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

bool IsFileAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool Present(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A "\\?\" path as a parsing path ("\\?\UNC\server\..." as "\\server\...").
std::wstring ParsingForm(const std::wstring& exactPath) {
  if (StartsWith(exactPath, kLongUncPrefix)) return L"\\\\" + exactPath.substr(8);
  return exactPath.substr(4);
}

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Removes one exact path: a file (its read-only attribute cleared first), a link (the link alone)
// or a folder with all it holds. True when it is gone.
bool RemoveExact(const std::wstring& path, DWORD attributes) {
  bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (IsFolder(attributes) && !IsLink(attributes)) {
    // listed first and removed afterwards: a listing is not changed while it is read
    std::vector<std::pair<std::wstring, DWORD>> entries;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") entries.emplace_back(path + L'\\' + name, data.dwFileAttributes);
      } while (FindNextFileW(search, &data));
      FindClose(search);
    }
    for (const auto& [entry, entryAttributes] : entries) RemoveExact(entry, entryAttributes);
    RemoveDirectoryW(path.c_str());
  } else if (IsFolder(attributes)) {
    RemoveDirectoryW(path.c_str());
  } else {
    DeleteFileW(path.c_str());
  }
  if (!Present(path)) return true;
  if (readOnly) SetFileAttributesW(path.c_str(), attributes);   // as it was
  return false;
}

}  // namespace

bool IsListedName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

bool ParsesAsAnother(const std::string& name) {
  if (name.empty()) return true;
  if (name.find_first_not_of('.') == std::string::npos) return true;
  char last = name.back();
  return last == '.' || last == ' ';
}

std::wstring ExactFolder(const std::string& folder) {
  std::wstring wide = Widen(folder);
  if (StartsWith(wide, kLongPrefix)) return WithoutTrailingBackslash(wide);
  if (wide.empty()) return L"";
  std::wstring full = WithoutTrailingBackslash(FullPath(wide));
  if (full.size() < 2) return L"";
  if (StartsWith(full, L"\\\\")) return kLongUncPrefix + full.substr(2);
  if (full[1] != L':') return L"";
  return kLongPrefix + full;
}

std::wstring ExactPath(const std::string& folder, const std::string& name) {
  if (!IsListedName(name)) return L"";
  std::wstring base = ExactFolder(folder);
  if (base.empty()) return L"";
  if (base.back() != L'\\') base.push_back(L'\\');
  return base + Widen(name);
}

DWORD Attributes(const std::string& folder, const std::string& name) {
  std::wstring path = ExactPath(folder, name);
  return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
}

std::string FreeName(const std::string& folder, const std::string& stem, const std::string& extension) {
  std::string name = stem + extension;
  for (int n = 2; Attributes(folder, name) != INVALID_FILE_ATTRIBUTES; ++n)
    name = stem + " (" + IntToStr(n) + ")" + extension;
  return name;
}

bool Delete(const std::string& folder, const std::string& name) {
  std::wstring path = ExactPath(folder, name);
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (!IsFileAttributes(attributes)) return false;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (DeleteFileW(path.c_str())) return true;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes);   // as it was
  return !Present(path);
}

bool DeleteTree(const std::string& folder, const std::string& name) {
  std::wstring path = ExactPath(folder, name);
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || IsLink(attributes)) return false;
  return RemoveExact(path, attributes);
}

namespace {

// The exact paths of a listed file and of a target given as a full path; false when either
// cannot be made or the listed entry is not a plain file.
bool FileAndTarget(const std::string& folder, const std::string& name, const std::string& target,
                   std::wstring& source, std::wstring& to) {
  source = ExactPath(folder, name);
  to = ExactPath(ExtractFilePath(target), ExtractFileName(target));
  return !source.empty() && !to.empty() && IsFileAttributes(GetFileAttributesW(source.c_str()));
}

}  // namespace

bool Copy(const std::string& folder, const std::string& name, const std::string& target) {
  std::wstring source, to;
  return FileAndTarget(folder, name, target, source, to) && CopyFileW(source.c_str(), to.c_str(), TRUE) != FALSE;
}

bool Move(const std::string& folder, const std::string& name, const std::string& target) {
  std::wstring source, to;
  if (!FileAndTarget(folder, name, target, source, to)) return false;
  if (!MoveFileExW(source.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED)) return false;
  return Present(to) && !Present(source);
}

bool Recycle(const std::string& folder, const std::string& name) {
  if (ParsesAsAnother(name)) return false;
  std::wstring exact = ExactPath(folder, name);
  if (exact.empty() || !IsFileAttributes(GetFileAttributesW(exact.c_str()))) return false;
  // The shell gets the parsing path: it must read back as exactly this entry (a folder on the
  // way that the system reads otherwise is refused as well).
  std::wstring parsed = ParsingForm(exact);
  if (FullPath(parsed) != parsed) return false;
  std::wstring from = parsed + L'\0';   // the list of sources ends with two zeros
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted && !Present(exact);
}

}  // namespace ListedEntry
