#include "Reboot.h"

#include <string>
#include <vector>

#include "Folders.h"
#include "MessageBox.h"
#include "SetupLog.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr char kWininitSection[] = "Rename";
constexpr char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingValue[] = "PendingFileRenameOperations";
constexpr char kWininitDelete[] = "NUL";

BOOL SystemRestart(RestartMethod method, const char* message) {
  if (method == RestartMethod::kExitWindows) return ::ExitWindowsEx(EWX_REBOOT, 0);
  std::vector<char> text(message, message + lstrlenA(message) + 1);
  return ::InitiateSystemShutdownA(nullptr, text.data(), 0, FALSE, TRUE);
}

RestartFunction g_restart = SystemRestart;

// The short (8.3) form of an existing path within a path buffer; empty when there is none.
std::string ShortPath(const char* path) {
  char shortPath[MAX_PATH];
  const DWORD length = ::GetShortPathNameA(path, shortPath, sizeof shortPath);
  if (length == 0 || length >= sizeof shortPath) return {};
  return std::string(shortPath, length);
}

void ScheduleInWininit(const char* source, const char* destination) {
  const std::string windows = SystemFolders().m_strWindows;
  if (windows.empty()) return;
  const std::string profile = windows + "\\Wininit.ini";
  // Both paths are looked up before anything is written, so that the deletion of a destination
  // is never scheduled without the rename that replaces it.
  const std::string shortSource = ShortPath(source);
  if (shortSource.empty()) return;
  std::string key = kWininitDelete;
  if (destination != nullptr) {
    const std::string shortDestination = ShortPath(destination);
    if (shortDestination.empty()) return;
    if (!::WritePrivateProfileStringA(kWininitSection, kWininitDelete, shortDestination.c_str(),
                                      profile.c_str())) {
      return;
    }
    key = shortDestination;
  }
  ::WritePrivateProfileStringA(kWininitSection, key.c_str(), shortSource.c_str(), profile.c_str());
}

void ShowFailure(const char* text) {
  const std::string title = LoadResourceString(IDS_APP_TITLE);
  ShowMessage(nullptr, text, title.c_str(), MB_OK);
}

// Sets the shutdown privilege's attributes; false when the call failed or did not assign it.
bool SetShutdownPrivilege(HANDLE token, const LUID& privilege, DWORD attributes) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid = privilege;
  privileges.Privileges[0].Attributes = attributes;
  ::SetLastError(ERROR_SUCCESS);
  const BOOL adjusted = ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  return adjusted && ::GetLastError() == ERROR_SUCCESS;
}

}  // namespace

void SetRestartForTesting(RestartFunction function) { g_restart = function ? function : SystemRestart; }

void ReplaceFileOnReboot(const char* source, const char* destination) {
  if (SystemFolders().m_dwPlatformId == VER_PLATFORM_WIN32_NT) {
    // One delayed move that may replace the destination: when the copy is gone at the restart,
    // the move fails and the old file stays.
    const DWORD flags = destination != nullptr ? MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING
                                               : MOVEFILE_DELAY_UNTIL_REBOOT;
    ::MoveFileExA(source, destination, flags);
    return;
  }
  ScheduleInWininit(source, destination);
}

void CancelReplaceOnReboot(const char* source) {
  if (SystemFolders().m_dwPlatformId != VER_PLATFORM_WIN32_NT) {
    if (!::DeleteFileA(source) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
      LogWrite(1, "[CancelReplaceOnReboot] DeleteFile(%s) Failed, Error Code = %d", source,
               static_cast<int>(::GetLastError()));
    }
    return;
  }
  CScopedRegKey key;
  LONG result =
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.Put());
  DWORD type = REG_NONE, size = 0;
  if (result == ERROR_SUCCESS)
    result = ::RegQueryValueExA(key.Get(), kPendingValue, nullptr, &type, nullptr, &size);
  if (result == ERROR_FILE_NOT_FOUND) return;
  std::vector<char> list(size + 2, '\0');
  if (result == ERROR_SUCCESS)
    result = ::RegQueryValueExA(key.Get(), kPendingValue, nullptr, &type,
                                reinterpret_cast<BYTE*>(list.data()), &size);
  if (result != ERROR_SUCCESS) {
    LogWrite(1, "[CancelReplaceOnReboot] %s cannot be read, Error Code = %d", kPendingValue,
             static_cast<int>(result));
    return;
  }
  // Pairs of source and destination (empty for a deletion), in the "\??\" form of the system.
  std::vector<std::string> paths;
  for (const char* at = list.data(); at < list.data() + size; at += lstrlenA(at) + 1) paths.emplace_back(at);
  if (paths.size() % 2 == 1 && paths.back().empty()) paths.pop_back();
  std::string kept;
  bool removed = false;
  for (size_t i = 0; i < paths.size(); i += 2) {
    const std::string& from = paths[i];
    const char* path = from.rfind("\\??\\", 0) == 0 ? from.c_str() + 4 : from.c_str();
    if (lstrcmpiA(path, source) == 0) {
      removed = true;
      continue;
    }
    kept += from + '\0';
    if (i + 1 < paths.size()) kept += paths[i + 1] + '\0';
  }
  if (!removed) return;
  if (kept.empty()) {
    result = ::RegDeleteValueA(key.Get(), kPendingValue);
  } else {
    kept += '\0';
    result = ::RegSetValueExA(key.Get(), kPendingValue, 0, REG_MULTI_SZ,
                              reinterpret_cast<const BYTE*>(kept.data()), static_cast<DWORD>(kept.size()));
  }
  if (result != ERROR_SUCCESS) {
    LogWrite(1, "[CancelReplaceOnReboot] %s cannot be written, Error Code = %d", kPendingValue,
             static_cast<int>(result));
    return;
  }
  LogWrite(2, "[CancelReplaceOnReboot] Replacement at the next start cancelled (%s)", source);
}

void RebootSystem() {
  CScopedHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put())) {
    ShowFailure("OpenProcessToken failed.");
  }
  // Without a token there is no privilege to change; the shutdown is still tried.
  LUID privilege = {};
  const bool haveToken = token.IsValid();
  const bool havePrivilege = haveToken && ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privilege);
  if (haveToken && (!havePrivilege || !SetShutdownPrivilege(token.Get(), privilege, SE_PRIVILEGE_ENABLED))) {
    ShowFailure("AdjustTokenPrivileges enable failed.");
  }
  if (!g_restart(RestartMethod::kShutdown, "System rebooting."))
    ShowFailure("InitiateSystemShutdown failed.");
  if (havePrivilege && !SetShutdownPrivilege(token.Get(), privilege, 0)) {
    ShowFailure("AdjustTokenPrivileges disable failed.");
  }
}

bool AskAndRestart(HWND owner) {
  if (ShowResourceMessage(owner, IDS_REBOOT_QUESTION, MB_YESNO | MB_SYSTEMMODAL) != IDYES) return false;
  if (SystemFolders().m_dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    g_restart(RestartMethod::kExitWindows, nullptr);
  } else {
    RebootSystem();
  }
  return true;
}
