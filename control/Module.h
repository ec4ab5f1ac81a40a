// The library's module state: its instance handle and the lock count that DllCanUnloadNow reads.
#pragma once

#include <windows.h>

#include <string>

HINSTANCE ModuleInstance();
// Full path of the library file.
std::wstring ModulePath();

// Live objects, class factory locks and the library's own lock while loaded.
void LockModule();
void UnlockModule();
