#include "DlgDownload.h"

#include <memory>
#include <string>

#include "AppMessages.h"
#include "DownloadPass.h"
#include "Folders.h"
#include "HttpDownload.h"
#include "MainFrameRef.h"
#include "MessageBox.h"
#include "SetupLog.h"
#include "SetupProtocol.h"
#include "TemporaryNames.h"
#include "Util.h"
#include "XmlLookup.h"
#include "resource.h"

namespace {

constexpr char kManifestCopyName[] = "VelSetup.xml";
// A manifest is a few kilobytes; anything near this is no manifest.
constexpr DWORD kMaxManifestSize = 16 * 1024 * 1024;

// The whole file; false when it cannot be opened or read, or is larger than `limit`.
bool ReadWholeFile(const char* path, DWORD limit, std::string& bytes) {
  const CScopedFile file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > limit) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return bytes.empty() ||
         (::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
          read == bytes.size());
}

}  // namespace

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
  if (m_hWnd != nullptr) ::ShowWindow(m_hWnd, SW_HIDE);
  Notify(SETUP_STATUS_FAILED, 0);
  CloseMainFrame();
}

INT_PTR CALLBACK CDlgDownload::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDlgDownload*>(lParam);
    ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    self->m_hWnd = hWnd;
  }
  auto* self = reinterpret_cast<CDlgDownload*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CDlgDownload::OnMessage(UINT message, WPARAM wParam, LPARAM) {
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
  m_hCancelEvent.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  InitFolders();
}

void CDlgDownload::OnDialogStart() {
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
}

void CDlgDownload::OnCancel() {
  if (m_hCancelEvent) ::SetEvent(m_hCancelEvent.Get());
  ::ShowWindow(m_hWnd, SW_HIDE);
}

void CDlgDownload::OnDestroy() {
  m_hCancelEvent.Reset();
  if (m_hNotifyWnd != nullptr) ::PostMessageA(m_hNotifyWnd, WM_SETUP_CLOSED, 0, 0);
  m_hWnd = nullptr;
}

int CDlgDownload::DownloadFileList() {
  LogWrite(2, "CDlgDownload::DownloadFileList");
  Notify(SETUP_STATUS_GET_MANIFEST, 0);

  const std::string& folder = SystemFolders().m_strTempFolder;
  if (!CUtil::CreateRecursiveDirectory(folder.c_str())) {
    LogWrite(1, "[DownloadFileList] CUtil::CreateRecursiveDirectory(%s) Failed, Error Code = %d",
             folder.c_str(), static_cast<int>(CUtil::LastError()));
    return 0;
  }
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
    downloaded = DownloadFile(internet.Get(), localPath.c_str(), url, true, nullptr, nullptr);
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

  std::string localPath;
  std::string bytes;
  if (!JoinFolderPath(SystemFolders().m_strTempFolder, kManifestCopyName, localPath) ||
      !ReadWholeFile(localPath.c_str(), kMaxManifestSize, bytes) || bytes.empty()) {
    LogWrite(1, "[CreateUpdateList] Invalid XML File (parse_file failed)");
    return false;
  }
  pugi::xml_document document;
  LoadMinimal(document, bytes.data(), bytes.size());
  const pugi::xml_node updateList = FirstDescendant(document, "UPDATELIST");
  if (!updateList) {
    LogWrite(1, "[CreateUpdateList] Invalid XML File (UPDATELIST do not exist)");
    return false;
  }

  for (const pugi::xml_node item : updateList.children("UPDATEITEM")) {
    if (!CUpdateSet::CheckMode(item, m_strMode.c_str())) continue;
    auto set = std::make_unique<CUpdateSet>();
    set->CreateUpdateList(item);
    LogWrite(2, "[CreateUpdateList] UpdateItem = %s", set->m_strName.c_str());
    m_lstUpdateSet.push_back(std::move(set));
  }
  ::DeleteFileA(localPath.c_str());
  return true;
}

bool CDlgDownload::DownloadInstallFiles() {
  return RunDownloadPass(m_lstUpdateSet, m_hWnd, m_hCancelEvent.Get());
}
