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
inline constexpr char kWalkIncompleteText[] = "Re-registering ActiveX and .Dll objects did not complete.";
inline constexpr char kFailedCountFormat[] = "Files that could not be re-registered: %d";
inline constexpr char kNotReachedCountFormat[] = "Files not reached because the walk was stopped: %d";
// How long one registration may take before it is ended and counted as failed.
inline constexpr DWORD kRegistrationTimeoutMs = 30000;

// Only regular files whose extension is .dll or .ocx, in any case, are registered.
bool QualifiesForRegistration(const TFoundFile& file);

// The system folder's regsvr32.exe, by its full quoted path, with "/s "<path>"": silent
// registration. "" when the system folder cannot be read.
std::string RegisterCommandLine(const std::string& path);

// Registers path with regsvr32 and waits for it (the window stays live); true on exit code 0.
bool RegisterOne(const std::string& path, DWORD timeoutMs = kRegistrationTimeoutMs);

// How a walk ended: the files registered, those among them whose registration failed, and the
// qualifying files a stop left unregistered.
struct TWalkResult {
  int Registered = 0;
  int Failed = 0;
  int NotReached = 0;
  bool Complete() const { return Failed == 0 && NotReached == 0; }
};

// Walks folder (not its subfolders): before each qualifying file asks goOn whether to continue,
// then registers it and reports it with its outcome.
TWalkResult ReRegisterFolder(const std::string& folder, const std::function<bool()>& goOn,
                             const std::function<void(const std::string& path, bool registered)>& onRegistered,
                             DWORD timeoutMs = kRegistrationTimeoutMs);

// The closing message: the success text when every file was registered, else how many failed
// and how many were not reached.
std::string WalkOutcomeText(const TWalkResult& result);

}  // namespace SystemRepairUnit
