#include "LaunchCommandLine.h"

#include "AnsiText.h"

void AppendQuotedArgument(std::string& commandLine, const std::string& argument) {
  commandLine += '"';
  size_t backslashes = 0;
  for (size_t i = 0; i < argument.size(); ++i) {
    const char c = argument[i];
    if (c == '\\') {
      ++backslashes;
      commandLine += c;
      continue;
    }
    if (c == '"') {
      // The backslashes before it are read in pairs, and one more makes the quote literal.
      commandLine.append(backslashes + 1, '\\');
    }
    backslashes = 0;
    commandLine += c;
    if (IsAnsiLeadByte(static_cast<unsigned char>(c)) && i + 1 < argument.size())
      commandLine += argument[++i];
  }
  // Backslashes before the closing quote would escape it unless doubled.
  commandLine.append(backslashes, '\\');
  commandLine += '"';
}

std::string FormatLaunchCommandLine(const std::string& programPath, const std::string& installParam,
                                    uint32_t window) {
  std::string commandLine = "\"" + programPath + "\" -x ";
  AppendQuotedArgument(commandLine, installParam);
  commandLine += " -w " + std::to_string(window);
  return commandLine;
}
