// The error utilities' list of known fixes.
#pragma once

#include <string>

#include "../framework/Collection.h"

namespace UnitErrorList {

struct TContent {
  std::string Title;
  std::string KeyPath;
  std::string Operations;
  std::wstring Description;
  int Mark = 0;
};

struct TErrorContentItem {
  TContent Content;
};

class TErrorContents : public TCollection<TErrorContentItem> {};

}  // namespace UnitErrorList

using UnitErrorList::TErrorContents;
