#include "UninstallFiles.h"

#include "Folders.h"
#include "ProcessLocator.h"
#include "Registration.h"
#include "SetupLog.h"
#include "UninstallRecords.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

// Read access plus the rights to set values and create subkeys.
constexpr REGSAM kRecordAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
static_assert(kRecordAccess == 0x2001F, "record access mask");
constexpr char kPreApprovedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved";
constexpr int kDeleteTries = 20;
constexpr DWORD kDeletePauseMs = 100;

DeleteFileFunction g_deleteFile = ::DeleteFileA;

// "C:\..." or "\\server\share\...": a file path that does not depend on the current folder and
// names no device.
bool IsFullPath(const std::string& path) {
  if (path.size() < 3) return false;
  const char first = path[0];
  const bool drive =
      ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) && path[1] == ':' && path[2] == '\\';
  const bool unc = first == '\\' && path[1] == '\\' && path[2] != '\\' && path[2] != '.' && path[2] != '?';
  return drive || unc;
}

}  // namespace

void SetDeleteFileForTesting(DeleteFileFunction function) {
  g_deleteFile = function ? function : ::DeleteFileA;
}

bool RecordedFilePresent(const char* path) {
  const DWORD attributes = ::GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return false;
    default:
      return true;
  }
}

bool GetFileList(const char* itemKeyPath, CUninstallEntryList& list) {
  CScopedRegKey item;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, itemKeyPath, 0, kRecordAccess, item.Put()) != ERROR_SUCCESS) {
    LogWrite(1, "[CDlgUninstall::GetFileList] regKey.Open(%s) Failed", itemKeyPath);
    return false;
  }
  DWORD count = 0;
  if (::RegQueryInfoKeyA(item.Get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    count = 0;
  }
  for (DWORD index = 0; index < count; ++index) {
    char name[MAX_PATH] = {};
    DWORD length = sizeof name;
    const LONG status = ::RegEnumKeyExA(item.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
      name[sizeof name - 1] = '\0';
      LogWrite(1, "[CDlgUninstall::GetFileList] RegEnumKeyEx(%s) Failed. Error Code = %d", name,
               static_cast<int>(status));
      continue;
    }
    const std::string fileKey = std::string(itemKeyPath) + "\\" + name;
    UninstallEntry entry;
    entry.m_strFilePath = ReadRegistryString(HKEY_LOCAL_MACHINE, fileKey.c_str(), "FilePath", "");
    entry.m_dwUnregister = GetRegDword(HKEY_LOCAL_MACHINE, fileKey.c_str(), "Unregister", 0);
    entry.m_dwSharedDll = GetRegDword(HKEY_LOCAL_MACHINE, fileKey.c_str(), "SharedDll", 0);
    entry.m_strClassID = ReadRegistryString(HKEY_LOCAL_MACHINE, fileKey.c_str(), "ClassID", "");
    // Nothing is deleted or unregistered by a path that is not what the installation recorded: a
    // relative one would name a file in whatever folder the uninstaller was started from.
    if (!IsFullPath(entry.m_strFilePath)) {
      LogWrite(1, "[CDlgUninstall::GetFileList] No usable FilePath in %s, file skipped", fileKey.c_str());
      continue;
    }
    LogWrite(2, "[CDlgUninstall::GetFileList] File : %s, %d, %d, %s", entry.m_strFilePath.c_str(),
             static_cast<int>(entry.m_dwUnregister), static_cast<int>(entry.m_dwSharedDll),
             entry.m_strClassID.c_str());
    list.push_back(std::move(entry));
  }
  return true;
}

bool UnregisterFiles(const CUninstallEntryList& list) {
  for (const UninstallEntry& entry : list) {
    const char* path = entry.m_strFilePath.c_str();
    if (entry.m_dwSharedDll != 0 || entry.m_dwUnregister != 1 || !RecordedFilePresent(path)) continue;
    if (!UnregisterServerFile(path)) {
      LogWrite(1, "[CDlgUninstall::UnregisterFiles] UnregisterServer(%s) Failed.", path);
      continue;
    }
    LogWrite(2, "[CDlgUninstall::UnregisterFiles] UnregisterServer(%s) Success.", path);
    if (!SystemFolders().m_bIE7 || entry.m_strClassID.empty()) continue;

    const std::string classKey = "{" + entry.m_strClassID + "}";
    CScopedRegKey preApproved;
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPreApprovedKey, 0, kRecordAccess, preApproved.Put());
    if (status != ERROR_SUCCESS) {
      LogWrite(1, "[CDlgUninstall::UnregisterFiles] regKey.Open(%s) Failed, Error Code = %d",
               classKey.c_str(), static_cast<int>(status));
      continue;
    }
    status = ::RegDeleteKeyA(preApproved.Get(), classKey.c_str());
    if (status != ERROR_SUCCESS) {
      LogWrite(1, "[CDlgUninstall::UnregisterFiles] regKey.DeleteSubKey(%s) Failed, Error Code = %d",
               classKey.c_str(), static_cast<int>(status));
    } else {
      LogWrite(2, "[CDlgUninstall::UnregisterFiles] UnregisterPreApproved(%s) Success", classKey.c_str());
    }
  }
  return true;
}

bool UninstallFiles(const CUninstallEntryList& list) {
  for (const UninstallEntry& entry : list) {
    const char* path = entry.m_strFilePath.c_str();
    if (entry.m_dwSharedDll != 0 || !RecordedFilePresent(path)) continue;
    if (!ForceDelete(path)) {
      LogWrite(1, "[CDlgUninstall::UninstallFiles] ForceDelete(%s) Failed.", path);
      return false;
    }
    LogWrite(2, "[CDlgUninstall::UninstallFiles] ForceDelete(%s) Success.", path);
  }
  return true;
}

bool ForceDelete(const char* path) {
  if (g_deleteFile(path)) return true;
  const DWORD error = ::GetLastError();
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      if (!TerminateProcessesUsingFile(path, IDS_CLOSE_TO_DELETE)) return false;
      // Ending a program is not waited for: its file is released a moment later.
      for (int attempt = 0; attempt < kDeleteTries; ++attempt) {
        if (g_deleteFile(path)) return true;
        ::Sleep(kDeletePauseMs);
      }
      return false;
    case ERROR_FILE_NOT_FOUND:
      return false;
    default:
      // Whatever the code, a file still on disk was not deleted.
      if (RecordedFilePresent(path)) {
        LogWrite(1, "[CDlgUninstall::ForceDelete] DeleteFile(%s) Failed, Error Code = %d", path,
                 static_cast<int>(error));
        return false;
      }
      return true;
  }
}
