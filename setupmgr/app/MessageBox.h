// Message boxes with texts from the string table.
#pragma once

#include <windows.h>

#include <string>

// The text of a string-table entry in the ANSI code page; empty when it is missing.
std::string LoadResourceString(UINT id);

// A message box of the program. The log lets go of its file while the box waits for a person.
int ShowMessage(HWND owner, const char* text, const char* title, UINT type);

// Shows string `id` under the application title. Without an icon flag in `type`, OK boxes get the
// exclamation icon and Yes/No boxes the question icon. Returns the button pressed.
int ShowResourceMessage(HWND owner, UINT id, UINT type);
