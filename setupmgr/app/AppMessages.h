// Window messages inside the setup manager's user-interface thread.
#pragma once

#include <windows.h>

#define WM_APP_START (WM_USER + 101)     // frame -> itself: choose and start the mode
#define WM_DIALOG_START (WM_USER + 200)  // frame -> the created dialog: start its work

// Download progress to the dialog, posted or sent by the engine. wParam is the kind of report; with
// DOWNLOAD_PROGRESS_BYTES, lParam is the number of bytes just written.
#define WM_DOWNLOAD_PROGRESS (WM_USER + 102)
#define DOWNLOAD_PROGRESS_BYTES 3
