#include "TestRegistry.h"

#include <shlwapi.h>

#include "WinHandles.h"

namespace {
constexpr char kLogKey[] = "Software\\Orbina.Com\\Korean\\";
constexpr char kLogValue[] = "VelSetUpLog";
constexpr char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelSetup";
}  // namespace

void SetLogLevelValue(DWORD level) {
  CScopedRegKey key;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLogKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                        nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExA(key.Get(), kLogValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
  }
}

void DeleteLogLevelValue() { ::SHDeleteValueA(HKEY_LOCAL_MACHINE, kLogKey, kLogValue); }

void DeleteUninstallRecords() { ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallRoot); }
