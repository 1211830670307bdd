// The tweak items on the prefix's real registry: round trips per item, the backup file, files of
// the older rules, and the refused and failing paths.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "OptimizerTestSupport.h"
#include "framework/Exceptions.h"
#include "framework/IniFiles.h"
#include "framework/StringList.h"
#include "scan/PublicFunctionUnit.h"
#include "support/Fuzz.h"
#include "support/HeldFile.h"
#include "support/TestSupport.h"
#include "tools/optimizer/SpeedItemUnit.h"
#include "tools/optimizer/SystemSpeedUnitBackup.h"
#include "tools/optimizer/UnitServicesOptimize.h"

using namespace optimizer_test;
using testing_support::TempFolder;
using testing_support::THeldFile;
using testing_support::TKeep;
using testing::ThrowsMessage;
using testing::StrEq;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;
const char* const kPrefetch = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\PrefetchParameters";
const char* const kMemory = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const char* const kPolicy = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char* const kDns = "SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
const char* const kDesktop = "Control Panel\\Desktop";
const char* const kNameSpace =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RemoteComputer\\NameSpace\\"
    "{D6277990-4C6A-11CF-8D87-00AA0060F5BF}";
const char* const kAvi = "CLSID\\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}";
const char* const kBios = "System\\CurrentControlSet\\Services\\VxD\\BIOS";
const TMaybeValue Absent = std::nullopt;
const char* const kExplorer = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char* const kOptimalLayout = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout";
const char* const kMetrics = "Control Panel\\Desktop\\WindowMetrics";
const char* const kMstcp = "System\\CurrentControlSet\\Services\\VxD\\MSTCP";

// A value of an item before its apply (planted; keys always created) and after it.
struct TValueAt {
  HKEY Root;
  std::string Key;
  const char* Name;
  TMaybeValue Before, Applied;
};

struct TItemCase {
  int Item;
  std::vector<TValueAt> Values;
};

// Every item with an apply and an undo, with present and absent values.
const std::vector<TItemCase> kRoundTrips = {
    {1, {{HKLM, kPrefetch, "EnablePrefetcher", Absent, Dw(1)}, {HKLM, kExplorer, "AlwaysUnloadDLL", Sz("0"), Sz("1")}}},
    {2, {{HKLM, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout", Sz("20000"), Sz("500")}}},
    {3, {{HKLM, kDns, "CacheHashTableBucketSize", Dw(10), Dw(1)}, {HKLM, kDns, "CacheHashTableSize", Absent, Dw(384)},
         {HKLM, kDns, "MaxCacheEntryTtlLimit", Dw(86400), Dw(64000)}, {HKLM, kDns, "MaxSOACacheEntryTtlLimit", Absent, Dw(301)}}},
    {5, {{HKCU, kDesktop, "MenuShowDelay", Sz("250"), Sz("400")}}},
    {6, {{HKCU, kDesktop, "AutoEndTasks", Sz("0"), Sz("1")}, {HKCU, kDesktop, "HungAppTimeout", Absent, Sz("200")},
         {HKCU, kDesktop, "WaitToKillAppTimeout", Sz("20000"), Sz("1000")}}},
    {7, {{HKLM, kOptimalLayout, "EnableAutoLayout", Absent, Dw(1)}}},
    {8, {{HKLM, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable", Sz("Y"), Sz("N")}}},
    {9, {{HKLM, kPrefetch, "EnablePrefetcher", Dw(3), Dw(1)}}},
    {10, {{HKLM, std::string(kExplorer) + "\\AlwaysUnloadDLL", "", Absent, Sz("1")}}},
    {11, {{HKLM, kMemory, "LargePageMinimum", Dw(0), Dw(0xFFFFFFFF)}}},
    {13, {{HKCU, kPolicy, "NoResolveTrack", Absent, Dw(1)}, {HKLM, kPolicy, "NoResolveTrack", Dw(0), Dw(1)}}},
    {14, {{HKLM, kMstcp, "DefaultRcvWindow", Absent, Sz("4288")}, {HKLM, kMstcp, "DefaultTTL", Sz("64"), Sz("128")}}},
    {16, {{HKLM, kBios, "PCIConcur", Dw(0), Dw(1)}, {HKLM, kBios, "FastDRAM", Absent, Dw(1)},
          {HKLM, kBios, "AGPConcur", Dw(2), Dw(1)}}},
    {17, {{HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache", Absent, Dw(1)}}},
    {18, {{HKCU, kMetrics, "MinAniMate", Sz("1"), Sz("0")}}},
    {19, {{HKCU, kPolicy, "ClearRecentDocsOnExit", Absent, Dw(1)}}},
    {20, {{HKCU, kPolicy, "NoCommonGroups", Dw(0), Dw(1)}}},
    {21, {{HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Advanced", "StartMenuScrollPrograms", Sz("true"),
           Sz("false")}}},
    {23, {{HKLM, "SYSTEM\\CurrentControlSet\\Control\\FileSystem", "NtfsDisableLastAccessUpdate", Dw(0), Dw(1)}}},
    {22, {{HKLM, "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000", "EnableUDMA66",
           Absent, Dw(1)}}},
    {24, {{HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "MaxConnectionsPerServer", Dw(2), Dw(5)}}},
    {25, {{HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "AllocateFloppies", Sz("0"), Sz("1")}}},
    {26, {{HKLM, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "EnablePMTUDiscovery", Absent, Dw(1)}}},
    {27, {{HKCU, kPolicy, "NoSaveSettings", Absent, Dw(1)}}},
    {28, {{HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network", "NoFileSharingControl", Dw(0), Dw(1)}}},
    {29, {{HKCU, kPolicy, "NoThumbnailCache", Absent, Dw(1)}}},
};

// Each root's own value, and values of the types an item keeps beside its own (a double word
// where item 1 keeps a string, expandable strings, a text stored without its terminating zero).
const std::vector<TItemCase> kTypedValues = {
    {13, {{HKCU, kPolicy, "NoResolveTrack", Dw(7), Dw(1)}, {HKLM, kPolicy, "NoResolveTrack", Absent, Dw(1)}}},
    {13, {{HKCU, kPolicy, "NoResolveTrack", Dw(0xFFFFFFFF), Dw(1)}, {HKLM, kPolicy, "NoResolveTrack", Dw(2), Dw(1)}}},
    {1, {{HKLM, kPrefetch, "EnablePrefetcher", Dw(3), Dw(1)}, {HKLM, kExplorer, "AlwaysUnloadDLL", Dw(5), Sz("1")}}},
    {1, {{HKLM, kPrefetch, "EnablePrefetcher", Dw(0), Dw(1)},
         {HKLM, kExplorer, "AlwaysUnloadDLL", Ex("%SystemRoot%\\x.dll"), Sz("1")}}},
    {2, {{HKLM, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout", Ex("%TIMEOUT%"), Sz("500")}}},
    {5, {{HKCU, kDesktop, "MenuShowDelay", Ex(""), Sz("400")}}},
    {5, {{HKCU, kDesktop, "MenuShowDelay", Raw(REG_SZ, {'2', 0, '5', 0, '0', 0}), Sz("400")}}},
    {6, {{HKCU, kDesktop, "AutoEndTasks", Ex(" 1 "), Sz("1")}, {HKCU, kDesktop, "HungAppTimeout", Sz("%x%"), Sz("200")},
         {HKCU, kDesktop, "WaitToKillAppTimeout", Ex("\"%25\""), Sz("1000")}}},
    {8, {{HKLM, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable", Ex("Y"), Sz("N")}}},
    {10, {{HKLM, std::string(kExplorer) + "\\AlwaysUnloadDLL", "", Ex("0"), Sz("1")}}},
    {14, {{HKLM, kMstcp, "DefaultRcvWindow", Ex("%RCV%"), Sz("4288")},
          {HKLM, kMstcp, "DefaultTTL", Absent, Sz("128")}}},
    {18, {{HKCU, kMetrics, "MinAniMate", Ex("1"), Sz("0")}}},
    {21, {{HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Advanced", "StartMenuScrollPrograms",
           Ex("true"), Sz("false")}}},
    {25, {{HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "AllocateFloppies", Ex("0"), Sz("1")}}},
};

// Values of a type the item cannot keep: the run stops at the item's backup, before its apply.
struct TForeignValue {
  int Item;
  HKEY Root;
  std::string Key;
  const char* Name;
  TRegValue Value;
};
const std::vector<TForeignValue> kForeignValues = {
    {13, HKCU, kPolicy, "NoResolveTrack", Sz("1")},
    {7, HKLM, kOptimalLayout, "EnableAutoLayout", Raw(REG_BINARY, {1, 0, 0, 0})},
    {9, HKLM, kPrefetch, "EnablePrefetcher", Raw(REG_QWORD, {3, 0, 0, 0, 0, 0, 0, 0})},
    {11, HKLM, kMemory, "LargePageMinimum", Raw(REG_DWORD, {1, 0, 0, 0, 2, 0, 0, 0})},
    {29, HKCU, kPolicy, "NoThumbnailCache", Raw(REG_DWORD, {1, 0})},
    {1, HKLM, kExplorer, "AlwaysUnloadDLL", Raw(REG_MULTI_SZ, {'1', 0, 0, 0, 0, 0})},
    {2, HKLM, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout", Raw(REG_BINARY, {})},
    {5, HKCU, kDesktop, "MenuShowDelay", Raw(REG_MULTI_SZ, {'4', 0, 0, 0, 0, 0})},
    {6, HKCU, kDesktop, "AutoEndTasks", Raw(REG_SZ, {'1', 0, 0, 0, 'x', 0, 0, 0})},
    {8, HKLM, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable", Dw(1)},
    {10, HKLM, std::string(kExplorer) + "\\AlwaysUnloadDLL", "", Raw(REG_NONE, {})},
};

// The items without an apply step: saved, changed by someone else, restored.
const std::vector<TItemCase> kBackupOnly = {
    {4, {{HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "MaxConnectionsPerServer", Dw(4)},
         {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "MaxConnectionsPer1_0Server", Absent}}},
    {12, {{HKLM, "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\parameters", "size", Dw(2)}}},
    {15, {{HKLM, kMemory, "LargeSystemCache", Absent}}},
};

void ExpectAll(const TItemCase& c, bool applied, const char* when) {
  for (const TValueAt& v : c.Values)
    EXPECT_EQ(ValueAt(v.Root, v.Key, v.Name), Describe(applied ? v.Applied : v.Before))
        << "item " << c.Item << " " << when << ": " << v.Key << "\\" << v.Name;
}

struct TweakItems : ::testing::Test {
  TTweakKeysGuard keys;
  TempFolder temp;
  std::string file = temp.Path() + "speedRestore20240102_030405.ini";
  TKeep<std::string> backupFile{SpeedItemUnit::SpeedBackupFile, file};
  TKeep<SpeedItemUnit::TRegistryRefusal> refusal{SpeedItemUnit::RefuseRegistryChange, nullptr};
  std::string WriteIni(const std::string& text) { return temp.WriteFile("speedOld.ini", text); }
  // A fresh backup file holding the item's values as planted; the backup changes none of them.
  void PlantAndBackUp(const TItemCase& c) {
    DeleteFileW(Widen(file).c_str());
    for (const TValueAt& v : c.Values) Plant(v.Root, v.Key, v.Name, v.Before);
    SpeedItemUnit::BackupSpeedItem(c.Item);
    ExpectAll(c, false, "backed up");
  }
  // Backs up, applies and restores each case, and expects every value back as it was.
  void ExpectRoundTrips(const std::vector<TItemCase>& cases) {
    for (const TItemCase& c : cases) {
      PlantAndBackUp(c);
      EXPECT_EQ(SpeedItemUnit::ApplySpeedItem(c.Item), 0) << "item " << c.Item;
      ExpectAll(c, true, "applied");
      SystemSpeedUnit::TSpeedRestore restored = SystemSpeedUnit::RestoreSpeedFile(file);
      EXPECT_EQ(restored.Refused, 0) << "item " << c.Item;
      EXPECT_TRUE(restored.NotRestored.empty()) << "item " << c.Item;
      ExpectAll(c, false, "restored");
    }
  }
  void RoundTrip(int item) {
    SpeedItemUnit::BackupSpeedItem(item);
    SpeedItemUnit::ApplySpeedItem(item);
    SystemSpeedUnit::RestoreSpeedFile(file);
  }
};

// Items with an apply come back exactly as they were; items without an apply are saved and
// restored.
TEST_F(TweakItems, EveryItemRoundTripsAsItsStepsSay) {
  ExpectRoundTrips(kRoundTrips);
  for (const TItemCase& c : kBackupOnly) {
    PlantAndBackUp(c);
    EXPECT_EQ(SpeedItemUnit::ApplySpeedItem(c.Item), 0);
    for (const TValueAt& v : c.Values) Plant(v.Root, v.Key, v.Name, Dw(77));
    SystemSpeedUnit::RestoreSpeedFile(file);
    ExpectAll(c, false, "restored");
  }
}

// The backup only reads: each root's value and each value's type come back as they were.
TEST_F(TweakItems, EachRootAndTypeComesBackAsItWas) {
  ExpectRoundTrips(kTypedValues);
  PlantAndBackUp(kTypedValues[2]);   // the double word kept where a string is
  EXPECT_EQ(TIniFile(file).ReadSectionValues("Machine speed is opened in the optimization"),
            (std::vector<std::string>{"F1=3", "F2=5", "F2Type=REG_DWORD"}));
}

// A value of a type its item cannot keep stops the run at that item's backup: nothing of the
// item is saved or changed, under either root.
TEST_F(TweakItems, ValueOfAForeignTypeStopsTheRunBeforeItsItemChanges) {
  for (const TForeignValue& f : kForeignValues) {
    DeleteFileW(Widen(file).c_str());
    Plant(HKCU, kPolicy, "NoResolveTrack", Absent);
    Plant(HKLM, kPolicy, "NoResolveTrack", Absent);
    Plant(f.Root, f.Key, f.Name, f.Value);
    std::array<bool, SystemSpeedUnit::TweakBoxCount> checked{};
    for (int i = 0; i < SystemSpeedUnit::TweakBoxCount; ++i) checked[i] = SystemSpeedUnit::TweakBoxes[i].Item == f.Item;
    EXPECT_THAT([&] { SystemSpeedUnit::ApplyTweakChoices(checked); },
                ThrowsMessage<ERegistryException>(StrEq(std::string("Invalid data type for '") + f.Name + "'")))
        << "item " << f.Item;
    EXPECT_EQ(ValueAt(f.Root, f.Key, f.Name), Describe(f.Value)) << "item " << f.Item;
    EXPECT_EQ(ValueAt(HKLM, kPolicy, "NoResolveTrack"), "absent") << "item " << f.Item;
    EXPECT_FALSE(TIniFile(file).SectionExists(SpeedItemUnit::SpeedSectionName(f.Item))) << "item " << f.Item;
    Plant(f.Root, f.Key, f.Name, Absent);
  }
}

TEST_F(TweakItems, BackupFileHoldsEachItemsKeysInBackupOrder) {
  Plant(HKCU, kDesktop, "MenuShowDelay", Sz("250"));
  Plant(HKCU, kDesktop, "AutoEndTasks", Sz("0"));
  Plant(HKCU, kDesktop, "HungAppTimeout", Absent);
  Plant(HKCU, kDesktop, "WaitToKillAppTimeout", Sz("20000"));
  SpeedItemUnit::ApplySpeedItem(11);
  for (int item : {5, 6, 11, 17}) SpeedItemUnit::BackupSpeedItem(item);
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadSections(),
            (std::vector<std::string>{"Backup", "Quicken menu display speed", "Optimize the system to the wrong handle",
                                      "Fix Problem with Athlon Hanging AGP Programs", "Optimize AVI Media Files"}));
  EXPECT_EQ(ini.ReadSectionValues("Backup"),
            (std::vector<std::string>{"Format=2", "User=" + PublicFunctionUnit::CurrentUserSid()}));
  EXPECT_EQ(ini.ReadSectionValues("Quicken menu display speed"), (std::vector<std::string>{"F1=250"}));
  EXPECT_EQ(ini.ReadSectionValues("Optimize the system to the wrong handle"),
            (std::vector<std::string>{"F1=0", "F2=", "F3=20000"}));
  EXPECT_EQ(ini.ReadSectionValues("Fix Problem with Athlon Hanging AGP Programs"), (std::vector<std::string>{"F1=-1"}));
  EXPECT_EQ(ini.ReadSectionValues("Optimize AVI Media Files"), (std::vector<std::string>{"F1="}));

  // Absent values are saved as empty and not written; a text that is no number is saved as it is.
  Plant(HKLM, kPrefetch, "EnablePrefetcher", Absent);
  Plant(HKLM, kDns, "CacheHashTableSize", Absent);
  Plant(HKCU, kMetrics, "MinAniMate", Sz("off"));
  for (int item : {1, 3, 9, 18}) SpeedItemUnit::BackupSpeedItem(item);
  EXPECT_EQ(ValueAt(HKLM, kPrefetch, "EnablePrefetcher"), "absent");
  EXPECT_EQ(ValueAt(HKLM, kDns, "CacheHashTableSize"), "absent");
  EXPECT_EQ(ini.ReadString("Optimize the Windows Prefetcher Service", "F1", "?"), "");
  EXPECT_EQ(ini.ReadString("Machine speed is opened in the optimization", "F1", "?"), "");
  EXPECT_EQ(ini.ReadString("Best Vision Effect", "F1", ""), "off");
  SpeedItemUnit::ApplySpeedItem(18);
  SystemSpeedUnit::RestoreSpeedFile(file);
  EXPECT_EQ(ValueAt(HKCU, kMetrics, "MinAniMate"), Describe(Sz("off")));
}

TEST_F(TweakItems, FirstBackupOfAnItemInAFileWins) {
  Plant(HKLM, kBios, "PCIConcur", Dw(0));
  SpeedItemUnit::BackupSpeedItem(16);
  SpeedItemUnit::ApplySpeedItem(16);
  SpeedItemUnit::BackupSpeedItem(16);   // Ochk13 and Ochk27 both drive item 16
  EXPECT_EQ(TIniFile(file).ReadString("System Board and Memory Optimizations", "F1", ""), "0");
  SystemSpeedUnit::RestoreSpeedFile(file);
  EXPECT_EQ(ValueAt(HKLM, kBios, "PCIConcur"), Describe(Dw(0)));
}

TEST_F(TweakItems, AviUndoRemovesItsValueAndTheKeyOnlyWhenTheApplyCreatedIt) {
  RoundTrip(17);
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kAvi));
  // A registration beside the value stays.
  DeleteFileW(Widen(file).c_str());
  Plant(HKEY_CLASSES_ROOT, std::string(kAvi) + "\\InprocServer32", "", Sz("shell32.dll"));
  RoundTrip(17);
  EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, std::string(kAvi) + "\\InprocServer32", ""), Describe(Sz("shell32.dll")));
  EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache"), "absent");
  // A file of the older rules (an empty "F1") behaves the same.
  SpeedItemUnit::ApplySpeedItem(17);
  SystemSpeedUnit::RestoreSpeedFile(WriteIni("[Optimize AVI Media Files]\r\nF1=\r\n"));
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, std::string(kAvi) + "\\InprocServer32"));
  EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache"), "absent");
}

TEST_F(TweakItems, AviUndoKeepsTheKeyWhileAnotherValueIsInIt) {
  Plant(HKEY_CLASSES_ROOT, kAvi, "ThreadingModel", Sz("Both"));
  RoundTrip(17);
  EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "ThreadingModel"), Describe(Sz("Both")));
  EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache"), "absent");
  // The key's own default value counts as a value as well.
  RegDeleteKeyW(HKEY_CLASSES_ROOT, Widen(kAvi).c_str());
  DeleteFileW(Widen(file).c_str());
  Plant(HKEY_CLASSES_ROOT, kAvi, "", Sz(""));
  RoundTrip(17);
  EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, ""), Describe(Sz("")));
}

// Saved texts come back exactly: empty is not absent, and blanks, quotes, separators, line
// breaks and characters beyond the ANSI code page around or inside a value stay.
TEST_F(TweakItems, SavedTextsComeBackWhole) {
  const std::vector<TItemCase> cases = {
      {6, {{HKCU, kDesktop, "AutoEndTasks", Sz(""), Sz("1")}, {HKCU, kDesktop, "HungAppTimeout", Sz(" 200 "), Sz("200")},
           {HKCU, kDesktop, "WaitToKillAppTimeout", Sz("\"1000\""), Sz("1000")}}},
      {2, {{HKLM, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout", Sz("'5'"), Sz("500")}}},
      {5, {{HKCU, kDesktop, "MenuShowDelay", Sz("\t4\r0=0;#|%0D\"\n"), Sz("400")}}},
      {8, {{HKLM, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable", Sz("\"Y"), Sz("N")}}},
      {10, {{HKLM, std::string(kExplorer) + "\\AlwaysUnloadDLL", "", Sz(" \xe6\x97\xa5\xe5\xbf\x97 1\xe3\x80\x80"), Sz("1")}}},
      {18, {{HKCU, kMetrics, "MinAniMate", Sz(" 01"), Sz("0")}}},
      {25, {{HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "AllocateFloppies", Sz(""), Sz("1")}}},
  };
  for (const TItemCase& c : cases) {
    PlantAndBackUp(c);
    if (c.Item == 6) {
      EXPECT_EQ(TIniFile(file).ReadSectionValues("Optimize the system to the wrong handle"),
                (std::vector<std::string>{"F1=\"\"", "F2=\" 200 \"", "F3=\"\"1000\"\""}));
    }
    SpeedItemUnit::ApplySpeedItem(c.Item);
    ExpectAll(c, true, "applied");
    EXPECT_EQ(SystemSpeedUnit::RestoreSpeedFile(file).Refused, 0) << "item " << c.Item;
    ExpectAll(c, false, "restored");
  }
}

// Files written before texts were kept whole restore as they always did: an empty key removes
// the value, and the profile functions' reading drops blanks and one pair of quotes around it.
TEST_F(TweakItems, OlderTextFilesRestoreAsBefore) {
  Plant(HKCU, kDesktop, "AutoEndTasks", Sz("1"));
  std::string old = WriteIni(
      "[Optimize the system to the wrong handle]\r\nF1=\r\nF2= 200 \r\nF3=\"1000\"\r\n"
      "[Quicken menu display speed]\r\nF1=  '250'\r\n"
      "[Optimization shutdown speed]\r\nF1=\"20000\r\n");
  EXPECT_EQ(SystemSpeedUnit::RestoreSpeedFile(old).Refused, 0);
  EXPECT_EQ(ValueAt(HKCU, kDesktop, "AutoEndTasks"), "absent");
  EXPECT_EQ(ValueAt(HKCU, kDesktop, "HungAppTimeout"), Describe(Sz("200")));
  EXPECT_EQ(ValueAt(HKCU, kDesktop, "WaitToKillAppTimeout"), Describe(Sz("1000")));
  EXPECT_EQ(ValueAt(HKCU, kDesktop, "MenuShowDelay"), Describe(Sz("250")));
  EXPECT_EQ(ValueAt(HKLM, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout"), Describe(Sz("\"20000")));
}

// Files without the mark read as the profile functions read them: an empty key is an absent value,
// quotes are only taken off, no type is named beside a value and one saved value stands for both
// roots of item 13. Marked files decode their quoted texts and write each type named.
TEST_F(TweakItems, OnlyMarkedFilesDecodeQuotedTextsAndNamedTypes) {
  const std::string sections =
      "[Quicken menu display speed]\r\nF1=\"\"\r\n"
      "[Optimization shutdown speed]\r\nF1=\"%25\"\r\n"
      "[Automatic Boot Disk Optimization]\r\nF1=Y\r\nF1Type=REG_EXPAND_SZ\r\n"
      "[Disable Tracking of Broken Shortcut Links]\r\nF1=3\r\n";
  const struct {
    const char* Name;
    const char* Prefix;
    TMaybeValue MenuShowDelay, Timeout, BootOptimize;
  } cases[] = {
      {"speedOld.ini", "", Absent, Sz("%25"), Sz("Y")},
      {"speedMarked.ini", "[Backup]\r\nFormat=2\r\n", Sz(""), Sz("%"), Ex("Y")},
  };
  for (const auto& c : cases) {
    Plant(HKCU, kDesktop, "MenuShowDelay", Sz("400"));
    Plant(HKCU, kPolicy, "NoResolveTrack", Absent);
    std::string written = temp.WriteFile(c.Name, c.Prefix + sections);
    SystemSpeedUnit::TSpeedRestore restored = SystemSpeedUnit::RestoreSpeedFile(written);
    EXPECT_TRUE(restored.NotRestored.empty());
    EXPECT_EQ(restored.Marked, *c.Prefix != '\0');
    EXPECT_EQ(ValueAt(HKCU, kDesktop, "MenuShowDelay"), Describe(c.MenuShowDelay)) << c.Prefix;
    EXPECT_EQ(ValueAt(HKLM, "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout"), Describe(c.Timeout));
    EXPECT_EQ(ValueAt(HKLM, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable"), Describe(c.BootOptimize));
    EXPECT_EQ(ValueAt(HKCU, kPolicy, "NoResolveTrack"), Describe(Dw(3))) << c.Prefix;
    EXPECT_EQ(ValueAt(HKLM, kPolicy, "NoResolveTrack"), Describe(Dw(3))) << c.Prefix;
  }
}

// A change refused in a restore names its item instead of the success, and the item's saved values
// stay in the file, so that another restore can still put them back.
TEST_F(TweakItems, RestoreNamesWhatDidNotComeBackAndKeepsItsValues) {
  Plant(HKCU, kDesktop, "MenuShowDelay", Sz("250"));
  Plant(HKLM, kOptimalLayout, "EnableAutoLayout", Dw(0));
  for (int item : {5, 7}) {
    SpeedItemUnit::BackupSpeedItem(item);
    SpeedItemUnit::ApplySpeedItem(item);
  }
  SpeedItemUnit::RefuseRegistryChange = [](HKEY, const std::string&, const std::string& value) {
    return value == "MenuShowDelay";
  };
  SystemSpeedUnit::TSpeedRestore restored = SystemSpeedUnit::RestoreSpeedFile(file);
  EXPECT_EQ(restored.NotRestored, std::vector<std::string>{"Quicken menu display speed"});
  EXPECT_EQ(ValueAt(HKCU, kDesktop, "MenuShowDelay"), Describe(Sz("400")));
  EXPECT_EQ(ValueAt(HKLM, kOptimalLayout, "EnableAutoLayout"), Describe(Dw(0)));
  EXPECT_EQ(TIniFile(file).ReadString("Quicken menu display speed", "F1", ""), "250");
  SpeedItemUnit::RefuseRegistryChange = nullptr;
  EXPECT_TRUE(SystemSpeedUnit::RestoreSpeedFile(file).NotRestored.empty());
  EXPECT_EQ(ValueAt(HKCU, kDesktop, "MenuShowDelay"), Describe(Sz("250")));
  // A value that was there cannot come back into a key, changed only when it exists, that has gone.
  DeleteFileW(Widen(file).c_str());
  Plant(HKLM, kBios, "PCIConcur", Dw(0));
  SpeedItemUnit::BackupSpeedItem(16);
  RegDeleteKeyW(HKLM, Widen(kBios).c_str());
  EXPECT_EQ(SystemSpeedUnit::RestoreSpeedFile(file).NotRestored,
            std::vector<std::string>{"System Board and Memory Optimizations"});
  EXPECT_FALSE(RegKeyExists(HKLM, kBios));
}

// A backup file that another program holds for a moment is neither read as empty nor written.
TEST_F(TweakItems, FileHeldByAnotherProgramIsNeitherReadAsEmptyNorWritten) {
  Plant(HKCU, kDesktop, "MenuShowDelay", Sz("250"));
  SpeedItemUnit::BackupSpeedItem(5);
  SpeedItemUnit::ApplySpeedItem(5);
  std::string saved = ReadFileBytes(file);
  {
    THeldFile held(file, 0, GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(held.Held());
    SystemSpeedUnit::TSpeedRestore restored = SystemSpeedUnit::RestoreSpeedFile(file);
    EXPECT_TRUE(restored.Unreadable);
    EXPECT_EQ(ValueAt(HKCU, kDesktop, "MenuShowDelay"), Describe(Sz("400")));
    const std::string unreadable = Format(SpeedItemUnit::UnreadableBackupText, file);
    EXPECT_THAT([&] { SpeedItemUnit::BackupSpeedItem(5); }, ThrowsMessage<EInOutError>(StrEq(unreadable)));
    EXPECT_THAT([&] { SystemSpeedUnit::BackupServiceState(file, "Spooler"); },
                ThrowsMessage<EInOutError>(StrEq(unreadable)));
    TIniFile ini(file);
    EXPECT_THAT([&] { SpeedItemUnit::UndoSpeedItem(5, ini); }, ThrowsMessage<EInOutError>(StrEq(unreadable)));
  }
  EXPECT_EQ(ReadFileBytes(file), saved);
  EXPECT_TRUE(SystemSpeedUnit::RestoreSpeedFile(file).NotRestored.empty());
  EXPECT_EQ(ValueAt(HKCU, kDesktop, "MenuShowDelay"), Describe(Sz("250")));
}

TEST_F(TweakItems, NetworkNameSpaceKeyIsRemovedOnlyWhenItWasAbsent) {
  Plant(HKLM, kNameSpace, "", Sz("existing"));
  RoundTrip(3);
  EXPECT_EQ(ValueAt(HKLM, kNameSpace, ""), Describe(Sz("existing")));
  // A file without the record leaves the key in place.
  SystemSpeedUnit::RestoreSpeedFile(WriteIni("[Optimize network speed]\r\nF1=1\r\nF2=384\r\nF3=64000\r\nF4=301\r\n"));
  EXPECT_TRUE(RegKeyExists(HKLM, kNameSpace));
  // Absent before the backup: the restore removes what the apply created.
  RegDeleteKeyW(HKLM, Widen(kNameSpace).c_str());
  DeleteFileW(Widen(file).c_str());
  SpeedItemUnit::BackupSpeedItem(3);
  SpeedItemUnit::ApplySpeedItem(3);
  EXPECT_TRUE(RegKeyExists(HKLM, kNameSpace));
  SystemSpeedUnit::RestoreSpeedFile(file);
  EXPECT_FALSE(RegKeyExists(HKLM, kNameSpace));
  EXPECT_FALSE(TIniFile(file).SectionExists("Optimize network speed"));   // F1..F5 consumed
}

TEST_F(TweakItems, OlderNumericFilesRestoreByTheirRules) {
  Plant(HKLM, kBios, "PCIConcur", Dw(1));
  std::string old = WriteIni(
      "[Unknown section]\r\nF1=5\r\n"
      "[Optimize Hard Disk When Idle]\r\nF1=0\r\n"
      "[System Board and Memory Optimizations]\r\nF1=7\r\n"
      "[Disable Recent File]\r\nF1=0\r\n");
  EXPECT_EQ(SystemSpeedUnit::RestoreSpeedFile(old).Refused, 0);
  EXPECT_EQ(ValueAt(HKLM, kOptimalLayout, "EnableAutoLayout"), Describe(Dw(0)));
  EXPECT_EQ(ValueAt(HKLM, kBios, "PCIConcur"), Describe(Dw(7)));
  EXPECT_EQ(ValueAt(HKLM, kBios, "FastDRAM"), Describe(Dw(0)));   // a missing key counts as 0
  EXPECT_EQ(ValueAt(HKCU, kPolicy, "ClearRecentDocsOnExit"), Describe(Dw(0)));
  TIniFile ini(old);
  EXPECT_FALSE(ini.SectionExists("Optimize Hard Disk When Idle"));
  EXPECT_TRUE(ini.SectionExists("Disable Recent File"));   // read, not consumed
  EXPECT_TRUE(ini.SectionExists("Unknown section"));
}

TEST_F(TweakItems, ErrorsEndTheRunWithTheirMessagesAndOtherItemNumbersWriteNothing) {
  for (int item : {0, 30, -1}) {
    SpeedItemUnit::BackupSpeedItem(item);
    EXPECT_EQ(SpeedItemUnit::ApplySpeedItem(item), 0);
  }
  EXPECT_FALSE(FileExists(file));
  Plant(HKCU, kDesktop, "MenuShowDelay", Dw(400));
  EXPECT_THAT([&] { SpeedItemUnit::BackupSpeedItem(5); },
              ThrowsMessage<ERegistryException>(StrEq("Invalid data type for 'MenuShowDelay'")));
  EXPECT_FALSE(FileExists(file));
  // A number that is none: its item is named as not restored and left alone, the others are restored.
  std::string old = WriteIni(
      "[Optimize network speed]\r\nF1=abc\r\nF2=1\r\nF3=1\r\nF4=1\r\n"
      "[Machine speed is opened in the optimization]\r\nF1=2\r\nF2=0\r\n"
      "[Optimize Hard Disk When Idle]\r\nF1=5\r\n");
  SystemSpeedUnit::TSpeedRestore restored = SystemSpeedUnit::RestoreSpeedFile(old);
  EXPECT_EQ(restored.NotRestored,
            std::vector<std::string>{"Optimize network speed: 'abc' is not a valid integer value"});
  EXPECT_EQ(ValueAt(HKLM, kPrefetch, "EnablePrefetcher"), Describe(Dw(2)));
  EXPECT_EQ(ValueAt(HKLM, kOptimalLayout, "EnableAutoLayout"), Describe(Dw(5)));
  EXPECT_EQ(ValueAt(HKLM, kDns, "CacheHashTableBucketSize"), "absent");
  EXPECT_EQ(TIniFile(old).ReadString("Optimize network speed", "F1", ""), "abc");
  // A backup into a missing folder fails with the ini error.
  SpeedItemUnit::SpeedBackupFile = temp.Path() + "missing\\speedRestore.ini";
  Plant(HKCU, kDesktop, "MenuShowDelay", Sz("400"));
  EXPECT_THAT([&] { SpeedItemUnit::BackupSpeedItem(5); },
              ThrowsMessage<EIniFileException>(StrEq("Unable to write to " + SpeedItemUnit::SpeedBackupFile)));
}

TEST_F(TweakItems, RefusedWritesAreCountedAndExistingOnlyKeysAreNoFailure) {
  SpeedItemUnit::RefuseRegistryChange = [](HKEY, const std::string&, const std::string& value) {
    return value == "MenuShowDelay";
  };
  EXPECT_EQ(SpeedItemUnit::ApplySpeedItem(5), 1);
  SpeedItemUnit::RefuseRegistryChange = nullptr;
  RegDeleteKeyW(HKLM, Widen(kBios).c_str());
  EXPECT_EQ(SpeedItemUnit::ApplySpeedItem(16), 0);
  EXPECT_FALSE(RegKeyExists(HKLM, kBios));
}

// Restores malformed variants of a real backup file with every registry and service change
// refused: only conversion and type errors may end a restore, and nothing is written.
TEST_F(TweakItems, FuzzedBackupFilesNeverCrashTheRestore) {
  Plant(HKCU, kDesktop, "MenuShowDelay", Sz("250"));
  Plant(HKCU, kDesktop, "AutoEndTasks", Sz(""));                   // saved quoted
  Plant(HKCU, kDesktop, "HungAppTimeout", Sz(" 2%0\r0\n \"'"));
  for (int item = 1; item <= SpeedItemUnit::SpeedItemCount; ++item) SpeedItemUnit::BackupSpeedItem(item);
  // A marked file as written now, and one of an earlier version (8-bit, no mark, a service saved).
  testing_support::TFuzzInputs inputs(
      {ReadFileBytes(file),
       "[Disable Tracking of Broken Shortcut Links]\r\nF1=3\r\n[Optimize the system to the wrong handle]\r\n"
       "F1=\"\"\r\nF2=\"%25\"\r\nF2Type=REG_EXPAND_SZ\r\nF3= 1 \r\n[Service Spooler]\r\nStart=4\r\nRunning=0\r\n",
       // a file of a 64-bit system: values of the 64-bit view beside the program's own
       "[Backup]\r\nFormat=2\r\n[Force Windows to Unload DLLs from Memory]\r\nF1=0\r\nF1_64=\"%25\"\r\n"
       "F1_64Type=REG_EXPAND_SZ\r\n[Optimize network speed]\r\nF1=1\r\nF2=2\r\nF3=3\r\nF4=4\r\nF5=1\r\nF5_64=0\r\n"
       "[Optimize AVI Media Files]\r\nF1=\r\nF1_64=\r\n"});
  int writes = 0;
  testing_support::TKeep<SpeedItemUnit::TRegistryRefusal> refuse(
      SpeedItemUnit::RefuseRegistryChange, [&](HKEY, const std::string&, const std::string&) { return ++writes, true; });
  testing_support::TKeep<std::function<bool(const std::string&)>> refuseServices(
      UnitServicesOptimize::RefuseServiceChange, [](const std::string&) { return true; });
  std::string fuzz = temp.Path() + "speedFuzz.ini";
  for (int round = 0; round < 150; ++round) {
    ASSERT_TRUE(testing_support::WriteInput(fuzz, inputs.Next()));
    try {
      SystemSpeedUnit::RestoreSpeedFile(fuzz);
    } catch (const EConvertError&) {
    } catch (const ERegistryException&) {
    }
  }
  EXPECT_EQ(ValueAt(HKCU, kDesktop, "MenuShowDelay"), Describe(Sz("250")));
  EXPECT_GT(writes, 0);
}

// ---- 64-bit Windows ----
// Run in the 64-bit prefix (ctest -L win64): this 32-bit program's HKLM\SOFTWARE and classes are
// the 32-bit view there, which the system and 64-bit programs never read.

const REGSAM kNative = KEY_WOW64_64KEY;

// A value of an item before its apply in this program's own view and in the 64-bit view, and
// after the apply (in both).
struct TViewCase {
  int Item;
  HKEY Root;
  std::string Key;
  const char* Name;
  TMaybeValue Own, Native, Applied;
};
const std::vector<TViewCase> kBothViews = {
    {1, HKLM, kExplorer, "AlwaysUnloadDLL", Sz("0"), Absent, Sz("1")},
    {7, HKLM, kOptimalLayout, "EnableAutoLayout", Dw(0), Dw(3), Dw(1)},
    {8, HKLM, "SOFTWARE\\Microsoft\\Dfrg\\BootOptimizeFunction", "Enable", Absent, Sz("Y"), Sz("N")},
    {10, HKLM, std::string(kExplorer) + "\\AlwaysUnloadDLL", "", Sz("0"), Ex("%SystemRoot%"), Sz("1")},
    {17, HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache", Absent, Dw(7), Dw(1)},
    {21, HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Advanced", "StartMenuScrollPrograms", Sz("true"),
     Absent, Sz("false")},
    {24, HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "MaxConnectionsPerServer", Dw(2), Dw(4),
     Dw(5)},
    {25, HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "AllocateFloppies", Sz("0"), Sz("2"), Sz("1")},
};

struct TweakItemsBothViews : TweakItems {
  void SetUp() override {
    if (!HasSeparate64BitView()) GTEST_SKIP() << "one registry view on a 32-bit system; see ctest -L win64";
  }
  static std::string Views(const TViewCase& c) {
    return ValueAt(c.Root, c.Key, c.Name) + " | " + ValueAt(c.Root, c.Key, c.Name, kNative);
  }
};

// The system reads the 64-bit view: an item is applied there as in this program's own view, each
// view's value is saved on its own, and the restore puts each back where it was.
TEST_F(TweakItemsBothViews, ItemsAreAppliedSavedAndRestoredInBothViews) {
  for (const TViewCase& c : kBothViews) {
    DeleteFileW(Widen(file).c_str());
    Plant(c.Root, c.Key, c.Name, c.Own);
    Plant(c.Root, c.Key, c.Name, c.Native, kNative);
    const std::string before = Describe(c.Own) + " | " + Describe(c.Native);
    ASSERT_EQ(Views(c), before) << "item " << c.Item;
    SpeedItemUnit::BackupSpeedItem(c.Item);
    EXPECT_EQ(Views(c), before) << "item " << c.Item;
    const std::string native = c.Item == 1 ? "F2_64" : "F1_64";   // item 1 saves the prefetcher first
    EXPECT_TRUE(TIniFile(file).ValueExists(SpeedItemUnit::SpeedSectionName(c.Item), native)) << "item " << c.Item;
    EXPECT_EQ(SpeedItemUnit::ApplySpeedItem(c.Item), 0) << "item " << c.Item;
    EXPECT_EQ(Views(c), Describe(c.Applied) + " | " + Describe(c.Applied)) << "item " << c.Item;
    SystemSpeedUnit::TSpeedRestore restored = SystemSpeedUnit::RestoreSpeedFile(file);
    EXPECT_EQ(restored.Refused, 0) << "item " << c.Item;
    EXPECT_TRUE(restored.NotRestored.empty()) << "item " << c.Item;
    EXPECT_EQ(Views(c), before) << "item " << c.Item;
  }
  EXPECT_EQ(TIniFile(file).ReadSectionValues("Disable Net Access To Floppy"),
            (std::vector<std::string>{"F1=0", "F1_64=2"}));
  DeleteFileW(Widen(file).c_str());
  const TViewCase& unload = kBothViews[3];
  Plant(unload.Root, unload.Key, unload.Name, unload.Native, kNative);
  SpeedItemUnit::BackupSpeedItem(10);
  EXPECT_EQ(TIniFile(file).ReadSectionValues("Force Windows to Unload DLLs from Memory"),
            (std::vector<std::string>{"F1=0", "F1_64=%SystemRoot%", "F1_64Type=REG_EXPAND_SZ"}));
}

// The AVI key and the network name space key come and go in each view as they were there.
TEST_F(TweakItemsBothViews, KeysTheApplyCreatesGoAgainOnlyInTheViewWhereTheyWereAbsent) {
  for (REGSAM had : {REGSAM(0), kNative}) {
    REGSAM other = had == 0 ? kNative : 0;
    DeleteFileW(Widen(file).c_str());
    for (REGSAM view : {REGSAM(0), kNative}) DeleteTreeIn(HKEY_CLASSES_ROOT, kAvi, view), DeleteTreeIn(HKLM, kNameSpace, view);
    Plant(HKLM, kNameSpace, "", Sz("existing"), had);
    Plant(HKEY_CLASSES_ROOT, kAvi, "ThreadingModel", Sz("Both"), had);
    for (int item : {3, 17}) {
      SpeedItemUnit::BackupSpeedItem(item);
      EXPECT_EQ(SpeedItemUnit::ApplySpeedItem(item), 0);
    }
    for (REGSAM view : {REGSAM(0), kNative}) {
      EXPECT_TRUE(KeyIn(HKLM, kNameSpace, view)) << view;
      EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache", view), Describe(Dw(1))) << view;
    }
    EXPECT_TRUE(SystemSpeedUnit::RestoreSpeedFile(file).NotRestored.empty());
    EXPECT_EQ(ValueAt(HKLM, kNameSpace, "", had), Describe(Sz("existing"))) << had;
    EXPECT_FALSE(KeyIn(HKLM, kNameSpace, other)) << had;
    EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "ThreadingModel", had), Describe(Sz("Both"))) << had;
    EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache", had), "absent") << had;
    EXPECT_FALSE(KeyIn(HKEY_CLASSES_ROOT, kAvi, other)) << had;
    EXPECT_FALSE(TIniFile(file).SectionExists("Optimize network speed"));   // F5 and F5_64 consumed
  }
}

// Files written on a 32-bit system, or before the 64-bit view was kept, put back this program's
// own view alone, as they always did.
TEST_F(TweakItemsBothViews, FilesWithoutTheSecondViewRestoreTheOwnViewAsBefore) {
  const std::string key = std::string(kExplorer) + "\\AlwaysUnloadDLL";
  for (const char* mark : {"", "[Backup]\r\nFormat=2\r\n"}) {
    Plant(HKLM, key, "", Sz("1"));
    Plant(HKLM, key, "", Sz("1"), kNative);
    Plant(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache", Dw(1));
    Plant(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache", Dw(1), kNative);
    std::string old = WriteIni(std::string(mark) +
                               "[Force Windows to Unload DLLs from Memory]\r\nF1=0\r\n[Optimize AVI Media Files]\r\nF1=\r\n");
    EXPECT_TRUE(SystemSpeedUnit::RestoreSpeedFile(old).NotRestored.empty()) << mark;
    EXPECT_EQ(ValueAt(HKLM, key, ""), Describe(Sz("0"))) << mark;
    EXPECT_EQ(ValueAt(HKLM, key, "", kNative), Describe(Sz("1"))) << mark;
    EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache"), "absent") << mark;
    EXPECT_EQ(ValueAt(HKEY_CLASSES_ROOT, kAvi, "LargeSystemCache", kNative), Describe(Dw(1))) << mark;
  }
}

}  // namespace
