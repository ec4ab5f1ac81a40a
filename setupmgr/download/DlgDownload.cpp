#include "DlgDownload.h"

#include <memory>
#include <string>

#include <commctrl.h>

#include "AppMessages.h"
#include "DownloadPass.h"
#include "DownloadProgress.h"
#include "Folders.h"
#include "HttpDownload.h"
#include "InstallRules.h"
#include "MainFrameRef.h"
#include "ManifestKey.h"
#include "MessageBox.h"
#include "Reboot.h"
#include "SetupLog.h"
#include "SetupProtocol.h"
#include "SignedManifest.h"
#include "TemporaryFolder.h"
#include "TemporaryNames.h"
#include "XmlLookup.h"
#include "resource.h"

namespace {

constexpr char kManifestCopyName[] = "VelSetup.xml";
// The last component of the temporary folder of the NT family from version 6 on.
constexpr char kTempFolderName[] = "VelTemp";
// A manifest is a few kilobytes; anything near this is no manifest.
constexpr DWORD kMaxManifestSize = 16 * 1024 * 1024;

HANDLE StartThread(LPTHREAD_START_ROUTINE routine, void* argument) {
  return ::CreateThread(nullptr, 0, routine, argument, 0, nullptr);
}

WorkerStartFunction g_startWorker = StartThread;

}  // namespace

void SetWorkerStartForTesting(WorkerStartFunction function) {
  g_startWorker = function ? function : StartThread;
}

bool CDlgDownload::Create(HWND owner) {
  const HWND hWnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD), owner,
                                         DialogProc, reinterpret_cast<LPARAM>(this));
  return hWnd != nullptr;
}

void CDlgDownload::Notify(int status, LPARAM lParam) {
  m_nLastStatus = status;
  if (m_hNotifyWnd != nullptr) {
    ::PostMessageA(m_hNotifyWnd, WM_SETUP_STATUS, static_cast<WPARAM>(status), lParam);
  }
}

void CDlgDownload::SetStatusText(UINT id) {
  m_strStatus = LoadResourceString(id);
  if (m_hWnd != nullptr) CDownloadSkin::InvalidateStatus(m_hWnd);
}

void CDlgDownload::Abort() {
  m_ePhase = EPhase::kEnding;
  if (m_hWnd != nullptr) ::ShowWindow(m_hWnd, SW_HIDE);
  Notify(SETUP_STATUS_FAILED, 0);
  CloseMainFrame();
}

void CDlgDownload::OnCloseRequest() {
  switch (m_ePhase) {
    case EPhase::kWaiting:
    case EPhase::kDownloading:
      OnCancel();
      break;
    case EPhase::kCreated:
    case EPhase::kPreparing:
    case EPhase::kInstalling:
    case EPhase::kEnding:
      break;
  }
}

bool CDlgDownload::IsCancelled() const { return m_cancel.IsSet(); }

INT_PTR CALLBACK CDlgDownload::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDlgDownload*>(lParam);
    ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    self->m_hWnd = hWnd;
  }
  auto* self = reinterpret_cast<CDlgDownload*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

DWORD WINAPI CDlgDownload::DownloadWorker(void* dialog) {
  static_cast<CDlgDownload*>(dialog)->DownloadInstallFiles();
  return 0;
}

INT_PTR CDlgDownload::Answer(LRESULT result) {
  ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CDlgDownload::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_PAINT:
      m_skin.Paint(m_hWnd, m_strStatus.c_str());
      return TRUE;
    case WM_DIALOG_START:
      OnDialogStart();
      return TRUE;
    case WM_DOWNLOAD_PROGRESS:
      OnDownloadProgress(wParam, lParam);
      return Answer(0);
    case WM_FILE_DONE:
      OnFileDone();
      return Answer(0);
    case WM_EXTRACT_PROGRESS:
      return Answer(OnExtractProgress(wParam));
    case WM_DOWNLOAD_DONE:
      OnDownloadDone(wParam);
      return TRUE;
    case WM_SETUP_COMPLETE:
      OnSetupComplete();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) OnCancel();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return TRUE;
    default:
      return FALSE;
  }
}

void CDlgDownload::OnInitDialog() {
  m_skin.Apply(m_hWnd);
  const HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  m_hProgress = ::GetDlgItem(m_hWnd, IDC_PROGRESS);
  m_cancel.Create();
  InitFolders();
}

void CDlgDownload::OnDialogStart() {
  // Nothing is read or changed before every other run of this computer has ended.
  m_ePhase = EPhase::kWaiting;
  const ERunLock lock = m_runLock.Acquire(m_cancel.Event());
  if (lock == ERunLock::kFailed) {
    ShowResourceMessage(nullptr, IDS_MANIFEST_FAILED, MB_OK);
    Abort();
    return;
  }
  if (lock != ERunLock::kHeld || IsCancelled()) {
    Abort();
    return;
  }
  m_ePhase = EPhase::kPreparing;
  if (!DownloadFileList()) {
    ShowResourceMessage(nullptr, IDS_MANIFEST_FAILED, MB_OK);
    Abort();
    return;
  }
  if (!CreateUpdateList()) {
    ShowResourceMessage(nullptr, IDS_UPDATE_LIST_FAILED, MB_OK);
    Abort();
    return;
  }

  m_ePhase = EPhase::kDownloading;
  const CScopedHandle worker(g_startWorker(DownloadWorker, this));  // never joined
  if (!worker) {
    // No WM_DOWNLOAD_DONE would ever come: the hidden program would wait for ever.
    LogWrite(1, "[OnDialogStart] CreateThread Failed, Error Code = %d", static_cast<int>(::GetLastError()));
    ShowResourceMessage(nullptr, IDS_DOWNLOAD_FAILED, MB_OK);
    Abort();
  }
}

void CDlgDownload::OnCancel() {
  m_cancel.Set();
  ::ShowWindow(m_hWnd, SW_HIDE);
}

void CDlgDownload::OnDestroy() {
  ReleaseTemporaryFolder();
  m_runLock.Release();
  m_cancel.CloseEvent();
  if (m_hNotifyWnd != nullptr) ::PostMessageA(m_hNotifyWnd, WM_SETUP_CLOSED, 0, 0);
  m_hWnd = nullptr;
  m_hProgress = nullptr;
}

void CDlgDownload::OnDownloadProgress(WPARAM kind, LPARAM value) {
  switch (kind) {
    case DOWNLOAD_PROGRESS_TOTAL: {
      const LONG total = static_cast<LONG>(value);
      if (total <= 0) return;
      if (m_nShowDlg != 0 && !IsCancelled()) {
        ::ShowWindow(GetMainFrameWindow(), SW_SHOW);
        ::ShowWindow(m_hWnd, SW_SHOW);
      } else {
        ::ShowWindow(m_hWnd, SW_HIDE);
      }
      m_nProgressTotal = static_cast<uint32_t>(total);
      ::SendMessageA(m_hProgress, PBM_SETRANGE32, 0, total);
      break;
    }
    case DOWNLOAD_PROGRESS_URL:
      SetStatusText(IDS_DOWNLOADING);
      break;
    case DOWNLOAD_PROGRESS_BYTES:
      m_nProgressWritten += static_cast<uint32_t>(value);
      if (m_nProgressTotal != 0) {
        const uint64_t position =
            m_nProgressWritten < m_nProgressTotal ? m_nProgressWritten : m_nProgressTotal;
        ::SendMessageA(m_hProgress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
      }
      break;
    default:  // the size of the next file is not shown
      break;
  }
}

void CDlgDownload::OnFileDone() {
  // The byte counts of the file are posted before its end is sent: they are counted first, so
  // that the percentage covers the whole file and the last one of the pass is 100.
  MSG queued;
  while (::PeekMessageA(&queued, m_hWnd, WM_DOWNLOAD_PROGRESS, WM_DOWNLOAD_PROGRESS, PM_REMOVE)) {
    OnDownloadProgress(queued.wParam, queued.lParam);
  }
  Notify(SETUP_STATUS_PROGRESS, DownloadPercent(m_nProgressWritten, m_nProgressTotal));
}

LRESULT CDlgDownload::OnExtractProgress(WPARAM kind) {
  if (IsCancelled()) return -1;
  if (kind == EXTRACT_PROGRESS_START) SetStatusText(IDS_EXTRACTING);
  return 0;
}

void CDlgDownload::OnDownloadDone(WPARAM passFailed) {
  // A cancel ends the run whatever arrived: a transfer it cut short may look complete.
  if (IsCancelled()) {
    Abort();
    return;
  }
  for (const std::unique_ptr<CUpdateSet>& set : m_lstUpdateSet) {
    if (set->IsDownloadFailed(passFailed != 0)) {
      ShowResourceMessage(nullptr, IDS_DOWNLOAD_FAILED, MB_OK);
      Abort();
      return;
    }
  }

  m_ePhase = EPhase::kInstalling;
  Notify(SETUP_STATUS_INSTALLING, 0);
  const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
  const bool installed = InstallDownloadedFiles();
  ::SetCursor(previous);
  if (!installed) {
    ShowResourceMessage(nullptr, IDS_INSTALL_FAILED, MB_OK);
    Abort();
    return;
  }
  m_ePhase = EPhase::kEnding;
  ::ShowWindow(m_hWnd, SW_HIDE);
  ::PostMessageA(m_hWnd, WM_SETUP_COMPLETE, 0, 0);
}

void CDlgDownload::OnSetupComplete() {
  LogWrite(2, "CDlgDownload::OnSetupComplete");
  if (m_bNeedReboot == 1) {
    // The copies wait in the temporary folder for the restart.
    Notify(AskAndRestart(nullptr) ? SETUP_STATUS_REBOOT_ACCEPTED : SETUP_STATUS_REBOOT_DECLINED, 0);
  } else {
    Notify(SETUP_STATUS_SUCCEEDED, 0);
    RemoveEmptyTemporaryFolder();
  }
  CloseMainFrame();
}

void CDlgDownload::RemoveEmptyTemporaryFolder() const {
  // Older systems download into the user's own temporary folder, which is never removed.
  const CSystemFolders& folders = SystemFolders();
  if (folders.m_dwPlatformId != VER_PLATFORM_WIN32_NT || folders.m_dwMajorVersion < 6) return;
  std::string folder = folders.m_strTempFolder;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  const size_t separator = folder.find_last_of('\\');
  if (separator == std::string::npos ||
      folder.compare(separator + 1, std::string::npos, kTempFolderName) != 0) {
    return;
  }
  // Not recursive: a folder with anything in it stays.
  ReleaseTemporaryFolder();
  ::RemoveDirectoryA(folder.c_str());
}

int CDlgDownload::DownloadFileList() {
  LogWrite(2, "CDlgDownload::DownloadFileList");
  Notify(SETUP_STATUS_GET_MANIFEST, 0);

  const std::string& folder = SystemFolders().m_strTempFolder;
  if (!PrepareTemporaryFolder(folder)) return 0;
  std::string localPath;
  if (!JoinFolderPath(folder, kManifestCopyName, localPath)) {
    LogWrite(1, "[DownloadFileList] Temp path too long (%s\\%s)", folder.c_str(), kManifestCopyName);
    return 0;
  }
  ::DeleteFileA(localPath.c_str());
  const char* url = m_strSourceURL.c_str();
  LogWrite(2, "[DownloadIniFile] Download File %s -> %s", url, localPath.c_str());

  bool downloaded = false;
  const CScopedInternet internet(
      ::InternetOpenA(kInternetAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet) {
    LogWrite(1, "[DownloadFileList] InternetOpen Failed, Error Code = %d",
             static_cast<int>(::GetLastError()));
  } else {
    m_strManifest.clear();
    CMemorySink sink(m_strManifest, kMaxManifestSize);
    downloaded = DownloadFile(internet.Get(), localPath.c_str(), url, true, nullptr, nullptr, &sink);
    const CManifestKey key = ManifestPublicKey();
    if (downloaded && key.size != 0) {
      downloaded =
          AcceptSignedManifest(internet.Get(), m_strSourceURL, m_strManifest, localPath + ".sig", key);
    }
  }
  if (downloaded) {
    LogWrite(2, "[DownloadIniFile] Download File ( %s ) Succeed!", url);
  } else {
    LogWrite(1, "[DownloadIniFile] Download File ( %s ) Failed!", url);
  }
  return downloaded ? 1 : 0;
}

bool CDlgDownload::CreateUpdateList() {
  LogWrite(2, "CDlgDownload::CreateUpdateList");
  Notify(SETUP_STATUS_BUILD_LIST, 0);

  // The bytes that arrived (and, with a key, verified), never the copy's name read again.
  std::string localPath;
  if (!JoinFolderPath(SystemFolders().m_strTempFolder, kManifestCopyName, localPath) ||
      m_strManifest.empty()) {
    LogWrite(1, "[CreateUpdateList] Invalid XML File (parse_file failed)");
    return false;
  }
  pugi::xml_document document;
  LoadMinimal(document, m_strManifest.data(), m_strManifest.size());
  const pugi::xml_node updateList = FirstDescendant(document, "UPDATELIST");
  if (!updateList) {
    LogWrite(1, "[CreateUpdateList] Invalid XML File (UPDATELIST do not exist)");
    return false;
  }

  for (const pugi::xml_node item : updateList.children("UPDATEITEM")) {
    if (!CUpdateSet::CheckMode(item, m_strMode.c_str())) continue;
    auto set = std::make_unique<CUpdateSet>();
    set->CreateUpdateList(item, ManifestPublicKey().size != 0);
    LogWrite(2, "[CreateUpdateList] UpdateItem = %s", set->m_strName.c_str());
    m_lstUpdateSet.push_back(std::move(set));
  }
  ::DeleteFileA(localPath.c_str());
  return true;
}

bool CDlgDownload::DownloadInstallFiles() { return RunDownloadPass(m_lstUpdateSet, m_hWnd, &m_cancel); }

bool CDlgDownload::InstallDownloadedFiles() {
  LogWrite(2, "CDlgDownload::InstallDownloadedFiles");
  CInstalledFiles installed;
  bool succeeded = true;
  for (const std::unique_ptr<CUpdateSet>& set : m_lstUpdateSet) {
    succeeded = set->InstallFiles(m_bNeedReboot, m_nForceDelete, installed) && succeeded;
  }
  return succeeded;
}
