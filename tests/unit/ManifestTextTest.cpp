#include "ManifestText.h"

#include <gtest/gtest.h>

namespace {

struct VersionCase {
  const char* text;
  uint32_t ms, ls;
};

TEST(ManifestText, VersionTexts) {
  const VersionCase cases[] = {
      {"1,2,3,4", 65538, 196612},
      {"1,2,34", 0x00010002, 0x00220000},
      {"1.2.3.4", 0x00010000, 0},  // dots are no separators
      {"70000,0,0,0", 4464u << 16, 0},
      {" 1, 2 ,3,4", 0x00010002, 0x00030004},
      {"40000,1,65535,7", 0x9C400001u, 0xFFFF0007u},
      {"-1,0,0,0", 0xFFFF0000u, 0},
      {"1,2,3,4,5", 0x00010002, 0x00030004},
      {"", 0, 0},
      {"x,2", 0x00000002, 0},
  };
  for (const VersionCase& c : cases) {
    uint32_t ms = 1, ls = 1;
    ReadVersionText(c.text, ms, ls);
    EXPECT_EQ(c.ms, ms) << c.text;
    EXPECT_EQ(c.ls, ls) << c.text;
  }
}

TEST(ManifestText, BooleanIsExactlyOne) {
  EXPECT_TRUE(IsTrueText("1"));
  for (const char* text : {"true", " 1", "01", "1 ", "", "0"}) EXPECT_FALSE(IsTrueText(text)) << text;
}

struct FileTimeCase {
  const char* text;
  long bias;
  bool valid;
  uint64_t fileTime;
};

TEST(ManifestText, FileTimeTexts) {
  const FileTimeCase cases[] = {
      {"2007,7,18,10,20,30", -540, true, 128291952300000000},
      {"2008,2,29,23,59,59", 300, true, 128488211990000000},  // leap day; the bias crosses midnight
      {"1900,1,1,0,0,0", -540, true, 94354524000000000},
      {" 2007 , 7 ,18,10,20,30", -540, true, 128291952300000000},
      {"2007,13,1,0,0,0", 0, false, 0},
      {"2007,2,29,0,0,0", 0, false, 0},
      {"2007,4,31,0,0,0", 0, false, 0},
      {"2007,7,18,24,0,0", 0, false, 0},
      {"2007,7,18,10,60,0", 0, false, 0},
      {"1899,12,31,23,59,59", 0, false, 0},
      {"3001,1,1,0,0,0", 0, false, 0},
      {"2007,7,0,0,0,0", 0, false, 0},
      {"", 0, false, 0},
      {"-2007,7,18,10,20,30", 0, false, 0},
  };
  for (const FileTimeCase& c : cases) {
    uint64_t fileTime = 1;
    EXPECT_EQ(c.valid, ReadFileTimeText(c.text, c.bias, fileTime)) << c.text;
    EXPECT_EQ(c.fileTime, fileTime) << c.text;
  }
}

}  // namespace
