#include "Translation.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ChoiceCase {
  const char* name;
  std::vector<CTranslation> table;
  uint16_t userLanguage;
  int chosen;
};

const ChoiceCase kChoices[] = {
    {"UserLanguage", {{0x0409, 1252}, {0x0412, 949}}, 0x0412, 1},
    {"UserLanguageBeforeLowBits", {{0x0812, 949}, {0x0412, 949}}, 0x0412, 1},
    {"LowBitsOfUserLanguage", {{0x0409, 1252}, {0x0812, 949}}, 0x0412, 1},
    {"LowEightBitsOnly", {{0x0409, 1252}, {0x0312, 949}}, 0x0012, 1},
    {"Neutral", {{0x0407, 1252}, {0x0000, 1200}}, 0x0412, 1},
    {"NeutralLowBits", {{0x0407, 1252}, {0x0400, 1200}}, 0x0412, 1},
    {"NeutralBeforeEnglish", {{0x0009, 1252}, {0x0000, 1200}}, 0x0412, 1},
    {"English", {{0x0407, 1252}, {0x0009, 1252}}, 0x0412, 1},
    {"EnglishLowBits", {{0x0407, 1252}, {0x0809, 1252}, {0x0409, 1252}}, 0x0412, 1},
    {"FirstWhenNoneMatches", {{0x0407, 1252}, {0x040C, 1252}}, 0x0412, 0},
    {"EmptyTable", {}, 0x0412, -1},
};

TEST(Translation, ChoiceFollowsTheSearchOrder) {
  for (const ChoiceCase& c : kChoices)
    EXPECT_EQ(c.chosen, ChooseTranslation(c.table, c.userLanguage)) << c.name;
}

struct ReadCase {
  const char* name;
  size_t reported;
  size_t available;
  size_t pairs;
};

TEST(Translation, TableIsBoundedByReportedAndAvailableBytes) {
  const unsigned char bytes[] = {0x09, 0x04, 0xE4, 0x04, 0x12, 0x04, 0xB5, 0x03, 0xFF, 0xFF};
  const ReadCase cases[] = {
      {"WholeTable", 8, sizeof bytes, 2},      {"PartialPairDropped", 10, sizeof bytes, 2},
      {"ReportedShort", 7, sizeof bytes, 1},   {"ReportedBeyondBlock", 4000, 6, 1},
      {"NothingReported", 0, sizeof bytes, 0},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(c.pairs, ReadTranslations(bytes, c.reported, c.available).size()) << c.name;
  }
  // Unaligned, little-endian.
  const std::vector<CTranslation> table = ReadTranslations(bytes + 4, 4, 4);
  ASSERT_EQ(1u, table.size());
  EXPECT_EQ(0x0412, table[0].m_wLanguage);
  EXPECT_EQ(949, table[0].m_wCodePage);
  EXPECT_TRUE(ReadTranslations(nullptr, 8, 8).empty());
}

TEST(Translation, DescriptionQueryIsUpperCaseHexadecimal) {
  EXPECT_EQ("\\StringFileInfo\\041203B5\\FileDescription", DescriptionQuery({0x0412, 949}));
  EXPECT_EQ("\\StringFileInfo\\0000FFFF\\FileDescription", DescriptionQuery({0, 0xFFFF}));
  EXPECT_EQ("\\StringFileInfo\\040904E4\\FileDescription", DescriptionQuery({0x0409, 1252}));
}

}  // namespace
