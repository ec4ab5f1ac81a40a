#include "LaunchCommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "CommandLine.h"
#include "CrtArguments.h"
#include "InstallParam.h"
#include "LogCapture.h"
#include "SetupLog.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

const char kProgram[] = "C:\\WINDOWS\\system32\\VelSetup.exe";
const std::string kParam =
    "<PARAM><SOURCE>http://update.orbina.com/orbina/velsetup/m.xml</SOURCE><MODE>velsetup</MODE></PARAM>";

struct RoundTripCase {
  const char* name;
  std::string param;
};

const RoundTripCase kRoundTrips[] = {
    {"plain", kParam},
    {"empty", ""},
    {"quote", "a\"b"},
    {"only_quote", "\""},
    {"two_quotes", "\"\""},
    {"backslash_before_quote", "a\\\"b"},
    {"two_backslashes_before_quote", "a\\\\\"b"},
    {"trailing_backslash", kParam + "\\"},
    {"trailing_backslashes", "a\\\\\\"},
    {"only_backslash", "\\"},
    {"inner_backslashes", "C:\\a\\\\b\\"},
    {"blanks_and_tabs", " a  b\tc "},
    {"korean", "<PARAM><MODE>\xB0\xA1\xB3\xAA</MODE></PARAM>"},
    {"korean_then_backslash_quote", "\xB0\xA1\\\"\xB3\xAA\\"},
    {"injected_options", kParam + "\" -u -w 0 -x \"<PARAM/>"},
    {"injected_after_backslash", kParam + "\\\" -u -x \\\"\\"},
};

class LaunchCommandLineRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// The runtime gives back exactly the five arguments, the parameter byte for byte.
TEST_P(LaunchCommandLineRoundTrip, RuntimeSplittingGivesBackTheParameter) {
  const std::string commandLine = FormatLaunchCommandLine(kProgram, GetParam().param, 4294967295u);
  const std::vector<std::string> expected = {kProgram, "-x", GetParam().param, "-w", "4294967295"};
  EXPECT_EQ(SplitCrtArguments(commandLine), expected) << commandLine;
#ifdef _WIN32
  // The system's own splitting of the same text, in the code page the setup manager runs with.
  std::wstring wide(commandLine.size() + 1, L'\0');
  wide.resize(static_cast<size_t>(
      ::MultiByteToWideChar(CP_ACP, 0, commandLine.c_str(), -1, &wide[0], static_cast<int>(wide.size())) -
      1));
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(wide.c_str(), &count);
  ASSERT_NE(argv, nullptr);
  ASSERT_EQ(count, 5);
  const std::string paramBack = [&] {
    char bytes[8192] = {};
    ::WideCharToMultiByte(CP_ACP, 0, argv[2], -1, bytes, sizeof bytes, nullptr, nullptr);
    return std::string(bytes);
  }();
  ::LocalFree(argv);
  EXPECT_EQ(paramBack, GetParam().param);
#endif
}

// The setup manager's reader sees one -x with the page's text and the control's -w, nothing else.
TEST_P(LaunchCommandLineRoundTrip, SetupManagerReadsOneParameterAndTheWindow) {
  LogInit(0, 2);
  const std::vector<std::string> arguments =
      SplitCrtArguments(FormatLaunchCommandLine(kProgram, GetParam().param, 77));
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  CInstallSettings settings;
  CCommandLineFlags flags;
  ParseCommandLine(static_cast<int>(argv.size()), argv.data(), settings, flags);
  EXPECT_EQ(flags.m_bUninstall, 0);
  EXPECT_EQ(flags.m_nNotifyWindow, 77u);
  const std::vector<std::string>& lines = CapturedLogLines();
  const std::string parsed = "CDlgDownload::ParseXMLArgument(" + GetParam().param + ")";
  EXPECT_EQ(std::count_if(
                lines.begin(), lines.end(),
                [](const std::string& line) { return line.find("ParseXMLArgument(") != std::string::npos; }),
            1);
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.find(parsed) != std::string::npos; }),
            lines.end());
}

INSTANTIATE_TEST_SUITE_P(Params, LaunchCommandLineRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

TEST(LaunchCommandLine, WritesOnlyTheEscapesThatAreNeeded) {
  const std::pair<std::string, std::string> rows[] = {
      {"", "\"\""},
      {"a b", "\"a b\""},
      {"a\\b", "\"a\\b\""},
      {"a\"b", "\"a\\\"b\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},
      {"a\\", "\"a\\\\\""},
      {"\xB0\xA1\\", "\"\xB0\xA1\\\\\""},
  };
  for (const auto& row : rows) {
    std::string written;
    AppendQuotedArgument(written, row.first);
    EXPECT_EQ(written, row.second) << row.first;
  }
  EXPECT_EQ(FormatLaunchCommandLine("C:\\W\\VelSetup.exe", "", 0), "\"C:\\W\\VelSetup.exe\" -x \"\" -w 0");
}

TEST(LaunchCommandLine, LongestParameterIsWrittenWhole) {
  const std::string param(kMaxInstallParamBytes, '"');
  const std::string commandLine = FormatLaunchCommandLine(kProgram, param, 1);
  EXPECT_EQ(SplitCrtArguments(commandLine)[2], param);
}

}  // namespace
