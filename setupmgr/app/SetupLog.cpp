#include "SetupLog.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "LogFormat.h"
#include "WinHandles.h"

namespace {

// Written once by LogInit, before any other thread exists; read-only afterwards.
struct LogState {
  int enabled = 0;
  unsigned char level = 0;
  unsigned char flags = 0;
  char folder[MAX_PATH + 1] = {};
};
LogState g_log;

// The log file stays open between lines. Other programs may still read, append to and delete
// it: each line goes to the end of the file with one write, nothing is held back in the process,
// and a file deleted under the handle is left for a new one. The two threads take turns.
CRITICAL_SECTION g_fileLock;  // initialised by LogInit
CScopedFile g_file;

// What the system tells of an open file (FILE_STANDARD_INFORMATION).
struct CFileStandardInformation {
  LARGE_INTEGER allocationSize;
  LARGE_INTEGER endOfFile;
  ULONG numberOfLinks;
  BOOLEAN deletePending;
  BOOLEAN directory;
};
struct CIoStatus {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};
using QueryInformationFile = LONG(NTAPI*)(HANDLE file, CIoStatus* status, void* information, ULONG length,
                                          int informationClass);
constexpr int kFileStandardInformation = 5;
QueryInformationFile g_queryFile = nullptr;  // null where the system has no such call

// A line sent to the debugger output reaches an attached debugger, a kernel debugger, or a
// monitor that listens through the system's debug buffer; with none of them, it reaches nobody.
// Whether a monitor listens costs the system a lookup by name on every line, so the answer is
// kept for a while: a monitor that starts during a run hears the lines from the next look on, as
// one started that much later would. A debugger is asked about on every line, at no cost; a
// kernel debugger once, at the start.
constexpr DWORD kMonitorLookEveryMs = 100;
bool g_monitorListens = false;  // under g_fileLock, like the time of the last look
DWORD g_monitorLookedAt = 0;    // set by LogInit so that the first line looks
bool g_kernelDebugger = true;   // false only where the system says none is attached

// SYSTEM_KERNEL_DEBUGGER_INFORMATION
struct CKernelDebuggerInformation {
  BOOLEAN enabled;
  BOOLEAN notPresent;
};
using QuerySystemInformation = LONG(NTAPI*)(int informationClass, void* information, ULONG length,
                                            ULONG* returned);
constexpr int kSystemKernelDebuggerInformation = 35;

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

// Opens the file for appending only, so that every write lands at its end whatever else wrote
// to it; `empty` first empties it.
void OpenLogFile(bool empty) {
  char path[MAX_PATH * 2 + 2];
  std::snprintf(path, sizeof path, "%s\\%s", g_log.folder, kLogFileName);
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  if (empty) {
    const CScopedFile emptied(
        ::CreateFileA(path, GENERIC_WRITE, kShare, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!emptied) return;
  }
  g_file.Reset(::CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShare, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Size of the open file and whether another program deleted it; false when the system cannot tell.
bool QueryLogFile(uint64_t& size, bool& deleted) {
  if (g_queryFile != nullptr) {
    CFileStandardInformation information = {};
    CIoStatus status = {};
    if (g_queryFile(g_file.Get(), &status, &information, sizeof information, kFileStandardInformation) < 0)
      return false;
    size = static_cast<uint64_t>(information.endOfFile.QuadPart);
    deleted = information.deletePending || information.numberOfLinks == 0;
    return true;
  }
  DWORD high = 0;
  const DWORD low = ::GetFileSize(g_file.Get(), &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
  size = (static_cast<uint64_t>(high) << 32) | low;
  deleted = false;
  return true;
}

// The file of the open handle, unless another program deleted it: then a new one, as a closed
// log would get. A file of kLogResetSize bytes or more is emptied.
void PrepareLogFile() {
  uint64_t size = 0;
  bool deleted = false;
  bool known = g_file && QueryLogFile(size, deleted);
  if (known && deleted) {
    g_file.Reset();
    known = false;
  }
  if (!g_file) {
    OpenLogFile(false);
    known = g_file && QueryLogFile(size, deleted);
  }
  if (known && LogNeedsReset(size)) {
    g_file.Reset();
    OpenLogFile(true);
  }
}

void AppendToLogFile(const std::string& line) {
  ::EnterCriticalSection(&g_fileLock);
  PrepareLogFile();
  if (g_file) {
    DWORD written = 0;
    ::WriteFile(g_file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  ::LeaveCriticalSection(&g_fileLock);
}

bool DebugOutputHeard() {
  if (g_kernelDebugger || ::IsDebuggerPresent()) return true;
  const DWORD now = ::GetTickCount();
  ::EnterCriticalSection(&g_fileLock);
  if (now - g_monitorLookedAt >= kMonitorLookEveryMs) {
    g_monitorListens =
        static_cast<bool>(CScopedHandle(::OpenFileMappingA(FILE_MAP_WRITE, FALSE, "DBWIN_BUFFER")));
    g_monitorLookedAt = now;
  }
  const bool listens = g_monitorListens;
  ::LeaveCriticalSection(&g_fileLock);
  return listens;
}

void WriteLine(const char* format, va_list args) {
  const std::string line = FormatLogLine(IsAnsiLeadByte, format, args);
  AppendToLogFile(line);
  if ((g_log.flags & LOG_FLAG_DEBUGGER) && DebugOutputHeard()) ::OutputDebugStringA(line.c_str());
}

void WriteLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine(format, args);
  va_end(args);
}

}  // namespace

void LogInit(unsigned char flags, unsigned char level) {
  if (!g_log.enabled) {
    ::InitializeCriticalSection(&g_fileLock);
    g_monitorLookedAt = ::GetTickCount() - kMonitorLookEveryMs;
    if (const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll")) {
      g_queryFile = GetProcAddressAs<QueryInformationFile>(ntdll, "NtQueryInformationFile");
      const auto querySystem = GetProcAddressAs<QuerySystemInformation>(ntdll, "NtQuerySystemInformation");
      CKernelDebuggerInformation kernel = {};
      if (querySystem != nullptr &&
          querySystem(kSystemKernelDebuggerInformation, &kernel, sizeof kernel, nullptr) >= 0) {
        g_kernelDebugger = kernel.enabled && !kernel.notPresent;
      }
    }
  }
  g_log.flags = flags;
  g_log.level = level;
  g_log.enabled = 1;

  char modulePath[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    if (char* lastSlash = std::strrchr(modulePath, '\\')) {
      *lastSlash = '\0';
      lstrcpynA(g_log.folder, modulePath, sizeof g_log.folder);
    }
  }

  SYSTEMTIME now;
  ::GetLocalTime(&now);
  const std::string start =
      FormatStartMessage(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, level);
  WriteLine("%s", start.c_str());
}

void LogWrite(unsigned char level, const char* format, ...) {
  if (!g_log.enabled || !LogLineWanted(level, g_log.level) || g_log.folder[0] == '\0' || format == nullptr) {
    return;
  }
  va_list args;
  va_start(args, format);
  WriteLine(format, args);
  va_end(args);
}

void LogRelease() {
  if (!g_log.enabled) return;
  ::EnterCriticalSection(&g_fileLock);
  g_file.Reset();
  ::LeaveCriticalSection(&g_fileLock);
}
