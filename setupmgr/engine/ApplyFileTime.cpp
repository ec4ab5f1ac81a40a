#include <windows.h>

#include "SetupLog.h"
#include "UpdateFile.h"
#include "WinHandles.h"

void CUpdateFile::ApplyFileTime(const char* path) const {
  if (m_ftFileTime == 0) return;
  const CScopedFile file(
      ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    LogWrite(1, "[DownloadInstallFiles] CreateFile Failed (%s), Error Code = %d", path,
             static_cast<int>(::GetLastError()));
    return;
  }
  FILETIME lastWrite;
  lastWrite.dwLowDateTime = static_cast<DWORD>(m_ftFileTime);
  lastWrite.dwHighDateTime = static_cast<DWORD>(m_ftFileTime >> 32);
  if (!::SetFileTime(file.Get(), nullptr, nullptr, &lastWrite)) {
    LogWrite(1, "[DownloadInstallFiles] SetFileTime Failed (%s), Error Code = %d", path,
             static_cast<int>(::GetLastError()));
  }
}
