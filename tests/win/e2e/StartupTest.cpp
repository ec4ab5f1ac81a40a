// The real VelSetup.exe from process start to its mode, as the control and a person see it: one
// row per command line, the message box it shows, the statuses the control hears and log lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "Answers.h"
#include "NotifyWindow.h"
#include "SetupProtocol.h"
#include "TestRegistry.h"

namespace {

// Not served by the portal, so every update run ends at the manifest.
const std::string kMissingManifest = "http://update.orbina.com/orbina/velsetup/control/missing.xml";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Log expectations: "+<line>" is logged, "-<line>" is not, "~<text>" some line holds the text,
// "#<n><start>" n lines begin so. Texts are ASCII, after the "[VelSetup]" mark.
std::string LogDifference(const std::vector<std::wstring>& lines, const std::string& want) {
  const auto count = [&](const std::wstring& text, bool start) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::wstring& line) {
      return start ? line.compare(0, text.size(), text) == 0 : line.find(text) != std::wstring::npos;
    });
  };
  const std::wstring text = L"[VelSetup]" + Widen(want.substr(want[0] == '#' ? 2 : 1));
  const bool holds = want[0] == '+'   ? std::find(lines.begin(), lines.end(), text) != lines.end()
                     : want[0] == '-' ? std::find(lines.begin(), lines.end(), text) == lines.end()
                     : want[0] == '~' ? count(Widen(want.substr(1)), false) > 0
                                      : count(text, true) == want[1] - '0';
  return holds ? "" : "log: " + want + "\n";
}

TEST(StartupTest, Table) {
  const std::string param = "\"" + InstallParam(kMissingManifest, "velsetup") + "\"";
  const std::string sourceOnly = "\"<PARAM><SOURCE>" + kMissingManifest + "</SOURCE></PARAM>\"";
  const std::string padding(4096 - InstallParam(kMissingManifest, "velsetup").size(), ' ');
  const std::vector<std::string> started = {"20", "21", "101", "closed"};
  const std::string manifestRead = "+CDlgDownload::DownloadFileList";
  const std::string noRecords = "+[OnDialogStart] RegOpenKeyEx Failed, Error Code = 2";
  // %W: the control's window handle. Without a usable -w the run is the same, but no window hears.
  // clang-format off
  const struct {
    const char* name;
    std::string arguments;
    const wchar_t* box;  // answered with OK; null: none
    std::vector<std::string> statuses, log;
  } rows[] = {
      {"no mode", "-x " + sourceOnly + " -w %W", kAbnormalStartText, {},
       {"+[ParseXMLArgument] m_strMode.GetLength()== 0"}},
      {"an update run reports its start, then fails at the manifest", "-x " + param + " -w %W",
       kManifestFailedText, started, {manifestRead}},
      {"no -w", "-x " + param, kManifestFailedText, {}, {manifestRead}},
      {"-w without a number", "-x " + param + " -w abc", kManifestFailedText, {}, {manifestRead}},
      {"-w without a value", "-x " + param + " -w", kManifestFailedText, {}, {manifestRead}},
      {"the last parameter decides: invalid", "-x " + param + " -x \"<PARAM><SOURCE></SOURCE></PARAM>\" -w %W",
       kAbnormalStartText, {}, {"#2CDlgDownload::ParseXMLArgument(", "+[ParseXMLArgument] m_strSourceURL.GetLength()== 0"}},
      {"a later parameter adds the missing mode", "-x " + sourceOnly + " -x \"<PARAM><MODE>velsetup</MODE></PARAM>\" -w %W",
       kManifestFailedText, started, {"#2CDlgDownload::ParseXMLArgument("}},
      {"no arguments: the default manifest", "", kManifestFailedText, {},
       {"#0CDlgDownload::ParseXMLArgument(", manifestRead, "~http://update.orbina.com/orbina/velsetup/control/control.xml"}},
      // Options are known by two letters in any case; the run ends by itself without records.
      {"uninstall still parses the parameter", "stray -X " + param + " -Uninstall -w %W", nullptr, {}, {noRecords}},
      {"uninstall with an invalid parameter", "-u -x \"<PARAM><source>x</source><MODE>m</MODE></PARAM>\"",
       kAbnormalStartText, {}, {"-" + noRecords.substr(1)}},
      {"an overlong parameter is refused", "-x \"" + InstallParam(kMissingManifest, "velsetup") + padding + "\" -w %W",
       kAbnormalStartText, {}, {"+[ParseCommandLine] Install parameter too long (4096 > 4095 bytes)"}},
  };
  // clang-format on
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& row = rows[i];
    SCOPED_TRACE(row.name);
    const CCleanSetupRegistry registry;
    CNotifyWindowStandIn control;
    CSetupRun run("Startup" + std::to_string(i));
    EXPECT_TRUE(run.Start(Replace(row.arguments, "%W", control.HandleArgument())));
    if (row.box != nullptr) ExpectMessageBoxAndPressOk(run, row.box);
    EXPECT_TRUE(run.WaitForExit());
    EXPECT_EQ(control.Sequence(), row.statuses);
    // lParam of status 20 is the main frame: a window of the setup manager's process.
    if (!control.Received().empty()) {
      EXPECT_EQ(control.Received()[0].lParamWindowPid, run.Pid());
    }
    std::string differences;
    const std::vector<std::wstring> lines = run.ReadLogLines();
    for (const std::string& want : row.log) differences += LogDifference(lines, want);
    EXPECT_EQ(differences, "");
  }
}

}  // namespace
