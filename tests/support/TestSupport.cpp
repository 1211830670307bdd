#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "framework/ListedEntry.h"
#include "framework/Processes.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"

namespace testing_support {

MessageBoxRecord& MessageBoxes() {
  static MessageBoxRecord record;
  return record;
}

std::vector<std::string> MessageTexts() {
  std::vector<std::string> texts;
  for (const MessageBoxCall& c : MessageBoxes().Calls) texts.push_back(c.text);
  return texts;
}

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "NoTest";
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

RegSandbox::RegSandbox(HKEY root, const std::string& parent, const std::string& suffix)
    : root_(root), path_(parent + "\\" + TestName() + (suffix.empty() ? "" : "_" + suffix)) {
  SHDeleteKeyW(root_, Widen(path_).c_str());
  CreateKey("");
}

RegSandbox::RegSandbox(HKEY root, const ExactPath& path) : root_(root), path_(path.Path) {
  SHDeleteKeyW(root_, Widen(path_).c_str());
  CreateKey("");
}

RegSandbox::~RegSandbox() { SHDeleteKeyW(root_, Widen(path_).c_str()); }

std::string RegSandbox::FullPath() const { return PublicFunctionUnit::RootKeyName(root_) + "\\" + path_; }

static std::string Join(const std::string& a, const std::string& b) { return b.empty() ? a : a + "\\" + b; }

void SetRegValue(HKEY root, const std::string& key, const std::string* name, DWORD type,
                 const std::vector<uint8_t>& data) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExW(root, Widen(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  if (name != nullptr) RegSetValueExW(h, Widen(*name).c_str(), 0, type, data.data(), (DWORD)data.size());
  RegCloseKey(h);
}

void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value, DWORD type) {
  std::wstring w = Widen(value);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(w.c_str());
  SetRegValue(root, key, &name, type, std::vector<uint8_t>(p, p + (w.size() + 1) * 2));
}

bool RegKeyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

bool RegValueExists(HKEY root, const std::string& key, const std::string& name) {
  HKEY h;
  if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  bool found = RegQueryValueExW(h, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(h);
  return found;
}

void RegSandbox::CreateKey(const std::string& sub) const { SetRegValue(root_, Join(path_, sub)); }

void RegSandbox::SetRaw(const std::string& sub, const std::string& name, DWORD type,
                        const std::vector<uint8_t>& data) const {
  SetRegValue(root_, Join(path_, sub), &name, type, data);
}

void RegSandbox::SetString(const std::string& sub, const std::string& name, const std::string& value,
                           DWORD type) const {
  SetRegString(root_, Join(path_, sub), name, value, type);
}

void RegSandbox::SetDword(const std::string& sub, const std::string& name, DWORD value) const {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&value);
  SetRaw(sub, name, REG_DWORD, std::vector<uint8_t>(p, p + 4));
}

bool RegSandbox::KeyExists(const std::string& sub) const { return RegKeyExists(root_, Join(path_, sub)); }

bool RegSandbox::ValueExists(const std::string& sub, const std::string& name) const {
  return RegValueExists(root_, Join(path_, sub), name);
}

std::string RegSandbox::Read(const std::string& sub, const std::string& name) const {
  TRegistry reg(KEY_READ);
  reg.RootKey = root_;
  return reg.OpenKey("\\" + Join(path_, sub), false) && reg.ValueExists(name) ? reg.ReadString(name) : "<none>";
}

void TKeyPermissions::Set(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  HKEY key = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr) &&
      RegOpenKeyExW(root_, Widen(path_).c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS)
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
  else
    ADD_FAILURE() << "cannot set the permissions of " << path_;
  if (key != nullptr) RegCloseKey(key);
  LocalFree(sd);
}

bool DeleteTree(const std::string& folder) {
  std::wstring from = Widen(ExcludeTrailingBackslash(folder));
  from.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  return SHFileOperationW(&op) == 0;
}

namespace {
struct TClassSearch {
  const wchar_t* Name;
  int Count = 0;
  HWND FirstVisible = nullptr;
};

BOOL CALLBACK CountClass(HWND window, LPARAM lp) {
  auto& search = *reinterpret_cast<TClassSearch*>(lp);
  wchar_t name[64];
  if (GetClassNameW(window, name, 64) > 0 && wcscmp(name, search.Name) == 0) {
    ++search.Count;
    if (search.FirstVisible == nullptr && IsWindowVisible(window)) search.FirstVisible = window;
  }
  return TRUE;
}
}  // namespace

int ThreadWindows(const wchar_t* className) {
  TClassSearch search{className};
  EnumThreadWindows(GetCurrentThreadId(), CountClass, reinterpret_cast<LPARAM>(&search));
  return search.Count;
}

HWND ThreadWindow(const wchar_t* className) {
  TClassSearch search{className};
  EnumThreadWindows(GetCurrentThreadId(), CountClass, reinterpret_cast<LPARAM>(&search));
  return search.FirstVisible;
}

TCurrentFolder::TCurrentFolder(const std::string& folder) {
  GetCurrentDirectoryW(MAX_PATH, before_);
  SetCurrentDirectoryW(Widen(folder).c_str());
}

TCurrentFolder::~TCurrentFolder() { SetCurrentDirectoryW(before_); }

namespace {
const wchar_t* const kProgramCopyVariable = L"ZELVORAN_TEST_PROGRAM_COPY";
}  // namespace

bool InProgramCopy() { return GetEnvironmentVariableW(kProgramCopyVariable, nullptr, 0) > 0; }

void RunInProgramCopy(const std::string& folder, const std::vector<std::string>& besides) {
  ASSERT_TRUE(ForceDirectories(folder)) << folder;
  std::string program = IncludeTrailingBackslash(folder) + ExtractFileName(ExeName());
  std::vector<std::string> files = besides;
  files.push_back(ExtractFileName(ExeName()));
  files.push_back("ZvMarker.exe");
  for (const std::string& file : files)
    ASSERT_TRUE(CopyFileW(Widen(ExeDir() + file).c_str(), Widen(IncludeTrailingBackslash(folder) + file).c_str(), FALSE))
        << file;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string report = IncludeTrailingBackslash(folder) + "report.xml";
  std::string line = "\"" + program + "\" --gtest_filter=" + info->test_suite_name() + "." + info->name() +
                     " --gtest_output=xml:\"" + report + "\"";
  SetEnvironmentVariableW(kProgramCopyVariable, L"1");
  DWORD code = 1;
  TRunOutcome outcome = RunHiddenAndWait(line, 60000, code);
  SetEnvironmentVariableW(kProgramCopyVariable, nullptr);
  ASSERT_EQ(outcome, TRunOutcome::Ended) << line;
  EXPECT_EQ(code, 0u) << "the test failed in the copy: " << line;
  std::string xml = FileExists(report) ? ReadFileBytes(report) : std::string();
  EXPECT_NE(xml.find("tests=\"1\" failures=\"0\""), std::string::npos) << "the copy ran no test: " << xml;
}

TPlantedProgram::TPlantedProgram(const std::string& fileName) : file_(fileName) {
  EXPECT_TRUE(InProgramCopy() || !SameText(ExtractFilePath(fileName), ExeDir()))
      << "a look-alike in the folder all test programs share: plant it in a folder of the test's own";
  EXPECT_TRUE(CopyFileW(Widen(ExeDir() + "ZvMarker.exe").c_str(), Widen(file_).c_str(), FALSE)) << file_;
}

TPlantedProgram::~TPlantedProgram() {
  DeleteFileW(Widen(file_).c_str());
  DeleteFileW(Widen(ExtractFilePath(file_) + "cmdline.txt").c_str());
}

bool TPlantedProgram::Ran() const { return FileExists(ExtractFilePath(file_) + "cmdline.txt"); }

// Removes the test's folder entry by entry through exact names: a name the shell would read as
// another entry ("..." as the folder above) never takes anything outside it.
static void RemoveTestFolder(const std::string& path) {
  std::string folder = ExcludeTrailingBackslash(path);
  ListedEntry::DeleteTree(ExtractFilePath(folder), ExtractFileName(folder));
}

TempFolder::TempFolder(const std::string& suffix)
    : path_("C:\\ZelvoranTest\\" + TestName() + (suffix.empty() ? "" : "_" + suffix) + "\\") {
  if (DirectoryExists(path_)) RemoveTestFolder(path_);
  ForceDirectories(path_);
}

TempFolder::~TempFolder() { RemoveTestFolder(path_); }

std::string TempFolder::WriteFile(const std::string& relative, const std::string& content) const {
  std::string full = path_ + relative;
  ForceDirectories(ExtractFilePath(full));
  WriteFileBytes(full, content);
  return full;
}

}  // namespace testing_support
