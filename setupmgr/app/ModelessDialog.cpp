#include "ModelessDialog.h"

bool CModelessDialog::CreateFromTemplate(UINT templateId, HWND owner) {
  const HWND hWnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner,
                                         DialogProc, reinterpret_cast<LPARAM>(this));
  return hWnd != nullptr;
}

INT_PTR CModelessDialog::SetMessageResult(LRESULT result) {
  ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CALLBACK CModelessDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    reinterpret_cast<CModelessDialog*>(lParam)->m_hWnd = hWnd;
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) find no object and get the default handling.
  auto* self = reinterpret_cast<CModelessDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  if (self == nullptr) return FALSE;
  INT_PTR handled = FALSE;
  // No exception crosses the system's dispatch: a message that throws counts as not handled.
  try {
    handled = self->OnMessage(message, wParam, lParam);
  } catch (...) {
    handled = FALSE;
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
    self->m_hWnd = nullptr;
  }
  return handled;
}
