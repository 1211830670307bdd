// junk_bench: times the junk file scan against a plain FindFirstFileEx walk of the same tree.
//
//   junk_bench [--files N] [--repeat R]   plants (once) and measures trees of N/5 and N files
//                                         (default 100000), 20 files per folder
//   junk_bench --moves N                  times the move cleanup of N files of one name (a
//                                         "Thumbs.db" in each of N folders) into one folder,
//                                         against N files of distinct names
//   junk_bench --recycle N                times the recycle cleanup of N files, in two halves (the
//                                         bin's room is looked at for each file)
//
// The tree lies in C:\ZelvoranBench\Junk<N> of the benchmark's own prefix and is deleted when the
// run ends (also when it ends early, and a tree left by an earlier run that was cut short is
// deleted before planting), so that no other benchmark walks it; a few per cent of the names
// match the 47 default junk types. Walk and scan run R times each (default 3), alternating,
// and each counts with its fastest run. The scan checks all 47 types and calls a step per entry
// as the page does (a tick test, the message pump every 30 ms). Memory: the process's committed
// bytes before and after the scan, beside the number of files found.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>

#include "../BenchClock.h"
#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/ListedEntry.h"
#include "framework/Strings.h"
#include "tools/junk/SysDiskCleanerUnitStore.h"
#include "tools/junk/SysDiskCleanerUnitWalk.h"

using namespace SysDiskCleanerUnit;

namespace {

const char* const kBenchFolder = "C:\\ZelvoranBench";
constexpr int kFilesPerFolder = 20;
constexpr int kFoldersPerGroup = 100;
constexpr int kJunkEvery = 33;   // about 3 % of the names are junk

// Junk-looking names (each matches a default type) and plain ones.
const char* const kJunkNames[] = {"x%d.tmp", "~WRL%04d.tmp", "Thumbs.db", "setup%d.LOG", "FILE%04d._DD",
                                  "copy%d.bak", "report%d.do~", "dump%d.dmp", "twain%03d.mtx", "ffastun.%d"};
const char* const kPlainNames[] = {"photo%d.jpg", "notes%d.txt", "main%d.cpp", "song%d.mp3", "data%d.xml",
                                   "image%d.png", "letter%d.doc", "table%d.xls", "lib%d.dll", "page%d.htm"};

// The process's committed bytes.
double PrivateMb() {
  PROCESS_MEMORY_COUNTERS m{};
  GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
  return double(m.PagefileUsage) / 1048576.0;
}

bool WriteEmptyFile(const std::string& path) {
  TKernelHandle file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
  if (!file) return false;
  DWORD written = 0;
  WriteFile(file.Get(), "junk", 4, &written, nullptr);
  return true;
}

// Deletes a folder with everything in it; a linked folder is removed, not entered.
void DeleteTree(const std::wstring& folder) {
  {
    WIN32_FIND_DATAW data;
    TFindHandle search(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                        nullptr, 0));
    if (search) {
      do {
        const wchar_t* n = data.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        std::wstring path = folder + L"\\" + n;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
          SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(path.c_str());
        else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) RemoveDirectoryW(path.c_str());
        else DeleteTree(path);
      } while (FindNextFileW(search.Get(), &data));
    }
  }
  RemoveDirectoryW(folder.c_str());   // the search closed first
}

// Deletes every tree a run planted (C:\ZelvoranBench\Junk*), and the benchmark's folder when
// nothing else is left in it.
void DeleteTrees() {
  std::wstring bench = Widen(kBenchFolder);
  std::vector<std::wstring> trees;
  WIN32_FIND_DATAW data;
  {
    TFindHandle search(FindFirstFileExW((bench + L"\\Junk*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                        nullptr, 0));
    if (search) {
      do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && std::wcsncmp(data.cFileName, L"Junk", 4) == 0)
          trees.push_back(bench + L"\\" + data.cFileName);
      } while (FindNextFileW(search.Get(), &data));
    }
  }
  for (const std::wstring& tree : trees) DeleteTree(tree);
  RemoveDirectoryW(bench.c_str());
}

// Deletes the planted trees when the run ends, however it ends: by returning from main, by an
// exception, or by the console's Ctrl+C or close.
class TPlantedTrees {
 public:
  TPlantedTrees() {
    DeleteTrees();   // left by an earlier run that was cut short
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  }
  ~TPlantedTrees() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    DeleteTrees();
  }
  TPlantedTrees(const TPlantedTrees&) = delete;
  TPlantedTrees& operator=(const TPlantedTrees&) = delete;

 private:
  static BOOL WINAPI OnConsoleEvent(DWORD) {
    DeleteTrees();
    return FALSE;   // the process then ends as it would have
  }
};

// Plants the tree of `files` files; returns its root.
std::string PlantTree(int files) {
  std::string root = std::string(kBenchFolder) + "\\Junk" + IntToStr(files);
  std::printf("planting %d files in %d folders under %s ...\n", files, files / kFilesPerFolder, root.c_str());
  std::fflush(stdout);
  int folders = files / kFilesPerFolder;
  for (int f = 0; f < folders; ++f) {
    std::string folder = Format("%s\\group%03d\\folder%05d", root, f / kFoldersPerGroup, f);
    ForceDirectories(folder);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      int n = f * kFilesPerFolder + i;
      const char* name = n % kJunkEvery == 0 ? kJunkNames[(n / kJunkEvery) % 10] : kPlainNames[n % 10];
      WriteEmptyFile(folder + "\\" + Format(name, n));
    }
  }
  return root;
}

// The plain walk: every entry listed, every folder entered, nothing judged.
long PlainWalk(const std::wstring& folder) {
  long entries = 0;
  WIN32_FIND_DATAW data;
  TFindHandle search(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoStandard, &data, FindExSearchNameMatch,
                                      nullptr, 0));
  if (!search) return 0;
  do {
    const wchar_t* n = data.cFileName;
    if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
    ++entries;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      entries += PlainWalk(folder + L"\\" + n);
  } while (FindNextFileW(search.Get(), &data));
  return entries;
}

struct TFigures {
  int Files = 0;
  long Entries = 0;
  size_t Found = 0;
  double WalkMs = 0;
  double ScanMs = 0;
  double MemoryBeforeMb = 0;
  double MemoryAfterMb = 0;
};

TFigures Measure(int files, int repeat, const std::vector<std::string>& patterns) {
  TFigures figures;
  figures.Files = files;
  std::string root = PlantTree(files);
  TJunkMatcher matcher(patterns);
  for (int r = 0; r < repeat; ++r) {
    double start = NowMs();
    figures.Entries = PlainWalk(Widen(root));
    double walk = NowMs() - start;

    std::vector<TJunkFileRecord> found;
    DWORD lastPump = GetTickCount();
    double before = PrivateMb();
    start = NowMs();
    ScanFolder(root, matcher, found, [&](const TWalkEntry&) {
      DWORD now = GetTickCount();
      if (now - lastPump >= 30) {
        lastPump = now;
        Application.ProcessMessages();
      }
      return true;
    });
    double scan = NowMs() - start;
    double after = PrivateMb();
    if (r == 0 || walk < figures.WalkMs) figures.WalkMs = walk;
    if (r == 0 || scan < figures.ScanMs) figures.ScanMs = scan;
    figures.Found = found.size();
    figures.MemoryBeforeMb = before;
    figures.MemoryAfterMb = after;
  }
  return figures;
}

void Print(const TFigures& f) {
  std::printf("%7d files: %7ld entries walked, %5zu junk found | plain walk %8.1f ms | junk scan %8.1f ms | "
              "scan/walk %.2f | committed %.1f -> %.1f MB\n",
              f.Files, f.Entries, f.Found, f.WalkMs, f.ScanMs, f.ScanMs / f.WalkMs, f.MemoryBeforeMb,
              f.MemoryAfterMb);
}

// Plants count files (one name in count folders, or count names in one folder), moves them into
// one folder as the cleanup does in one run, and returns the milliseconds the moves took.
double TimeMoves(int count, bool oneName) {
  std::string root = std::string(kBenchFolder) + (oneName ? "\\MovesOneName" : "\\MovesDistinct");
  std::string to = root + "\\to";
  ForceDirectories(to);
  std::vector<TJunkFileRecord> found;
  for (int i = 0; i < count; ++i) {
    std::string folder = oneName ? Format("%s\\from%05d", root, i) : root + "\\from";
    std::string name = oneName ? "Thumbs.db" : Format("Thumbs%05d.db", i);
    ForceDirectories(folder);
    WriteEmptyFile(folder + "\\" + name);
  }
  ScanFolder(root, TJunkMatcher({"thumbs*.db"}), found, [](const TWalkEntry&) { return true; });
  TMoveTargets targets;
  int moved = 0;
  double start = NowMs();
  for (const TJunkFileRecord& file : found)
    if (CleanupFile(file, TCleanupMode::MoveToFolder, to, targets) == StatusFileMoved) ++moved;
  double ms = NowMs() - start;
  if (moved != count) std::printf("only %d of %d files moved\n", moved, count);
  ListedEntry::DeleteTree(kBenchFolder, oneName ? "MovesOneName" : "MovesDistinct");
  return ms;
}

int MeasureRecycling(int count) {
  if (count < 2) {
    std::fprintf(stderr, "usage: junk_bench --recycle N (>= 2)\n");
    return 2;
  }
  std::string root = std::string(kBenchFolder) + "\\Recycle";
  ForceDirectories(root);
  for (int i = 0; i < count; ++i) WriteEmptyFile(Format("%s\\r%06d.tmp", root, i));
  std::vector<TJunkFileRecord> found;
  ScanFolder(root, TJunkMatcher({"*.tmp"}), found, [](const TWalkEntry&) { return true; });
  int recycled = 0;
  double halves[2] = {};
  for (int half = 0; half < 2; ++half) {
    double start = NowMs();
    for (size_t i = half * found.size() / 2; i < (half + 1) * found.size() / 2; ++i)
      if (CleanupFile(found[i], TCleanupMode::RecycleBin, "") == StatusFileDeleted) ++recycled;
    halves[half] = NowMs() - start;
  }
  std::printf("recycling %d files: %d recycled, first half %.1f ms, second half %.1f ms (ratio %.2f)\n", count,
              recycled, halves[0], halves[1], halves[1] / halves[0]);
  return 0;
}

int MeasureMoves(int count) {
  if (count < 1) {
    std::fprintf(stderr, "usage: junk_bench --moves N (>= 1)\n");
    return 2;
  }
  double distinct = TimeMoves(count, false), oneName = TimeMoves(count, true);
  std::printf("moving %d files into one folder: distinct names %.1f ms, one name %.1f ms (ratio %.2f)\n", count,
              distinct, oneName, oneName / distinct);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int files = 100000, repeat = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--moves") == 0) return MeasureMoves(std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--recycle") == 0) return MeasureRecycling(std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::atoi(argv[i + 1]);
  }
  if (files < 5 * kFilesPerFolder || repeat < 1) {
    std::fprintf(stderr, "usage: junk_bench [--files N (>= 100)] [--repeat R]\n");
    return 2;
  }
  std::vector<std::string> patterns;
  for (const TJunkType& t : DefaultJunkTypeList()) patterns.push_back(t.Pattern);
  TPlantedTrees planted;
  TFigures small = Measure(files / 5, repeat, patterns);
  TFigures large = Measure(files, repeat, patterns);
  Print(small);
  Print(large);
  auto perEntry = [](double ms, long entries) { return ms * 1000.0 / double(entries); };
  double scanSmall = perEntry(small.ScanMs, small.Entries), scanLarge = perEntry(large.ScanMs, large.Entries);
  double walkSmall = perEntry(small.WalkMs, small.Entries), walkLarge = perEntry(large.WalkMs, large.Entries);
  std::printf("growth %d -> %d files: junk scan %.2f -> %.2f us per entry (ratio %.2f), plain walk %.2f -> %.2f us "
              "(ratio %.2f)\n",
              small.Files, large.Files, scanSmall, scanLarge, scanLarge / scanSmall, walkSmall, walkLarge,
              walkLarge / walkSmall);
  double growth = scanLarge / scanSmall;
  std::printf("target: scan/walk <= 1.30 (%s), per-entry ratio within 0.90..1.10 (%s)\n",
              large.ScanMs <= 1.3 * large.WalkMs ? "met" : "NOT met", growth >= 0.9 && growth <= 1.1 ? "met" : "NOT met");
  return 0;
}
