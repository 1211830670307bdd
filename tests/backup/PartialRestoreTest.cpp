// The restore of a repair's backup reads the script as the importer does and hands the importer
// the canonical lines of what it compared, written beside the backup and held against writing
// until the import is checked; what cannot be written back is named once; each step is told.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "app/RegBackupUnit.h"
#include "framework/Handles.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/HeldFile.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"

using namespace testing_support;
using RegBackupUnit::TRestoreResult;

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00";
const std::string kNotRestored = "The registry was not restored completely!\r\r";

// What the importer was handed.
struct THandOver {
  std::string File;
  bool Writable = true;    // another program could open it for writing meanwhile
  bool Deletable = true;   // or delete it
  std::string Text;        // its text, when it is UTF-16
};

using TImporter = std::function<bool(const std::string& fileName, DWORD& exitCode)>;

struct PartialRestore : ::testing::Test {
  RegSandbox box;
  TempFolder temp;
  std::vector<THandOver> handed;
  TImporter real = RegBackupUnit::RunImport;
  TKeep<TImporter> importer{RegBackupUnit::RunImport, [this](const std::string& file, DWORD& code) {
                              THandOver hand{.File = file};
                              TKernelHandle writer(CreateFileW(Widen(file).c_str(), GENERIC_WRITE,
                                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                               nullptr, OPEN_EXISTING, 0, nullptr));
                              hand.Writable = static_cast<bool>(writer);
                              writer.Reset();
                              hand.Deletable = DeleteFileW(Widen(file).c_str()) != 0;
                              hand.Text = ReadUtf16File(file);
                              handed.push_back(hand);
                              return real(file, code);
                            }};

  std::string Backup(const std::string& name, const std::vector<std::string>& lines) const {
    return temp.WriteFile("RepairBackup\\" + name, RegScript(lines));
  }
  std::string Key(const std::string& sub) const { return box.FullPath() + "\\" + sub; }
};

// The files of the temporary folder whose names begin with prefix.
std::set<std::string> TemporaryFiles(const std::string& prefix) {
  wchar_t folder[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, folder);
  std::set<std::string> names;
  ForEachFile(Narrow(folder), prefix + "*", [&](const TFoundFile& f) {
    names.insert(f.Name);
    return true;
  });
  return names;
}

TEST_F(PartialRestore, ThePartImportedIsWrittenFromTheEntriesComparedAsTheImporterReadsThem) {
  const std::string lower = "hkey_current_user" + box.FullPath().substr(std::string("HKEY_CURRENT_USER").size());
  struct TCase {
    std::string Name;
    std::vector<std::string> Lines;
    bool Refused;                               // the file is refused as read two ways: nothing is imported
    std::vector<std::string> Left;              // named as changed since
    std::string Part;                           // the lines handed to the importer ("" none)
    std::vector<std::pair<std::string, std::string>> Reads;   // "sub|name" and the text read after
  };
  const std::string cut = "[" + Key("k") + "]";
  const TCase cases[] = {
      // regedit ends the line at the lone carriage return and reads the rest as a key deletion
      {"lone return", {kHeader, cut, "\"a\"=\"x\r[-" + Key("k") + "]\""}, true, {}, "", {{"k|v", "newer"}}},
      {"lone return in a comment", {kHeader, "; note\r[-" + Key("k") + "]", cut, "\"a\"=\"x\""}, true, {}, "",
       {{"k|v", "newer"}, {"k|a", "<none>"}}},
      {"zero in a line", {kHeader, cut, std::string("\"a\"=\"x\0y\"", 8)}, true, {}, "", {{"k|a", "<none>"}}},
      // a root in lower case is the same root to the comparison and to the import
      {"lower-case deletion", {kHeader, "[-" + lower + "\\k]"}, false, {Key("k")}, "", {{"k|v", "newer"}}},
      {"lower-case key",
       {kHeader, "[" + lower + "\\new]", "\"v\"=\"x\"", "\"q\\\"u\\\\o=#|\"=dword:0000002a"},
       false,
       {},
       kHeader + "\n\n[" + Key("new") + "]\n\"v\"=hex(1):78,00,00,00\n\"q\\\"u\\\\o=#|\"=dword:0000002a\n",
       {{"new|v", "x"}}},
      // the later line wins, as the importer takes them
      {"set then deleted", {kHeader, "[" + Key("k2") + "]", "\"v\"=\"x\"", "\"v\"=-"}, false, {},
       kHeader + "\n\n[" + Key("k2") + "]\n", {{"k2|v", "<none>"}}},
      {"deleted then set", {kHeader, "[" + Key("k3") + "]", "\"v\"=-", "[" + Key("k3") + "]", "\"v\"=\"x\""}, false,
       {}, kHeader + "\n\n[" + Key("k3") + "]\n\"v\"=hex(1):78,00,00,00\n", {{"k3|v", "x"}}},
      {"key deleted later", {kHeader, "[" + Key("k4") + "]", "\"v\"=\"x\"", "[-" + Key("k4") + "]"}, false, {}, "",
       {{"k4|v", "<none>"}}},
      {"set twice, other data now", {kHeader, cut, "\"v\"=\"old\"", cut, "\"v\"=\"older\""}, false,
       {Key("k") + "\\\"v\""}, "", {{"k|v", "newer"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    box.SetString("k", "v", "newer");
    handed.clear();
    const TTreeDump before = DumpTree(box.Root(), box.Path());
    TRestoreResult r = RegBackupUnit::RestoreUndoBackup(Backup("_1.reg", c.Lines));
    if (c.Refused) {
      EXPECT_TRUE(r.FileRefused && !r.Problems.empty() && !r.Succeeded());
      EXPECT_NE(RegBackupUnit::RestoreFailureText(r).find("A line that the importer would read otherwise: "),
                std::string::npos)
          << RegBackupUnit::RestoreFailureText(r);
      EXPECT_TRUE(handed.empty());
      EXPECT_EQ(Differences(before, DumpTree(box.Root(), box.Path())), "");
    } else {
      EXPECT_EQ(r.Succeeded(), c.Left.empty()) << RegBackupUnit::RestoreFailureText(r);
      EXPECT_EQ(r.Left, c.Left);
      EXPECT_TRUE(r.Problems.empty() && r.NotWritten.empty()) << RegBackupUnit::RestoreFailureText(r);
      ASSERT_EQ(handed.size(), c.Part.empty() ? 0u : 1u);
      if (!c.Part.empty()) EXPECT_EQ(StringReplace(handed[0].Text, "\r\n", "\n"), c.Part);
    }
    for (const auto& [at, text] : c.Reads) {
      size_t bar = at.find('|');
      EXPECT_EQ(box.Read(at.substr(0, bar), at.substr(bar + 1)), text) << at;
    }
    PublicFunctionUnit::DeleteRegistryKey(box.Root(), box.Path());
  }
}

// The importer runs with the program's rights: what it reads is written where only the program
// writes (beside the backup, never in the temporary folder) and nobody may change it until its
// import is checked; a full backup is imported from its own file, held the same way.
TEST_F(PartialRestore, WhatTheImporterReadsIsWrittenBesideTheBackupAndHeldUntilChecked) {
  const std::set<std::string> temporary = TemporaryFiles("Zelvoran");
  box.SetString("k", "v", "x");
  const std::string backup = Backup("_20260101_101010.reg", {kHeader, "[" + Key("k") + "]", "\"v\"=\"x\""});
  PublicFunctionUnit::DeleteRegistryKey(box.Root(), box.Path() + "\\k");
  TRestoreResult r = RegBackupUnit::RestoreUndoBackup(backup);
  EXPECT_TRUE(r.Succeeded()) << RegBackupUnit::RestoreFailureText(r);
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(ExtractFilePath(handed[0].File), ExtractFilePath(backup));
  EXPECT_TRUE(handed[0].File.starts_with(backup) && handed[0].File.ends_with(".restore")) << handed[0].File;
  EXPECT_FALSE(handed[0].Writable || handed[0].Deletable);
  EXPECT_FALSE(FileExists(handed[0].File)) << "removed after the import";
  EXPECT_EQ(TemporaryFiles("Zelvoran"), temporary);
  std::set<std::string> listed;
  ForEachFile(ExtractFilePath(backup), "*.reg", [&](const TFoundFile& f) {
    listed.insert(f.Name);
    return true;
  });
  EXPECT_EQ(listed, std::set<std::string>{"_20260101_101010.reg"});

  box.SetString("k", "v", "changed");
  r = RegBackupUnit::RestoreRegistryScript(backup);
  EXPECT_TRUE(r.Succeeded()) << RegBackupUnit::RestoreFailureText(r);
  ASSERT_EQ(handed.size(), 2u);
  EXPECT_EQ(handed[1].File, backup);
  EXPECT_FALSE(handed[1].Writable || handed[1].Deletable);
  EXPECT_EQ(box.Read("k", "v"), "x");

  // a backup another program is writing is not read at all
  THeldFile writing(backup, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_WRITE);
  ASSERT_TRUE(writing.Held());
  for (RegBackupUnit::TRestoreRoutine restore : {&RegBackupUnit::RestoreUndoBackup, &RegBackupUnit::RestoreRegistryScript}) {
    r = restore(backup, nullptr);
    EXPECT_EQ(r.Problems, std::vector<std::string>{"The file is in use by another program: " + backup});
    EXPECT_TRUE(r.FileRefused);
  }
  EXPECT_EQ(handed.size(), 2u);
}

// A key that no one may create (here: a lasting key below a volatile one) is named once as not
// written back, for each of its values too, without a word of a changed backup; the rest comes back.
TEST_F(PartialRestore, EntriesThatCannotBeWrittenBackAreNamedOnceAsSuch) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(box.Root(), Widen(box.Path() + "\\volatile").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  const std::string child = "[" + Key("volatile\\child") + "]";
  const std::string backup = Backup("_1.reg", {kHeader, child, "\"a\"=\"1\"", child, "\"b\"=dword:00000002", child,
                                              "@=hex:00", "[" + Key("fine") + "]", "\"c\"=\"3\""});
  for (RegBackupUnit::TRestoreRoutine restore : {&RegBackupUnit::RestoreUndoBackup, &RegBackupUnit::RestoreRegistryScript}) {
    TRestoreResult r = restore(backup, nullptr);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_EQ(r.NotWritten, std::vector<std::string>{Key("volatile\\child")});
    EXPECT_EQ(RegBackupUnit::RestoreFailureText(r),
              kNotRestored + "These entries could not be written back:\r" + Key("volatile\\child") + "\r");
    EXPECT_EQ(box.Read("fine", "c"), "3");
  }
}

// Each step of a restore is told from 0 to 100 and in order; the import in between.
TEST_F(PartialRestore, ARestoreTellsItsStepsInOrder) {
  using RegBackupUnit::TRestoreStep;
  std::vector<std::string> lines = {kHeader};
  for (int i = 0; i < 300; ++i) {
    lines.push_back("[" + Key(Format("k%d", i)) + "]");
    lines.push_back("\"v\"=dword:00000001");
  }
  const std::string backup = Backup("_1.reg", lines);
  struct TCase {
    RegBackupUnit::TRestoreRoutine Restore;
    std::vector<TRestoreStep> Steps;
  };
  const TCase cases[] = {
      {&RegBackupUnit::RestoreUndoBackup,
       {TRestoreStep::Reading, TRestoreStep::Comparing, TRestoreStep::Importing, TRestoreStep::Checking}},
      {&RegBackupUnit::RestoreRegistryScript, {TRestoreStep::Reading, TRestoreStep::Importing, TRestoreStep::Checking}},
  };
  for (const TCase& c : cases) {
    PublicFunctionUnit::DeleteRegistryKey(box.Root(), box.Path());
    std::vector<std::pair<TRestoreStep, int>> told;
    TRestoreResult r = c.Restore(backup, [&](TRestoreStep step, int percent) { told.push_back({step, percent}); });
    EXPECT_TRUE(r.Succeeded()) << RegBackupUnit::RestoreFailureText(r);
    std::vector<TRestoreStep> steps;
    for (size_t i = 0; i < told.size(); ++i) {
      bool first = i == 0 || told[i - 1].first != told[i].first;
      bool last = i + 1 == told.size() || told[i + 1].first != told[i].first;
      if (first) steps.push_back(told[i].first);
      if (first) EXPECT_EQ(told[i].second, 0);
      if (last) EXPECT_EQ(told[i].second, 100);
      if (!first) EXPECT_GE(told[i].second, told[i - 1].second);
    }
    EXPECT_EQ(steps, c.Steps);
  }
}

}  // namespace
