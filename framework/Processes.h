// Starting another program hidden and waiting for it while this program's windows stay live.
#pragma once

#include <string>

#include <windows.h>

#include "Handles.h"

enum class TRunOutcome { Ended, NotStarted, TimedOut };

// Runs commandLine with its window hidden and waits until it ends, handling this program's
// messages meanwhile (Application.ProcessMessages). A program still running after timeoutMs is
// ended, so that it never runs on beside the next one. exitCode is the program's exit code when
// it Ended, else (DWORD)-1.
TRunOutcome RunHiddenAndWait(const std::string& commandLine, DWORD timeoutMs, DWORD& exitCode);

// Waits until handle is signalled or timeoutMs (INFINITE: no bound) has passed, handling this
// program's messages meanwhile; false when the time ran out first.
bool WaitHandlingMessages(HANDLE handle, DWORD timeoutMs);

// Starts commandLine with its window shown as showWindow says (SW_SHOW, SW_HIDE), not waiting for
// it; the process, empty when it could not be started (error, when given, then receives the
// system's error code, else ERROR_SUCCESS).
TKernelHandle StartProcess(const std::string& commandLine, WORD showWindow, DWORD* error = nullptr);
