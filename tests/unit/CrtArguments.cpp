#include "CrtArguments.h"

#include "AnsiText.h"

std::vector<std::string> SplitCrtArguments(const std::string& commandLine) {
  std::vector<std::string> arguments;
  size_t at = 0;
  const size_t size = commandLine.size();
  std::string program;
  if (at < size && commandLine[at] == '"') {
    const size_t close = commandLine.find('"', at + 1);
    program = commandLine.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
    at = close == std::string::npos ? size : close + 1;
  } else {
    while (at < size && commandLine[at] != ' ' && commandLine[at] != '\t') program += commandLine[at++];
  }
  arguments.push_back(program);

  for (;;) {
    while (at < size && (commandLine[at] == ' ' || commandLine[at] == '\t')) ++at;
    if (at >= size) break;
    std::string argument;
    bool inQuotes = false;
    while (at < size) {
      size_t backslashes = 0;
      while (at < size && commandLine[at] == '\\') ++backslashes, ++at;
      if (at < size && commandLine[at] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
        } else {
          inQuotes = !inQuotes;
        }
        ++at;
        continue;
      }
      argument.append(backslashes, '\\');
      if (at >= size || (!inQuotes && (commandLine[at] == ' ' || commandLine[at] == '\t'))) break;
      argument += commandLine[at];
      if (IsAnsiLeadByte(static_cast<unsigned char>(commandLine[at])) && at + 1 < size)
        argument += commandLine[++at];
      ++at;
    }
    arguments.push_back(argument);
  }
  return arguments;
}
