#include "FileExtensionUnit.h"

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "FileAssociationsUnit.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace FileExtensionUnit {

using namespace PublicFunctionUnit;

void FilterExtensionNames(TStringList& names, TStringList& extensions) {
  FileAssociationsUnit::SplitClassKeyNames(names, extensions);
}

// Reports an extension key whose unnamed value is an empty text and that holds nothing else. A key
// with another value or a subkey is in use though its unnamed value is empty: its "Open with" list
// (OpenWithProgids), its "New" menu entry (ShellNew), its search handler (PersistentHandler), its
// "Content Type" or "PerceivedType" would go with it. keyPath is the scan's key path argument,
// which the finding carries as its value.
static void CheckExtension(const std::string& ext, const std::string& keyPath, TCaptionTarget* countLabel,
                           TIgnoreContents& ignoreList, TRegistryContents& contents) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CLASSES_ROOT;
  if (!reg.OpenKey("\\" + ext, false)) return;
  std::string text;
  if (!reg.ReadText("", text) || !text.empty()) return;
  TKeyInfo info;
  if (!QueryKeyInfo(reg.CurrentKey(), info) || info.ValueCount != 1 || info.SubkeyCount != 0) return;
  std::string keyText = "HKEY_CLASSES_ROOT\\" + ext;
  if (IsIgnored(ignoreList, SectionCaption, keyText, "")) return;
  TContent& c = SectionCommon::AddMissingPathFinding(contents, countLabel,
                                                     {.KeyPath = keyText, .ShortName = ext, .ValueName = "default",
                                                      .Value = keyPath, .UnnamedValue = true},
                                                     "default", keyPath, keyPath.empty() ? "default" : keyPath);
  c.FaultLine = " The file(" + keyPath + ")does not exist at the specified location";
}

void ScanFileExtensions(int, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                        TRegistryContents& contents, const std::string& keyPath, HKEY) {
  TStringList names, extensions;
  names.Items = SectionCommon::ListSubkeyNames(HKEY_CLASSES_ROOT, "");
  FilterExtensionNames(names, extensions);
  for (const std::string& ext : extensions.Items) {
    if (ScanStopRequested()) return;
    SectionCommon::ShowItem(currentItem, ext);
    TickItemsProcessed();
    ProcessMessages();
    CheckExtension(ext, keyPath, countLabel, ignoreList, contents);
  }
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  CheckExtension(finding.ShortName, finding.Value, nullptr, check.NoExclusions, check.Found);
  return check.Gives(finding);
}

void RepairFileExtensions(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                          TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace FileExtensionUnit
