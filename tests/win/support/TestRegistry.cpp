#include "TestRegistry.h"

#include <shlwapi.h>

namespace {
constexpr char kLogKey[] = "Software\\Orbina.Com\\Korean\\";
constexpr char kLogValue[] = "VelSetUpLog";
constexpr char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelSetup";
}  // namespace

void SetLogLevelValue(DWORD level) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLogKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    ::RegSetValueExA(key, kLogValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
    ::RegCloseKey(key);
  }
}

void DeleteLogLevelValue() { ::SHDeleteValueA(HKEY_LOCAL_MACHINE, kLogKey, kLogValue); }

void DeleteUninstallRecords() { ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallRoot); }
