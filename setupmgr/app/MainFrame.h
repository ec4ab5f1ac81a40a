// The hidden main frame: owns both dialogs for the life of the process and chooses the mode.
#pragma once

#include <windows.h>

#include "DlgDownload.h"
#include "DlgUninstall.h"

class CMainFrame {
 public:
  CMainFrame() = default;
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Registers the class and creates the hidden frame window; false when it does not exist
  // afterwards (the rights check refused the user).
  bool Create();
  HWND GetSafeHwnd() const { return m_hWnd; }

  // The process exit code once the frame is gone: in update mode the run's final status
  // (RunExitCode), in uninstall mode 0 once the uninstall dialog started; 101 when neither mode
  // started (the command line was refused).
  int ExitCode() const;

  // Lets the modeless dialogs handle their keyboard messages.
  bool PreTranslateMessage(MSG* msg);

 private:
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCreate();
  void OnAppStart();
  int ParseCommandLine();

  HWND m_hWnd = nullptr;
  int m_bUninstall = 0;
  bool m_bModeStarted = false;
  CDlgDownload m_dlgDownload;
  CDlgUninstall m_dlgUninstall;
};
