// The browser restorer's actions on planted keys, each with the exact change it makes to the
// registry, the start-page hijack removal, and a key that cannot be created failing its action.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include "BrowserTestSupport.h"
#include "framework/Strings.h"
#include "support/TestSupport.h"
#include "tools/browser/IERepairItemUnit.h"

using namespace browser_test;
using namespace testing_support;
using namespace IERepairItemUnit;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE, HKCU = HKEY_CURRENT_USER, HKU = HKEY_USERS;
const std::string kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::string kSystem = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const std::string kRestrictions = "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kMain = "Software\\Microsoft\\Internet Explorer\\Main";
const std::string kIE = "Software\\Microsoft\\Internet Explorer\\";

using TNamed = std::pair<const wchar_t*, const char*>;

std::string Shown(HKEY root, const std::string& key) {
  return (root == HKLM ? "HKLM\\" : root == HKCU ? "HKCU\\" : "HKU\\") + key;
}

// The values an action sets to double word 0, planted as 1 beside "ZvKeep", which must stay.
struct TZeroCase {
  int Row;
  HKEY Root;
  std::string Key;
  std::vector<std::string> Names;
};

const TZeroCase kZeroCases[] = {
    {2, HKCU, kSystem, {"DisableRegistryTools"}},
    {4, HKCU, kRestrictions, {"NoViewSource", "NoBrowserContextMenu", "NoBrowserClose", "NoBrowserOptions",
                              "NoBrowserSaveAs", "NoFavorites", "NoFileNew", "NoFileOpen", "NoFindFiles",
                              "NoSelectDownloadDir", "NoTheaterMode", "NoAddressBar", "NoToolBar", "NoLinksBar"}},
    {4, HKU, ".DEFAULT\\" + kRestrictions, {"NoViewSource", "NoBrowserContextMenu"}},
    {5, HKCU, kRestrictions, {"NoBrowserContextMenu"}},
    {6, HKCU, kExplorer, {"NoDesktop"}},
    {8, HKU, ".DEFAULT\\" + kExplorer,
     {"NoRun", "NoLogOff", "NoFind", "NoClose", "NoSetFolders", "NoFavoritesMenu", "NoStartBanner"}},
    {9, HKCU, kSystem, {"NoSecCPL", "NoDispCPL", "NoDispBackgroundPage", "NoDispScrSavPage", "NoDispAppearancePage",
                        "NoDispSettingsPage", "NoDevMgrPage", "NoConfigPage", "NoVirtMemPage", "NoFileSysPage",
                        "NoNetSetup", "NoNetSetupIDPage", "NoNetSetupSecurityPage", "NoWorkgroupContents",
                        "NoEntireNetwork", "NoFileSharingControl"}},
};

struct RestoreActions : ::testing::Test {
  std::vector<TArea> areas = BrowserAreas();
  TAreaGuard guard{areas};

  std::set<std::string> Run(int row, bool succeeds = true) {
    std::set<std::string> before = Dump(areas);
    EXPECT_EQ(RepairItems[row].Action(), succeeds) << RepairItems[row].Caption;
    return Changes(before, Dump(areas));
  }
  std::set<std::string> RunValuesLeft() {
    TRegKeyHandle key;
    if (!key.Open(HKLM, kRun)) return {};
    std::vector<std::string> names = EnumValueNames(key.Get());
    return {names.begin(), names.end()};
  }
};

TEST_F(RestoreActions, PolicyActionsZeroTheirValuesAndNothingElse) {
  for (int row : {2, 4, 5, 6, 8, 9}) {
    std::set<std::string> expected;
    for (const TZeroCase& c : kZeroCases) {
      if (c.Row != row) continue;
      Plant(c.Root, c.Key, L"ZvKeep", Dword(7));
      for (const std::string& name : c.Names) {
        Plant(c.Root, c.Key, Widen(name), Dword(1));
        expected.insert("-" + Shown(c.Root, c.Key) + ": " + name + " = dword:1");
        expected.insert("+" + Shown(c.Root, c.Key) + ": " + name + " = dword:0");
      }
    }
    EXPECT_EQ(Run(row), expected) << row;
  }
}

TEST_F(RestoreActions, OtherActionsWriteZeroBytesTheSearchAddressAndTheControlPanelOrClearOnlyTheirEntries) {
  const std::string panel = ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
  const std::string search = "Software\\Microsoft\\Internet Explorer\\Search";
  const std::string url = "http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchasst.htm";
  Plant(HKLM, kExplorer, L"NoFolderOptions", TRegValue{REG_BINARY, {1, 0, 0, 0}});
  Plant(HKU, panel, L"homepage", Dword(1));
  EXPECT_EQ(Run(1), (std::set<std::string>{"-HKLM\\" + kExplorer + ": NoFolderOptions = type 3: 01 00 00 00",
                                           "+HKLM\\" + kExplorer + ": NoFolderOptions = type 3: 00 00 00 00",
                                           "-HKU\\" + panel + ": homepage = dword:1",
                                           "+HKU\\" + panel + ": homepage = dword:0"}));
  Plant(HKCU, kExplorer, L"NoFolderOptions", TRegValue{REG_BINARY, {1, 1, 1, 1}});
  Plant(HKCU, kExplorer, L"RestrictRun", Dword(1));
  EXPECT_EQ(Run(7), (std::set<std::string>{"-HKCU\\" + kExplorer + ": NoFolderOptions = type 3: 01 01 01 01",
                                           "+HKCU\\" + kExplorer + ": NoFolderOptions = type 3: 00 00 00 00",
                                           "-HKCU\\" + kExplorer + ": RestrictRun = dword:1",
                                           "+HKCU\\" + kExplorer + ": RestrictRun = dword:0"}));
  Plant(HKLM, search, L"CustomizeSearch", Sz("http://evil.example/"));
  EXPECT_EQ(Run(3), (std::set<std::string>{"-HKLM\\" + search + ": CustomizeSearch = sz:http://evil.example/",
                                           "+HKLM\\" + search + ": CustomizeSearch = sz:" + url,
                                           "+HKLM\\" + search + ": SearchAssistant = sz:" + url}));

  // the clearing actions remove values or subkeys only
  Plant(HKCU, kIE + "MenuExt", L"ZvValue", Sz("x"));
  Plant(HKCU, kIE + "MenuExt\\&ZvMenu", L"", Sz("res://x"));
  EXPECT_EQ(Run(10), (std::set<std::string>{"-HKCU\\" + kIE + "MenuExt: ZvValue = sz:x"}));
  Plant(HKCU, kIE + "TypedUrls", L"url1", Sz("http://a/"));
  Plant(HKCU, kIE + "TypedUrls", L"url2", Sz("http://b/"));
  EXPECT_EQ(Run(11), (std::set<std::string>{"-HKCU\\" + kIE + "TypedUrls: url1 = sz:http://a/",
                                            "-HKCU\\" + kIE + "TypedUrls: url2 = sz:http://b/"}));
  const std::string ext = kIE + "Extensions";
  Plant(HKLM, ext, L"ZvKeep", Sz("x"));
  Plant(HKLM, ext + "\\{ZV-A}\\sub", L"v", Sz("1"));
  Plant(HKLM, ext + "\\{ZV-B}");
  EXPECT_EQ(Run(12), (std::set<std::string>{"-HKLM\\" + ext + "\\{ZV-A}", "-HKLM\\" + ext + "\\{ZV-A}\\sub",
                                            "-HKLM\\" + ext + "\\{ZV-A}\\sub: v = sz:1", "-HKLM\\" + ext + "\\{ZV-B}"}));
}

TEST_F(RestoreActions, HijackEntriesGoAndTheStartPagesAreReset) {
  TempFolder temp;
  Plant(HKLM, kMain, L"start page", Sz("http://evil.example/"));
  Plant(HKCU, kMain, L"start page", Sz("http://user.example/"));
  for (auto [name, data] : std::initializer_list<TNamed>{
           {L"a", "C:\\x.exe http://evil.example/"}, {L"b", "C:\\good.exe"}, {L"c", "REGEDIT /S C:\\y.reg"},
           {L"d", "regedit -s q.reg"}, {L"e", "C:\\HTTP://EVIL.EXAMPLE/"}, {L"registry.exe", "x"}})
    Plant(HKLM, kRun, name, Sz(data));
  Plant(HKLM, kRun, L"f", TRegValue{REG_EXPAND_SZ, Sz("%x% http://evil.example/").Data});
  Plant(HKLM, kRun, L"g", TRegValue{REG_BINARY, {'h', 't', 't', 'p'}});
  std::string exe = temp.WriteFile("Program Files\\registry.exe"), kept = temp.WriteFile("Program Files\\other.exe");

  EXPECT_TRUE(RepairHomePageAt(temp.Path()));
  EXPECT_EQ(RunValuesLeft(), (std::set<std::string>{"b", "e", "g"}));
  std::set<std::string> main;   // names keep the case they were first written in
  for (const std::string& line : Dump({{HKLM, kMain}, {HKCU, kMain}})) main.insert(AnsiLowerCase(line));
  for (const char* line : {"HKLM\\%s: start page = sz:about:blank", "HKCU\\%s: start page = sz:about:blank",
                           "HKLM\\%s: Window Title = sz:Microsoft Internet Explorer",
                           "HKCU\\%s: Window Title = sz:Microsoft Internet Explorer", "HKLM\\%s: Default_Page_URL = sz:",
                           "HKLM\\%s: Default_Search_URL = sz:", "HKLM\\%s: Search Page = sz:"})
    EXPECT_EQ(main.count(AnsiLowerCase(Format(line, kMain))), 1u) << line;
  EXPECT_TRUE(!FileExists(exe) && FileExists(kept));
  EXPECT_EQ(GetTempDriveRoot().substr(1), ":\\");
}

TEST_F(RestoreActions, OnlyARunValueNamedAsTheStartPageIsRemovedAndNoneWithoutAStartPage) {
  Plant(HKLM, kMain, L"start page", Sz("http://evil.example/"));
  Plant(HKLM, kRun, L"http://evil.example/", Sz("C:\\hijack.exe"));
  Plant(HKLM, kRun, L"a", Sz("C:\\x.exe http://evil.example/"));
  EXPECT_TRUE(RemoveStartPageRunEntries());
  EXPECT_EQ(RunValuesLeft(), (std::set<std::string>{"a"}));
  for (auto [name, data] :
       std::initializer_list<TNamed>{{L"a", "C:\\x.exe"}, {L"b", ""}, {L"c", "regedit /s x.reg"}, {L"", "C:\\u.exe"}})
    Plant(HKLM, kRun, name, Sz(data));
  for (bool emptyText : {false, true}) {
    SHDeleteValueW(HKLM, Widen(kMain).c_str(), L"start page");
    if (emptyText) Plant(HKLM, kMain, L"start page", Sz(""));
    std::set<std::string> before = Dump(areas);
    EXPECT_TRUE(RemoveStartPageRunEntries());
    EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
  }
  EXPECT_TRUE(RemoveRegeditRunEntries());
  EXPECT_EQ(RunValuesLeft(), (std::set<std::string>{"", "a", "b"}));

  SHDeleteKeyW(HKLM, Widen(kRun).c_str());   // a missing Run key is no failure and stays missing
  Plant(HKLM, kMain, L"start page", Sz("http://evil.example/"));
  EXPECT_TRUE(RemoveStartPageRunEntries() && RemoveRegeditRunEntries());
  EXPECT_FALSE(RegKeyExists(HKLM, kRun));
}

// Wine, as Windows, refuses a lasting key below a volatile one: a real refusal of key creation.
// Wine grants every value write: that refusal comes from the write call put in for the test.
TEST_F(RestoreActions, AnActionFailsWhenItsKeyCannotBeCreatedOrAValueWriteIsRefused) {
  SHDeleteKeyW(HKCU, L"Software\\Policies");
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKCU, L"Software\\Policies", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Run(5, false), std::set<std::string>{});
  EXPECT_FALSE(RepairItems[4].Action());
  EXPECT_TRUE(RegValueExists(HKU, ".DEFAULT\\" + kRestrictions, "NoBrowserContextMenu")) << "its other key is still written";
  EXPECT_TRUE(RepairItems[2].Action());

  TKeep<TSetRegistryValue> write(
      SetRegistryValue, [](HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) -> LONG {
        return std::wstring(name) == L"RestrictRun" ? ERROR_ACCESS_DENIED : RegSetValueExW(key, name, 0, type, data, size);
      });
  Plant(HKCU, kExplorer);
  EXPECT_EQ(Run(7, false), std::set<std::string>{"+HKCU\\" + kExplorer + ": NoFolderOptions = type 3: 00 00 00 00"});
  EXPECT_TRUE(RepairItems[6].Action());
}

}  // namespace
