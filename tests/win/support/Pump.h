// Message pumping for tests whose thread owns windows that other processes post to.
#pragma once

#include <windows.h>

// Dispatches this thread's messages for about `ms` milliseconds.
void PumpMessagesFor(DWORD ms);

// Waits for a handle while dispatching this thread's messages; true when it was signalled.
bool WaitPumping(HANDLE handle, DWORD timeoutMs);
