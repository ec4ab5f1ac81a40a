// Window messages inside the setup manager's user-interface thread.
#pragma once

#include <windows.h>

#define WM_APP_START (WM_USER + 101)     // frame -> itself: choose and start the mode
#define WM_DIALOG_START (WM_USER + 200)  // frame -> the created dialog: start its work

// Download progress to the dialog, posted or sent by the engine. wParam is the kind of report.
#define WM_DOWNLOAD_PROGRESS (WM_USER + 102)
#define DOWNLOAD_PROGRESS_TOTAL 0  // sent once; lParam: bytes the pass will download
#define DOWNLOAD_PROGRESS_URL 1    // sent; lParam: the URL text about to be downloaded
#define DOWNLOAD_PROGRESS_SIZE 2   // sent; lParam: the announced size of that file
#define DOWNLOAD_PROGRESS_BYTES 3  // posted; lParam: bytes just written

// Sent by the worker after each file: wParam its 1-based index in its item, lParam the item's
// number of files.
#define WM_FILE_DONE (WM_USER + 106)
// Posted by the worker at the end of the pass: wParam 1 when it failed, else 0.
#define WM_DOWNLOAD_DONE (WM_USER + 107)
// Posted by the dialog to itself once the installation succeeded.
#define WM_SETUP_COMPLETE (WM_USER + 108)
// Sent by an archive extraction; a negative answer aborts it.
#define WM_EXTRACT_PROGRESS (WM_USER + 109)
#define EXTRACT_PROGRESS_START 1    // once per archive; lParam: the first entry's name
#define EXTRACT_PROGRESS_PERCENT 2  // lParam: percent of the current entry
