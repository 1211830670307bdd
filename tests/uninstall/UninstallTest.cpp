// The uninstaller: the command-line routines, the order of the entries, and the page over entries
// planted under the machine's Uninstall key; the command run is a stand-in that records its
// command line.
#include <gtest/gtest.h>

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
using testing_support::TempFolder;
using TCases = std::vector<std::pair<std::string, std::string>>;

namespace {

const std::string kNA = NotAvailable;

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
           {"", ""}, {":", ":"}, {"::", "::"}, {"@\"", ""}, {"x:", "x:"}})
    EXPECT_EQ(ExtractExecutablePath(command), program) << command;
}

TEST(UninstallCommands, RunAsRegisteredOrProgramQuotedWithEveryArgument) {
  TempFolder temp;
  std::string existing = temp.WriteFile("My App.exe");
  for (const auto& [registered, run] : TCases{
           {"\"C:\\My App\\un.exe\" /x", "\"C:\\My App\\un.exe\" /x"},
           {"  \"%SystemRoot%\\un.exe\" /x", "\"" + PublicFunctionUnit::GetWindowsDir() + "\\un.exe\" /x"},
           {existing, "\"" + existing + "\""},
           {"C:\\Program Files\\App\\unins000.exe /SILENT", "\"C:\\Program Files\\App\\unins000.exe\" /SILENT"},
           {"C:\\Prog\\uninst.exe -f\"C:\\Prog\\x y.isu\"", "\"C:\\Prog\\uninst.exe\" -f\"C:\\Prog\\x y.isu\""},
           {"uninst.exe /path C:\\App\\setup.exe", "uninst.exe /path C:\\App\\setup.exe"},
           {"C:\\uninst\\uninst /x", "\"C:\\uninst\\uninst\" /x"},
           {"unins000.exe", "\"unins000.exe\""}, {"MsiExec.exe /X{1-2}", "MsiExec.exe /X{1-2}"}, {"  ", ""},
           {"\"C:\\W\\RunDll32.exe\" \"a b.dll\",Un 'q'", "C:\\W\\RunDll32.exe a b.dll,Un q"}})
    EXPECT_EQ(GetUninstallCommand(registered), run) << registered;
}

TEST(UninstallCommands, MalformedRegisteredTextsNeitherCrashNorHang) {
  testing_support::TFuzzInputs inputs({"\"C:\\Program Files\\A\\un.exe\" /x", "@%SystemRoot%\\a.dll,-1",
                                       "msiexec.exe /x{1}", "C:\\a b\\c.d:e:f", "20060307", "%ProgramFiles%\\x"});
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
    CopyFileW(Widen(ExeDir() + "ZvUninstallMarker.exe").c_str(), Widen(marker).c_str(), FALSE);
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
    TKernelHandle process = StartCommandLine(commandLine);
    WaitForSingleObject(process.Get(), 10000);
    return process;
  };
  for (const auto& [name, registered, modify, run] : entries) {
    DeleteFileW(Widen(temp.Path() + "My App\\cmdline.txt").c_str());
    page->ListInstalled->SetItemIndex(RowOf(name));
    page->TbtUninstallClick(nullptr);
    EXPECT_EQ(ReadFileBytes(temp.Path() + "My App\\cmdline.txt"), run) << name;
  }
}

}  // namespace
