// How the scanners judge the paths the registry and shortcuts name, against the data real
// systems hold: command lines with relative paths among their arguments and names with "_", "-"
// or letters outside ASCII, environment strings, drives that are away, and (in the 64-bit
// prefix, ctest -L win64) a 32-bit program on 64-bit Windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "framework/Handles.h"
#include "framework/StringList.h"
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
#include "support/PluggedDrive.h"
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

// A shell-link class standing in for the system's in this process, registered in COM's class
// table for CLSID_ShellLink while it lives. It loads a "shortcut" whose file holds the target
// text as a 64-bit installer's shortcut stores it ("%ProgramFiles%\\App\\app.exe"), and answers
// GetPath as Windows does: the text as stored for SLGP_RAWPATH, else expanded with this process's
// environment (a 32-bit program's "%ProgramFiles%" is the 32-bit folder). Wine's own shell link
// keeps no such environment-string target.
class TStoredTargetLink : public IShellLinkW, public IPersistFile {
 public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IShellLinkW) *out = static_cast<IShellLinkW*>(this);
    else if (iid == IID_IPersistFile || iid == IID_IPersist) *out = static_cast<IPersistFile*>(this);
    else return *out = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  // IShellLinkW: only the target is read
  HRESULT STDMETHODCALLTYPE GetPath(LPWSTR file, int size, WIN32_FIND_DATAW*, DWORD flags) override {
    std::wstring path = Widen(stored_);
    if (!(flags & SLGP_RAWPATH)) {
      wchar_t expanded[MAX_PATH] = {};
      ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH);
      path = expanded;
    }
    if (size <= 0) return E_INVALIDARG;
    lstrcpynW(file, path.c_str(), size);
    return path.empty() ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR, int, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR) override { return E_NOTIMPL; }
  // IPersistFile: the file's text is the stored target
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override { return *id = CLSID_ShellLink, S_OK; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR file, DWORD) override {
    try {
      stored_ = ReadFileBytes(Narrow(file));
      return S_OK;
    } catch (...) {
      return E_FAIL;
    }
  }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }

 private:
  ULONG refs_ = 1;
  std::string stored_;
};

class TStoredTargetLinks : public IClassFactory {
 public:
  TStoredTargetLinks() {
    registered_ = SUCCEEDED(CoRegisterClassObject(CLSID_ShellLink, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                                  &cookie_));
  }
  ~TStoredTargetLinks() {
    if (registered_) CoRevokeClassObject(cookie_);
  }
  TStoredTargetLinks(const TStoredTargetLinks&) = delete;
  TStoredTargetLinks& operator=(const TStoredTargetLinks&) = delete;
  bool Registered() const { return registered_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return *out = nullptr, E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }    // lives with the scope
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer != nullptr) return *out = nullptr, CLASS_E_NOAGGREGATION;
    auto* link = new TStoredTargetLink();
    HRESULT result = link->QueryInterface(iid, out);
    link->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  DWORD cookie_ = 0;
  bool registered_ = false;
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
  TPluggedDrive driveP('P', stick.Path());
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

  // A 64-bit installer's shortcuts name the program by "%ProgramFiles%": the target is read as
  // the shortcut holds it and judged in every reading, as the registry's paths are. An exclusion
  // an earlier version wrote (the target expanded by this program) still holds.
  TStoredTargetLinks links;
  ASSERT_TRUE(links.Registered());
  const std::string stored = "%ProgramFiles%\\ZvNative-" + name;
  run.Folder.WriteFile("Programs\\native.lnk", stored + "\\app.exe");
  run.Folder.WriteFile("Programs\\gone.lnk", stored + "\\gone.exe");
  run.Folder.WriteFile("Programs\\excluded.lnk", stored + "\\excluded.exe");
  std::string expanded;
  ASSERT_TRUE(PathJudgeUnit::ExpandEnvironment(stored + "\\excluded.exe", expanded));
  run.Ignore(InvalidShortCutsUnit::SectionCaption, run.Folder.Path() + "Programs\\excluded.lnk", expanded);
  EXPECT_EQ(InvalidShortCutsUnit::GetShortcutTarget(run.Folder.Path() + "Programs\\native.lnk"), stored + "\\app.exe");
  run.Contents.Clear();
  InvalidShortCutsUnit::ScanShortcutFolder(run.Folder.Path() + "Programs", 7, &run.CurrentItem, &run.CountLabel,
                                           run.IgnoreList, run.Contents);
  ASSERT_EQ(run.Contents.Count(), 1);
  EXPECT_EQ(ExtractFileName(run.Contents.GetItem(0).Content.KeyPath), "gone.lnk");
  EXPECT_EQ(run.Contents.GetItem(0).Content.ValueName, stored + "\\gone.exe");
}

// A path the system's file routines do not take as it stands (MAX_PATH characters or more) cannot
// be judged: it is never reported, and a megabyte of "\." segments, which the system would fold
// one at a time, is read in one pass by the settings sections and the command-line reading.
TEST(LongPaths, APathTooLongToJudgeIsNeverReported) {
  TScanRun run;
  RegSandbox box;
  const std::string dir = run.Folder.Path();
  const std::string deep = dir + std::string(300, 'd') + "\\gone.exe";
  std::string dots = "C:";
  while (dots.size() < (1u << 20)) dots += "\\.";
  using Plant = std::pair<const char*, std::string>;
  for (const auto& [name, data] : {Plant{"deep", deep}, {"deepArgs", deep + " /s"}, {"dots", dots + "\\gone.exe"},
                                   {"short", dir + "gone.exe"}})
    box.SetString("Long", name, data);
  const std::string key = box.FullPath() + "\\Long";
  for (const Section* s : {&kMachine, &kUser}) {
    SCOPED_TRACE(s->caption);
    run.Contents.Clear();
    run.Scan(s->scan, box.Path(), box.Root());
    EXPECT_EQ(NamesAt(run.Contents, key), (Texts{"short"}));
  }
  EXPECT_EQ(PathJudgeUnit::ReadProgramPath(dots + "\\gone.exe /s"), dots + "\\gone.exe");
  EXPECT_FALSE(PathJudgeUnit::FileMissing(deep));
  EXPECT_TRUE(PathJudgeUnit::FileMissing(dir + "gone.exe"));
  EXPECT_FALSE(SharedDLLsUnit::IsSharedDllReported(deep, 1));
}

namespace {
// The look-ups answer for a path holding one of these marks as the system answers for a file it
// may not look at, one another program holds open (the paging file), a share that does not answer
// and a drive that is not ready; every other path as the system does. Wine answers none of them
// for a plain file.
const std::pair<const char*, DWORD> kRefusals[] = {{"ZVDENIED", ERROR_ACCESS_DENIED},
                                                   {"ZVBUSY", ERROR_SHARING_VIOLATION},
                                                   {"ZVNONET", ERROR_BAD_NETPATH},
                                                   {"ZVNOTREADY", ERROR_NOT_READY}};

DWORD WINAPI RefusingLookUp(LPCWSTR path) {
  std::string upper = AnsiUpperCase(Narrow(path));
  for (const auto& [mark, error] : kRefusals)
    if (upper.find(mark) != std::string::npos) {
      SetLastError(error);
      return INVALID_FILE_ATTRIBUTES;
    }
  return GetFileAttributesW(path);
}

class TRefusingLookUps {
 public:
  TRefusingLookUps() { SetAttributesReader(RefusingLookUp); }
  ~TRefusingLookUps() { SetAttributesReader(nullptr); }
  TRefusingLookUps(const TRefusingLookUps&) = delete;
  TRefusingLookUps& operator=(const TRefusingLookUps&) = delete;
};

// The sections whose judging reports a path (or program) in folder.
Texts SectionsReporting(const std::string& folder) {
  using TKind = SystemSoftWareSettingUnit::TValueVerdict::TKind;
  Texts sections;
  auto add = [&](bool reported, const char* section) {
    if (reported) sections.push_back(section);
  };
  add(WindowsFontsUnit::IsFontFileMissing(folder + "\\f.ttf"), "fonts");
  add(HelpSectionUnit::IsHelpFileMissing(folder, "x.hlp"), "help");
  add(SharedDLLsUnit::IsSharedDllReported(folder + "\\x.dll", 1), "dlls");
  add(ApplicationPathsUnit::IsAppPathMissing(folder + "\\app.exe", ""), "apppaths");
  add(UninstallSectionUnit::IsUninstallCommandBroken(folder + "\\un.exe /S"), "uninstall");
  add(InvalidShortCutsUnit::IsShortcutTargetMissing(folder + "\\tool.exe"), "shortcut");
  add(StartUpUnit::IsProgramGroupMissing(folder + "\\Programs\\", "", "Group"), "startup");
  for (const auto* walk : {&SystemSoftWareSettingUnit::SystemWalk, &UserSoftWareSettings::UserWalk}) {
    auto judge = [&](const std::string& data) {
      return SystemSoftWareSettingUnit::JudgeValueData(*walk, HKEY_CURRENT_USER, "Software\\ZelvoranTest", data).Kind;
    };
    add(judge(folder + "\\tool.exe /s") == TKind::MissingProgram, "settings program");
    add(judge(folder + "\\Data") == TKind::MissingPath, "settings path");
  }
  return sections;
}

}  // namespace

// Only "file not found" and "path not found" say that nothing is there: a look-up refused for
// any other reason (access denied, a sharing violation, a network error, a drive not ready)
// leaves the path unjudged in every section.
TEST(LookUps, AnAnswerOtherThanNotFoundLeavesThePathUnjudged) {
  TScanRun run;
  TRefusingLookUps refusing;
  const std::string dir = run.Folder.Path();
  EXPECT_EQ(SectionsReporting(dir + "zvgone"),
            (Texts{"fonts", "help", "dlls", "apppaths", "uninstall", "shortcut", "startup", "settings program",
                   "settings path", "settings program", "settings path"}));
  for (const auto& [mark, error] : kRefusals) {
    EXPECT_EQ(SectionsReporting(dir + mark), Texts{}) << mark;
    EXPECT_EQ(ScanLookUp(dir + mark + "\\x.exe"), TPathLook::Unknown) << mark;
  }
  EXPECT_EQ(ScanLookUp(dir + "zvgone\\x.exe"), TPathLook::Absent);
  EXPECT_EQ(ScanLookUp(run.Folder.WriteFile("there.exe")), TPathLook::File);
  EXPECT_EQ(ScanLookUp(ExcludeTrailingBackslash(dir)), TPathLook::Folder);
  EXPECT_EQ(ScanLookUp(""), TPathLook::Unknown);

  // A whole scan keeps the answer for the length of the scan, refusals included.
  RegSandbox uninstall;
  uninstall.SetString("Denied", "UninstallString", dir + "ZvDenied\\un.exe /S");
  uninstall.SetString("Gone", "UninstallString", dir + "ZvGone\\un.exe /S");
  TScanFileChecks scan;
  run.Scan(UninstallSectionUnit::ScanUninstallEntries, uninstall.Path(), uninstall.Root());
  ASSERT_EQ(run.Contents.Count(), 1);
  EXPECT_EQ(run.Contents.GetItem(0).Content.KeyPath, uninstall.FullPath() + "\\Gone");
}

// A program that is there at a path of MAX_PATH characters or more cannot be judged: no section
// reports it, an uninstall command naming it (quoted or not) included.
TEST(LongPaths, AProgramThereAtALongPathIsNeverReported) {
  TScanRun run;
  const std::string base = run.Folder.Path() + std::string(120, 'a') + "\\" + std::string(120, 'b') + "\\";
  const std::string name = "uninstall.exe";
  ASSERT_LT(base.size() + 10 + name.size(), 375u);
  const std::string folder = base + std::string(375 - base.size() - 1 - name.size(), 'c');
  const std::string program = folder + "\\" + name;
  ASSERT_EQ(program.size(), 375u);
  for (const std::string& level : {base.substr(0, base.size() - 122), base.substr(0, base.size() - 1), folder})
    CreateDirectoryW(Widen("\\\\?\\" + level).c_str(), nullptr);
  {
    TKernelHandle file(CreateFileW(Widen("\\\\?\\" + program).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file) << "the program is written through \"\\\\?\\\"";
  }

  RegSandbox uninstall;
  uninstall.SetString("Quoted", "UninstallString", "\"" + program + "\" /S");
  uninstall.SetString("Bare", "UninstallString", program);
  run.Scan(UninstallSectionUnit::ScanUninstallEntries, uninstall.Path(), uninstall.Root());
  EXPECT_EQ(run.Contents.Count(), 0);
  EXPECT_FALSE(UninstallSectionUnit::IsUninstallCommandBroken(program + " /S"));
  EXPECT_FALSE(ApplicationPathsUnit::IsAppPathMissing(program, ""));
  EXPECT_FALSE(WindowsFontsUnit::IsFontFileMissing(program));
  EXPECT_FALSE(HelpSectionUnit::IsHelpFileMissing(folder, name));
  EXPECT_FALSE(InvalidShortCutsUnit::IsShortcutTargetMissing(program));
  EXPECT_FALSE(SharedDLLsUnit::IsSharedDllReported(program, 1));
  EXPECT_EQ(ScanLookUp(program), TPathLook::Unknown);
}
