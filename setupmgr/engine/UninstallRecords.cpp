#include "UninstallRecords.h"

#include <string>

#include "CommandLineText.h"
#include "MessageBox.h"
#include "RegistryText.h"
#include "SetupLog.h"
#include "UpdateSet.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr REGSAM kRecordAccess = KEY_READ | KEY_WRITE;

bool OpenOrCreate(HKEY root, const char* key, CScopedRegKey& opened) {
  if (::RegOpenKeyExA(root, key, 0, kRecordAccess, opened.Put()) == ERROR_SUCCESS) return true;
  return ::RegCreateKeyExA(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, kRecordAccess, nullptr,
                           opened.Put(), nullptr) == ERROR_SUCCESS;
}

bool SetValueOf(HKEY key, const char* valueName, DWORD type, const void* data, DWORD size) {
  return ::RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool SetStringOf(HKEY key, const char* valueName, const char* text) {
  return SetValueOf(key, valueName, REG_SZ, text, static_cast<DWORD>(lstrlenA(text) + 1));
}

bool SetDwordOf(HKEY key, const char* valueName, DWORD value) {
  return SetValueOf(key, valueName, REG_DWORD, &value, sizeof value);
}

// The entry's own values are the same for every file of a run: written until they all were.
bool g_entryWritten = false;

void WriteEntryValues(const char* program) {
  if (g_entryWritten) return;
  const std::string uninstallCommand = QuotePath(program) + " -u";
  const std::string displayName = LoadResourceString(IDS_INSTALLER_NAME);
  CScopedRegKey entry;
  if (!OpenOrCreate(HKEY_LOCAL_MACHINE, kUninstallKey, entry)) return;
  const bool name = SetStringOf(entry.Get(), "DisplayName", displayName.c_str());
  const bool icon = SetStringOf(entry.Get(), "DisplayIcon", program);
  const bool command = SetStringOf(entry.Get(), "UninstallString", uninstallCommand.c_str());
  g_entryWritten = name && icon && command;
}

}  // namespace

bool SetRegString(HKEY root, const char* key, const char* valueName, const char* text) {
  CScopedRegKey opened;
  return OpenOrCreate(root, key, opened) && SetStringOf(opened.Get(), valueName, text);
}

bool SetRegDword(HKEY root, const char* key, const char* valueName, DWORD value) {
  CScopedRegKey opened;
  return OpenOrCreate(root, key, opened) && SetDwordOf(opened.Get(), valueName, value);
}

DWORD GetRegDword(HKEY root, const char* key, const char* valueName, DWORD defaultValue) {
  CScopedRegKey opened;
  if (::RegOpenKeyExA(root, key, 0, kRecordAccess, opened.Put()) != ERROR_SUCCESS) return defaultValue;
  DWORD value = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof value;
  // A value of another type or size is no number of this record.
  if (::RegQueryValueExA(opened.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return defaultValue;
  }
  return value;
}

bool CUpdateFile::RegistUninstaller(const char* itemName) {
  // An empty name would make the item's subkey the entry itself, and removing the item would
  // remove every item's records.
  if (NamesWholeRoot(itemName)) {
    LogWrite(1, "[RegistUninstaller] Invalid item name (FileName = %s)", m_strName.c_str());
    return false;
  }
  char program[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, program, sizeof program);
  if (length == 0 || length >= sizeof program) {
    // A cut path is no path: ERROR_INSUFFICIENT_BUFFER is what the call reports then.
    LogWrite(1, "[RegistUninstaller] GetModuleFileName() Failed, Error Code = %d",
             static_cast<int>(length == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER));
    return false;
  }
  WriteEntryValues(program);

  const std::string baseName = FileBaseName(m_strLocalPath);
  const std::string itemKey = std::string(kUninstallKey) + "\\" + itemName;
  if (m_bMainFile) SetRegString(HKEY_LOCAL_MACHINE, itemKey.c_str(), nullptr, baseName.c_str());

  // One opening of the file's key for all its values.
  const std::string fileKey = itemKey + "\\" + baseName;
  CScopedRegKey opened;
  if (OpenOrCreate(HKEY_LOCAL_MACHINE, fileKey.c_str(), opened)) {
    SetStringOf(opened.Get(), "FilePath", m_strLocalPath.c_str());
    SetDwordOf(opened.Get(), "Unregister", static_cast<DWORD>(m_bRegister));
    SetDwordOf(opened.Get(), "SharedDll", static_cast<DWORD>(m_bSharedDll));
    if (m_strClassID) SetStringOf(opened.Get(), "ClassID", m_strClassID->c_str());
  }
  return true;
}

bool CUpdateSet::RecordUninstall(CUpdateFile& file) const {
  if (m_bSelfUninstaller) return true;
  return file.RegistUninstaller(m_strName.c_str());
}
