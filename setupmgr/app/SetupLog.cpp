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

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

// One open-append-write-close per line, shared with other openers, so lines of the two threads
// may alternate but each is written whole.
void AppendToLogFile(const std::string& line) {
  char path[MAX_PATH * 2 + 2];
  std::snprintf(path, sizeof path, "%s\\%s", g_log.folder, kLogFileName);

  WIN32_FILE_ATTRIBUTE_DATA attributes;
  uint64_t size = 0;
  if (::GetFileAttributesExA(path, GetFileExInfoStandard, &attributes)) {
    size = (uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
  }
  const bool reset = LogNeedsReset(size);
  CScopedFile file(::CreateFileA(path, reset ? GENERIC_WRITE : FILE_APPEND_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 reset ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void WriteLine(const char* format, va_list args) {
  const std::string line = FormatLogLine(IsAnsiLeadByte, format, args);
  AppendToLogFile(line);
  if (g_log.flags & LOG_FLAG_DEBUGGER) ::OutputDebugStringA(line.c_str());
}

void WriteLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine(format, args);
  va_end(args);
}

}  // namespace

void LogInit(unsigned char flags, unsigned char level) {
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
