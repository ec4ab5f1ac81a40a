// Registry names the engine reads from the manifest or forms itself. Needs no operating system.
#pragma once

#include <string>

// The roots a manifest's ADDREG and DELREG may name.
enum class RegistryRoot { kNone, kLocalMachine, kCurrentUser, kClassesRoot };

// "HKLM", "HKCU" or "HKCR" in any letter case; kNone for anything else, a missing text included.
RegistryRoot ParseRootName(const char* text);

// True when a key path below a root names the root itself: absent, empty or made only of
// backslashes. Deleting such a key would delete every key of the root.
bool NamesWholeRoot(const char* keyPath);

// The file name of a path without its folder and its extension (from the last dot of the name).
std::string FileBaseName(const std::string& path);
