// What the scan is measured against: a plain walk of the trees the seventeen sections visit,
// which opens every key once, enumerates its subkeys and reads every value with its data, and
// lists the folders of the fixed drives, reading every shortcut file; and the file look-ups no
// scan can do without: one for each distinct path that the data a section judges names. It
// judges nothing.
#pragma once

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "BenchPlant.h"

namespace ReferenceWalk {

struct TWalkCounts {
  long Keys = 0;
  long Values = 0;
  long Files = 0;
  // Set for a walk that gathers the paths its section judges: each string value's data, and in
  // the sections that judge value names each value's name, and each shortcut file read, that
  // names a path there, puts that path into Paths.
  const BenchPlant::TNamedPaths* Named = nullptr;
  bool NamesNamePaths = false;
  std::set<std::string> Paths;
};

using TSectionWalk = std::function<void(TWalkCounts&)>;

// One walk per scan section, in section order, over the trees that section's scan visits (the
// services section visits none).
const std::array<TSectionWalk, 17>& SectionWalks();

// Looks each path up once, as the scan's file check does (its attributes).
void LookUp(const std::vector<std::string>& paths);

}  // namespace ReferenceWalk
