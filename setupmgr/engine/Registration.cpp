#include "Registration.h"

#include <windows.h>

#include <cstring>

#include "CommandLineText.h"
#include "Folders.h"
#include "RunFiles.h"
#include "SetupLog.h"
#include "UpdateFile.h"
#include "WinHandles.h"

namespace {

constexpr char kPreApprovedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved";

ClassKeyOpenFunction g_openClassKey = ::RegOpenKeyExA;

bool RunRegistrationTool(const char* switches, const char* path, DWORD* exitCode) {
  const std::string& system = SystemFolders().m_strSystem;
  // Without the system folder the tool's path would name a file on the current drive.
  if (system.empty()) {
    LogWrite(1, "[RegisterServerFile] System folder unknown (%s)", path);
    return false;
  }
  const std::string tool = system + "\\Regsvr32.exe";
  const std::string arguments = std::string(switches) + " " + QuotePath(path);
  return ExecuteFile(tool.c_str(), arguments.c_str(), true, exitCode);
}

}  // namespace

bool RegisterServerFile(const char* path, DWORD* exitCode) {
  DWORD code = 0;
  const bool ran = RunRegistrationTool("/s", path, &code);
  if (ran && exitCode != nullptr) *exitCode = code;
  return ran && code == 0;
}

bool UnregisterServerFile(const char* path) { return RunRegistrationTool("/u /s", path, nullptr); }

void SetClassKeyOpenForTesting(ClassKeyOpenFunction function) {
  g_openClassKey = function != nullptr ? function : ::RegOpenKeyExA;
}

bool GetInprocServerPath(const char* classId, std::string& path) {
  const std::string key = std::string("Software\\Classes\\CLSID\\{") + classId + "}\\InprocServer32";
  CScopedRegKey opened;
  if (g_openClassKey(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, opened.Put()) != ERROR_SUCCESS) {
    return false;
  }
  char buffer[MAX_PATH];
  DWORD type = REG_NONE;
  DWORD size = sizeof buffer;
  if (::RegQueryValueExA(opened.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || buffer[size - 1] != '\0') {
    return false;
  }
  path.assign(buffer, size - 1);
  return true;
}

bool DeleteRegClassFile(const char* classId) {
  std::string path;
  if (!GetInprocServerPath(classId, path) || path.empty()) return false;
  UnregisterServerFile(path.c_str());
  return ::DeleteFileA(path.c_str()) != FALSE;
}

bool CUpdateFile::RegisterServer() {
  if (!m_bRegister) return true;
  const char* path = m_strLocalPath.c_str();
  // A server whose own registration failed counts like one whose tool cannot start: the page
  // could not create its object.
  DWORD exitCode = 0;
  if (!RegisterServerFile(path, &exitCode)) {
    if (exitCode != 0) {
      LogWrite(1, "[RegisterServer] RegisterServer(%s) Failed (Exit Code = %d)", path,
               static_cast<int>(exitCode));
    } else {
      LogWrite(1, "[RegisterServer] RegisterServer(%s) Failed", path);
    }
    ::DeleteFileA(path);
    return false;
  }
  LogWrite(2, "[RegisterServer] RegisterServer(%s) Success", path);
  if (SystemFolders().m_bIE7) RegisterPreApproved();
  return true;
}

bool CUpdateFile::UnregisterServer() {
  if (!m_bRegister) return true;
  const char* path = m_strLocalPath.c_str();
  if (!UnregisterServerFile(path)) {
    LogWrite(1, "[UnregisterServer] UnregisterServer(%s) Failed", path);
    return false;
  }
  LogWrite(2, "[UnregisterServer] UnregisterServer(%s) Success", path);
  if (SystemFolders().m_bIE7) UnregisterPreApproved();
  return true;
}

bool CUpdateFile::RegisterPreApproved() {
  if (!m_strClassID) return false;
  const char* classId = m_strClassID->c_str();
  const std::string key = std::string(kPreApprovedKey) + "\\{" + classId + "}";
  CScopedRegKey created;
  const LONG result = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_READ | KEY_WRITE, nullptr, created.Put(), nullptr);
  if (result != ERROR_SUCCESS) {
    LogWrite(1, "[RegisterPreApproved] regKey.Create(%s) Failed, Error Code = %d", classId,
             static_cast<int>(result));
    return false;
  }
  LogWrite(2, "[RegisterPreApproved] RegisterServer(%s) Success", classId);
  return true;
}

bool CUpdateFile::UnregisterPreApproved() {
  if (!m_strClassID) return false;
  const char* classId = m_strClassID->c_str();
  CScopedRegKey preApproved;
  LONG result =
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPreApprovedKey, 0, KEY_READ | KEY_WRITE, preApproved.Put());
  if (result != ERROR_SUCCESS) {
    LogWrite(1, "[UnregisterPreApproved] regKey.Open(%s) Failed, Error Code = %d", classId,
             static_cast<int>(result));
    return false;
  }
  const std::string subKey = std::string("{") + classId + "}";
  result = ::RegDeleteKeyA(preApproved.Get(), subKey.c_str());
  if (result != ERROR_SUCCESS) {
    LogWrite(1, "[UnregisterPreApproved] regKey.DeleteSubKey(%s) Failed, Error Code = %d", classId,
             static_cast<int>(result));
    return false;
  }
  LogWrite(2, "[UnregisterPreApproved] UnregisterPreApproved(%s) Success", classId);
  return true;
}
