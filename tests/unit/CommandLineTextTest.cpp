#include "CommandLineText.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* name;
  std::string program;
  const char* arguments;
  std::string expected;  // empty: refused
};

TEST(CommandLineTextTest, QuotesPathsWithBlanksAndRefusesOverlongLines) {
  // The registration tool's run on the longest accepted path, both paths holding blanks.
  const std::string tool = "C:\\Windows System\\" + std::string(kMaxPathLength - 31, 't') + "\\Regsvr32.exe";
  const std::string file = "C:\\Program Files\\" + std::string(kMaxPathLength - 17, 'f');
  const std::string longest = "\"" + tool + "\" /u /s \"" + file + "\"";
  const std::string quotedFile = "/u /s \"" + file + "\"";
  const std::string overlong = quotedFile + " ";
  const Case cases[] = {
      {"no blank: as written", "C:\\Windows\\system32\\Regsvr32.exe", "/s C:\\a.dll",
       "C:\\Windows\\system32\\Regsvr32.exe /s C:\\a.dll"},
      {"blank: quoted", "C:\\Program Files\\App\\run.exe", "-x 1",
       "\"C:\\Program Files\\App\\run.exe\" -x 1"},
      {"tab: quoted", "C:\\a\tb.exe", nullptr, "\"C:\\a\tb.exe\""},
      {"no arguments", "C:\\a.exe", nullptr, "C:\\a.exe"},
      {"empty arguments: the program alone", "C:\\Program Files\\a.exe", "", "\"C:\\Program Files\\a.exe\""},
      {"arguments kept as written", "C:\\a.exe", " two  blanks ", "C:\\a.exe  two  blanks "},
      {"the longest registration line fits", tool, quotedFile.c_str(), longest},
      {"one character more is refused", tool, overlong.c_str(), ""},
  };
  ASSERT_EQ(longest.size(), kMaxCommandLineLength);
  for (const Case& c : cases) {
    std::string line = "unchanged";
    const bool formed = FormatCommandLine(c.program.c_str(), c.arguments, line);
    EXPECT_EQ(formed, !c.expected.empty()) << c.name;
    EXPECT_EQ(line, formed ? c.expected : "unchanged") << c.name;
  }
}

}  // namespace
