#include "UninstallSectionUnit.h"

#include <climits>

#include "../framework/Registry.h"
#include "../framework/Strings.h"
#include "PublicFunctionUnit.h"
#include "SectionCommon.h"

namespace UninstallSectionUnit {

using namespace PublicFunctionUnit;

// Characters a program's name may carry after its first dot; other scripts' letters count too.
static bool IsNameChar(char ch) {
  unsigned char c = (unsigned char)ch;
  return c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.';
}

std::string CommandToExePath(const std::string& command) {
  if (ScanFileExists(command)) return command;
  int c = Pos(":", command);
  std::string rest = Copy(command, c + 1, INT_MAX);
  int r = Pos(":", rest);
  if (r == 0) {
    size_t lastSlash = command.rfind('\\');
    std::string folder = lastSlash == std::string::npos ? std::string() : command.substr(0, lastSlash + 1);
    std::string tail = StringReplace(command, folder, "");
    size_t dot = tail.find('.');
    size_t end = dot == std::string::npos ? 0 : dot;
    while (end < tail.size() && IsNameChar(tail[end])) ++end;
    return Copy(folder + tail.substr(0, end), c - 1, INT_MAX);
  }
  // A second drive further on (an argument such as "/LOG=D:\x.log"): the program ends before it.
  std::string t = Copy(command, c - 1, r + 1);
  std::string ext = t.rfind('.') == std::string::npos ? std::string() : t.substr(t.rfind('.'));
  if (ext.size() > 4 && t.size() < command.size()) t = CommandToExePath(t);
  return t;
}

// Besides the path read from the command, a leading part that ends before a blank and names an
// existing file counts: arguments such as "/dir=\x" mislead the path reading, and a valid
// uninstall command must not be reported (its repair would remove it).
bool UninstallTargetExists(const std::string& command) {
  if (ScanFileExists(CommandToExePath(command))) return true;
  for (size_t blank = command.find(' '); blank != std::string::npos; blank = command.find(' ', blank + 1))
    if (ScanFileExists(command.substr(0, blank))) return true;
  return false;
}

// Judges one uninstall subkey, open in `reg`.
static void CheckUninstallKey(TRegistry& reg, const std::string& keyText, const std::string& name,
                              TCaptionTarget* countLabel, TIgnoreContents& ignoreList, TRegistryContents& contents) {
  if (IsIgnored(ignoreList, SectionCaption, keyText, "UninstallString")) return;
  std::string command;
  if (!reg.ReadText("UninstallString", command)) return;
  command = StringReplace(command, "\"", "");
  if (command.empty() || Pos(":", command) == 0 || SectionCommon::OutOfReach(command) ||
      UninstallTargetExists(command))
    return;
  TContent& c = SectionCommon::AddMissingPathFinding(
      contents, countLabel, {.KeyPath = keyText, .ShortName = name, .ValueName = "UninstallString", .Value = command},
      "UninstallString", command, command);
  c.FaultLine = "The file (" + command + ") does not exist at the specified location";
}

void ScanUninstallEntries(int, TCaptionTarget* currentItem, TCaptionTarget* countLabel, TIgnoreContents& ignoreList,
                          TRegistryContents& contents, const std::string& keyPath, HKEY root) {
  contents.Clear();
  std::vector<std::string> names = SectionCommon::ListSubkeyNames(root, keyPath);
  const std::string rootName = RootKeyName(root);
  for (const std::string& name : names) {
    if (ScanStopRequested()) return;
    SectionCommon::ShowItem(currentItem, name);
    TickItemsProcessed();
    TRegistry reg(KEY_READ);
    reg.RootKey = root;
    if (reg.OpenKey("\\" + SectionCommon::ChildKeyPath(keyPath, name), false))
      CheckUninstallKey(reg, Format("%s\\%s\\%s", rootName, keyPath, name), name, countLabel, ignoreList, contents);
    ProcessMessages();
  }
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  TRegistry reg(KEY_READ);
  if (!check.OpenKey(finding, reg)) return false;
  CheckUninstallKey(reg, finding.KeyPath, finding.ShortName, nullptr, check.NoExclusions, check.Found);
  return check.Gives(finding);
}

void RepairUninstallEntries(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                            TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace UninstallSectionUnit
