// One run of the real VelSetup.exe, from a private copy in a fresh folder so that every test has
// its own log file beside the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "WinHandles.h"

class CSetupRun {
 public:
  // Prepares <temp>\velsetup-tests\<name>\VelSetup.exe, a copy of `program` from the folder the
  // programs are built in.
  explicit CSetupRun(const std::string& name, const char* program = "VelSetup.exe");
  // Ends the process if it still runs, so that no test leaves one behind.
  ~CSetupRun();
  CSetupRun(const CSetupRun&) = delete;
  CSetupRun& operator=(const CSetupRun&) = delete;

  // Starts the program with `arguments` after its quoted path; false when it cannot start.
  bool Start(const std::string& arguments);
  // The same from a copy named `programName` in the folder, a name the ANSI code page may lack.
  bool Start(const std::string& arguments, const std::wstring& programName);
  DWORD Pid() const { return m_pid; }
  // Waits for the end while pumping this thread's messages; true when it ended in time.
  bool WaitForExit(DWORD timeoutMs = 30000);
  // The process's exit code; STILL_ACTIVE while it runs or when it never started.
  DWORD ExitCode() const;

  const std::string& Folder() const { return m_folder; }
  std::string LogPath() const { return m_folder + "\\VelSetup.log"; }
  // The log's raw bytes, and its lines decoded from code page 949 without the "\r\n".
  std::string ReadLogBytes() const;
  std::vector<std::wstring> ReadLogLines() const;

 private:
  std::string m_folder;
  std::string m_exe;
  CScopedHandle m_process;
  DWORD m_pid = 0;
};

// The processes of VelSetup.exe now running, wherever they were started from.
std::vector<DWORD> SetupManagerPids();

// The folder of the running test program, where VelSetup.exe is built too.
std::string TestBinaryFolder();

// Text of a file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Starts `commandLine` (`program` the file, `folder` the current folder when given); its process
// handle, null when it cannot start. `output`, when given, is inherited as its standard output
// and error.
CScopedHandle StartProcess(std::string commandLine, const char* program = nullptr, HANDLE output = nullptr,
                           DWORD* pid = nullptr, const char* folder = nullptr);

// Text in code page `codePage` as UTF-16 (CP_ACP: 949 under the harness).
std::wstring Widen(const std::string& bytes, UINT codePage = CP_ACP);
// A setup log's lines decoded from code page 949, without the "\r\n".
std::vector<std::wstring> ReadLogLines(const std::string& path);
// Removes a folder and everything in it.
void RemoveTree(const std::string& path);

// The install parameter of a valid run, as a page would write it.
std::string InstallParam(const std::string& source, const std::string& mode);
