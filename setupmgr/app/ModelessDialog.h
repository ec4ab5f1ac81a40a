// The plumbing every modeless dialog of the setup manager shares: the window created from a
// dialog template, `this` kept in DWLP_USER from WM_INITDIALOG on, and the messages forwarded to a
// member procedure of the derived class.
#pragma once

#include <windows.h>

class CModelessDialog {
 public:
  CModelessDialog() = default;
  virtual ~CModelessDialog() = default;
  CModelessDialog(const CModelessDialog&) = delete;
  CModelessDialog& operator=(const CModelessDialog&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }

 protected:
  // Creates the window from dialog template `templateId` of the program's resources, owned by
  // `owner`; false when it cannot be created. WM_INITDIALOG already reaches OnMessage.
  bool CreateFromTemplate(UINT templateId, HWND owner);

  // The dialog procedure's answer for one message: TRUE when handled. Runs with m_hWnd set.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  // Handles a message whose answer is a result value (WM_NOTIFY refusals and the like): stores
  // `result` in DWLP_MSGRESULT and returns TRUE for the dialog procedure to return.
  INT_PTR SetMessageResult(LRESULT result);

  HWND m_hWnd = nullptr;  // null before creation and after WM_NCDESTROY

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
