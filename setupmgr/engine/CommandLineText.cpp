#include "CommandLineText.h"

std::string QuotePath(const std::string& path) {
  if (path.find_first_of(" \t") == std::string::npos) return path;
  return "\"" + path + "\"";
}

bool FormatCommandLine(const char* program, const char* arguments, std::string& commandLine) {
  std::string line = QuotePath(program);
  if (arguments != nullptr && *arguments != '\0') {
    line += ' ';
    line += arguments;
  }
  if (line.size() > kMaxCommandLineLength) return false;
  commandLine = line;
  return true;
}
