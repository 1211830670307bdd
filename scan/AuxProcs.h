// Conversions for the scheduler's wide-character interfaces.
#pragma once

#include <string>

namespace AuxProcs {
// The text as a zero-terminated wide string. Every call returns its own buffer, so results
// never overwrite each other.
std::wstring StrToWideBuf(const std::string& text);
}  // namespace AuxProcs
