// The install parameter reaches the program from a web page: no text may do more than fail.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "InstallParam.h"
#include "SetupLog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LogInit(0, 2);  // every input starts with no captured lines
  const std::string text(reinterpret_cast<const char*>(data), size);

  CInstallSettings settings;
  const bool valid = settings.ParseXMLArgument(text.c_str());
  if (valid && (settings.m_strSourceURL.empty() || settings.m_strMode.empty())) __builtin_trap();

  // The same text as a command line of NUL-separated arguments.
  std::vector<const char*> argv = {"VelSetup.exe"};
  for (size_t begin = 0; begin <= text.size() && argv.size() < 64;) {
    argv.push_back(text.c_str() + begin);
    begin = text.find('\0', begin);
    if (begin == std::string::npos) break;
    ++begin;
  }
  CInstallSettings fromCommandLine;
  CCommandLineFlags flags;
  ParseCommandLine(static_cast<int>(argv.size()), argv.data(), fromCommandLine, flags);
  return 0;
}
