#include "Decimal.h"

#include <gtest/gtest.h>

#include <climits>

TEST(ParseAtoiTest, ReadsLikeAtoi) {
  EXPECT_EQ(ParseAtoi("1"), 1);
  EXPECT_EQ(ParseAtoi("  \t\n-42xyz"), -42);
  EXPECT_EQ(ParseAtoi("+7"), 7);
  EXPECT_EQ(ParseAtoi("007"), 7);
  EXPECT_EQ(ParseAtoi("abc"), 0);
  EXPECT_EQ(ParseAtoi(""), 0);
  EXPECT_EQ(ParseAtoi("- 1"), 0);
  EXPECT_EQ(ParseAtoi("1 2"), 1);
  EXPECT_EQ(ParseAtoi(nullptr), 0);
}

TEST(ParseAtoiTest, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(ParseAtoi("2147483647"), INT_MAX);
  EXPECT_EQ(ParseAtoi("2147483648"), INT_MAX);
  EXPECT_EQ(ParseAtoi("-2147483648"), INT_MIN);
  EXPECT_EQ(ParseAtoi("-2147483649"), INT_MIN);
  EXPECT_EQ(ParseAtoi("99999999999999999999999999"), INT_MAX);
}

TEST(ParseHandleValueTest, ReadsEveryUnsigned32BitValueBack) {
  EXPECT_EQ(ParseHandleValue("0"), 0u);
  EXPECT_EQ(ParseHandleValue("abc"), 0u);
  EXPECT_EQ(ParseHandleValue(" 1234"), 1234u);
  EXPECT_EQ(ParseHandleValue("2147483648"), 2147483648u);
  EXPECT_EQ(ParseHandleValue("4294967295"), 4294967295u);
  EXPECT_EQ(ParseHandleValue("-1"), 4294967295u);
  EXPECT_EQ(ParseHandleValue("4294967296"), 0u);  // modulo 2^32, no crash on longer digit runs
  EXPECT_EQ(ParseHandleValue("123456789012345678901234567890"), 1312754386u);
}
