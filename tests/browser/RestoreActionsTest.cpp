// The browser restorer's thirteen actions on planted keys, each with the exact change it makes to
// the registry, the start-page hijack removal, and a refused key shown as "Failed".
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <functional>

#include "BrowserTestSupport.h"
#include "framework/Strings.h"
#include "support/TestSupport.h"
#include "tools/browser/IERepairItemUnit.h"

using namespace browser_test;
using namespace IERepairItemUnit;
using testing_support::TempFolder;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE, HKCU = HKEY_CURRENT_USER, HKU = HKEY_USERS;
const char* const kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char* const kSystem = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char* const kRestrictions = "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kMain = "Software\\Microsoft\\Internet Explorer\\Main";

std::string Shown(HKEY root, const std::string& key) {
  return std::string(root == HKLM ? "HKLM" : root == HKCU ? "HKCU" : "HKU") + "\\" + key;
}

// A value the action sets to zero: planted as 1 beside a value "ZvKeep" that must stay.
struct TZeroed {
  HKEY Root;
  std::string Key;
  std::vector<std::string> Names;
};

struct TZeroCase {
  int Row;
  std::vector<TZeroed> Keys;
};

const std::vector<TZeroCase>& ZeroCases() {
  static const std::vector<TZeroCase> cases = {
      {2, {{HKCU, kSystem, {"DisableRegistryTools"}}}},
      {4,
       {{HKCU, kRestrictions,
         {"NoViewSource", "NoBrowserContextMenu", "NoBrowserClose", "NoBrowserOptions", "NoBrowserSaveAs",
          "NoFavorites", "NoFileNew", "NoFileOpen", "NoFindFiles", "NoSelectDownloadDir", "NoTheaterMode",
          "NoAddressBar", "NoToolBar", "NoLinksBar"}},
        {HKU, std::string(".DEFAULT\\") + kRestrictions, {"NoViewSource", "NoBrowserContextMenu"}}}},
      {5, {{HKCU, kRestrictions, {"NoBrowserContextMenu"}}}},
      {6, {{HKCU, kExplorer, {"NoDesktop"}}}},
      {8,
       {{HKU, std::string(".DEFAULT\\") + kExplorer,
         {"NoRun", "NoLogOff", "NoFind", "NoClose", "NoSetFolders", "NoFavoritesMenu", "NoStartBanner"}}}},
      {9,
       {{HKCU, kSystem,
         {"NoSecCPL", "NoDispCPL", "NoDispBackgroundPage", "NoDispScrSavPage", "NoDispAppearancePage",
          "NoDispSettingsPage", "NoDevMgrPage", "NoConfigPage", "NoVirtMemPage", "NoFileSysPage", "NoNetSetup",
          "NoNetSetupIDPage", "NoNetSetupSecurityPage", "NoWorkgroupContents", "NoEntireNetwork",
          "NoFileSharingControl"}}}},
  };
  return cases;
}

struct RestoreActions : ::testing::Test {
  std::vector<TArea> areas = BrowserAreas();
  TAreaGuard guard{areas};

  std::set<std::string> Run(int row, bool expectSuccess = true) {
    std::set<std::string> before = Dump(areas);
    EXPECT_EQ(RepairItems[row].Action(), expectSuccess) << RepairItems[row].Caption;
    return Changes(before, Dump(areas));
  }
};

TEST_F(RestoreActions, TheRowsAreTheThirteenActionsInOrder) {
  std::vector<std::string> captions;
  for (const TRepairItem& item : RepairItems) captions.push_back(item.Caption);
  EXPECT_EQ(captions, (std::vector<std::string>{
                          "Repair IE HomePage and Default Page", "Repair IE Control",
                          "Enable RegistryTools(Registry Editor)", "IE Search Engine",
                          "Cancel IE Menu Items Restrictions", "Enable IE Right Button", "Get back Desktop Icon",
                          "Eabled IE Option Card", "Get Back Program Menu", "Enable control panel",
                          "Remove IE Context Menu", "Delete IE Typed URL History", "Repair Links Toolbar Name"}));
}

TEST_F(RestoreActions, PolicyActionsZeroTheirValuesAndNothingElse) {
  for (const TZeroCase& c : ZeroCases()) {
    std::set<std::string> expected;
    for (const TZeroed& k : c.Keys) {
      PlantDword(k.Root, k.Key, "ZvKeep", 7);
      for (const std::string& name : k.Names) {
        PlantDword(k.Root, k.Key, name, 1);
        expected.insert("-" + Shown(k.Root, k.Key) + ": " + name + " = dword:1");
        expected.insert("+" + Shown(k.Root, k.Key) + ": " + name + " = dword:0");
      }
    }
    EXPECT_EQ(Run(c.Row), expected) << RepairItems[c.Row].Caption;
  }
}

TEST_F(RestoreActions, FolderOptionsAreFourZeroBytesAndTheControlPanelPolicyIsLiftedWhereItIsRead) {
  const std::string panel = ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
  Plant(HKLM, kExplorer, L"NoFolderOptions", REG_BINARY, {1, 0, 0, 0});
  PlantDword(HKU, panel, "homepage", 1);
  EXPECT_EQ(Run(1), (std::set<std::string>{
                        "-HKLM\\" + std::string(kExplorer) + ": NoFolderOptions = type 3: 01 00 00 00",
                        "+HKLM\\" + std::string(kExplorer) + ": NoFolderOptions = type 3: 00 00 00 00",
                        "-HKU\\" + panel + ": homepage = dword:1",
                        "+HKU\\" + panel + ": homepage = dword:0",
                    }));
  EXPECT_FALSE(KeyThere(HKU, ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Pan"));

  Plant(HKCU, kExplorer, L"NoFolderOptions", REG_BINARY, {1, 1, 1, 1});
  PlantDword(HKCU, kExplorer, "RestrictRun", 1);
  EXPECT_EQ(Run(7), (std::set<std::string>{
                        "-HKCU\\" + std::string(kExplorer) + ": NoFolderOptions = type 3: 01 01 01 01",
                        "+HKCU\\" + std::string(kExplorer) + ": NoFolderOptions = type 3: 00 00 00 00",
                        "-HKCU\\" + std::string(kExplorer) + ": RestrictRun = dword:1",
                        "+HKCU\\" + std::string(kExplorer) + ": RestrictRun = dword:0",
                    }));
}

TEST_F(RestoreActions, SearchEngineGetsTheSearchAssistantAddress) {
  const std::string search = "Software\\Microsoft\\Internet Explorer\\Search";
  PlantString(HKLM, search, "CustomizeSearch", "http://evil.example/");
  PlantString(HKLM, search, "ZvKeep", "x");
  const std::string url = "http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchasst.htm";
  EXPECT_EQ(Run(3), (std::set<std::string>{
                        "-HKLM\\" + search + ": CustomizeSearch = sz:http://evil.example/",
                        "+HKLM\\" + search + ": CustomizeSearch = sz:" + url,
                        "+HKLM\\" + search + ": SearchAssistant = sz:" + url,
                    }));
}

TEST_F(RestoreActions, ClearingActionsRemoveValuesOrSubkeysOnly) {
  const std::string menuExt = "Software\\Microsoft\\Internet Explorer\\MenuExt";
  const std::string typed = "Software\\Microsoft\\Internet Explorer\\TypedUrls";
  const std::string extensions = "Software\\Microsoft\\Internet Explorer\\Extensions";
  PlantString(HKCU, menuExt, "ZvValue", "x");
  PlantString(HKCU, menuExt + "\\&ZvMenu", "", "res://x");
  EXPECT_EQ(Run(10), (std::set<std::string>{"-HKCU\\" + menuExt + ": ZvValue = sz:x"}));
  EXPECT_TRUE(ValueThere(HKCU, menuExt + "\\&ZvMenu", ""));

  PlantString(HKCU, typed, "url1", "http://a/");
  PlantString(HKCU, typed, "url2", "http://b/");
  EXPECT_EQ(Run(11), (std::set<std::string>{"-HKCU\\" + typed + ": url1 = sz:http://a/",
                                            "-HKCU\\" + typed + ": url2 = sz:http://b/"}));

  PlantString(HKLM, extensions, "ZvKeep", "x");
  PlantString(HKLM, extensions + "\\{ZV-A}\\sub", "v", "1");
  PlantKey(HKLM, extensions + "\\{ZV-B}");
  EXPECT_EQ(Run(12), (std::set<std::string>{"-HKLM\\" + extensions + "\\{ZV-A}",
                                            "-HKLM\\" + extensions + "\\{ZV-A}\\sub",
                                            "-HKLM\\" + extensions + "\\{ZV-A}\\sub: v = sz:1",
                                            "-HKLM\\" + extensions + "\\{ZV-B}"}));
}

// ---- action 0 ----

struct StartPage : RestoreActions {
  TempFolder temp;
  void PlantRun(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (const auto& [name, data] : values) PlantString(HKLM, kRun, name, data);
  }
  std::set<std::string> RunValuesLeft() {
    std::set<std::string> names;
    TRegKeyHandle key;
    if (!key.Open(HKLM, kRun)) return names;
    for (const std::string& name : EnumValueNames(key.Get())) names.insert(name);
    return names;
  }
};

TEST_F(StartPage, HijackEntriesGoAndTheStartPagesAreReset) {
  PlantString(HKLM, kMain, "start page", "http://evil.example/");
  PlantString(HKCU, kMain, "start page", "http://user.example/");
  PlantString(HKLM, kMain, "Search Page", "http://evil.example/s");
  PlantRun({{"a", "C:\\x.exe http://evil.example/"}, {"b", "C:\\good.exe"}, {"c", "REGEDIT /S C:\\y.reg"},
            {"d", "regedit -s q.reg"}, {"e", "C:\\HTTP://EVIL.EXAMPLE/"}, {"registry.exe", "x"}});
  Plant(HKLM, kRun, L"f", REG_EXPAND_SZ, {'h', 0, 't', 0, 't', 0, 'p', 0, ':', 0, '/', 0, '/', 0, 'e', 0, 'v', 0,
                                           'i', 0, 'l', 0, '.', 0, 'e', 0, 'x', 0, 'a', 0, 'm', 0, 'p', 0, 'l', 0,
                                           'e', 0, '/', 0, 0, 0});
  Plant(HKLM, kRun, L"g", REG_BINARY, {'h', 't', 't', 'p'});
  std::string exe = temp.WriteFile("Program Files\\registry.exe");
  std::string kept = temp.WriteFile("Program Files\\other.exe");

  EXPECT_TRUE(RepairHomePageAt(temp.Path()));
  EXPECT_EQ(RunValuesLeft(), (std::set<std::string>{"b", "e", "g"}));
  for (HKEY root : {HKLM, HKCU}) {
    TRegistry reg(KEY_READ);
    reg.RootKey = root;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kMain));
    EXPECT_EQ(reg.ReadString("start page"), "about:blank");
    EXPECT_EQ(reg.ReadString("Window Title"), "Microsoft Internet Explorer");
  }
  TRegistry reg(KEY_READ);
  reg.RootKey = HKLM;
  ASSERT_TRUE(reg.OpenKeyReadOnly(kMain));
  for (const char* name : {"Default_Page_URL", "Default_Search_URL", "Search Page"}) {
    EXPECT_TRUE(reg.ValueExists(name)) << name;
    EXPECT_EQ(reg.ReadString(name), "") << name;
  }
  EXPECT_FALSE(FileExists(exe));
  EXPECT_TRUE(FileExists(kept));
}

TEST_F(StartPage, ARunValueNamedAsTheStartPageIsTheOnlyOneRemoved) {
  PlantString(HKLM, kMain, "start page", "http://evil.example/");
  PlantRun({{"http://evil.example/", "C:\\hijack.exe"}, {"a", "C:\\x.exe http://evil.example/"}});
  EXPECT_TRUE(RemoveStartPageRunEntries());
  EXPECT_EQ(RunValuesLeft(), (std::set<std::string>{"a"}));
}

TEST_F(StartPage, WithoutAStartPageNoRunValueIsTestedAtAll) {
  PlantRun({{"a", "C:\\x.exe"}, {"b", ""}, {"c", "regedit /s x.reg"}});
  PlantString(HKLM, kRun, "", "C:\\unnamed.exe");
  for (bool emptyText : {false, true}) {
    SHDeleteValueW(HKLM, Widen(kMain).c_str(), L"start page");
    if (emptyText) PlantString(HKLM, kMain, "start page", "");
    std::set<std::string> before = Dump(areas);
    EXPECT_TRUE(RemoveStartPageRunEntries());
    EXPECT_EQ(Changes(before, Dump(areas)), std::set<std::string>{});
  }
  EXPECT_TRUE(RemoveRegeditRunEntries());
  EXPECT_EQ(RunValuesLeft(), (std::set<std::string>{"", "a", "b"}));
}

TEST_F(StartPage, AMissingRunKeyIsNeitherCreatedNorAFailure) {
  SHDeleteKeyW(HKLM, Widen(kRun).c_str());
  PlantString(HKLM, kMain, "start page", "http://evil.example/");
  EXPECT_TRUE(RemoveStartPageRunEntries());
  EXPECT_TRUE(RemoveRegeditRunEntries());
  EXPECT_FALSE(KeyThere(HKLM, kRun));
}

TEST(TempDrive, IsTheDriveOfTheTemporaryFolder) {
  wchar_t buf[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, buf);
  std::string root = GetTempDriveRoot();
  EXPECT_EQ(root, Narrow(buf, 3));
  EXPECT_EQ(root.substr(1), ":\\");
}

// A key that cannot be created: Wine refuses a lasting key below a volatile one, as Windows does.
struct RefusedKey : RestoreActions {
  void MakeVolatile(HKEY root, const std::string& path) {
    SHDeleteKeyW(root, Widen(path).c_str());
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
};

TEST_F(RefusedKey, AnActionWhoseKeyCannotBeCreatedFails) {
  MakeVolatile(HKCU, "Software\\Policies");
  EXPECT_EQ(Run(5, false), std::set<std::string>{});
  EXPECT_FALSE(RepairItems[4].Action());
  EXPECT_TRUE(ValueThere(HKU, std::string(".DEFAULT\\") + kRestrictions, "NoBrowserContextMenu"))
      << "the other key is still written";
  EXPECT_TRUE(RepairItems[2].Action()) << "other keys are not concerned";
}

}  // namespace
