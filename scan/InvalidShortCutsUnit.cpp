#include "InvalidShortCutsUnit.h"

#include <objbase.h>
#include <shlobj.h>

#include "../framework/ComPtr.h"
#include "../framework/Handles.h"
#include "../framework/ListedEntry.h"
#include "../framework/Strings.h"
#include "PathJudgeUnit.h"
#include "PublicFunctionUnit.h"

namespace InvalidShortCutsUnit {

using namespace PublicFunctionUnit;

namespace {

// Directory-entry attribute words that are counted (and, for folders, walked). Exact values:
// a folder with any other bit (a reparse point, for one) is never entered.
bool IsCountedAttribute(DWORD attributes) {
  switch (attributes) {
    case 0x10: case 0x02: case 0x04: case 0x80: case 0x100: case 0x13: case 0x20: case 0x16:
      return true;
    default:
      return false;
  }
}

// Keeps COM usable on this thread for the length of a scan (balanced; harmless when the program
// has initialised it already).
class TComScope {
 public:
  TComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~TComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

 private:
  HRESULT result_;
};

// The shell-link class, looked up once for a whole scan: each target is still read through a
// new shell-link object, made by the class's factory without looking the class up again.
IClassFactory* LinkFactory = nullptr;

class TLinkFactoryScope {
 public:
  TLinkFactoryScope() {
    if (LinkFactory == nullptr &&
        SUCCEEDED(CoGetClassObject(CLSID_ShellLink, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory_))))
      LinkFactory = factory_;
  }
  ~TLinkFactoryScope() {
    if (factory_ == nullptr) return;
    LinkFactory = nullptr;
    factory_->Release();
  }
  TLinkFactoryScope(const TLinkFactoryScope&) = delete;
  TLinkFactoryScope& operator=(const TLinkFactoryScope&) = delete;

 private:
  IClassFactory* factory_ = nullptr;
};

void AddFinding(TRegistryContents& contents, TCaptionTarget* countLabel, const std::string& fullPath,
                const std::string& name, const std::string& target) {
  TContent& c = SectionCommon::NewFinding(contents);
  c.KeyPath = fullPath;
  c.ShortName = fullPath;
  c.ValueName = target;
  c.KeyPathLine = " File Path:" + fullPath;
  c.ValueNameLine = " File Name:" + target;
  c.ValueLine = " Value:" + fullPath;
  c.FaultLine = ExtractFileExt(target).empty()
                    ? "This shortcut (" + fullPath + ") is invalid."
                    : " The file (" + target + ") does not exist at the specified location";
  c.DescriptionLine = "The shortcut " + name + " in the folder " + fullPath + " linked to a missing target.";
  c.ProblemKind = "Invalid Shortcut";
  SectionCommon::ShowCount(countLabel, contents);
}

}  // namespace

// Left alone (false): an unknown target, a floppy, a network path or a drive that is not fixed,
// a web address, a file or folder that exists, a target whose drive is away now or whose
// environment strings cannot be expanded.
bool IsShortcutTargetMissing(const std::string& target) {
  if (target.empty() || Pos("//", target) > 0) return false;
  return PathJudgeUnit::MissingInEveryReading(PathJudgeUnit::ExpandedReadings(target), PathJudgeUnit::NothingAt);
}

// An exclusion names the shortcut and its target as read then: earlier versions read the target
// with its environment strings expanded by this program.
static bool IsShortcutIgnored(TIgnoreContents& ignoreList, const std::string& fullPath, const std::string& target) {
  if (IsIgnored(ignoreList, SectionCaption, fullPath, target)) return true;
  std::string expanded;
  return PathJudgeUnit::ExpandEnvironment(target, expanded) && expanded != target &&
         IsIgnored(ignoreList, SectionCaption, fullPath, expanded);
}

// Reports a shortcut whose target is missing.
static void CheckShortcut(const std::string& fullPath, const std::string& name, TCaptionTarget* countLabel,
                          TIgnoreContents& ignoreList, TRegistryContents& contents) {
  std::string target = GetShortcutTarget(fullPath);
  if (!IsShortcutTargetMissing(target)) return;
  if (IsShortcutIgnored(ignoreList, fullPath, target)) return;
  AddFinding(contents, countLabel, fullPath, name, target);
}

// The recycle bins at a drive's root (of every Windows version): what a repair moved there is
// found there again, and a repair of that would delete it for good.
static bool IsRecycleBin(const std::string& folder, const std::string& name) {
  bool driveRoot = folder.size() == 2 && folder[1] == ':';
  return driveRoot && (SameText(name, "$Recycle.Bin") || SameText(name, "RECYCLER") || SameText(name, "RECYCLED"));
}

std::string GetShortcutTarget(const std::string& shortcutFile) {
  TComPtr<IShellLinkW> link;
  HRESULT made = LinkFactory != nullptr
                     ? LinkFactory->CreateInstance(nullptr, IID_IShellLinkW, link.Out())
                     : CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out());
  if (FAILED(made)) return {};
  TComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out()))) return {};
  if (file->Load(Widen(shortcutFile).c_str(), STGM_READ) != S_OK) return {};
  // The target as the shortcut holds it, its environment strings unexpanded: this program's own
  // environment would read "%ProgramFiles%" of a 64-bit program as the 32-bit folder.
  wchar_t path[MAX_PATH + 1] = {};
  if (link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH | SLGP_UNCPRIORITY) != S_OK) return {};
  path[MAX_PATH] = L'\0';
  return Narrow(path);
}

void ScanShortcutFolder(const std::string& folder, int sectionIndex, TCaptionTarget* currentItem,
                        TCaptionTarget* countLabel, TIgnoreContents& ignoreList, TRegistryContents& contents) {
  WIN32_FIND_DATAW entry;
  TFindHandle find(FindFirstFileW(Widen(folder + "\\*.*").c_str(), &entry));
  if (!find) return;
  do {
    if (ScanStopRequested()) return;
    ProcessMessages();
    std::string name = Narrow(entry.cFileName);
    std::string fullPath = folder + "\\" + name;
    // The recent-documents folder holds shortcuts to whatever was opened last: pass it over.
    if (Pos("RECENT", AnsiUpperCase(fullPath)) > 0 || IsRecycleBin(folder, name)) continue;
    bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (IsCountedAttribute(entry.dwFileAttributes)) {
      ++VisitedKeyCount;
      if (VisitedKeyCount % 200 == 0 && currentItem != nullptr) currentItem->SetCaption(fullPath);
      TickItemsProcessed();
      // A folder whose name ends in a dot or a blank is read by the system as another one ("Odd."
      // as "Odd"): walked by that name, its shortcuts would be another folder's, listed twice.
      if (name != "." && name != ".." && isFolder && !ListedEntry::ParsesAsAnother(name) &&
          ScanDirectoryExists(fullPath))
        ScanShortcutFolder(fullPath, sectionIndex, currentItem, countLabel, ignoreList, contents);
    }
    if (isFolder || ExtractFileExt(name) != ".lnk") continue;
    CheckShortcut(fullPath, name, countLabel, ignoreList, contents);
  } while (FindNextFileW(find.Get(), &entry));
}

void ScanShortcuts(int sectionIndex, TCaptionTarget* currentItem, TCaptionTarget* countLabel,
                   TIgnoreContents& ignoreList, TRegistryContents& contents) {
  TComScope com;
  TLinkFactoryScope linkFactory;
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    if (ScanStopRequested()) return;
    std::string drive(1, letter);
    drive += ':';
    if (GetDriveTypeW(Widen(drive + "\\").c_str()) == DRIVE_FIXED)
      ScanShortcutFolder(drive, sectionIndex, currentItem, countLabel, ignoreList, contents);
  }
}

static bool StillFound(const TContent& finding) {
  SectionCommon::TRecheck check;
  TComScope com;
  CheckShortcut(finding.KeyPath, ExtractFileName(finding.KeyPath), nullptr, check.NoExclusions, check.Found);
  return check.Gives(finding);
}

void RepairShortcuts(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                     TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log, StillFound);
}

}  // namespace InvalidShortCutsUnit
