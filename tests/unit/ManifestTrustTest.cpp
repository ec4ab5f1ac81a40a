#include "ManifestTrust.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSystem.h"
#include "LogCapture.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "UpdateFile.h"
#include "XmlLookup.h"

namespace {

const std::string kHashA(64, 'a');
const std::string kHashMixed = "00112233445566778899AABBCCDDEEFF00112233445566778899aabbccddeeff";

TEST(ManifestTrustTest, Sha256TextReadsSixtyFourHexDigitsInEitherCase) {
  CSha256Digest digest = {};
  ASSERT_TRUE(ReadSha256Text(kHashMixed, digest));
  EXPECT_EQ(0x00, digest[0]);
  EXPECT_EQ(0xaa, digest[10]);
  EXPECT_EQ(0xff, digest[31]);
  EXPECT_EQ("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff", Sha256Text(digest));
}

TEST(ManifestTrustTest, Sha256TextRefusesAnythingElse) {
  CSha256Digest digest = {};
  for (const std::string& text :
       {std::string(), kHashA.substr(1), kHashA + "a", " " + kHashA.substr(1), kHashA.substr(1) + " ",
        kHashA.substr(1) + "g", kHashA.substr(2) + "0x", kHashA.substr(1) + std::string(1, '\0')}) {
    EXPECT_FALSE(ReadSha256Text(text, digest)) << text;
  }
}

TEST(ManifestTrustTest, SerialTextIsPlainDecimalWithinSixtyFourBits) {
  uint64_t serial = 0;
  EXPECT_TRUE(ReadSerialText("0", serial));
  EXPECT_EQ(0u, serial);
  EXPECT_TRUE(ReadSerialText("007", serial));
  EXPECT_EQ(7u, serial);
  EXPECT_TRUE(ReadSerialText("18446744073709551615", serial));
  EXPECT_EQ(UINT64_MAX, serial);
  for (const char* text : {"", "18446744073709551616", "99999999999999999999", "000000000000000000001", "-1",
                           "+1", " 1", "1 ", "1a", "0x10"}) {
    EXPECT_FALSE(ReadSerialText(text, serial)) << text;
  }
}

// Spellings a server reads as one file keep one serial.
TEST(ManifestTrustTest, SerialStoreNameJoinsSpellingsOfOneUrl) {
  const std::string name = "update.orbina.com/orbina/velsetup/control/control.xml";
  for (const char* url : {"http://update.orbina.com/orbina/velsetup/control/control.xml",
                          "HTTP://Update.Orbina.com/orbina/velsetup/control/Control.XML",
                          "http://update.orbina.com/orbina/velsetup/control/control.xml?x=1#y",
                          "http://update.orbina.com//orbina/./velsetup/control/%63ontrol.xml",
                          "http://update.orbina.com/orbina%2fvelsetup/control/control.xml"}) {
    EXPECT_EQ(name, SerialStoreName(url)) << url;
  }
  EXPECT_NE(name, SerialStoreName("http://update.orbina.com/orbina/velsetup/control/other.xml"));
}

class FileHashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogInit(0, 2);
    FakeSystem() = {};
  }
  bool Read(const std::string& body, bool requireHashes) {
    const std::string xml = "<FILE NAME='a.dll'><SOURCE>s</SOURCE><DEST>D:\\x</DEST>" + body + "</FILE>";
    pugi::xml_document document;
    LoadMinimal(document, xml.data(), xml.size());
    return m_file.GetUpdateInfo(FirstDescendant(document, "FILE"), requireHashes);
  }
  // The level-1 lines of the reading.
  std::vector<std::string> Failures() const {
    std::vector<std::string> lines;
    for (const std::string& line : CapturedLogLines()) {
      if (line.find("Invalid") != std::string::npos || line.find("do not exist") != std::string::npos)
        lines.push_back(line);
    }
    return lines;
  }
  CUpdateFile m_file;
};

TEST_F(FileHashTest, HashesAreOptionalWithoutAKey) {
  EXPECT_TRUE(Read("<RUNFILE NAME='r.exe'><RUNSOURCE>r</RUNSOURCE></RUNFILE>", false));
  EXPECT_FALSE(m_file.m_hashFile.has_value());
  EXPECT_FALSE(m_file.m_hashRunFile.has_value());
}

// RUNSHA256 is the run file's: it never stands in for the file's own SHA256.
TEST_F(FileHashTest, BothHashesRead) {
  const std::string run(64, 'b');
  EXPECT_TRUE(Read("<RUNFILE NAME='r.exe'><RUNSOURCE>r</RUNSOURCE><RUNSHA256>" + run +
                       "</RUNSHA256></RUNFILE>" + "<SHA256>" + kHashMixed + "</SHA256>",
                   true));
  ASSERT_TRUE(m_file.m_hashFile.has_value());
  ASSERT_TRUE(m_file.m_hashRunFile.has_value());
  EXPECT_EQ(kHashMixed.substr(0, 20) + "aabbccddeeff00112233445566778899aabbccddeeff",
            Sha256Text(*m_file.m_hashFile));
  EXPECT_EQ(run, Sha256Text(*m_file.m_hashRunFile));
}

TEST_F(FileHashTest, MalformedHashRejectsTheFile) {
  EXPECT_FALSE(Read("<SHA256>" + kHashA.substr(1) + "</SHA256>", false));
  EXPECT_EQ(std::vector<std::string>{"[VelSetup][GetUpdateInfo] Invalid SHA256 " + kHashA.substr(1) +
                                     " (FileName = a.dll)"},
            Failures());
  SetUp();
  EXPECT_FALSE(
      Read("<SHA256>" + kHashA + "</SHA256><RUNFILE NAME='r.exe'><RUNSHA256>x</RUNSHA256></RUNFILE>", false));
  EXPECT_EQ(
      std::vector<std::string>{"[VelSetup][ParseRunFileElement] Invalid RUNSHA256 x (FileName = a.dll)"},
      Failures());
}

TEST_F(FileHashTest, KeyedBuildRequiresBothHashes) {
  EXPECT_FALSE(Read("", true));
  EXPECT_EQ(std::vector<std::string>{"[VelSetup][GetUpdateInfo] SHA256 do not exist (FileName = a.dll)"},
            Failures());
  SetUp();
  EXPECT_FALSE(
      Read("<SHA256>" + kHashA + "</SHA256><RUNFILE NAME='r.exe'><RUNSOURCE>r</RUNSOURCE></RUNFILE>", true));
  EXPECT_EQ(
      std::vector<std::string>{"[VelSetup][ParseRunFileElement] RUNSHA256 do not exist (FileName = a.dll)"},
      Failures());
  // A run file that is never fetched needs none.
  SetUp();
  EXPECT_TRUE(Read("<SHA256>" + kHashA + "</SHA256><RUNFILE NAME='r.exe'/>", true));
}

}  // namespace
