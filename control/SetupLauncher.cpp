#include "SetupLauncher.h"

#include <cstdint>
#include <vector>

#include "LaunchCommandLine.h"

CScopedHandle LaunchSetupManager(const std::string& systemFolder, const std::string& installParam,
                                 HWND window) {
  // Without the system folder the name alone would be searched for along the path.
  if (systemFolder.empty()) return CScopedHandle();
  const std::string program = systemFolder + "VelSetup.exe";
  // Window handles carry 32 significant bits on every platform.
  const auto handleValue = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
  const std::string commandLine = FormatLaunchCommandLine(program, installParam, handleValue);
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
                        nullptr, &startup, &process)) {
    ::DeleteFileA(program.c_str());
    return CScopedHandle();
  }
  ::CloseHandle(process.hThread);
  return CScopedHandle(process.hProcess);
}
