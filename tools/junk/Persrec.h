// The junk type file "JunkFile.dat": a plain run of fixed 203-byte records, no header, no
// count. TJunkTypeRecord is one record exactly as it lies on disk; TRecordStream reads and
// writes such records one at a time.
//
// How to use:
//   TRecordStream s(path, TRecordStream::TMode::OpenRead);      // EInOutError when it fails
//   if (s.GetNumRecs() > 0) { s.First(); ... s.ReadRec(&rec); ... s.NextRec(); }
//   TRecordStream out(path, TRecordStream::TMode::Create); out.AppendRec(&rec);
#pragma once

#include <cstdint>
#include <string>

#include "../../framework/Handles.h"

inline constexpr int JunkTextMax = 100;   // characters a pattern or a description keeps

#pragma pack(push, 1)
// One junk type: the tick, then pattern and description as length-prefixed ANSI strings.
struct TJunkTypeRecord {
  uint8_t Checked = 0;               // 0 off, anything else on (written as 1)
  uint8_t PatternLength = 0;         // 0..100; a larger byte in a damaged file counts as 100
  char Pattern[JunkTextMax] = {};
  uint8_t DescriptionLength = 0;
  char Description[JunkTextMax] = {};
};
#pragma pack(pop)
static_assert(sizeof(TJunkTypeRecord) == 203, "JunkFile.dat records are 203 bytes");

// A file of fixed-size records. Positions are byte offsets; record numbers count from 1.
class TRecordStream {
 public:
  enum class TMode { OpenRead, Create };
  // Opens (or creates, replacing) the file; raises EInOutError when that fails.
  TRecordStream(const std::string& path, TMode mode);
  virtual ~TRecordStream() = default;

  virtual int GetRecSize() const { return sizeof(TJunkTypeRecord); }
  long long GetNumRecs() const;
  long long GetCurRec() const;
  void First();
  // Reads one record into buffer (GetRecSize bytes) and goes back to where it was; returns the
  // bytes read (fewer at the end of the file, the rest of the buffer untouched). Raises
  // EInOutError when the file cannot be read there.
  int ReadRec(void* buffer);
  // Moves to the next record; raises EInOutError "Cannot read beyond end of file" at the last.
  void NextRec();
  // Writes one record at the end of the file; raises EInOutError when the write fails.
  void AppendRec(const void* buffer);

 private:
  long long Size() const;
  long long Position() const;
  void Seek(long long offset, DWORD origin);

  TKernelHandle file_;
  std::string path_;
};
