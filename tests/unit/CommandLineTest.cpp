#include "CommandLine.h"

#include <gtest/gtest.h>

#include "InstallParam.h"
#include "LogCapture.h"
#include "SetupLog.h"

namespace {

const char kValid[] = "<PARAM><SOURCE>http://update.orbina.com/m.xml</SOURCE><MODE>velsetup</MODE></PARAM>";

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { LogInit(0, 2); }

  int Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "VelSetup.exe");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), m_settings, m_flags);
  }

  CInstallSettings m_settings;
  CCommandLineFlags m_flags;
};

TEST_F(CommandLineTest, NoArgumentsSetTheDefaults) {
  EXPECT_EQ(Parse({}), 1);
  EXPECT_EQ(m_settings.m_strMode, "velsetup");
  EXPECT_EQ(m_settings.m_nForceDelete, 0);
  EXPECT_EQ(m_flags.m_bUninstall, 0);
  EXPECT_EQ(m_flags.m_nNotifyWindow, 0u);
}

TEST_F(CommandLineTest, ArgumentsWithoutInstallParamKeepConstructionValues) {
  EXPECT_EQ(Parse({"-w", "1234"}), 1);
  EXPECT_EQ(m_settings.m_strSourceURL, "");
  EXPECT_EQ(m_settings.m_strMode, "");
  EXPECT_EQ(m_settings.m_nForceDelete, 1);
  EXPECT_EQ(m_settings.m_nShowDlg, 1);
  EXPECT_EQ(m_flags.m_nNotifyWindow, 1234u);
}

TEST_F(CommandLineTest, OptionsAreKnownByTwoLettersInAnyCase) {
  EXPECT_EQ(Parse({"stray", "-X", kValid, "-Uninstall", "-wnd", "77", "-"}), 1);
  EXPECT_EQ(m_settings.m_strMode, "velsetup");
  EXPECT_EQ(m_flags.m_bUninstall, 1);
  EXPECT_EQ(m_flags.m_nNotifyWindow, 77u);
}

TEST_F(CommandLineTest, LastInstallParamDecides) {
  EXPECT_EQ(Parse({"-x", kValid, "-x", "<PARAM><MODE>other</MODE></PARAM>"}), 1);
  EXPECT_EQ(m_settings.m_strMode, "other");
  EXPECT_EQ(Parse({"-x", kValid, "-x", "<PARAM/>", "-u"}), 1);  // the later one keeps earlier values
  EXPECT_EQ(Parse({"-x", kValid, "-x", "<PARAM><SOURCE/></PARAM>"}), 0);
  EXPECT_EQ(Parse({"-x", "<PARAM/>", "-x", kValid}), 1);
}

TEST_F(CommandLineTest, MissingValueStopsTheScan) {
  EXPECT_EQ(Parse({"-x"}), 1);
  EXPECT_EQ(Parse({"-w", "5", "-x", "<bad/>", "-w"}), 0);
  EXPECT_EQ(m_flags.m_nNotifyWindow, 5u);
  CCommandLineFlags fresh;
  m_flags = fresh;
  EXPECT_EQ(Parse({"-x", "-u"}), 0);  // "-u" is taken as the install parameter
  EXPECT_EQ(m_flags.m_bUninstall, 0);
}

TEST_F(CommandLineTest, WindowHandleIsReadAsDecimal) {
  EXPECT_EQ(Parse({"-w", "abc"}), 1);
  EXPECT_EQ(m_flags.m_nNotifyWindow, 0u);
  EXPECT_EQ(Parse({"-w", "4294967295"}), 1);
  EXPECT_EQ(m_flags.m_nNotifyWindow, 4294967295u);
}

TEST_F(CommandLineTest, InstallParamLongerThan4095BytesIsRefused) {
  std::string param = kValid;
  param.resize(kInstallParamLimit, ' ');
  EXPECT_EQ(Parse({"-x", param.c_str()}), 1);
  param.push_back(' ');
  EXPECT_EQ(Parse({"-x", param.c_str()}), 0);
  EXPECT_EQ(CapturedLogLines().back(),
            "[VelSetup][ParseCommandLine] Install parameter too long (4096 > 4095 bytes)");
}

}  // namespace
