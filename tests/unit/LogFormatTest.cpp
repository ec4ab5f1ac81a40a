#include "LogFormat.h"

#include <gtest/gtest.h>

namespace {

std::string Line(LeadByteTest isLeadByte, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string line = FormatLogLine(isLeadByte, format, args);
  va_end(args);
  return line;
}

bool Cp949LeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace

TEST(FormatLogLineTest, PrefixesAndTerminatesTheMessage) {
  EXPECT_EQ(Line(nullptr, "[GetUpdateInfo] Version = %s (FileName = %s)", "1,0,0,1", "a.dll"),
            "[VelSetup][GetUpdateInfo] Version = 1,0,0,1 (FileName = a.dll)\r\n");
  EXPECT_EQ(Line(nullptr, "Error Code = %d, %u, %x", -5, 7u, 255u), "[VelSetup]Error Code = -5, 7, ff\r\n");
  EXPECT_EQ(Line(nullptr, "%s", ""), "[VelSetup]\r\n");
}

TEST(FormatLogLineTest, CutsTheMessageAt1023Characters) {
  const std::string exact(1023, 'a');
  EXPECT_EQ(Line(nullptr, "%s", exact.c_str()), "[VelSetup]" + exact + "\r\n");
  const std::string longer(5000, 'b');
  EXPECT_EQ(Line(nullptr, "%s", longer.c_str()), "[VelSetup]" + std::string(1023, 'b') + "\r\n");
  EXPECT_EQ(Line(nullptr, "x%s", exact.c_str()), "[VelSetup]x" + std::string(1022, 'a') + "\r\n");
}

TEST(FormatLogLineTest, NeverCutsInsideADoubleByteCharacter) {
  // 1022 single bytes then a two-byte character that would straddle the limit.
  const std::string text = std::string(1022, 'a') + "\xBC\xB3" + "tail";
  EXPECT_EQ(Line(Cp949LeadByte, "%s", text.c_str()), "[VelSetup]" + std::string(1022, 'a') + "\r\n");
  // A trail byte in the lead-byte range is not mistaken for a lead byte.
  const std::string pairs = std::string(1021, 'a') + "\xB0\xA1" + "\xB0\xA1";
  EXPECT_EQ(Line(Cp949LeadByte, "%s", pairs.c_str()), "[VelSetup]" + std::string(1021, 'a') + "\xB0\xA1\r\n");
  // Single-byte code pages cut exactly at the limit.
  EXPECT_EQ(Line(nullptr, "%s", text.c_str()), "[VelSetup]" + std::string(1022, 'a') + "\xBC\r\n");
}

TEST(FormatStartMessageTest, UsesPlainDecimalsWithoutLeadingZeros) {
  EXPECT_EQ(FormatStartMessage(2007, 7, 18, 8, 5, 3, 2), "===== Start [ 2007-7-18, 8:5:3 ] Level = 2 =====");
  EXPECT_EQ(FormatStartMessage(2026, 12, 31, 23, 59, 0, 255),
            "===== Start [ 2026-12-31, 23:59:0 ] Level = 255 =====");
}

TEST(LogRulesTest, LevelsAndResetBoundary) {
  EXPECT_TRUE(LogLineWanted(0, 0));
  EXPECT_FALSE(LogLineWanted(1, 0));
  EXPECT_TRUE(LogLineWanted(2, 2));
  EXPECT_FALSE(LogLineWanted(2, 1));
  EXPECT_TRUE(LogLineWanted(2, 255));
  EXPECT_FALSE(LogNeedsReset(3145727));
  EXPECT_TRUE(LogNeedsReset(3145728));
  EXPECT_TRUE(LogNeedsReset(uint64_t{1} << 33));
}
