// The download dialog: drives one update run and reports its progress to the control's window.
#pragma once

#include <windows.h>

#include <string>

#include "DownloadSkin.h"
#include "InstallParam.h"
#include "WinHandles.h"

class CDlgDownload : public CInstallSettings {
 public:
  CDlgDownload() = default;
  CDlgDownload(const CDlgDownload&) = delete;
  CDlgDownload& operator=(const CDlgDownload&) = delete;

  // Creates the hidden modeless window from its template; false when it cannot be created.
  bool Create(HWND owner);
  HWND GetSafeHwnd() const { return m_hWnd; }

  void SetNotifyWindow(HWND window) { m_hNotifyWnd = window; }

  // Remembers the code and posts it to the control's window, if there is one. Posted, not sent,
  // so a slow or hung control cannot hold up the run.
  void Notify(int status, LPARAM lParam);

  // Ends a failed or cancelled run: hides the dialog, reports the failure, closes the program.
  void Abort();

  // The status line: a string-table text, repainted alone.
  void SetStatusText(UINT id);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnDialogStart();
  void OnCancel();
  void OnDestroy();

  int DownloadFileList();
  bool CreateUpdateList();

  HWND m_hWnd = nullptr;
  HWND m_hNotifyWnd = nullptr;
  int m_nLastStatus = 0;
  CScopedHandle m_hCancelEvent;  // manual reset; signalled by Cancel and never reset
  std::string m_strStatus;
  CDownloadSkin m_skin;
};
