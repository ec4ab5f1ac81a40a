#include "LaunchCommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "CommandLine.h"
#include "CrtArguments.h"
#include "InstallParam.h"
#include "LogCapture.h"
#include "SetupLog.h"

namespace {

const char kProgram[] = "C:\\WINDOWS\\system32\\VelSetup.exe";
const std::string kParam =
    "<PARAM><SOURCE>http://update.orbina.com/m.xml</SOURCE><MODE>velsetup</MODE></PARAM>";

struct RoundTripCase {
  const char* name;
  std::string param;
};

const RoundTripCase kRoundTrips[] = {
    {"plain", kParam},
    {"empty", ""},
    {"quote", "a\"b"},
    {"only_quotes", "\"\""},
    {"backslash_before_quote", "a\\\"b"},
    {"two_backslashes_before_quote", "a\\\\\"b"},
    {"trailing_backslash", kParam + "\\"},
    {"trailing_backslashes", "a\\\\\\"},
    {"inner_backslashes", "C:\\a\\\\b\\"},
    {"blanks_and_tabs", " a  b\tc "},
    {"korean", "<MODE>\xB0\xA1\xB3\xAA</MODE>"},
    {"korean_backslash_quote", "\xB0\xA1\\\"\xB3\xAA\\"},
    {"injected_options", kParam + "\" -u -w 0 -x \"<PARAM/>"},
    {"injected_after_backslash", kParam + "\\\" -u -x \\\"\\"},
    {"longest_all_quotes", std::string(kMaxInstallParamBytes, '"')},
};

class LaunchCommandLineRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Split by the runtime's rules, the command line gives the setup manager's reader exactly one -x
// holding the page's text byte for byte, and the control's -w: no option of the text's own.
TEST_P(LaunchCommandLineRoundTrip, SetupManagerReadsExactlyTheParameter) {
  LogInit(0, 2);
  const std::string commandLine = FormatLaunchCommandLine(kProgram, GetParam().param, 4294967295u);
  const std::vector<std::string> arguments = SplitCrtArguments(commandLine);
  ASSERT_EQ(arguments, (std::vector<std::string>{kProgram, "-x", GetParam().param, "-w", "4294967295"}))
      << commandLine;
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  CInstallSettings settings;
  CCommandLineFlags flags;
  ParseCommandLine(static_cast<int>(argv.size()), argv.data(), settings, flags);
  EXPECT_EQ(flags.m_bUninstall, 0);
  EXPECT_EQ(flags.m_nNotifyWindow, 4294967295u);
  const std::vector<std::string>& lines = CapturedLogLines();
  EXPECT_EQ(std::count_if(
                lines.begin(), lines.end(),
                [](const std::string& line) { return line.find("ParseXMLArgument(") != std::string::npos; }),
            1);
}

INSTANTIATE_TEST_SUITE_P(Params, LaunchCommandLineRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

TEST(LaunchCommandLine, WithoutParameterPassesAnEmptyOne) {
  EXPECT_EQ(FormatLaunchCommandLine("C:\\W\\VelSetup.exe", "", 0), "\"C:\\W\\VelSetup.exe\" -x \"\" -w 0");
}

}  // namespace
