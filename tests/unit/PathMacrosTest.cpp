#include "PathMacros.h"

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "SetupLog.h"

namespace {

struct Case {
  const char* name;
  std::string text;
  std::string expected;                                // empty: refused
  std::string CFolderValues::*empty = nullptr;         // a folder without a value
  const char* line = "[VelSetup][ExpandPathMacros] ";  // the start of the refusal's log line
};

TEST(PathMacrosTest, ExpandsTheFirstOccurrenceOfEachMacro) {
  CFolderValues xp;
  xp.m_strProgramFiles = "C:\\Program Files";
  xp.m_strWindows = "C:\\WINDOWS";
  xp.m_strSystem = "C:\\WINDOWS\\system32";
  xp.m_strProgramMenu = "C:\\Documents and Settings\\user\\Start Menu\\Programs";
  xp.m_strDesktop = "C:\\Documents and Settings\\user\\Desktop";
  xp.m_strOSVersion = "5.1";
  xp.m_strDownloaded = "C:\\WINDOWS\\Downloaded Program Files";
  const std::string fits = "C:\\" + std::string(kMaxPathLength - 3, 'p');
  const Case cases[] = {
      {"upper case", "[PROGRAMS]\\Game", "C:\\Program Files\\\\Game"},
      {"lower case", "[programs]\\Game", "C:\\Program Files\\\\Game"},
      {"mixed case, rest keeps its case", "[Programs]\\GaMe\\x.DLL", "C:\\Program Files\\\\GaMe\\x.DLL"},
      {"alone, no trailing backslash", "[WINDOWS]", "C:\\WINDOWS"},
      {"os version alone", "[OSVERSION]", "5.1"},
      {"os version and a name", "[OSVERSION]\\name", "5.1\\\\name"},
      {"twice: second stays", "[WINDOWS]\\[WINDOWS]", "C:\\WINDOWS\\\\[WINDOWS]"},
      {"system root", "%SYSTEMROOT%\\Fonts", "C:\\WINDOWS\\\\Fonts"},
      {"system root, lower case", "%systemroot%", "C:\\WINDOWS"},
      {"every macro",
       "[PROGRAMS]|[WINDOWS]|%SYSTEMROOT%|[SYSTEM]|[PROGRAMMENU]|[DESKTOP]|[OSVERSION]|[DOWNLOADED]",
       "C:\\Program Files\\|C:\\WINDOWS\\|C:\\WINDOWS\\|C:\\WINDOWS\\system32\\|"
       "C:\\Documents and Settings\\user\\Start Menu\\Programs\\|C:\\Documents and Settings\\user\\Desktop\\|"
       "5.1\\|C:\\WINDOWS\\Downloaded Program Files"},
      {"in the middle", "D:\\x[SYSTEM]y", "D:\\xC:\\WINDOWS\\system32\\y"},
      {"no macro", "D:\\Data\\file.txt", "D:\\Data\\file.txt"},
      {"drive root trimmed", "C:\\", "C:"},
      {"two characters kept", "C:", "C:"},
      {"only one backslash trimmed", "D:\\a\\\\", "D:\\a\\"},
      {"unknown macro kept", "[TEMP]\\a", "[TEMP]\\a"},
      {"exactly the longest path", fits, fits},
      {"unused macro without value", "[SYSTEM]\\a", "C:\\WINDOWS\\system32\\\\a",
       &CFolderValues::m_strDesktop},
      // Code page 949: W and s are trail bytes of Korean characters; they are not folded and keep their
      // bytes.
      {"Korean with Latin trail bytes", "\xB0W\\[windows]\\\xB0s", "\xB0W\\C:\\WINDOWS\\\\\xB0s"},
      {"Korean inside a macro name", "[WINDOW\xB0s]", "[WINDOW\xB0s]"},
      {"Korean trail byte is no letter to fold", "[windo\xB0w]\\\xB0w", "[windo\xB0w]\\\xB0w"},
      {"empty text", "", "", nullptr, "[VelSetup][ExpandPathMacros] Empty path ()"},
      {"one character too long", fits + "p", "", nullptr,
       "[VelSetup][ExpandPathMacros] Path too long (260 > 259"},
      {"too long after expansion", "[PROGRAMS]\\" + std::string(kMaxPathLength - 17, 'p'), ""},
      {"desktop without value", "[desktop]\\a", "", &CFolderValues::m_strDesktop,
       "[VelSetup][ExpandPathMacros] [DESKTOP] has no value ([desktop]\\a)"},
      {"system root without value", "%SystemRoot%", "", &CFolderValues::m_strWindows,
       "[VelSetup][ExpandPathMacros] %SYSTEMROOT% has no value (%SystemRoot%)"},
      {"os version without value", "x\\[OSVERSION]", "", &CFolderValues::m_strOSVersion,
       "[VelSetup][ExpandPathMacros] [OSVERSION] has no value (x\\[OSVERSION])"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogInit(0, 2);
    CFolderValues folders = xp;
    if (c.empty) (folders.*c.empty).clear();
    std::string path = "unchanged";
    EXPECT_EQ(ExpandPathMacros(folders, c.text.c_str(), path), !c.expected.empty());
    if (c.expected.empty()) {
      EXPECT_EQ(path, "unchanged");
      ASSERT_EQ(CapturedLogLines().size(), 1u);
      EXPECT_EQ(CapturedLogLines()[0].rfind(c.line, 0), 0u) << CapturedLogLines()[0];
    } else {
      EXPECT_EQ(path, c.expected);
      EXPECT_TRUE(CapturedLogLines().empty());
    }
  }
}

}  // namespace
