// Starting programs: the launcher, the run file fetched and run before a file is installed, and
// the installed file run after it (CUpdateFile::RunFileAndWait, CUpdateFile::ExecuteDownloadedFile).
#pragma once

#include <windows.h>

// Starts `program` with `arguments` (absent or empty: the program alone), in a new process group
// with this process's environment and current folder, and with `wait` waits for its end without
// a time limit. True when the process was created. With `wait` and `exitCode`, the program's exit
// code is stored there. A command line longer than kMaxCommandLineLength is refused with a level-1
// line.
bool ExecuteFile(const char* program, const char* arguments, bool wait, DWORD* exitCode = nullptr);

// True when `path` is an existing file that can be opened for reading while others read it.
bool FileExists(const char* path);
