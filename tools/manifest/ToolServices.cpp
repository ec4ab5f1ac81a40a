#include "ToolServices.h"

#include <cstdarg>
#include <cstring>

#include "AnsiText.h"
#include "LogFormat.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "Util.h"

namespace {

std::vector<std::string> g_failures;
long g_biasMinutes = 0;

}  // namespace

std::vector<std::string> TakeFailureLines() {
  std::vector<std::string> lines;
  lines.swap(g_failures);
  return lines;
}

void SetToolTimeZoneBias(long biasMinutes) { g_biasMinutes = biasMinutes; }

void SetTypicalMacroFolders() {
  CFolderValues& folders = MacroFolders();
  folders.m_strProgramFiles = "C:\\Program Files";
  folders.m_strWindows = "C:\\WINDOWS";
  folders.m_strSystem = "C:\\WINDOWS\\system32";
  folders.m_strProgramMenu = "C:\\Documents and Settings\\Administrator\\Start Menu\\Programs";
  folders.m_strDesktop = "C:\\Documents and Settings\\Administrator\\Desktop";
  folders.m_strOSVersion = "5.1";
  folders.m_strDownloaded = "C:\\WINDOWS\\Downloaded Program Files";
}

void LogInit(unsigned char, unsigned char) { g_failures.clear(); }

void LogWrite(unsigned char level, const char* format, ...) {
  if (level != 1) return;
  va_list args;
  va_start(args, format);
  std::string line = FormatLogLine(IsAnsiLeadByte, format, args);
  va_end(args);
  constexpr char kPrefix[] = "[VelSetup]";
  if (line.compare(0, std::strlen(kPrefix), kPrefix) == 0) line.erase(0, std::strlen(kPrefix));
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.resize(line.size() - 2);
  g_failures.push_back(line);
}

bool CUtil::CreateRecursiveDirectory(const char*) { return true; }

unsigned long CUtil::LastError() { return 0; }

long CUtil::CurrentTimeZoneBias() { return g_biasMinutes; }
