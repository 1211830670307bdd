// Registry data for the tests: raw values exactly as given, and a dump of a whole registry tree
// (every key, and the type and bytes of every value) to compare before and after.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace testing_support {

std::vector<uint8_t> Bytes(std::initializer_list<int> values);
std::vector<uint8_t> Utf16(const std::wstring& text, bool terminated = true);   // text as stored
std::vector<uint8_t> Pattern(size_t size);

// The bytes of a registry script of these lines as the program writes one.
std::string RegScript(const std::vector<std::string>& lines);

// The text of a UTF-16LE file with its byte-order mark, as UTF-8; "<not UTF-16>" otherwise.
std::string ReadUtf16File(const std::string& fileName);

// Stores exactly the given bytes (the documented call adds a terminator to some texts).
void SetExact(HKEY root, const std::string& key, const std::wstring& name, DWORD type,
              const std::vector<uint8_t>& data);

struct TDumpedValue {
  DWORD Type = 0;
  std::vector<uint8_t> Data;
  bool operator==(const TDumpedValue&) const = default;
};
// "sub\path\" for every key, "sub\path\|name" for every value, below root\path.
using TTreeDump = std::map<std::string, TDumpedValue>;
TTreeDump DumpTree(HKEY root, const std::string& path);
// The differences, one per line, for a readable failure message.
std::string Differences(const TTreeDump& before, const TTreeDump& after);

}  // namespace testing_support
