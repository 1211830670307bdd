// Findings of a scan section and the repair log.
#pragma once

#include <string>

#include "../framework/Collection.h"

namespace RegistryContentUnit {

// One finding.
struct TContent {
  bool Checked = false;          // ticked for repair
  std::string KeyPath;           // root name, "\" and key path; for shortcuts the file's path
  std::string ShortName;         // subkey, extension, file, or the value list's fixed name
  std::string ValueName;         // the value's name; the key's unnamed value shows as "default" or ""
  bool UnnamedValue = false;     // the finding means the key's unnamed value, never a value named "default"
  std::string Value;
  std::string Extra1, Extra2;    // browser plug-in display name and category
  int Number = 0;                // the problem number
  std::string KeyPathLine;
  std::string ValueNameLine;
  std::string ValueLine;
  std::string FaultLine;
  std::string DescriptionLine;
  std::string ProblemKind;
  // A finding met through HKEY_CLASSES_ROOT: the key (root name, "\" and path) it lay in when its
  // backup or repair first looked (SectionCommon::PinRealKey), so that both address that one key.
  std::string RealKeyPath;
  // The ignore list excluded it when the backup before the repair was written, which left it
  // out: the repair passes over it whatever the list says by then.
  bool ExcludedAtBackup = false;
};

struct TRegistryContentItem {
  TContent Content;
};

class TRegistryContents : public TCollection<TRegistryContentItem> {};

// One line of the repair log.
struct TRepairRec {
  std::string KeyPath;   // the repaired path or a summary line
  std::string Status;
  std::string Removed;   // what the line's repair removed, as the repair compares targets; "" for none
};

struct TRepairContentItem {
  TRepairRec Content;
};

class TRepairContents : public TCollection<TRepairContentItem> {};

}  // namespace RegistryContentUnit

using RegistryContentUnit::TContent;
using RegistryContentUnit::TRegistryContents;
using RegistryContentUnit::TRepairContents;
using RegistryContentUnit::TRepairRec;
