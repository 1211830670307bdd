#include "Strings.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "Exceptions.h"

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), w.data(), n);
  return w;
}

std::string Narrow(const wchar_t* wide, size_t length) {
  if (length == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, (int)length, nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, (int)length, s.data(), n, nullptr, nullptr);
  return s;
}

std::string Narrow(const std::wstring& wide) { return Narrow(wide.data(), wide.size()); }

namespace {
// One line's bytes: UTF-8 when they are valid UTF-8, else the ANSI code page.
std::string DecodeTextLine(const char* bytes, size_t size) {
  if (size == 0) return {};
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, (int)size, nullptr, 0) > 0)
    return std::string(bytes, size);
  int n = MultiByteToWideChar(CP_ACP, 0, bytes, (int)size, nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes, (int)size, w.data(), n);
  return Narrow(w);
}
}  // namespace

std::string DecodeTextBytes(const std::string& bytes) {
  size_t start = 0;
  if (bytes.size() >= 3 && (unsigned char)bytes[0] == 0xEF && (unsigned char)bytes[1] == 0xBB &&
      (unsigned char)bytes[2] == 0xBF)
    start = 3;
  std::string text;
  text.reserve(bytes.size() - start);
  while (start < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", start);
    size_t size = (end == std::string::npos ? bytes.size() : end) - start;
    text += DecodeTextLine(bytes.data() + start, size);
    if (end == std::string::npos) break;
    text += bytes[end];
    start = end + 1;
  }
  return text;
}

int Pos(const std::string& sub, const std::string& s) {
  if (sub.empty()) return 0;
  size_t p = s.find(sub);
  return p == std::string::npos ? 0 : (int)p + 1;
}

std::string Copy(const std::string& s, int index, int count) {
  if (index < 1) {
    count -= 1 - index;
    index = 1;
  }
  int len = (int)s.size();
  if (count <= 0 || index > len) return {};
  if (count > len - index + 1) count = len - index + 1;
  return s.substr(index - 1, count);
}

std::string TrimLeft(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (unsigned char)s[i] <= ' ') ++i;
  return s.substr(i);
}

std::string TrimRight(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && (unsigned char)s[n - 1] <= ' ') --n;
  return s.substr(0, n);
}

std::string Trim(const std::string& s) { return TrimRight(TrimLeft(s)); }

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return r;
}

std::string AnsiUpperCase(const std::string& s) {
  // Plain ASCII text, the usual case, upper-cases alike in every locale: no conversion needed.
  if (std::all_of(s.begin(), s.end(), [](char c) { return (unsigned char)c < 0x80; })) {
    std::string upper = s;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return upper;
  }
  std::wstring w = Widen(s);
  if (!w.empty()) CharUpperBuffW(w.data(), (DWORD)w.size());
  return Narrow(w);
}

std::string AnsiLowerCase(const std::string& s) {
  std::wstring w = Widen(s);
  if (!w.empty()) CharLowerBuffW(w.data(), (DWORD)w.size());
  return Narrow(w);
}

bool SameText(const std::string& a, const std::string& b) { return AnsiUpperCase(a) == AnsiUpperCase(b); }

static size_t LastPathDelimiter(const std::string& path) {
  size_t p = path.find_last_of("\\:");
  return p;
}

std::string ExtractFilePath(const std::string& path) {
  size_t p = LastPathDelimiter(path);
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string ExtractFileName(const std::string& path) {
  size_t p = LastPathDelimiter(path);
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string ExtractFileExt(const std::string& path) {
  size_t p = path.find_last_of(".\\:");
  if (p == std::string::npos || path[p] != '.') return {};
  return path.substr(p);
}

std::string ExtractFileDrive(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  return {};
}

std::string IncludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path;
  return path + "\\";
}

std::string ExcludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
  return path;
}

std::string StringReplace(const std::string& s, const std::string& pattern,
                          const std::string& replacement, bool replaceAll) {
  if (pattern.empty()) return s;
  std::string r;
  size_t start = 0;
  for (;;) {
    size_t p = s.find(pattern, start);
    if (p == std::string::npos) break;
    r.append(s, start, p - start);
    r += replacement;
    start = p + pattern.size();
    if (!replaceAll) break;
  }
  r.append(s, start, std::string::npos);
  return r;
}

std::string IntToStr(long long value) { return std::to_string(value); }

std::string IntToHex(unsigned long long value, int digits) {
  char buf[32];
  snprintf(buf, sizeof buf, "%0*llX", digits, value);
  return buf;
}

bool TryStrToInt(const std::string& s, long long& value) {
  std::string t = Trim(s);
  if (t.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (t[0] == '+' || t[0] == '-') {
    neg = t[0] == '-';
    i = 1;
  }
  bool hex = false;
  if (i < t.size() && t[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= t.size()) return false;
  unsigned long long v = 0;
  for (; i < t.size(); ++i) {
    char c = t[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + d;
    if (v > 0xFFFFFFFFull) return false;
  }
  long long r = neg ? -(long long)v : (long long)v;
  if (!hex && (r > 2147483647LL || r < -2147483648LL)) return false;
  if (hex && !neg) r = (long long)(int32_t)(uint32_t)v;
  value = r;
  return true;
}

long long StrToIntDef(const std::string& s, long long fallback) {
  long long v;
  return TryStrToInt(s, v) ? v : fallback;
}

long long StrToInt(const std::string& s) {
  long long v;
  if (!TryStrToInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
  return v;
}

long long Round(double value) { return (long long)std::nearbyint(value); }

std::string SystemMessage(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = FormatMessageW(flags, nullptr, code, 0, (LPWSTR)&buffer, 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? Narrow(buffer, length) : std::string();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string SystemErrorText(unsigned long code, const std::string& subject) {
  std::string text = Trim(SystemMessage(code));
  if (text.empty()) return "System error " + IntToStr(code) + ".";
  return subject.empty() ? text : StringReplace(text, "%1", subject);
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathAbsent(const std::string& path) {
  if (path.empty() || GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  return NotFoundError(GetLastError());
}

bool NotFoundError(unsigned long error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::string& path) {
  std::string dir = ExcludeTrailingBackslash(path);
  if (dir.empty()) return false;
  if (DirectoryExists(dir) || (dir.size() == 2 && dir[1] == ':')) return true;
  std::string parent = ExtractFilePath(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  return CreateDirectoryW(Widen(dir).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

namespace format_detail {
std::string FormatC(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string s(n > 0 ? n : 0, '\0');
  if (n > 0) vsnprintf(s.data(), n + 1, fmt, ap2);
  va_end(ap2);
  return s;
}
}  // namespace format_detail

std::string ExeName() {
  std::wstring buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buf.data(), (DWORD)buf.size());
  return Narrow(buf.data(), n);
}

std::string ExeDir() { return ExtractFilePath(ExeName()); }

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  // 1601-01-01 to 1899-12-30 is 109205 days.
  return (double)u.QuadPart / (864000000000.0) - 109205.0;
}

namespace {
SYSTEMTIME DateTimeToSystemTime(TDateTime t) {
  double ticks = (t + 109205.0) * 864000000000.0;
  ULARGE_INTEGER u;
  u.QuadPart = (unsigned long long)(ticks + 0.5);
  FILETIME ft{u.LowPart, u.HighPart};
  SYSTEMTIME st{};
  FileTimeToSystemTime(&ft, &st);
  return st;
}
}  // namespace

std::string DateTimeToStr(TDateTime t) {
  SYSTEMTIME st = DateTimeToSystemTime(t);
  wchar_t date[128] = L"", time[128] = L"";
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128);
  std::string text = Narrow(date);
  if (st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0) return text;
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 128);
  return text + " " + Narrow(time);
}

std::string FormatDateTime(const std::string& fmt, TDateTime t) {
  SYSTEMTIME st = DateTimeToSystemTime(t);
  std::string r;
  for (size_t i = 0; i < fmt.size();) {
    auto take = [&](const char* token) {
      size_t n = strlen(token);
      if (fmt.compare(i, n, token) == 0) {
        i += n;
        return true;
      }
      return false;
    };
    if (take("yyyy")) r += Format("%04d", st.wYear);
    else if (take("yy")) r += Format("%02d", st.wYear % 100);
    else if (take("mm")) r += Format("%02d", st.wMonth);
    else if (take("dd")) r += Format("%02d", st.wDay);
    else if (take("hh")) r += Format("%02d", st.wHour);
    else if (take("nn")) r += Format("%02d", st.wMinute);
    else if (take("ss")) r += Format("%02d", st.wSecond);
    else r += fmt[i++];
  }
  return r;
}

std::string PercentEncode(const std::string& text, const std::string& special) {
  std::string encoded;
  for (char c : text)
    encoded += c == '%' || special.find(c) != std::string::npos ? Format("%%%02X", (unsigned)(unsigned char)c)
                                                                  : std::string(1, c);
  return encoded;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool PercentDecode(const std::string& text, std::string& decoded) {
  decoded.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    decoded += (char)(high * 16 + low);
    i += 2;
  }
  return true;
}
