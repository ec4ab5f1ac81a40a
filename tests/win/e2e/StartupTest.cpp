// The real VelSetup.exe from process start to its mode, as the control and a person see it.
#include <gtest/gtest.h>

#include <algorithm>

#include "Answers.h"
#include "NotifyWindow.h"
#include "Portal.h"
#include "SetupProtocol.h"
#include "TestRegistry.h"

namespace {

// Not served by the portal, so every update run ends at the manifest.
const std::string kMissingManifest = "http://update.orbina.com/orbina/velsetup/control/missing.xml";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool LogHas(const CSetupRun& run, const std::wstring& line) {
  const std::vector<std::wstring> lines = run.ReadLogLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t LogCount(const CSetupRun& run, const std::wstring& prefix) {
  const std::vector<std::wstring> lines = run.ReadLogLines();
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::wstring& line) { return line.compare(0, prefix.size(), prefix) == 0; });
}

class StartupTest : public ::testing::Test {
 protected:
  CCleanSetupRegistry m_registry;
  CNotifyWindowStandIn m_control;
};

TEST_F(StartupTest, MissingModeShowsAbnormalStartAndPostsNothing) {
  CSetupRun run("MissingMode");
  ASSERT_TRUE(run.Start("-x " + Quoted("<PARAM><SOURCE>" + kMissingManifest + "</SOURCE></PARAM>") + " -w " +
                        m_control.HandleArgument()));
  ExpectMessageBoxAndPressOk(run, kAbnormalStartText);
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_TRUE(m_control.Received().empty());
  EXPECT_TRUE(LogHas(run, L"[VelSetup][ParseXMLArgument] m_strMode.GetLength()== 0"));
}

TEST_F(StartupTest, UpdateRunReportsStartedWithFrameHandleThenFailsAtManifest) {
  CSetupRun run("StartedStatus");
  ASSERT_TRUE(run.Start("-x " + Quoted(InstallParam(kMissingManifest, "velsetup")) + " -w " +
                        m_control.HandleArgument()));
  ExpectMessageBoxAndPressOk(run, kManifestFailedText);
  ASSERT_TRUE(run.WaitForExit());

  const std::vector<std::string> expected = {"20", "21", "101", "closed"};
  EXPECT_EQ(m_control.Sequence(), expected);
  ASSERT_FALSE(m_control.Received().empty());
  // lParam of status 20 is the main frame: a window of the setup manager's process.
  EXPECT_EQ(m_control.Received()[0].lParamWindowPid, run.Pid());
}

// Without a usable -w the run is the same, but no window hears of it.
class NoNotifyWindowTest : public StartupTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NoNotifyWindowTest, RunGoesOnAndPostsNothing) {
  CSetupRun run("NoNotifyWindow");
  ASSERT_TRUE(run.Start("-x " + Quoted(InstallParam(kMissingManifest, "velsetup")) + GetParam()));
  ExpectMessageBoxAndPressOk(run, kManifestFailedText);
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_TRUE(m_control.Received().empty());
  EXPECT_TRUE(LogHas(run, L"[VelSetup]CDlgDownload::DownloadFileList"));
}

INSTANTIATE_TEST_SUITE_P(WithoutWindow, NoNotifyWindowTest, ::testing::Values("", " -w abc", " -w"));

TEST_F(StartupTest, LastInstallParamDecidesValidity) {
  {
    CSetupRun run("SecondParamInvalid");
    ASSERT_TRUE(run.Start("-x " + Quoted(InstallParam(kMissingManifest, "velsetup")) + " -x " +
                          Quoted("<PARAM><SOURCE></SOURCE></PARAM>") + " -w " + m_control.HandleArgument()));
    ExpectMessageBoxAndPressOk(run, kAbnormalStartText);
    ASSERT_TRUE(run.WaitForExit());
    EXPECT_EQ(LogCount(run, L"[VelSetup]CDlgDownload::ParseXMLArgument("), 2u);
    EXPECT_TRUE(LogHas(run, L"[VelSetup][ParseXMLArgument] m_strSourceURL.GetLength()== 0"));
    EXPECT_TRUE(m_control.Received().empty());
  }
  {
    // The later parameter adds the missing mode; the earlier source stays.
    CSetupRun run("SecondParamCompletes");
    ASSERT_TRUE(run.Start("-x " + Quoted("<PARAM><SOURCE>" + kMissingManifest + "</SOURCE></PARAM>") +
                          " -x " + Quoted("<PARAM><MODE>velsetup</MODE></PARAM>") + " -w " +
                          m_control.HandleArgument()));
    ExpectMessageBoxAndPressOk(run, kManifestFailedText);
    ASSERT_TRUE(run.WaitForExit());
    ASSERT_FALSE(m_control.Sequence().empty());
    EXPECT_EQ(m_control.Sequence().front(), "20");
  }
}

TEST_F(StartupTest, NoArgumentsUpdatesFromDefaultManifest) {
  CSetupRun run("NoArguments");
  ASSERT_TRUE(run.Start(""));
  ExpectMessageBoxAndPressOk(run, kManifestFailedText);
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_EQ(LogCount(run, L"[VelSetup]CDlgDownload::ParseXMLArgument("), 0u);
  EXPECT_TRUE(LogHas(run, L"[VelSetup]CDlgDownload::DownloadFileList"));
  bool mentionsDefault = false;
  for (const std::wstring& line : run.ReadLogLines()) {
    mentionsDefault |=
        line.find(L"http://update.orbina.com/orbina/velsetup/control/control.xml") != std::wstring::npos;
  }
  EXPECT_TRUE(mentionsDefault);
}

TEST_F(StartupTest, UninstallStillParsesInstallParam) {
  {
    // Options are known by two letters in any case; the run ends by itself without records.
    CSetupRun run("UninstallValid");
    ASSERT_TRUE(run.Start("stray -X " + Quoted(InstallParam(kMissingManifest, "velsetup")) +
                          " -Uninstall -w " + m_control.HandleArgument()));
    ASSERT_TRUE(run.WaitForExit());
    EXPECT_TRUE(LogHas(run, L"[VelSetup][OnDialogStart] RegOpenKeyEx Failed, Error Code = 2"));
    EXPECT_TRUE(m_control.Received().empty());
  }
  {
    CSetupRun run("UninstallInvalid");
    ASSERT_TRUE(run.Start("-u -x " + Quoted("<PARAM><source>x</source><MODE>m</MODE></PARAM>")));
    ExpectMessageBoxAndPressOk(run, kAbnormalStartText);
    ASSERT_TRUE(run.WaitForExit());
    EXPECT_FALSE(LogHas(run, L"[VelSetup][OnDialogStart] RegOpenKeyEx Failed, Error Code = 2"));
  }
}

TEST_F(StartupTest, OverlongInstallParamIsRefused) {
  CSetupRun run("OverlongParam");
  const std::string padding(4096 - InstallParam(kMissingManifest, "velsetup").size(), ' ');
  ASSERT_TRUE(run.Start("-x " + Quoted(InstallParam(kMissingManifest, "velsetup") + padding) + " -w " +
                        m_control.HandleArgument()));
  ExpectMessageBoxAndPressOk(run, kAbnormalStartText);
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_TRUE(m_control.Received().empty());
  EXPECT_TRUE(LogHas(run, L"[VelSetup][ParseCommandLine] Install parameter too long (4096 > 4095 bytes)"));
}

}  // namespace
