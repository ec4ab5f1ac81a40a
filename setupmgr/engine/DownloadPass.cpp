#include "DownloadPass.h"

#include <string>

#include "AppMessages.h"
#include "CancelSignal.h"
#include "DownloadProgress.h"
#include "ExtractZip.h"
#include "Folders.h"
#include "HttpDownload.h"
#include "SetupLog.h"
#include "Sha256.h"
#include "TemporaryNames.h"
#include "Util.h"
#include "WinHandles.h"

namespace {

// SOURCE_WIN9X on the Windows 9x platform, SOURCE everywhere else.
const std::string& SourceUrl(const CUpdateFile& file) {
  if (file.m_strSourceWin9x && SystemFolders().m_dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    return *file.m_strSourceWin9x;
  }
  return file.m_strSource;
}

// Sent, so the worker waits until the dialog has taken the report in.
void Report(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr) ::SendMessageA(window, message, wParam, lParam);
}

void PostDone(HWND window, bool failed) {
  if (window != nullptr) ::PostMessageA(window, WM_DOWNLOAD_DONE, failed ? 1 : 0, 0);
}

}  // namespace

uint32_t CUpdateFile::GetDownloadSize(HINTERNET internet) {
  m_nDownloadSize = m_bReady ? 0 : GetUrlFileSize(internet, SourceUrl(*this).c_str());
  return m_nDownloadSize;
}

bool CUpdateFile::DownloadUpdateFile(HINTERNET internet, HWND window, const CCancelSignal* cancel) {
  if (m_bReady) return true;
  const std::string& url = SourceUrl(*this);
  const std::string& folder = SystemFolders().m_strTempFolder;
  // The install step takes the file under its own name from the same folder.
  std::string localPath;
  std::string namedPath;
  if (folder.empty() || !JoinFolderPath(folder, m_strName, namedPath) ||
      !DownloadedCopyPath(folder, m_strName, url, localPath)) {
    LogWrite(1, "[DownloadInstallFiles] Invalid download path (%s, %s)", m_strName.c_str(), url.c_str());
    return false;
  }
  LogWrite(2, "[DownloadInstallFiles] Download File %s -> %s", url.c_str(), localPath.c_str());

  Report(window, WM_DOWNLOAD_PROGRESS, DOWNLOAD_PROGRESS_SIZE, static_cast<LPARAM>(m_nDownloadSize));
  Report(window, WM_DOWNLOAD_PROGRESS, DOWNLOAD_PROGRESS_URL, reinterpret_cast<LPARAM>(url.c_str()));
  // A file that arrives as it is hashed as it arrives; one inside an archive as it is unpacked.
  const bool extract = NeedsExtraction(m_strName, url);
  CSha256 hash;
  CDownloadSink* sink = m_hashFile && !extract ? &hash : nullptr;
  const bool downloaded = DownloadFile(internet, localPath.c_str(), url.c_str(), true, window, cancel, sink);
  // A transfer without an announced length looks complete whenever the cancel cut it short: after
  // a cancel no copy counts as arrived, nor stays for a later run to take as current.
  const bool cancelled = cancel != nullptr && cancel->IsSet();
  if (downloaded && cancelled) ::DeleteFileA(localPath.c_str());
  if (!downloaded || cancelled) {
    LogWrite(1, "[DownloadInstallFiles] Download Failed (%s)", url.c_str());
    return false;
  }
  if (sink != nullptr && !MatchesHash(hash, localPath)) {
    ::DeleteFileA(localPath.c_str());
    return false;
  }
  m_bReady = 1;
  LogWrite(2, "[DownloadInstallFiles] Download Succeed (%s)", url.c_str());

  // Anything but a ZIP archive holding a file of another kind stays as it arrived.
  if (!extract) return true;
  CEntryHash entry;
  entry.name = m_strName;
  const bool extracted = ExtractZipFile(localPath.c_str(), folder.c_str(), window, WM_EXTRACT_PROGRESS,
                                        m_hashFile ? &entry : nullptr);
  if (!extracted) LogWrite(1, "[DownloadInstallFiles] Zip Extract Failed (%s)", localPath.c_str());
  ::DeleteFileA(localPath.c_str());
  if (!extracted || !m_hashFile) return extracted;
  // The file the install step takes must be the one the manifest vouches for.
  if (!entry.written) {
    LogWrite(1, "[DownloadInstallFiles] SHA256 of %s: not in the archive", namedPath.c_str());
  } else if (MatchesHash(entry.hash, namedPath)) {
    return true;
  }
  m_bReady = 0;
  ::DeleteFileA(namedPath.c_str());
  return false;
}

bool CUpdateFile::MatchesHash(CSha256& hash, const std::string& path) const {
  CSha256Digest digest;
  if (!hash.Finish(digest)) {
    LogWrite(1, "[DownloadInstallFiles] SHA256 of %s could not be made", path.c_str());
    return false;
  }
  if (digest == *m_hashFile) return true;
  LogWrite(1, "[DownloadInstallFiles] SHA256 (%s) (U:%s) != (L:%s)", path.c_str(),
           Sha256Text(*m_hashFile).c_str(), Sha256Text(digest).c_str());
  return false;
}

uint64_t CUpdateSet::GetTotalSize(HINTERNET internet) {
  uint64_t total = 0;
  for (const std::unique_ptr<CUpdateFile>& file : m_arrUpdateFile) total += file->GetDownloadSize(internet);
  return total;
}

bool CUpdateSet::DownloadInstallFiles(HINTERNET internet, HWND window, const CCancelSignal* cancel) {
  LogWrite(2, "CUpdateSet::DownloadInstallFiles");
  if (m_arrUpdateFile.empty()) {
    LogWrite(2, "[DownloadInstallFiles] m_arrUpdateFile.GetSize() == 0");
    return true;
  }
  bool succeeded = true;
  const size_t count = m_arrUpdateFile.size();
  for (size_t i = 0; i < count; ++i) {
    succeeded = m_arrUpdateFile[i]->DownloadUpdateFile(internet, window, cancel) && succeeded;
    Report(window, WM_FILE_DONE, static_cast<WPARAM>(i + 1), static_cast<LPARAM>(count));
  }
  return succeeded;
}

bool RunDownloadPass(const CUpdateSetList& sets, HWND window, const CCancelSignal* cancel) {
  const std::string& folder = SystemFolders().m_strTempFolder;
  if (!CUtil::CreateRecursiveDirectory(folder.c_str())) {
    LogWrite(1, "[DownloadInstallFiles] CUtil::CreateRecursiveDirectory(%s) Failed, Error Code = %d",
             folder.c_str(), static_cast<int>(CUtil::LastError()));
    PostDone(window, true);
    return false;
  }
  CScopedInternet internet(
      ::InternetOpenA(kInternetAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet) {
    LogWrite(1, "[DownloadInstallFiles] InternetOpen Failed, Error Code = %d",
             static_cast<int>(::GetLastError()));
    PostDone(window, true);
    return false;
  }

  uint64_t total = 0;
  for (const std::unique_ptr<CUpdateSet>& set : sets) total += set->GetTotalSize(internet.Get());
  Report(window, WM_DOWNLOAD_PROGRESS, DOWNLOAD_PROGRESS_TOTAL, static_cast<LPARAM>(ProgressTotal(total)));

  bool succeeded = true;
  for (const std::unique_ptr<CUpdateSet>& set : sets) {
    succeeded = set->DownloadInstallFiles(internet.Get(), window, cancel) && succeeded;
  }
  internet.Reset();
  PostDone(window, !succeeded);
  return succeeded;
}
