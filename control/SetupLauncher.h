// Starting the setup manager from the system folder.
#pragma once

#include <windows.h>

#include <string>

#include "WinHandles.h"

// Starts "<system folder>VelSetup.exe" -x "<install parameter>" -w <window>. The process handle,
// or an invalid one when the program cannot be started; when the system says the file is no
// valid program, the file is then deleted, so that the damaged copy is fetched again.
CScopedHandle LaunchSetupManager(const std::string& systemFolder, const std::string& installParam,
                                 HWND window);
