// The ignore list in memory: one section caption, key path and value name per entry.
#pragma once

#include <string>

#include "../framework/Collection.h"

namespace IgnoreItemUnit {

struct TContent {
  std::string Section;
  std::string KeyPath;
  std::string ValueName;
};

struct TIgnoreContentItem {
  TContent Content;
};

class TIgnoreContents : public TCollection<TIgnoreContentItem> {};

}  // namespace IgnoreItemUnit

using IgnoreItemUnit::TIgnoreContents;
