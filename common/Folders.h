// The facts about this computer that the setup manager's Parts read: Windows version and
// platform, special folders, the temporary download folder, Internet Explorer 7. Also the two
// small readers several Parts share: registry texts and file versions.
#pragma once

#include <windows.h>

#include <string>

// Process-wide; computed by InitFolders on the dialog's thread before any worker starts, read
// everywhere else. A value that cannot be obtained, or does not fit a 260-byte path buffer, is
// empty (and logged at level 1 when it is computed).
struct CSystemFolders {
  DWORD m_dwMajorVersion = 0;
  DWORD m_dwMinorVersion = 0;
  DWORD m_dwBuildNumber = 0;
  DWORD m_dwPlatformId = 0;    // 1: Windows 9x, 2: Windows NT
  std::string m_strOSVersion;  // "%d.%d" of the major and minor version
  std::string m_strProgramFiles;
  std::string m_strWindows;
  std::string m_strSystem;
  std::string m_strTempFolder;  // absolute, or empty; may end with a backslash
  std::string m_strDownloaded;
  std::string m_strDesktop;
  std::string m_strProgramMenu;
  bool m_bIE7 = false;
};

const CSystemFolders& SystemFolders();

// Computes every value of SystemFolders() and the macro values of MacroFolders().
void InitFolders();

// Where InitFolders reads the Windows version and platform; GetVersionExA unless a test
// replaced it. nullptr restores GetVersionExA.
using VersionSource = BOOL(WINAPI*)(OSVERSIONINFOA* info);
void SetVersionSourceForTesting(VersionSource source);
// Where InitFolders reads a shell folder (a CSIDL) from 5.0 on, "" for none; the shell unless a
// test replaced it. nullptr restores the shell.
using ShellFolderSource = std::string (*)(int csidl);
void SetShellFolderSourceForTesting(ShellFolderSource source);

// A REG_SZ or REG_EXPAND_SZ value of at most 511 bytes (unexpanded), read through a key opened
// with access 0x2001F; the default when the key or value cannot be read, has another type or
// does not fit.
std::string ReadRegistryString(HKEY root, const char* key, const char* valueName, const char* defaultValue);

// The fixed file version of the file's version resource, read from the file's bytes
// (ReadPeFileVersion). Fails for a file without one and for a resource whose root block does not
// hold a complete, signed fixed-information part.
bool ReadFileVersion(const char* path, DWORD& ms, DWORD& ls);
