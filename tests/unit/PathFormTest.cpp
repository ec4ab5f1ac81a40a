#include "PathForm.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* path;
  const char* collapsed;
  const char* fileName;
};

// "\x8B\x5C" is a double-byte character whose trail byte is a backslash in double-byte code
// pages; "\xB0\xA1" is one in code page 949.
const Case kCases[] = {
    {"C:\\Program Files\\\\Game\\a.dll", "C:\\Program Files\\Game\\a.dll", "a.dll"},
    {"C:\\a\\\\\\b/\\c.dll", "C:\\a\\b\\c.dll", "c.dll"},
    {"C:/a//b.dll", "C:\\a\\b.dll", "b.dll"},
    {"\\\\server\\\\share\\x.dll", "\\\\server\\share\\x.dll", "x.dll"},
    {"\\\\\\server\\x", "\\\\server\\x", "x"},
    {"\\\\?\\C:\\a\\\\b", "\\\\?\\C:\\a\\b", "b"},
    {"\\a", "\\a", "a"},
    {"dir\\\\", "dir\\", ""},
    {"a.dll", "a.dll", "a.dll"},
    {"", "", ""},
    {"C:\\\xB0\xA1\\\\\xB0\xA1.dll", "C:\\\xB0\xA1\\\xB0\xA1.dll", "\xB0\xA1.dll"},
    {"C:\\\x8B\\\\x.dll", "C:\\\x8B\\\\x.dll", "x.dll"},  // a trail byte is no separator
    {"C:\\a\\\x8B\\", "C:\\a\\\x8B\\", "\x8B\\"},
    {"C:\\x\\\xB0", "C:\\x\\\xB0", "\xB0"},  // a lone lead byte at the end
};

TEST(PathForm, CollapsesSeparatorsAndFindsFileName) {
  for (const Case& c : kCases) {
    EXPECT_EQ(c.collapsed, CollapseSeparators(c.path)) << c.path;
    EXPECT_EQ(c.fileName, FileNamePart(c.path)) << c.path;
  }
}

}  // namespace
