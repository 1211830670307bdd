// The synthetic registry the benchmark scans: software settings trees under HKEY_LOCAL_MACHINE
// and HKEY_CURRENT_USER, COM classes and type libraries, file extensions with their classes,
// application paths, uninstall entries, shared DLLs, fonts, help files, recent-file lists, start
// menu order keys, and shortcuts on disk. Valid and missing paths are mixed at fixed rates, so a
// run at any size is reproducible. Every planted name carries "ZelvoranBench" (or the bench's
// own GUID prefix), so ClearPlanted removes exactly what PlantRegistry made.
#pragma once

#include <string>
#include <unordered_map>

namespace BenchPlant {

inline constexpr const char* BenchFolder = "C:\\ZelvoranBench";

// What the planted data names: for a value's data (as written), a value's name, or a shortcut
// file's path, the file or folder it names, its environment strings expanded. Texts that name
// nothing (numbers, words, web addresses) are not listed.
using TNamedPaths = std::unordered_map<std::string, std::string>;

struct TPlantCounts {
  long Keys = 0;        // registry keys created
  long Values = 0;      // registry values written
  long Shortcuts = 0;   // shortcut files written
  TNamedPaths NamedPaths;
};

// Whether a finding's key (or file), value name or short name holds a name the plant gives.
bool NamesPlanted(const std::string& keyPath, const std::string& valueName, const std::string& shortName);

// Removes every key, value, shortcut and file an earlier run planted (the benchmark's folder
// too, when nothing else is left in it).
void ClearPlanted();
// Plants about `keys` registry keys (never fewer) and the files they point to.
TPlantCounts PlantRegistry(long keys);

}  // namespace BenchPlant
