// Shared helpers of the test programs: sandbox registry keys and folders that clean up after
// themselves, and the record of message boxes the code under test showed.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "framework/Dialogs.h"
#include "framework/Registry.h"

namespace testing_support {

// Every message box shown since the last Clear. Boxes are never really shown in tests: each is
// recorded and answered with NextAnswer (IDOK when unset; reset after each box).
struct MessageBoxRecord {
  std::vector<MessageBoxCall> Calls;
  int NextAnswer = 0;
  std::vector<int> Answers;   // answers for the following boxes, in order; used before NextAnswer
  // Runs while each box is up, as what the user does meanwhile (ends the program, say).
  std::function<void(const MessageBoxCall&)> WhileShown;
  void Clear() {
    Calls.clear();
    NextAnswer = 0;
    Answers.clear();
    WhileShown = nullptr;
  }
};
MessageBoxRecord& MessageBoxes();
// The texts of the boxes recorded.
std::vector<std::string> MessageTexts();

// The name of the running test, "Suite_Name", safe for key and folder names.
std::string TestName();

// A key HKCU\Software\ZelvoranTest\<test name>[\suffix] (or under another root), deleted with
// its subtree before and after the test.
// A key at a fixed path of the prefix (under HKEY_CLASSES_ROOT, the help keys, the user's
// FileExts) is planted the same way: RegSandbox(root, ExactPath{path}).
struct ExactPath {
  std::string Path;
};
class RegSandbox {
 public:
  explicit RegSandbox(HKEY root = HKEY_CURRENT_USER, const std::string& parent = "Software\\ZelvoranTest",
                      const std::string& suffix = "");
  RegSandbox(HKEY root, const ExactPath& path);
  RegSandbox(const RegSandbox&) = delete;
  RegSandbox& operator=(const RegSandbox&) = delete;
  ~RegSandbox();
  HKEY Root() const { return root_; }
  const std::string& Path() const { return path_; }       // below the root, no leading "\"
  std::string FullPath() const;                           // with the root's name
  // Creates root\Path()\sub and sets a value; sub "" is the sandbox key itself.
  void SetString(const std::string& sub, const std::string& name, const std::string& value,
                 DWORD type = REG_SZ) const;
  void SetDword(const std::string& sub, const std::string& name, DWORD value) const;
  void SetRaw(const std::string& sub, const std::string& name, DWORD type, const std::vector<uint8_t>& data) const;
  void CreateKey(const std::string& sub) const;
  bool KeyExists(const std::string& sub) const;
  bool ValueExists(const std::string& sub, const std::string& name) const;
  // The text of a value (as the program reads it), "<none>" when there is none.
  std::string Read(const std::string& sub, const std::string& name) const;

 private:
  HKEY root_;
  std::string path_;
};

// A key's permissions (SDDL) for the length of a scope; everyone has full access again after it,
// so that the sandbox can delete the key.
class TKeyPermissions {
 public:
  TKeyPermissions(HKEY root, const std::string& path, const wchar_t* sddl) : root_(root), path_(path) { Set(sddl); }
  ~TKeyPermissions() { Set(L"D:(A;;KA;;;WD)"); }
  TKeyPermissions(const TKeyPermissions&) = delete;
  TKeyPermissions& operator=(const TKeyPermissions&) = delete;

 private:
  void Set(const wchar_t* sddl);
  HKEY root_;
  std::string path_;
};

// The current folder for the length of a scope.
class TCurrentFolder {
 public:
  explicit TCurrentFolder(const std::string& folder);
  ~TCurrentFolder();

 private:
  wchar_t before_[MAX_PATH] = L"";
};

// The stand-in program (tests/support/marker) copied as fileName: when it runs it writes its
// command line to cmdline.txt in its own folder. The copy is removed with the scope. A look-alike
// is planted only in a folder of the test's own, never in the folder the test programs share
// (other tests start programs while it is there): see RunInProgramCopy.
class TPlantedProgram {
 public:
  explicit TPlantedProgram(const std::string& fileName);
  ~TPlantedProgram();
  bool Ran() const;   // its cmdline.txt exists

 private:
  std::string file_;
};

// A test that needs the program's own folder to itself (to plant a look-alike where a bare name
// finds it first) runs in a copy of the test program in a folder of its own:
//   if (!InProgramCopy()) return RunInProgramCopy(folder.Path());   // the copy runs this test
//   TPlantedProgram planted(ExeDir() + "regedit.exe");                // the copy's own folder
bool InProgramCopy();
// Copies this test program, the stand-in program and the files named in `besides` (of the test
// programs' folder) into folder, runs the running test there and waits for it; a failure of the
// test in the copy fails this test.
void RunInProgramCopy(const std::string& folder, const std::vector<std::string>& besides = {});

// A folder C:\ZelvoranTest\<test name>[_suffix], emptied before and removed after the test.
class TempFolder {
 public:
  explicit TempFolder(const std::string& suffix = "");
  ~TempFolder();
  const std::string& Path() const { return path_; }       // with a trailing "\"
  std::string WriteFile(const std::string& relative, const std::string& content = "x") const;

 private:
  std::string path_;
};

bool DeleteTree(const std::string& folder);

// Creates root\key (and its parents) and, when name is given, sets the value.
void SetRegValue(HKEY root, const std::string& key, const std::string* name = nullptr, DWORD type = REG_NONE,
                 const std::vector<uint8_t>& data = {});
void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value,
                  DWORD type = REG_SZ);
bool RegKeyExists(HKEY root, const std::string& key);
bool RegValueExists(HKEY root, const std::string& key, const std::string& name);

// The windows of the calling thread with the given class (other test programs share the desktop).
int ThreadWindows(const wchar_t* className);
// The first visible one of them (the open pop-up menu: L"#32768"); null when there is none.
HWND ThreadWindow(const wchar_t* className);

// Keeps a global's value (or sets a new one) for the length of a scope and puts the old value
// back at the end, also when an assertion ends the test early:
// `TKeep keep(PublicFunctionUnit::ScanState);`
template <class T>
class TKeep {
 public:
  explicit TKeep(T& global) : global_(global), saved_(global) {}
  TKeep(T& global, T value) : global_(global), saved_(global) { global_ = std::move(value); }
  ~TKeep() { global_ = std::move(saved_); }
  TKeep(const TKeep&) = delete;
  TKeep& operator=(const TKeep&) = delete;

 private:
  T& global_;
  T saved_;
};

}  // namespace testing_support
