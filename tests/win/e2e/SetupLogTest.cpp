// The log file beside the real program: start line, levels, size limit, line length and code page.
// Each row is an uninstall start with an install parameter and no uninstall records, which ends by
// itself and writes one line of each level: the start line (0), the parse (2), the failed key (1).
#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "Answers.h"
#include "TestRegistry.h"

namespace {

bool IsStartLine(const std::wstring& line, int level) {
  const std::wregex pattern(
      L"\\[VelSetup\\]===== Start \\[ [0-9]{4}-[1-9][0-9]?-[1-9][0-9]?, "
      L"(0|[1-9][0-9]?):(0|[1-9][0-9]?):(0|[1-9][0-9]?) \\] Level = " +
      std::to_wstring(level) + L" =====");
  return std::regex_match(line, pattern);
}

TEST(SetupLogTest, Table) {
  const std::string quiet = "http://update.orbina.com/orbina/velsetup/control/control.xml";
  const std::string longSource = "http://update.orbina.com/" + std::string(1500, 'x');
  // Lines: "start <level>", "parse" (cut at 1023 characters after the mark), "failure".
  const std::vector<std::string> all = {"start 2", "parse", "failure"};
  const struct {
    const char* name;
    int level;      // the registry's level value; -1: none
    size_t before;  // bytes of the log file beforehand
    std::string source;
    std::wstring mode;
    std::vector<std::string> lines;
  } rows[] = {
      {"default level 2", -1, 0, quiet, L"velsetup", all},
      {"level 0", 0, 0, quiet, L"velsetup", {"start 0"}},
      {"level 1", 1, 0, quiet, L"velsetup", {"start 1", "failure"}},
      {"level 2", 2, 0, quiet, L"velsetup", all},
      {"only the low byte counts: 256", 256, 0, quiet, L"velsetup", {"start 0"}},
      {"only the low byte counts: 258", 258, 0, quiet, L"velsetup", all},
      // The start line takes the file past the limit, so the next line empties it.
      {"just below 3 MiB: appended to", -1, 3145727, quiet, L"velsetup", {"parse", "failure"}},
      {"3 MiB: emptied by the next line", -1, 3145728, quiet, L"velsetup", all},
      {"a long message is cut, the next line follows", -1, 0, longSource, L"velsetup", all},
      {"Korean text in code page 949", -1, 0, quiet, L"설치모드", all},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& row = rows[i];
    SCOPED_TRACE(row.name);
    const CCleanSetupRegistry registry;
    if (row.level >= 0) SetLogLevelValue(static_cast<DWORD>(row.level));
    CSetupRun run("Log" + std::to_string(i));
    EXPECT_TRUE(row.before == 0 || WriteFileBytes(run.LogPath(), std::string(row.before, 'a')));
    const std::string param = InstallParam(row.source, ToAnsi(row.mode));
    EXPECT_TRUE(run.Start("-u -x \"" + param + "\""));
    EXPECT_TRUE(run.WaitForExit());

    const std::vector<std::wstring> lines = run.ReadLogLines();
    EXPECT_EQ(lines.size(), row.lines.size());
    for (size_t at = 0; at < lines.size() && at < row.lines.size(); ++at) {
      const std::string& want = row.lines[at];
      if (want.rfind("start ", 0) == 0) {
        EXPECT_TRUE(IsStartLine(lines[at], std::stoi(want.substr(6)))) << at;
      } else {
        EXPECT_EQ(
            lines[at],
            want == "parse"
                ? L"[VelSetup]" + Widen(("CDlgDownload::ParseXMLArgument(" + param + ")").substr(0, 1023))
                : L"[VelSetup][OnDialogStart] RegOpenKeyEx Failed, Error Code = 2");
      }
    }
    // Every line ends with CR LF, the last included; a file past the limit was emptied.
    const std::string bytes = run.ReadLogBytes();
    EXPECT_EQ(bytes.substr(bytes.size() < 2 ? 0 : bytes.size() - 2), "\r\n");
    EXPECT_LT(bytes.size(), 4096u);
  }
}

}  // namespace
