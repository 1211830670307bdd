// The browser's registry repairs: the thirteen restore actions of the "Internet Explorer
// Restorer" (start page, policy restrictions, search page, context menu, typed addresses, toolbar
// extensions) and the listers and removers of the browser plug-ins the "BHO Manager" shows (menu
// extensions, toolbars, explorer bars).
//
// How to use: RepairItems[i].Action() runs the action of row i and tells whether everything it had to
// write was written; the listers append one finding per plug-in to a collection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "../../scan/RegistryContentUnit.h"

namespace IERepairItemUnit {

// ---- restore actions ----

inline constexpr int RepairItemCount = 13;

// Each action returns false when a key it had to open or create, a value it had to write, or a
// value or key it had to delete that is there, was refused; removing what is not there is no
// failure. Keys are created when missing unless said otherwise.
using TRepairAction = bool (*)();

bool RepairHomePage();   // with the file step on the temporary folder's drive
bool RepairIEControl();
bool EnableRegistryTools();
bool RepairSearchEngine();
bool CancelMenuRestrictions();
bool EnableRightButton();
bool RestoreDesktopIcons();
bool EnableOptionCard();
bool RestoreProgramMenu();
bool EnableControlPanel();
bool RemoveContextMenuValues();
bool DeleteTypedUrls();
bool RepairLinksToolbarName();

struct TRepairItem {
  const char* Caption;
  TRepairAction Action;
};

// The rows of the restorer in list order; a row's position is its action's number.
inline constexpr TRepairItem RepairItems[RepairItemCount] = {
    {"Repair IE HomePage and Default Page", RepairHomePage},
    {"Repair IE Control", RepairIEControl},
    {"Enable RegistryTools(Registry Editor)", EnableRegistryTools},
    {"IE Search Engine", RepairSearchEngine},
    {"Cancel IE Menu Items Restrictions", CancelMenuRestrictions},
    {"Enable IE Right Button", EnableRightButton},
    {"Get back Desktop Icon", RestoreDesktopIcons},
    {"Eabled IE Option Card", EnableOptionCard},
    {"Get Back Program Menu", RestoreProgramMenu},
    {"Enable control panel", EnableControlPanel},
    {"Remove IE Context Menu", RemoveContextMenuValues},
    {"Delete IE Typed URL History", DeleteTypedUrls},
    {"Repair Links Toolbar Name", RepairLinksToolbarName},
};

// What action 3 writes into "CustomizeSearch" and "SearchAssistant" (the placeholder is literal).
inline constexpr const char* SearchAssistantUrl = "http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchasst.htm";

inline constexpr const char* MachineRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* IEMainKey = "Software\\Microsoft\\Internet Explorer\\Main";

// Every value write of the actions goes through this call (RegSetValueExW). Tests put in one that
// refuses, as a registry without write rights would; Wine grants every write.
using TSetRegistryValue = LONG (*)(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size);
extern TSetRegistryValue SetRegistryValue;

// Action 0 with the file "Program Files\registry.exe" looked for under driveRoot ("C:\"; a folder
// beginning with a drive and ending with "\"; anything else leaves files alone).
bool RepairHomePageAt(const std::string& driveRoot);

// Deletes the machine Run entries that start the current start page: the value named as the
// start page, or else every text value whose data holds it (case-sensitive). Without a start
// page nothing is deleted. The Run key is never created.
bool RemoveStartPageRunEntries();
// The drive of the temporary folder with its backslash ("C:\"); "" when it is not a drive.
std::string GetTempDriveRoot();
// Deletes every machine Run text value whose data holds "regedit -s" or "regedit /s", in any case.
bool RemoveRegeditRunEntries();

// ---- what the actions change ----

// One registry entry that an action changes: a value of Key, which it deletes or writes (and so
// creates when missing, with its key); or (Subtree) the key Key itself, which it deletes with
// everything below it.
struct TRepairTarget {
  HKEY Root = nullptr;
  std::string Key;
  std::string ValueName;   // the exact name; "" is the key's unnamed value
  bool Subtree = false;
};
// What the action of row would change if it ran now: every value it writes (also those not there
// yet), and the values and keys it would delete as the registry now stands. The keys an action
// only opens (creating them when missing) and the file action 0 deletes are not listed.
std::vector<TRepairTarget> RepairTargets(int row);

// ---- browser plug-ins ----

inline constexpr const char* MenuExtKey = "Software\\Microsoft\\Internet Explorer\\MenuExt";
inline constexpr const char* ToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
inline constexpr const char* UserExplorerBarsKey = "Software\\Microsoft\\Internet Explorer\\Explorer Bars";
inline constexpr const char* MachineExplorerBarsKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars";

// Plug-in kinds as a finding's Extra2 holds them.
inline constexpr const char* MenuExtensionKind = "1";
inline constexpr const char* ToolbarKind = "2";
inline constexpr const char* ExplorerBarKind = "3";

// One finding per menu extension (subkey of HKCU MenuExt), in enumeration order.
void ListMenuExtensions(TRegistryContents& list);
// One finding per value of the machine's Toolbar key, its data shown as text.
void ListToolbars(TRegistryContents& list);
// One finding per explorer bar of HKCU, then of HKLM, named after its registered class.
void ListExplorerBars(TRegistryContents& list);

// How a toolbar value's data is shown: text (or, empty, the class's name), "0x%8.8X(%d)" for a
// double word, blank-separated hex bytes for binary data, "" for anything else.
std::string ToolbarDisplayText(const std::string& valueName, DWORD type, const std::vector<uint8_t>& data);

// The removers: keyPath is a finding's KeyPath (its root is the text before the first "\").
// Each tells whether it removed what it was given: false when that was not there or could not be
// removed. None of them ever removes anything for an empty subkey name; an empty value name is the
// key's unnamed value. A key that is not there (gone since it was listed) is never created: the
// backup taken before a removal could not take it away again.
bool DeleteMenuExtension(const std::string& keyPath, const std::string& menuExtKey, const std::string& name);
bool DeleteToolbarValue(const std::string& keyPath, const std::string& valueName);
bool DeleteExplorerBar(const std::string& keyPath, const std::string& name);

}  // namespace IERepairItemUnit
