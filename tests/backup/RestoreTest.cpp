// Restoring a registry script: regedit /s, then every key and value read back.
#include <gtest/gtest.h>

#include "app/RegBackupUnit.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"

using namespace testing_support;
using RegBackupUnit::RestoreRegistryScript;
using RegBackupUnit::VerifyRegistryScript;

namespace {
struct Restore : ::testing::Test {
  RegSandbox box;
  TempFolder temp;
};
}  // namespace

TEST_F(Restore, MissingOrDamagedFilesFailWithoutImporting) {
  // missing; not a registry script (regedit is not even started); a script with an unreadable line
  for (const std::string& file :
       {temp.Path() + "gone.reg", temp.WriteFile("damaged.reg", "garbage\r\n[" + box.FullPath() + "]\r\n\"v\"=\"x\"\r\n"),
        temp.WriteFile("bad.reg", RegScript({"Windows Registry Editor Version 5.00", "[" + box.FullPath() + "]",
                                             "\"v\"=\"x\"", "\"w\"=nonsense:12"}))}) {
    RegBackupUnit::TRestoreResult r = RestoreRegistryScript(file);
    EXPECT_FALSE(r.Imported || r.Succeeded() || r.Problems.empty()) << file;
    EXPECT_FALSE(box.ValueExists("", "v")) << file;
  }
}

TEST_F(Restore, ReportsWhatDoesNotReadBackAsWritten) {
  std::string key = "[" + box.FullPath() + "\\sub]";
  std::string file = temp.WriteFile("s.reg", RegScript({"Windows Registry Editor Version 5.00", key, "\"s\"=\"текст\"",
                                                        "\"d\"=dword:0000002A", "@=hex(2):25,00,41,00,25,00,00,00",
                                                        "\"gone\"=-", "[-" + box.FullPath() + "\\old]"}));
  box.SetString("old", "x", "y");
  box.SetString("sub", "gone", "y");
  RegBackupUnit::TRestoreResult r = RestoreRegistryScript(file);
  EXPECT_TRUE(r.Succeeded()) << (r.Problems.empty() ? "" : r.Problems[0]);
  EXPECT_EQ(std::pair(r.Keys, r.Values), std::pair(2, 4));
  EXPECT_FALSE(box.KeyExists("old"));

  box.SetDword("sub", "d", 43);
  box.SetString("sub", "gone", "back");
  box.SetString("sub", "s", "текст", REG_EXPAND_SZ);
  r = VerifyRegistryScript(file);
  EXPECT_FALSE(r.Verified);
  EXPECT_TRUE(r.Problems.empty());
  EXPECT_EQ(r.NotWritten, (std::vector<std::string>{box.FullPath() + "\\sub\\\"s\"", box.FullPath() + "\\sub\\\"d\"",
                                                    box.FullPath() + "\\sub\\\"gone\""}));
}

TEST_F(Restore, ReadsBackWhatTheSystemExporterWrites) {
  SetExact(box.Root(), box.Path() + "\\a", L"big", REG_BINARY, Pattern(700));   // continued over lines
  SetExact(box.Root(), box.Path() + "\\a", L"m", REG_MULTI_SZ, Utf16(std::wstring(L"x\0y\0", 4)));
  box.SetString("a\\Ключ", "quote\"d", "back\\slash");
  std::string file = temp.Path() + "export.reg";
  DWORD code = 1;
  ASSERT_TRUE(RegBackupUnit::RunAndWait(
      PublicFunctionUnit::WindowsProgram("regedit.exe") + " /E \"" + file + "\" \"" + box.FullPath() + "\"", code));
  EXPECT_EQ(code, 0u);
  RegBackupUnit::TRestoreResult r = VerifyRegistryScript(file);
  EXPECT_TRUE(r.Verified) << (r.Problems.empty() ? "" : r.Problems[0]);
  EXPECT_EQ(std::pair(r.Keys, r.Values), std::pair(3, 3));
  SetExact(box.Root(), box.Path() + "\\a", L"big", REG_BINARY, Pattern(699));
  EXPECT_FALSE(VerifyRegistryScript(file).Verified);
}

// regedit named like the system's in this program's folder or the current folder never runs in
// its place: the export and the import are the Windows folder's regedit's. The test runs in a copy
// of the test program in a folder of its own, where the look-alikes are planted.
TEST_F(Restore, ALookAlikeRegeditInTheProgramsOrTheCurrentFolderNeverRuns) {
  if (!InProgramCopy()) {
    TempFolder program("program");
    RunInProgramCopy(program.Path());
    return;
  }
  box.SetString("k", "v", "x");
  std::string current = temp.Path() + "current\\";
  ForceDirectories(current);
  for (const std::string& folder : {ExeDir(), current}) {
    SCOPED_TRACE(folder);
    TPlantedProgram planted(folder + "regedit.exe");
    TCurrentFolder here(current);
    RegBackupUnit::TFullBackupResult backup =
        RegBackupUnit::MakeFullBackup(temp.Path(), 46000.5 + (folder == current), box.FullPath());
    EXPECT_TRUE(backup.Succeeded);
    box.SetString("k", "v", "changed");
    EXPECT_TRUE(RestoreRegistryScript(backup.FileName).Succeeded());   // "x" read back
    EXPECT_FALSE(planted.Ran());
  }
}

TEST_F(Restore, FullBackupWaitsForTheExportAndChecksTheFile) {
  box.SetString("k", "v", "x");
  std::string folder = temp.Path() + "FullBackup\\";
  const TDateTime stamp = 46000.5;   // the file name comes from it
  RegBackupUnit::TFullBackupResult r = RegBackupUnit::MakeFullBackup(folder, stamp, box.FullPath());
  EXPECT_EQ(r.FileName, folder + "Backup_" + FormatDateTime("yyyymmdd_hhnnss", stamp) + ".reg");
  EXPECT_TRUE(r.Succeeded && VerifyRegistryScript(r.FileName).Verified);

  // a second export of the same second takes the next free name: the first stays as it was
  const std::string firstBytes = ReadFileBytes(r.FileName);
  box.SetString("k", "v", "y");
  RegBackupUnit::TFullBackupResult second = RegBackupUnit::MakeFullBackup(folder, stamp, box.FullPath());
  EXPECT_EQ(second.FileName, folder + "Backup_" + FormatDateTime("yyyymmdd_hhnnss", stamp + 1.0 / 86400) + ".reg");
  EXPECT_TRUE(second.Succeeded && VerifyRegistryScript(second.FileName).Verified);
  EXPECT_EQ(ReadFileBytes(r.FileName), firstBytes);

  // regedit writes nothing for a key that does not exist (and still ends with 0)
  r = RegBackupUnit::MakeFullBackup(folder, stamp + 5.0 / 86400, box.FullPath() + "\\missing");
  EXPECT_FALSE(r.Succeeded || FileExists(r.FileName));
}

// Whether an export ran to its end is told from its head and its tail alone, however large it is.
TEST_F(Restore, AnExportIsCompleteWithItsHeaderAKeyLineAndItsLastLineEnd) {
  const std::string nt = "Windows Registry Editor Version 5.00";
  const std::string key = "[" + box.FullPath() + "]";
  const std::string middle(3 << 20, 'x');   // never read
  struct TCase {
    const char* Name;
    std::string Bytes;
    bool Complete;
  };
  const TCase cases[] = {
      {"whole", RegScript({nt, "", key, "\"v\"=\"" + middle + "\"", ""}), true},
      {"8-bit", "REGEDIT4\r\n\r\n" + key + "\r\n\"v\"=\"x\"\r\n", true},
      {"cut short", RegScript({nt, "", key, "\"v\"=\"" + middle + "\""}).substr(0, (3 << 21) + 100), false},
      {"no key line", RegScript({nt, ""}), false},
      {"another header", RegScript({"Windows Registry Editor Version 4.00", "", key}), false},
      {"empty", "", false},
      {"mark only", "\xFF\xFE", false},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(RegBackupUnit::IsCompleteExport(temp.WriteFile(std::string(c.Name) + ".reg", c.Bytes)), c.Complete)
        << c.Name;
  EXPECT_FALSE(RegBackupUnit::IsCompleteExport(temp.Path() + "missing.reg"));
}

// The program and the test programs may use 4 GB of address space on 64-bit Windows, which a full
// export of a real registry can need.
TEST(LargeAddressAware, EveryProgramIsMarkedSo) {
  auto aware = [](const std::string& bytes) {
    if (bytes.size() < 0x40) return false;
    LONG at = *reinterpret_cast<const LONG*>(bytes.data() + 0x3C);
    if (at < 0 || (size_t)at + sizeof(IMAGE_NT_HEADERS32) > bytes.size()) return false;
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + at);
    return headers->Signature == IMAGE_NT_SIGNATURE &&
           (headers->FileHeader.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE) != 0;
  };
  wchar_t self[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_TRUE(aware(ReadFileBytes(Narrow(self))));
  const std::string program = ExeDir() + "..\\Zelvoran.exe";
  ASSERT_TRUE(FileExists(program));
  EXPECT_TRUE(aware(ReadFileBytes(program)));
}
