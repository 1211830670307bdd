// The ActiveX blocker (catalogue, kill bits, its page and the catalogue's download) and the
// re-registration (which files, one regsvr32 at a time, stop, outcomes).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>

#include "app/DMUnit.h"
#include "framework/Application.h"
#include "framework/Endpoints.h"
#include "framework/StringList.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/Fuzz.h"
#include "support/LocalHttpServer.h"
#include "support/Planting.h"
#include "support/RegistryTree.h"
#include "support/TestSupport.h"
#include "tools/activex/SystemRepairUnit.h"
#include "tools/activex/SystemRepairUnitWalk.h"
#include "tools/activex/UnitMalignantActiveX.h"

using namespace UnitMalignantActiveX;
using namespace testing_support;

namespace {

// The flags value as "type:value" ("" when the key is gone, "none" when the value is), in the
// registry view `view` (0: the one this program sees by default).
std::string FlagsOf(const std::string& clsid, REGSAM view = 0) {
  HKEY key;
  std::wstring path = Widen(std::string(kCompatibilityKey) + clsid);
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return "";
  DWORD type = 0, data = 0, size = sizeof data;
  LSTATUS rc = RegQueryValueExW(key, L"Compatibility Flags", nullptr, &type, (BYTE*)&data, &size);
  RegCloseKey(key);
  if (rc == ERROR_FILE_NOT_FOUND) return "none";
  return type == REG_DWORD ? Format("dword:%d", (int)data) : Format("type%d", (int)type);
}

// A store that refuses every write of a kill bit, as a key the user may not change would.
struct TRefusingStore : TKillBitStore {
  int Writes = 0;
  bool WriteFlags(const std::string&, const TKillBitView&, DWORD) override { return ++Writes, false; }
  bool DeleteFlags(const std::string&, const TKillBitView&, bool) override { return ++Writes, false; }
};

struct BlockerFixture : ::testing::Test {
  TempFolder temp;
  TDM dm;
  TForm* holder = new TForm({});
  TPanel* host = new TPanel(holder);
  std::string foo = NewGuid(), bar = NewGuid(), baz = NewGuid(), qux = NewGuid(), other = NewGuid();
  // the keys of the planted objects, removed afterwards (qux's only the page may create)
  RegSandbox fooKey{HKEY_LOCAL_MACHINE, ExactPath{kCompatibilityKey + foo}};
  RegSandbox barKey{HKEY_LOCAL_MACHINE, ExactPath{kCompatibilityKey + bar}};
  RegSandbox bazKey{HKEY_LOCAL_MACHINE, ExactPath{kCompatibilityKey + baz}};
  RegSandbox otherKey{HKEY_LOCAL_MACHINE, ExactPath{kCompatibilityKey + other}};
  // the blocker's record of the kill bits it set, a key of the test's own
  RegSandbox records{HKEY_LOCAL_MACHINE, "Software\\ZelvoranTest", "locks"};
  TKeep<std::string> recordKey{LockRecordKey, records.Path()};

  BlockerFixture() {
    MessageBoxes().Clear();
    DM = &dm;
    dm.DataFolder = temp.Path();
    host->SetBounds(0, 0, 497, 363);
  }
  ~BlockerFixture() override {
    holder->Free();
    DM = nullptr;
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Widen(kCompatibilityKey + qux).c_str());
  }

  // The catalogue of the edge cases: locked, locked with more bits and a value of another
  // party, flags as text, no brace, a lone "\", not planted.
  void PlantCatalogue() {
    fooKey.SetDword("", "Compatibility Flags", 1024);
    barKey.SetDword("", "Compatibility Flags", 0x401);
    barKey.SetString("", "AlternateCLSID", "{00000000-0000-0000-0000-000000000001}");
    bazKey.SetString("", "Compatibility Flags", "1024");
    otherKey.SetDword("", "Compatibility Flags", 1024);
    temp.WriteFile("Code", "  Foo" + foo + "  \r\nBar" + bar + "\r\n\r\nBaz" + baz + "\nNoBrace\r\n\\\r\nQux" + qux + "\r\n");
  }

  // Records the object's kill bit as one the blocker set (making what `made` says), in every view.
  static void RecordAsOurs(const std::string& clsid, TMade made) {
    TKillBitStore store;
    for (const TKillBitView& view : store.Views) ASSERT_TRUE(store.WriteRecord(clsid, view, made));
  }

  TFormMalignant* Open() {
    auto* page = new TFormMalignant(host);
    page->SetBounds(4, 26, 489, 337);
    page->Show();
    return page;
  }

  static std::vector<std::string> Rows(TFormMalignant* page) {
    std::vector<std::string> rows;
    for (int i = 0; i < page->ListActiveX->Count(); ++i) {
      TListItem row;
      page->ListActiveX->GetRow(i, row);
      rows.push_back((row.Checked ? "[x] " : "[ ] ") + row.Caption + " | " + row.Text(2));
    }
    return rows;
  }
};

}  // namespace

TEST(ActiveXCatalogue, LinesAreTrimmedSplitAtTheFirstBraceAndDecodedOneByOne) {
  std::string bytes = "  Name{A}{B}  \r\n\r\n\t\nNoBrace\ncaf\xE9{1}\n\xD0\xB8\xD0\xBC\xD1\x8F{2}";
  std::vector<TActiveXObject> objects = ParseCodeList(bytes);
  ASSERT_EQ(objects.size(), 4u);
  EXPECT_EQ(objects[0].Name + "|" + objects[0].Clsid, "Name|{A}{B}");
  EXPECT_EQ(objects[1].Name + "|" + objects[1].Clsid, "|NoBrace");
  EXPECT_EQ(objects[2].Name, "caf\xC3\xA9");   // an 8-bit line in the ANSI code page
  EXPECT_EQ(objects[3].Name, "\xD0\xB8\xD0\xBC\xD1\x8F");
  EXPECT_TRUE(LoadCodeFile("C:\\no such folder\\Code").empty());
  // a catalogue written with a lone CR at each line's end lists one object a line
  objects = ParseCodeList("One{1}\rTwo{2}\r");
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].Name + objects[0].Clsid + "|" + objects[1].Name + objects[1].Clsid, "One{1}|Two{2}");

  for (const auto& [clsid, good] : std::vector<std::pair<std::string, bool>>{
           {"{0002DF01-0000-0000-C000-000000000046}", true}, {"{0002df01-0000-0000-c000-000000000046}", true},
           {"0002DF01-0000-0000-C000-000000000046", false}, {"{0002DF01-0000-0000-C000-00000000004G}", false},
           {"{0002DF0100000-0000-C000-000000000046}", false}, {"{0002DF01-0000-0000-C000-000000000046}x", false},
           {"\\", false}, {"", false}})
    EXPECT_EQ(IsWellFormedClsid(clsid), good) << clsid;
}

TEST(ActiveXCatalogue, MalformedCataloguesNeitherCrashNorHangNorTouchTheRegistry) {
  testing_support::TFuzzInputs inputs({"  Name{0002DF01-0000-0000-C000-000000000046}  \r\n\r\nNoBrace\n\\\r\ncaf\xE9{1}\n"});
  TRefusingStore store;
  for (int i = 0; i < 3000; ++i) {
    std::vector<TActiveXObject> objects = ParseCodeList(inputs.Next());
    ReadStatuses(store, objects);
    for (const TActiveXObject& o : objects) ASSERT_EQ(o.Name.find('\n'), std::string::npos);
  }
  EXPECT_EQ(store.Writes, 0);
}

TEST_F(BlockerFixture, ListsTheCatalogueWithKillBitsThenLockSetsOnlyTheKillBitAndUnlockClearsOnlyIt) {
  PlantCatalogue();
  RecordAsOurs(foo, TMade::Key);   // Foo's kill bit is the blocker's own; Bar's another program's
  TFormMalignant* page = Open();
  EXPECT_EQ(Rows(page), (std::vector<std::string>{"[x] Foo | Locked", "[x] Bar | Locked", "[ ] Baz | Unlocked",
                                                  "[ ]  | Unlocked", "[ ]  | Unlocked", "[ ] Qux | Unlocked"}));
  EXPECT_EQ(page->LabelList->Caption(), "(6 objects)");
  EXPECT_TRUE(page->LabelWarning->Visible());
  EXPECT_EQ(page->LabelWarning->Caption(), "4 ActiveX items could cause potential threats to your PC!");
  page->Objects[0].Checked = false;   // Foo
  page->Objects[5].Checked = true;    // Qux
  page->Objects[3].Checked = page->Objects[4].Checked = true;   // malformed: never touched
  page->ImmunizeBtnClick(nullptr);
  EXPECT_EQ(MessageBoxes().Calls.at(0).text, "Successfully lock the malignant ActiveX controls!");
  EXPECT_EQ(FlagsOf(foo), "");            // the bit was all the key held
  EXPECT_EQ(FlagsOf(bar), "dword:1025");  // kept, with its other party's value
  EXPECT_EQ(FlagsOf(baz), "type1");       // not a kill bit of ours
  EXPECT_EQ(FlagsOf(qux), "dword:1024");
  EXPECT_EQ(FlagsOf(other), "dword:1024");
  EXPECT_EQ(Rows(page), (std::vector<std::string>{"[ ] Foo | Unlocked", "[x] Bar | Locked", "[ ] Baz | Unlocked",
                                                  "[x]  | Unlocked", "[x]  | Unlocked", "[x] Qux | Locked"}));
  EXPECT_EQ(page->LabelWarning->Caption(), "2 ActiveX items could cause potential threats to your PC!");
  EXPECT_FALSE(page->ProtectGauge->Visible());

  MessageBoxes().Clear();
  page->UnImmunizeBtnClick(nullptr);
  // Bar's kill bit was there before the blocker: it stays, named, and Bar is shown locked
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{std::string(kKeptHead) + "\rBar " + bar});
  EXPECT_EQ(FlagsOf(bar), "dword:1025");
  EXPECT_EQ(FlagsOf(qux), "");
  EXPECT_EQ(FlagsOf(other), "dword:1024");
  EXPECT_EQ(page->LabelWarning->Caption(), "5 ActiveX items could cause potential threats to your PC!");
  EXPECT_EQ(Rows(page)[1], "[x] Bar | Locked");
}

// A write the store refuses, or a flags value it cannot read now (then nothing is written or
// deleted), keeps the row's status and is counted instead of the success text.
TEST_F(BlockerFixture, ARefusedWriteOrAnUnreadableValueKeepsItsStatusAndIsCountedInsteadOfSuccess) {
  struct TUnreadableStore : TRefusingStore {
    TFlagsState ReadFlags(const std::string&, const TKillBitView&, DWORD&) override { return TFlagsState::Unreadable; }
    bool KeyExists(const std::string&, const TKillBitView&) override { return true; }
  };
  PlantCatalogue();
  RecordAsOurs(foo, TMade::Key);   // so that unlocking Foo is tried
  TFormMalignant* page = Open();
  TRefusingStore refusing;
  TUnreadableStore unreadable;
  // refused: the lock of Qux and the unlock of Foo; unreadable: every well-formed row
  for (auto [store, expected] : {std::pair<TRefusingStore*, int>{&refusing, 2}, {&unreadable, 4}}) {
    MessageBoxes().Clear();
    page->Store = store;
    page->Objects[5].Checked = true;   // Qux: would be locked
    page->Objects[0].Checked = false;  // Foo: would be unlocked
    page->ImmunizeBtnClick(nullptr);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Format("%d ActiveX controls could not be changed.", expected)});
    EXPECT_EQ(Rows(page)[5] + " " + Rows(page)[0], "[x] Qux | Unlocked [ ] Foo | Locked");
    EXPECT_EQ(FlagsOf(foo), "dword:1024");
  }
  EXPECT_EQ(unreadable.Writes, 0);
}

TEST_F(BlockerFixture, TheCatalogueIsFetchedOnlyWhenMissingAndAFailedFetchLeavesNoFile) {
  TLocalHttpServer server;
  TKeep<std::string> base(Endpoints::UpdateBase, server.Base());
  server.Route("/update/Code", {.Body = "Foo" + foo + "\r\n"});
  TFormMalignant* page = Open();
  EXPECT_EQ(server.RequestsFor("/update/Code"), 1);
  EXPECT_EQ(Rows(page), (std::vector<std::string>{"[ ] Foo | Unlocked"}));
  page->Free();
  Open()->Free();   // present now: not fetched again
  EXPECT_EQ(server.RequestsFor("/update/Code"), 1);

  DeleteFileW(Widen(temp.Path() + "Code").c_str());
  Endpoints::UpdateBase = TLocalHttpServer::ClosedBase();
  page = Open();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"The list of malignant ActiveX controls could not be loaded."});
  EXPECT_FALSE(FileExists(temp.Path() + "Code"));
  EXPECT_EQ(page->ListActiveX->Count(), 0);
  EXPECT_EQ(page->LabelList->Caption(), "");
}

// Lock adds the kill bit to the bits another party set; Unlock takes only the kill bit away and
// leaves a key that still holds another value.
TEST_F(BlockerFixture, LockKeepsTheOtherFlagBitsAndUnlockKeepsAKeyThatStillHoldsAnotherValue) {
  const std::string alternate = "{00000000-0000-0000-0000-0000000000A1}";
  fooKey.SetDword("", "Compatibility Flags", 0x1);
  barKey.SetString("", "AlternateCLSID", alternate);
  temp.WriteFile("Code", "Foo" + foo + "\r\nBar" + bar + "\r\n");
  TFormMalignant* page = Open();
  EXPECT_EQ(Rows(page), (std::vector<std::string>{"[ ] Foo | Unlocked", "[ ] Bar | Unlocked"}));
  page->Objects[0].Checked = page->Objects[1].Checked = true;
  page->ImmunizeBtnClick(nullptr);
  EXPECT_EQ(FlagsOf(foo), "dword:1025");
  page->UnImmunizeBtnClick(nullptr);
  EXPECT_EQ(FlagsOf(foo), "dword:1");
  EXPECT_EQ(FlagsOf(bar), "none");
  EXPECT_EQ(barKey.Read("", "AlternateCLSID"), alternate);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Successfully lock the malignant ActiveX controls!",
                                                      "Successfully unlock the selected ActiveX controls!"}));
}

// A "Compatibility Flags" value that is not a double word of 4 bytes belongs to someone else: Lock
// never replaces it (the row stays unlocked and is named instead of the success text), Unlock and
// the store's own writes never change or delete it.
TEST_F(BlockerFixture, AFlagsValueOfAnotherKindIsNeitherReplacedByLockNorDeletedByUnlock) {
  struct TCase {
    const char* Name;
    DWORD Type;
    std::vector<uint8_t> Data;
  };
  const TCase cases[] = {
      {"Text", REG_SZ, Utf16(L"1024")},
      {"Expand", REG_EXPAND_SZ, Utf16(L"%ZvFlags%")},
      {"Multi", REG_MULTI_SZ, Utf16(std::wstring(L"1024\0", 5))},
      {"Binary", REG_BINARY, Bytes({0x00, 0x04, 0x00, 0x00})},
      {"Qword", REG_QWORD, Bytes({0x00, 0x04, 0, 0, 0, 0, 0, 0})},
      {"Short dword", REG_DWORD, Bytes({0x00, 0x04})},
      {"Long dword", REG_DWORD, Bytes({0x01, 0x00, 0, 0, 0, 0, 0, 0})},
      {"Big-endian", REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0x04, 0x00})},
      {"Empty", REG_NONE, {}},
  };
  std::vector<std::unique_ptr<RegSandbox>> keys;
  std::vector<std::string> named;
  std::string code;
  for (const TCase& c : cases) {
    std::string id = NewGuid();
    keys.push_back(std::make_unique<RegSandbox>(HKEY_LOCAL_MACHINE, ExactPath{kCompatibilityKey + id}));
    keys.back()->SetRaw("", "Compatibility Flags", c.Type, c.Data);
    std::string name = std::string(c.Name) + " \xC3\xA9 #|=";
    code += name + id + "\r\n";
    named.push_back(name + " " + id);
  }
  temp.WriteFile("Code", code + "Foo" + foo + "\r\n");
  auto trees = [&] {
    std::vector<TTreeDump> dumps;
    for (const auto& key : keys) dumps.push_back(DumpTree(key->Root(), key->Path()));
    return dumps;
  };
  const std::vector<TTreeDump> before = trees();
  auto changes = [&] {
    std::string text;
    std::vector<TTreeDump> now = trees();
    for (size_t i = 0; i < now.size(); ++i) text += Differences(before[i], now[i]);
    return text;
  };

  TFormMalignant* page = Open();
  for (TActiveXObject& object : page->Objects) object.Checked = true;
  page->ImmunizeBtnClick(nullptr);
  std::string expected =
      "These ActiveX controls were not locked, because their \"Compatibility Flags\" value is not a 32-bit number "
      "and locking would replace it:";
  for (const std::string& n : named) expected += "\r" + n;
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{expected});
  EXPECT_EQ(MessageBoxes().Calls.at(0).flags, (unsigned)MB_ICONWARNING);
  EXPECT_EQ(changes(), "");
  EXPECT_EQ(FlagsOf(foo), "dword:1024");
  std::vector<std::string> rows = Rows(page);
  EXPECT_EQ(rows.back(), "[x] Foo | Locked");
  for (size_t i = 0; i + 1 < rows.size(); ++i) EXPECT_EQ(rows[i].substr(rows[i].size() - 8), "Unlocked") << rows[i];

  MessageBoxes().Clear();
  page->UnImmunizeBtnClick(nullptr);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{kUnlockDoneText});
  EXPECT_EQ(changes(), "");
  EXPECT_EQ(FlagsOf(foo), "none");   // the empty key Foo had before Lock stays

  TKillBitStore store;   // the store itself refuses, also when asked directly
  for (const auto& key : keys) {
    std::string id = key->Path().substr(key->Path().rfind('\\') + 1);
    EXPECT_FALSE(store.WriteFlags(id, store.Views.back(), kKillBit)) << id;
    EXPECT_FALSE(store.DeleteFlags(id, store.Views.back(), true)) << id;
  }
  EXPECT_EQ(changes(), "");
}

TEST_F(BlockerFixture, TheSelectAllLabelAppliesTheBoxAsItStandsWithoutTogglingIt) {
  PlantCatalogue();
  TFormMalignant* page = Open();
  auto clickLabel = [&] {
    page->Label3->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    page->Label3->Perform(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  };
  auto ticked = [&] {
    std::vector<std::string> rows = Rows(page);
    return (int)std::count_if(rows.begin(), rows.end(), [](const std::string& r) { return r.rfind("[x]", 0) == 0; });
  };
  for (bool state : {true, false}) {
    SCOPED_TRACE(state);
    page->ChkList->SetChecked(state);
    page->Objects[2].Checked = !state;   // one row set by hand against the box
    clickLabel();
    EXPECT_EQ(page->ChkList->Checked(), state);
    EXPECT_EQ(ticked(), state ? 6 : 0);
  }
  EXPECT_EQ(Rows(page)[0], "[ ] Foo | Locked");   // ticks only: the statuses stay
}

TEST_F(BlockerFixture, AResizeFitsTheBlockersMiddleColumnAndTheReRegistrationsFirstColumn) {
  temp.WriteFile("Code", "Foo" + foo + "\r\n");
  TFormMalignant* blocker = Open();
  auto* reRegister = new TFormRegDll(host);
  reRegister->SetBounds(4, 26, 489, 337);
  blocker->ListActiveX->SetWidth(400);
  blocker->ListActiveX->SetColumnWidth(0, 100);
  blocker->ListActiveX->SetColumnWidth(2, 90);
  reRegister->lvActivexDLL->SetWidth(420);
  reRegister->lvActivexDLL->SetColumnWidth(1, 120);
  blocker->SetBounds(4, 26, 470, 330);
  reRegister->SetBounds(4, 26, 470, 330);
  EXPECT_EQ(blocker->ListActiveX->ColumnWidth(1), 400 - (100 + 90) - 20);
  EXPECT_EQ(reRegister->lvActivexDLL->ColumnWidth(0), 420 - 120 - 20);
}

TEST_F(BlockerFixture, AListThatCouldNotBeLoadedIsToldOnceAndLockOrUnlockWithNothingTickedAsksForASelection) {
  const std::string notLoaded = "The list of malignant ActiveX controls could not be loaded.";
  const std::string select = "Please select the specific item for this operation!";
  TKeep<std::string> base(Endpoints::UpdateBase, TLocalHttpServer::ClosedBase());
  TFormMalignant* page = Open();
  page->Hide();
  page->Show();   // shown again: not told twice
  page->ImmunizeBtnClick(nullptr);
  page->UnImmunizeBtnClick(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{notLoaded, select, select}));
  EXPECT_EQ(MessageBoxes().Calls.at(1).flags, (unsigned)MB_ICONWARNING);
  page->Free();

  MessageBoxes().Clear();
  PlantCatalogue();
  page = Open();
  page->Objects[0].Checked = page->Objects[1].Checked = false;   // the locked ones unticked
  page->ImmunizeBtnClick(nullptr);
  page->UnImmunizeBtnClick(nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{select, select}));
  EXPECT_EQ(FlagsOf(foo) + " " + FlagsOf(bar), "dword:1024 dword:1025");
  EXPECT_EQ(Rows(page)[0] + " " + Rows(page)[1], "[ ] Foo | Locked [ ] Bar | Locked");
  EXPECT_FALSE(page->ProtectGauge->Visible());
}

namespace {

// The registry's store that asks the page to close (as the tray's Exit does) at its first write.
struct TClosingStore : TKillBitStore {
  TForm* Page = nullptr;
  bool WriteFlags(const std::string& clsid, const TKillBitView& view, DWORD flags) override {
    bool written = TKillBitStore::WriteFlags(clsid, view, flags);
    Page->FreeWhenIdle();
    return written;
  }
};

}  // namespace

TEST_F(BlockerFixture, ALockStoppedByClosingThePageEndsAfterTheObjectItWasOnAndShowsNothing) {
  temp.WriteFile("Code", "Foo" + foo + "\r\nQux" + qux + "\r\n");
  TFormMalignant* page = Open();
  TClosingStore store;
  store.Page = page;
  page->Store = &store;
  page->Objects[0].Checked = page->Objects[1].Checked = true;
  page->ImmunizeBtnClick(nullptr);   // the page is gone afterwards
  EXPECT_EQ(FlagsOf(foo), "dword:1024");
  EXPECT_EQ(FlagsOf(qux), "");
  EXPECT_TRUE(MessageBoxes().Calls.empty());
}

// Only the kill bits the blocker set are taken off again, by Unlock and by Lock's unticked rows,
// and each leaves the object as the blocker found it; a kill bit that was there before (system
// security updates set them) stays, its row shown locked and named.
TEST_F(BlockerFixture, OnlyTheKillBitsTheBlockerSetAreTakenOffAndEachAsItWasFound) {
  const std::string alternate = "{00000000-0000-0000-0000-0000000000A2}";
  struct TCase {
    std::string Name;
    std::function<void(const RegSandbox&)> Plant;
    std::string Locked;    // the flags after Lock
    std::string Cleared;   // after Unlock, and after Lock with the row unticked
    bool Kept;             // another program's kill bit: left, named, shown locked
  };
  const TCase cases[] = {
      {"System", [](const RegSandbox& k) { k.SetDword("", kFlagsValue, 0x400); }, "dword:1024", "dword:1024", true},
      {"System more", [](const RegSandbox& k) { k.SetDword("", kFlagsValue, 0x401); }, "dword:1025", "dword:1025",
       true},
      {"No key", [](const RegSandbox& k) { RegDeleteKeyW(k.Root(), Widen(k.Path()).c_str()); }, "dword:1024", "",
       false},
      {"Empty key", [](const RegSandbox& k) { k.CreateKey(""); }, "dword:1024", "none", false},
      {"Other value", [&](const RegSandbox& k) { k.SetString("", "AlternateCLSID", alternate); }, "dword:1024", "none",
       false},
      {"Zero", [](const RegSandbox& k) { k.SetDword("", kFlagsValue, 0); }, "dword:1024", "dword:0", false},
      {"Other bits", [](const RegSandbox& k) { k.SetDword("", kFlagsValue, 0x21); }, "dword:1057", "dword:33", false},
  };
  std::vector<std::unique_ptr<RegSandbox>> keys;
  std::vector<std::string> ids;
  std::string code, kept = kKeptHead;
  for (const TCase& c : cases) {
    ids.push_back(NewGuid());
    keys.push_back(std::make_unique<RegSandbox>(HKEY_LOCAL_MACHINE, ExactPath{kCompatibilityKey + ids.back()}));
    c.Plant(*keys.back());
    code += c.Name + ids.back() + "\r\n";
    if (c.Kept) kept += "\r" + c.Name + " " + ids.back();
  }
  temp.WriteFile("Code", code + "Spare" + qux + "\r\n");   // Spare stays ticked while the rest are not
  TFormMalignant* page = Open();
  auto expectRows = [&](bool afterClear) {
    for (size_t i = 0; i < std::size(cases); ++i) {
      bool locked = cases[i].Kept || !afterClear;
      EXPECT_EQ(Rows(page)[i], std::string(locked ? "[x] " : "[ ] ") + cases[i].Name + " | " +
                                   (locked ? "Locked" : "Unlocked"));
    }
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(Rows(page)[i].substr(0, 3), cases[i].Kept ? "[x]" : "[ ]");
  for (bool unlock : {true, false}) {
    SCOPED_TRACE(unlock ? "Unlock" : "Lock with the rows unticked");
    MessageBoxes().Clear();
    for (TActiveXObject& object : page->Objects) object.Checked = true;
    page->ImmunizeBtnClick(nullptr);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kLockDoneText});
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(FlagsOf(ids[i]), cases[i].Locked) << cases[i].Name;
    expectRows(false);

    MessageBoxes().Clear();
    if (unlock) {
      page->UnImmunizeBtnClick(nullptr);
    } else {
      for (TActiveXObject& object : page->Objects) object.Checked = false;
      page->Objects.back().Checked = true;
      page->ImmunizeBtnClick(nullptr);
    }
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kept});
    EXPECT_EQ(MessageBoxes().Calls.at(0).flags, (unsigned)MB_ICONWARNING);
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(FlagsOf(ids[i]), cases[i].Cleared) << cases[i].Name;
    EXPECT_EQ(keys[4]->Read("", "AlternateCLSID"), alternate);
    expectRows(true);
  }
  page->UnImmunizeBtnClick(nullptr);   // Spare too: the record leaves nothing behind
  EXPECT_EQ(FlagsOf(qux), "");
  EXPECT_FALSE(records.KeyExists(""));
}

// A record the blocker did not write (another type or size, a number it never writes) counts as
// none: its kill bit stays. The record the blocker writes is one double word per object and view.
TEST_F(BlockerFixture, ARecordOfAnotherKindNeverTakesAKillBitOff) {
  struct TCase {
    std::string Name;
    DWORD Type;
    std::vector<uint8_t> Data;
    bool Ours;
  };
  const TCase cases[] = {
      {"Text", REG_SZ, Utf16(L"3"), false},
      {"Expand", REG_EXPAND_SZ, Utf16(L"%ZvMade%"), false},
      {"Multi", REG_MULTI_SZ, Utf16(std::wstring(L"3\0", 2)), false},
      {"Binary", REG_BINARY, Bytes({3}), false},
      {"Qword", REG_QWORD, Bytes({3, 0, 0, 0, 0, 0, 0, 0}), false},
      {"Short dword", REG_DWORD, Bytes({3, 0}), false},
      {"Zero", REG_DWORD, Bytes({0, 0, 0, 0}), false},
      {"Unknown", REG_DWORD, Bytes({4, 0, 0, 0}), false},
      {"None", REG_NONE, {}, false},
      {"Ours \xC3\xA9 #|=", REG_DWORD, Bytes({3, 0, 0, 0}), true},
  };
  std::vector<std::unique_ptr<RegSandbox>> keys;
  std::vector<std::string> ids;
  std::string code, kept = kKeptHead;
  TKillBitStore store;
  for (const TCase& c : cases) {
    ids.push_back(NewGuid());
    keys.push_back(std::make_unique<RegSandbox>(HKEY_LOCAL_MACHINE, ExactPath{kCompatibilityKey + ids.back()}));
    keys.back()->SetDword("", kFlagsValue, kKillBit);
    for (const TKillBitView& view : store.Views) records.SetRaw(view.Name, ids.back(), c.Type, c.Data);
    code += c.Name + ids.back() + "\r\n";
    if (!c.Ours) kept += "\r" + c.Name + " " + ids.back();
  }
  temp.WriteFile("Code", code);
  TFormMalignant* page = Open();
  page->UnImmunizeBtnClick(nullptr);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{kept});
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(FlagsOf(ids[i]), cases[i].Ours ? "" : "dword:1024") << cases[i].Name;
}

// A catalogue naming one object twice (in another case: the same key) lists it once, so that a
// second, unticked row never unlocks what the first row locked.
TEST_F(BlockerFixture, AnObjectListedTwiceIsListedOnceAndNeverUnlockedByItsSecondRow) {
  temp.WriteFile("Code", "Foo" + foo + "\r\nFoo again" + AnsiLowerCase(foo) + "\r\nBar" + bar + "\r\n");
  TFormMalignant* page = Open();
  EXPECT_EQ(Rows(page), (std::vector<std::string>{"[ ] Foo | Unlocked", "[ ] Bar | Unlocked"}));
  page->Objects[0].Checked = true;
  page->ImmunizeBtnClick(nullptr);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{kLockDoneText});
  EXPECT_EQ(FlagsOf(foo) + " " + FlagsOf(bar), "dword:1024 none");
}

namespace {

bool ExpectedWow64() {
  wchar_t arch[16] = {};
  GetEnvironmentVariableW(L"ZELVORAN_WINEARCH", arch, 16);
  return std::wstring(arch) == L"win64";
}

// The objects' keys in the 64-bit view, removed afterwards (the fixture removes those of the
// 32-bit view).
struct BlockerViews : BlockerFixture {
  ~BlockerViews() override {
    for (const std::string& id : {foo, bar, baz})
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Widen(kCompatibilityKey + id).c_str(), KEY_WOW64_64KEY, 0);
  }
  static void SetFlags(const std::string& clsid, REGSAM view, DWORD flags) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widen(kCompatibilityKey + clsid).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, Widen(kFlagsValue).c_str(), 0, REG_DWORD, (const BYTE*)&flags, sizeof flags);
    RegCloseKey(key);
  }
  static std::string BothViews(const std::string& clsid) {
    return FlagsOf(clsid, KEY_WOW64_64KEY) + "/" + FlagsOf(clsid, KEY_WOW64_32KEY);
  }
};

}  // namespace

// On 64-bit Windows the 64-bit browser reads the kill bits in the 64-bit view and the 32-bit
// browser in the 32-bit one: Lock sets and records them in both, an object counts as locked only
// when both hold its kill bit, and Unlock takes off in each view only what the blocker set there.
// (A 32-bit system has one view: this runs in the 64-bit prefix, ctest -L win64.)
TEST_F(BlockerViews, KillBitsAreSetAndTakenOffInBothViewsOfA64BitSystem) {
  const bool wow64 = PublicFunctionUnit::RunsUnderWow64();
  if (ExpectedWow64()) {
    ASSERT_TRUE(wow64) << "the 64-bit prefix runs this program under WOW64";
  }
  if (!wow64) GTEST_SKIP() << "a 32-bit system has one registry view";
  SetFlags(bar, KEY_WOW64_64KEY, kKillBit);   // another program's, in the 64-bit view only
  SetFlags(baz, KEY_WOW64_64KEY, kKillBit);   // another program's, in both
  SetFlags(baz, KEY_WOW64_32KEY, kKillBit);
  temp.WriteFile("Code", "Foo" + foo + "\r\nBar" + bar + "\r\nBaz" + baz + "\r\n");
  TFormMalignant* page = Open();
  EXPECT_EQ(Rows(page), (std::vector<std::string>{"[ ] Foo | Unlocked", "[ ] Bar | Unlocked", "[x] Baz | Locked"}));
  for (TActiveXObject& object : page->Objects) object.Checked = true;
  page->ImmunizeBtnClick(nullptr);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{kLockDoneText});
  EXPECT_EQ(BothViews(foo) + " " + BothViews(bar) + " " + BothViews(baz),
            "dword:1024/dword:1024 dword:1024/dword:1024 dword:1024/dword:1024");
  EXPECT_EQ(Rows(page), (std::vector<std::string>{"[x] Foo | Locked", "[x] Bar | Locked", "[x] Baz | Locked"}));

  MessageBoxes().Clear();
  page->UnImmunizeBtnClick(nullptr);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{std::string(kKeptHead) + "\rBar " + bar + "\rBaz " + baz});
  // the 64-bit view had no keys of Foo and Bar, the 32-bit one empty keys (the fixture's)
  EXPECT_EQ(BothViews(foo) + " " + BothViews(bar) + " " + BothViews(baz),
            "/none dword:1024/none dword:1024/dword:1024");
  EXPECT_EQ(Rows(page), (std::vector<std::string>{"[ ] Foo | Unlocked", "[ ] Bar | Unlocked", "[x] Baz | Locked"}));
  EXPECT_FALSE(records.KeyExists(""));
}

namespace {

struct ReRegisterFixture : ::testing::Test {
  TempFolder temp;
  ReRegisterFixture() {
    MessageBoxes().Clear();
    std::string server = ExeDir() + "ZvRecordingServer.dll";
    for (const char* name : {"a.ocx", "b.DLL", "x.dll.bak"})
      CopyFileW(Widen(server).c_str(), Widen(temp.Path() + name).c_str(), FALSE);
    temp.WriteFile("bad.dll", "not a library");
    temp.WriteFile("c.exe", "MZ");
    CreateDirectoryW(Widen(temp.Path() + "y.dll").c_str(), nullptr);
    temp.WriteFile("y.dll\\inner.dll", "x");
  }
  std::string Log() const {
    std::string file = temp.Path() + "registrations.log";
    return FileExists(file) ? ReadFileBytes(file) : "";
  }
};

}  // namespace

TEST_F(ReRegisterFixture, RegistersOnlyLibrariesAndControlsOneAtATimeWithTheirOutcomeUntilStopped) {
  TForm holder({});
  auto* host = new TPanel(&holder);
  auto* page = new TFormRegDll(host);
  page->Folder = temp.Path();
  page->btnRepairClick(nullptr);
  std::vector<std::string> rows;
  for (const auto& row : page->Rows()) rows.push_back(ExtractFileName(row.Path) + " | " + row.Status);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::string>{"a.ocx | Re-register successfully", "b.DLL | Re-register successfully",
                                            "bad.dll | Re-register failed"}));
  std::string log = Log();   // never two at once: each begin is followed by its own end
  for (const char* name : {"a.ocx", "b.DLL"}) {
    size_t begin = log.find(std::string("begin ") + name);
    ASSERT_NE(begin, std::string::npos) << log;
    EXPECT_EQ(log.compare(log.find('\n', begin) + 1, 4 + strlen(name) + 1, std::string("end ") + name + "\r"), 0) << log;
  }
  EXPECT_EQ(log.find("x.dll.bak"), std::string::npos);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text,
            "Re-registering ActiveX and .Dll objects did not complete.\rFiles that could not be re-registered: 1");
  EXPECT_TRUE(page->btnRepair->Enabled());
  EXPECT_EQ(SystemRepairUnit::RegisterCommandLine("C:\\a b\\x.ocx"),
            PublicFunctionUnit::SystemProgram("regsvr32.exe") + " /s \"C:\\a b\\x.ocx\"");

  int asked = 0, registered = 0;   // a stop ends the walk before the next file
  SystemRepairUnit::ReRegisterFolder(
      temp.Path(), [&] { return registered == 0 || ++asked < 0; },
      [&](const std::string&, bool) { ++registered; });
  EXPECT_EQ(registered, 1);
  EXPECT_FALSE(PublicFunctionUnit::GetSystemDir().empty());
}

// A program named like the system's regsvr32.exe in this program's folder or in the current
// folder never runs in its place: the one in the system folder registers.
TEST_F(ReRegisterFixture, APlantedRegsvr32InTheProgramsOrTheCurrentFolderNeverRuns) {
  if (!InProgramCopy()) {   // the look-alikes go into a copy's folder of its own
    TempFolder program("program");
    RunInProgramCopy(program.Path(), {"ZvRecordingServer.dll"});
    return;
  }
  std::string current = temp.Path() + "current\\";
  ASSERT_TRUE(CreateDirectoryW(Widen(current).c_str(), nullptr));
  for (const std::string& folder : {ExeDir(), current}) {
    SCOPED_TRACE(folder);
    TPlantedProgram planted(folder + "regsvr32.exe");
    bool registered = false;
    {
      TCurrentFolder here(current);
      registered = SystemRepairUnit::RegisterOne(temp.Path() + "a.ocx");
    }
    EXPECT_FALSE(planted.Ran());
    EXPECT_TRUE(registered);
    EXPECT_EQ(Log(), "begin a.ocx\r\nend a.ocx\r\n");
    DeleteFileW(Widen(temp.Path() + "registrations.log").c_str());
  }
}

TEST_F(ReRegisterFixture, TheClosingBoxSaysHowManyFilesFailedOrWereNotReached) {
  std::string good = temp.Path() + "good\\";
  ASSERT_TRUE(CreateDirectoryW(Widen(good).c_str(), nullptr));
  for (const char* name : {"one.ocx", "two.dll"})
    CopyFileW(Widen(ExeDir() + "ZvRecordingServer.dll").c_str(), Widen(good + name).c_str(), FALSE);
  TForm holder({});
  auto* page = new TFormRegDll(new TPanel(&holder));
  page->Folder = good;
  page->btnRepairClick(nullptr);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Re-registering ActiveX and .Dll objects run successfully!"});

  MessageBoxes().Clear();
  PostMessageW(page->btnStop->Handle(), BM_CLICK, 0, 0);   // handled before or while the first file registers
  page->btnRepairClick(nullptr);
  int reached = (int)page->Rows().size();
  ASSERT_LE(reached, 1);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{Format(
                                "Re-registering ActiveX and .Dll objects did not complete.\r"
                                "Files not reached because the walk was stopped: %d",
                                2 - reached)});
}
