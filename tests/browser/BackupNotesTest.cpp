// What a backup notes in comment lines beside its statements: what the change it was taken before
// wrote, read back exactly whatever the values hold and whatever their names, so that its restore
// puts back what still holds that and leaves what changed since; and whose HKEY_CURRENT_USER it
// holds, so that another user's backup is neither listed nor restored, and stays. Whatever a
// note holds, reading it neither crashes nor hangs nor changes anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "BrowserTestSupport.h"
#include "app/MainUnitBackup.h"
#include "app/RegBackupUnit.h"
#include "app/RegBackupUnitScript.h"
#include "framework/Registry.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/Fuzz.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"
#include "tools/browser/IePluginsUnit.h"

using namespace browser_test;
using namespace testing_support;

namespace {

const char* const kOtherSid = "S-1-5-21-1004336348-1177238915-682003330-1001";

using TMaybeValue = std::optional<TRegValue>;   // nullopt: no value

TRegValue Raw(DWORD type, std::vector<uint8_t> data) { return {type, std::move(data)}; }

// Sets the value of name in the sandbox key, or deletes it.
void Put(const RegSandbox& box, const std::string& name, const TMaybeValue& value) {
  if (value) {
    box.SetRaw("", name, value->Type, value->Data);
    return;
  }
  TRegKeyHandle key;
  if (key.Open(box.Root(), box.Path(), KEY_SET_VALUE)) RegDeleteValueW(key.Get(), Widen(name).c_str());
}

// The lines of a value as the backups write them: the value as it is, or the line deleting it.
void Export(const std::string& keyPath, const std::string& name, TStringList& lines) {
  if (MainUnit::ExportRegValue(keyPath, name, lines) == MainUnit::TExportOutcome::Absent)
    ASSERT_EQ(MainUnit::ExportAbsentValue(keyPath, name, lines), MainUnit::TExportOutcome::Written) << name;
}

// One value through a change and what came after it: its data before the change (backed up), what
// the change wrote (noted), what it holds when the backup is restored.
struct TChange {
  std::string Name;
  TMaybeValue Before, Written, Now;
  bool Left;   // changed since the change: left as it is and named
};

// Every type, names holding what the script and the notes give meaning to ("=", "\"", "\\", ";",
// "[", "@") and text outside any code page.
std::vector<TChange> Changes() {
  const TRegValue zeros = Raw(REG_BINARY, Bytes({0, 0, 0, 0}));
  return {
      {"", Raw(REG_SZ, Utf16(L"old")), Raw(REG_SZ, Utf16(L"about:blank")), Raw(REG_SZ, Utf16(L"about:blank")), false},
      {"q\"u=o#t|e\\s", Raw(REG_EXPAND_SZ, Utf16(L"%Zv%\\\u00e9")), Raw(REG_SZ, Utf16(L"x")), Raw(REG_SZ, Utf16(L"x")), false},
      {";Written: [x]", Raw(REG_MULTI_SZ, Utf16(std::wstring(L"a\0\u00e4\0", 4))), zeros, zeros, false},
      {"\u00fc\u00ef \u2713 @=", Raw(REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})), Raw(REG_DWORD, Bytes({0, 0, 0, 0})),
       Raw(REG_DWORD, Bytes({0, 0, 0, 0})), false},
      {"big", Raw(REG_BINARY, Pattern(3000)), Raw(REG_NONE, {}), Raw(REG_NONE, {}), false},
      {"odd type", Raw(0x12345, Bytes({9})), Raw(REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 1})),
       Raw(REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 1})), false},
      {"created", std::nullopt, Raw(REG_DWORD, Bytes({0, 0, 0, 0})), Raw(REG_DWORD, Bytes({0, 0, 0, 0})), false},
      {"created ;\"=\\", std::nullopt, Raw(REG_SZ, Utf16(L"\u2713")), Raw(REG_SZ, Utf16(L"\u2713")), false},
      {"removed", Raw(REG_SZ, Utf16(L"back")), std::nullopt, std::nullopt, false},
      // changed since the change
      {"other data", Raw(REG_SZ, Utf16(L"old")), Raw(REG_SZ, Utf16(L"new")), Raw(REG_SZ, Utf16(L"mine")), true},
      {"other type", Raw(REG_SZ, Utf16(L"old")), zeros, Raw(REG_DWORD, Bytes({0, 0, 0, 0})), true},
      {"created, changed", std::nullopt, Raw(REG_DWORD, Bytes({0, 0, 0, 0})), Raw(REG_DWORD, Bytes({1, 0, 0, 0})), true},
      {"removed, written", Raw(REG_SZ, Utf16(L"old")), std::nullopt, Raw(REG_SZ, Utf16(L"new")), true},
      {"created, removed", std::nullopt, Raw(REG_SZ, Utf16(L"x")), std::nullopt, false},
      {"overwritten, removed", Raw(REG_SZ, Utf16(L"back")), Raw(REG_SZ, Utf16(L"x")), std::nullopt, false},
  };
}

// A script file read with its notes: its statements ("key" or "key name"), its user and problems;
// the written notes into record.
struct TParsed {
  bool Script = false;   // it begins with a script's header
  std::vector<std::string> Statements;
  std::string UserSid;
  std::vector<std::string> Problems;
};
TParsed ParseWithNotes(const std::string& file, RegBackupUnit::TWrittenRecord& record) {
  TParsed parsed;
  RegBackupUnit::TScriptFile script;
  std::string problem;
  EXPECT_TRUE(script.Open(file, problem)) << problem;
  RegBackupUnit::TScriptParser parser(script.Handle());
  parser.KeepWritten(&record);
  parsed.Script = parser.ReadHeader();
  if (parsed.Script)
    for (RegBackupUnit::TScriptEntry entry; parser.Next(entry);)
      parsed.Statements.push_back(entry.Key + (entry.IsKey ? "" : " " + Narrow(entry.ValueName)));
  parsed.UserSid = parser.UserSid;
  parsed.Problems = parser.Problems;
  return parsed;
}

}  // namespace

TEST(WrittenNotes, WhatStillHoldsWhatTheChangeWroteIsPutBackAndWhatChangedSinceIsLeft) {
  RegSandbox box;
  TempFolder temp;
  const std::vector<TChange> changes = Changes();
  TStringList lines;
  lines.Add(MainUnit::RegScriptHeaderNT);
  for (const TChange& c : changes) Put(box, c.Name, c.Before);
  for (const TChange& c : changes) Export(box.FullPath(), c.Name, lines);
  for (const TChange& c : changes) Put(box, c.Name, c.Written);
  TStringList written;
  for (const TChange& c : changes) Export(box.FullPath(), c.Name, written);
  for (const std::string& line : written.Items) lines.Add(RegBackupUnit::WrittenNotePrefix + line);
  for (const TChange& c : changes) Put(box, c.Name, c.Now);
  const std::string file = temp.WriteFile("Backup_20240102_030405_IE.reg", MainUnit::EncodeRegScript(lines));

  RegBackupUnit::TRestoreResult result = RegBackupUnit::RestoreUndoBackup(file);
  std::vector<std::string> left;
  for (const TChange& c : changes) {
    SCOPED_TRACE(c.Name);
    TRegValue now;
    bool there = false;
    TRegKeyHandle key;
    if (key.Open(box.Root(), box.Path(), KEY_READ)) {
      DWORD type = 0;
      there = MainUnit::ReadRawValue(key.Get(), Widen(c.Name), type, now.Data) == ERROR_SUCCESS;
      now.Type = type;
    }
    const TMaybeValue& expected = c.Left ? c.Now : c.Before;
    ASSERT_EQ(there, expected.has_value());
    if (there) EXPECT_EQ(now.Type, expected->Type);
    if (there) EXPECT_EQ(now.Data, expected->Data);
    if (c.Left) left.push_back(box.FullPath() + (c.Name.empty() ? std::string("\\@") : "\\\"" + c.Name + "\""));
  }
  EXPECT_EQ(result.Left, left);
  EXPECT_TRUE(result.Imported && result.Verified) << RegBackupUnit::RestoreFailureText(result);

  // regedit, as earlier versions imported these files whole, passes over the notes
  for (const TChange& c : changes) Put(box, c.Name, c.Now);
  result = RegBackupUnit::RestoreRegistryScript(file);
  EXPECT_TRUE(result.Succeeded()) << RegBackupUnit::RestoreFailureText(result);
  for (const TChange& c : changes) {
    TStringList now, before;
    Export(box.FullPath(), c.Name, now);
    Put(box, c.Name, c.Before);
    Export(box.FullPath(), c.Name, before);
    EXPECT_EQ(now.Items, before.Items) << c.Name;
  }
}

// The notes are read as written: the last note of a value wins, names compare as the registry
// compares them, a key line of its own in each note, and the statements around them are not
// touched by them.
TEST(WrittenNotes, AreReadBackAsWrittenBesideTheStatements) {
  RegSandbox box;
  TempFolder temp;
  const std::string key = box.FullPath();
  const std::string file = temp.WriteFile(
      "notes.reg", RegScript({"Windows Registry Editor Version 5.00", ";User: " + std::string(kOtherSid), "; a comment",
                              "[" + key + "]", "\"kept\"=\"x\"", ";Written: [" + AnsiLowerCase(key) + "\\sub]",
                              ";Written: \"v\"=dword:00000001", "\"after\"=\"a note\"", ";Written: \"V\"=hex(b):01,02",
                              ";Written: @=-", ";Written:   \"sp ace\" = \"t;\\\"x\\\\\"  "}));
  RegBackupUnit::TWrittenRecord record;
  TParsed parsed = ParseWithNotes(file, record);
  EXPECT_EQ(parsed.Statements, (std::vector<std::string>{key, key + " kept", key + " after"}));
  EXPECT_EQ(parsed.UserSid, kOtherSid);
  EXPECT_EQ(parsed.Problems, std::vector<std::string>{});
  EXPECT_EQ(record.Count(), 3u);
  RegBackupUnit::TScriptEntry asked;
  asked.Key = key + "\\SUB";
  asked.ValueName = L"v";
  const RegBackupUnit::TScriptEntry* v = record.Find(asked);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->Type, (DWORD)REG_QWORD);
  EXPECT_EQ(v->Data, Bytes({1, 2}));
  asked.ValueName = L"";
  ASSERT_NE(record.Find(asked), nullptr);
  EXPECT_TRUE(record.Find(asked)->Deleted);
  asked.ValueName = L"sp ace";
  ASSERT_NE(record.Find(asked), nullptr);
  EXPECT_EQ(record.Find(asked)->Data, Utf16(L"t;\"x\\"));
  asked.Key = key;
  EXPECT_EQ(record.Find(asked), nullptr) << "a note's key is its own";

  // without a record, the notes are comments; a second user, or one that is no SID, is not
  std::string sid;
  EXPECT_TRUE(RegBackupUnit::ReadScriptUser(file, sid));
  EXPECT_EQ(sid, kOtherSid);
  for (const std::string& users : {";User: S-1-5-21-1-1001\r\n;User: " + std::string(kOtherSid), std::string(";User: bob")}) {
    RegBackupUnit::TRestoreResult result = RegBackupUnit::VerifyRegistryScript(
        temp.WriteFile("users.reg", "Windows Registry Editor Version 5.00\r\n" + users + "\r\n[" + key + "]\r\n"));
    ASSERT_EQ(result.Problems.size(), 1u) << users;
    EXPECT_EQ(result.Problems[0].substr(0, 23), "Unreadable line: ;User:") << users;
  }
}

TEST(WrittenNotes, MalformedNotesNeitherCrashNorHangNorChangeAnything) {
  RegSandbox box;
  TempFolder temp;
  box.SetString("", "s", "text");
  const std::string key = "[" + box.FullPath() + "]";
  const std::string note = RegBackupUnit::WrittenNotePrefix;
  const std::string script = RegScript(
      {"Windows Registry Editor Version 5.00", ";User: " + PublicFunctionUnit::CurrentUserSid(), key, "\"s\"=\"old\"",
       "\"d\"=dword:0000002a", "@=hex(2):25,00,41,00,25,00,00,00", "\"\u00fc;\\\"=\\\\\"=-", note + key,
       note + "\"s\"=\"text\"", note + "\"d\"=hex(b):01,02,03,04,05,06,07,08", note + "@=-",
       note + "\"\u00fc;\\\"=\\\\\"=hex(7):61,00,00,00,00,00", note + "\"big\"=hex:00,01,02,03,04,05,06,07,08,09"});
  const TTreeDump before = DumpTree(box.Root(), box.Path());
  TFuzzInputs inputs({script, "REGEDIT4\r\n" + key + "\r\n" + note + key + "\r\n" + note + "\"s\"=\"x\"\r\n"}, 20261209);
  TKeep<std::function<bool(const std::string&, DWORD&)>> importer(RegBackupUnit::RunImport,
                                                                   [](const std::string&, DWORD& code) {
                                                                     code = 0;
                                                                     return false;   // nothing is imported
                                                                   });
  const std::string file = temp.Path() + "fuzz.reg";
  size_t noted = 0;
  for (int i = 0; i < 1500; ++i) {
    const std::string bytes = inputs.Next();
    ASSERT_TRUE(WriteInput(file, bytes));
    RegBackupUnit::TWrittenRecord record;
    for (const std::string& statement : ParseWithNotes(file, record).Statements)
      ASSERT_EQ(statement.compare(0, 5, "HKEY_"), 0) << "input " << i << ": " << statement;
    noted += record.Count();
    if (i % 5 == 0) ASSERT_NO_THROW(RegBackupUnit::RestoreUndoBackup(file)) << "input " << i;
    ASSERT_EQ(ReadFileBytes(file), bytes) << "input " << i;
  }
  EXPECT_GT(noted, 100u);
  EXPECT_EQ(Differences(before, DumpTree(box.Root(), box.Path())), "");
}

// ---- whose backup ----

// Backups of the plug-in manager noting another user are not listed, and restoring one (reached
// otherwise) writes nothing and leaves the file; the current user's (their SID in any case) and
// backups noting no user are listed and restored.
TEST(BackupUser, AnotherUsersBackupIsNeitherListedNorRestoredAndStays) {
  TempFolder temp;
  const std::string menu = "Software\\Microsoft\\Internet Explorer\\MenuExt";
  TAreaGuard guard({{HKEY_CURRENT_USER, menu}});
  struct TCase {
    std::string Name;
    std::string Notes;   // after the header
    bool Listed, Restored;
  };
  const std::string mine = PublicFunctionUnit::CurrentUserSid();
  ASSERT_TRUE(PublicFunctionUnit::IsSidText(mine));
  const TCase cases[] = {
      {"Backup_other_IE.reg", ";User: " + std::string(kOtherSid), false, false},
      {"Backup_mine_IE.reg", ";User: " + AnsiLowerCase(mine), true, true},
      {"Backup_old_IE.reg", "; no user", true, true},
      {"Backup_two users_IE.reg", ";User: " + mine + "\r\n;User: " + kOtherSid, true, false},   // changed
  };
  for (const TCase& c : cases) {
    const std::string key = "HKEY_CURRENT_USER\\" + menu + "\\&Zv " + c.Name;
    temp.WriteFile(c.Name, RegScript({"Windows Registry Editor Version 5.00", c.Notes, "[" + key + "]", "@=\"res://x\""}));
  }
  std::vector<std::string> listed;
  for (const IePluginsUnit::TBackupFile& file : IePluginsUnit::ListBackupFiles(temp.Path()))
    listed.push_back(ExtractFileName(file.FileName));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string bytes = ReadFileBytes(temp.Path() + c.Name);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), c.Name), c.Listed ? 1 : 0);
    RegBackupUnit::TRestoreResult result = RegBackupUnit::RestoreUndoBackup(temp.Path() + c.Name);
    EXPECT_EQ(result.Succeeded(), c.Restored) << RegBackupUnit::RestoreFailureText(result);
    EXPECT_EQ(RegKeyExists(HKEY_CURRENT_USER, menu + "\\&Zv " + c.Name), c.Restored);
    EXPECT_EQ(ReadFileBytes(temp.Path() + c.Name), bytes);
  }
  RegBackupUnit::TRestoreResult other = RegBackupUnit::RestoreUndoBackup(temp.Path() + cases[0].Name);
  EXPECT_EQ(other.Problems,
            std::vector<std::string>{Format(PublicFunctionUnit::OtherUsersBackupText, temp.Path() + cases[0].Name)});
  EXPECT_FALSE(other.FileRefused) << "the file is whole: no hint that it was changed";
}
