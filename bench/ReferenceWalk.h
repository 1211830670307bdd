// What the scan is measured against: a plain walk of the trees the seventeen sections visit,
// which opens every key once, enumerates its subkeys and reads every value with its data, and
// lists the folders of the fixed drives, reading every shortcut file. It judges nothing.
#pragma once

#include <array>
#include <functional>

namespace ReferenceWalk {

struct TWalkCounts {
  long Keys = 0;
  long Values = 0;
  long Files = 0;
};

using TSectionWalk = std::function<void(TWalkCounts&)>;

// One walk per scan section, in section order, over the trees that section's scan visits (the
// services section visits none).
const std::array<TSectionWalk, 17>& SectionWalks();

}  // namespace ReferenceWalk
