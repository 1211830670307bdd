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
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_CLASSES_ROOT;
    if (!reg.OpenKey("\\" + ext, false)) continue;
    std::string text;
    if (!reg.ReadText("", text) || !text.empty()) continue;
    std::string keyText = "HKEY_CLASSES_ROOT\\" + ext;
    if (IsIgnored(ignoreList, SectionCaption, keyText, "default")) continue;
    TContent& c = SectionCommon::AddMissingPathFinding(
        contents, countLabel, {.KeyPath = keyText, .ShortName = ext, .ValueName = "default", .Value = keyPath},
        "default", keyPath, keyPath.empty() ? "default" : keyPath);
    c.FaultLine = " The file(" + keyPath + ")does not exist at the specified location";
  }
}

void RepairFileExtensions(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                          TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log);
}

}  // namespace FileExtensionUnit
