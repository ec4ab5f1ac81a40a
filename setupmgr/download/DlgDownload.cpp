#include "DlgDownload.h"

#include "AppMessages.h"
#include "MainFrameRef.h"
#include "MessageBox.h"
#include "SetupLog.h"
#include "SetupProtocol.h"
#include "resource.h"

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
  // The manifest transfer is not part of this build yet; the run ends as for a manifest that
  // could not be fetched.
  LogWrite(1, "[DownloadFileList] Manifest download unavailable (%s)", m_strSourceURL.c_str());
  return 0;
}

bool CDlgDownload::CreateUpdateList() {
  LogWrite(2, "CDlgDownload::CreateUpdateList");
  Notify(SETUP_STATUS_BUILD_LIST, 0);
  return false;
}
