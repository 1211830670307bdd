#include "StringList.h"

#include <windows.h>

#include "Exceptions.h"
#include "Strings.h"

int TStringList::IndexOf(const std::string& s) const {
  for (size_t i = 0; i < Items.size(); ++i)
    if (SameText(Items[i], s)) return (int)i;
  return -1;
}

std::string TStringList::Text() const {
  std::string t;
  for (const auto& s : Items) t += s + "\r\n";
  return t;
}

void TStringList::LoadFromFile(const std::string& fileName) {
  Items = DecodeTextLines(ReadFileBytes(fileName));
}

void TStringList::SaveToFile(const std::string& fileName) const {
  if (!WriteFileBytes(fileName, Text())) throw EInOutError("Cannot create file \"" + fileName + "\"");
}

namespace {
struct FileHandle {
  HANDLE h;
  explicit FileHandle(HANDLE handle) : h(handle) {}
  ~FileHandle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
};

bool WriteAll(HANDLE h, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = (DWORD)std::min<size_t>(bytes.size() - done, 1 << 20);
    DWORD written = 0;
    if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}
}  // namespace

std::string ReadFileBytes(const std::string& fileName) {
  FileHandle f(CreateFileW(Widen(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (f.h == INVALID_HANDLE_VALUE) throw EInOutError("Cannot open file \"" + fileName + "\"");
  std::string bytes;
  char buf[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(f.h, buf, sizeof buf, &got, nullptr))
      throw EInOutError("Cannot read file \"" + fileName + "\"");
    if (got == 0) break;
    bytes.append(buf, got);
  }
  return bytes;
}

bool WriteFileBytes(const std::string& fileName, const std::string& bytes) {
  FileHandle f(CreateFileW(Widen(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (f.h == INVALID_HANDLE_VALUE) return false;
  return WriteAll(f.h, bytes);
}

namespace {
// Writes bytes into fileName + ".tmp" and flushes them; the temporary file is removed on failure.
bool WriteTemporary(const std::string& temp, const std::string& bytes) {
  FileHandle f(CreateFileW(Widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
  if (f.h == INVALID_HANDLE_VALUE) return false;
  if (WriteAll(f.h, bytes) && FlushFileBuffers(f.h)) return true;
  CloseHandle(f.h);
  f.h = INVALID_HANDLE_VALUE;
  DeleteFileW(Widen(temp).c_str());
  return false;
}

// Gives the written temporary file its name; flags decide whether a file of that name is replaced.
TNewFileOutcome MoveTemporary(const std::string& temp, const std::string& fileName, DWORD flags) {
  if (MoveFileExW(Widen(temp).c_str(), Widen(fileName).c_str(), flags | MOVEFILE_WRITE_THROUGH))
    return TNewFileOutcome::Written;
  DWORD error = GetLastError();
  DeleteFileW(Widen(temp).c_str());
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? TNewFileOutcome::Taken
                                                                     : TNewFileOutcome::Failed;
}
}  // namespace

bool ReplaceFileContents(const std::string& fileName, const std::string& bytes) {
  std::string temp = fileName + ".tmp";
  return WriteTemporary(temp, bytes) &&
         MoveTemporary(temp, fileName, MOVEFILE_REPLACE_EXISTING) == TNewFileOutcome::Written;
}

TNewFileOutcome WriteNewFileContents(const std::string& fileName, const std::string& bytes) {
  if (!PathAbsent(fileName)) return TNewFileOutcome::Taken;
  std::string temp = fileName + ".tmp";
  if (!WriteTemporary(temp, bytes)) return TNewFileOutcome::Failed;
  return MoveTemporary(temp, fileName, 0);
}

bool AppendFileBytes(const std::string& fileName, const std::string& bytes) {
  FileHandle f(CreateFileW(Widen(fileName).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (f.h == INVALID_HANDLE_VALUE) return false;
  return WriteAll(f.h, bytes);
}

std::vector<std::string> DecodeTextLines(const std::string& bytes) {
  const std::string text = DecodeTextBytes(bytes);
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}
