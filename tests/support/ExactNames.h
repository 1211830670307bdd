// Entries with the names the system reads differently from a listing ("keep.", "keep ", "..."),
// planted and looked at through "\\?\" paths, exactly as named.
//
// How to use:
//   PlantExact(dir.Path() + "tmp", "keep.", "data");
//   EXPECT_TRUE(ExactlyThere(dir.Path() + "tmp", "keep") && !ExactlyThere(dir.Path() + "tmp", "keep."));
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace testing_support {

// Writes a new file of exactly that name (a failure fails the test).
void PlantExact(const std::string& folder, const std::string& name, const std::string& content = "x",
                DWORD attributes = FILE_ATTRIBUTE_NORMAL);
// Makes a folder of exactly that name and returns its "\\?\" path, UTF-8 (a failure fails the test).
std::string PlantExactFolder(const std::string& folder, const std::string& name);
// True when exactly that entry is there.
bool ExactlyThere(const std::string& folder, const std::string& name);
// The bytes of exactly that file; "" when it cannot be read.
std::string ExactContent(const std::string& folder, const std::string& name);
// The names in a folder as its listing gives them, sorted.
std::vector<std::string> Listing(const std::string& folder);

}  // namespace testing_support
