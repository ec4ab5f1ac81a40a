// The control's hidden window, to which the setup manager posts its statuses.
#pragma once

#include <windows.h>

#include "RunState.h"

// Creates a window of the class "Orbina Setup" (registered once per process) whose messages
// WM_SETUP_STATUS and WM_SETUP_CLOSED go to `state`. Null when the class cannot be registered
// or the window not created.
HWND CreateStatusWindow(HINSTANCE module, CRunState* state);

// Detaches the state first, so that no later message can reach a control that is gone.
void DestroyStatusWindow(HWND window);

// Applies the status messages queued for the window, oldest first, without waiting and without
// dispatching anything else. With `stopAtClosed` the collecting ends after WM_SETUP_CLOSED.
void CollectQueuedStatus(HWND window, CRunState& state, bool stopAtClosed);
