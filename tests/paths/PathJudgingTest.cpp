// How the scanners judge the paths the registry and shortcuts name, against the data real
// systems hold: command lines with relative paths among their arguments and names with "_", "-"
// or letters outside ASCII, environment strings, drives that are away, and (in the 64-bit
// prefix, ctest -L win64) a 32-bit program on 64-bit Windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <cstring>

#include "framework/Handles.h"
#include "framework/Strings.h"
#include "scan/ApplicationPathsUnit.h"
#include "scan/HelpSectionUnit.h"
#include "scan/InvalidShortCutsUnit.h"
#include "scan/PathJudgeUnit.h"
#include "scan/SharedDLLsUnit.h"
#include "scan/StartUpUnit.h"
#include "scan/SystemSoftWareSettingUnit.h"
#include "scan/UninstallSectionUnit.h"
#include "scan/UserSoftWareSettings.h"
#include "scan/WindowsFontsUnit.h"
#include "support/Planting.h"
#include "support/ScanFixture.h"
#include "tools/uninstall/UninstallItemUnit.h"

using namespace PublicFunctionUnit;
using namespace scan_test;
using namespace testing_support;

namespace {

struct Section {
  const char* caption;
  TScanRoutine scan;
  TRepairRoutine repair;
};
const Section kMachine{SystemSoftWareSettingUnit::SectionCaption, SystemSoftWareSettingUnit::ScanSoftwareSettings,
                       SystemSoftWareSettingUnit::RepairSoftwareSettings};
const Section kUser{UserSoftWareSettings::SectionCaption, UserSoftWareSettings::ScanUserSoftwareSettings,
                    UserSoftWareSettings::RepairUserSoftwareSettings};

// The value names reported under one key of the sandbox, in order.
Texts NamesAt(const TRegistryContents& contents, const std::string& keyPath) {
  Texts names;
  for (const TContent& c : FindingsAt(contents, keyPath)) names.push_back(c.ValueName);
  return names;
}

// An environment variable of this process for the length of a scope.
class TEnvironmentVariable {
 public:
  TEnvironmentVariable(const std::string& name, const std::string& value) : name_(Widen(name)) {
    SetEnvironmentVariableW(name_.c_str(), Widen(value).c_str());
  }
  ~TEnvironmentVariable() { SetEnvironmentVariableW(name_.c_str(), nullptr); }
  TEnvironmentVariable(const TEnvironmentVariable&) = delete;
  TEnvironmentVariable& operator=(const TEnvironmentVariable&) = delete;

 private:
  std::wstring name_;
};

// Drive P: of the test prefix, a fixed drive whose root is a folder of the test's own, plugged
// in and unplugged while the test runs: defined and removed through Wine's mount manager, as
// Wine's own drive settings do it (the letter exists, then it does not). One test uses it.
class TDriveP {
 public:
  explicit TDriveP(const std::string& folder) {
    using TUnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<TUnixName>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    char* name = unixName != nullptr ? unixName(Widen(ExcludeTrailingBackslash(folder)).c_str()) : nullptr;
    if (name != nullptr) {
      unixFolder_ = name;
      HeapFree(GetProcessHeap(), 0, name);
    }
  }
  ~TDriveP() { Unplug(); }
  TDriveP(const TDriveP&) = delete;
  TDriveP& operator=(const TDriveP&) = delete;
  bool Plug() const { return !unixFolder_.empty() && Define(unixFolder_); }
  bool Unplug() const { return Define(""); }

 private:
  // The mount manager's request that defines a drive letter (a folder given) or removes it.
  struct TUnixDrive {
    ULONG Size;
    ULONG Type;
    ULONG FsType;
    DWORD Serial;
    ULONGLONG UnixDevice;
    WCHAR Letter;
    USHORT MountPointOffset;
    USHORT DeviceOffset;
    USHORT LabelOffset;
  };
  static bool Define(const std::string& unixFolder) {
    const DWORD defineUnixDrive = CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
    TKernelHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!manager) return false;
    std::vector<char> request(sizeof(TUnixDrive) + unixFolder.size() + 1, 0);
    auto* drive = reinterpret_cast<TUnixDrive*>(request.data());
    drive->Size = (ULONG)request.size();
    drive->Letter = L'p';
    drive->Type = unixFolder.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
    if (!unixFolder.empty()) {
      drive->MountPointOffset = sizeof(TUnixDrive);
      memcpy(request.data() + sizeof(TUnixDrive), unixFolder.c_str(), unixFolder.size());
    }
    DWORD returned = 0;
    return DeviceIoControl(manager.Get(), defineUnixDrive, request.data(), (DWORD)request.size(), nullptr, 0, &returned,
                           nullptr);
  }
  std::string unixFolder_;
};

bool ExpectedWow64() {
  wchar_t arch[16] = {};
  GetEnvironmentVariableW(L"ZELVORAN_WINEARCH", arch, 16);
  return std::wstring(arch) == L"win64";
}

}  // namespace

// The one routine that reads a command line's program: names keep "_", "-", "~" and letters of
// any script; a relative path among the arguments no longer makes the whole line the program.
TEST(CommandLinePrograms, NamesAreReadWholeAndTheProgramBeforeTheArgumentsCounts) {
  using PathJudgeUnit::ReadProgramPath;
  for (const auto& [command, program] : std::vector<std::pair<std::string, std::string>>{
           {"C:\\App\\app.launcher_x64.exe /s", "C:\\App\\app.launcher_x64.exe"},
           {"C:\\Werkzeug\\werkzeug.grün.exe -q", "C:\\Werkzeug\\werkzeug.grün.exe"},
           {"C:\\T\\my-tool.v2-beta.exe /x", "C:\\T\\my-tool.v2-beta.exe"},
           {"C:\\PROGRA~1\\App\\app.exe~1 /x", "C:\\PROGRA~1\\App\\app.exe~1"},
           {"rundll32.exe C:\\Lib\\x_y.dll,Entry", "C:\\Lib\\x_y.dll"},
           {"C:\\a\\un.exe /LOG=D:\\x.log", "C:\\a\\un.exe"}}) {
    EXPECT_EQ(ReadProgramPath(command), program) << command;
    EXPECT_EQ(SystemSoftWareSettingUnit::ExtractFileFromCommandLine(command), program) << command;
    EXPECT_EQ(UninstallSectionUnit::CommandToExePath(command), program) << command;
    EXPECT_EQ(UninstallItemUnit::ExtractExecutablePath(command), program) << command;
  }

  TempFolder dir;
  const std::string tool = dir.WriteFile("Tools\\tool.exe"), spaced = dir.WriteFile("My Tools\\my tool.exe");
  for (const std::string& command :
       {tool + " -config conf\\tool.ini", "\"" + spaced + "\" -File scripts\\start.ps1", "\"" + spaced + "\"-x",
        spaced + " /dir=\\y", tool, "  " + tool + "\t/q"})
    EXPECT_TRUE(PathJudgeUnit::CommandLineProgramExists(command)) << command;
  for (const std::string& command : {dir.Path() + "Tools\\gone.exe -config conf\\tool.ini", dir.Path() + "My Tools\\my",
                                     "\"" + dir.Path() + "Tools\\gone.exe\" " + tool, std::string(""), std::string("\"")})
    EXPECT_FALSE(PathJudgeUnit::CommandLineProgramExists(command)) << command;
}

// Both software settings sections keep the values of installed programs (the current user's Run
// key among them) whose command lines read oddly, and still report a program that is missing.
TEST(CommandLinePrograms, SettingsOfInstalledProgramsAreKept) {
  TScanRun run;
  RegSandbox box;
  const std::string dir = run.Folder.Path();
  const std::string tool = run.Folder.WriteFile("Tools\\tool.exe"), spaced = run.Folder.WriteFile("My Tools\\tool.exe");
  const std::string launcher = run.Folder.WriteFile("app.launcher_x64.exe"), grün = run.Folder.WriteFile("werkzeug.grün.exe");
  const std::string beta = run.Folder.WriteFile("my-tool.v2-beta.exe");
  using Plant = std::pair<const char*, std::string>;
  for (const auto& [name, data] : {Plant{"a", tool + " -config conf\\tool.ini"}, {"b", "\"" + spaced + "\" -File scripts\\start.ps1"},
                                   {"c", launcher + " /s"}, {"d", grün + " /x"}, {"e", beta + " -q"},
                                   {"f", dir + "gone_x64.exe /s"}, {"g", dir + "gone.grün.exe"},
                                   {"h", dir + "Tools\\gone.exe -config conf\\tool.ini"}})
    box.SetString("Microsoft\\Windows\\CurrentVersion\\Run", name, data);
  const std::string key = box.FullPath() + "\\Microsoft\\Windows\\CurrentVersion\\Run";
  for (const Section* s : {&kMachine, &kUser}) {
    SCOPED_TRACE(s->caption);
    run.Contents.Clear();
    run.Scan(s->scan, box.Path(), box.Root());
    std::vector<TContent> found = FindingsAt(run.Contents, key);
    ASSERT_EQ(NamesAt(run.Contents, key), (Texts{"f", "g", "h"}));
    EXPECT_EQ(found[0].Value + "|" + found[1].Value, dir + "gone_x64.exe|" + dir + "gone.grün.exe");
  }
}

// Environment strings are expanded as the system expands them before a path is judged; a text
// whose variables cannot all be expanded is not judged, and a command line's "%1" is no variable.
TEST(EnvironmentStrings, ExpandedBeforeJudgingAndUnknownOnesLeaveTheTextUnjudged) {
  TScanRun run;
  const std::string dir = ExcludeTrailingBackslash(run.Folder.Path());
  TEnvironmentVariable appDir("ZVAPPDIR", dir);
  run.Folder.WriteFile("uninst.exe");
  run.Folder.WriteFile("tool.exe");
  run.Folder.WriteFile("font.ttf");
  run.Folder.WriteFile("help.hlp");

  std::string expanded;
  EXPECT_TRUE(PathJudgeUnit::ExpandEnvironment("%ZVAPPDIR%\\x.exe \"%1\" %* 100%", expanded));
  EXPECT_EQ(expanded, dir + "\\x.exe \"%1\" %* 100%");
  EXPECT_FALSE(PathJudgeUnit::ExpandEnvironment("%ZVNOSUCHVAR%\\x.exe", expanded));

  // Uninstall Entries: the registered program behind a variable, its arguments naming other drives.
  RegSandbox uninstall;
  auto plant = [&](const std::string& sub, const std::string& command, DWORD type) {
    uninstall.SetString(sub, "DisplayName", sub);
    uninstall.SetString(sub, "UninstallString", command, type);
  };
  plant("A", "\"%ZVAPPDIR%\\uninst.exe\" /log=\"C:\\ZelvoranMissing\\uninstall.log\"", REG_EXPAND_SZ);
  plant("B", "%ZVAPPDIR%\\uninst.exe /log=C:\\ZelvoranMissing\\uninstall.log", REG_SZ);
  plant("C", "%ZVNOSUCHVAR%\\uninst.exe /log=C:\\ZelvoranMissing\\uninstall.log", REG_EXPAND_SZ);
  plant("D", "\"%ZVAPPDIR%\\gone.exe\" /log=C:\\ZelvoranMissing\\uninstall.log", REG_EXPAND_SZ);
  run.Scan(UninstallSectionUnit::ScanUninstallEntries, uninstall.Path(), uninstall.Root());
  ASSERT_EQ(run.Contents.Count(), 1);
  EXPECT_EQ(run.Contents.GetItem(0).Content.KeyPath, uninstall.FullPath() + "\\D");
  EXPECT_EQ(run.Contents.GetItem(0).Content.Value, "%ZVAPPDIR%\\gone.exe /log=C:\\ZelvoranMissing\\uninstall.log");

  // Both software settings sections; another user's settings are not judged by this user's
  // variables.
  RegSandbox settings, otherUser(HKEY_USERS, ".DEFAULT\\Software\\ZelvoranTest");
  for (const RegSandbox* box : {&settings, &otherUser}) {
    box->SetString("k", "a", "\"%ZVAPPDIR%\\tool.exe\" /config=\"C:\\ZelvoranMissing\\conf.ini\"", REG_EXPAND_SZ);
    box->SetString("k", "b", "%ZVNOSUCHVAR%\\tool.exe /config=C:\\ZelvoranMissing\\conf.ini");
    box->SetString("k", "c", "\"C:\\ZelvoranMissing\\app.exe\" \"%1\" %*");
    box->SetString("k", "d", "%ZVAPPDIR%\\gone\\tool.exe /x", REG_EXPAND_SZ);
  }
  for (const Section* s : {&kMachine, &kUser}) {
    SCOPED_TRACE(s->caption);
    run.Contents.Clear();
    run.Scan(s->scan, settings.Path(), settings.Root());
    run.Scan(s->scan, otherUser.Path(), otherUser.Root());
    EXPECT_EQ(NamesAt(run.Contents, settings.FullPath() + "\\k"), (Texts{"c", "d"}));
    EXPECT_EQ(NamesAt(run.Contents, otherUser.FullPath() + "\\k"), (Texts{"c"}));
    ASSERT_EQ(run.Contents.Count(), 3);
    EXPECT_EQ(run.Contents.GetItem(1).Content.Value, dir + "\\gone\\tool.exe");
  }

  // Application Paths, Font Entries and Help Section.
  EXPECT_FALSE(ApplicationPathsUnit::IsAppPathMissing("%ZVAPPDIR%\\tool.exe", ""));
  EXPECT_FALSE(ApplicationPathsUnit::IsAppPathMissing("%ZVNOSUCHVAR%\\tool.exe", ""));
  EXPECT_TRUE(ApplicationPathsUnit::IsAppPathMissing("%ZVAPPDIR%\\gone.exe", ""));
  EXPECT_FALSE(WindowsFontsUnit::IsFontFileMissing("%ZVAPPDIR%\\font.ttf"));
  EXPECT_TRUE(WindowsFontsUnit::IsFontFileMissing("%ZVAPPDIR%\\gone.ttf"));
  EXPECT_FALSE(HelpSectionUnit::IsHelpFileMissing("%ZVAPPDIR%", "help.hlp"));
  EXPECT_FALSE(HelpSectionUnit::IsHelpFileMissing("%ZVNOSUCHVAR%", "help.hlp"));
  EXPECT_TRUE(HelpSectionUnit::IsHelpFileMissing("%ZVAPPDIR%", "gone.hlp"));
  EXPECT_FALSE(SharedDLLsUnit::IsSharedDllReported("%ZVAPPDIR%\\tool.exe", 1));
}

// A path is judged only while its drive is a fixed drive: a drive unplugged during the scan, a
// letter that does not exist, a CD-ROM or floppy the start-up's list did not know.
TEST(DrivesAway, PathsOnADriveThatIsNotFixedNowAreNotJudged) {
  TScanRun run;
  TempFolder stick("stick");
  TDriveP driveP(stick.Path());
  ASSERT_TRUE(driveP.Plug()) << "Wine's mount manager defines drive P:";
  NonFixedDrives.Items.clear();   // listed before these drives came: every letter was fixed
  ASSERT_TRUE(IsOnFixedDriveNow("P:\\x") && IsOnFixedDriveNow("c:\\x") && IsOnFixedDriveNow("\\x"));
  for (const char* path : {"E:\\x", "F:\\x", "Q:\\x", "\\\\server\\share\\x"}) EXPECT_FALSE(IsOnFixedDriveNow(path)) << path;

  RegSandbox box;
  using Plant = std::pair<const char*, std::string>;
  for (const auto& [name, data] : {Plant{"a", "P:\\ZelvoranGone\\tool.exe /s"}, {"b", "P:\\ZelvoranGone\\Data"},
                                   {"c", "Q:\\ZelvoranGone\\tool.exe"}, {"d", "E:\\setup.exe"}, {"e", "F:\\setup.exe"}})
    box.SetString("k", name, data);
  MakeShortcut(run.Folder.Path() + "links\\stick.lnk", "P:\\ZelvoranGone\\tool.exe");
  MakeShortcut(run.Folder.Path() + "links\\stick folder.lnk", "P:\\ZelvoranGone\\Folder");
  MakeShortcut(run.Folder.Path() + "links\\absent.lnk", "Q:\\ZelvoranGone\\tool.exe");
  MakeShortcut(run.Folder.Path() + "links\\cd.lnk", "E:\\ZelvoranGone\\tool.exe");

  // Every section's judging of one entry, on the drive plugged in and away.
  auto judged = [&] {
    Texts sections;
    if (WindowsFontsUnit::IsFontFileMissing("P:\\ZelvoranGone\\f.ttf")) sections.push_back("fonts");
    if (HelpSectionUnit::IsHelpFileMissing("P:\\ZelvoranGone", "x.hlp")) sections.push_back("help");
    if (SharedDLLsUnit::IsSharedDllReported("P:\\ZelvoranGone\\x.dll", 1)) sections.push_back("dlls");
    if (ApplicationPathsUnit::IsAppPathMissing("P:\\ZelvoranGone\\app.exe", "")) sections.push_back("apppaths");
    if (UninstallSectionUnit::IsUninstallCommandBroken("P:\\ZelvoranGone\\un.exe /S")) sections.push_back("uninstall");
    if (InvalidShortCutsUnit::IsShortcutTargetMissing("P:\\ZelvoranGone\\tool.exe")) sections.push_back("shortcut");
    if (StartUpUnit::IsProgramGroupMissing("P:\\Programs\\", "", "Group")) sections.push_back("startup");
    return sections;
  };
  auto scan = [&] {
    Texts found;
    run.Contents.Clear();
    for (const Section* s : {&kMachine, &kUser}) {
      run.Scan(s->scan, box.Path(), box.Root());
      for (const std::string& n : NamesAt(run.Contents, box.FullPath() + "\\k")) found.push_back(s->caption + (":" + n));
      run.Contents.Clear();
    }
    InvalidShortCutsUnit::ScanShortcutFolder(run.Folder.Path() + "links", 7, &run.CurrentItem, &run.CountLabel,
                                             run.IgnoreList, run.Contents);
    for (int i = 0; i < run.Contents.Count(); ++i) found.push_back(ExtractFileName(run.Contents.GetItem(i).Content.KeyPath));
    return found;
  };

  const Texts all{"fonts", "help", "dlls", "apppaths", "uninstall", "shortcut", "startup"};
  EXPECT_EQ(judged(), all);
  EXPECT_EQ(scan(), (Texts{"System Software Settings:a", "System Software Settings:b", "User Software Settings:a",
                           "User Software Settings:b", "stick folder.lnk", "stick.lnk"}));
  ASSERT_TRUE(driveP.Unplug());
  EXPECT_FALSE(IsOnFixedDriveNow("P:\\x"));
  EXPECT_EQ(judged(), Texts{});
  EXPECT_EQ(scan(), Texts{});
  ASSERT_TRUE(driveP.Plug());
  EXPECT_EQ(judged(), all);
}

// A 32-bit program on 64-bit Windows sees the system folder through the 32-bit view: a program
// the system folder holds only as 64-bit, named in the shared user hive, in an uninstall command
// or by a shortcut, and a program named through %ProgramFiles% as the system's own programs read
// it, are there (test names stay clear of the walk's skip word "system"). Run in both prefixes; the 64-bit run (ctest -L win64) must be under WOW64.
TEST(NativeView, ProgramsTheOwnViewHoldsAreThere) {
  const bool wow64 = RunsUnderWow64();
  if (ExpectedWow64()) ASSERT_TRUE(wow64) << "the 64-bit prefix runs this program under WOW64";
  if (!wow64) std::printf("32-bit system: the system folder has one view; the 64-bit view is tested in ctest -L win64\n");

  TScanRun run;
  const std::string system = GetSystemDir(), name = "zv-" + TestName() + Format("-%u.exe", GetCurrentProcessId());
  // Written through the system's own name for its folder ("Sysnative" for a 32-bit program under
  // WOW64); on a 32-bit system that is the system folder itself.
  const std::string nativeFolder = wow64 ? GetWindowsDir() + "\\Sysnative" : system;
  ASSERT_TRUE(WriteFileBytes(nativeFolder + "\\" + name, "x"));
  const std::string programFiles64 = wow64 ? "C:\\Program Files" : GetProgramFilesDir(0);
  const std::string appFolder = programFiles64 + "\\ZvNative-" + name;
  ForceDirectories(appFolder);
  ASSERT_TRUE(WriteFileBytes(appFolder + "\\app.exe", "x"));
  struct TCleanup {
    std::string a, b, folder;
    ~TCleanup() {
      DeleteFileW(Widen(a).c_str());
      DeleteFileW(Widen(b).c_str());
      RemoveDirectoryW(Widen(folder).c_str());
    }
  } cleanup{nativeFolder + "\\" + name, appFolder + "\\app.exe", appFolder};
  if (wow64) EXPECT_FALSE(FileExists(system + "\\" + name)) << "the 32-bit view does not hold it";

  const std::string program = system + "\\" + name;
  RegSandbox box;
  box.SetString("k", "a", program + " /x");
  box.SetString("k", "b", "\"" + program + "\"");
  box.SetString("k", "c", "%ProgramFiles%\\ZvNative-" + name + "\\app.exe", REG_EXPAND_SZ);
  box.SetString("k", "d", system + "\\zv-gone-" + name + " /x");
  for (const Section* s : {&kMachine, &kUser}) {
    run.Contents.Clear();
    run.Scan(s->scan, box.Path(), box.Root());
    EXPECT_EQ(NamesAt(run.Contents, box.FullPath() + "\\k"), Texts{"d"}) << s->caption;
  }
  EXPECT_FALSE(UninstallSectionUnit::IsUninstallCommandBroken(program + " /S"));
  EXPECT_FALSE(ApplicationPathsUnit::IsAppPathMissing(program, ""));
  EXPECT_FALSE(InvalidShortCutsUnit::IsShortcutTargetMissing(program));
  MakeShortcut(run.Folder.Path() + "Start Menu\\native.lnk", program);
  MakeShortcut(run.Folder.Path() + "Start Menu\\gone.lnk", system + "\\zv-gone-" + name);
  run.Contents.Clear();
  InvalidShortCutsUnit::ScanShortcutFolder(run.Folder.Path() + "Start Menu", 7, &run.CurrentItem, &run.CountLabel,
                                           run.IgnoreList, run.Contents);
  ASSERT_EQ(run.Contents.Count(), 1);
  EXPECT_EQ(ExtractFileName(run.Contents.GetItem(0).Content.KeyPath), "gone.lnk");
}
