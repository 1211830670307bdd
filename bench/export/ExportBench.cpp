// export_bench: the memory a restore needs as a full export of the registry grows.
//
//   export_bench [--megabytes N]           plants synthetic exports of N/2 and N megabytes (default
//                                          200) and measures each step below on each, every one in
//                                          a process of its own; removes what it planted
//   export_bench --file F --step S         one step on one file, printing a RESULT line
//
// The exports are written as the system's exporter writes them (UTF-16LE with its byte-order
// mark, the 5.00 header, CRLF, long hex lists continued over lines), with many keys and values of
// every type, below a key the registry does not hold. The steps:
//   check    whether the export ran to its end (RegBackupUnit::IsCompleteExport)
//   verify   reading it and comparing the registry with it (RegBackupUnit::VerifyRegistryScript)
//   part     reading it, comparing it and writing the part to import, for a restore that brings
//            everything back (RegBackupUnit::RestoreUndoBackup; the importer is not run)
// Memory: the process's peak working set and peak committed bytes (PROCESS_MEMORY_COUNTERS), each
// beside the figure before the step.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>

#include "../BenchChild.h"
#include "../BenchClock.h"
#include "app/RegBackupUnit.h"
#include "framework/Handles.h"
#include "framework/Strings.h"

namespace {

const char* const kFolder = "C:\\ZelvoranBench\\Export";
const wchar_t* const kBaseKey = L"HKEY_CURRENT_USER\\Software\\ZelvoranBench\\Export";
const char* const kSteps[] = {"check", "verify", "part"};

double Mb(SIZE_T bytes) { return double(bytes) / 1048576.0; }

PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
  return m;
}

// ---- the synthetic export ----

class TExportWriter {
 public:
  explicit TExportWriter(const std::string& file)
      : file_(CreateFileW(Widen(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)) {
    buffer_ = "\xFF\xFE";
    Line(L"Windows Registry Editor Version 5.00");
    Line(L"");
  }
  bool Ok() const { return static_cast<bool>(file_); }
  uint64_t Written() const { return written_ + buffer_.size(); }
  void Line(const std::wstring& line) {
    std::wstring text = line + L"\r\n";
    buffer_.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    if (buffer_.size() >= (1 << 20)) Flush();
  }
  void Flush() {
    DWORD done = 0;
    WriteFile(file_.Get(), buffer_.data(), (DWORD)buffer_.size(), &done, nullptr);
    written_ += done;
    buffer_.clear();
  }

 private:
  TKernelHandle file_;
  std::string buffer_;
  uint64_t written_ = 0;
};

// name=hex(type): with the bytes, continued over lines as the exporter writes them.
std::wstring HexLine(const std::wstring& name, const wchar_t* kind, const std::vector<uint8_t>& data) {
  std::wstring line = L"\"" + name + L"\"=" + kind;
  size_t column = line.size();
  for (size_t i = 0; i < data.size(); ++i) {
    wchar_t pair[4];
    swprintf(pair, 4, L"%02x", data[i]);
    line += pair;
    column += 2;
    if (i + 1 < data.size()) {
      line += L",";
      ++column;
      if (column > 76) {
        line += L"\\\r\n  ";
        column = 2;
      }
    }
  }
  return line;
}

std::vector<uint8_t> Utf16Bytes(const std::wstring& text) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
  return std::vector<uint8_t>(p, p + text.size() * 2);
}

// Writes keys with values of every type until the file holds `megabytes`.
bool PlantExport(const std::string& file, int megabytes) {
  CreateDirectoryW(L"C:\\ZelvoranBench", nullptr);
  CreateDirectoryW(Widen(kFolder).c_str(), nullptr);
  TExportWriter out(file);
  if (!out.Ok()) return false;
  const uint64_t target = uint64_t(megabytes) << 20;
  for (int k = 0; out.Written() < target; ++k) {
    wchar_t key[200];
    swprintf(key, 200, L"[%ls\\Group%03d\\Key %06d \u00e4]", kBaseKey, k / 1000, k);
    out.Line(key);
    std::wstring n = std::to_wstring(k);
    out.Line(L"@=\"default " + n + L"\"");
    out.Line(L"\"String\"=\"C:\\\\Program Files\\\\App " + n + L"\\\\\\\"quoted\\\" \u00fc\"");
    out.Line(L"\"Number\"=dword:" + std::to_wstring(10000000 + k % 89999999));
    out.Line(HexLine(L"Expand", L"hex(2):", Utf16Bytes(std::wstring(L"%SystemRoot%\\system32\\file") + n + L".dll" +
                                                      std::wstring(1, L'\0'))));
    std::vector<uint8_t> binary(48 + k % 64);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = uint8_t(i * 31 + k);
    out.Line(HexLine(L"Binary", L"hex:", binary));
    out.Line(HexLine(L"Multi", L"hex(7):", Utf16Bytes(std::wstring(L"one\0two ", 8) + n + std::wstring(2, L'\0'))));
    out.Line(HexLine(L"Quad", L"hex(b):", {1, 2, 3, 4, 5, 6, 7, uint8_t(k)}));
    out.Line(L"\"Nothing\"=hex(0):");
    out.Line(L"");
    if (k % 50 == 0) {
      swprintf(key, 200, L"[%ls\\Group%03d\\Key %06d \u00e4\\Empty]", kBaseKey, k / 1000, k);
      out.Line(key);
      out.Line(L"");
    }
  }
  out.Flush();
  return true;
}

// ---- one step ----

int RunStep(const std::string& file, const std::string& step) {
  LARGE_INTEGER size{};
  TKernelHandle f(CreateFileW(Widen(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f || !GetFileSizeEx(f.Get(), &size)) {
    printf("cannot read %s\n", file.c_str());
    return 1;
  }
  f.Reset();
  RegBackupUnit::RunImport = [](const std::string&, DWORD& code) {
    code = 0;
    return false;   // the benchmark never imports
  };
  PROCESS_MEMORY_COUNTERS before = Memory();
  double start = NowMs();
  std::string outcome;
  if (step == "check") {
    outcome = RegBackupUnit::IsCompleteExport(file) ? "complete" : "NOT complete";
  } else if (step == "verify") {
    RegBackupUnit::TRestoreResult r = RegBackupUnit::VerifyRegistryScript(file);
    outcome = Format("%d keys, %d values, %d problems", r.Keys, r.Values, (int)r.Problems.size());
  } else if (step == "part") {
    RegBackupUnit::TRestoreResult r = RegBackupUnit::RestoreUndoBackup(file);
    outcome = r.Problems.empty() ? std::string("no problem") : r.Problems.back();
  } else {
    printf("no step %s\n", step.c_str());
    return 2;
  }
  double ms = NowMs() - start;
  PROCESS_MEMORY_COUNTERS after = Memory();
  printf("  %-6s %7.1f MB file: %9.1f ms, %s\n", step.c_str(), Mb((SIZE_T)size.QuadPart), ms, outcome.c_str());
  printf("RESULT %s %.1f %.1f %.1f %.1f %.1f %.1f\n", step.c_str(), Mb((SIZE_T)size.QuadPart), ms,
         Mb(before.WorkingSetSize), Mb(after.PeakWorkingSetSize), Mb(before.PagefileUsage),
         Mb(after.PeakPagefileUsage));
  fflush(stdout);
  return 0;
}

struct TFigures {
  char Step[16] = "";
  double FileMb = 0, Ms = 0, BaseWs = 0, PeakWs = 0, BaseCommit = 0, PeakCommit = 0;
  bool Valid = false;
};

TFigures StepInChild(const std::string& file, const char* step) {
  std::string output = RunSelf(L"--file \"" + Widen(file) + L"\" --step " + Widen(step));
  TFigures f;
  size_t at = output.find("RESULT ");
  if (at != std::string::npos)
    f.Valid = sscanf(output.c_str() + at, "RESULT %15s %lf %lf %lf %lf %lf %lf", f.Step, &f.FileMb, &f.Ms, &f.BaseWs,
                     &f.PeakWs, &f.BaseCommit, &f.PeakCommit) == 7;
  return f;
}

int CompareSizes(int megabytes) {
  std::vector<TFigures> figures;
  std::vector<std::string> files;
  for (int size : {megabytes / 2, megabytes}) {
    std::string file = Format("%s\\export_%d.reg", kFolder, size);
    files.push_back(file);
    double start = NowMs();
    if (!PlantExport(file, size)) {
      printf("cannot write %s\n", file.c_str());
      return 1;
    }
    printf("== planted %s in %.1f s\n", file.c_str(), (NowMs() - start) / 1000);
    fflush(stdout);
    for (const char* step : kSteps) figures.push_back(StepInChild(file, step));
  }
  for (const std::string& file : files) DeleteFileW(Widen(file).c_str());
  RemoveDirectoryW(Widen(kFolder).c_str());
  RemoveDirectoryW(L"C:\\ZelvoranBench");

  printf("\n%-7s %9s %11s %12s %12s %14s %14s\n", "step", "file MB", "ms", "base WS MB", "peak WS MB",
         "base commit MB", "peak commit MB");
  for (const TFigures& f : figures) {
    if (!f.Valid) {
      printf("a step gave no result\n");
      return 1;
    }
    printf("%-7s %9.1f %11.1f %12.1f %12.1f %14.1f %14.1f\n", f.Step, f.FileMb, f.Ms, f.BaseWs, f.PeakWs,
           f.BaseCommit, f.PeakCommit);
  }
  const size_t steps = std::size(kSteps);
  for (size_t i = 0; i < steps; ++i) {
    const TFigures &small = figures[i], &large = figures[i + steps];
    printf("%-7s peak working set above the base: %.1f MB at %.0f MB, %.1f MB at %.0f MB\n", small.Step,
           small.PeakWs - small.BaseWs, small.FileMb, large.PeakWs - large.BaseWs, large.FileMb);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int megabytes = 200;
  std::string file, step;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (strcmp(argv[i], "--megabytes") == 0) megabytes = atoi(argv[i + 1]);
    else if (strcmp(argv[i], "--file") == 0) file = argv[i + 1];
    else if (strcmp(argv[i], "--step") == 0) step = argv[i + 1];
  }
  if (!file.empty()) return RunStep(file, step);
  if (megabytes < 2) {
    printf("usage: export_bench [--megabytes N (at least 2)] | --file F --step check|verify|part\n");
    return 2;
  }
  return CompareSizes(megabytes);
}
