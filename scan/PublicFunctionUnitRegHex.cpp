#include "PublicFunctionUnit.h"

namespace PublicFunctionUnit {

std::string DbcsCharToRegHex(const std::string& dbcsChar, UINT codePage) {
  wchar_t buffer[500];
  int n = dbcsChar.empty() ? 0
                           : MultiByteToWideChar(codePage, 0, dbcsChar.data(), (int)dbcsChar.size(), buffer, 500);
  unsigned unit = n > 0 ? (unsigned)buffer[0] : 0u;
  return Format("%02X,%02X,", unit & 0xFF, (unit >> 8) & 0xFF);
}

}  // namespace PublicFunctionUnit
