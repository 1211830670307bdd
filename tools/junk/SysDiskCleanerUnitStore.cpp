#include "SysDiskCleanerUnitStore.h"

#include <algorithm>
#include <cstring>

#include <windows.h>

#include "../../framework/Exceptions.h"
#include "../../framework/Strings.h"

namespace SysDiskCleanerUnit {

namespace {

const char* const kReplaceFailed = "Cannot create file \"%s\"";

struct TDefault {
  const char* Pattern;
  const char* Description;
};

const char* const kTemporary = "Temporary Junk Files";
const char* const kVisualStudio = "Visual Studio Temporary Files";
const char* const kBuilder = "C++ Builder Temporary Files";
const char* const kHelpWords = "Word List File of *.HLP";
const char* const kChkdsk = "CHKDSK Log Files";
const char* const kBackup = "Backup Files";
const char* const kDiagnostic = "Windows diagnostic file";
const char* const kReadme = "Readme Files";

const TDefault kDefaults[] = {
    {"*.swp", kTemporary},
    {"*.$$$", kTemporary},
    {"*.~*", kTemporary},
    {"*.___", kTemporary},
    {"*.^", kTemporary},
    {"*.tmp", kTemporary},
    {"*.temp", kTemporary},
    {"*.---", kTemporary},
    {"~*.*", kTemporary},
    {"*.??~", kTemporary},
    {"*.db$", "Temporary Files (Database)"},
    {"*.nch", "Temporary Files created by Outlook Express"},
    {"*.pch", kVisualStudio},
    {"*.ncb", kVisualStudio},
    {"*.ilk", kVisualStudio},
    {"*.exp", kVisualStudio},
    {"*.ilc", kBuilder},
    {"*.ild", kBuilder},
    {"*.ils", kBuilder},
    {"*.ilf", kBuilder},
    {"*.tds", kBuilder},
    {"iebak.dat", "Internet Explorer Junk File"},
    {"ffastun.*", "Microsoft Find Fast Indexer File"},
    {"chklist.*", "Microsoft Junk File"},
    {"*.sik", "junk files..."},
    {"*.gid", "Windows Help Index Files"},
    {"*.fts", kHelpWords},
    {"*.ftg", kHelpWords},
    {"*.err", "Error Files"},
    {"*.dmp", "Memory Dump - Junk Files"},
    {"*.chk", kChkdsk},
    {"chklist.*", kChkdsk},
    {"file????._dd", kChkdsk},
    {"*.diz", "Description Files"},
    {"*.log", "Log File"},
    {"*.prv", kBackup},
    {"*.old", kBackup},
    {"*.bak", kBackup},
    {"*.nu3", "Symantec Norton Utilities Backup File"},
    {"system.1st", "Windows diagnostic Registry file"},
    {"suhdlog.dat", kDiagnostic},
    {"modemdet.txt", kDiagnostic},
    {"twain???.mtx", "TWAIN Temporary file"},
    {"thumbs.db", "ThumbNails created by Windows"},
    {"mscreate.dir", "Microsoft Temporary Installation Files"},
    {"*.wri", kReadme},
    {"readme.txt", kReadme},
};
static_assert(sizeof(kDefaults) / sizeof(kDefaults[0]) == 47);

std::wstring FromAnsi(const char* bytes, int length) {
  if (length <= 0) return L"";
  std::wstring wide(length, L'\0');
  int w = MultiByteToWideChar(CP_ACP, 0, bytes, length, wide.data(), length);
  wide.resize((size_t)std::max(w, 0));
  return wide;
}

int AnsiLength(const std::wstring& wide) {
  if (wide.empty()) return 0;
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
}

// The wide text as ANSI bytes exactly as it is; false when a character has no place of its own in
// the code page (it would become the default "?" or a look-alike).
bool ToAnsi(const std::wstring& wide, std::string& bytes) {
  bytes.clear();
  if (wide.empty()) return true;
  BOOL usedDefault = FALSE;
  int n = AnsiLength(wide);
  if (n <= 0) return false;
  bytes.resize(n);
  n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(), bytes.data(), n, nullptr,
                          &usedDefault);
  bytes.resize((size_t)std::max(n, 0));
  return !usedDefault && FromAnsi(bytes.data(), (int)bytes.size()) == wide;   // and back again, unchanged
}

// At most 100 characters, and no more whole characters than fit into 100 bytes.
std::wstring RecordCut(const std::wstring& text) {
  std::wstring cut = text.substr(0, JunkTextMax);
  while (AnsiLength(cut) > JunkTextMax) cut.pop_back();
  return cut;
}

// UTF-8 text as the ANSI bytes of a record field.
uint8_t PutText(const std::string& text, char* field) {
  std::string bytes;
  if (!CanStoreJunkText(text) || !ToAnsi(RecordCut(Widen(text)), bytes))
    throw EConvertError(Format(UnstorableJunkText, text));
  std::memcpy(field, bytes.data(), bytes.size());
  return (uint8_t)bytes.size();
}

std::string GetText(const char* field, uint8_t length) {
  return Narrow(FromAnsi(field, std::min<int>(length, JunkTextMax)));
}

}  // namespace

std::vector<TJunkType> DefaultJunkTypeList() {
  std::vector<TJunkType> types;
  for (const TDefault& d : kDefaults) types.push_back({.Checked = true, .Pattern = d.Pattern, .Description = d.Description});
  return types;
}

bool CanStoreJunkText(const std::string& text) {
  std::string bytes;
  return ToAnsi(Widen(text), bytes);
}

std::string CutJunkText(const std::string& text) { return Narrow(RecordCut(Widen(text))); }

TJunkTypeRecord ToRecord(const TJunkType& type) {
  TJunkTypeRecord record;
  record.Checked = type.Checked ? 1 : 0;
  record.PatternLength = PutText(type.Pattern, record.Pattern);
  record.DescriptionLength = PutText(type.Description, record.Description);
  return record;
}

TJunkType FromRecord(const TJunkTypeRecord& record) {
  return {.Checked = record.Checked != 0,
          .Pattern = GetText(record.Pattern, record.PatternLength),
          .Description = GetText(record.Description, record.DescriptionLength)};
}

bool LoadJunkTypeFile(const std::string& path, std::vector<TJunkType>& types) {
  if (PathAbsent(path)) return false;
  // there, or perhaps there but out of reach: the stream raises when it cannot open or read it
  std::vector<TJunkType> read;
  TRecordStream stream(path, TRecordStream::TMode::OpenRead);
  if (stream.GetNumRecs() > 0) {
    stream.First();
    while (stream.GetCurRec() <= stream.GetNumRecs()) {
      TJunkTypeRecord record;
      if (stream.ReadRec(&record) != stream.GetRecSize()) break;
      read.push_back(FromRecord(record));
      if (stream.GetCurRec() == stream.GetNumRecs()) break;
      stream.NextRec();
    }
  }
  types = std::move(read);
  return true;
}

void SaveJunkTypeFile(const std::string& path, const std::vector<TJunkType>& types) {
  std::string temporary = path + ".tmp";
  try {
    TRecordStream stream(temporary, TRecordStream::TMode::Create);
    for (const TJunkType& type : types) {
      TJunkTypeRecord record = ToRecord(type);
      stream.AppendRec(&record);
    }
  } catch (...) {
    DeleteFileW(Widen(temporary).c_str());
    throw;
  }
  if (!MoveFileExW(Widen(temporary).c_str(), Widen(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(Widen(temporary).c_str());
    throw EInOutError(Format(kReplaceFailed, path));
  }
}

}  // namespace SysDiskCleanerUnit
