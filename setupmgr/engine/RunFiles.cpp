#include "RunFiles.h"

#include <windows.h>

#include <string>
#include <vector>

#include "CommandLineText.h"
#include "Folders.h"
#include "HttpDownload.h"
#include "SetupLog.h"
#include "Sha256.h"
#include "UpdateFile.h"
#include "WinHandles.h"

namespace {
constexpr int kExecuteWait = 2;
constexpr int kExecuteDelete = 4;

// True when the run file has RUNSHA256 or none is given; logs a mismatch at `level`.
bool RunFileMatches(const CUpdateFile& file, const std::string& path, const CSha256Digest* arrived,
                    int level) {
  if (!file.m_hashRunFile) return true;
  CSha256Digest digest;
  if (arrived != nullptr) {
    digest = *arrived;
  } else if (!HashFile(path.c_str(), digest)) {
    return false;
  }
  if (digest == *file.m_hashRunFile) return true;
  LogWrite(level, "[RunFileAndWait] SHA256 (%s) (U:%s) != (L:%s)", path.c_str(),
           Sha256Text(*file.m_hashRunFile).c_str(), Sha256Text(digest).c_str());
  return false;
}

// Downloads the run file through a session of its own, closed before the file runs.
bool FetchRunFile(const char* source, const char* path, CDownloadSink* sink) {
  const CScopedInternet internet(
      ::InternetOpenA("Orbina Setup", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet) {
    LogWrite(1, "[RunFileAndWait] InternetOpen Failed (Error Code = %d)", static_cast<int>(::GetLastError()));
    return false;
  }
  LogWrite(2, "[RunFileAndWait] Download File %s -> %s", source, path);
  return DownloadFile(internet.Get(), path, source, true, nullptr, nullptr, sink);
}
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

bool CUpdateFile::RunFileAndWait() {
  if (!m_strRunFile || !m_strRunSource) return true;
  // A run file kept in RUNDEST is reused when current. Without RUNDEST it goes to the temporary
  // folder, which other users may write to, and runs with the installer's rights: it is always
  // fetched afresh there.
  const bool keep = m_strRunDest.has_value();
  const std::string& folder = keep ? *m_strRunDest : SystemFolders().m_strTempFolder;
  const std::string path = folder + "\\" + *m_strRunFile;
  const char* runParam = m_strRunParam ? m_strRunParam->c_str() : nullptr;
  if (folder.empty() || path.size() > kMaxPathLength) {
    LogWrite(1, "[RunFileAndWait] Invalid run file path (%s)", path.c_str());
    return false;
  }

  DWORD fileMS = 0, fileLS = 0;
  if (keep && FileExists(path.c_str()) && ReadFileVersion(path.c_str(), fileMS, fileLS)) {
    if (m_dwRunVersionMS > fileMS || (m_dwRunVersionMS == fileMS && m_dwRunVersionLS > fileLS)) {
      LogWrite(2, "[RunFileAndWait] FileVersion (%s) (U:%d:%d) != (L:%d:%d)", path.c_str(),
               static_cast<int>(m_dwRunVersionMS), static_cast<int>(m_dwRunVersionLS),
               static_cast<int>(fileMS), static_cast<int>(fileLS));
    } else if (RunFileMatches(*this, path, nullptr, 2)) {
      LogWrite(2, "[RunFileAndWait] Do not need update (%s)", path.c_str());
      return ExecuteFile(path.c_str(), runParam, true);
    }
  }

  const char* source = m_strRunSource->c_str();
  // Hashed as it arrives; a run file that is not the one the manifest names never runs.
  CSha256 hash;
  CSha256Digest digest;
  const bool downloaded = FetchRunFile(source, path.c_str(), m_hashRunFile ? &hash : nullptr);
  if (!downloaded) {
    LogWrite(1, "[RunFileAndWait] DownloadFile(%s) Failed", source);
    return false;
  }
  if (m_hashRunFile && (!hash.Finish(digest) || !RunFileMatches(*this, path, &digest, 1))) {
    ::DeleteFileA(path.c_str());
    return false;
  }
  const bool started = ExecuteFile(path.c_str(), runParam, true);
  if (!keep) ::DeleteFileA(path.c_str());
  return started;
}
