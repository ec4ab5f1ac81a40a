#include "DlgUninstall.h"

#include <cstdio>

#include "AppMessages.h"
#include "Folders.h"
#include "MainFrameRef.h"
#include "MessageBox.h"
#include "RunFiles.h"
#include "SetupLog.h"
#include "UninstallRecords.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr UINT kSelectedAndFocused = LVIS_SELECTED | LVIS_FOCUSED;

std::string ItemKeyPath(const char* itemName) { return std::string(kUninstallKey) + "\\" + itemName; }

void SetCellText(HWND list, int row, int column, const std::string& text) {
  LVITEMA cell = {};
  cell.iSubItem = column;
  cell.pszText = const_cast<char*>(text.c_str());
  ::SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
}

}  // namespace

bool CDlgUninstall::Create(HWND owner) { return CreateFromTemplate(IDD_UNINSTALL, owner); }

INT_PTR CDlgUninstall::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_DIALOG_START:
      OnDialogStart();
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != IDC_ITEM_LIST || header->code != LVN_ITEMCHANGING) return FALSE;
      return SetMessageResult(OnItemChanging(*reinterpret_cast<const NMLISTVIEW*>(lParam)) ? TRUE : FALSE);
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          UninstallSelectedItems();
          return TRUE;
        case IDCANCEL:
          OnCancel();
          return TRUE;
        case IDC_SELECT_ALL:
          if (HIWORD(wParam) == BN_CLICKED) OnSelectAll();
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      OnCancel();
      return TRUE;
    default:
      return FALSE;
  }
}

HWND CDlgUninstall::List() const { return ::GetDlgItem(m_hWnd, IDC_ITEM_LIST); }

void CDlgUninstall::OnInitDialog() {
  const HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  InitFolders();

  const HWND list = List();
  ListView_SetExtendedListViewStyleEx(list, LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                                      LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
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
  // The items are listed only once no other run changes them. Meanwhile the dialog shows, with
  // "삭제" off, so that a person sees the program wait and can close it.
  ERunLock lock = m_runLock.TryAcquire();
  if (lock == ERunLock::kBusy) {
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), FALSE);
    ::ShowWindow(m_hWnd, SW_SHOW);
    m_hStopWaiting.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    lock = m_hStopWaiting ? m_runLock.Acquire(m_hStopWaiting.Get()) : ERunLock::kFailed;
  }
  // Failed (logged) or given up: the dialog may be gone already.
  if (lock != ERunLock::kHeld || m_hWnd == nullptr) {
    CloseMainFrame();
    return;
  }
  ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), TRUE);
  CScopedRegKey root;
  const LONG status =
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_ENUMERATE_SUB_KEYS, root.Put());
  if (status != ERROR_SUCCESS) {
    LogWrite(1, "[OnDialogStart] RegOpenKeyEx Failed, Error Code = %d", static_cast<int>(status));
    CloseMainFrame();
    return;
  }
  for (DWORD index = 0;; ++index) {
    char name[MAX_PATH] = {};
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(root.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    AddRow(name);
  }
  root.Reset();
  ::ShowWindow(m_hWnd, SW_SHOW);
}

void CDlgUninstall::AddRow(const char* itemName) {
  const HWND list = List();
  LVITEMA row = {};
  row.mask = LVIF_TEXT;
  row.iItem = ListView_GetItemCount(list);
  row.pszText = const_cast<char*>(itemName);
  const int index =
      static_cast<int>(::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
  if (index < 0) return;
  SetCellText(list, index, 1,
              LoadResourceString(GetItemStatus(itemName) ? IDS_STATE_INSTALLED : IDS_STATE_DAMAGED));
  std::string version;
  if (GetItemVersion(itemName, version)) SetCellText(list, index, 2, version);
}

bool CDlgUninstall::GetItemStatus(const char* itemName) {
  const std::string itemKey = ItemKeyPath(itemName);
  CScopedRegKey item;
  const LONG status =
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, itemKey.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, item.Put());
  if (status != ERROR_SUCCESS) {
    LogWrite(1, "[GetItemStatus] RegOpenKeyEx Failed, Error Code = %d", static_cast<int>(status));
    return false;
  }
  for (DWORD index = 0;; ++index) {
    char name[MAX_PATH] = {};
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(item.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (!CheckInstalledFile(itemKey, name)) return false;
  }
  return true;
}

bool CDlgUninstall::CheckInstalledFile(const std::string& itemKey, const char* fileKeyName) {
  const std::string fileKey = itemKey + "\\" + fileKeyName;
  const std::string path = ReadRegistryString(HKEY_LOCAL_MACHINE, fileKey.c_str(), "FilePath", "");
  if (path.empty()) {
    LogWrite(1, "[CheckInstalledFile] GetProfileString Failed");
    return false;
  }
  return FileExists(path.c_str());
}

bool CDlgUninstall::GetItemVersion(const char* itemName, std::string& version) {
  const std::string itemKey = ItemKeyPath(itemName);
  const std::string mainFile = ReadRegistryString(HKEY_LOCAL_MACHINE, itemKey.c_str(), nullptr, "");
  if (mainFile.empty()) {
    LogWrite(2, "[GetItemVersion] GetProfileString Failed");
    return false;
  }
  const std::string path =
      ReadRegistryString(HKEY_LOCAL_MACHINE, (itemKey + "\\" + mainFile).c_str(), "FilePath", "");
  if (path.empty()) {
    LogWrite(2, "[GetItemVersion] GetProfileString Failed");
    return false;
  }
  DWORD ms = 0;
  DWORD ls = 0;
  if (!ReadFileVersion(path.c_str(), ms, ls)) return false;
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(HIWORD(ms)), static_cast<int>(LOWORD(ms)),
                static_cast<int>(HIWORD(ls)), static_cast<int>(LOWORD(ls)));
  version = text;
  return true;
}

bool CDlgUninstall::OnItemChanging(const NMLISTVIEW& change) {
  // A click on a row, or a key moving to it, asks to make it selected and focused; the state image
  // (the check) travels along in the new state and does not count.
  if (change.iItem < 0 || (change.uChanged & LVIF_STATE) == 0 ||
      (change.uNewState & ~LVIS_STATEIMAGEMASK) != kSelectedAndFocused) {
    return false;
  }
  const HWND list = List();
  ListView_SetCheckState(list, change.iItem, !ListView_GetCheckState(list, change.iItem));
  return true;
}

void CDlgUninstall::OnSelectAll() {
  const HWND list = List();
  const BOOL check = m_bAllChecked == 0;
  const int count = ListView_GetItemCount(list);
  for (int row = 0; row < count; ++row) ListView_SetCheckState(list, row, check);
  m_bAllChecked = check ? 1 : 0;
}

void CDlgUninstall::OnCancel() {
  if (m_hStopWaiting) ::SetEvent(m_hStopWaiting.Get());
  EndDialog();
}

void CDlgUninstall::EndDialog() {
  CloseMainFrame();
  ::DestroyWindow(m_hWnd);
}
