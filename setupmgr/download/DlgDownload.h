// The download dialog: drives one update run and reports its progress to the control's window.
#pragma once

#include <windows.h>

#include <string>

#include "DownloadSkin.h"
#include "InstallParam.h"
#include "UpdateSet.h"
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

  // Fetches the manifest into the temporary folder as "VelSetup.xml"; 1 on success, else 0.
  int DownloadFileList();
  // Reads the manifest copy into the items of the run's mode; false when it cannot be read or has
  // no UPDATELIST. The copy is deleted on success only.
  bool CreateUpdateList();
  // The download pass over the run's items, on the worker thread; its result reaches the dialog
  // as WM_DOWNLOAD_DONE.
  bool DownloadInstallFiles();

  const CUpdateSetList& UpdateSets() const { return m_lstUpdateSet; }
  // The status line: a string-table text, repainted alone.
  void SetStatusText(UINT id);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnDialogStart();
  void OnCancel();
  void OnDestroy();

  HWND m_hWnd = nullptr;
  HWND m_hNotifyWnd = nullptr;
  int m_nLastStatus = 0;
  CScopedHandle m_hCancelEvent;  // manual reset; signalled by Cancel and never reset
  CUpdateSetList m_lstUpdateSet;
  std::string m_strStatus;
  CDownloadSkin m_skin;
};
