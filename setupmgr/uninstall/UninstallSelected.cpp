// The removal of the checked items (the "삭제" button) and of the setup manager itself after the
// last one.
#include <algorithm>
#include <vector>

#include "DlgUninstall.h"
#include "MessageBox.h"
#include "Reboot.h"
#include "RegistryEdits.h"
#include "SetupLog.h"
#include "UninstallFiles.h"
#include "UninstallRecords.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr REGSAM kRecordAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;  // 0x2001F
constexpr char kUninstallParentKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kEntryName[] = "VelSetup";

// Deletes `subKey` with everything below it from the key `parentPath` names; the parent that
// cannot be opened leaves it without a message.
void DeleteKeyBelow(const char* parentPath, const char* subKey) {
  CScopedRegKey parent;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath, 0, kRecordAccess, parent.Put()) != ERROR_SUCCESS)
    return;
  const LONG status = RegDeleteAllKey(parent.Get(), subKey);
  if (status != ERROR_SUCCESS) {
    LogWrite(1, "[UninstallSelectedItems] RegDeleteAllKey(%s\\%s) Failed, Error Code = %d", parentPath,
             subKey, static_cast<int>(status));
  }
}

// The running program's path in the ANSI code page, only when it names exactly that file: a path
// cut at the buffer's end or with characters the code page cannot hold would name another one.
bool OwnProgramPath(std::string& path) {
  char narrow[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, narrow, sizeof narrow);
  if (length == 0 || length >= sizeof narrow) {
    LogWrite(1, "[UninstallSelectedItems] GetModuleFileName() Failed, Error Code = %d",
             static_cast<int>(length == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER));
    return false;
  }
  std::vector<wchar_t> wide(32768);
  const DWORD wideLength = ::GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
  std::vector<wchar_t> decoded(MAX_PATH + 1);
  const int decodedLength =
      ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow, static_cast<int>(length), decoded.data(),
                            static_cast<int>(decoded.size()));
  if (wideLength == 0 || wideLength >= wide.size() || decodedLength != static_cast<int>(wideLength) ||
      !std::equal(decoded.begin(), decoded.begin() + decodedLength, wide.begin())) {
    LogWrite(1, "[UninstallSelectedItems] Program path not representable (%s)", narrow);
    return false;
  }
  path.assign(narrow, length);
  return true;
}

}  // namespace

void CDlgUninstall::UninstallSelectedItems() {
  const HWND list = List();
  const int rows = ListView_GetItemCount(list);
  int checked = 0;
  for (int row = 0; row < rows; ++row) checked += ListView_GetCheckState(list, row) ? 1 : 0;
  if (rows <= 0 || checked == 0) {
    ShowResourceMessage(m_hWnd, IDS_SELECT_ITEMS, MB_OK);
    return;
  }

  // The questions of the process locator have no owner and leave the dialog clickable: a second
  // click on "삭제" meanwhile must not start a second removal inside the first.
  if (m_bRemoving) return;
  m_bRemoving = true;
  bool success = true;
  int removed = 0;
  for (int row = 0; row < rows; ++row) {
    if (!ListView_GetCheckState(list, row)) continue;
    char itemName[MAX_PATH] = {};
    ListView_GetItemText(list, row, 0, itemName, sizeof itemName);
    const std::string itemKey = std::string(kUninstallKey) + "\\" + itemName;
    LogWrite(2, "Start Uninstall (%s)", itemName);

    CUninstallEntryList files;
    if (!GetFileList(itemKey.c_str(), files) || !UnregisterFiles(files) || !UninstallFiles(files)) {
      success = false;
      break;
    }
    ++removed;
    DeleteKeyBelow(kUninstallKey, itemName);
    LogWrite(2, "Success Uninstall (%s)", itemName);
  }

  if (removed == rows) {
    LogWrite(2, "All Item was uninstalled!");
    RemoveSelf();
  }
  if (success) ShowResourceMessage(m_hWnd, IDS_REMOVED, MB_OK);
  EndDialog();
}

void CDlgUninstall::RemoveSelf() {
  DeleteKeyBelow(kUninstallParentKey, kEntryName);
  std::string program;
  if (OwnProgramPath(program)) ReplaceFileOnReboot(program.c_str(), nullptr);
}
