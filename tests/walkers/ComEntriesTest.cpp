// The COM walk over planted keys, and the type-library pass and repairs over class entries
// planted under HKEY_CLASSES_ROOT with identifiers of their own, removed afterwards.
#include <gtest/gtest.h>

#include "support/Planting.h"
#include "support/ScanFixture.h"
#include "scan/ActivexSection.h"
#include "scan/SectionCommon.h"

using namespace PublicFunctionUnit;
using namespace scan_test;
using namespace testing_support;

namespace {

const char* const kCaption = "ActiveX, OLE/COM Entries";

class ComEntries : public ScanTest {};

}  // namespace

TEST_F(ComEntries, EmptyServerAndHelpKeysWithTheirTexts) {
  RegSandbox box;
  box.SetString("X\\InprocServer32", "", "");
  box.SetString("Y\\InprocServer32", "", "", REG_EXPAND_SZ);
  box.CreateKey("Z\\InprocServer32");
  box.SetString("W\\InprocServer32", "", "x");
  box.SetString("V\\LocalServer32", "", "");
  box.SetString("U\\InprocServer", "", "");
  box.SetString("T\\inprocserver32", "", "");
  box.SetString("H\\HELPDIR", "", "");
  box.SetString("h2\\helpdir", "", "");
  box.SetString("AppID\\InprocServer32", "", "");
  box.SetString("AppID\\a\\HELPDIR", "", "");
  box.SetString("S\\appid\\InprocServer32", "", "");

  ActivexSection::ScanComKeys(0, &CurrentItem, &CountLabel, IgnoreList, Contents, box.Path(), box.Root());
  auto k = [&](const std::string& sub) { return box.FullPath() + "\\" + sub; };
  ASSERT_EQ(Contents.Count(), 5);
  const TContent& help = Contents.GetItem(0).Content;   // keys come sorted: H, S, U, V, X
  EXPECT_EQ(help.KeyPath, k("H\\HELPDIR"));
  EXPECT_EQ(help.ShortName, "HELPDIR");
  EXPECT_EQ(help.ValueName, "default");
  EXPECT_EQ(help.Value, box.Path() + "\\H\\HELPDIR");
  EXPECT_EQ(help.KeyPathLine, " Key Path:" + k("H\\HELPDIR"));
  EXPECT_EQ(help.ValueNameLine, " ValueName:default");
  EXPECT_EQ(help.ValueLine, " Value:" + box.Path() + "\\H\\HELPDIR");
  EXPECT_EQ(help.FaultLine, " The key is Emtpy");
  EXPECT_EQ(help.DescriptionLine, "The Key HELPDIR under " + k("H\\HELPDIR") + " is Empty");
  EXPECT_EQ(help.ProblemKind, "Empty Key: " + k("H\\HELPDIR"));
  EXPECT_EQ(Contents.GetItem(1).Content.KeyPath, k("S\\appid\\InprocServer32"));
  EXPECT_EQ(Contents.GetItem(2).Content.ShortName, "InprocServer");
  EXPECT_EQ(Contents.GetItem(3).Content.ShortName, "LocalServer32");
  const TContent& server = Contents.GetItem(4).Content;
  EXPECT_EQ(server.KeyPath, k("X\\InprocServer32"));
  EXPECT_EQ(server.ShortName, "InprocServer32");
  EXPECT_EQ(server.ValueName, "default");
  EXPECT_EQ(server.Value, "");
  EXPECT_EQ(server.ValueLine, " Value:");
  EXPECT_EQ(server.FaultLine, " The key is Emtpy");
  EXPECT_EQ(server.DescriptionLine, "The Key default under " + k("X\\InprocServer32") + " is Empty");
  EXPECT_EQ(server.ProblemKind, "Empty Key: " + k("X\\InprocServer32"));
  EXPECT_EQ(CountLabel.Text, "5");
  // Every key visited is shown, the "AppID" subtrees are not visited at all.
  EXPECT_EQ(CurrentItem.Changes, 21);
  EXPECT_EQ(ItemsProcessed, 21);

  // An exclusion hides that key only.
  Exclude(kCaption, server);
  Contents.Clear();
  ActivexSection::ScanComKeys(0, &CurrentItem, &CountLabel, IgnoreList, Contents, box.Path(), box.Root());
  EXPECT_EQ(Contents.Count(), 4);
  EXPECT_TRUE(FindingsAt(Contents, k("X\\InprocServer32")).empty());

  // The stop flag ends the walk at once.
  Contents.Clear();
  ScanState = TRunState::StopScan;
  ActivexSection::ScanComKeys(0, &CurrentItem, &CountLabel, IgnoreList, Contents, box.Path(), box.Root());
  EXPECT_EQ(Contents.Count(), 0);
}

TEST_F(ComEntries, TypeLibrariesThatAreNotRegistered) {
  ClassKeys keys;
  std::string missingA = "CLSID\\" + NewGuid(), missingB = "CLSID\\" + NewGuid();
  if (AnsiUpperCase(missingB) < AnsiUpperCase(missingA)) std::swap(missingA, missingB);   // A is listed first
  std::string registered = "CLSID\\" + NewGuid(), emptyLib = "CLSID\\" + NewGuid(),
              expandLib = "CLSID\\" + NewGuid(), noLib = "CLSID\\" + NewGuid();
  std::string lostLib = NewGuid(), presentLib = NewGuid();
  keys.Set(missingA + "\\TypeLib", lostLib);
  keys.Set(missingB + "\\TypeLib", NewGuid());
  keys.Set(registered + "\\TypeLib", presentLib);
  keys.Create("TypeLib\\" + presentLib + "\\1.0");
  keys.Set(emptyLib + "\\TypeLib", "");
  keys.Set(expandLib + "\\TypeLib", NewGuid(), REG_EXPAND_SZ);
  keys.Set(noLib, "no type library");

  auto scan = [&]() {
    Contents.Clear();
    ActivexSection::ScanClsidTypeLibs(0, &CurrentItem, &CountLabel, IgnoreList, Contents, "", HKEY_CLASSES_ROOT);
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
  EXPECT_EQ(f.ShortName, "TypeLib");
  EXPECT_EQ(f.ValueName, "default");
  EXPECT_EQ(f.Value, lostLib);
  EXPECT_EQ(f.KeyPathLine, "Key Path:" + k);
  EXPECT_EQ(f.ValueNameLine, "ValueName:default");
  EXPECT_EQ(f.ValueLine, "Value:" + lostLib);
  EXPECT_EQ(f.FaultLine, "The following App ID or CLSID doesn't exist");
  EXPECT_EQ(f.DescriptionLine, "The Key default under " + k + " contains a bad path for the value");
  EXPECT_EQ(f.ProblemKind, "Missing or Invalid Path");
  EXPECT_EQ(CountLabel.Text, Format("%d", Contents.Count()));

  // Excluding the first one leaves the rest of the pass going.
  Exclude(kCaption, f);
  scan();
  EXPECT_TRUE(reported(missingA).empty());
  EXPECT_EQ(reported(missingB).size(), 1u);

  // Stopped before it starts, the pass reports nothing.
  ScanState = TRunState::StopScan;
  scan();
  EXPECT_EQ(Contents.Count(), 0);
}
