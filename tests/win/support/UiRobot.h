// Finds the dialogs and message boxes a process under test shows, reads their texts as UTF-16
// and presses their buttons, as a person would.
#pragma once

#include <windows.h>

#include <string>

namespace robot {

struct ShownDialog {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;  // a message box's message; empty for other dialogs
};

// Waits until process `pid` shows a visible dialog window, pumping this thread's messages
// meanwhile. Fails the current test with a clear message when none comes within the timeout.
ShownDialog WaitForDialog(DWORD pid, DWORD timeoutMs = 15000);

// The visible dialog the process shows now, or null.
HWND FindShownDialog(DWORD pid);
// Reads a dialog's title and, for a message box, its message.
ShownDialog Describe(HWND dialog);

// Presses the button with that control identifier (IDOK, IDYES, ...), or with that text
// ("&" accelerators ignored). Fails the test when the dialog has no such button.
void PressButton(HWND dialog, int id);
void PressButton(HWND dialog, const std::wstring& text);

std::wstring WindowText(HWND hwnd);

}  // namespace robot
