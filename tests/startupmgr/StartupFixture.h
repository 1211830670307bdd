// The startup manager tests' own Startup folders, program folder, eight Run keys and win.ini,
// and a dump of all of them to compare before and after.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/StringList.h"
#include "support/ExactNames.h"
#include "support/HeldFile.h"
#include "support/TestSupport.h"
#include "tools/startup/StartupManagerUnitActions.h"
#include "tools/startup/StartupManagerUnitEntries.h"
#include "tools/startup/StartupManagerUnitFiles.h"

namespace startup_test {

using namespace StartupManagerUnit;
using testing_support::THeldFile;

inline const char* const kRunKeys[] = {"Run", "RunOnce", "RunOnceEx", "RunServices"};

// A VS_VERSIONINFO resource with the given strings (name, value) under `block` (e.g. "040904E4"),
// the translation `language`/`codePage` and the fixed version 1.2.3.4.
std::vector<uint8_t> VersionResource(const std::vector<std::pair<std::string, std::string>>& strings,
                                     const std::string& block, uint16_t language, uint16_t codePage);
// A copy of this test program at `path` carrying `resource` as its version resource.
bool WriteProgramWithVersion(const std::string& path, const std::vector<uint8_t>& resource);

DWORD AttributesOf(const std::string& path);   // of exactly the entry named

struct StartupFixture : ::testing::Test {
  testing_support::TempFolder temp;
  testing_support::RegSandbox hklm{HKEY_LOCAL_MACHINE};
  testing_support::RegSandbox hkcu{HKEY_CURRENT_USER};
  std::string common, user;
  TStartupSources sources;
  TStartupFiles files;
  APP::TAppObj reader;
  TStartupListing listing;

  StartupFixture();
  // The sandbox of a root and its Run key's path below the root (kRunKeys index).
  const testing_support::RegSandbox& Box(HKEY root) const { return root == HKEY_LOCAL_MACHINE ? hklm : hkcu; }
  std::string RunKey(HKEY root, int key = 0) const { return Box(root).Path() + "\\" + kRunKeys[key]; }
  std::string RunFullPath(HKEY root, int key = 0) const { return Box(root).FullPath() + "\\" + kRunKeys[key]; }

  void List();
  // "caption|path|status|kind|extra|image/state" of every row.
  std::vector<std::string> RowTexts() const;
  // The index of the first row with this caption (and sub-item 3, when given); -1 none.
  int RowOf(const std::string& caption, const std::string& extra = "") const;
  void Tick(const std::string& caption, const std::string& extra = "");
  // An HKEY_CURRENT_USER Run value `disabled` and a Startup file of that name in lower case with
  // ".lnk" disabled, and a pair named `removed` removed, as the page does it (data "old.exe",
  // content "old").
  void PlantRecords(const std::string& disabled, const std::string& removed);

  // Every Run value, every file of both Startup folders with its content, and win.ini's bytes.
  std::string Dump() const;
};

}  // namespace startup_test
