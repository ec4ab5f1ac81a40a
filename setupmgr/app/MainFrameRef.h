// The process-wide reference to the hidden main frame. Both dialogs end the program by posting
// WM_CLOSE to it.
#pragma once

#include <windows.h>

HWND GetMainFrameWindow();
void SetMainFrameWindow(HWND frame);

inline void CloseMainFrame() { ::PostMessageA(GetMainFrameWindow(), WM_CLOSE, 0, 0); }
