#include "ListedEntry.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "Registry.h"
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
  int number = 1;
  return FreeName(folder, stem, extension, number);
}

std::string FreeName(const std::string& folder, const std::string& stem, const std::string& extension, int& number) {
  if (number < 1) number = 1;
  for (;; ++number) {
    std::string name = number == 1 ? stem + extension : stem + " (" + IntToStr(number) + ")" + extension;
    if (Attributes(folder, name) == INVALID_FILE_ATTRIBUTES) return name;
  }
}

bool ReadStamp(const std::string& folder, const std::string& name, TFileStamp& stamp) {
  std::wstring path = ExactPath(folder, name);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  stamp.Size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
  stamp.LastWrite = ((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime;
  return true;
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

// ---- the recycle bin ----

std::function<TBinRoom(const std::wstring& path)> BinRoomQuery;
std::function<int(SHFILEOPSTRUCTW& op)> ShellFileOperation;

bool TBinRoom::Takes(uint64_t size) const {
  if (!On) return false;
  return !Capacity || (Used <= *Capacity && size <= *Capacity - Used);
}

namespace {

// The bin's settings as the system's own shell reads them: in the 64-bit view on a 64-bit system
// (the flag is ignored elsewhere).
constexpr REGSAM kSettingsAccess = KEY_QUERY_VALUE | KEY_WOW64_64KEY;

std::optional<DWORD> ReadDword(HKEY root, const std::string& path, const wchar_t* name) {
  TRegKeyHandle key;
  TRegValue value;
  if (!key.Open(root, path, kSettingsAccess) || !QueryRegValue(key.Get(), name, value) || value.Type != REG_DWORD ||
      value.Data.size() < sizeof(DWORD))
    return std::nullopt;
  DWORD number = 0;
  std::memcpy(&number, value.Data.data(), sizeof number);
  return number;
}

// The "{guid}" of the volume whose root is given; "" when the system names none.
std::string VolumeGuid(const std::wstring& root) {
  wchar_t name[64] = {};
  if (!GetVolumeNameForVolumeMountPointW(root.c_str(), name, 64)) return "";
  std::wstring text = name;
  size_t open = text.find(L'{'), close = text.find(L'}');
  return open == std::wstring::npos || close == std::wstring::npos || close < open
             ? ""
             : Narrow(text.substr(open, close - open + 1));
}

uint64_t PerCent(uint64_t total, DWORD percent) { return total / 100 * percent + total % 100 * percent / 100; }

// The settings of the drive's bin: its own (Vista on), else those of systems before it.
void ReadDriveSettings(const std::wstring& root, uint64_t driveBytes, const TBinSettingsKeys& keys, TBinRoom& room) {
  std::string volume = VolumeGuid(root);
  std::string own = keys.Volumes + "\\" + volume;
  TRegKeyHandle probe;
  if (!volume.empty() && probe.Open(keys.UserRoot, own, kSettingsAccess)) {
    if (auto nuke = ReadDword(keys.UserRoot, own, L"NukeOnDelete")) room.On = room.On && *nuke == 0;
    if (auto megabytes = ReadDword(keys.UserRoot, own, L"MaxCapacity")) room.Capacity = (uint64_t)*megabytes << 20;
    return;
  }
  std::string drive = keys.Drives;
  if (ReadDword(keys.MachineRoot, keys.Drives, L"UseGlobalSettings").value_or(1) == 0 && root.size() >= 2 &&
      root[1] == L':')
    drive += "\\" + Narrow(root.substr(0, 1));
  if (auto nuke = ReadDword(keys.MachineRoot, drive, L"NukeOnDelete")) room.On = room.On && *nuke == 0;
  if (auto percent = ReadDword(keys.MachineRoot, drive, L"Percent"); percent && driveBytes > 0)
    room.Capacity = PerCent(driveBytes, std::min<DWORD>(*percent, 100));
}

}  // namespace

TBinRoom ReadBinRoom(const std::wstring& path, const TBinSettingsKeys& keys) {
  TBinRoom room;
  wchar_t rootBuffer[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(path.c_str(), rootBuffer, MAX_PATH + 1)) return room;
  std::wstring root = rootBuffer;
  ULARGE_INTEGER total{};
  uint64_t driveBytes = GetDiskFreeSpaceExW(root.c_str(), nullptr, &total, nullptr) ? total.QuadPart : 0;
  for (HKEY policyRoot : {keys.UserRoot, keys.MachineRoot})
    if (ReadDword(policyRoot, keys.Policies, L"NoRecycleFiles").value_or(0) != 0) room.On = false;
  ReadDriveSettings(root, driveBytes, keys, room);
  for (HKEY policyRoot : {keys.UserRoot, keys.MachineRoot})
    if (auto percent = ReadDword(policyRoot, keys.Policies, L"RecycleBinSize"); percent && driveBytes > 0) {
      room.Capacity = PerCent(driveBytes, std::min<DWORD>(*percent, 100));
      break;
    }
  SHQUERYRBINFO contents{};
  contents.cbSize = sizeof contents;
  if (SHQueryRecycleBinW(root.c_str(), &contents) == S_OK && contents.i64Size > 0) room.Used = contents.i64Size;
  return room;
}

namespace {

// The room of the bin a file goes to, read from the system at most every few seconds per drive
// (asking what a bin holds walks all of it); what Recycle sends there meanwhile counts against it.
TBinRoom& RecentBinRoom(const std::wstring& path) {
  constexpr DWORD kReadAgainAfterMs = 5000;
  struct TKnown {
    TBinRoom Room;
    DWORD ReadAt = 0;
  };
  static std::map<std::wstring, TKnown> known;
  wchar_t root[MAX_PATH + 1] = {};
  std::wstring drive = GetVolumePathNameW(path.c_str(), root, MAX_PATH + 1) ? root : L"";
  if (!drive.empty()) CharUpperBuffW(drive.data(), (DWORD)drive.size());
  DWORD now = GetTickCount();
  auto it = known.find(drive);
  if (it == known.end() || now - it->second.ReadAt >= kReadAgainAfterMs)
    it = known.insert_or_assign(drive, TKnown{ReadBinRoom(path), now}).first;
  return it->second.Room;
}

}  // namespace

TRecycleOutcome Recycle(const std::string& folder, const std::string& name) {
  if (ParsesAsAnother(name)) return TRecycleOutcome::Failed;
  std::wstring exact = ExactPath(folder, name);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (exact.empty() || !GetFileAttributesExW(exact.c_str(), GetFileExInfoStandard, &data) ||
      !IsFileAttributes(data.dwFileAttributes))
    return TRecycleOutcome::Failed;
  // The shell gets the parsing path: it must read back as exactly this entry (a folder on the
  // way that the system reads otherwise is refused as well).
  std::wstring parsed = ParsingForm(exact);
  if (FullPath(parsed) != parsed) return TRecycleOutcome::Failed;
  // a bin that cannot take the file would have the shell delete it for good, without a word
  uint64_t size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
  TBinRoom* known = BinRoomQuery ? nullptr : &RecentBinRoom(parsed);
  if (!(known ? *known : BinRoomQuery(parsed)).Takes(size)) return TRecycleOutcome::BinCannotTake;
  std::wstring from = parsed + L'\0';   // the list of sources ends with two zeros
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  // no questions, but the warning before a file would be deleted for good rather than recycled
  // (what the settings do not show: a bin the shell finds full after all)
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT | FOF_WANTNUKEWARNING;
  int result = ShellFileOperation ? ShellFileOperation(op) : SHFileOperationW(&op);
  if (!Present(exact)) {
    if (result != 0) return TRecycleOutcome::Failed;
    if (known) known->Used += size;
    return TRecycleOutcome::Recycled;
  }
  return op.fAnyOperationsAborted || result == ERROR_CANCELLED ? TRecycleOutcome::BinCannotTake
                                                               : TRecycleOutcome::Failed;
}

}  // namespace ListedEntry
