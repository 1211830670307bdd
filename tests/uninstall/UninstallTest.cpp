// The uninstaller: the command-line routines, the order of the entries, and the page over entries
// planted under the machine's Uninstall key; the command run is a stand-in that records its
// command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <tuple>

#include "framework/Forms.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/Fuzz.h"
#include "support/TestSupport.h"
#include "tools/uninstall/InstalledManageUnit.h"

using namespace UninstallItemUnit;
using testing_support::MessageBoxes;
using testing_support::RegSandbox;
using testing_support::TCurrentFolder;
using testing_support::TKeyPermissions;
using testing_support::TPlantedProgram;
using testing_support::TempFolder;
using TCases = std::vector<std::pair<std::string, std::string>>;

namespace {

const std::string kNA = NotAvailable;
const size_t kMegabyte = 1 << 20;

// The text repeated until it is at least size bytes long.
std::string Repeated(const std::string& text, size_t size) {
  std::string s;
  while (s.size() < size) s += text;
  return s;
}

TEST(UninstallCommands, DatesAreEightDigitsWithAMonthOfTheTable) {
  for (const auto& [date, shown] : TCases{{"20060307", "Mar. 07, 2006"}, {" 20060607\t", "June. 07, 2006"},
                                          {"19991231", "Dec. 31, 1999"}, {"20060007", kNA}, {"20061307", kNA},
                                          {"2006$107", kNA}, {"2006+107", kNA}, {"2006 107", kNA}, {"2006307", kNA},
                                          {"200603070", kNA}, {"", kNA}})
    EXPECT_EQ(FormatInstallDate(date), shown) << date;
}

TEST(UninstallCommands, ProgramPartOfCommandLinesAndIconReferences) {
  std::string windows = PublicFunctionUnit::GetWindowsDir(), system = PublicFunctionUnit::GetSystemDir();
  for (const auto& [command, program] : TCases{
           {"C:\\Program Files\\App\\unins000.exe /SILENT", "C:\\Program Files\\App\\unins000.exe"},
           {"\"C:\\App\\app.exe\",0", "C:\\App\\app.exe"},
           {"@%SystemRoot%\\system32\\x.dll,-1", windows + "\\SYSTEM32\\X.DLL"},
           {"msiexec.exe /x{1-2}", system + "\\msiexec.exe"},
           {"unins000.exe /x", "unins000.exe"}, {"C:\\App\\un.exe /log C:\\x.txt", "C:\\App\\un.exe"}, {"C:\\a.b:c", "C:\\a.b"},
           {"", ""}, {":", ":"}, {"::", ":"}, {"@\"", ""}, {"x:", "x:"}})
    EXPECT_EQ(ExtractExecutablePath(command), program) << command;
}

TEST(UninstallCommands, RunAsRegisteredOrProgramQuotedWithEveryArgument) {
  TempFolder temp;
  TCurrentFolder here(temp.Path());   // a program named without its folder is never taken from here
  std::string msiexec = PublicFunctionUnit::SystemProgram("msiexec.exe");
  std::string rundll32 = PublicFunctionUnit::SystemProgram("rundll32.exe");
  std::string regsvr32 = PublicFunctionUnit::SystemProgram("regsvr32.exe"), cmd = PublicFunctionUnit::SystemProgram("cmd.exe");
  ASSERT_EQ(msiexec, "\"" + PublicFunctionUnit::GetSystemDir() + "\\msiexec.exe\"");
  std::string existing = temp.WriteFile("My App.exe");
  temp.WriteFile("unins000.exe"), temp.WriteFile("uninst.exe"), temp.WriteFile("sub\\un.exe");
  for (const auto& [registered, run] : TCases{
           {"\"C:\\My App\\un.exe\" /x", "\"C:\\My App\\un.exe\" /x"},
           {"  \"%SystemRoot%\\un.exe\" /x", "\"" + PublicFunctionUnit::GetWindowsDir() + "\\un.exe\" /x"},
           {existing, "\"" + existing + "\""},
           {"C:\\Program Files\\App\\unins000.exe /SILENT", "\"C:\\Program Files\\App\\unins000.exe\" /SILENT"},
           {"C:\\Prog\\uninst.exe -f\"C:\\Prog\\x y.isu\"", "\"C:\\Prog\\uninst.exe\" -f\"C:\\Prog\\x y.isu\""},
           {"C:\\uninst\\uninst /x", "\"C:\\uninst\\uninst\" /x"}, {"  ", ""},
           // a program named without its folder: by its full path where the system keeps its
           // programs, else nothing runs (a copy in the current folder never does)
           {"regsvr32.exe /u /s \"C:\\a b\\x.dll\"", regsvr32 + " /u /s \"C:\\a b\\x.dll\""},
           {"\"RegSvr32\" /u x.dll", "\"" + PublicFunctionUnit::GetSystemDir() + "\\RegSvr32.exe\" /u x.dll"},
           {"cmd.exe /c \"C:\\a b\\uninstall.bat\"", cmd + " /c \"C:\\a b\\uninstall.bat\""},
           {"  %ComSpec% /c x.bat", cmd + " /c x.bat"},
           {"unins000.exe", ""}, {"uninst.exe /path C:\\App\\setup.exe", ""}, {"\"uninst.exe\" /x", ""},
           // a path relative to the current folder or drive names nothing that can be run
           {"sub\\un.exe /x", ""}, {"\"sub\\un.exe\" /x", ""}, {".\\unins000.exe", ""}, {"\\unins000.exe", ""},
           {"C:unins000.exe /x", ""}, {"%ZV_UNSET_VARIABLE%\\un.exe /x", ""},
           // msiexec and rundll32 always from the system folder, their arguments as registered
           {"MsiExec.exe /X{1-2}", msiexec + " /X{1-2}"}, {"msiexec", msiexec},
           {"%SystemRoot%\\System32\\MSIEXEC.EXE /x \"{1}\"", msiexec + " /x \"{1}\""},
           {"\"C:\\W\\RunDll32.exe\" \"a b.dll\",Un 'q'", rundll32 + " \"a b.dll\",Un 'q'"},
           {"RunDll32\tC:\\PROGRA~1\\x.dll,Un \"C:\\a b\\s.exe\" -r", rundll32 + " C:\\PROGRA~1\\x.dll,Un \"C:\\a b\\s.exe\" -r"},
           // named only among the arguments: the registered program, quoted, runs
           {"\"C:\\My App\\un.exe\" /msiexec.exe", "\"C:\\My App\\un.exe\" /msiexec.exe"},
           {"C:\\My App\\un.exe /rundll32 'x'", "\"C:\\My App\\un.exe\" /rundll32 'x'"}})
    EXPECT_EQ(GetUninstallCommand(registered), run) << registered;
  // whatever hands it a command line: a program not named by its full path is not started
  for (const char* command : {"cmd /c exit", "\"cmd.exe\" /c exit", "unins000.exe", "", " "}) {
    TStartOutcome started = StartCommandLine(command);
    EXPECT_FALSE(started.Process) << command;
    EXPECT_EQ(started.Error, (DWORD)ERROR_FILE_NOT_FOUND) << command;
  }
}

// The PATH variable of this process for the length of a scope.
class TPathVariable {
 public:
  explicit TPathVariable(const std::string& value) {
    DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    before_.resize(size);
    had_ = size > 0 && GetEnvironmentVariableW(L"PATH", before_.data(), size) < size;
    if (had_) before_.resize(wcslen(before_.c_str()));
    SetEnvironmentVariableW(L"PATH", Widen(value).c_str());
  }
  ~TPathVariable() { SetEnvironmentVariableW(L"PATH", had_ ? before_.c_str() : nullptr); }

 private:
  std::wstring before_;
  bool had_ = false;
};

TEST(UninstallCommands, AProgramNamedWithoutItsFolderIsFoundOnlyWhereTheSystemKeepsItsPrograms) {
  TempFolder temp;
  std::string system = PublicFunctionUnit::GetSystemDir(), windows = PublicFunctionUnit::GetWindowsDir();
  std::string onPath = temp.Path() + "on path;1", relative = temp.Path() + "rel";
  for (const std::string& file : {temp.Path() + "zv_here.exe", onPath + "\\zv_listed.exe", onPath + "\\zv_listed.com",
                                  relative + "\\zv_rel.exe", temp.Path() + "regedit.exe", onPath + "\\a dir.exe\\x"})
    ASSERT_TRUE(ForceDirectories(ExtractFilePath(file)) && !temp.WriteFile(file.substr(temp.Path().size())).empty());
  TCurrentFolder here(temp.Path());
  // the current folder and this program's folder listed in other spellings, a relative entry,
  // one in quotes holding ";", and a variable the system left unexpanded
  TPathVariable path("rel;" + AnsiLowerCase(temp.Path()) + ".;" + ExcludeTrailingBackslash(ExeDir()) + "\\;\"" +
                     onPath + "\";%ZV_UNSET_VARIABLE%;" + windows);
  for (const auto& [name, found] : TCases{
           {"regsvr32.exe", system + "\\regsvr32.exe"}, {"cmd", system + "\\cmd.exe"},
           {"regedit.exe", windows + "\\regedit.exe"},   // the Windows folder's, not the current folder's
           {"zv_listed", onPath + "\\zv_listed.exe"}, {"zv_listed.com", onPath + "\\zv_listed.com"},
           {"zv_here.exe", ""}, {"ZvMarker.exe", ""}, {"zv_rel.exe", ""}, {"a dir.exe", ""}, {"zv_none.exe", ""},
           {"cmd.exe.", ""}, {"cmd.exe ", ""}, {"rel\\zv_rel.exe", ""}, {"..", ""}, {"", ""},
           {std::string(kMegabyte, 'A'), ""}})
    EXPECT_EQ(PublicFunctionUnit::FindProgram(name), found.empty() ? "" : "\"" + found + "\"") << name.substr(0, 40);
  EXPECT_TRUE(FileExists(ExeDir() + "ZvMarker.exe"));   // it is there, beside this program, and was not taken
}

TEST(UninstallCommands, MegabyteTextsAreReadWholeInOnePass) {
  std::string windows = PublicFunctionUnit::GetWindowsDir();
  std::string args = Repeated(" /x \"C:\\a b\\c.log\"", kMegabyte), as(kMegabyte / 2, 'a');
  const std::string quarter(kMegabyte / 4, 'A'), rest(kMegabyte - kMegabyte / 4, 'A');
  for (const auto& [command, program] : TCases{
           // runs of one letter, of separators and of backslashes
           {quarter + "\\" + rest, quarter + "\\" + rest}, {std::string(kMegabyte, 'A'), std::string(kMegabyte, 'A')},
           {std::string(kMegabyte, '\\'), std::string(kMegabyte, '\\')}, {"C:" + std::string(kMegabyte, '\\'), "C:" + std::string(kMegabyte, '\\')},
           {Repeated("a\\", kMegabyte), Repeated("a\\", kMegabyte)}, {Repeated("\\.", kMegabyte), Repeated("\\.", kMegabyte)},
           {std::string(kMegabyte, '.'), std::string(kMegabyte, '.')}, {std::string(kMegabyte, ':'), ":"},
           {"C:\\" + std::string(kMegabyte, 'A') + ":", "C:\\" + std::string(kMegabyte, 'A')},
           {std::string(kMegabyte, ' '), ""}, {std::string(kMegabyte, ','), ""}, {std::string(kMegabyte, '/'), ""},
           {std::string(kMegabyte, '"'), ""}, {"C:\\x\\" + std::string(kMegabyte, ' ') + "y", "C:\\x\\"},
           {"C:\\Program Files\\App\\unins000.exe" + args, "C:\\Program Files\\App\\unins000.exe"},
           {"\"C:\\App\\app.exe\"," + std::string(kMegabyte, '7'), "C:\\App\\app.exe"},
           {"C:\\" + as + as, "C:\\" + as + as},
           // up to the drive letter of a second path: the same cut as on short texts
           {Repeated("C:\\a", kMegabyte), "C:\\aC"},
           {Repeated("@%SystemRoot%\\", kMegabyte), windows + "\\@" + windows.substr(0, 1)},
           {"C:\\" + Repeated("ab.", kMegabyte) + " /x", "C:\\" + Repeated("ab.", kMegabyte)},
           {"a\"" + as + "*" + as, "a" + as}}) {
    std::string found = ExtractExecutablePath(command);
    EXPECT_EQ(found.size(), program.size()) << command.substr(0, 40);
    EXPECT_TRUE(found == program) << command.substr(0, 40);
  }
  // commands too long for the system to expand or start are still taken whole, never cut short
  for (const auto& [registered, run] : TCases{
           {quarter + "\\" + rest, ""}, {std::string(kMegabyte, '\\'), ""}, {std::string(kMegabyte, ':'), ""},
           {std::string(kMegabyte, ' '), ""}, {"C:" + std::string(kMegabyte, '\\'), ""}, {"C:" + Repeated("\\.", 32766), ""},
           {"regsvr32 " + quarter, PublicFunctionUnit::SystemProgram("regsvr32.exe") + " " + quarter},
           {"C:\\App\\un.exe" + args, "\"C:\\App\\un.exe\"" + args},
           {"a\"" + as + "*" + as, ""},   // a program named without its folder, found nowhere
           {"MsiExec.exe /X" + args, PublicFunctionUnit::SystemProgram("msiexec.exe") + " /X" + args}}) {
    std::string command = GetUninstallCommand(registered);
    EXPECT_EQ(command.size(), run.size()) << registered.substr(0, 40);
    EXPECT_TRUE(command == run) << registered.substr(0, 40);
  }
}

TEST(UninstallCommands, MalformedRegisteredTextsNeitherCrashNorHang) {
  testing_support::TFuzzInputs inputs({"\"C:\\Program Files\\A\\un.exe\" /x", "@%SystemRoot%\\a.dll,-1",
                                       "msiexec.exe /x{1}", "C:\\a b\\c.d:e:f", "20060307", "%ProgramFiles%\\x",
                                       "\"RunDll32\" a.dll,U 'q' \"r\"", "un.exe /p C:\\un.exe"});
  for (int i = 0; i < 2000; ++i) {
    std::string text = inputs.Next();
    FormatInstallDate(text), ExtractExecutablePath(text), GetUninstallCommand(text);
  }
}

TEST(UninstallEntries, ExchangeSortOfTrimmedKeysByteByByte) {
  TUninstallContents entries;
  for (const char* name : {" B", "A", "B ", "A", "adobe", "Zip"}) {
    int i = entries.Add();
    entries.GetItem(i).Content = {.DisplayName = name, .KeyName = IntToStr(i + 1)};
  }
  auto order = [&] {
    std::string keys;
    for (int i = 0; i < entries.Count(); ++i) keys += entries.GetItem(i).Content.KeyName;
    return keys;
  };
  entries.Sort(TSortKey::Name, false);
  EXPECT_EQ(order(), "243165");
  entries.Sort(TSortKey::Name, true);
  entries.Delete(-1), entries.Delete(6);
  EXPECT_EQ(order(), "563124");
}


struct UninstallPage : ::testing::Test {
  TempFolder temp;
  std::string marker = temp.Path() + "My App\\unins000.exe";
  std::string tag = " " + testing_support::TestName();
  std::vector<std::unique_ptr<RegSandbox>> keys;
  TFormPtr<TForm> host{new TForm({})};
  TInstalledManageForm* page = nullptr;

  UninstallPage() {
    MessageBoxes().Clear();
    CreateDirectoryW(Widen(temp.Path() + "My App").c_str(), nullptr);
    CopyFileW(Widen(ExeDir() + "ZvMarker.exe").c_str(), Widen(marker).c_str(), FALSE);
  }
  // An entry named name + tag with the given values (name "" for a value of another type).
  const RegSandbox& Plant(const std::string& name, const TCases& values) {
    keys.push_back(std::make_unique<RegSandbox>(HKEY_LOCAL_MACHINE, std::string(UninstallKey).substr(1), name));
    if (!name.empty()) keys.back()->SetString("", "DisplayName", name + tag);
    for (const auto& [value, data] : values) keys.back()->SetString("", value, data);
    return *keys.back();
  }
  void Open() {
    page = new TInstalledManageForm(host.get());
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }
  int RowOf(const std::string& name) {
    for (int i = 0; i < page->ListInstalled->Count(); ++i)
      if (page->ListInstalled->Item(i)->Caption == name + tag) return i;
    return -1;
  }
  // The Uninstall button starts programs for real and the file of each is recorded in images; the
  // system's programs are ended at once (they have nothing to do here), a stand-in planted in the
  // test's folder ends by itself.
  std::vector<std::string> images;
  void RecordStarts() {
    page->StartProgram = [this](const std::string& commandLine) {
      TStartOutcome started = StartCommandLine(commandLine);
      if (!started.Process) return started;
      wchar_t image[MAX_PATH] = L"";
      DWORD size = MAX_PATH;
      if (!QueryFullProcessImageNameW(started.Process.Get(), 0, image, &size)) image[0] = 0;
      images.push_back(AnsiLowerCase(Narrow(image)));
      if (images.back().rfind(AnsiLowerCase(temp.Path()), 0) != 0) TerminateProcess(started.Process.Get(), 0);
      WaitForSingleObject(started.Process.Get(), 10000);
      return started;
    };
  }
  std::vector<std::string> Rows() {   // this test's rows: name|date|publisher
    std::vector<std::string> rows;
    for (int i = 0; i < page->ListInstalled->Count(); ++i)
      if (const TListItem* r = page->ListInstalled->Item(i); r->Caption.ends_with(tag))
        rows.push_back(r->Caption.substr(0, r->Caption.size() - tag.size()) + "|" + r->Text(1) + "|" + r->Text(2));
    return rows;
  }
};

TEST_F(UninstallPage, ListsEntriesWithNameAndTextCommandAndSortsByEachColumnBothWays) {
  Plant("Zip", {{"InstallDate", "20060307"}, {"Publisher", "p"}, {"UninstallString", marker}, {"DisplayVersion", "1.2"}})
      .SetString("Sub", "v", "x");
  Plant("adobe", {{"ParentKeyName", "OperatingSystem"}, {"UninstallString", "x"}, {"InstallDate", "20010101"}, {"Publisher", "q"}});
  Plant("C", {});
  Plant("D", {{"InstallDate", "2006307"}, {"Publisher", "r"}, {"UninstallString", "x"}, {"VersionMajor", "3"}, {"VersionMinor", "4"}});
  Plant("E", {{"DisplayIcon", "\"C:\\ut\\app.exe\",0"}}).SetString("", "UninstallString", "%SystemRoot%\\e.exe", REG_EXPAND_SZ);
  Plant("", {{"UninstallString", "x"}}).SetDword("", "DisplayName", 1);
  Plant("G", {}).SetRaw("", "UninstallString", REG_BINARY, {0x41, 0, 0, 0});
  Open();
  using TRows = std::vector<std::string>;
  std::string z = "Zip|Mar. 07, 2006|p", a = "adobe|Jan. 01, 2001|q", d = "D|NOT AVAILABLE|r", n = "E||";
  EXPECT_EQ(Rows(), (TRows{d, n, z}));
  EXPECT_EQ(page->ListInstalled->ColumnWidth(2), page->ListInstalled->Width() - 240 - 90 - 20);
  const TContent& e = page->Entries().GetItem(RowOf("E")).Content;
  EXPECT_EQ(e.IconPath + "|" + e.Version + "|" + page->Entries().GetItem(RowOf("D")).Content.Version, "C:\\ut\\app.exe|NOT AVAILABLE|34");
  page->ShowWindowsUpdate->SetChecked(true);
  EXPECT_EQ(Rows(), (TRows{d, n, z, a}));
  for (const auto& [column, rows] : std::vector<std::pair<int, TRows>>{
           {0, {a, z, n, d}}, {1, {a, z, d, n}}, {1, {n, d, z, a}}, {2, {n, z, a, d}}, {2, {d, a, z, n}}, {0, {d, n, z, a}}}) {
    page->ListInstalledColumnClick(column);
    EXPECT_EQ(Rows(), rows) << column;
  }
  auto details = [&] {
    return page->abProgramName->Caption() + "|" + page->abVersion->Caption() + "|" + page->abPublisher->Caption() +
           (page->caVersion->Visible() ? "|shown" : "") + (page->abInstruct1->Visible() ? "|instructions" : "");
  };
  page->ListInstalled->SetItemIndex(RowOf("Zip"));
  EXPECT_EQ(details(), "Zip" + tag + "|1.2|p|shown");
  page->ListInstalled->SetItemIndex(-1);
  EXPECT_EQ(details(), "Instructions|||instructions");
}

TEST_F(UninstallPage, RemoveDeletesTheKeyTreeOnlyAfterYes) {
  const RegSandbox& zip = Plant("Zip", {{"UninstallString", marker}});
  zip.SetString("Sub", "v", "x");
  Open();
  page->TbrRemoveClick(nullptr);
  page->TbtUninstallClick(nullptr);
  ASSERT_EQ(MessageBoxes().Calls.size(), 2u);
  for (const MessageBoxCall& box : MessageBoxes().Calls)
    EXPECT_EQ(box.text + "|" + IntToStr(box.flags), "Please select one application to continue this operation.|48");
  page->ListInstalled->SetItemIndex(RowOf("Zip"));
  MessageBoxes().Answers = {IDNO, IDYES};
  page->TbrRemoveClick(nullptr);
  EXPECT_TRUE(zip.KeyExists("Sub"));
  EXPECT_EQ(Rows().size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[2].flags, 308u);
  EXPECT_EQ(MessageBoxes().Calls[2].text,
            "Warning: It is going to remove the registry information of \"Zip" + tag + "\". After removing, you won't be "
            "able to uninstall this program through \"Add or Remove programs\" in the Control Panel of your system.\rAre "
            "you sure to continue this operation?\r\rSuggestion: Please try uninstalling operation before carrying out "
            "this operation.");
  page->TbrRemoveClick(nullptr);
  EXPECT_FALSE(zip.KeyExists(""));
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(page->ListInstalled->Count(), page->Entries().Count());
}

// Key names a path parser would fold or cut ("..", ".", a trailing dot or blank): the registry
// takes each as it stands, so Remove deletes exactly the entry listed and nothing above or beside it.
TEST_F(UninstallPage, RemoveDeletesExactlyTheListedKeyWhateverItsName) {
  const std::string uninstall = std::string(UninstallKey).substr(1);
  const std::vector<std::pair<std::string, std::string>> odd{{"..", "Up"}, {".", "Here"}, {"zv dot. ", "Trailing"}};
  std::vector<std::unique_ptr<RegSandbox>> entries;
  for (const auto& [key, name] : odd) {
    entries.push_back(std::make_unique<RegSandbox>(HKEY_LOCAL_MACHINE, testing_support::ExactPath{uninstall + "\\" + key}));
    entries.back()->SetString("", "DisplayName", name + tag);
    entries.back()->SetString("", "UninstallString", marker);
  }
  const RegSandbox& kept = Plant("Kept", {{"UninstallString", marker}});
  entries.push_back(std::make_unique<RegSandbox>(HKEY_LOCAL_MACHINE, testing_support::ExactPath{uninstall + "\\zv dot"}));
  Open();
  for (size_t i = 0; i < odd.size(); ++i) {
    page->ListInstalled->SetItemIndex(RowOf(odd[i].second));
    MessageBoxes().Answers = {IDYES};
    page->TbrRemoveClick(nullptr);
    EXPECT_FALSE(entries[i]->KeyExists("")) << odd[i].first;
    for (size_t j = i + 1; j < entries.size(); ++j) EXPECT_TRUE(entries[j]->KeyExists("")) << odd[i].first;
    EXPECT_TRUE(kept.KeyExists(""));
  }
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Kept||"}));
}

TEST_F(UninstallPage, UninstallRunsTheRegisteredCommandWithItsArguments) {
  std::string quoted = "\"" + marker + "\"";
  const std::vector<std::tuple<std::string, std::string, std::string, std::string>> entries{
      {"Plain", marker + " /x /log=\"a b.txt\"", "", quoted + " /x /log=\"a b.txt\""},
      {"Quoted", quoted + " /q", "", quoted + " /q"},
      {"Norton", marker + " /n", "", quoted + " /n"},   // no modify command: the uninstall command
      {"Symantec", "x", marker + " /modify", quoted + " /modify"}};
  for (const auto& [name, registered, modify, run] : entries)
    Plant(name, {{"UninstallString", registered}}).SetString("", modify.empty() ? "Other" : "ModifyPath", modify);
  Open();
  page->StartProgram = [](const std::string& commandLine) {   // the real start, then its end awaited
    TStartOutcome started = StartCommandLine(commandLine);
    WaitForSingleObject(started.Process.Get(), 10000);
    return started;
  };
  for (const auto& [name, registered, modify, run] : entries) {
    DeleteFileW(Widen(temp.Path() + "My App\\cmdline.txt").c_str());
    page->ListInstalled->SetItemIndex(RowOf(name));
    page->TbtUninstallClick(nullptr);
    EXPECT_EQ(ReadFileBytes(temp.Path() + "My App\\cmdline.txt"), run) << name;
  }
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

TEST_F(UninstallPage, MsiexecAndRundll32RunFromTheSystemFolderNeverACopyInTheCurrentFolder) {
  TPlantedProgram msiexec(temp.Path() + "msiexec.exe"), rundll32(temp.Path() + "rundll32.exe");
  Plant("Msi", {{"UninstallString", "MsiExec.exe /X{5C0D1B8E-0000-4000-8000-00000000ZV01}"}});
  Plant("Dll", {{"UninstallString", "RunDll32 zv_none.dll,Uninstall \"C:\\a b\""}});
  TCurrentFolder here(temp.Path());
  Open();
  RecordStarts();
  for (const char* name : {"Msi", "Dll"}) {
    page->ListInstalled->SetItemIndex(RowOf(name));
    page->TbtUninstallClick(nullptr);
  }
  std::string system = AnsiLowerCase(PublicFunctionUnit::GetSystemDir());
  EXPECT_EQ(images, (std::vector<std::string>{system + "\\msiexec.exe", system + "\\rundll32.exe"}));
  EXPECT_FALSE(msiexec.Ran() || rundll32.Ran());
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

// The system's uninstallers get their arguments as registered: a path with blanks stays one
// argument in its quotes, so the uninstaller finds what it is to remove. Nothing is started.
TEST_F(UninstallPage, MsiexecAndRundll32GetTheirArgumentsAsRegistered) {
  const std::string msiexec = PublicFunctionUnit::SystemProgram("msiexec.exe");
  const std::string rundll32 = PublicFunctionUnit::SystemProgram("rundll32.exe");
  const std::string setup =
      " C:\\PROGRA~1\\COMMON~1\\INSTAL~1\\PROFES~1\\RunTime\\11\\50\\Intel32\\Ctor.dll,LaunchSetup "
      "\"C:\\Program Files\\InstallShield Installation Information\\{5C0D1B8E-0000-4000-8000-00000000ZV02}\\setup.exe\" "
      "-l0x9 -removeonly";
  const std::vector<std::tuple<std::string, std::string, std::string>> entries{
      {"Setup", "RunDll32" + setup, rundll32 + setup},
      {"Package", "MsiExec.exe /x \"C:\\Program Files\\My App\\app.msi\"",
       msiexec + " /x \"C:\\Program Files\\My App\\app.msi\""},
      {"Property", "MsiExec.exe /X{5C0D1B8E-0000-4000-8000-00000000ZV01} REBOOT=\"ReallySuppress\" /qb",
       msiexec + " /X{5C0D1B8E-0000-4000-8000-00000000ZV01} REBOOT=\"ReallySuppress\" /qb"},
      {"Quoted", "\"C:\\Windows\\System32\\rundll32.exe\" \"C:\\Program Files\\Common Files\\x y.dll\",Uninstall 'App'",
       rundll32 + " \"C:\\Program Files\\Common Files\\x y.dll\",Uninstall 'App'"},
      {"Expanded", "msiexec.exe /x \"%SystemRoot%\\Installer\\a b.msi\"",
       msiexec + " /x \"" + PublicFunctionUnit::GetWindowsDir() + "\\Installer\\a b.msi\""}};
  for (const auto& [name, registered, run] : entries) Plant(name, {{"UninstallString", registered}});
  Open();
  std::vector<std::string> started;
  page->StartProgram = [&](const std::string& commandLine) {   // recorded, not run
    started.push_back(commandLine);
    return TStartOutcome{.Process = TKernelHandle(OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId()))};
  };
  std::vector<std::string> expected;
  for (const auto& [name, registered, run] : entries) {
    page->ListInstalled->SetItemIndex(RowOf(name));
    page->TbtUninstallClick(nullptr);
    expected.push_back(run);
  }
  EXPECT_EQ(started, expected);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

// Look-alikes of system programs (and of uninstallers named without their folder) in the current
// folder, in PATH entries that are relative or that name the current folder, and this program
// beside the test program: none of them runs. The system's own programs run by their full path;
// a program found nowhere is reported as not started, with the command as registered.
TEST_F(UninstallPage, ProgramsNamedWithoutTheirFolderRunOnlyFromWhereTheSystemKeepsItsPrograms) {
  std::string onPath = temp.Path() + "on path\\", relative = temp.Path() + "rel\\";
  ASSERT_TRUE(ForceDirectories(onPath) && ForceDirectories(relative));
  std::vector<std::unique_ptr<TPlantedProgram>> lookAlikes;
  for (const std::string& file : {temp.Path() + "regsvr32.exe", temp.Path() + "cmd.exe", temp.Path() + "zv_lookalike.exe",
                                  relative + "zv_lookalike.exe", relative + "cmd.exe"})
    lookAlikes.push_back(std::make_unique<TPlantedProgram>(file));
  TPlantedProgram listed(onPath + "zv_onpath.exe");
  TCurrentFolder here(temp.Path());
  TPathVariable path("rel;" + temp.Path() + ";" + ExeDir() + ";" + onPath + ";" + PublicFunctionUnit::GetSystemDir());
  const std::vector<std::pair<std::string, std::string>> entries{
      {"Reg", "regsvr32.exe /u /s \"C:\\zv none\\x.dll\""}, {"Cmd", "cmd /c \"C:\\zv none\\uninstall.bat\""},
      {"Quoted", "\"RegSvr32.exe\" /u zv_none.dll"},         {"Listed", "zv_onpath.exe /x"},
      {"Nowhere", "zv_lookalike.exe /x"},                      {"Beside", "ZvMarker.exe /x"},
      {"Relative", "rel\\cmd.exe /c x.bat"}};
  for (const auto& [name, registered] : entries) Plant(name, {{"UninstallString", registered}});
  Open();
  RecordStarts();
  for (const auto& [name, registered] : entries) {
    page->ListInstalled->SetItemIndex(RowOf(name));
    page->TbtUninstallClick(nullptr);
  }
  std::string system = AnsiLowerCase(PublicFunctionUnit::GetSystemDir());
  EXPECT_EQ(images, (std::vector<std::string>{system + "\\regsvr32.exe", system + "\\cmd.exe", system + "\\regsvr32.exe",
                                              AnsiLowerCase(onPath) + "zv_onpath.exe"}));
  for (const auto& planted : lookAlikes) EXPECT_FALSE(planted->Ran());
  EXPECT_EQ(ReadFileBytes(onPath + "cmdline.txt"), "\"" + onPath + "zv_onpath.exe\" /x");
  const std::string notFound = SystemErrorText(ERROR_FILE_NOT_FOUND);
  std::vector<std::string> shown;
  for (const MessageBoxCall& box : MessageBoxes().Calls) shown.push_back(box.text + "|" + IntToStr(box.flags));
  std::vector<std::string> expected;
  for (const auto& [name, registered] : std::vector(entries.begin() + 4, entries.end()))
    expected.push_back("The uninstaller of \"" + name + tag + "\" could not be started.\r\rReason: " + notFound +
                       "\rCommand: " + registered + "|48");
  EXPECT_EQ(shown, expected);
}

// An entry's icon comes from the file it names by its full path, or from the system's program it
// names without a folder: never from a file of the current folder, nor from another file than
// the one named (a name the system would read without its trailing dot).
TEST_F(UninstallPage, IconsAreReadOnlyFromTheFileTheEntryNames) {
  CopyFileW(Widen(marker).c_str(), Widen(temp.Path() + "zv_icon.exe").c_str(), FALSE);
  TCurrentFolder here(temp.Path());
  const std::vector<std::pair<std::string, bool>> icons{
      {marker, true}, {"regsvr32.exe", true}, {"\"" + marker + "\",0", true},
      {"zv_icon.exe", false}, {"My App\\unins000.exe", false}, {marker + ".", false}, {marker + "\\..", false},
      {"C:" + std::string(MAX_PATH, '\\') + "x.exe", false}};
  for (size_t i = 0; i < icons.size(); ++i) Plant("I" + IntToStr(i), {{"UninstallString", "x"}, {"DisplayIcon", icons[i].first}});
  Open();
  for (size_t i = 0; i < icons.size(); ++i)
    EXPECT_EQ(page->Entries().GetItem(RowOf("I" + IntToStr(i))).ImageIndex >= 0, icons[i].second) << icons[i].first;
}

TEST_F(UninstallPage, UninstallerThatCannotStartIsReportedWithTheSystemsReason) {
  std::string gone = temp.Path() + "My App\\gone.exe", text = temp.WriteFile("My App\\readme.exe", "not a program");
  Plant("Gone", {{"UninstallString", gone + " /x"}});
  Plant("Text", {{"UninstallString", "\"" + text + "\""}});
  Plant("Blank", {{"UninstallString", " "}});
  Open();
  for (const char* name : {"Gone", "Text", "Blank"}) {
    page->ListInstalled->SetItemIndex(RowOf(name));
    page->TbtUninstallClick(nullptr);
  }
  const std::string notFound = SystemErrorText(ERROR_FILE_NOT_FOUND), badFormat = SystemErrorText(ERROR_BAD_EXE_FORMAT, text);
  for (const std::string& reason : {notFound, badFormat}) {
    EXPECT_FALSE(reason.empty() || reason.starts_with("System error") || reason.find("%1") != std::string::npos) << reason;
    EXPECT_FALSE(reason.ends_with("\n")) << reason;
  }
  auto message = [&](const std::string& name, const std::string& reason, const std::string& command) {
    return "The uninstaller of \"" + name + tag + "\" could not be started.\r\rReason: " + reason + "\rCommand: " + command + "|48";
  };
  std::vector<std::string> shown;
  for (const MessageBoxCall& box : MessageBoxes().Calls) shown.push_back(box.text + "|" + IntToStr(box.flags));
  EXPECT_EQ(shown, (std::vector<std::string>{message("Gone", notFound, "\"" + gone + "\" /x"),
                                             message("Text", badFormat, "\"" + text + "\""),
                                             message("Blank", notFound, "")}));
}

TEST_F(UninstallPage, RemoveThatFailsSaysWhyAndKeepsTheEntry) {
  const RegSandbox& locked = Plant("Locked", {{"UninstallString", marker}});
  locked.SetString("Sub", "v", "x");
  // no one may open the subkey (so neither delete it), only change its permissions
  TKeyPermissions deny(locked.Root(), locked.Path() + "\\Sub", L"D:(A;;WD;;;WD)");
  Open();
  page->ListInstalled->SetItemIndex(RowOf("Locked"));
  MessageBoxes().Answers = {IDYES};
  page->TbrRemoveClick(nullptr);
  ASSERT_EQ(MessageBoxes().Calls.size(), 2u);
  EXPECT_EQ(MessageBoxes().Calls[1].text + "|" + IntToStr(MessageBoxes().Calls[1].flags),
            "The registry information of \"Locked" + tag + "\" could not be removed.\r\rReason: " +
                SystemErrorText(ERROR_ACCESS_DENIED) + "|48");
  EXPECT_EQ(locked.Read("", "UninstallString"), marker);
  EXPECT_EQ(Rows().size(), 1u);
  EXPECT_EQ(page->ListInstalled->Count(), page->Entries().Count());
}

}  // namespace
