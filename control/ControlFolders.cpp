#include "ControlFolders.h"

#include <windows.h>

#include "AnsiText.h"
#include "WinHandles.h"

namespace {

constexpr DWORD kFolderBuffer = 260;

std::string ReadRegistryText(HKEY root, const char* keyPath, const char* valueName) {
  CScopedRegKey key;
  if (::RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return std::string();
  char buffer[kFolderBuffer] = {};
  DWORD size = kFolderBuffer - 1;  // the zero stays
  DWORD type = 0;
  if (::RegQueryValueExA(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::string();
  }
  return buffer;
}

// Appends "\" unless the text is empty or already ends in one (a whole character, not the
// second byte of a double-byte one).
std::string WithSeparator(const std::string& folder) {
  bool endsInSeparator = false;
  for (size_t i = 0; i < folder.size(); ++i) {
    endsInSeparator = folder[i] == '\\';
    if (IsAnsiLeadByte(static_cast<unsigned char>(folder[i]))) ++i;
  }
  return folder.empty() || endsInSeparator ? folder : folder + "\\";
}

template <typename Query>
std::string SystemFolder(Query query) {
  char buffer[kFolderBuffer] = {};
  const UINT length = query(buffer, kFolderBuffer);
  return length > 0 && length < kFolderBuffer ? std::string(buffer, length) : std::string();
}

}  // namespace

CControlFolders ComputeControlFolders() {
  CControlFolders folders;
  folders.m_strPrograms = WithSeparator(ReadRegistryText(
      HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"));
  folders.m_strWindows = SystemFolder(::GetWindowsDirectoryA);
  folders.m_strSystem = WithSeparator(SystemFolder(::GetSystemDirectoryA));
  folders.m_strDesktop = WithSeparator(ReadRegistryText(
      HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop"));
  if (!folders.m_strWindows.empty()) {
    folders.m_strDownloaded = folders.m_strWindows + "\\Downloaded Program Files\\";
  }
  return folders;
}
