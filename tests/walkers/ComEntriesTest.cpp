// The COM walk over planted keys, and the type-library pass and repairs over class entries
// planted under HKEY_CLASSES_ROOT with identifiers of their own, removed afterwards.
#include <gtest/gtest.h>

#include "support/Planting.h"
#include "support/ScanFixture.h"
#include "scan/ActivexSection.h"

using namespace PublicFunctionUnit;
using namespace scan_test;
using namespace testing_support;

namespace {

const char* const kCaption = "ActiveX, OLE/COM Entries";

// What the results page shows of a finding, and the names its repair uses.
Texts Shown(const TContent& c) {
  return {c.ShortName, c.ValueName, c.Value, c.KeyPathLine, c.ValueNameLine, c.ValueLine, c.FaultLine,
          c.DescriptionLine, c.ProblemKind};
}

class ComEntries : public ScanTest {};

}  // namespace

TEST_F(ComEntries, EmptyServerAndHelpKeysWithTheirTexts) {
  RegSandbox box;
  for (const char* k : {"X\\InprocServer32", "V\\LocalServer32", "U\\InprocServer", "T\\inprocserver32", "H\\HELPDIR",
                        "h2\\helpdir", "AppID\\InprocServer32", "AppID\\a\\HELPDIR", "S\\appid\\InprocServer32"})
    box.SetString(k, "", "");
  box.SetString("Y\\InprocServer32", "", "", REG_EXPAND_SZ);
  box.CreateKey("Z\\InprocServer32");
  box.SetString("W\\InprocServer32", "", "x");

  Scan(ActivexSection::ScanComKeys, box.Path(), box.Root());
  auto k = [&](const std::string& sub) { return box.FullPath() + "\\" + sub; };
  Texts paths;
  for (const TContent& c : Mine("")) paths.push_back(c.KeyPath);
  ASSERT_EQ(paths, (Texts{k("H\\HELPDIR"), k("S\\appid\\InprocServer32"), k("U\\InprocServer"), k("V\\LocalServer32"),
                          k("X\\InprocServer32")}));
  EXPECT_EQ(Shown(Contents.GetItem(0).Content),
            (Texts{"HELPDIR", "default", box.Path() + "\\H\\HELPDIR", " Key Path:" + k("H\\HELPDIR"), " ValueName:default",
                   " Value:" + box.Path() + "\\H\\HELPDIR", " The key is Emtpy",
                   "The Key HELPDIR under " + k("H\\HELPDIR") + " is Empty", "Empty Key: " + k("H\\HELPDIR")}));
  const TContent& server = Contents.GetItem(4).Content;
  EXPECT_EQ(Shown(server), (Texts{"InprocServer32", "default", "", " Key Path:" + k("X\\InprocServer32"),
                                  " ValueName:default", " Value:", " The key is Emtpy",
                                  "The Key default under " + k("X\\InprocServer32") + " is Empty",
                                  "Empty Key: " + k("X\\InprocServer32")}));
  EXPECT_EQ(CountLabel.Text, "5");
  // Every key visited is shown, the "AppID" subtrees are not visited at all.
  EXPECT_EQ(CurrentItem.Changes, 21);
  EXPECT_EQ(ItemsProcessed, 21);

  // An exclusion hides that key only; the stop flag ends the walk at once.
  Exclude(kCaption, server);
  Contents.Clear();
  Scan(ActivexSection::ScanComKeys, box.Path(), box.Root());
  EXPECT_EQ(Contents.Count(), 4);
  EXPECT_TRUE(FindingsAt(Contents, k("X\\InprocServer32")).empty());
  ExpectStopEndsScan(ActivexSection::ScanComKeys, box.Path(), box.Root());
}

TEST_F(ComEntries, TypeLibrariesThatAreNotRegistered) {
  ClassKeys keys;
  auto clsid = [] { return "CLSID\\" + NewGuid(); };
  std::string missingA = clsid(), missingB = clsid(), registered = clsid(), emptyLib = clsid(), expandLib = clsid(),
              noLib = clsid(), lostLib = NewGuid(), presentLib = NewGuid();
  if (AnsiUpperCase(missingB) < AnsiUpperCase(missingA)) std::swap(missingA, missingB);   // A is listed first
  keys.Set(missingA + "\\TypeLib", lostLib);
  keys.Set(missingB + "\\TypeLib", NewGuid());
  keys.Set(registered + "\\TypeLib", presentLib);
  keys.Create("TypeLib\\" + presentLib + "\\1.0");
  keys.Set(emptyLib + "\\TypeLib", "");
  keys.Set(expandLib + "\\TypeLib", NewGuid(), REG_EXPAND_SZ);
  keys.Set(noLib, "no type library");

  auto scan = [&]() {
    Contents.Clear();
    Scan(ActivexSection::ScanClsidTypeLibs, "", HKEY_CLASSES_ROOT);
  };
  auto reported = [&](const std::string& clsid) {
    return FindingsAt(Contents, "HKEY_CLASSES_ROOT\\" + clsid + "\\TypeLib");
  };
  scan();
  ASSERT_EQ(reported(missingA).size(), 1u);
  EXPECT_EQ(reported(missingB).size(), 1u);
  for (const std::string* c : {&registered, &emptyLib, &expandLib, &noLib}) EXPECT_TRUE(reported(*c).empty()) << *c;
  const TContent f = reported(missingA)[0];
  const std::string k = "HKEY_CLASSES_ROOT\\" + missingA + "\\TypeLib";
  EXPECT_EQ(Shown(f), (Texts{"TypeLib", "default", lostLib, "Key Path:" + k, "ValueName:default", "Value:" + lostLib,
                             "The following App ID or CLSID doesn't exist",
                             "The Key default under " + k + " contains a bad path for the value",
                             "Missing or Invalid Path"}));
  EXPECT_EQ(CountLabel.Text, Format("%d", Contents.Count()));

  // Excluding the first one leaves the rest of the pass going.
  Exclude(kCaption, f);
  scan();
  EXPECT_TRUE(reported(missingA).empty());
  EXPECT_EQ(reported(missingB).size(), 1u);
  ExpectStopEndsScan(ActivexSection::ScanClsidTypeLibs, "", HKEY_CLASSES_ROOT);
}

// An empty server key in a user's classes switches off, for that user, a class the machine's
// classes register with a server (the documented way to turn a shell extension off): it is not
// reported, met in the user's classes by any of their names or through the classes root. An empty
// server key of a class the machine does not register with a server still is.
TEST_F(ComEntries, AUsersEmptyServerKeySwitchingOffAMachineClassIsNoFault) {
  struct TCase {
    const char* Name;
    const char* UserKey;        // the empty key planted in the user's classes, below the class entry
    const char* MachineKey;     // a key of the machine's class entry ("" none) ...
    const char* MachineValue;   // ... and its default value
    bool Reported;
  };
  const TCase cases[] = {
      {"same server", "InprocServer32", "InprocServer32", "C:\\Windows\\System32\\shell.dll", false},
      {"other server", "InprocServer32", "LocalServer32", "C:\\Windows\\explorer.exe", false},
      {"local server", "LocalServer32", "InprocServer", "C:\\Windows\\old.dll", false},
      {"unregistered", "InprocServer32", "", "", true},
      {"machine empty too", "InprocServer32", "InprocServer32", "", true},
      {"machine no server", "InprocServer32", "TypeLib", "{00000000-0000-0000-0000-000000000000}", true},
      {"help folder", "HELPDIR", "InprocServer32", "C:\\Windows\\System32\\shell.dll", true},
  };
  const std::string usersRoot = "HKEY_USERS\\", identity = KeyIdentity(HKEY_CURRENT_USER, "");
  ASSERT_TRUE(identity.starts_with(usersRoot)) << identity;
  const std::string users = identity.substr(usersRoot.size());   // the user's hive under HKEY_USERS
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string entry = "CLSID\\" + NewGuid();
    RegSandbox user(HKEY_CURRENT_USER, ExactPath{"Software\\Classes\\" + entry});
    user.SetString(c.UserKey, "", "");
    ClassKeys machine;   // the classes root of the test prefix is the machine's classes
    if (*c.MachineKey != 0) machine.Set(entry + "\\" + c.MachineKey, c.MachineValue);
    // the user's classes as the current user's key and as that user's hive under HKEY_USERS
    for (const auto& [root, path] : {std::pair{HKEY_CURRENT_USER, user.Path()}, {HKEY_USERS, users + "\\" + user.Path()}}) {
      Contents.Clear();
      Scan(ActivexSection::ScanComKeys, path, root);
      EXPECT_EQ(FindingsAt(Contents, RootKeyName(root) + "\\" + path + "\\" + c.UserKey).size(), c.Reported ? 1u : 0u)
          << RootKeyName(root);
    }
  }

  // Through the classes root, a key lies in the user's classes when the user's classes hold it
  // (the system's view shows the user's key over the machine's).
  const std::string entry = "CLSID\\" + NewGuid();
  ClassKeys machine;
  machine.Set(entry + "\\InprocServer32", "");
  machine.Set(entry + "\\LocalServer32", "C:\\Windows\\explorer.exe");
  auto reportedThroughClassesRoot = [&] {
    Contents.Clear();
    Scan(ActivexSection::ScanComKeys, entry, HKEY_CLASSES_ROOT);
    return FindingsAt(Contents, "HKEY_CLASSES_ROOT\\" + entry + "\\InprocServer32").size();
  };
  EXPECT_EQ(reportedThroughClassesRoot(), 1u);   // the machine's own empty key
  {
    RegSandbox user(HKEY_CURRENT_USER, ExactPath{"Software\\Classes\\" + entry});
    user.SetString("InprocServer32", "", "");
    EXPECT_EQ(reportedThroughClassesRoot(), 0u);
  }
}

// The walk never enters the other registry view's copy of the classes, at any depth and in any
// letter case.
TEST_F(ComEntries, TheOtherViewsCopyOfTheClassesIsNotWalked) {
  RegSandbox box;
  for (const char* k : {"Wow6432Node\\CLSID\\{a}\\InprocServer32", "WOW6432NODE\\X\\HELPDIR",
                        "CLSID\\Wow6432Node\\{b}\\LocalServer32", "CLSID\\{c}\\InprocServer32"})
    box.SetString(k, "", "");
  Scan(ActivexSection::ScanComKeys, box.Path(), box.Root());
  Texts paths;
  for (const TContent& c : Mine("")) paths.push_back(c.KeyPath);
  EXPECT_EQ(paths, Texts{box.FullPath() + "\\CLSID\\{c}\\InprocServer32"});
  EXPECT_EQ(ItemsProcessed, 3);   // CLSID, {c} and its server key
}
