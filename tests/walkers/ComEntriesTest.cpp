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
