// The ignore list in memory: one section caption, key path and value name per entry.
#pragma once

#include <string>

#include "../framework/Collection.h"

namespace IgnoreItemUnit {

struct TContent {
  std::string Section;
  std::string KeyPath;
  std::string ValueName;
  // The entry came from an escaped line: ValueName is the value's exact name, "" the key's
  // unnamed value. On any other line "default" names both the unnamed value and a value so
  // named (as earlier versions wrote the unnamed value in some sections).
  bool Exact = false;
  std::string KeyIdentity;   // the key as the ignore test compares keys; filled on first use
};

struct TIgnoreContentItem {
  TContent Content;
};

class TIgnoreContents : public TCollection<TIgnoreContentItem> {};

}  // namespace IgnoreItemUnit

using IgnoreItemUnit::TIgnoreContents;
