#include "InstallParam.h"

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "SetupLog.h"

namespace {

class InstallParamTest : public ::testing::Test {
 protected:
  void SetUp() override { LogInit(0, 2); }

  bool Parse(const std::string& text) { return m_settings.ParseXMLArgument(text.c_str()); }
  std::vector<std::string> Failures() const {
    std::vector<std::string> failures;
    for (const std::string& line : CapturedLogLines()) {
      if (line.rfind("[VelSetup][ParseXMLArgument]", 0) == 0) failures.push_back(line);
    }
    return failures;
  }

  CInstallSettings m_settings;
};

TEST_F(InstallParamTest, SourceAndModeOnlyKeepTheSwitchesOn) {
  EXPECT_TRUE(Parse("<PARAM><SOURCE>http://update.orbina.com/m.xml</SOURCE><MODE>velsetup</MODE></PARAM>"));
  EXPECT_EQ(m_settings.m_strSourceURL, "http://update.orbina.com/m.xml");
  EXPECT_EQ(m_settings.m_strMode, "velsetup");
  EXPECT_EQ(m_settings.m_nForceDelete, 1);
  EXPECT_EQ(m_settings.m_nShowDlg, 1);
  EXPECT_TRUE(Failures().empty());
  ASSERT_FALSE(CapturedLogLines().empty());
  EXPECT_EQ(CapturedLogLines()[0],
            "[VelSetup]CDlgDownload::ParseXMLArgument(<PARAM><SOURCE>http://update.orbina.com/m.xml</SOURCE>"
            "<MODE>velsetup</MODE></PARAM>)");
}

TEST_F(InstallParamTest, SwitchesAreReadLikeAtoi) {
  EXPECT_TRUE(
      Parse("<PARAM><SOURCE>s</SOURCE><MODE>m</MODE><FORCEDELETE>2</FORCEDELETE>"
            "<SHOWDLG>abc</SHOWDLG></PARAM>"));
  EXPECT_EQ(m_settings.m_nForceDelete, 2);
  EXPECT_EQ(m_settings.m_nShowDlg, 0);
  EXPECT_TRUE(Parse("<PARAM><SOURCE>s</SOURCE><MODE>m</MODE><FORCEDELETE> -3x</FORCEDELETE></PARAM>"));
  EXPECT_EQ(m_settings.m_nForceDelete, -3);
  EXPECT_EQ(m_settings.m_nShowDlg, 0);  // absent: keeps its value
}

TEST_F(InstallParamTest, ValuesAreTakenAsWritten) {
  EXPECT_TRUE(
      Parse("<PARAM><SOURCE> http://a/?x=1&amp;y=2 </SOURCE><MODE>Vel<!-- c -->Setup</MODE></PARAM>"));
  EXPECT_EQ(m_settings.m_strSourceURL, " http://a/?x=1&amp;y=2 ");
  EXPECT_EQ(m_settings.m_strMode, "Vel");  // the first child's text only
  EXPECT_TRUE(
      Parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><PARAM><SOURCE>\xC7\xD1</SOURCE></PARAM>"));
  EXPECT_EQ(m_settings.m_strSourceURL, "\xC7\xD1");  // bytes kept, no declared encoding honoured
}

TEST_F(InstallParamTest, EmptySourceWithoutModeLogsOnlyTheSourceMessage) {
  EXPECT_FALSE(Parse("<PARAM><SOURCE/></PARAM>"));
  EXPECT_EQ(Failures(),
            std::vector<std::string>{"[VelSetup][ParseXMLArgument] m_strSourceURL.GetLength()== 0"});
}

TEST_F(InstallParamTest, WhiteSpaceOnlyOrCdataValuesAreEmpty) {
  EXPECT_FALSE(Parse("<PARAM><SOURCE>s</SOURCE><MODE>   </MODE></PARAM>"));
  EXPECT_EQ(Failures(), std::vector<std::string>{"[VelSetup][ParseXMLArgument] m_strMode.GetLength()== 0"});
  EXPECT_FALSE(Parse("<PARAM><SOURCE>s</SOURCE><MODE><![CDATA[m]]></MODE></PARAM>"));
}

TEST_F(InstallParamTest, FoundEmptyElementOverwritesAnEarlierValue) {
  EXPECT_TRUE(Parse("<PARAM><SOURCE>s</SOURCE><MODE>m</MODE></PARAM>"));
  EXPECT_FALSE(Parse("<PARAM><SOURCE></SOURCE></PARAM>"));
  EXPECT_EQ(m_settings.m_strSourceURL, "");
  EXPECT_EQ(m_settings.m_strMode, "m");
}

TEST_F(InstallParamTest, NamesAreCaseSensitiveAndPARAMMustBeTopLevel) {
  EXPECT_FALSE(Parse("<PARAM><source>s</source><MODE>m</MODE></PARAM>"));
  EXPECT_EQ(m_settings.m_strSourceURL, "");
  EXPECT_FALSE(Parse("<ROOT><PARAM><SOURCE>s</SOURCE><MODE>m</MODE></PARAM></ROOT>"));
}

TEST_F(InstallParamTest, EachValueComesFromTheFirstPARAMHavingIt) {
  EXPECT_TRUE(
      Parse("<PARAM><SOURCE>first</SOURCE></PARAM><PARAM><SOURCE>second</SOURCE><MODE>m2</MODE></PARAM>"));
  EXPECT_EQ(m_settings.m_strSourceURL, "first");
  EXPECT_EQ(m_settings.m_strMode, "m2");
}

TEST_F(InstallParamTest, MalformedTextOnlyFailsWithTheMessages) {
  for (const char* text :
       {"", "not xml", "<PARAM>", "<PARAM><SOURCE>s", "<<<>>>", "<PARAM><SOURCE>s</MODE>", "\xFF\xFE<\0P"}) {
    CInstallSettings settings;
    EXPECT_FALSE(settings.ParseXMLArgument(text)) << text;
  }
  // What was read before the text broke off still counts.
  EXPECT_TRUE(Parse("<PARAM><SOURCE>s</SOURCE><MODE>m</MODE><SHOWDLG>0"));
}

TEST(InstallSettingsTest, ConstructionAndNoArgumentDefaults) {
  CInstallSettings settings;
  EXPECT_EQ(settings.m_strSourceURL, "");
  EXPECT_EQ(settings.m_strMode, "");
  EXPECT_EQ(settings.m_nForceDelete, 1);
  EXPECT_EQ(settings.m_nShowDlg, 1);
  settings.SetNoArgumentDefaults();
  EXPECT_EQ(settings.m_strSourceURL, "http://update.orbina.com/orbina/velsetup/control/control.xml");
  EXPECT_EQ(settings.m_strMode, "velsetup");
  EXPECT_EQ(settings.m_nForceDelete, 0);
  EXPECT_EQ(settings.m_nShowDlg, 1);
}

}  // namespace
