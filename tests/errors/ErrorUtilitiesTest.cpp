// The error utilities (the list's checks, rows, ticks, repair and download) and the support
// mail (the SMTP dialogue, its safety and its failures).
#include <gtest/gtest.h>

#include <algorithm>

#include "app/DMUnit.h"
#include "framework/Application.h"
#include "framework/Endpoints.h"
#include "framework/Registry.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "LocalSmtpServer.h"
#include "scan/PublicFunctionUnit.h"
#include "support/Fuzz.h"
#include "support/HeldFile.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"
#include "tools/errors/UnitMail.h"
#include "tools/errors/UnitMailTls.h"
#include "tools/errors/UnitSystemError.h"

using namespace UnitSystemError;
using testing_support::MessageBoxes;
using testing_support::MessageTexts;
using testing_support::RegSandbox;
using testing_support::TempFolder;

namespace {

std::vector<std::string> Titles(const std::vector<TErrorRow>& rows) {
  std::vector<std::string> titles;
  for (const TErrorRow& row : rows) titles.push_back((row.Ticked ? "[x] " : "[ ] ") + row.Caption);
  return titles;
}

}  // namespace

TEST(ErrorList, OnlyWellFormedFixesOutsideStartupPlacesAreListed) {
  const std::string hkcu = "HKEY_CURRENT_USER\\Software\\X";
  struct TCase {
    std::string Line;
    bool Listed;
  } cases[] = {
      {"A)" + hkcu + "||V#5$1@0##Fix A", true},
      {"A)" + hkcu + "||V#-5$1@0,W#text, with #$1@1##Fix, with # $ @ and ,", false},   // data with ","
      {"A)" + hkcu + "||V#4294967295$1@0,W#$2@1,#x$1@1##ok", true},
      {"A)" + hkcu + "||V#5$1@0##costs $1@1, more", true},   // the description yields no operation
      {"A)" + hkcu + "||V#abc$1@0##not a number", false},
      {"A)" + hkcu + "||V#4294967296$1@0##too large", false},
      {"A)" + hkcu + "||V#0x10$1@0##not decimal", false},
      {"A)" + hkcu + "||V#5$3@0##unknown action", false},
      {"A)" + hkcu + "||V#5$1@2##unknown type", false},
      {"A)" + hkcu + "||V5$1@0##no #", false},
      {"A)" + hkcu + "||V#5$1@0,##empty piece", false},
      {"A)hkey_current_user\\Software\\X||V#5$1@0##root case", false},
      {"A)HKEY_CURRENT_USER||V#5$1@0##no subkey", false},
      {"A)HKEY_CURRENT_USER\\Soft\tware||V#5$1@0##control character", false},
      {"no parenthesis HKEY_CURRENT_USER\\Software||V#5$1@0", false},
      {"A)" + hkcu + "##no operations", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run||V#x$1@1", false},
      {"R)HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run||V#x$2@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon||Shell#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\a.exe||Debugger#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows||AppInit_DLLs#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\x||ImagePath#x$1@1", false},
      {"R)HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command||#x$1@1", false},
      {"R)HKEY_CLASSES_ROOT\\CLSID\\{0}\\InprocServer32||#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\x||StubPath#x$1@1", false},
      {"R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad||x#y$1@1", false},
      {"I)HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main||Start Page#about:blank$1@1##ok", true},
  };
  for (const TCase& c : cases) {
    UnitErrorList::TContent content;
    std::vector<TRegOp> ops;
    EXPECT_EQ(ParseErrorLine(c.Line, content, ops), c.Listed) << c.Line;
  }
  UnitErrorList::TContent content;
  std::vector<TRegOp> ops;
  ASSERT_TRUE(ParseErrorLine("A)" + hkcu + "||V#5$1@0,W#text$1@1,Z#$2@0##Fix A, B#c", content, ops));
  EXPECT_EQ(content.Title + "|" + content.KeyPath + "|" + Narrow(content.Description), "A|" + hkcu + "|Fix A, B#c");
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[1].ValueName + "|" + ops[1].Data + Format("|%d|%d", ops[1].Action, ops[1].Type), "W|text|1|1");
  EXPECT_EQ(SplitString("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
}

namespace {

// A line of the list that writes the value under the key.
std::string FixLine(const std::string& keyPath, const std::string& value) {
  return "T)" + keyPath + "||" + value + "#1$1@1##fix";
}

bool Listed(const std::string& keyPath, const std::string& value) {
  UnitErrorList::TContent content;
  std::vector<TRegOp> ops;
  return ParseErrorLine(FixLine(keyPath, value), content, ops);
}

// The key path as the list might write it: each "\" after the root doubled in turn, a trailing
// "\", and the names in lower case (the root's name keeps its case).
std::vector<std::string> Spellings(const std::string& keyPath) {
  std::vector<std::string> spellings = {keyPath, keyPath + "\\"};
  size_t root = keyPath.find('\\');
  for (size_t i = keyPath.find('\\'); i != std::string::npos; i = keyPath.find('\\', i + 1))
    spellings.push_back(keyPath.substr(0, i) + "\\" + keyPath.substr(i));
  spellings.push_back(keyPath.substr(0, root) + AnsiLowerCase(keyPath.substr(root)));
  return spellings;
}

}  // namespace

TEST(ErrorList, NoFixIsListedForAPlaceThatStartsProgramsOrLoadsCode) {
  const std::string cu = "HKEY_CURRENT_USER\\", lm = "HKEY_LOCAL_MACHINE\\", cr = "HKEY_CLASSES_ROOT\\",
                    us = "HKEY_USERS\\S-1-5-21-1-2-3-1000\\", df = "HKEY_USERS\\.DEFAULT\\",
                    win = "Software\\Microsoft\\Windows\\CurrentVersion\\",
                    nt = "Software\\Microsoft\\Windows NT\\CurrentVersion\\", ccs = "SYSTEM\\CurrentControlSet\\",
                    ie = "Software\\Microsoft\\Internet Explorer\\";
  struct TCase {
    std::string Key, Value;
  } denied[] = {
      // logon
      {cu + win + "Run", "x"},
      {lm + win + "Run", "x"},
      {lm + "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "x"},
      {us + win + "RunOnce", "x"},
      {lm + win + "RunOnceEx\\0001", "x"},
      {lm + win + "RunServices", "x"},
      {cu + win + "RunServicesOnce", "x"},
      {cu + win + "Policies\\Explorer\\Run", "x"},
      {lm + win + "Policies\\Explorer\\Run", "x"},
      {lm + nt + "Terminal Server\\Install\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "x"},
      {lm + nt + "Winlogon", "Shell"},
      {lm + nt + "Winlogon", "Userinit"},
      {lm + nt + "Winlogon", "Taskman"},
      {lm + nt + "Winlogon", "GinaDLL"},
      {lm + nt + "Winlogon\\Notify\\x", "DLLName"},
      {cu + nt + "Winlogon", "Shell"},
      {cu + nt + "Windows", "load"},
      {cu + nt + "Windows", "run"},
      {lm + nt + "Windows", "AppInit_DLLs"},
      {lm + "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "LoadAppInit_DLLs"},
      {cu + "Software\\Microsoft\\Command Processor", "AutoRun"},
      {lm + "SOFTWARE\\Microsoft\\Command Processor", "AutoRun"},
      {cu + win + "Explorer\\Shell Folders", "Startup"},
      {lm + win + "Explorer\\Shell Folders", "Common Startup"},
      {cu + win + "Explorer\\User Shell Folders", "Startup"},
      {lm + win + "Explorer\\User Shell Folders", "Common Startup"},
      {cu + win + "Policies\\System", "Shell"},
      {lm + win + "Policies\\System", "Scripts"},
      {lm + "SOFTWARE\\Policies\\Microsoft\\Windows\\System\\Scripts\\Startup\\0\\0", "Script"},
      {cu + win + "Group Policy\\Scripts\\Logon\\0\\0", "Script"},
      {lm + "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{X}", "StubPath"},
      {lm + win + "Authentication\\Credential Providers\\{X}", ""},
      {cu + "Control Panel\\Desktop", "SCRNSAVE.EXE"},
      {df + "Control Panel\\Desktop", "scrnsave.exe"},
      {cu + "Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop", "SCRNSAVE.EXE"},
      {cu + "Environment", "Path"},
      {cu + "Environment", "PATHEXT"},
      {cu + "Environment", "ComSpec"},
      {cu + "Environment", "UserInitMprLogonScript"},
      {lm + ccs + "Control\\Session Manager\\Environment", "Path"},
      {lm + nt + "IniFileMapping\\win.ini\\Windows", "Load"},
      {lm + nt + "Schedule\\TaskCache\\Tasks\\{X}", "Actions"},
      // the shell and the browser
      {lm + win + "Explorer\\ShellIconOverlayIdentifiers\\ x", ""},
      {lm + win + "Explorer\\ShellExecuteHooks", "{X}"},
      {lm + win + "Explorer\\SharedTaskScheduler", "{X}"},
      {lm + win + "Explorer\\ShellServiceObjects\\{X}", "AutoStart"},
      {lm + win + "ShellServiceObjectDelayLoad", "x"},
      {lm + win + "Shell Extensions\\Approved", "{X}"},
      {cu + win + "Shell Extensions\\Approved", "{X}"},
      {lm + win + "Explorer\\Desktop\\NameSpace\\{X}", ""},
      {cr + "*\\shellex\\ContextMenuHandlers\\x", ""},
      {cr + "Directory\\shellex\\DragDropHandlers\\x", ""},
      {cu + "Software\\Classes\\Folder\\shellex\\ColumnHandlers\\{X}", ""},
      {cr + "exefile\\shell\\open\\command", ""},
      {cr + "txtfile\\shell\\print\\command", ""},
      {cu + "Software\\Classes\\ms-settings\\shell\\open\\command", "DelegateExecute"},
      {lm + "SOFTWARE\\Classes\\Directory\\shell\\cmd\\command", ""},
      {cr + "Folder\\shell\\open\\DropTarget", "CLSID"},
      {lm + win + "Explorer\\Browser Helper Objects\\{X}", ""},
      {lm + "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{X}", "Exec"},
      {cu + ie + "Extensions\\{X}", "Exec"},
      {lm + "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", "{X}"},
      {cu + ie + "Toolbar\\WebBrowser", "{X}"},
      {cu + ie + "URLSearchHooks", "{X}"},
      {lm + "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\{X}", ""},
      {cr + "PROTOCOLS\\Handler\\x", "CLSID"},
      {cr + "PROTOCOLS\\Filter\\text/html", "CLSID"},
      {cu + "Software\\Microsoft\\Office\\Word\\Addins\\x", "LoadBehavior"},
      {cu + "Software\\Microsoft\\Office\\16.0\\Outlook\\Addins\\x", "LoadBehavior"},
      // classes
      {cr + "CLSID\\{X}\\InprocServer32", ""},
      {cr + "CLSID\\{X}\\InprocServer32", "ThreadingModel"},
      {cr + "CLSID\\{X}\\InprocServer", ""},
      {cr + "CLSID\\{X}\\InprocHandler32", ""},
      {cr + "CLSID\\{X}\\LocalServer32", ""},
      {cr + "CLSID\\{X}\\LocalServer", ""},
      {cr + "CLSID\\{X}\\TreatAs", ""},
      {cr + "CLSID\\{X}\\AutoTreatAs", ""},
      {cr + "CLSID\\{X}", "AppID"},
      {cu + "Software\\Classes\\CLSID\\{X}\\InprocServer32", ""},
      {lm + "SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{X}\\LocalServer32", ""},
      {cr + "Some.Program\\CLSID", ""},
      {cr + "AppID\\{X}", "DllSurrogate"},
      // services, drivers and the system's own processes
      {lm + ccs + "Services\\EventLog", "ImagePath"},
      {lm + "SYSTEM\\ControlSet001\\Services\\x", "ImagePath"},
      {lm + ccs + "Services\\x\\Parameters", "ServiceDll"},
      {lm + ccs + "Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries\\000000000001", "PackedCatalogItem"},
      {lm + ccs + "Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_Entries\\000000000001", "LibraryPath"},
      {lm + ccs + "Services\\x\\NetworkProvider", "ProviderPath"},
      {"HKEY_CURRENT_CONFIG\\System\\CurrentControlSet\\Services\\x", "Start"},
      {lm + ccs + "Control\\Session Manager", "BootExecute"},
      {lm + ccs + "Control\\Session Manager\\KnownDLLs", "x"},
      {lm + ccs + "Control\\Session Manager\\AppCertDlls", "x"},
      {lm + ccs + "Control\\Print\\Monitors\\x", "Driver"},
      {lm + ccs + "Control\\Lsa", "Authentication Packages"},
      {lm + ccs + "Control\\Lsa", "Notification Packages"},
      {lm + ccs + "Control\\Lsa\\OSConfig", "Security Packages"},
      {lm + ccs + "Control\\SecurityProviders", "SecurityProviders"},
      {lm + ccs + "Control\\NetworkProvider\\Order", "ProviderOrder"},
      {lm + ccs + "Control\\SafeBoot", "AlternateShell"},
      {lm + ccs + "Control\\Terminal Server\\Wds\\rdpwd", "StartupPrograms"},
      {lm + ccs + "Control\\BootVerificationProgram", "ImagePath"},
      {lm + "SYSTEM\\Setup", "CmdLine"},
      {lm + nt + "Image File Execution Options\\notepad.exe", "Debugger"},
      {lm + nt + "SilentProcessExit\\notepad.exe", "MonitorProcess"},
      {lm + nt + "AeDebug", "Debugger"},
      {lm + "SOFTWARE\\Microsoft\\.NETFramework", "DbgManagedDebugger"},
      {lm + nt + "Drivers32", "vidc.x"},
      {lm + nt + "Font Drivers", "x"},
      {lm + nt + "Svchost", "netsvcs"},
      // a letter whose upper case is a plain one
      {cu + "Software\\Microsoft\\Windows NT\\CurrentVersion\\W\xC4\xB1nlogon", "Shell"},
  };
  for (const TCase& c : denied)
    for (const std::string& spelling : Spellings(c.Key)) {
      EXPECT_FALSE(Listed(spelling, c.Value)) << spelling << " | " << c.Value;
      EXPECT_FALSE(Listed(spelling, AnsiLowerCase(c.Value))) << spelling << " | " << c.Value;
    }

  // Names and paths longer than the registry takes: the system would cut them short.
  std::string longest = cu + "Software\\Z", e = "\xC3\xA9";   // e: one character, two bytes
  while (longest.size() + 1 < 32767) longest += "\\" + std::string(std::min<size_t>(255, 32767 - longest.size() - 1), 'n');
  auto repeat = [](const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
  };
  for (const std::string& tooLong : {cu + "Software\\" + std::string(256, 'n'), cu + "Software\\" + repeat(e, 256),
                                     longest + "n", longest + "\\n"})
    EXPECT_FALSE(Listed(tooLong, "x")) << tooLong.size();

  // Neighbours of those places stay fixable, however the path is spelt.
  TCase allowed[] = {
      {cu + ie + "Main", "Start Page"},
      {cu + "Control Panel\\Desktop", "MenuShowDelay"},
      {cu + "Environment", "TEMP"},
      {cu + "Software\\Microsoft\\Command Processor", "CompletionChar"},
      {cu + "Software\\Vendor\\Run", "x"},
      {lm + win + "Explorer\\Advanced", "Hidden"},
      {lm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner"},
      {cr + ".txt", "Content Type"},
      {lm + ccs + "Control\\FileSystem", "NtfsDisable8dot3NameCreation"},
      {cu + "Software\\" + std::string(255, 'n'), "x"},
      {cu + "Software\\" + repeat(e, 255), "x"},
      {longest, "x"},
  };
  for (const TCase& c : allowed)
    for (const std::string& spelling : Spellings(c.Key))
      EXPECT_TRUE(Listed(spelling, c.Value)) << spelling.substr(0, 200) << " | " << c.Value;
}

namespace {

const std::string kCu = "HKEY_CURRENT_USER\\", kLm = "HKEY_LOCAL_MACHINE\\", kUser = "HKEY_USERS\\S-1-5-21-1-2-3-1000";

// A place under Software as either root, a user's hive, the 32-bit view and the policy keys spell it.
std::vector<std::string> SoftwareViews(const std::string& place) {
  return {kCu + "Software\\" + place,           kLm + "SOFTWARE\\" + place,
          kUser + "\\Software\\" + place,       kLm + "SOFTWARE\\Wow6432Node\\" + place,
          kCu + "Software\\Policies\\" + place, kLm + "SOFTWARE\\Policies\\" + place};
}
// A class in the merged classes, the classes of either root, a user's classes hive and the 32-bit view.
std::vector<std::string> ClassViews(const std::string& place) {
  return {"HKEY_CLASSES_ROOT\\" + place,          kCu + "Software\\Classes\\" + place,
          kLm + "SOFTWARE\\Classes\\" + place,       kUser + "_Classes\\" + place,
          kLm + "SOFTWARE\\Classes\\Wow6432Node\\" + place, kLm + "SOFTWARE\\Wow6432Node\\Classes\\" + place};
}
// A place of the system's control sets: the current one, numbered ones and the current configuration's.
std::vector<std::string> SystemViews(const std::string& place) {
  return {kLm + "SYSTEM\\CurrentControlSet\\" + place, kLm + "SYSTEM\\ControlSet001\\" + place,
          kLm + "SYSTEM\\ControlSet002\\" + place, "HKEY_CURRENT_CONFIG\\System\\CurrentControlSet\\" + place};
}

struct TPlace {
  std::vector<std::string> Keys;
  std::string Value;
};

// Whether a fix of each place's value is listed, in every spelling of its keys (a denied value
// also in lower case).
void ExpectListed(const std::vector<TPlace>& places, bool listed) {
  for (const TPlace& place : places)
    for (const std::string& key : place.Keys)
      for (const std::string& spelling : Spellings(key)) {
        EXPECT_EQ(Listed(spelling, place.Value), listed) << spelling << " | " << place.Value;
        if (!listed) {
          EXPECT_FALSE(Listed(spelling, AnsiLowerCase(place.Value))) << spelling << " | " << place.Value;
        }
      }
}

}  // namespace

TEST(ErrorList, ProgramAssociationsAndEveryOtherPlaceThatLoadsCodeAreDeniedInEverySpelling) {
  const std::string win = "Microsoft\\Windows\\CurrentVersion\\", nt = "Microsoft\\Windows NT\\CurrentVersion\\",
                    ie = "Microsoft\\Internet Explorer\\", settings = win + "Internet Settings\\";
  std::vector<TPlace> denied;
  for (const char* type : {".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".lnk", ".vbs", ".js", ".vbe", ".jse", ".wsf",
                           ".wsh", ".hta", ".cpl", ".msi", ".msc", ".ps1", ".reg", ".inf", ".scf"}) {
    denied.push_back({ClassViews(type), ""});
    denied.push_back({SoftwareViews(win + "Explorer\\FileExts\\" + type + "\\UserChoice"), "ProgId"});
  }
  for (const char* type : {"exefile", "comfile", "batfile", "cmdfile", "piffile", "scrfile", "lnkfile", "VBSFile", "JSFile",
                           "VBEFile", "JSEFile", "WSFFile", "WSHFile", "htafile", "cplfile", "Msi.Package", "MSCFile",
                           "Microsoft.PowerShellScript.1", "regfile", "inffile", "SHCmdFile"}) {
    denied.push_back({ClassViews(std::string(type) + "\\shell"), ""});
    denied.push_back({ClassViews(std::string(type) + "\\shell\\open"), "x"});
  }
  const std::vector<TPlace> places = {
      {SoftwareViews("Microsoft\\Office test\\Special\\Perf"), ""},
      {SoftwareViews("Microsoft\\NetSh"), "x"},
      {SoftwareViews(nt + "AppCompatFlags\\InstalledSDB\\{X}"), "DatabasePath"},
      {SoftwareViews(nt + "AppCompatFlags\\Custom\\x.exe"), "{X}.sdb"},
      {SoftwareViews("Microsoft\\Cryptography\\OID\\EncodingType 0\\CryptSIPDllVerifyIndirectData\\{X}"), "Dll"},
      {SoftwareViews("Microsoft\\Cryptography\\Providers\\Trust\\FinalPolicy\\{X}"), "$DLL"},
      {SoftwareViews("Microsoft\\Cryptography\\Defaults\\Provider\\x"), "Image Path"},
      {SoftwareViews("Microsoft\\Windows\\Windows Error Reporting\\Hangs"), "Debugger"},
      {SoftwareViews("Microsoft\\Windows\\Windows Error Reporting\\RuntimeExceptionHelperModules"), "x.dll"},
      {SystemViews("Control\\Keyboard Layouts\\00000409"), "Layout File"},
      {SystemViews("Control\\Class\\{4D36E967-E325-11CE-BFC1-08002BE10318}"), "UpperFilters"},
      {SystemViews("Control\\Class\\{4D36E967-E325-11CE-BFC1-08002BE10318}"), "LowerFilters"},
      {SystemViews("Control\\Class\\{4D36E967-E325-11CE-BFC1-08002BE10318}\\0000"), "CoInstallers32"},
      {SystemViews("Control\\CoDeviceInstallers"), "{X}"},
      {SystemViews("Enum\\USB\\VID_0000\\1"), "LowerFilters"},
      {SystemViews("Control\\LsaExtensionConfig\\LsaSrv"), "Extensions"},
      {SystemViews("Control\\WOW"), "cmdline"},
      {SystemViews("Control\\ContentIndex\\Language\\English_US"), "WBDLLPathOverride"},
      {SoftwareViews(nt + "AeDebugProtected"), "Debugger"},
      {SoftwareViews("Microsoft\\Office\\16.0\\Excel\\Options"), "OPEN1"},
      {SoftwareViews("Microsoft\\Office\\16.0\\Outlook\\WebView\\Inbox"), "URL"},
      {SoftwareViews("Microsoft\\Office\\16.0\\Outlook\\Today"), "URL"},
      {SoftwareViews(settings + "Zones\\3"), "1200"},
      {SoftwareViews(settings + "Lockdown_Zones\\3"), "1200"},
      {SoftwareViews(settings + "ZoneMap\\Domains\\example.invalid"), "http"},
      {SoftwareViews(ie + "ActiveX Compatibility\\{X}"), "Compatibility Flags"},
      {SoftwareViews(ie + "MenuExt\\x"), ""},
      {SoftwareViews(ie + "Low Rights\\ElevationPolicy\\{X}"), "AppPath"},
      {SoftwareViews(ie + "Plugins\\Extension\\.x"), "Location"},
      {SoftwareViews(win + "Explorer\\StartupApproved\\Run"), "x"},
      {SoftwareViews(nt + "Accessibility\\ATs\\x"), "StartExe"},
      {SoftwareViews("Microsoft\\Windows NT\\Terminal Services"), "InitialProgram"},
      {SoftwareViews(win + "App Paths\\x.exe"), ""},
      {SoftwareViews(win + "Uninstall\\x"), "UninstallString"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoDriveTypeAutoRun"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoDriveAutoRun"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoAutorun"},
      {SoftwareViews(win + "Explorer\\MountPoints2\\E\\Shell\\AutoRun\\command"), ""},
      {SoftwareViews(win + "Explorer\\AutoplayHandlers\\Handlers\\x"), "InvokeProgID"},
      {SoftwareViews(win + "Explorer\\MyComputer\\BackupPath"), ""},
      {SoftwareViews(win + "Policies\\Associations"), "LowRiskFileTypes"},
      {SoftwareViews(win + "Policies\\Attachments"), "SaveZoneInformation"},
      {SoftwareViews("Microsoft\\Windows\\Safer\\CodeIdentifiers"), "DefaultLevel"},
      {SoftwareViews("Microsoft\\Windows\\SrpV2\\Exe\\{X}"), "Value"},
      {SoftwareViews(win + "PropertySystem\\PropertyHandlers\\.x"), ""},
      {SoftwareViews(win + "Explorer\\FindExtensions\\Static\\x"), ""},
      {SoftwareViews(win + "Control Panel\\Cpls"), "x"},
      {SoftwareViews(win + "Control Panel\\Extended Properties\\{X}"), "x"},
      {SoftwareViews(win + "Shell Extensions\\Blocked"), "{X}"},
      {SoftwareViews("Microsoft\\CTF\\TIP\\{X}"), ""},
      {ClassViews("txtfile\\shell\\open\\ddeexec"), ""},
      {ClassViews("Folder\\shell\\x"), "ExplorerCommandHandler"},
      // a value denied under any key, here under a key no other place covers
      {SoftwareViews("ZvVendor\\Settings"), "AppInit_DLLs"},
      {SoftwareViews("ZvVendor\\Settings"), "LoadAppInit_DLLs"},
  };
  denied.insert(denied.end(), places.begin(), places.end());
  ExpectListed(denied, false);

  // Their neighbours stay fixable.
  const std::vector<TPlace> allowed = {
      {ClassViews(".txt"), "Content Type"},
      {ClassViews(".exe_backup"), ""},
      {ClassViews("txtfile\\shell"), ""},
      {SoftwareViews(settings.substr(0, settings.size() - 1)), "MaxConnectionsPerServer"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoDesktop"},
      {SoftwareViews("Microsoft\\Windows\\Windows Error Reporting"), "DontShowUI"},
      {SoftwareViews("Microsoft\\Cryptography"), "MachineGuid"},
      {SoftwareViews("ZvVendor\\Settings"), "AppInit"},
      {SystemViews("Control\\Keyboard Layout"), "Scancode Map"},
  };
  ExpectListed(allowed, true);
}

// The settings that switch protection off or send the machine's traffic elsewhere are denied as
// the places that start programs are; a harmless value under a key that also holds such settings
// stays a fix.
TEST(ErrorList, SettingsThatLowerProtectionOrRedirectTrafficAreDeniedInEverySpelling) {
  const std::string win = "Microsoft\\Windows\\CurrentVersion\\", nt = "Microsoft\\Windows NT\\CurrentVersion\\",
                    ie = "Microsoft\\Internet Explorer\\", settings = win + "Internet Settings",
                    defender = "Microsoft\\Windows Defender", office = "Microsoft\\Office\\16.0\\";
  const std::vector<TPlace> denied = {
      // the browser's proxy, and how it checks sites
      {SoftwareViews(settings), "ProxyServer"},
      {SoftwareViews(settings), "ProxyOverride"},
      {SoftwareViews(settings), "AutoConfigURL"},
      {SoftwareViews(settings), "AutoDetect"},
      {SoftwareViews(settings), "ProxyEnable"},
      {SoftwareViews(settings), "ProxySettingsPerUser"},
      {SoftwareViews(settings), "CertificateRevocation"},
      {SoftwareViews(settings), "WarnonBadCertRecving"},
      {SoftwareViews(settings), "WarnOnZoneCrossing"},
      {SoftwareViews(settings), "SecureProtocols"},
      {SoftwareViews(settings + "\\Connections"), "DefaultConnectionSettings"},
      {SoftwareViews(settings + "\\Connections"), "WinHttpSettings"},
      {SoftwareViews(settings + "\\Wpad"), "WpadOverride"},
      {SoftwareViews("Microsoft\\Windows NT\\DNSClient"), "NameServer"},
      {SystemViews("Services\\Tcpip\\Parameters"), "NameServer"},
      // the virus scanner
      {SoftwareViews(defender), "DisableAntiSpyware"},
      {SoftwareViews(defender + "\\Real-Time Protection"), "DisableRealtimeMonitoring"},
      {SoftwareViews(defender + "\\Real-Time Protection"), "DisableBehaviorMonitoring"},
      {SoftwareViews(defender + "\\Exclusions\\Paths"), "C:\\"},
      {SoftwareViews(defender + "\\Exclusions\\Processes"), "x.exe"},
      {SoftwareViews(defender + "\\Features"), "TamperProtection"},
      {SoftwareViews(defender + "\\Spynet"), "SubmitSamplesConsent"},
      {SoftwareViews("Microsoft\\Windows Defender Security Center\\Notifications"), "DisableNotifications"},
      {SoftwareViews("Microsoft\\Microsoft Antimalware\\Real-Time Protection"), "DisableRealtimeMonitoring"},
      {SystemViews("Services\\WinDefend"), "Start"},
      // the firewall
      {SoftwareViews("Microsoft\\WindowsFirewall"), "PolicyVersion"},
      {SoftwareViews("Microsoft\\WindowsFirewall\\DomainProfile"), "EnableFirewall"},
      {SoftwareViews("Microsoft\\WindowsFirewall\\StandardProfile\\AuthorizedApplications\\List"), "x.exe"},
      {SystemViews("Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile"), "EnableFirewall"},
      {SystemViews("Services\\SharedAccess\\Parameters\\FirewallPolicy\\PublicProfile"), "DisableNotifications"},
      {SystemViews("Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules"), "x"},
      // the screening of downloads and sites
      {SoftwareViews(win + "Explorer"), "SmartScreenEnabled"},
      {SoftwareViews("Microsoft\\Windows\\System"), "EnableSmartScreen"},
      {SoftwareViews("Microsoft\\Windows\\System"), "ShellSmartScreenLevel"},
      {SoftwareViews("Microsoft\\Edge"), "SmartScreenEnabled"},
      {SoftwareViews("Microsoft\\Edge"), "PreventSmartScreenPromptOverride"},
      {SoftwareViews("Microsoft\\Edge\\SmartScreenEnabled"), ""},
      {SoftwareViews("Microsoft\\MicrosoftEdge\\PhishingFilter"), "EnabledV9"},
      {SoftwareViews(ie + "PhishingFilter"), "EnabledV8"},
      {SoftwareViews(win + "AppHost"), "EnableWebContentEvaluation"},
      {SoftwareViews(ie + "Download"), "RunInvalidSignatures"},
      {SoftwareViews(ie + "Security"), "DisableSecuritySettingsCheck"},
      {SoftwareViews(ie + "Main\\FeatureControl\\FEATURE_LOCALMACHINE_LOCKDOWN"), "iexplore.exe"},
      // updates
      {SoftwareViews("Microsoft\\Windows\\WindowsUpdate"), "DisableWindowsUpdateAccess"},
      {SoftwareViews("Microsoft\\Windows\\WindowsUpdate\\AU"), "NoAutoUpdate"},
      {SoftwareViews(win + "WindowsUpdate\\Auto Update"), "AUOptions"},
      {SoftwareViews(win + "Policies\\WindowsUpdate"), "DisableWindowsUpdateAccess"},
      {SoftwareViews("Microsoft\\WindowsUpdate\\UX\\Settings"), "PauseUpdatesExpiryTime"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoWindowsUpdate"},
      {SystemViews("Services\\wuauserv"), "Start"},
      // the security centre's notices
      {SoftwareViews("Microsoft\\Security Center"), "AntiVirusDisableNotify"},
      {SoftwareViews("Microsoft\\Security Center"), "FirewallDisableNotify"},
      {SoftwareViews("Microsoft\\Security Center"), "UpdatesDisableNotify"},
      {SoftwareViews(win + "Policies\\Explorer"), "HideSCAHealth"},
      {SoftwareViews(win + "Notifications\\Settings\\Windows.SystemToast.SecurityAndMaintenance"), "Enabled"},
      // user account control, and the tools a user checks the machine with
      {SoftwareViews(win + "Policies\\System"), "EnableLUA"},
      {SoftwareViews(win + "Policies\\System"), "ConsentPromptBehaviorAdmin"},
      {SoftwareViews(win + "Policies\\System"), "PromptOnSecureDesktop"},
      {SoftwareViews(win + "Policies\\System"), "LocalAccountTokenFilterPolicy"},
      {SoftwareViews(win + "Policies\\System"), "DisableTaskMgr"},
      {SoftwareViews(win + "Policies\\System"), "DisableRegistryTools"},
      {SoftwareViews("Microsoft\\Windows\\System"), "DisableCMD"},
      {SoftwareViews("Microsoft\\MMC"), "RestrictToPermittedSnapins"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoFolderOptions"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoSecurityTab"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoControlPanel"},
      {SoftwareViews(win + "Policies\\Explorer"), "DisallowRun"},
      {SoftwareViews(win + "Policies\\Explorer\\DisallowRun"), "1"},
      {SoftwareViews(win + "Policies\\Explorer\\RestrictRun"), "1"},
      {SoftwareViews(win + "Explorer\\Advanced"), "HideFileExt"},
      {SoftwareViews(win + "Explorer\\Advanced\\Folder\\HideFileExt"), "CheckedValue"},
      // logon secrets
      {SystemViews("Control\\Lsa"), "LmCompatibilityLevel"},
      {SystemViews("Control\\Lsa"), "RunAsPPL"},
      {SystemViews("Control\\SecurityProviders\\WDigest"), "UseLogonCredential"},
      {SoftwareViews("Microsoft\\Windows\\CredentialsDelegation"), "AllowDefaultCredentials"},
      {SoftwareViews("Microsoft\\Windows\\LanmanWorkstation"), "AllowInsecureGuestAuth"},
      {SoftwareViews("Microsoft\\Windows\\NetworkProvider\\HardenedPaths"), "\\\\*\\SYSVOL"},
      // certificates and the trust given to code and scripts
      {SoftwareViews("Microsoft\\SystemCertificates\\ROOT\\Certificates\\0123"), "Blob"},
      {SoftwareViews("Microsoft\\SystemCertificates\\AuthRoot"), "DisableRootAutoUpdate"},
      {SoftwareViews("Microsoft\\EnterpriseCertificates\\Root\\Certificates\\0123"), "Blob"},
      {SoftwareViews(win + "WinTrust\\Trust Providers\\Software Publishing"), "State"},
      {SoftwareViews("Microsoft\\Cryptography\\Wintrust\\Config"), "EnableCertPaddingCheck"},
      {SoftwareViews("Microsoft\\Windows Script Host\\Settings"), "TrustPolicy"},
      {SoftwareViews("Microsoft\\PowerShell\\1\\ShellIds\\Microsoft.PowerShell"), "ExecutionPolicy"},
      {SoftwareViews("Microsoft\\Windows\\PowerShell"), "EnableScripts"},
      {SoftwareViews("Microsoft\\Windows\\Installer"), "AlwaysInstallElevated"},
      {SoftwareViews(office + "Word\\Security"), "VBAWarnings"},
      {SoftwareViews(office + "Excel\\Security\\Trusted Locations\\Location9"), "Path"},
      {SoftwareViews("Microsoft\\Office\\Common\\Security"), "DisableAllActiveX"},
      {SoftwareViews("Microsoft\\Windows\\DeviceGuard"), "EnableVirtualizationBasedSecurity"},
      {SystemViews("Control\\DeviceGuard\\Scenarios\\HypervisorEnforcedCodeIntegrity"), "Enabled"},
      {SystemViews("Control\\CI\\Config"), "VulnerableDriverBlocklistEnable"},
      {SoftwareViews(nt + "SystemRestore"), "DisableSR"},
      {SoftwareViews("Microsoft\\Windows NT\\SystemRestore"), "DisableConfig"},
      // remote access
      {SystemViews("Control\\Terminal Server"), "fDenyTSConnections"},
      {SystemViews("Control\\Remote Assistance"), "fAllowToGetHelp"},
      {SoftwareViews("Microsoft\\Windows NT\\Terminal Services"), "fAllowUnsolicited"},
      {SoftwareViews("Microsoft\\Windows\\WinRM\\Service"), "AllowUnencryptedTraffic"},
      {SoftwareViews(win + "WSMAN\\Service"), "allow_unencrypted"},
  };
  ExpectListed(denied, false);

  // Harmless values under the keys whose dangerous values alone are denied, and names that merely
  // begin like a denied one.
  const std::vector<TPlace> allowed = {
      {SoftwareViews(settings), "MaxConnectionsPer1_0Server"},
      {SoftwareViews(settings), "ProxyServerBackup"},
      {SoftwareViews(win + "Explorer"), "ShellState"},
      {SoftwareViews(win + "Explorer\\Advanced"), "TaskbarSmallIcons"},
      {SoftwareViews(win + "Policies\\Explorer"), "NoRecentDocsHistory"},
      {SoftwareViews("Microsoft\\Windows\\System"), "DisableLogonBackgroundImage"},
      {SoftwareViews("Microsoft\\Edge"), "ShowHomeButton"},
      {SoftwareViews(ie + "Main"), "Search Page"},
      {SoftwareViews(office + "Word\\Options"), "AutoSaveInterval"},
      {SoftwareViews("ZvVendor\\WindowsUpdater"), "x"},
      {SoftwareViews("ZvVendor\\Windows Defender Tools"), "x"},
  };
  ExpectListed(allowed, true);
}

// A line naming a great many values under a long key path is checked in time in step with its
// length: the key is judged once, each value once.
TEST(ErrorList, AMegabyteLineIsCheckedWhole) {
  std::string key = kCu + "Software\\Z";
  while (key.size() + 256 < 32000) key += "\\" + std::string(200, 'k');
  std::string operations;
  const int count = 120000;
  for (int i = 0; i < count; ++i) operations += (i ? "," : "") + std::string("V#1$1@0");
  UnitErrorList::TContent content;
  std::vector<TRegOp> ops;
  EXPECT_TRUE(ParseErrorLine("T)" + key + "||" + operations + "##long", content, ops));
  EXPECT_EQ(ops.size(), (size_t)count);
  EXPECT_FALSE(ParseErrorLine("T)" + key + "||" + operations + ",AppInit_DLLs#x$1@1##long", content, ops));
  EXPECT_FALSE(ParseErrorLine("T)" + key + "\\Windows NT\\CurrentVersion\\Winlogon||" + operations + "##long", content, ops));
}

TEST(ErrorList, MalformedListsNeitherCrashNorHangNorListAnythingUnchecked) {
  testing_support::TFuzzInputs inputs(
      {"A)HKEY_CURRENT_USER\\Software\\X||V#5$1@0,W#text$1@1,Z#$2@0##Fix A\r\nB)HKEY_CURRENT_USER\\Y||Q#1$1@0##B\r\n",
       "R)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run||V#x$1@1\r\n\r\n)||##\r\n",
       "S)HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\\\Services\\x\\||ImagePath#x$1@1##s\rC)HKEY_CLASSES_ROOT\\\\Some\\"
       "\\CLSID||#{0}$1@1\r\nE)HKEY_CURRENT_USER\\Environment||TEMP#x$1@1##\xC3\xA9\r\n"});
  for (int i = 0; i < 3000; ++i) {
    TErrorContents errors;
    std::vector<TErrorRow> rows;
    LoadErrorList(DecodeTextLines(inputs.Next()), errors, rows);
    for (int k = 0; k < errors.Count(); ++k) {
      const auto& e = errors.GetItem(k).Content;
      UnitErrorList::TContent again;
      std::vector<TRegOp> ops;
      ASSERT_TRUE(ParseErrorLine(e.Title + ")" + e.KeyPath + "||" + e.Operations, again, ops));
    }
  }
}

TEST(ErrorList, AFixOpensTheKeyItsPathNamesAndTheCheckSeesThatKey) {
  RegSandbox box;
  const std::string base = box.FullPath();
  const TRegOp probe{.ValueName = "ZelvoranProbe", .Data = "x", .Action = 1, .Type = 1};
  // Doubled backslashes: the registry opens the same key as with single ones.
  const char* const startPlaces[] = {"SYSTEM\\CurrentControlSet\\Services\\EventLog", "txtfile\\shell\\open\\command",
                                     "Microsoft\\Windows NT\\CurrentVersion\\Windows"};
  for (const char* sub : startPlaces) box.CreateKey(sub);
  for (const std::string& path : {base + "\\SYSTEM\\CurrentControlSet\\\\Services\\EventLog",
                                  base + "\\txtfile\\shell\\open\\\\command",
                                  base + "\\Microsoft\\Windows NT\\\\CurrentVersion\\Windows",
                                  base + "\\\\Microsoft\\Windows NT\\CurrentVersion\\\\\\Windows\\\\"})
    EXPECT_FALSE(ApplyRegOp(path, probe)) << path;
  for (const char* sub : startPlaces) EXPECT_FALSE(box.ValueExists(sub, probe.ValueName)) << sub;
  box.CreateKey("Plain\\Key");
  EXPECT_TRUE(ApplyRegOp(base + "\\\\Plain\\\\Key\\", probe));
  EXPECT_EQ(box.Read("Plain\\Key", probe.ValueName), "x");

  // A path longer than the registry takes would be cut short to a key that exists here.
  std::string held = box.Path();   // the longest path the registry takes, all of it real keys
  while (held.size() + 1 < 32767) held += "\\" + std::string(std::min<size_t>(200, 32767 - held.size() - 1), 'k');
  std::string sub = held.substr(box.Path().size() + 1);
  box.CreateKey(sub);
  ASSERT_TRUE(box.KeyExists(sub));
  std::string tooLong = base + "\\" + sub;
  while (tooLong.size() < 33000 + base.size() - box.Path().size()) tooLong += "\\" + std::string(200, 'z');
  EXPECT_FALSE(Listed(tooLong, probe.ValueName));
  EXPECT_FALSE(ApplyRegOp(tooLong, probe));
  EXPECT_FALSE(box.ValueExists(sub, probe.ValueName));
}

namespace {

struct ErrorPageFixture : ::testing::Test {
  TempFolder temp;
  RegSandbox box;
  TDM dm;
  TForm* holder = new TForm({});
  TPanel* host = new TPanel(holder);

  ErrorPageFixture() {
    MessageBoxes().Clear();
    DM = &dm;
    dm.DataFolder = temp.Path();
    host->SetBounds(0, 0, 497, 363);
  }
  ~ErrorPageFixture() override {
    holder->Free();
    DM = nullptr;
  }
  TErrorFixForm* Open() {
    auto* page = new TErrorFixForm(host);
    page->SetBounds(4, 26, 489, 337);
    page->Show();
    return page;
  }
  // The list: two browser fixes first, then "A" twice (one row), "B", and "A" again further on.
  void PlantList() {
    std::string x = box.FullPath() + "\\X", y = box.FullPath() + "\\Y";
    temp.WriteFile("errorlist.txt", "IE5)" + x + "||IE#5$1@1##Reinstall IE 5\r\nIE6)" + x + "||IE#6$1@1##IE 6\r\n" +
                                        "A)" + x + "||V#5$1@0,W#text$1@1##Fix A\r\n\r\nA)" + y + "||Q#1$1@0##Fix A on Y\r\n" +
                                        "B)" + x + "||Z#$2@0##Fix B\r\nA)" + x + "||Later#-1$1@0##again\r\n");
  }
};

}  // namespace

TEST_F(ErrorPageFixture, RowsFollowTheListThenTheBuiltInOnesAllButTheFirstTwoTickedAndReportOpensSupport) {
  PlantList();
  TErrorFixForm* page = Open();
  EXPECT_EQ(Titles(page->Rows),
            (std::vector<std::string>{"[ ] IE5", "[ ] IE6", "[x] A", "[x] B", "[x] A",
                                      "[x] \"Internal application error\" occurred in Windows Media Player",
                                      "[x] 1607: Unable to install InstallShield Scripting Runtime",
                                      "[x] Unable to open new window by IE hyperlink", "[x] Unable to update Windows online"}));
  EXPECT_FALSE(page->BitBtn2->Visible());
  page->listerrorSelectItem(4, true);   // a list row: the first fix of that title describes it
  EXPECT_EQ(page->MemoText->Text(), "Fix A");
  page->listerrorSelectItem(6, true);
  EXPECT_EQ(page->MemoText->Text(),
            "Received error message \"1607: Unable to install InstallShield Scripting Runtime\" when trying to install "
            "software in Windows XP");
  page->listerrorSelectItem(6, false);
  EXPECT_EQ(page->MemoText->Text(), "");

  MessageBoxes().NextAnswer = IDNO;   // a browser fix asks first
  page->ToggleRow(0);
  EXPECT_FALSE(page->Rows[0].Ticked);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text.substr(0, 63), "Warning: This option is just suitable for the case that the IE\r");
  EXPECT_EQ(MessageBoxes().Calls[0].flags, (unsigned)(MB_YESNO | MB_ICONWARNING));
  MessageBoxes().NextAnswer = IDYES;
  page->ToggleRow(0);
  page->ToggleRow(3);
  EXPECT_TRUE(page->Rows[0].Ticked);
  EXPECT_FALSE(page->Rows[3].Ticked);
  page->ToggleRow(0);   // unticked without a question
  EXPECT_EQ(MessageBoxes().Calls.size(), 2u);

  std::string caption;   // the hidden report button opens the support window
  TModalHookScope hook([&](TForm& f) { caption = f.Caption(); });
  page->BitBtn2Click(nullptr);
  EXPECT_EQ(caption, "Support");
}

TEST_F(ErrorPageFixture, RepairAppliesEveryFixOfATickedTitleToExistingKeysOnly) {
  PlantList();
  box.SetString("X", "W", "old");
  box.SetString("X", "Z", "to delete");
  box.SetString("X", "IE", "untouched");
  TErrorFixForm* page = Open();
  page->Rows[3].Ticked = false;   // B: Z stays
  page->BitBtn1Click(nullptr);
  // the fix of "A" on the missing key Y could not be applied
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{
                                "Not every error could be repaired. These were not repaired, or not completely:\rA"}));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\" + box.Path() + "\\X", false));
  EXPECT_EQ(reg.ReadInteger("V"), 5);
  EXPECT_EQ(reg.ReadString("W"), "text");
  EXPECT_EQ(reg.ReadInteger("Later"), -1);   // the same title further on applies too
  EXPECT_EQ(reg.ReadString("Z"), "to delete");
  EXPECT_EQ(reg.ReadString("IE"), "untouched");
  EXPECT_FALSE(box.KeyExists("Y"));   // never created
  box.CreateKey("Y");
  MessageBoxes().Clear();
  page->BitBtn1Click(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"The error(s) has been repaired successfully!"}));
  ASSERT_TRUE(reg.OpenKey("\\" + box.Path() + "\\Y", false));
  EXPECT_EQ(reg.ReadInteger("Q"), 1);

  MessageBoxes().Clear();
  for (TErrorRow& row : page->Rows) row.Ticked = !row.FromList;   // built-in rows carry no fix
  page->BitBtn1Click(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"No fix could be applied to the ticked items."}));
  MessageBoxes().Clear();
  for (TErrorRow& row : page->Rows) row.Ticked = false;
  page->BitBtn1Click(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Please select the specific item for this operation!"}));
}

// "Repaired successfully" only when every fix of every ticked title holds now; any other result
// names the titles not repaired, or not completely: a key that is missing or may not be written,
// a refused location, a write the registry refuses. Deleting a value that is not there holds.
TEST_F(ErrorPageFixture, SuccessIsShownOnlyWhenEveryTickedFixHoldsAndTheOthersAreNamed) {
  const std::string base = box.FullPath();
  const std::string tooLong(16384, 'n');   // longer than any value name the registry takes
  temp.WriteFile("errorlist.txt", "IE5)" + base + "\\X||IE#5$1@1##IE 5\r\nIE6)" + base + "\\X||IE#6$1@1##IE 6\r\n" +
                                      "Whole)" + base + "\\X||V#5$1@0,Gone#$2@0##whole\r\n" +
                                      "Missing key)" + base + "\\Missing||Q#1$1@0##missing\r\n" +
                                      "Read only)" + base + "\\ReadOnly||Q#1$1@0##read only\r\n" +
                                      "Half)" + base + "\\X||H#1$1@1##half\r\nHalf)" + base + "\\Missing||H#1$1@1\r\n" +
                                      "Long name)" + base + "\\X||W#1$1@1," + tooLong + "#1$1@1##long\r\n" +
                                      "Gone only)" + base + "\\X||Gone#$2@0,Also gone#$2@1##nothing\r\n");
  box.CreateKey("X");
  box.SetString("ReadOnly", "Q", "0");
  // everyone may read the key, but not write to it
  testing_support::TKeyPermissions readOnly(box.Root(), box.Path() + "\\ReadOnly", L"D:(A;;KR;;;WD)");
  TErrorFixForm* page = Open();
  // a fix the list's check let through but whose location is refused when it is applied
  UnitErrorList::TContent& denied = page->Errors.GetItem(page->Errors.Add()).Content;
  denied = {.Title = "Denied", .KeyPath = base + "\\X", .Operations = "AppInit_DLLs#x.dll$1@1##denied"};
  page->Rows.push_back({.Caption = "Denied", .FromList = true});

  const std::string head = "Not every error could be repaired. These were not repaired, or not completely:\r",
                    nothing = "Nothing was changed: these items had nothing to repair:\r",
                    repaired = "The error(s) has been repaired successfully!";
  struct TCase {
    std::vector<std::string> Ticked;
    std::string Expected;
    unsigned Flags = MB_ICONWARNING;
  };
  const TCase cases[] = {
      {{"Whole"}, repaired, MB_ICONINFORMATION},
      {{"Missing key"}, head + "Missing key"},
      {{"Read only"}, head + "Read only"},
      {{"Half"}, head + "Half"},
      {{"Long name"}, head + "Long name"},
      {{"Denied"}, head + "Denied"},
      {{"Whole", "Denied", "Half", "Read only"}, head + "Read only\rHalf\rDenied"},   // in the list's order
      // deleting values that are not there applies nothing: no success without a change
      {{"Gone only"}, nothing + "Gone only", MB_ICONINFORMATION},
      {{"Gone only", "Whole"}, repaired, MB_ICONINFORMATION},
      {{"Gone only", "Half"}, head + "Half"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Expected);
    for (TErrorRow& row : page->Rows)
      row.Ticked = std::find(c.Ticked.begin(), c.Ticked.end(), row.Caption) != c.Ticked.end();
    MessageBoxes().Clear();
    page->BitBtn1Click(nullptr);
    ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
    EXPECT_EQ(MessageBoxes().Calls[0].text, c.Expected);
    EXPECT_EQ(MessageBoxes().Calls[0].flags, c.Flags);
  }
  EXPECT_EQ(box.Read("X", "H") + box.Read("X", "W") + box.Read("ReadOnly", "Q"), "110");
  EXPECT_FALSE(box.ValueExists("X", "AppInit_DLLs") || box.KeyExists("Missing"));

  // more titles than a message shows: the first ten, then how many more
  TRepairResult many;
  for (int i = 0; i < 12; ++i) many.NotRepaired.push_back("T" + IntToStr(i));
  many.NothingToRepair = many.NotRepaired;
  EXPECT_EQ(NotRepairedText(many), head + "T0\rT1\rT2\rT3\rT4\rT5\rT6\rT7\rT8\rT9\rand 2 more");
  EXPECT_EQ(NothingToRepairText(many), nothing + "T0\rT1\rT2\rT3\rT4\rT5\rT6\rT7\rT8\rT9\rand 2 more");
}

// A list whose titles alternate makes one row per line: each fix of a ticked title is still
// applied once, whichever and however many of its rows are ticked.
TEST(ErrorRepair, EachFixOfTheTickedTitlesIsAppliedOnceHoweverTheTitlesAlternate) {
  RegSandbox box;
  const int count = 2000;
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i)
    lines.push_back(std::string(i % 2 ? "B" : "A") + ")" + box.FullPath() + "\\K||V" + IntToStr(i) + "#" + IntToStr(i) +
                    "$1@1##fix " + IntToStr(i));
  TErrorContents errors;
  std::vector<TErrorRow> rows;
  LoadErrorList(lines, errors, rows);
  ASSERT_EQ(rows.size(), (size_t)count);
  auto values = [&] {
    HKEY key = nullptr;
    DWORD n = 0;
    if (RegOpenKeyExW(box.Root(), Widen(box.Path() + "\\K").c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr);
      RegCloseKey(key);
    }
    return (int)n;
  };
  box.CreateKey("K");
  rows[3].Ticked = rows[5].Ticked = true;   // two rows of "B"
  EXPECT_EQ(Repair(rows, errors).Applied, count / 2);
  EXPECT_EQ(values(), count / 2);
  EXPECT_EQ(box.Read("K", "V1999"), "1999");
  EXPECT_FALSE(box.ValueExists("K", "V0"));
  for (TErrorRow& row : rows) row.Ticked = true;
  EXPECT_EQ(Repair(rows, errors).Applied, count);
  EXPECT_EQ(values(), count);
  EXPECT_EQ(box.Read("K", "V0") + "|" + box.Read("K", "V1000"), "0|1000");
}

namespace {

// A key of the local machine's software in one view of the registry (on a 32-bit system both
// views are the one registry), removed with all it holds.
struct TViewKey {
  std::string Path;
  REGSAM View;
  TViewKey(const std::string& path, REGSAM view) : Path(path), View(view) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widen(Path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | View, nullptr, &key, nullptr);
    if (key != nullptr) RegCloseKey(key);
  }
  ~TViewKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(Path).c_str(), 0, KEY_ALL_ACCESS | View, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Widen(Path).c_str(), View, 0);
  }
  std::string Read(const std::string& name) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(Path).c_str(), 0, KEY_READ | View, &key) != ERROR_SUCCESS)
      return "<no key>";
    TRegValue value;
    bool found = QueryRegValue(key, Widen(name), value);
    RegCloseKey(key);
    return found ? RegValueText(value) : "<none>";
  }
};

}  // namespace

// On 64-bit Windows a 32-bit program's writes to the machine's software land in the 32-bit view,
// where the system's own programs never read them: a fix is written in the view its path names,
// the system's, unless the path names the 32-bit one itself. (Run again in a 64-bit prefix.)
TEST(ErrorRepair, AFixOfTheMachinesSoftwareLandsInTheViewItsPathNamesOnA64BitSystem) {
  const std::string name = Format("ZelvoranErrorView%lu", GetCurrentProcessId());
  TViewKey system("SOFTWARE\\" + name, KEY_WOW64_64KEY), programs("SOFTWARE\\" + name, KEY_WOW64_32KEY);
  const TRegOp write{.ValueName = "V", .Data = "fix", .Action = 1, .Type = 1};
  EXPECT_TRUE(ApplyRegOp("HKEY_LOCAL_MACHINE\\SOFTWARE\\" + name, write));
  EXPECT_EQ(system.Read("V"), "fix");
  if (!PublicFunctionUnit::RunsUnderWow64()) return;   // one registry: nothing more to tell apart
  EXPECT_EQ(programs.Read("V"), "<none>");
  const TRegOp other{.ValueName = "W", .Data = "32", .Action = 1, .Type = 1};
  EXPECT_TRUE(ApplyRegOp("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\" + name, other));
  EXPECT_EQ(programs.Read("W") + "|" + system.Read("W"), "32|<none>");
  const TRegOp remove{.ValueName = "V", .Action = 2, .Type = 1};
  EXPECT_TRUE(ApplyRegOp("HKEY_LOCAL_MACHINE\\SOFTWARE\\" + name, remove));
  EXPECT_EQ(system.Read("V"), "<none>");
}

TEST_F(ErrorPageFixture, TheErrorInfoColumnFillsTheListLessTwentyPixelsAtEverySize) {
  PlantList();
  TErrorFixForm* page = Open();
  EXPECT_EQ(page->listerror->ColumnWidth(0), page->listerror->Width() - 20);
  page->listerror->SetWidth(360);
  page->SetBounds(4, 26, 400, 300);
  EXPECT_EQ(page->listerror->ColumnWidth(0), 340);
}

TEST_F(ErrorPageFixture, TheListIsFetchedOnlyWhenMissingAndAFailedFetchLeavesNoFile) {
  TLocalHttpServer server;
  testing_support::TKeep<std::string> base(Endpoints::UpdateBase, server.Base());
  server.Route("/update/errorlist.txt", {.Body = "A)" + box.FullPath() + "||V#5$1@0##Fix A\r\n"});
  TErrorFixForm* page = Open();
  EXPECT_EQ(page->Rows.size(), 5u);
  page->Free();
  Open()->Free();
  EXPECT_EQ(server.RequestsFor("/update/errorlist.txt"), 1);

  DeleteFileW(Widen(temp.Path() + "errorlist.txt").c_str());
  server.Route("/update/errorlist.txt", {.Body = "A)HKEY_CURRENT_USER\\x||V#5$1@0\r\n", .Truncate = true});
  page = Open();   // the user is told; the built-in rows stay usable
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{kListNotLoadedText}));
  ASSERT_EQ(Titles(page->Rows), (std::vector<std::string>{
                                    "[ ] \"Internal application error\" occurred in Windows Media Player",
                                    "[ ] 1607: Unable to install InstallShield Scripting Runtime",
                                    "[x] Unable to open new window by IE hyperlink",
                                    "[x] Unable to update Windows online"}));
  EXPECT_EQ(page->listerror->Count(), 4);
  page->listerrorSelectItem(3, true);
  EXPECT_EQ(page->MemoText->Text(), "The issue of system being unable to update online.");
  MessageBoxes().Clear();
  page->ToggleRow(2);
  EXPECT_FALSE(page->Rows[2].Ticked);
  page->BitBtn1Click(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"No fix could be applied to the ticked items."}));
  EXPECT_FALSE(FileExists(temp.Path() + "errorlist.txt"));
  page->Free();

  MessageBoxes().Clear();   // the next visit fetches the list again
  server.Route("/update/errorlist.txt", {.Body = "A)" + box.FullPath() + "||V#5$1@0##Fix A\r\n"});
  EXPECT_EQ(Open()->Rows.size(), 5u);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

// A list file another program holds open (sharing nothing), or a folder of its name, is neither
// read as empty nor fetched again over it: the page shows the built-in rows and says the list
// could not be loaded; once the file is free, the next visit lists it.
TEST_F(ErrorPageFixture, AListFileHeldByAnotherProgramShowsTheBuiltInRowsAndTheWarning) {
  TLocalHttpServer server;
  testing_support::TKeep<std::string> base(Endpoints::UpdateBase, server.Base());
  server.Route("/update/errorlist.txt", {.Body = "Fetched)" + box.FullPath() + "||V#5$1@0##fetched\r\n"});
  PlantList();
  const std::string list = temp.Path() + "errorlist.txt", planted = ReadFileBytes(list);
  for (DWORD share : {0ul, (DWORD)FILE_SHARE_WRITE}) {
    testing_support::THeldFile held(list, share, GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(held.Held());
    MessageBoxes().Clear();
    TErrorFixForm* page = Open();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{kListNotLoadedText})) << share;
    EXPECT_EQ(Titles(page->Rows), (std::vector<std::string>{
                                      "[ ] \"Internal application error\" occurred in Windows Media Player",
                                      "[ ] 1607: Unable to install InstallShield Scripting Runtime",
                                      "[x] Unable to open new window by IE hyperlink",
                                      "[x] Unable to update Windows online"}));
    EXPECT_EQ(page->listerror->Count(), 4);
    page->Free();
  }
  // a folder of the list's name is no list, nor a missing one
  ASSERT_TRUE(MoveFileW(Widen(list).c_str(), Widen(list + ".kept").c_str()));
  ASSERT_TRUE(CreateDirectoryW(Widen(list).c_str(), nullptr));
  MessageBoxes().Clear();
  EXPECT_EQ(Open()->Rows.size(), 4u);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{kListNotLoadedText}));
  EXPECT_TRUE(DirectoryExists(list));
  ASSERT_TRUE(RemoveDirectoryW(Widen(list).c_str()));
  ASSERT_TRUE(MoveFileW(Widen(list + ".kept").c_str(), Widen(list).c_str()));
  EXPECT_EQ(server.RequestsFor("/update/errorlist.txt"), 0);
  EXPECT_EQ(ReadFileBytes(list), planted);
  MessageBoxes().Clear();
  EXPECT_EQ(Open()->Rows.size(), 9u);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

namespace {

struct MailFixture : ::testing::Test {
  TFormPtr<TEMailForm> form{new TEMailForm()};
  MailFixture() { MessageBoxes().Clear(); }
  void Configure(int port, const std::string& password) {
    form->Settings = {.Host = "127.0.0.1", .Port = port, .Address = "support@example.invalid",
                      .User = "desk", .Password = password, .TimeoutMs = 2000};
  }
};

}  // namespace

TEST_F(MailFixture, SendsTheWholeDialogueWithLoginAndAHeaderThatCannotBeInjected) {
  TLocalSmtpServer server;
  Configure(server.Port(), "secret");
  form->Show();
  EXPECT_EQ(form->MemoText->Text(), UnitMail::ProcessorLine());
  EXPECT_NE(form->MemoText->Text().find("个CPU,类型为"), std::string::npos);
  form->TxtSendFile->SetText("user@example.invalid");
  form->TxtSubject->SetText("Hello\r\nBcc: victim@example.invalid");
  form->MemoText->SetText("first\r\n.\r\n.hidden");
  form->SendMail();
  form->SendMail();   // a second message, on a connection of its own
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  std::vector<std::string> lines = server.Lines();
  std::vector<std::string> head(lines.begin(), lines.begin() + 7);
  EXPECT_EQ(head, (std::vector<std::string>{"EHLO localhost", "AUTH LOGIN", UnitMail::Base64("desk"),
                                            UnitMail::Base64("secret"), "MAIL FROM:<support@example.invalid>",
                                            "RCPT TO:<support@example.invalid>", "DATA"}));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "QUIT"), 2);
  auto begin = std::find(lines.begin(), lines.end(), "DATA"), end = std::find(begin, lines.end(), ".");
  ASSERT_NE(end, lines.end());
  std::vector<std::string> data(begin + 1, end);   // the message between DATA and the final dot
  EXPECT_NE(std::find(data.begin(), data.end(), "Reply-To: user@example.invalid"), data.end());
  EXPECT_NE(std::find(data.begin(), data.end(), "Subject: HelloBcc: victim@example.invalid"), data.end());
  for (const std::string& line : data) EXPECT_NE(line.rfind("Bcc:", 0), 0u) << line;
  EXPECT_NE(std::find(data.begin(), data.end(), ".."), data.end());          // dot-stuffed
  EXPECT_NE(std::find(data.begin(), data.end(), "..hidden"), data.end());
  EXPECT_TRUE(form->btnSend->Enabled());
}

// Whenever the server offers STARTTLS the session is encrypted before the login, through the
// system's TLS, and the server's certificate must be trusted for the name the host was given by;
// the password never goes unencrypted to a server on another machine (the server here is on
// 127.0.0.1; LoopbackCountsAsRemote makes it stand for another machine's).
TEST_F(MailFixture, TheSessionIsEncryptedWhenOfferedAndThePasswordNeverGoesPlainToAnotherMachine) {
  using TMode = TLocalSmtpServer::TMode;
  const std::string handshakeFailed = "ERROR: The encrypted connection to the mail server could not be made (0x";
  struct TCase {
    const char* Name;
    TMode Mode;
    std::string Host;
    bool Trusted, Remote;
    std::string Password;
    std::string Message;   // the start of the one message; "" for none
    bool Encrypted, Login, Delivered;
    std::string CertificateName = "localhost";
  } cases[] = {
      {"offered", TMode::StartTls, "localhost", true, false, "secret", "", true, true, true},
      {"offered, other machine", TMode::StartTls, "localhost", true, true, "secret", "", true, true, true},
      {"offered, no login", TMode::StartTls, "localhost", true, true, "", "", true, false, true},
      {"not offered, other machine", TMode::Answer, "127.0.0.1", false, true, "secret",
       "ERROR: " + std::string(UnitMail::kPlainLoginRefusedText), false, false, false},
      {"not offered, HELO only", TMode::RejectEhlo, "127.0.0.1", false, true, "secret",
       "ERROR: " + std::string(UnitMail::kPlainLoginRefusedText), false, false, false},
      {"not offered, no login", TMode::Answer, "127.0.0.1", false, true, "", "", false, false, true},
      {"not offered, this machine", TMode::Answer, "127.0.0.1", false, false, "secret", "", false, true, true},
      {"handshake fails", TMode::StartTlsRefused, "localhost", true, false, "secret", handshakeFailed, false, false, false},
      {"reply sent ahead", TMode::StartTlsAhead, "localhost", true, false, "secret",
       "ERROR: " + std::string(UnitMail::kDataBeforeTlsText), false, false, false},
      {"untrusted certificate", TMode::StartTls, "localhost", false, false, "secret",
       "ERROR: " + std::string(UnitMail::kUntrustedText), true, false, false},
      {"certificate of another name", TMode::StartTls, "localhost", true, false, "secret",
       "ERROR: The mail server's certificate is not issued for localhost.", true, false, false, "other.invalid"},
      {"host by address", TMode::StartTls, "127.0.0.1", true, false, "secret",
       "ERROR: The mail server's certificate is not issued for 127.0.0.1.", true, false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TLocalSmtpServer server(c.Mode, c.CertificateName);
    MessageBoxes().Clear();
    Configure(server.Port(), c.Password);
    form->Settings.Host = c.Host;
    form->Settings.LoopbackCountsAsRemote = c.Remote;
    if (c.Trusted) form->Settings.TrustedCertificate = server.Certificate();
    form->SendMail();
    std::vector<std::string> messages = MessageTexts();
    if (c.Message.empty()) {
      EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages[0]);
    } else {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].substr(0, c.Message.size()), c.Message);
    }
    std::vector<std::string> lines = server.LinesAfterSessions(1);
    auto at = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
    const long never = (long)lines.size();
    EXPECT_EQ(at("<tls>") != never, c.Encrypted);
    EXPECT_EQ(at("AUTH LOGIN") != never, c.Login);
    EXPECT_EQ(at(UnitMail::Base64("secret")) != never, c.Login);   // the password only where the login is
    EXPECT_EQ(at("MAIL FROM:<support@example.invalid>") != never, c.Delivered);
    if (c.Encrypted) {
      EXPECT_LT(at("<tls>"), at("AUTH LOGIN"));   // the login only once encrypted
    }
    if (c.Delivered) {
      EXPECT_EQ(std::count(lines.begin(), lines.end(), "QUIT"), 1);
    }
    EXPECT_TRUE(form->btnSend->Enabled());
  }
}

TEST(MailExtensions, AnExtensionIsTheFirstWordOfAnEhloLine) {
  const std::vector<std::string> reply = {"250-mail.example.invalid greets you", "250-starttls", "250-SIZE 1000",
                                          "250 AUTH LOGIN PLAIN"};
  EXPECT_TRUE(UnitMail::OffersExtension(reply, "STARTTLS"));
  EXPECT_TRUE(UnitMail::OffersExtension(reply, "AUTH"));
  EXPECT_FALSE(UnitMail::OffersExtension(reply, "LOGIN"));
  EXPECT_FALSE(UnitMail::OffersExtension({"250-STARTTLSX", "250 X-STARTTLS", "250"}, "STARTTLS"));

  // whatever a server sends, only a line whose first word is the extension's name offers it
  testing_support::TFuzzInputs inputs({"250-localhost\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n",
                                       "250-x\r\n250-8BITMIME\r\n250 starttls\r\n"});
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::string> lines = SplitString(inputs.Next(), '\n');
    bool offered = false;
    for (std::string& line : lines) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string words = line.size() > 4 ? Trim(line.substr(4)) : "";
      offered = offered || AnsiUpperCase(words.substr(0, words.find(' '))) == "STARTTLS";
    }
    ASSERT_EQ(UnitMail::OffersExtension(lines, "STARTTLS"), offered) << i;
  }
}

TEST_F(MailFixture, FailuresEndInOneErrorMessageAndTheWindowStaysUsable) {
  TLocalSmtpServer refusing(TLocalSmtpServer::TMode::RefuseLogin), silent(TLocalSmtpServer::TMode::Silent),
      plain;
  struct TCase {
    int Port;
    std::string Password, Expected;
  } cases[] = {
      {refusing.Port(), "wrong", "ERROR: 535 5.7.8 Authentication credentials invalid"},
      {silent.Port(), "x", "ERROR: Read timed out."},
      {1, "x", "ERROR: Connection refused."},
  };
  for (const TCase& c : cases) {
    MessageBoxes().Clear();
    Configure(c.Port, c.Password);
    form->Settings.TimeoutMs = 500;
    form->SendMail();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{c.Expected}));
    EXPECT_TRUE(form->btnSend->Enabled());
  }
  MessageBoxes().Clear();
  Configure(plain.Port(), "");   // no password: no login
  form->SendMail();
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  EXPECT_EQ(plain.Lines().at(1), "MAIL FROM:<support@example.invalid>");

  form->Settings.Address.clear();
  form->SendMail();
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"ERROR: The support mail is not configured."}));
}

TEST_F(MailFixture, OnlyARejectedEhloFallsBackToHeloAndAStalledReplyEndsTheSessionAtOnce) {
  using TMode = TLocalSmtpServer::TMode;
  struct TCase {
    TMode Mode;
    std::vector<std::string> Messages;
    bool Helo;
  } cases[] = {
      {TMode::SilentAtEhlo, {"ERROR: Read timed out."}, false},
      {TMode::CloseAtEhlo, {"ERROR: The connection to the mail server was lost."}, false},
      {TMode::SlowEhlo, {"ERROR: Read timed out."}, false},   // every line in time, the whole reply not
      {TMode::RejectEhlo, {}, true},
  };
  for (const TCase& c : cases) {
    TLocalSmtpServer server(c.Mode);
    MessageBoxes().Clear();
    Configure(server.Port(), "");
    form->Settings.TimeoutMs = 400;
    form->SendMail();
    EXPECT_EQ(MessageTexts(), c.Messages) << (int)c.Mode;
    std::vector<std::string> lines = server.LinesAfterSessions(1);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "EHLO localhost");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "HELO localhost"), c.Helo ? 1 : 0) << (int)c.Mode;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "QUIT"), c.Helo ? 1 : 0) << (int)c.Mode;
  }
}

TEST_F(MailFixture, ExitWhileTheServerIsSilentEndsTheSendWithoutWaitingForItsTimeOut) {
  TLocalSmtpServer server(TLocalSmtpServer::TMode::SilentAtEhlo);
  Configure(server.Port(), "");
  form->Settings.TimeoutMs = 3000;
  Application.Post([] { Application.Terminate(); });   // the tray's Exit while the send waits
  form->SendMail();
  // the send gave up waiting before the client's time-out closed its session, and said nothing
  std::vector<std::string> lines = server.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "<closed>"), 0);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(MailFixture, WithoutAConfiguredHostNothingIsSentAndTheUserIsTold) {
  RegSandbox box;
  TLocalSmtpServer server;
  box.SetString("", "SupportMailAddress", "support@example.invalid");
  for (const char* host : {(const char*)nullptr, "", "  "}) {
    if (host != nullptr) box.SetString("", "SupportMailHost", host);
    MessageBoxes().Clear();
    form->Settings = UnitMail::LoadSmtpSettings(box.Root(), box.Path());
    form->SendMail();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"ERROR: The support mail is not configured."}))
        << (host == nullptr ? "no host" : "'" + std::string(host) + "'");
  }
  box.SetString("", "SupportMailHost", "127.0.0.1");
  box.SetString("", "SupportMailPort", std::to_string(server.Port()));
  MessageBoxes().Clear();
  form->Settings = UnitMail::LoadSmtpSettings(box.Root(), box.Path());
  form->SendMail();
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  std::vector<std::string> lines = server.LinesAfterSessions(1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "EHLO localhost"), 1);   // the one session
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "MAIL FROM:<support@example.invalid>"), 1);
}
