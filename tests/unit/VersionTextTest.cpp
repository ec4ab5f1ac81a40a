#include "VersionText.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
  const char* text;
  uint32_t ms;
  uint32_t ls;
};

const ParseCase kParses[] = {
    {"1,2,3,4", 0x00010002, 0x00030004},
    {"1, 2 , 3,  4", 0x00010002, 0x00030004},  // blanks after the commas change nothing
    {"1,2", 0x00010002, 0x00020002},           // the last part repeats
    {"7", 0x00070007, 0x00070007},
    {"1,,3,4", 0x00010000, 0x00030004},
    {"x,2,3,4", 0x00000002, 0x00030004},
    {"65535,65535,65535,65535", 0xFFFFFFFF, 0xFFFFFFFF},
    {"65536,65537,1,2", 0x00000001, 0x00010002},  // the first number shifted, the second's low 16 bits
    {"-1,0,0,0", 0xFFFF0000, 0x00000000},
    {"1,2,3,4,5", 0x00010002, 0x00030004},
};

TEST(VersionText, ParsesFourNumbers) {
  for (const ParseCase& row : kParses) {
    const CFileVersion version = ParseVersionText(row.text);
    EXPECT_EQ(version.m_ms, row.ms) << row.text;
    EXPECT_EQ(version.m_ls, row.ls) << row.text;
  }
  EXPECT_EQ(FormatVersion({0x0001000A, 0xFFFF0002}), "1,10,65535,2");
  EXPECT_FALSE(IsOlderVersion({0x80000000, 0}, {0x00010000, 0xFFFFFFFF}));  // unsigned, first word first
}

}  // namespace
