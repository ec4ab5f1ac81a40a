#include "ControlMacros.h"

#include <gtest/gtest.h>

namespace {

CControlFolders Folders() {
  CControlFolders folders;
  folders.m_strPrograms = "C:\\Program Files\\";
  folders.m_strWindows = "C:\\WINDOWS";
  folders.m_strSystem = "C:\\WINDOWS\\system32\\";
  folders.m_strDesktop = "C:\\Users\\\xB0\xA1\\Desktop\\";
  folders.m_strDownloaded = "C:\\WINDOWS\\Downloaded Program Files\\";
  return folders;
}

struct ExpandCase {
  const char* name;
  const char* expected;  // null: refused
};

const ExpandCase kExpansions[] = {
    {"[SYSTEM]a.dll", "C:\\WINDOWS\\system32\\A.DLL"},
    {"[system]a.dll", "C:\\WINDOWS\\system32\\A.DLL"},
    {"[Windows]\\a.dll", "C:\\WINDOWS\\A.DLL"},
    {"[SYSTEM]\\a.dll", "C:\\WINDOWS\\system32\\\\A.DLL"},     // the folder's separator and the name's
    {"[PROGRAMS]x/y/z.dll", "C:\\Program Files\\X\\Y/Z.DLL"},  // only the first "/" turns
    {"[DESKTOP]a", "C:\\Users\\\xB0\xA1\\Desktop\\A"},
    {"[DOWNLOADED]b.ocx", "C:\\WINDOWS\\Downloaded Program Files\\B.OCX"},
    {"[SYSTEM][SYSTEM]a", "C:\\WINDOWS\\system32\\[SYSTEM]A"},  // later occurrences stay
    {"[WINDOWS][SYSTEM]", "C:\\WINDOWSC:\\WINDOWS\\system32\\"},
    {"[OSVERSION]a", "[OSVERSION]A"},
    {"\xB0\x61/[system]", "\xB0\x61\\C:\\WINDOWS\\system32\\"},  // a trail byte a stays as it is
};

TEST(ControlMacros, ExpandsByTheControlsRule) {
  for (const ExpandCase& row : kExpansions) {
    std::string path = "unchanged";
    const bool expanded = ExpandControlMacros(Folders(), row.name, path);
    EXPECT_EQ(expanded, row.expected != nullptr) << row.name;
    if (row.expected != nullptr) {
      EXPECT_EQ(path, row.expected) << row.name;
    }
  }
}

TEST(ControlMacros, RefusesUnknownFoldersAndOverlongResults) {
  CControlFolders folders = Folders();
  folders.m_strDesktop.clear();
  std::string path;
  EXPECT_FALSE(ExpandControlMacros(folders, "[DESKTOP]a.dll", path));
  const std::string fits(kMaxQueryTextBytes - Folders().m_strDownloaded.size(), 'a');
  EXPECT_TRUE(ExpandControlMacros(Folders(), "[DOWNLOADED]" + fits, path));
  EXPECT_FALSE(ExpandControlMacros(Folders(), "[DOWNLOADED]" + fits + "a", path));
}

TEST(ControlMacros, OnlyLocalFilesMayBeOpened) {
  const std::pair<const char*, bool> rows[] = {
      {"C:\\WINDOWS\\system32\\a.dll", true},
      {"a.dll", true},
      {"\\WINDOWS\\a.dll", true},
      {"C:\\a\\\\b.dll", true},
      {"C:\\console.dll", true},
      {"C:\\COM10", true},
      {"\\\\server\\share\\a.dll", false},
      {"//server/share/a.dll", false},
      {"\\/server/share", false},
      {"  \\\\server\\share", false},
      {"\\\\?\\C:\\a.dll", false},
      {"\\\\.\\PhysicalDrive0", false},
      {"//./pipe/x", false},
      {"\\\?\?\\C:\\a.dll", false},
      {"/\?\?/C:/a.dll", false},
      {"CON", false},
      {"C:\\WINDOWS\\nul.dll", false},
      {"C:\\x\\COM1", false},
      {"c:lpt9 .txt", false},
      {"C:\\AUX\\a.dll", false},
      {"C:\\conout$", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsLocalFileName(row.first), row.second) << row.first;
}

}  // namespace
