#include "DMUnit.h"

#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"

TDM* DM = nullptr;

TDM::TDM() : DataFolder(ExeDir()), VersionKey(PublicFunctionUnit::SettingsKey) {}

TDM::~TDM() = default;

void TDM::DataModuleCreate() {
  PublicFunctionUnit::DetectPlatform();
  if (PublicFunctionUnit::MyRegistryInfo.CheckUpdate) CheckForUpdates(false);
}
