#include "SystemServicesUnit.h"

#include "SectionCommon.h"

namespace SystemServicesUnit {

void ScanServices(TRegistryContents&, const std::string&, HKEY) {}

void RepairServices(TCaptionTarget& status, TListCountTarget& finishList, TRegistryContents& contents,
                    TRepairContents& log) {
  SectionCommon::RepairFindings(RepairStyle, status, finishList, contents, log);
}

}  // namespace SystemServicesUnit
