// The download dialog: drives one update run and reports its progress to the control's window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "CancelSignal.h"
#include "DownloadSkin.h"
#include "InstallParam.h"
#include "RunLock.h"
#include "UpdateSet.h"
#include "WinHandles.h"

// Starts the download worker; returns its thread handle, null when it cannot be started.
using WorkerStartFunction = HANDLE (*)(LPTHREAD_START_ROUTINE routine, void* argument);
// nullptr restores CreateThread.
void SetWorkerStartForTesting(WorkerStartFunction function);

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
  int LastStatus() const { return m_nLastStatus; }

  // Ends a failed or cancelled run: hides the dialog, reports the failure, closes the program.
  void Abort();

  // A close request the program did not make itself (the task-bar entry, another program):
  // cancels the run while it waits for another run or downloads, and is ignored once the run
  // changes the computer or ends, so that the process never ends under its worker or halfway
  // through the installation.
  void OnCloseRequest();

  // Fetches the manifest into the temporary folder as "VelSetup.xml" and keeps its bytes; with a
  // manifest key, only a signed one with an acceptable serial. 1 on success, else 0.
  int DownloadFileList();
  // Reads the manifest's downloaded bytes into the items of the run's mode; false when it cannot be read or
  // has no UPDATELIST. The copy is deleted on success only.
  bool CreateUpdateList();
  // The download pass over the run's items, on the worker thread; its result reaches the dialog
  // as WM_DOWNLOAD_DONE.
  bool DownloadInstallFiles();
  // Installs every item, each even after another failed; true when all installed.
  bool InstallDownloadedFiles();

  // The status line: a string-table text, repainted alone.
  void SetStatusText(UINT id);

  const CUpdateSetList& UpdateSets() const { return m_lstUpdateSet; }

 private:
  enum class EPhase { kCreated, kWaiting, kPreparing, kDownloading, kInstalling, kEnding };

  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  static DWORD WINAPI DownloadWorker(void* dialog);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // A sent message's result goes back through DWLP_MSGRESULT.
  INT_PTR Answer(LRESULT result);
  void OnInitDialog();
  void OnDialogStart();
  void OnCancel();
  void OnDestroy();
  void OnDownloadProgress(WPARAM kind, LPARAM value);
  void OnFileDone();
  LRESULT OnExtractProgress(WPARAM kind);
  void OnDownloadDone(WPARAM passFailed);
  void OnSetupComplete();
  bool IsCancelled() const;
  void RemoveEmptyTemporaryFolder() const;

  HWND m_hWnd = nullptr;
  HWND m_hProgress = nullptr;  // control 1000, range 0..total bytes of the pass
  CUpdateSetList m_lstUpdateSet;
  int m_bNeedReboot = 0;
  int m_nLastStatus = 0;
  std::string m_strStatus;
  std::string m_strManifest;  // the manifest's bytes as downloaded: the only ones read
  HWND m_hNotifyWnd = nullptr;
  CCancelSignal m_cancel;  // set by Cancel and never reset
  EPhase m_ePhase = EPhase::kCreated;
  uint32_t m_nProgressTotal = 0;    // bytes the pass announced, 0 when none
  uint64_t m_nProgressWritten = 0;  // bytes the pass reported written
  CRunLock m_runLock;
  CDownloadSkin m_skin;
};
