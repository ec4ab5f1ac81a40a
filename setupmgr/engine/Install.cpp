// The installation of downloaded items: CUpdateSet::InstallFiles and UndoInstall, and the steps
// of one file, CUpdateFile::InstallProcess, MoveInstallFiles and UninstallFile.
#include <windows.h>

#include <string>

#include "Folders.h"
#include "InstallRules.h"
#include "ProcessLocator.h"
#include "Reboot.h"
#include "Registration.h"
#include "RegistryEdits.h"
#include "RegistryText.h"
#include "RunFiles.h"
#include "SetupLog.h"
#include "TemporaryFolder.h"
#include "TemporaryNames.h"
#include "UninstallRecords.h"
#include "UpdateSet.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr int kForceDeleteTries = 10;
constexpr DWORD kForceDeleteIntervalMs = 100;

HKEY RootKey(DeleteKeyRoot root) {
  switch (root) {
    case DeleteKeyRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case DeleteKeyRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case DeleteKeyRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case DeleteKeyRoot::kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
    case DeleteKeyRoot::kUsers:
      return HKEY_USERS;
    case DeleteKeyRoot::kNone:
      break;
  }
  return nullptr;
}

// A failure is logged; the installation goes on whatever happens here.
void DeleteNamedKey(const std::string& value) {
  const CDeleteKeyPath path = ParseDeleteKeyPath(value);
  if (!path.hasBackslash) return;
  const HKEY root = RootKey(path.root);
  // A path that names the root itself is refused by RegDeleteAllKey.
  if (root == nullptr || RegDeleteAllKey(root, path.subKey.c_str()) != ERROR_SUCCESS) {
    LogWrite(1, "[InstallProcess] DeleteRegKey Failed(%s)", value.c_str());
  }
}

bool IsFile(const char* path) {
  const DWORD attributes = ::GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Deletes the file `tries` times with a pause after each try, as programs that were just ended
// release their files only after a while. True when one try removed it or it was already gone.
bool DeleteWithRetries(const char* path) {
  bool deleted = false;
  for (int i = 0; i < kForceDeleteTries; ++i) {
    if (::DeleteFileA(path) || ::GetLastError() == ERROR_FILE_NOT_FOUND) deleted = true;
    ::Sleep(kForceDeleteIntervalMs);
  }
  return deleted;
}

}  // namespace

bool CUpdateSet::InstallFiles(int& needReboot, int forceDelete, CInstalledFiles& installed) {
  const int rebootBefore = needReboot;
  bool succeeded = true;
  for (const std::unique_ptr<CUpdateFile>& file : m_arrUpdateFile) {
    succeeded =
        file->InstallProcess(m_strName.c_str(), forceDelete, !m_bSelfUninstaller, needReboot, installed) &&
        succeeded;
  }
  // Servers are registered only once every file they may load is in place.
  if (succeeded) {
    for (const std::unique_ptr<CUpdateFile>& file : m_arrUpdateFile)
      succeeded = file->RegisterServer() && succeeded;
  }
  if (!succeeded) {
    UndoInstall();
    // The item's replacements at the next start were withdrawn: it asks for no restart.
    needReboot = rebootBefore;
  }
  return succeeded;
}

void CUpdateSet::UndoInstall() {
  // A shared server stays registered for the other programs that use it.
  for (const std::unique_ptr<CUpdateFile>& file : m_arrUpdateFile) {
    if (!file->m_bSharedDll) file->UnregisterServer();
  }
  for (const std::unique_ptr<CUpdateFile>& file : m_arrUpdateFile) {
    file->UninstallFile();
    if (!file->m_strScheduledCopy.empty()) CancelReplaceOnReboot(file->m_strScheduledCopy.c_str());
  }

  // Under an empty name the item's subkey would be the entry of every item.
  if (NamesWholeRoot(m_strName.c_str())) {
    LogWrite(1, "[UndoInstall] Invalid item name, uninstall records kept (%s)", m_strName.c_str());
    return;
  }
  CScopedRegKey entry;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WRITE, entry.Put()) !=
      ERROR_SUCCESS) {
    return;
  }
  RegDeleteAllKey(entry.Get(), m_strName.c_str());
}

bool CUpdateFile::InstallProcess(const char* itemName, int forceDelete, bool recordUninstall, int& needReboot,
                                 CInstalledFiles& installed) {
  if (!RunFileAndWait()) return false;
  if (m_strDeleteRegClass) DeleteRegClassFile(m_strDeleteRegClass->c_str());
  if (m_strDeleteRegKey) DeleteNamedKey(*m_strDeleteRegKey);

  std::string copy;
  if (SystemFolders().m_strTempFolder.empty() ||
      !JoinFolderPath(SystemFolders().m_strTempFolder, m_strName, copy)) {
    LogWrite(1, "[InstallProcess] Invalid temporary path (%s)", m_strName.c_str());
    return false;
  }
  const char* path = m_strLocalPath.c_str();
  LogWrite(2, "[InstallProcess] MoveInstalleFiles(%s ->%s)", copy.c_str(), path);
  if (installed.ConflictsWithEarlier(m_strName, m_strSource, m_strLocalPath)) {
    LogWrite(1, "[InstallProcess] %s is listed again with another SOURCE or DEST (%s ->%s)",
             m_strName.c_str(), m_strSource.c_str(), path);
  }

  // Another item of this run listed the same file and has moved the one copy of it already.
  const bool inPlace = !IsFile(copy.c_str()) && installed.WasMovedTo(m_strLocalPath);
  bool scheduled = false;
  if (inPlace) {
    LogWrite(2, "[InstallProcess] Installed earlier in this run (%s)", path);
  } else if (!MoveInstallFiles(copy.c_str(), forceDelete, needReboot)) {
    const DWORD error = ::GetLastError();
    LogWrite(1, "[InstallProcess] MoveInstalleFiles Failed, Error Code = %d", static_cast<int>(error));
    installed.Remember(m_strName, m_strSource, m_strLocalPath, false);
    return false;
  } else {
    scheduled = IsFile(copy.c_str());
    if (scheduled) m_strScheduledCopy = copy;
  }
  installed.Remember(m_strName, m_strSource, m_strLocalPath, !scheduled);

  // A copy that waits for the next start takes the time with it; the old file keeps its own.
  ApplyFileTime(scheduled ? copy.c_str() : path);
  if (recordUninstall) RegistUninstaller(itemName);
  ExecuteDownloadedFile();
  return true;
}

bool CUpdateFile::MoveInstallFiles(const char* copyPath, int forceDelete, int& needReboot) {
  const char* path = m_strLocalPath.c_str();
  // Without a copy nothing may be deleted: the destination would be left without any file.
  if (!IsFile(copyPath)) {
    LogWrite(1, "[MoveInstallFiles] Downloaded file missing (%s)", copyPath);
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  if (::DeleteFileA(path) || ::GetLastError() == ERROR_FILE_NOT_FOUND) return MoveIntoPlace(copyPath, path);
  const DWORD error = ::GetLastError();
  if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;

  LogWrite(2, "[MoveInstallFiles] DeleteFile(%s) Failed, ERROR_ACCESS_DENIED || ERROR_SHARING_VIOLATION",
           path);
  if (m_bReboot == 1) {
    needReboot = 1;
    ReplaceFileOnReboot(copyPath, path);
    return true;
  }
  if (forceDelete == 1 && TerminateProcessesUsingFile(path, IDS_CLOSE_TO_INSTALL) &&
      DeleteWithRetries(path)) {
    // The old file is gone now: a copy that cannot take its place fails the file, so that the
    // item is undone instead of counting as installed without it.
    if (MoveIntoPlace(copyPath, path)) return true;
    const DWORD moveError = ::GetLastError();
    LogWrite(1, "[MoveInstallFiles] MoveFile(%s) Failed, Error Code = %d", path, static_cast<int>(moveError));
    ::SetLastError(moveError);
    return false;
  }
  ReplaceFileOnReboot(copyPath, path);
  return true;
}

bool CUpdateFile::UninstallFile() {
  const char* path = m_strLocalPath.c_str();
  LogWrite(2, "[UninstallFile] DeleteFile(%s )", path);
  if (m_bSharedDll || !FileExists(path)) return true;
  if (::DeleteFileA(path)) return true;
  LogWrite(1, "[UninstalllFile] DeleteFile(%s) Failed (ErrorCode = %d) ", path,
           static_cast<int>(::GetLastError()));
  return false;
}
