// The download pass of an update run: sizes every file that is not ready, downloads it into the
// temporary folder, unpacks the files that arrive as ZIP archives, and reports to the dialog by
// window messages (AppMessages.h). Runs on the worker thread.
#pragma once

#include <windows.h>

#include "UpdateSet.h"

// The user agent of every request of the setup manager.
constexpr char kInternetAgent[] = "Orbina Setup";

// Sends the total, runs every item's download even after a failure, and always ends by posting
// WM_DOWNLOAD_DONE (wParam 1 when the pass could not start or any item failed). True when every
// item succeeded. `window` and `cancel` may be null.
bool RunDownloadPass(const CUpdateSetList& sets, HWND window, const CCancelSignal* cancel);
