// The log file beside the real program: start line, levels, size limit and line length.
#include <gtest/gtest.h>

#include <regex>

#include "Answers.h"
#include "TestRegistry.h"

namespace {

const std::string kQuietParam =
    "\"" + InstallParam("http://update.orbina.com/orbina/velsetup/control/control.xml", "velsetup") + "\"";

// An uninstall start with an install parameter and no uninstall records ends by itself and
// writes one line of each level: the start line (0), the failed key (1) and the parse (2).
void RunQuietly(CSetupRun& run) {
  ASSERT_TRUE(run.Start("-u -x " + kQuietParam));
  ASSERT_TRUE(run.WaitForExit());
}

const std::wstring kFailureLine = L"[VelSetup][OnDialogStart] RegOpenKeyEx Failed, Error Code = 2";
const std::wstring kTraceLine = L"[VelSetup]CDlgDownload::ParseXMLArgument(" +
                                Widen(kQuietParam.substr(1, kQuietParam.size() - 2)) + L")";

bool IsStartLine(const std::wstring& line, int level) {
  const std::wregex pattern(
      L"\\[VelSetup\\]===== Start \\[ [0-9]{4}-[1-9][0-9]?-[1-9][0-9]?, "
      L"(0|[1-9][0-9]?):(0|[1-9][0-9]?):(0|[1-9][0-9]?) \\] Level = " +
      std::to_wstring(level) + L" =====");
  return std::regex_match(line, pattern);
}

class SetupLogTest : public ::testing::Test {
 protected:
  CCleanSetupRegistry m_registry;
};

TEST_F(SetupLogTest, DefaultLevelWritesStartLineAndEverything) {
  CSetupRun run("LogDefault");
  RunQuietly(run);
  const std::vector<std::wstring> lines = run.ReadLogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(IsStartLine(lines[0], 2)) << lines[0].size();
  EXPECT_EQ(lines[1], kTraceLine);
  EXPECT_EQ(lines[2], kFailureLine);
  // Every line ends with CR LF, including the last.
  const std::string bytes = run.ReadLogBytes();
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

struct LevelCase {
  DWORD registryValue;
  int effectiveLevel;
  size_t lineCount;
};

class SetupLogLevelTest : public SetupLogTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(SetupLogLevelTest, WritesOnlyLinesUpToTheLowByteOfTheValue) {
  SetLogLevelValue(GetParam().registryValue);
  CSetupRun run("LogLevel" + std::to_string(GetParam().registryValue));
  RunQuietly(run);
  const std::vector<std::wstring> lines = run.ReadLogLines();
  ASSERT_EQ(lines.size(), GetParam().lineCount);
  EXPECT_TRUE(IsStartLine(lines[0], GetParam().effectiveLevel));
  if (GetParam().lineCount == 2) {
    EXPECT_EQ(lines[1], kFailureLine);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, SetupLogLevelTest,
                         ::testing::Values(LevelCase{0, 0, 1}, LevelCase{1, 1, 2}, LevelCase{2, 2, 3},
                                           LevelCase{256, 0, 1}, LevelCase{258, 2, 3}));

TEST_F(SetupLogTest, FileJustBelowThreeMebibytesIsAppendedTo) {
  CSetupRun run("LogBelowLimit");
  ASSERT_TRUE(WriteFileBytes(run.LogPath(), std::string(3145727, 'a')));
  RunQuietly(run);
  // The start line is appended, which takes the file past the limit, so the next line empties it.
  const std::vector<std::wstring> lines = run.ReadLogLines();
  const std::vector<std::wstring> expected = {kTraceLine, kFailureLine};
  EXPECT_EQ(lines, expected);
}

TEST_F(SetupLogTest, FileOfThreeMebibytesIsEmptiedByTheNextLine) {
  CSetupRun run("LogAtLimit");
  ASSERT_TRUE(WriteFileBytes(run.LogPath(), std::string(3145728, 'a')));
  RunQuietly(run);
  const std::vector<std::wstring> lines = run.ReadLogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(IsStartLine(lines[0], 2));
  EXPECT_LT(run.ReadLogBytes().size(), 4096u);
}

TEST_F(SetupLogTest, LongMessageIsCutAt1023Characters) {
  CSetupRun run("LogLongLine");
  const std::string longSource = "http://update.orbina.com/" + std::string(1500, 'x');
  ASSERT_TRUE(run.Start("-u -x \"" + InstallParam(longSource, "velsetup") + "\""));
  ASSERT_TRUE(run.WaitForExit());
  const std::string expected =
      "[VelSetup]" +
      ("CDlgDownload::ParseXMLArgument(" + InstallParam(longSource, "velsetup")).substr(0, 1023) + "\r\n";
  EXPECT_NE(run.ReadLogBytes().find(expected), std::string::npos);
  // The next line starts right after the cut one.
  EXPECT_NE(run.ReadLogBytes().find(expected + "[VelSetup][OnDialogStart]"), std::string::npos);
}

TEST_F(SetupLogTest, KoreanTextIsWrittenInCodePage949) {
  CSetupRun run("LogKorean");
  const std::wstring mode = L"설치모드";
  const std::string param = InstallParam("http://update.orbina.com/orbina/velsetup/a.xml", ToAnsi(mode));
  ASSERT_TRUE(run.Start("-u -x \"" + param + "\""));
  ASSERT_TRUE(run.WaitForExit());
  const std::vector<std::wstring> lines = run.ReadLogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1],
            L"[VelSetup]CDlgDownload::ParseXMLArgument(<PARAM><SOURCE>http://update.orbina.com/"
            L"orbina/velsetup/a.xml</SOURCE><MODE>" +
                mode + L"</MODE></PARAM>)");
}

}  // namespace
