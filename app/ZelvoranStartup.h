// The program's main sequence and the steps of it that decide whether this start goes on: the
// single-instance test and the one elevated relaunch on systems with user account control.
#pragma once

#include <functional>
#include <string>

#include <windows.h>

#include "../scan/PublicFunctionUnit.h"

namespace Zelvoran {

// The main window of this program that already runs; null when there is none.
HWND RunningInstance();

// Hands this start over to the running instance's window and returns true; this start then ends.
// A start without a parameter posts the message that shows the window again
// (MainUnit::WM_RESTORE_INSTANCE). A parameter goes over in a WM_COPYDATA message
// (MainUnit::CommandLineData), and the running instance acts on it as a start with it would ("-Scan":
// the scan, once it is free for it). False when the window has gone meanwhile, so that this start
// goes on by itself.
bool HandOverToRunningInstance(HWND running, const std::string& parameter);

// The command line after the program's own name, as it was given ("" when there is none).
std::string CommandLineTail(const std::string& commandLine);

// Starts the elevated copy of the program: file and parameters.
using TRelauncher = std::function<void(const std::string& file, const std::string& parameters)>;

// The relaunch on Windows Vista and later: only when the installer's marker is not set and user
// account control is on. The first start writes the marker "vista" = "1" and relaunches with the
// same command line (true: this start ends); the relaunched start finds "1", empties it and goes
// on (false). A key that cannot be opened means no relaunch.
bool RelaunchElevatedIfNeeded(DWORD majorVersion, const std::string& commandLine, const TRelauncher& relaunch,
                              const std::string& userKey = PublicFunctionUnit::UserSettingsKey,
                              const std::string& policyKey = PublicFunctionUnit::UacPolicyKey);

}  // namespace Zelvoran
