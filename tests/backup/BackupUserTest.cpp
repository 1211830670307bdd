// Whose backup a file is: the program's folder is shared by every user of the machine and
// HKEY_CURRENT_USER is each user's own hive, so a full export notes the user who made it at its
// end, and a backup noted as another user's is never restored.
#include <gtest/gtest.h>

#include <functional>

#include "app/RegBackupUnit.h"
#include "framework/Handles.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {
const char* const kOtherSid = "S-1-5-21-1004336348-1177238915-682003330-1001";
const std::string kNT = "Windows Registry Editor Version 5.00";

std::string Mine() { return PublicFunctionUnit::CurrentUserSid(); }

// Lets the real importer run, counting its runs.
struct CountedImport {
  int Runs = 0;
  std::function<bool(const std::string&, DWORD&)> real = RegBackupUnit::RunImport;
  TKeep<std::function<bool(const std::string&, DWORD&)>> keep{
      RegBackupUnit::RunImport, [this](const std::string& file, DWORD& code) {
        ++Runs;
        return real(file, code);
      }};
};
}  // namespace

// The export is noted as the current user's in its last line, in its own encoding; it still reads
// as complete, and it is restored.
TEST(FullBackupUser, AFullBackupEndsWithItsUsersNote) {
  RegSandbox box;
  TempFolder temp;
  box.SetString("k", "v", "x");
  RegBackupUnit::TFullBackupResult backup = RegBackupUnit::MakeFullBackup(temp.Path() + "FullBackup\\", 46000.5, box.FullPath());
  ASSERT_TRUE(backup.Succeeded);
  ASSERT_TRUE(PublicFunctionUnit::IsSidText(Mine()));
  const std::string text = ReadUtf16File(backup.FileName);
  EXPECT_TRUE(text.ends_with("\r\n;User: " + Mine() + "\r\n")) << text;
  EXPECT_EQ(text.find(";User: "), text.rfind(";User: ")) << "noted once";
  EXPECT_TRUE(RegBackupUnit::IsCompleteExport(backup.FileName));
  std::string sid;
  EXPECT_TRUE(RegBackupUnit::ReadExportUser(backup.FileName, sid));
  EXPECT_EQ(sid, Mine());
  box.SetString("k", "v", "changed");
  RegBackupUnit::TRestoreResult restore = RegBackupUnit::RestoreRegistryScript(backup.FileName);
  EXPECT_TRUE(restore.Succeeded()) << RegBackupUnit::RestoreFailureText(restore);
  EXPECT_EQ(box.Read("k", "v"), "x");
}

// A full backup noted as another user's is not imported, and the file stays as it is; the current
// user's (the SID in any letter case) and one noting no user are restored as before.
TEST(FullBackupUser, AnotherUsersFullBackupIsNotRestoredAndStays) {
  RegSandbox box;
  TempFolder temp;
  struct TCase {
    std::string Name;
    std::string Header;
    std::vector<std::string> End;   // the last lines
    bool Restored;
  };
  const std::string other = ";User: " + std::string(kOtherSid);
  const TCase cases[] = {
      {"other", kNT, {"", other}, false},
      {"other 8-bit", "REGEDIT4", {"", other}, false},
      {"other, blank lines after", kNT, {other, "", "  "}, false},
      {"mine", kNT, {"", ";User: " + AnsiLowerCase(Mine())}, true},
      {"mine 8-bit", "REGEDIT4", {"", ";User: " + Mine()}, true},
      {"no user", kNT, {""}, true},
  };
  CountedImport imports;
  int restored = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> lines = {c.Header, "", "[" + box.FullPath() + "\\" + c.Name + "]", "\"v\"=\"restored\""};
    lines.insert(lines.end(), c.End.begin(), c.End.end());
    const std::string file = temp.WriteFile("Backup_" + c.Name + ".reg", RegScript(lines));
    const std::string bytes = ReadFileBytes(file);
    ASSERT_TRUE(RegBackupUnit::IsCompleteExport(file));
    RegBackupUnit::TRestoreResult result = RegBackupUnit::RestoreRegistryScript(file);
    restored += c.Restored;
    EXPECT_EQ(result.Succeeded(), c.Restored) << RegBackupUnit::RestoreFailureText(result);
    EXPECT_EQ(imports.Runs, restored);
    EXPECT_EQ(box.Read(c.Name, "v"), c.Restored ? "restored" : "<none>");
    if (!c.Restored) {
      EXPECT_EQ(result.Problems, std::vector<std::string>{Format(PublicFunctionUnit::OtherUsersBackupText, file)});
      EXPECT_FALSE(result.Imported || result.FileRefused);
    }
    EXPECT_EQ(ReadFileBytes(file), bytes);
  }
}

// The note is read from the export's last few kilobytes, and only a note that is its last line but
// blank ones counts.
TEST(FullBackupUser, TheNoteIsTheExportsLastLine) {
  TempFolder temp;
  const std::string key = "[HKEY_CURRENT_USER\\Software\\ZelvoranTest\\Export]";
  const std::string other = ";User: " + std::string(kOtherSid);
  const std::string middle(3 << 20, 'x');
  struct TCase {
    std::string Name;
    std::string Bytes;
    std::string Sid;
  };
  const TCase cases[] = {
      {"large", RegScript({kNT, "", key, "\"v\"=\"" + middle + "\"", "", other}), kOtherSid},
      {"8-bit", "REGEDIT4\r\n\r\n" + key + "\r\n\"v\"=\"" + middle + "\"\r\n\r\n" + other + "\r\n", kOtherSid},
      {"no line end", "REGEDIT4\r\n" + key + "\r\n" + other, kOtherSid},
      {"blank lines after", RegScript({kNT, "", key, other, "", "\t ", ""}), kOtherSid},
      {"odd size", RegScript({kNT, "", key, other}) + "x", kOtherSid},
      {"mine", RegScript({kNT, "", key, "", ";User:  " + Mine() + " "}), Mine()},
      {"not the last line", RegScript({kNT, "", key, other, "\"v\"=\"x\""}), ""},
      {"no SID", RegScript({kNT, "", key, "", ";User: bob"}), ""},
      {"no note", RegScript({kNT, "", key, "\"v\"=\"" + middle + "\"", ""}), ""},
      {"a last line longer than what is read", RegScript({kNT, "", key, other + std::string(5000, ' ')}), ""},
      {"empty", "", ""},
      {"mark only", "\xFF\xFE", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = temp.WriteFile(c.Name + ".reg", c.Bytes);
    std::string sid = "unread";
    EXPECT_TRUE(RegBackupUnit::ReadExportUser(file, sid));
    EXPECT_EQ(sid, c.Sid);
    EXPECT_EQ(ReadFileBytes(file), c.Bytes);
  }
  std::string sid = "unread";
  EXPECT_FALSE(RegBackupUnit::ReadExportUser(temp.Path() + "missing.reg", sid));
  EXPECT_EQ(sid, "");
}

// An export larger than 4 GB (its middle a hole the file system does not store) is judged by its
// two ends alone: complete, and noted as another user's.
TEST(FullBackupUser, AnExportPastFourGigabytesIsJudgedByItsEnds) {
  TempFolder temp;
  auto utf16 = [](const std::string& text) {
    std::wstring wide = Widen(text);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  };
  const std::string head = RegScript({kNT, "", "[HKEY_CURRENT_USER\\Software\\ZelvoranTest\\Export]"});
  const std::string tail = utf16("\r\n;User: " + std::string(kOtherSid) + "\r\n");
  const uint64_t size = (5ull << 30) + 4;
  const std::string file = temp.Path() + "huge.reg";
  {
    TKernelHandle out(CreateFileW(Widen(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(out);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(out.Get(), head.data(), (DWORD)head.size(), &done, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)(size - tail.size());
    ASSERT_TRUE(SetFilePointerEx(out.Get(), at, nullptr, FILE_BEGIN));
    ASSERT_TRUE(WriteFile(out.Get(), tail.data(), (DWORD)tail.size(), &done, nullptr));
  }
  std::string sid;
  EXPECT_TRUE(RegBackupUnit::ReadExportUser(file, sid));
  EXPECT_EQ(sid, kOtherSid);
  EXPECT_TRUE(RegBackupUnit::IsCompleteExport(file));
}
