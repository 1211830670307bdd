// The ActiveX re-registration's routines: the system folder's ActiveX controls (.ocx) and
// libraries (.dll) registered again, one regsvr32 at a time.
#pragma once

#include <functional>
#include <string>

#include <windows.h>

#include "../../framework/Handles.h"

namespace SystemRepairUnit {

inline constexpr char kRegisteredText[] = "Re-register successfully";
inline constexpr char kNotRegisteredText[] = "Re-register failed";
inline constexpr char kWalkDoneText[] = "Re-registering ActiveX and .Dll objects run successfully!";
// How long one registration may take before it is ended and counted as failed.
inline constexpr DWORD kRegistrationTimeoutMs = 30000;

// Only regular files whose extension is .dll or .ocx, in any case, are registered.
bool QualifiesForRegistration(const TFoundFile& file);

// "regsvr32.exe /s "<path>"": silent registration.
std::string RegisterCommandLine(const std::string& path);

// Registers path with regsvr32 and waits for it (the window stays live); true on exit code 0.
bool RegisterOne(const std::string& path, DWORD timeoutMs = kRegistrationTimeoutMs);

// Walks folder (not its subfolders): before each entry asks goOn whether to continue, then
// registers each qualifying file and reports it with its outcome. Returns how many were
// registered (successfully or not).
int ReRegisterFolder(const std::string& folder, const std::function<bool()>& goOn,
                     const std::function<void(const std::string& path, bool registered)>& onRegistered,
                     DWORD timeoutMs = kRegistrationTimeoutMs);

}  // namespace SystemRepairUnit
