// The control's own path macros for its file queries, and which names it may open at all.
#pragma once

#include <cstddef>
#include <string>

// Longest file name or version text the control accepts, in bytes (buffers of 260).
constexpr size_t kMaxQueryTextBytes = 259;

// The folders the macros stand for, computed once per control.
struct CControlFolders {
  std::string m_strPrograms;    // "[PROGRAMS]", ends in "\"
  std::string m_strWindows;     // "[WINDOWS]", as the system reports it
  std::string m_strSystem;      // "[SYSTEM]", ends in "\"
  std::string m_strDesktop;     // "[DESKTOP]", ends in "\"
  std::string m_strDownloaded;  // "[DOWNLOADED]", "<windows>\Downloaded Program Files\"
};

// Upper-cases the single-byte letters of `name` (double-byte characters stay whole), replaces
// the first occurrence of each macro in the order [PROGRAMS], [WINDOWS], [SYSTEM], [DESKTOP],
// [DOWNLOADED] by its folder, then the first "/" by "\". False, with nothing to open, when a
// macro used stands for an empty folder or the result is longer than kMaxQueryTextBytes.
bool ExpandControlMacros(const CControlFolders& folders, const std::string& name, std::string& path);

// False for a name that reaches the network or a device rather than a local file: a UNC name
// or a device or object-manager prefix (\\server, \\?\, \\.\, \??\), judged with every "/"
// read as "\", or a reserved device name (CON, NUL, COM1, ...) as any part of the path.
bool IsLocalFileName(const std::string& path);
