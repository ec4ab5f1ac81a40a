#include "DlgUninstall.h"

#include <commctrl.h>

#include "AppMessages.h"
#include "MainFrameRef.h"
#include "MessageBox.h"
#include "SetupLog.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelSetup";

}  // namespace

bool CDlgUninstall::Create(HWND owner) {
  const HWND hWnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_UNINSTALL), owner,
                                         DialogProc, reinterpret_cast<LPARAM>(this));
  return hWnd != nullptr;
}

INT_PTR CALLBACK CDlgUninstall::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    reinterpret_cast<CDlgUninstall*>(lParam)->m_hWnd = hWnd;
  }
  auto* self = reinterpret_cast<CDlgUninstall*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CDlgUninstall::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_DIALOG_START:
      OnDialogStart();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) OnCancel();
      return TRUE;
    case WM_CLOSE:
      OnCancel();
      return TRUE;
    case WM_DESTROY:
      m_hWnd = nullptr;
      return TRUE;
    default:
      return FALSE;
  }
}

void CDlgUninstall::OnInitDialog() {
  const HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

  const HWND list = ::GetDlgItem(m_hWnd, IDC_ITEM_LIST);
  ListView_SetExtendedListViewStyleEx(list, 0, LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  RECT client;
  ::GetClientRect(list, &client);
  const double width = client.right - client.left;
  const struct {
    UINT title;
    double share;
  } columns[] = {{IDS_INSTALLED_CONTROL, 0.6}, {IDS_COLUMN_STATE, 0.2}, {IDS_COLUMN_VERSION, 0.2}};
  for (int i = 0; i < 3; ++i) {
    std::string title = LoadResourceString(columns[i].title);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = static_cast<int>(width * columns[i].share);
    column.pszText = &title[0];
    column.iSubItem = i;
    ::SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
}

void CDlgUninstall::OnDialogStart() {
  // The items are listed only once no other run changes them.
  if (!m_runLock.Acquire(nullptr)) {
    CloseMainFrame();
    return;
  }
  CScopedRegKey root;
  const LONG status =
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRoot, 0, KEY_ENUMERATE_SUB_KEYS, root.Put());
  if (status != ERROR_SUCCESS) {
    LogWrite(1, "[OnDialogStart] RegOpenKeyEx Failed, Error Code = %d", static_cast<int>(status));
    CloseMainFrame();
    return;
  }
  ::ShowWindow(m_hWnd, SW_SHOW);
}

void CDlgUninstall::OnCancel() {
  CloseMainFrame();
  ::ShowWindow(m_hWnd, SW_HIDE);
}
