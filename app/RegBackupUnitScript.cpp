#include "RegBackupUnitScript.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"

namespace RegBackupUnit {

void AddListed(std::vector<std::string>& list, size_t& unlisted, std::string item) {
  if (list.size() < kListedNames) list.push_back(std::move(item));
  else ++unlisted;
}

// ---- the file ----

bool TScriptFile::Open(const std::string& fileName, std::string& problem) {
  // no FILE_SHARE_WRITE nor FILE_SHARE_DELETE: what is read here is what the importer reads
  handle_.Reset(CreateFileW(Widen(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!handle_) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) problem = "The file does not exist: " + fileName;
    else if (error == ERROR_SHARING_VIOLATION) problem = "The file is in use by another program: " + fileName;
    else problem = "The file cannot be read: " + fileName;
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle_.Get(), &size)) {
    handle_.Reset();
    problem = "The file cannot be read: " + fileName;
    return false;
  }
  size_ = (uint64_t)size.QuadPart;
  return true;
}

// ---- lines ----

namespace {
constexpr size_t kChunk = 1 << 16;
const char kMark[] = "\xFF\xFE";   // UTF-16LE byte-order mark
}  // namespace

TLineReader::TLineReader(HANDLE file) : file_(file) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file_, zero, nullptr, FILE_BEGIN)) failed_ = ended_ = true;
  size_t scan = 0;
  while (buffer_.size() < 2 && Fill(scan)) {
  }
  if (buffer_.compare(0, 2, kMark) == 0) {
    eightBit_ = false;
    start_ = 2;
  }
}

// Drops the lines taken from the buffer and reads the next piece of the file; false at its end.
// scan, a place in the buffer, moves with what is dropped.
bool TLineReader::Fill(size_t& scan) {
  if (ended_) return false;
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    dropped_ += start_;
    scan -= start_;
    start_ = 0;
  }
  size_t old = buffer_.size();
  buffer_.resize(old + kChunk);
  DWORD got = 0;
  BOOL read = ReadFile(file_, buffer_.data() + old, (DWORD)kChunk, &got, nullptr);
  buffer_.resize(old + (read ? got : 0));
  if (!read) failed_ = true;
  if (!read || got == 0) ended_ = true;
  return !ended_;
}

size_t TLineReader::FindLineFeed(size_t from) const {
  if (eightBit_) {
    const void* at = from < buffer_.size() ? memchr(buffer_.data() + from, '\n', buffer_.size() - from) : nullptr;
    return at == nullptr ? std::string::npos : (size_t)(static_cast<const char*>(at) - buffer_.data());
  }
  for (size_t i = from; i + 1 < buffer_.size(); i += 2)
    if (buffer_[i] == '\n' && buffer_[i + 1] == 0) return i;
  return std::string::npos;
}

// The end of the whole characters in the buffer (a last odd byte of UTF-16 is no character).
size_t TLineReader::UsableEnd() const {
  return eightBit_ ? buffer_.size() : start_ + (buffer_.size() - start_) / 2 * 2;
}

bool TLineReader::Next(std::wstring& line, TLineFlaw& flaw) {
  size_t scan = start_;
  for (;;) {
    size_t end = FindLineFeed(scan);
    if (end != std::string::npos) {
      Take(start_, end, line, flaw);
      start_ = end + (eightBit_ ? 1 : 2);
      return true;
    }
    scan = UsableEnd();   // what was searched needs no second look
    if (!Fill(scan)) {
      size_t last = UsableEnd();
      if (start_ >= last) return false;
      Take(start_, last, line, flaw);
      start_ = buffer_.size();
      return true;
    }
  }
}

void TLineReader::Take(size_t begin, size_t end, std::wstring& line, TLineFlaw& flaw) const {
  const char* p = buffer_.data() + begin;
  size_t size = end - begin;
  if (eightBit_) {
    if (size > 0 && p[size - 1] == '\r') --size;   // CRLF
    int n = size == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, p, (int)size, nullptr, 0);
    line.assign(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, p, (int)size, line.data(), n);
  } else {
    line.assign(size / 2, L'\0');
    memcpy(line.data(), p, line.size() * 2);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
  }
  flaw = TLineFlaw::None;
  if (line.find(L'\r') != std::wstring::npos) flaw = TLineFlaw::LoneReturn;
  else if (line.find(L'\0') != std::wstring::npos) flaw = TLineFlaw::Zero;
}

// ---- statements ----

namespace {

const wchar_t* const kHeaderNT = L"Windows Registry Editor Version 5.00";
const wchar_t* const kHeader9x = L"REGEDIT4";
constexpr size_t kShownLine = 300;

std::wstring TrimW(const std::wstring& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::iswspace(s[a])) ++a;
  while (b > a && std::iswspace(s[b - 1])) --b;
  return s.substr(a, b - a);
}

// A line as a message shows it: control characters written out, a long line cut short.
std::string Shown(const std::wstring& line) {
  std::wstring shown;
  for (wchar_t c : line.substr(0, kShownLine)) {
    if (c == L'\r') shown += L"\\r";
    else if (c == L'\0') shown += L"\\0";
    else shown += c;
  }
  return Narrow(shown) + (line.size() > kShownLine ? "..." : "");
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::vector<uint8_t> WideBytes(const std::wstring& w) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(w.data());
  return std::vector<uint8_t>(p, p + w.size() * 2);
}

// Reads a quoted text starting at s[pos] == '"'; pos ends after the closing quote. A value's data
// may hold \n, \r and \0 as the system's exporter writes them; a name holds only \\ and \", since
// importers differ on the rest and a name with a line break cannot be written back.
bool ReadQuoted(const std::wstring& s, size_t& pos, std::wstring& text, bool data) {
  text.clear();
  for (++pos; pos < s.size(); ++pos) {
    wchar_t c = s[pos];
    if (c == L'"') {
      ++pos;
      return true;
    }
    if (c != L'\\') {
      text += c;
      continue;
    }
    if (++pos >= s.size()) return false;
    wchar_t e = s[pos];
    if (e == L'\\' || e == L'"') text += e;
    else if (data && e == L'n') text += L'\n';
    else if (data && e == L'r') text += L'\r';
    else if (data && e == L'0') text += L'\0';
    else return false;
  }
  return false;
}

// A list of hexadecimal bytes ("01,ab, 02"), given in pieces as a continued value's lines are.
class THexList {
 public:
  explicit THexList(std::vector<uint8_t>& data) : data_(data) { data_.clear(); }
  bool Add(const std::wstring& piece) {
    for (wchar_t c : piece) {
      int digit = Digit(c);
      if (digit >= 0) {
        if (++digits_ > 2) return false;
        byte_ = (uint8_t)(byte_ * 16 + digit);
      } else if (c == L',') {
        if (!Flush()) return false;
      } else if (!std::iswspace(c)) {
        return false;
      }
    }
    return true;
  }
  bool Finish() { return digits_ == 0 || Flush(); }

 private:
  static int Digit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
  }
  bool Flush() {
    if (digits_ == 0) return false;
    data_.push_back(byte_);
    digits_ = 0;
    byte_ = 0;
    return true;
  }
  std::vector<uint8_t>& data_;
  int digits_ = 0;
  uint8_t byte_ = 0;
};

// A key's text: a root's name in any case, then names that are not empty. The key with its root's
// name as the registry writes it; "" when it is no key.
std::string CanonicalKey(const std::wstring& text) {
  std::string key = Narrow(text);
  size_t slash = key.find('\\');
  HKEY root = PublicFunctionUnit::RootKeyFromName(AnsiUpperCase(key.substr(0, slash)));
  if (root == nullptr) return {};
  if (slash == std::string::npos) return PublicFunctionUnit::RootKeyName(root);
  std::string path = key.substr(slash + 1);
  if (path.empty() || path.back() == '\\' || path.find("\\\\") != std::string::npos) return {};
  return PublicFunctionUnit::RootKeyName(root) + "\\" + path;
}

}  // namespace

bool TScriptParser::ReadHeader() {
  std::wstring line;
  TLineFlaw flaw;
  if (!lines_.Next(line, flaw) || flaw != TLineFlaw::None) return false;
  line = TrimW(line);
  return line == kHeaderNT || line == kHeader9x;
}

void TScriptParser::Unreadable(const std::wstring& line) {
  AddListed(Problems, Unlisted, "Unreadable line: " + Shown(line));
}

// The next line; one that the importer would read otherwise is noted and given as "".
bool TScriptParser::ReadLine(std::wstring& line) {
  TLineFlaw flaw;
  if (!lines_.Next(line, flaw)) {
    if (lines_.Failed()) AddListed(Problems, Unlisted, "The file cannot be read to its end.");
    return false;
  }
  if (flaw != TLineFlaw::None) {
    AddListed(Problems, Unlisted, "A line that the importer would read otherwise: " + Shown(line));
    line.clear();
    key_.clear();   // what follows may belong to another key for the importer
    return true;
  }
  line = TrimW(line);
  return true;
}

bool TScriptParser::Next(TScriptEntry& entry) {
  std::wstring line;
  while (ReadLine(line)) {
    if (line.empty()) continue;
    if (line[0] == L';') {
      Note(line);
      continue;
    }
    entry = TScriptEntry();
    bool read = line[0] == L'[' ? KeyLine(line, entry) : ValueLine(line, entry);
    if (!read) {
      Unreadable(line);
      continue;
    }
    entry.Ordinal = ++ordinal_;
    entry.KeySerial = serial_;
    return true;
  }
  return false;
}

void TScriptParser::ReadLeadingNotes() {
  std::wstring line;
  while (ReadLine(line) && (line.empty() || line[0] == L';'))
    if (!line.empty()) Note(line);
}

// A comment line: the program's notes are read, any other comment is passed over.
void TScriptParser::Note(const std::wstring& line) {
  const std::wstring written = Widen(WrittenNotePrefix);
  std::string sid;
  if (IsUserNote(line, sid)) {
    // one user per script: a second one, or one that is no SID, means the file was changed
    if (!PublicFunctionUnit::IsSidText(sid) || (!UserSid.empty() && !SameText(sid, UserSid))) Unreadable(line);
    else UserSid = sid;
  } else if (written_ != nullptr && line.compare(0, written.size(), written) == 0) {
    WrittenNote(line);
  }
}

// A key or value line behind the written prefix, with a current key of its own. The program writes
// each value on one line: a hex list going on over the next line cannot be a note.
void TScriptParser::WrittenNote(const std::wstring& line) {
  std::wstring text = TrimW(line.substr(std::wstring(Widen(WrittenNotePrefix)).size()));
  std::string scriptKey = key_;
  uint64_t serial = serial_;
  key_ = writtenKey_;
  TScriptEntry entry;
  bool read = !text.empty() && text.back() != L'\\' && (text[0] == L'[' ? KeyLine(text, entry) : ValueLine(text, entry));
  writtenKey_ = key_;
  key_ = scriptKey;
  serial_ = serial;
  if (!read) Unreadable(line);
  else if (!entry.IsKey) written_->Add(entry);
}

bool ReadScriptUser(const std::string& fileName, std::string& sid) {
  sid.clear();
  TScriptFile file;
  std::string problem;
  if (!file.Open(fileName, problem)) return false;
  TScriptParser parser(file.Handle());
  if (!parser.ReadHeader()) return true;
  parser.ReadLeadingNotes();
  sid = parser.UserSid;
  return true;
}

bool IsUserNote(const std::wstring& line, std::string& sid) {
  const std::wstring user = Widen(UserNotePrefix), text = TrimW(line);
  if (text.compare(0, user.size(), user) != 0) return false;
  sid = Trim(Narrow(text.substr(user.size())));
  return true;
}

void AddUserNote(TStringList& lines) {
  std::string sid = PublicFunctionUnit::CurrentUserSid();
  if (!sid.empty()) lines.Items.insert(lines.Items.begin() + std::min(lines.Count(), 1), UserNotePrefix + sid);
}

std::pair<std::string, std::wstring> TWrittenRecord::Identity(const TScriptEntry& entry) {
  std::wstring name = entry.ValueName;
  if (!name.empty()) CharUpperBuffW(name.data(), (DWORD)name.size());
  return {PublicFunctionUnit::KeyIdentity(entry.Key), name};
}

void TWrittenRecord::Add(const TScriptEntry& value) { values_[Identity(value)] = value; }

const TScriptEntry* TWrittenRecord::Find(const TScriptEntry& entry) const {
  auto it = values_.find(Identity(entry));
  return it == values_.end() ? nullptr : &it->second;
}

// "[key]", or "[-key]" for a key the script deletes; nothing may follow the closing bracket.
bool TScriptParser::KeyLine(const std::wstring& line, TScriptEntry& entry) {
  key_.clear();
  ++serial_;
  if (line.back() != L']') return false;
  std::wstring text = line.substr(1, line.size() - 2);
  entry.IsKey = true;
  entry.Deleted = !text.empty() && text[0] == L'-';
  entry.Key = CanonicalKey(entry.Deleted ? text.substr(1) : text);
  if (entry.Key.empty()) return false;
  if (!entry.Deleted) key_ = entry.Key;
  return true;
}

// A value line of the current key: "@" or a quoted name, "=", then "-", quoted text, dword: or
// hex: / hex(type): with its continued lines.
bool TScriptParser::ValueLine(const std::wstring& line, TScriptEntry& entry) {
  if (key_.empty()) return false;
  entry.Key = key_;
  size_t pos = 0;
  if (line[0] == L'@') pos = 1;
  else if (line[0] != L'"' || !ReadQuoted(line, pos, entry.ValueName, false)) return false;
  while (pos < line.size() && std::iswspace(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != L'=') return false;
  std::wstring data = TrimW(line.substr(pos + 1));
  if (data == L"-") {
    entry.Deleted = true;
    return true;
  }
  if (!data.empty() && data[0] == L'"') {
    size_t end = 0;
    std::wstring text;
    if (!ReadQuoted(data, end, text, true) || !TrimW(data.substr(end)).empty()) return false;
    entry.Type = REG_SZ;
    text.push_back(L'\0');
    entry.Data = WideBytes(text);
    return true;
  }
  if (data.compare(0, 6, L"dword:") == 0) {
    std::wstring digits = TrimW(data.substr(6));
    if (digits.empty() || digits.size() > 8 || digits.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos)
      return false;
    DWORD v = wcstoul(digits.c_str(), nullptr, 16);
    entry.Type = REG_DWORD;
    entry.Data.assign(reinterpret_cast<uint8_t*>(&v), reinterpret_cast<uint8_t*>(&v) + 4);
    return true;
  }
  return ContinuedHex(data, entry);
}

// hex: or hex(type): and a list of bytes, going on over the next lines while a line ends with a
// backslash. Text types of an 8-bit script are in the ANSI code page; the registry holds them
// widened.
bool TScriptParser::ContinuedHex(std::wstring data, TScriptEntry& entry) {
  if (data.compare(0, 4, L"hex:") == 0) {
    entry.Type = REG_BINARY;
    data.erase(0, 4);
  } else if (data.compare(0, 4, L"hex(") == 0) {
    size_t close = data.find(L"):");
    if (close == std::wstring::npos || close == 4 || close > 12) return false;
    std::wstring number = data.substr(4, close - 4);
    if (number.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos) return false;
    entry.Type = wcstoul(number.c_str(), nullptr, 16);
    data.erase(0, close + 2);
  } else {
    return false;
  }
  THexList list(entry.Data);
  while (!data.empty() && data.back() == L'\\') {
    data.pop_back();
    if (!list.Add(data) || !ReadLine(data) || data.empty()) return false;
  }
  if (!list.Add(data) || !list.Finish()) return false;
  if (lines_.EightBit() && IsTextType(entry.Type) && !entry.Data.empty()) {
    const char* p = reinterpret_cast<const char*>(entry.Data.data());
    int n = MultiByteToWideChar(CP_ACP, 0, p, (int)entry.Data.size(), nullptr, 0);
    std::wstring w(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, p, (int)entry.Data.size(), w.data(), n);
    entry.Data = WideBytes(w);
  }
  return true;
}

// ---- what later lines override ----

namespace {

constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

uint64_t Fnv(uint64_t hash, const void* bytes, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  for (size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * kFnvPrime;
  return hash;
}

uint64_t Fnv(uint64_t hash, uint8_t byte) { return Fnv(hash, &byte, 1); }

constexpr uint64_t kSmallestFilter = uint64_t(1) << 16, kLargestFilter = uint64_t(1) << 25;   // bits
constexpr int kProbes = 3;

}  // namespace

TLaterLines::TLaterLines(uint64_t fileSize) {
  filterBits_ = kSmallestFilter;
  while (filterBits_ < kLargestFilter && filterBits_ < fileSize * 2) filterBits_ *= 2;
  filter_.assign(filterBits_ / 64, 0);
}

// The hashes of the key's name as the registry tells keys apart (the current user's tree by either
// of its names, letters in any case): of each parent, then of the key itself.
const std::vector<uint64_t>& TLaterLines::KeyHashes(const TScriptEntry& entry) {
  if (entry.KeySerial == serial_ && !keyHashes_.empty()) return keyHashes_;
  serial_ = entry.KeySerial;
  keyHashes_.clear();
  const std::string identity = PublicFunctionUnit::KeyIdentity(entry.Key);
  uint64_t hash = kFnvOffset;
  for (char c : identity) {
    if (c == '\\') keyHashes_.push_back(hash);
    hash = Fnv(hash, (uint8_t)c);
  }
  keyHashes_.push_back(hash);
  return keyHashes_;
}

uint64_t TLaterLines::Target(const TScriptEntry& entry) {
  uint64_t key = KeyHashes(entry).back();
  if (entry.IsKey) return Fnv(key, 1);
  std::wstring name = entry.ValueName;
  if (!name.empty()) CharUpperBuffW(name.data(), (DWORD)name.size());
  return Fnv(Fnv(key, 2), name.data(), name.size() * sizeof(wchar_t));
}

// Sets the hash's bits in the filter; true when all of them were set already.
bool TLaterLines::TestAndSet(uint64_t hash) {
  if (filter_.empty()) return true;
  uint64_t step = (hash >> 31 | hash << 33) * 0x9E3779B97F4A7C15ull | 1;
  bool seen = true;
  for (int i = 0; i < kProbes; ++i) {
    uint64_t bit = (hash + i * step) & (filterBits_ - 1);
    uint64_t& word = filter_[bit / 64];
    uint64_t mask = uint64_t(1) << (bit % 64);
    if ((word & mask) == 0) seen = false;
    word |= mask;
  }
  return seen;
}

void TLaterLines::Learn(const TScriptEntry& entry) {
  uint64_t target = Target(entry);
  if (TestAndSet(target)) last_[target] = entry.Ordinal;   // may come twice
  if (!entry.IsKey) return;
  const std::vector<uint64_t>& keys = KeyHashes(entry);
  if (entry.Deleted) {
    deletions_[keys.back()].LastDeleted = entry.Ordinal;
    return;
  }
  for (uint64_t key : keys) {
    auto it = deletions_.find(key);
    if (it != deletions_.end()) it->second.LastCreated = entry.Ordinal;
  }
}

void TLaterLines::Learned() {
  filter_.clear();
  filter_.shrink_to_fit();
}

bool TLaterLines::Overridden(const TScriptEntry& entry) {
  auto again = last_.find(Target(entry));
  if (again != last_.end() && again->second > entry.Ordinal) return true;
  const std::vector<uint64_t>& keys = KeyHashes(entry);
  if (entry.IsKey && entry.Deleted) {
    auto it = deletions_.find(keys.back());
    if (it != deletions_.end() && it->second.LastCreated > entry.Ordinal) return true;
  }
  for (uint64_t key : keys) {
    auto it = deletions_.find(key);
    if (it != deletions_.end() && it->second.LastDeleted > entry.Ordinal) return true;
  }
  return false;
}

// ---- the canonical script ----

namespace {
constexpr size_t kBytesPerLine = 25;   // of a hex list, before it goes on over the next line
constexpr size_t kWriteChunk = 1 << 16;

std::wstring EscapedName(const std::wstring& name) {
  std::wstring text;
  for (wchar_t c : name) {
    if (c == L'\\' || c == L'"') text += L'\\';
    text += c;
  }
  return text;
}

std::wstring ValueLineText(const TScriptEntry& entry) {
  std::wstring line = entry.ValueName.empty() ? std::wstring(L"@=") : L"\"" + EscapedName(entry.ValueName) + L"\"=";
  if (entry.Deleted) return line + L"-";
  if (entry.Type == REG_DWORD && entry.Data.size() == 4) {
    DWORD v;
    memcpy(&v, entry.Data.data(), 4);
    return line + Widen(Format("dword:%08x", (unsigned)v));
  }
  line += entry.Type == REG_BINARY ? std::wstring(L"hex:") : Widen(Format("hex(%x):", (unsigned)entry.Type));
  const wchar_t* const digits = L"0123456789abcdef";
  for (size_t i = 0; i < entry.Data.size(); ++i) {
    if (i > 0) line += i % kBytesPerLine == 0 ? L",\\\r\n  " : L",";
    line += digits[entry.Data[i] >> 4];
    line += digits[entry.Data[i] & 15];
  }
  return line;
}

}  // namespace

TScriptWriter::~TScriptWriter() { Close(); }

bool TScriptWriter::Create(const std::string& fileName) {
  file_.Reset(CreateFileW(Widen(fileName).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) return false;
  hash_ = kFnvOffset;
  buffer_ = kMark;
  hash_ = Fnv(hash_, kMark, 2);
  Put(kHeaderNT);
  Put(L"");
  return true;
}

void TScriptWriter::Put(const std::wstring& line) {
  std::wstring text = line + L"\r\n";
  const size_t size = text.size() * sizeof(wchar_t);
  buffer_.append(reinterpret_cast<const char*>(text.data()), size);
  hash_ = Fnv(hash_, text.data(), size);
  if (buffer_.size() >= kWriteChunk) Flush();
}

void TScriptWriter::Flush() {
  size_t done = 0;
  while (!failed_ && done < buffer_.size()) {
    DWORD written = 0;
    if (!WriteFile(file_.Get(), buffer_.data() + done, (DWORD)(buffer_.size() - done), &written, nullptr) ||
        written == 0)
      failed_ = true;
    done += written;
  }
  buffer_.clear();
}

void TScriptWriter::Write(const TScriptEntry& entry) {
  if (entry.Key != lastKey_) {
    Put(L"[" + Widen(entry.Key) + L"]");
    lastKey_ = entry.Key;
  }
  if (!entry.IsKey) Put(ValueLineText(entry));
}

bool TScriptWriter::Close() {
  if (!file_) return !failed_;
  Flush();
  if (!FlushFileBuffers(file_.Get())) failed_ = true;
  file_.Reset();
  return !failed_;
}

bool HashFile(HANDLE file, uint64_t& hash) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return false;
  hash = kFnvOffset;
  std::vector<char> chunk(kChunk);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk.data(), (DWORD)chunk.size(), &got, nullptr)) return false;
    if (got == 0) return true;
    hash = Fnv(hash, chunk.data(), got);
  }
}

}  // namespace RegBackupUnit
