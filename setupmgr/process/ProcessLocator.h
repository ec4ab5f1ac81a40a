// Ends, with the user's consent, the running programs that have a file loaded, so that the file
// can be replaced or deleted.
#pragma once

#include <windows.h>

#include "ProcessList.h"

// Asks, with string-table question `questionId` (its two "%s" take the program's description and
// path), whether to end each program that has `filePath` loaded, and ends those the user agrees
// to end. Paths are compared in their full, long form with single separators, ignoring case.
// The setup manager's own process is never offered. Returns false when the user declined or a
// program could not be ended; true otherwise, also when nothing holds the file or no process
// can be listed. The callers retry their file operation: ending is not waited for.
bool TerminateProcessesUsingFile(const char* filePath, UINT questionId,
                                 EProcessFacility facility = EProcessFacility::Any);

// Opens a process by its identifier for the locator; OpenProcess unless a test replaced it.
// nullptr restores OpenProcess.
using ProcessOpenFunction = HANDLE(WINAPI*)(DWORD access, BOOL inherit, DWORD processId);
void SetProcessOpenForTesting(ProcessOpenFunction function);
