#include "AuxProcs.h"

#include "../framework/Strings.h"

namespace AuxProcs {
std::wstring StrToWideBuf(const std::string& text) { return Widen(text); }
}  // namespace AuxProcs
