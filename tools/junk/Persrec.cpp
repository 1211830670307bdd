#include "Persrec.h"

#include "../../framework/Exceptions.h"
#include "../../framework/Strings.h"

namespace {
const char* const kCannotOpen = "Cannot open file \"%s\"";
const char* const kCannotCreate = "Cannot create file \"%s\"";
const char* const kReadError = "Stream read error";
const char* const kWriteError = "Stream write error";
const char* const kBeyondEnd = "Cannot read beyond end of file";
}  // namespace

TRecordStream::TRecordStream(const std::string& path, TMode mode) : path_(path) {
  bool create = mode == TMode::Create;
  file_.Reset(CreateFileW(Widen(path).c_str(), create ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                          FILE_SHARE_READ, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) throw EInOutError(Format(create ? kCannotCreate : kCannotOpen, path));
}

long long TRecordStream::Size() const {
  LARGE_INTEGER size{};
  return GetFileSizeEx(file_.Get(), &size) ? size.QuadPart : 0;
}

long long TRecordStream::Position() const {
  LARGE_INTEGER zero{}, now{};
  return SetFilePointerEx(file_.Get(), zero, &now, FILE_CURRENT) ? now.QuadPart : 0;
}

void TRecordStream::Seek(long long offset, DWORD origin) {
  LARGE_INTEGER to{};
  to.QuadPart = offset;
  SetFilePointerEx(file_.Get(), to, nullptr, origin);
}

long long TRecordStream::GetNumRecs() const { return Size() / GetRecSize(); }
long long TRecordStream::GetCurRec() const { return Position() / GetRecSize() + 1; }
void TRecordStream::First() { Seek(0, FILE_BEGIN); }

int TRecordStream::ReadRec(void* buffer) {
  DWORD read = 0;
  if (!ReadFile(file_.Get(), buffer, (DWORD)GetRecSize(), &read, nullptr)) throw EInOutError(kReadError);
  Seek(-(long long)read, FILE_CURRENT);
  return (int)read;
}

void TRecordStream::NextRec() {
  if ((Position() + GetRecSize()) / GetRecSize() >= GetNumRecs()) throw EInOutError(kBeyondEnd);
  Seek(GetRecSize(), FILE_CURRENT);
}

void TRecordStream::AppendRec(const void* buffer) {
  Seek(0, FILE_END);
  DWORD written = 0;
  if (!WriteFile(file_.Get(), buffer, (DWORD)GetRecSize(), &written, nullptr) || written != (DWORD)GetRecSize())
    throw EInOutError(kWriteError);
}
