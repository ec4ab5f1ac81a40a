// Replacing files at the next system start, and restarting the computer.
#pragma once

#include <windows.h>

// With a destination, `source` replaces `destination` at the next system start; without one,
// `source` is deleted then. On the NT family (platform 2 of InitFolders) the system performs it;
// on the 9x family it is written to the "Rename" section of "Wininit.ini" in the Windows folder,
// with short paths. Silent: a replacement that cannot be scheduled leaves the old file.
void ReplaceFileOnReboot(const char* source, const char* destination);

// Withdraws every replacement at the next start whose source is `source`, so that a copy of an
// item that was undone never takes the place of the installed file. On the NT family the pairs are
// removed from the system's list; on the 9x family the copy is deleted, so that its rename finds
// nothing (the destination's deletion stays, as the undone item counts as removed). Logs a
// failure at level 1.
void CancelReplaceOnReboot(const char* source);

// Restarts an NT-family computer: enables the shutdown privilege, starts the shutdown with
// restart and disables the privilege again. Each failing step shows a message box (OK) and the
// following steps are still tried.
void RebootSystem();

// Asks string 61205 (system-modal, Yes/No). On Yes restarts the computer the platform's way
// (ExitWindowsEx on the 9x family, RebootSystem otherwise) and returns true; on No returns false.
bool AskAndRestart(HWND owner);

// The call that restarts the computer, replaceable so that tests can answer Yes without
// restarting anything.
enum class RestartMethod {
  kShutdown,     // InitiateSystemShutdown of the local computer: message, no timeout, not forced, restart
  kExitWindows,  // ExitWindowsEx(EWX_REBOOT)
};
using RestartFunction = BOOL (*)(RestartMethod method, const char* message);
// nullptr restores the system's calls.
void SetRestartForTesting(RestartFunction function);
