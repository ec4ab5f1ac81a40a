#include "SetupLauncher.h"

#include <cstdint>
#include <vector>

#include "LaunchCommandLine.h"

namespace {

// The system's answers that the file is no valid program: a damaged or wrong copy, which the
// next visit fetches again once it is gone. Any other failure (resources used up, a scanner
// holding the file) says nothing about the file, which stays.
bool IsBadImage(DWORD error) {
  switch (error) {
    case ERROR_BAD_FORMAT:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_EXE_MARKED_INVALID:
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
    case ERROR_FILE_CORRUPT:
      return true;
    default:
      return false;
  }
}

}  // namespace

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
    if (IsBadImage(::GetLastError())) ::DeleteFileA(program.c_str());
    return CScopedHandle();
  }
  ::CloseHandle(process.hThread);
  return CScopedHandle(process.hProcess);
}
