#include "SetupRun.h"

#include <shlwapi.h>
#include <tlhelp32.h>

#include <fstream>
#include <sstream>

#include "Pump.h"

std::string TestBinaryFolder() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

void RemoveTree(const std::string& path) {
  const std::string doubleNull = path + '\0';
  SHFILEOPSTRUCTA remove = {};
  remove.wFunc = FO_DELETE;
  remove.pFrom = doubleNull.c_str();
  remove.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  ::SHFileOperationA(&remove);
}

std::string InstallParam(const std::string& source, const std::string& mode) {
  return "<PARAM><SOURCE>" + source + "</SOURCE><MODE>" + mode + "</MODE></PARAM>";
}

CSetupRun::CSetupRun(const std::string& name, const char* program) {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "velsetup-tests";
  ::CreateDirectoryA(base.c_str(), nullptr);
  m_folder = base + "\\" + name;
  std::string doubleNull = m_folder + '\0';
  SHFILEOPSTRUCTA remove = {};
  remove.wFunc = FO_DELETE;
  remove.pFrom = doubleNull.c_str();
  remove.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  ::SHFileOperationA(&remove);
  ::CreateDirectoryA(m_folder.c_str(), nullptr);
  m_exe = m_folder + "\\VelSetup.exe";
  ::CopyFileA((TestBinaryFolder() + "\\" + program).c_str(), m_exe.c_str(), FALSE);
}

CSetupRun::~CSetupRun() {
  if (m_process && ::WaitForSingleObject(m_process.Get(), 0) != WAIT_OBJECT_0) {
    ::TerminateProcess(m_process.Get(), 1);
    ::WaitForSingleObject(m_process.Get(), 5000);
  }
}

DWORD CSetupRun::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (m_process) ::GetExitCodeProcess(m_process.Get(), &code);
  return code;
}

bool CSetupRun::Start(const std::string& arguments) {
  std::string commandLine = "\"" + m_exe + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  m_process = StartProcess(commandLine, m_exe.c_str(), nullptr, &m_pid, m_folder.c_str());
  return static_cast<bool>(m_process);
}

bool CSetupRun::Start(const std::string& arguments, const std::wstring& programName) {
  const std::wstring folder = Widen(m_folder);
  const std::wstring program = folder + L"\\" + programName;
  if (!::CopyFileW(Widen(m_exe).c_str(), program.c_str(), FALSE)) return false;
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + Widen(arguments);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  m_process.Reset(process.hProcess);
  m_pid = process.dwProcessId;
  return true;
}

bool CSetupRun::WaitForExit(DWORD timeoutMs) { return m_process && WaitPumping(m_process.Get(), timeoutMs); }

std::string CSetupRun::ReadLogBytes() const { return ReadFileBytes(LogPath()); }

std::vector<std::wstring> CSetupRun::ReadLogLines() const { return ::ReadLogLines(LogPath()); }

CScopedHandle StartProcess(std::string commandLine, const char* program, HANDLE output, DWORD* pid,
                           const char* folder) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
  }
  PROCESS_INFORMATION created = {};
  if (!::CreateProcessA(program, &commandLine[0], nullptr, nullptr, output != nullptr, 0, nullptr, folder,
                        &startup, &created)) {
    return CScopedHandle();
  }
  ::CloseHandle(created.hThread);
  if (pid != nullptr) *pid = created.dwProcessId;
  return CScopedHandle(created.hProcess);
}

std::wstring Widen(const std::string& bytes, UINT codePage) {
  std::wstring text(bytes.size(), L'\0');
  const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                           &text[0], static_cast<int>(text.size()));
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

std::vector<std::wstring> ReadLogLines(const std::string& path) {
  const std::wstring text = Widen(ReadFileBytes(path), 949);
  std::vector<std::wstring> lines;
  size_t begin = 0;
  for (size_t end; (end = text.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2) {
    lines.push_back(text.substr(begin, end - begin));
  }
  if (begin < text.size()) lines.push_back(text.substr(begin));  // an unterminated tail
  return lines;
}

std::vector<DWORD> SetupManagerPids() {
  std::vector<DWORD> pids;
  const CScopedFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (::lstrcmpiW(entry.szExeFile, L"VelSetup.exe") == 0) pids.push_back(entry.th32ProcessID);
  }
  return pids;
}
