// The process-wide reference to the hidden main frame. Both dialogs end the program by posting
// WM_CLOSE to it.
#pragma once

#include <windows.h>

HWND GetMainFrameWindow();
void SetMainFrameWindow(HWND frame);

// Ends the program: posts WM_CLOSE to the frame, marked as the program's own request. Any other
// close request (the task-bar entry, another program) is the user's, which the run may refuse.
void CloseMainFrame();
bool IsCloseRequestedByProgram();
