// Window messages inside the setup manager's user-interface thread.
#pragma once

#include <windows.h>

#define WM_APP_START (WM_USER + 101)     // frame -> itself: choose and start the mode
#define WM_DIALOG_START (WM_USER + 200)  // frame -> the created dialog: start its work
