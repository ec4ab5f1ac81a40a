// The uninstall entry of the operating system that lists every installed file by item
// (CUpdateFile::RegistUninstaller, CUpdateSet::RecordUninstall), and the small registry writers
// and reader that go with it.
#pragma once

#include <windows.h>

// Below HKEY_LOCAL_MACHINE: one subkey per item, one subkey per file below it.
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelSetup";

// Write one value (REG_SZ with its terminating zero, or REG_DWORD), creating the key when it is
// missing. `valueName` null: the key's default value. True when the value was written.
bool SetRegString(HKEY root, const char* key, const char* valueName, const char* text);
bool SetRegDword(HKEY root, const char* key, const char* valueName, DWORD value);

// The stored REG_DWORD, or `defaultValue` when the key or a 4-byte REG_DWORD value cannot be read.
DWORD GetRegDword(HKEY root, const char* key, const char* valueName, DWORD defaultValue);
