#include "ForeignText.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* name;
  std::string data;
  size_t reported;
  size_t capacity;
  std::string text;
};

const Case kCases[] = {
    {"ReportedLengthWithNul", std::string("abc\0", 4), 4, 4, "abc"},
    {"ReportedLengthWithoutNul", "abcdef", 3, 6, "abc"},
    {"ReportedBeyondBuffer", "abcdef", 1000, 4, "abcd"},
    {"StopsAtFirstNul", std::string("ab\0cd", 5), 5, 5, "ab"},
    {"NothingReported", "abc", 0, 3, ""},
    {"WholeDoubleByteCharacters", "\xC7\xD1\xB1\xDB", 4, 4, "\xC7\xD1\xB1\xDB"},
    {"CutInsideCharacterDropsItsLeadByte", "\xC7\xD1\xB1\xDB", 3, 4, "\xC7\xD1"},
    {"BufferEndsInsideCharacter", "a\xC7\xD1", 9, 2, "a"},
    {"LeadByteBeforeNul", std::string("a\xC7\0b", 4), 4, 4, "a"},
};

TEST(ForeignText, IsBoundedByReportedLengthBufferAndNul) {
  for (const Case& c : kCases)
    EXPECT_EQ(c.text, BoundedText(c.data.data(), c.reported, c.capacity)) << c.name;
  EXPECT_EQ("", BoundedText(nullptr, 5, 5));
}

}  // namespace
