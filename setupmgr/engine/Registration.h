// COM registration of installed servers through the system's registration tool, the browser's
// pre-approved list, and the removal of an obsolete class's server file. The member operations
// are CUpdateFile::RegisterServer, UnregisterServer, RegisterPreApproved and UnregisterPreApproved.
#pragma once

#include <windows.h>

#include <string>

// Run "<system folder>\Regsvr32.exe" with "/s" or "/u /s" on `path` and wait for its end.
// Registering succeeds when the tool started and ended with 0: a library whose own registration
// failed makes the tool end with another code, stored in `exitCode` when given. Unregistering
// succeeds when the tool could be started (a server already gone may refuse to unregister).
bool RegisterServerFile(const char* path, DWORD* exitCode = nullptr);
bool UnregisterServerFile(const char* path);

// The default value of HKEY_LOCAL_MACHINE "Software\Classes\CLSID\{classId}\InprocServer32": a
// REG_SZ or REG_EXPAND_SZ value (not expanded) that fits a path buffer with its terminating zero.
// Never the merged classes root, where a program of the user could name any file through
// HKEY_CURRENT_USER\Software\Classes.
bool GetInprocServerPath(const char* classId, std::string& path);

// Opens the class's key for GetInprocServerPath; RegOpenKeyExA unless a test replaced it.
// nullptr restores RegOpenKeyExA.
using ClassKeyOpenFunction = LONG(WINAPI*)(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY key);
void SetClassKeyOpenForTesting(ClassKeyOpenFunction function);

// Unregisters the server file registered for the class (the class identifier without braces) and
// deletes the file. The result is the deletion's; nothing is logged.
bool DeleteRegClassFile(const char* classId);
