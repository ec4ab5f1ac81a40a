#include "LogCapture.h"

#include <cstdarg>

#include "LogFormat.h"
#include "SetupLog.h"

namespace {
std::vector<std::string> g_lines;
unsigned char g_level = 2;
}  // namespace

const std::vector<std::string>& CapturedLogLines() { return g_lines; }

void LogInit(unsigned char, unsigned char level) {
  g_lines.clear();
  g_level = level;
}

void LogWrite(unsigned char level, const char* format, ...) {
  if (!LogLineWanted(level, g_level)) return;
  va_list args;
  va_start(args, format);
  std::string line = FormatLogLine(nullptr, format, args);
  va_end(args);
  line.resize(line.size() - 2);
  g_lines.push_back(line);
}

void LogRelease() {}
