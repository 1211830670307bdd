// The browser restorer's backup: what the ticked actions delete and overwrite is written among the
// plug-in backups first, and what they wrote is noted in it after they ran; restored through the
// plug-in manager's restore page it undoes the actions: what they deleted comes back, what they
// overwrote or created and still holds what they wrote is put back as it was (a created value
// goes), and what was changed since is left and named. A backup without the notes (of an earlier
// version) brings back what the actions deleted and names the rest. A backup that cannot be
// completed is asked about, and No changes nothing.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>

#include "BrowserTestSupport.h"
#include "app/MainUnitBackup.h"
#include "app/RegBackupUnit.h"
#include "framework/Application.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"
#include "tools/browser/BrowserRepairUnit.h"
#include "tools/browser/IePluginsUnit.h"

using namespace browser_test;
using namespace testing_support;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE, HKCU = HKEY_CURRENT_USER, HKU = HKEY_USERS;
const std::string kIE = "Software\\Microsoft\\Internet Explorer";
const std::string kMain = kIE + "\\Main";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::string kTypedUrls = kIE + "\\TypedUrls";
const std::string kStartPage = "http://evil.example/?a=1|b#c=\"d\"";

TRegValue Raw(DWORD type, std::vector<uint8_t> data) { return {type, std::move(data)}; }

// after without the keys that are new in it and hold no value at any depth.
TTreeDump WithoutNewEmptyKeys(const TTreeDump& before, TTreeDump after) {
  auto holdsValue = [&after](const std::string& key) {
    for (auto it = after.lower_bound(key); it != after.end() && it->first.compare(0, key.size(), key) == 0; ++it)
      if (it->first.find('|') != std::string::npos) return true;
    return false;
  };
  for (auto it = after.begin(); it != after.end();) {
    bool newEmptyKey = it->first.find('|') == std::string::npos && !before.contains(it->first) && !holdsValue(it->first);
    it = newEmptyKey ? after.erase(it) : std::next(it);
  }
  return after;
}

struct RestorerBackup : ::testing::Test {
  std::vector<TArea> areas = BrowserAreas();
  TAreaGuard guard{areas};
  TNewFiles added{IePluginsUnit::PluginBackupFolder()};
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::Dialog})};
  TBrowserRepairForm* page = nullptr;
  TKeep<uint8_t> platform{PublicFunctionUnit::PlatformKind, 4};

  RestorerBackup() {
    MessageBoxes().Clear();
    page = dynamic_cast<TBrowserRepairForm*>(NewBrowserRestorePage(host.get()));
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }
  ~RestorerBackup() override {
    if (page != nullptr) page->Free();
  }

  // Every area of the browser tools, where the actions write, delete and create.
  std::vector<TTreeDump> AllTrees() const {
    std::vector<TTreeDump> trees;
    for (const TArea& area : areas) trees.push_back(DumpTree(area.Root, area.Path));
    return trees;
  }
  // Every tree the restorer's actions change.
  std::vector<TTreeDump> Trees() const {
    return {DumpTree(HKLM, kIE), DumpTree(HKLM, kRun), DumpTree(HKCU, kIE), DumpTree(HKCU, kExplorer)};
  }
  std::string Differences(const std::vector<TTreeDump>& a, const std::vector<TTreeDump>& b) const {
    std::string text;
    for (size_t i = 0; i < a.size(); ++i) text += testing_support::Differences(a[i], b[i]);
    return text;
  }
  // The same, but keys that b has and a had not are left out while they hold no value.
  std::string DifferencesBesidesNewEmptyKeys(const std::vector<TTreeDump>& a, const std::vector<TTreeDump>& b) const {
    std::string text;
    for (size_t i = 0; i < a.size(); ++i) text += testing_support::Differences(a[i], WithoutNewEmptyKeys(a[i], b[i]));
    return text;
  }
  // The text of the one backup the run added.
  std::string AddedBackupText() const {
    std::vector<std::string> files = added.Names();
    return files.size() == 1 ? ReadUtf16File(added.Folder() + files[0]) : "no single backup";
  }
  void TickOnly(std::initializer_list<int> rows) {
    for (int i = 0; i < 13; ++i) page->IERepairListView->SetChecked(i, std::count(rows.begin(), rows.end(), i) > 0);
  }
  // Presses "Restore" and answers the boxes in order.
  void Restore(std::vector<int> answers) {
    MessageBoxes().Clear();
    MessageBoxes().Answers = std::move(answers);
    page->DeleteItemBtnClick(page->DeleteItemBtn);
  }
  // The one backup the run added, restored through the plug-in manager's restore page, which lists
  // it among its own; what the restore showed.
  std::vector<std::string> RestoreAddedBackupThroughThePluginManager() {
    std::vector<std::string> files = added.Names();
    EXPECT_EQ(files.size(), 1u);
    if (files.size() != 1) return {"no backup"};
    TFormIePlugins* plugins = dynamic_cast<TFormIePlugins*>(NewBrowserPluginsPage(host.get()));
    plugins->RemoveRestoreBtnClick(plugins->RemoveRestoreBtn);
    int row = -1;
    for (int i = 0; i < plugins->IEBackupListView->Count(); ++i)
      if (plugins->IEBackupListView->Item(i)->Text(1) == added.Folder() + files[0]) row = i;
    EXPECT_GE(row, 0);
    plugins->IEBackupListView->SetItemIndex(row);
    MessageBoxes().Clear();
    plugins->RepairItemBtnClick(plugins->RepairItemBtn);
    plugins->Free();
    return MessageTexts();
  }
  std::vector<std::string> Statuses() const {
    std::vector<std::string> texts;
    for (int i = 0; i < page->IERepairListView->Count(); ++i) texts.push_back(page->IERepairListView->Item(i)->Text(2));
    return texts;
  }
};

// Values of every type and of unfriendly names in each key the ticked actions change.
void PlantHijackedBrowser() {
  Plant(HKLM, kMain, L"start page", Sz(kStartPage));
  Plant(HKLM, kMain, L"Window Title", Sz("Hijacked \u00e9 # | ="));
  for (const wchar_t* name : {L"Default_Page_URL", L"Default_Search_URL", L"Search Page"})
    Plant(HKLM, kMain, name, Sz("http://evil.example/search?q=\"x\""));
  Plant(HKCU, kMain, L"start page", Sz("http://user.example/\u00fc"));
  Plant(HKCU, kMain, L"Window Title", Sz("User's"));
  Plant(HKLM, kRun, L"ZvHijack", Sz("C:\\x.exe \"" + kStartPage + "\""));
  Plant(HKLM, kRun, L"ZvExpand", Raw(REG_EXPAND_SZ, Utf16(Widen("%ProgramFiles%\\y.exe " + kStartPage))));
  Plant(HKLM, kRun, L"ZvGood", Sz("C:\\good.exe"));
  Plant(HKLM, kRun, L"Zv \u00fcn\u00ef \u2713", Sz("regedit /s \"C:\\a b.reg\""));
  Plant(HKLM, kRun, L"registry.exe", Sz("C:\\Program Files\\registry.exe"));
  Plant(HKLM, kIE + "\\Search", L"CustomizeSearch", Sz("http://evil.example/"));
  Plant(HKLM, kIE + "\\Search", L"SearchAssistant", Raw(REG_EXPAND_SZ, Utf16(L"%x%")));
  Plant(HKCU, kExplorer, L"NoFolderOptions", Raw(REG_BINARY, {1, 1, 1, 1}));
  Plant(HKCU, kExplorer, L"RestrictRun", Dword(1));
  Plant(HKCU, kExplorer, L"ZvKeep", Dword(7));
  const std::string menu = kIE + "\\MenuExt";
  Plant(HKCU, menu, L"", Sz("res://unnamed"));
  Plant(HKCU, menu, L"default", Sz("a value named default"));
  Plant(HKCU, menu, L"q\"u=o#t|e\\s", Raw(REG_MULTI_SZ, Utf16(std::wstring(L"a\0\u00e4\0", 4))));
  Plant(HKCU, menu, L"blob", Raw(REG_BINARY, Pattern(4096)));
  Plant(HKCU, menu, L"none", Raw(REG_NONE, {}));
  Plant(HKCU, menu + "\\&ZvMenu", L"", Sz("res://stays"));
  Plant(HKCU, kTypedUrls, L"url1", Sz("http://\u00fc.example/\u00e4?x=1#y"));
  Plant(HKCU, kTypedUrls, L"url2", Sz(""));
  Plant(HKCU, kTypedUrls, L"url3", Sz("cr\ronly"));
  const std::string ext = kIE + "\\Extensions";
  Plant(HKLM, ext, L"ZvKeep", Sz("x"));
  Plant(HKLM, ext + "\\{ZV-A}", L"ButtonText", Sz("Zv"));
  Plant(HKLM, ext + "\\{ZV-A}\\sub\\deeper", L"", Dword(0xFFFFFFFF));
  Plant(HKLM, ext + "\\{ZV-B}");
}

// The plug-in manager's restore of a restorer's backup without the notes of what the actions wrote:
// every key and value the actions deleted (there before them, gone after them) is back, all else
// is as the actions left it, and the message names as changed since the backup each value the
// actions overwrote or created.
void ExpectTheDeletedBackAndTheRestNamed(const std::vector<TTreeDump>& before, const std::vector<TTreeDump>& actions,
                                         const std::vector<std::string>& shown, const std::vector<TTreeDump>& after) {
  size_t changed = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    TTreeDump expected = actions[i];
    for (const auto& [entry, value] : before[i]) {
      if (!actions[i].contains(entry)) expected[entry] = value;   // deleted by the actions: back
      else if (entry.find('|') != std::string::npos && actions[i].at(entry) != value) ++changed;   // overwritten
    }
    for (const auto& [entry, value] : actions[i])
      if (entry.find('|') != std::string::npos && !before[i].contains(entry)) ++changed;   // created
    EXPECT_EQ(testing_support::Differences(expected, after[i]), "") << "tree " << i;
  }
  ASSERT_EQ(shown.size(), 1u);
  const std::string left = "The registry was not restored completely!\r\r"
                           "These entries have changed since the backup and were left as they are now:\r";
  EXPECT_EQ(shown[0].substr(0, left.size()), left) << shown[0];
  ASSERT_GT(changed, 5u);
  EXPECT_TRUE(shown[0].ends_with(Format("\rand %d more\r", (int)changed - 5))) << shown[0];
}

TEST_F(RestorerBackup, TheRestoreUndoesWhatTheActionsDeletedAndOverwrote) {
  PlantHijackedBrowser();
  std::vector<TTreeDump> before = Trees();
  TickOnly({0, 3, 7, 10, 11, 12});
  Restore({IDYES});
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u) << "only the warning";
  std::vector<std::string> done(13, "");
  for (int row : {0, 3, 7, 10, 11, 12}) done[row] = "Completed";
  EXPECT_EQ(Statuses(), done);
  EXPECT_NE(Differences(before, Trees()), "");
  EXPECT_FALSE(RegValueExists(HKLM, kRun, "ZvHijack") || RegKeyExists(HKLM, kIE + "\\Extensions\\{ZV-A}"));

  std::vector<std::string> files = added.Names();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].substr(0, 7) + files[0].substr(22), "Backup__IE.reg");
  const std::vector<std::string> lines = DecodeTextLines(AddedBackupText());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], ";User: " + PublicFunctionUnit::CurrentUserSid());
  for (const std::string& note : {";Written: [HKEY_LOCAL_MACHINE\\" + kMain + "]", std::string(";Written: \"start page\"=\"about:blank\""),
                                  ";Written: [HKEY_LOCAL_MACHINE\\" + std::string(IERepairItemUnit::MachineRunKey) + "]",
                                  std::string(";Written: \"ZvHijack\"=-")})
    EXPECT_NE(std::find(lines.begin(), lines.end(), note), lines.end()) << note;

  EXPECT_EQ(RestoreAddedBackupThroughThePluginManager(), std::vector<std::string>{});
  EXPECT_EQ(DifferencesBesidesNewEmptyKeys(before, Trees()), "");
  EXPECT_EQ(ReadText(HKLM, kMain, "start page"), kStartPage);
  EXPECT_TRUE(RegValueExists(HKLM, kRun, "ZvHijack") && RegKeyExists(HKLM, kIE + "\\Extensions\\{ZV-A}\\sub\\deeper"));
}

// Values of every type in keys partly there: what the actions overwrote comes back with its type,
// what they created where nothing was goes again, what they deleted comes back. The backup deletes
// no key: the keys the actions created stay.
TEST_F(RestorerBackup, TheRestorePutsBackWhatTheActionsOverwroteAndTakesAwayWhatTheyCreated) {
  const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  const std::string system = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  for (const TArea& area : areas) SHDeleteKeyW(area.Root, Widen(area.Path).c_str());
  // partly there: some values of a key, a key without the values the actions write
  Plant(HKLM, kMain, L"start page", Raw(REG_EXPAND_SZ, Utf16(L"%ZvHome%\\\u00e9 \"#|=\"")));
  Plant(HKLM, kMain, L"Default_Page_URL", Raw(REG_BINARY, Bytes({0x00, 0xFF, 0x0D, 0x0A})));
  Plant(HKLM, kMain, L"Search Page", Raw(REG_MULTI_SZ, Utf16(std::wstring(L"a\0b\0", 4))));
  Plant(HKLM, kMain, L"q\"u=o#t|e\\s \u2713", Dword(1));
  Plant(HKCU, kMain, L"Window Title", Sz("User's \"title\" #|= \u00e9"));
  Plant(HKLM, kRun, L"Zv \u00fcn\u00ef", Sz("regedit /s \"C:\\a b.reg\""));
  Plant(HKLM, kRun, L"ZvStays", Raw(REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})));
  Plant(HKLM, explorer, L"NoFolderOptions", Sz("not binary"));   // a value of another type overwritten
  Plant(HKCU, explorer, L"RestrictRun", Raw(REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 1})));
  Plant(HKCU, system);                                              // the key alone
  Plant(HKCU, kTypedUrls, L"url1", Raw(REG_NONE, {}));
  Plant(HKCU, kTypedUrls, L"", Sz("the unnamed value"));
  Plant(HKU, ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", L"NoViewSource", Dword(7));
  // missing entirely: MenuExt, Extensions, Search, HKCU's restrictions and the .DEFAULT policies
  const std::vector<TTreeDump> before = AllTrees();
  Restore({IDYES});
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u) << "only the warning";
  EXPECT_EQ(Statuses(), std::vector<std::string>(13, "Completed"));
  const std::pair<HKEY, std::string> created[] = {
      {HKLM, kIE + "\\Search"}, {HKLM, kIE + "\\Extensions"}, {HKCU, kIE + "\\MenuExt"},
      {HKCU, "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions"}};
  for (const auto& [root, key] : created) EXPECT_TRUE(RegKeyExists(root, key)) << key << ": created by the actions";
  EXPECT_EQ(AddedBackupText().find("[-"), std::string::npos) << AddedBackupText();
  EXPECT_NE(Differences(before, AllTrees()), "");

  EXPECT_EQ(RestoreAddedBackupThroughThePluginManager(), std::vector<std::string>{});
  EXPECT_EQ(DifferencesBesidesNewEmptyKeys(before, AllTrees()), "");
  EXPECT_EQ(ReadText(HKLM, kRun, "Zv \u00fcn\u00ef"), "regedit /s \"C:\\a b.reg\"");
  EXPECT_FALSE(RegValueExists(HKLM, kIE + "\\Search", "SearchAssistant")) << "created by the actions";
  for (const auto& [root, key] : created) EXPECT_TRUE(RegKeyExists(root, key)) << key << ": left in place";
}

// A key the actions created may hold, by the time the backup is restored, what another program put
// there since: all of it survives the restore, while the values the actions wrote there go again.
TEST_F(RestorerBackup, WhatAnotherProgramPutUnderAKeyTheActionsCreatedSurvivesTheRestore) {
  const std::string restrictions = "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
  const std::string search = kIE + "\\Search", menu = kIE + "\\MenuExt";
  for (const TArea& area : areas) SHDeleteKeyW(area.Root, Widen(area.Path).c_str());
  const std::vector<TTreeDump> start = AllTrees();
  TickOnly({3, 4, 10});   // the search engine, the menu restrictions, the context menu
  Restore({IDYES});
  ASSERT_TRUE(RegValueExists(HKCU, restrictions, "NoViewSource"));
  ASSERT_TRUE(RegValueExists(HKLM, search, "SearchAssistant"));
  const std::vector<TTreeDump> actions = AllTrees();
  // afterwards, another program
  Plant(HKCU, restrictions, L"ZvOther", Dword(1));
  Plant(HKCU, "Software\\Policies\\Microsoft\\ZvSibling", L"", Sz("beside a key that was missing"));
  Plant(HKLM, search + "\\ZvSub", L"deep", Raw(REG_BINARY, Bytes({1, 2})));
  Plant(HKCU, menu + "\\&ZvAdd-on", L"", Sz("res://addon"));
  std::vector<TTreeDump> expected = AllTrees();
  for (size_t i = 0; i < expected.size(); ++i)
    for (const auto& [entry, value] : actions[i])
      if (entry.find('|') != std::string::npos && !start[i].contains(entry)) expected[i].erase(entry);   // written

  EXPECT_EQ(RestoreAddedBackupThroughThePluginManager(), std::vector<std::string>{});
  EXPECT_EQ(Differences(expected, AllTrees()), "");
  EXPECT_FALSE(RegValueExists(HKCU, restrictions, "NoViewSource"));
  EXPECT_TRUE(RegValueExists(HKCU, restrictions, "ZvOther"));
}

// What was changed since the actions ran holds neither the backup's data nor the actions': it is
// left as it is and named, whatever the change (other data, another type, a created value written
// again); a value that went since is as the backup has it or comes back; all the rest is undone.
TEST_F(RestorerBackup, WhatChangedSinceTheActionsIsLeftAndNamedAndTheRestUndone) {
  const std::string restrictions = "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
  const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  PlantHijackedBrowser();
  SHDeleteKeyW(HKCU, Widen(restrictions).c_str());
  Plant(HKCU, restrictions);   // without the values the actions create
  const std::vector<TTreeDump> before = AllTrees();
  TickOnly({0, 4, 7});
  Restore({IDYES});
  struct TCase {
    HKEY Root;
    std::string Key;
    std::wstring Name;
    bool Delete;          // the change deletes the value; otherwise it writes Value
    TRegValue Value;
    bool Named;           // left as changed and named
  };
  const TCase cases[] = {
      {HKLM, kMain, L"start page", false, Sz("http://mine.example/\u00e9"), true},             // overwritten, then changed
      {HKLM, kMain, L"Window Title", false, Raw(REG_EXPAND_SZ, Utf16(L"Microsoft Internet Explorer")), true},   // its type
      {HKCU, restrictions, L"NoViewSource", false, Dword(1), true},                             // created, then changed
      {HKCU, restrictions, L"NoFavorites", true, {}, false},                                   // created, then deleted
      {HKCU, explorer, L"RestrictRun", true, {}, false},                                       // overwritten, then deleted
      {HKCU, explorer, L"NoFolderOptions", false, Dword(0), true},                             // written again otherwise
  };
  std::vector<TTreeDump> expected = before;
  std::string named;
  for (const TCase& c : cases) {
    if (c.Delete) ASSERT_EQ(SHDeleteValueW(c.Root, Widen(c.Key).c_str(), c.Name.c_str()), ERROR_SUCCESS);
    else Plant(c.Root, c.Key, c.Name, c.Value);
    if (!c.Named) continue;
    named += PublicFunctionUnit::RootKeyName(c.Root) + "\\" + c.Key + "\\\"" + Narrow(c.Name) + "\"\r";
    for (size_t i = 0; i < areas.size(); ++i)
      if (areas[i].Root == c.Root && c.Key.compare(0, areas[i].Path.size(), areas[i].Path) == 0)
        expected[i]["\\" + c.Key.substr(areas[i].Path.size() + 1) + "\\|" + Narrow(c.Name)] = {c.Value.Type, c.Value.Data};
  }
  EXPECT_EQ(RestoreAddedBackupThroughThePluginManager(),
            std::vector<std::string>{"The registry was not restored completely!\r\r"
                                     "These entries have changed since the backup and were left as they are now:\r" +
                                     named});
  EXPECT_EQ(DifferencesBesidesNewEmptyKeys(expected, AllTrees()), "");   // RestrictRun: deleted since, back
}

// A backup of an earlier version, without the notes of what the actions wrote, restores as such
// backups always did: what the actions deleted comes back, what they overwrote or created is left
// and named.
TEST_F(RestorerBackup, ABackupWithoutTheNotesOfWhatWasWrittenBringsBackWhatWasDeletedAndNamesTheRest) {
  PlantHijackedBrowser();
  std::vector<TTreeDump> before = Trees();
  TickOnly({0, 3, 7, 10, 11, 12});
  Restore({IDYES});
  std::vector<std::string> files = added.Names();
  ASSERT_EQ(files.size(), 1u);
  TStringList old;
  for (const std::string& line : DecodeTextLines(AddedBackupText()))
    if (line.compare(0, 1, ";") != 0) old.Add(line);
  ASSERT_GT(old.Count(), 20);
  ASSERT_TRUE(ReplaceFileContents(added.Folder() + files[0], MainUnit::EncodeRegScript(old)));
  const std::vector<TTreeDump> actions = Trees();
  const std::vector<std::string> shown = RestoreAddedBackupThroughThePluginManager();
  ExpectTheDeletedBackAndTheRestNamed(before, actions, shown, Trees());
  EXPECT_TRUE(RegValueExists(HKLM, kRun, "ZvHijack") && RegKeyExists(HKLM, kIE + "\\Extensions\\{ZV-A}\\sub\\deeper"));
  EXPECT_EQ(ReadText(HKLM, kMain, "start page"), "about:blank") << "written since the backup: left";
}

// The backup file cannot be written, or a value's name cannot be held by a script: the user is
// asked; No leaves the registry and the backups as they were, Yes goes on.
TEST_F(RestorerBackup, AnIncompleteBackupIsAskedAboutAndNoChangesNothing) {
  TempFolder temp;
  const std::string head = "The backup of the Internet Explorer settings could not be completed.\r\r";
  const std::string tail = "What is not in the backup cannot be restored after the repair.\r"
                           "Restore the Internet Explorer to the default settings anyway?";
  PlantHijackedBrowser();
  struct TCase {
    std::string Folder;
    std::wstring OddName;   // a TypedUrls value planted for the case
    std::string Expected;   // the question's text up to the file's name
  };
  const TCase cases[] = {
      {temp.Path() + "no\\such\\", L"", head + "The backup file could not be written:\r" + temp.Path() + "no\\such\\Backup_"},
      {temp.Path(), L"line\nbreak",
       head + "These entries could not be backed up:\rHKEY_CURRENT_USER\\" + kTypedUrls + " (line\nbreak)\r\r" + tail},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Expected);
    page->BackupFolder = c.Folder;
    if (!c.OddName.empty()) Plant(HKCU, kTypedUrls, c.OddName, Sz("x"));
    std::vector<TTreeDump> before = Trees();
    Restore({IDYES, IDNO});
    ASSERT_EQ(MessageBoxes().Calls.size(), 2u);
    EXPECT_EQ(MessageBoxes().Calls[1].text.substr(0, c.Expected.size()), c.Expected);
    EXPECT_EQ(MessageBoxes().Calls[1].text.substr(MessageBoxes().Calls[1].text.size() - tail.size()), tail);
    EXPECT_EQ(MessageBoxes().Calls[1].flags, (unsigned)(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    EXPECT_EQ(Differences(before, Trees()), "");
    EXPECT_EQ(Statuses(), std::vector<std::string>(13, ""));
    EXPECT_EQ(FilesIn(temp.Path()), std::set<std::string>{});
    EXPECT_TRUE(added.Names().empty());
  }
  Restore({IDYES, IDYES});
  EXPECT_EQ(Statuses(), std::vector<std::string>(13, "Completed"));
  EXPECT_FALSE(RegValueExists(HKCU, kTypedUrls, "line\nbreak") || RegValueExists(HKCU, kTypedUrls, "url1"));
  EXPECT_EQ(FilesIn(temp.Path()).size(), 1u) << "what could be read is kept";
}

// Freed in the middle of the run (the program ends), the page runs no further action and goes
// once the run has unwound; the backup written before the run is whole.
TEST_F(RestorerBackup, AStopInTheMiddleRunsNoFurtherActionAndLeavesTheBackupWhole) {
  TempFolder temp;
  PlantHijackedBrowser();
  page->BackupFolder = temp.Path();
  std::vector<int> ran;
  bool destroyed = false;
  page->OnDestroy = [&](TObject*) { destroyed = true; };
  for (int i = 0; i < 13; ++i)
    page->Actions[i] = [&, i] {
      ran.push_back(i);
      if (i == 10) page->FreeWhenIdle();
      return true;
    };
  TickOnly({0, 10, 11, 12});
  Restore({IDYES});
  EXPECT_EQ(ran, (std::vector<int>{0, 10}));
  for (int i = 0; i < 10 && !destroyed; ++i) Application.ProcessMessages();
  EXPECT_TRUE(destroyed);
  page = nullptr;
  std::set<std::string> files = FilesIn(temp.Path());
  ASSERT_EQ(files.size(), 1u);
  RegBackupUnit::TRestoreResult check = RegBackupUnit::VerifyRegistryScript(temp.Path() + *files.begin());
  EXPECT_TRUE(check.Verified) << MainUnit::ShortList(check.Problems, 5);
  EXPECT_GT(check.Values, 10);
}

// The script writer's deletion lines: a value that is not there gets "name"=- under its key (@=-
// the unnamed one), also when the key is not there yet; imported, they take away exactly the values
// created since, whatever the names hold, and every key stays with all else it holds by then.
TEST(DeletionLines, TakeAwayExactlyTheValuesCreatedSinceWhateverTheNamesHold) {
  using MainUnit::TExportOutcome;
  RegSandbox box;
  TempFolder temp;
  box.SetString("", "kept", "x");
  const TTreeDump before = DumpTree(box.Root(), box.Path());
  const std::string key = box.FullPath();
  const std::string names[] = {"", "q\"u=o#t|e\\s", "\u00fc\u00ef \u2713 [x]", "default", "-", "@"};
  TStringList lines;
  lines.Add(MainUnit::RegScriptHeaderNT);
  for (const std::string& name : names) EXPECT_EQ(MainUnit::ExportAbsentValue(key, name, lines), TExportOutcome::Written);
  EXPECT_EQ(MainUnit::ExportAbsentValue(key, "kept", lines), TExportOutcome::Absent);
  EXPECT_EQ(MainUnit::ExportAbsentValue(key + "\\new [1]\\deeper", "", lines), TExportOutcome::Written);
  EXPECT_EQ(MainUnit::ExportAbsentValue(key + "\\other\\sub", "v", lines), TExportOutcome::Written);
  EXPECT_EQ(MainUnit::ExportAbsentValue(key, "line\nbreak", lines), TExportOutcome::Unreadable);
  const std::string keyLine = "[" + key + "]";
  EXPECT_EQ(lines.Items, (std::vector<std::string>{
                             MainUnit::RegScriptHeaderNT, keyLine, "@=-", keyLine, "\"q\\\"u=o#t|e\\\\s\"=-", keyLine,
                             "\"\u00fc\u00ef \u2713 [x]\"=-", keyLine, "\"default\"=-", keyLine, "\"-\"=-", keyLine, "\"@\"=-",
                             "[" + key + "\\new [1]\\deeper]", "@=-", "[" + key + "\\other\\sub]", "\"v\"=-"}));

  // created since: values of every type under those names, and the keys with their values
  const std::vector<std::pair<DWORD, std::vector<uint8_t>>> data = {
      {REG_SZ, Utf16(L"a")}, {REG_EXPAND_SZ, Utf16(L"%x%")}, {REG_BINARY, Bytes({0, 255})},
      {REG_DWORD, Bytes({1, 0, 0, 0})}, {REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
      {REG_MULTI_SZ, Utf16(std::wstring(L"a\0", 2))}};
  for (size_t i = 0; i < std::size(names); ++i) box.SetRaw("", names[i], data[i].first, data[i].second);
  box.SetRaw("new [1]\\deeper", "", REG_NONE, {});
  box.SetDword("other\\sub", "v", 1);
  // and what another program put into the new keys
  box.SetString("new [1]", "theirs", "stays");
  box.SetRaw("other\\sub", "theirs too", REG_BINARY, {7});
  box.CreateKey("other\\sub\\theirs");
  TTreeDump expected = before;
  for (const char* created : {"\\new [1]\\", "\\new [1]\\deeper\\", "\\other\\", "\\other\\sub\\", "\\other\\sub\\theirs\\"})
    expected[created] = {};
  expected["\\new [1]\\|theirs"] = {REG_SZ, Utf16(L"stays")};
  expected["\\other\\sub\\|theirs too"] = {REG_BINARY, {7}};
  ASSERT_NE(Differences(expected, DumpTree(box.Root(), box.Path())), "");

  const std::string file = temp.Path() + "undo.reg";
  ASSERT_TRUE(ReplaceFileContents(file, MainUnit::EncodeRegScript(lines)));
  // the plug-in manager's details read each deletion (and, as any line holding "[" and "]", the
  // value line of "[x]") as a record of its own
  std::vector<IePluginsUnit::TDetailBackup> details = IePluginsUnit::LoadBackupDetails(file);
  ASSERT_EQ(details.size(), 9u);
  EXPECT_EQ(details[0].KeyLine + " " + details[0].ValueLine, keyLine + " @=-");
  EXPECT_EQ(details[8].KeyLine + " " + details[8].ValueLine, "[" + key + "\\other\\sub] \"v\"=-");
  RegBackupUnit::TRestoreResult result = RegBackupUnit::RestoreRegistryScript(file);
  EXPECT_TRUE(result.Succeeded()) << MainUnit::ShortList(result.Problems, 5);
  EXPECT_EQ(Differences(expected, DumpTree(box.Root(), box.Path())), "");
}

}  // namespace
