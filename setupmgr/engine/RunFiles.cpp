#include "RunFiles.h"

#include <windows.h>

#include <string>
#include <vector>

#include "CommandLineText.h"
#include "SetupLog.h"
#include "UpdateFile.h"
#include "WinHandles.h"

namespace {
constexpr int kExecuteWait = 2;
constexpr int kExecuteDelete = 4;
}  // namespace

bool ExecuteFile(const char* program, const char* arguments, bool wait) {
  std::string commandLine;
  if (!FormatCommandLine(program, arguments, commandLine)) {
    LogWrite(1, "[ExecuteFile] Command line too long (%s)", program);
    return false;
  }
  LogWrite(2, "[ExecuteFile] Call CreateProcess(%s)", commandLine.c_str());

  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created = {};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
                        nullptr, &startup, &created)) {
    LogWrite(1, "[ExecuteFile] CreateProcess(%s) Failed (Error Code = %d)", program,
             static_cast<int>(::GetLastError()));
    return false;
  }
  CScopedHandle process(created.hProcess);
  CScopedHandle thread(created.hThread);
  thread.Reset();  // never used
  if (wait) ::WaitForSingleObject(process.Get(), INFINITE);
  LogWrite(2, "[ExecuteFile] CreateProcess(%s) Success", program);
  return true;
}

bool FileExists(const char* path) {
  const CScopedFile file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid();
}

void CUpdateFile::ExecuteDownloadedFile() {
  if (m_nExecute == 0) return;
  const char* path = m_strLocalPath.c_str();
  ExecuteFile(path, m_strParam ? m_strParam->c_str() : nullptr, (m_nExecute & kExecuteWait) != 0);
  if ((m_nExecute & kExecuteDelete) == 0) return;
  if (::DeleteFileA(path)) {
    LogWrite(2, "[ExecuteDownloadedFile] DeleteFile Success(%s)", path);
  } else {
    LogWrite(1, "[ExecuteDownloadedFile] DeleteFile Failed, Error Code = %d",
             static_cast<int>(::GetLastError()));
  }
}
