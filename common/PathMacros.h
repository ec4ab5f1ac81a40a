// The path macros of the manifest ("[PROGRAMS]", "[WINDOWS]", ...) and the folder values they
// stand for. Needs no operating system: the Windows side fills the values (Folders.h).
#pragma once

#include <cstddef>
#include <string>

// Longest path the setup manager accepts, in characters (buffers of 260 bytes).
constexpr size_t kMaxPathLength = 259;

// The values the macros stand for. Process-wide: filled by InitFolders, read everywhere else.
struct CFolderValues {
  std::string m_strProgramFiles;
  std::string m_strWindows;
  std::string m_strSystem;
  std::string m_strProgramMenu;
  std::string m_strDesktop;
  std::string m_strOSVersion;
  std::string m_strDownloaded;
};

CFolderValues& MacroFolders();

// Replaces the first occurrence of each macro (any letter case) by its folder and one
// backslash, then drops one trailing backslash from a result longer than two characters.
// Refuses, with a level-1 log line, a text that uses a macro whose value is empty, whose
// result is empty, or whose result is longer than kMaxPathLength.
bool ExpandPathMacros(const CFolderValues& folders, const char* text, std::string& path);
inline bool ExpandPathMacros(const char* text, std::string& path) {
  return ExpandPathMacros(MacroFolders(), text, path);
}
