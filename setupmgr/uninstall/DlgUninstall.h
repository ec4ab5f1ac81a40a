// The uninstall dialog: lists the recorded items and removes the chosen ones.
#pragma once

#include <windows.h>

#include "RunLock.h"

class CDlgUninstall {
 public:
  CDlgUninstall() = default;
  CDlgUninstall(const CDlgUninstall&) = delete;
  CDlgUninstall& operator=(const CDlgUninstall&) = delete;

  // Creates the hidden modeless window from its template; false when it cannot be created.
  bool Create(HWND owner);
  HWND GetSafeHwnd() const { return m_hWnd; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnDialogStart();
  void OnCancel();

  HWND m_hWnd = nullptr;
  CRunLock m_runLock;
};
