#include "UrlCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogCapture.h"
#include "SetupLog.h"

namespace {

constexpr char kSuffix[] = ".orbina.com";
constexpr char kPrefix[] = "orbina/velsetup/";
constexpr char kHost[] = "update.orbina.com";
constexpr char kPath[] = "/orbina/velsetup/a.bin";
constexpr char kNoLine[] = "-";

struct UrlCase {
  const char* name;
  std::string host;  // decoded, as the cracker returns it
  std::string path;  // decoded
  bool accepted;
  std::string strUrlPath = kNoLine;  // the text of the path mismatch line, if one is written
  std::string raw = {};              // empty: "http://" + host + path
};

std::vector<UrlCase> Cases() {
  const std::string longLabel(255 - 11, 'h');
  const std::string longName(1023 - 17, 'p');
  return {
      {"Plain", kHost, kPath, true},
      {"QueryKept", kHost, "/orbina/velsetup/a.bin?v=1&w=2", true},
      {"PortAllowed", kHost, kPath, true, kNoLine, "http://update.orbina.com:8080/orbina/velsetup/a.bin"},
      {"DoubleByteNamesAllowed", "\xB0\xA1.orbina.com", "/orbina/velsetup/\xC7\xD1.bin", true},
      {"ThreeDotsIsAName", kHost, "/orbina/velsetup/.../a", true},
      // Host test: exact, case-sensitive, at a character boundary, silent.
      {"SuffixInOtherCase", "update.ORBINA.com", kPath, false},
      {"HostShorterThanSuffix", "orbina.com", kPath, false},
      {"SuffixNotAtTheEnd", "update.orbina.com.example.net", kPath, false},
      {"SuffixWithoutItsDot", "evilorbina.com", kPath, false},
      {"SuffixCutInsideDoubleByteChar", "\xB0.orbina.com", kPath, false},
      {"HostWithTrailingDot", "update.orbina.com.", kPath, false},
      {"HostAtLimit", longLabel + kSuffix, kPath, true},
      {"HostOverLimit", "h" + longLabel + kSuffix, kPath, false},
      {"BadHostAndBadPathLogNothing", "update.example.com", "/other/place/a", false},
      // Path test.
      {"NoThirdSlash", kHost, "/orbina/velsetup", false},
      {"NoSlashAtAll", kHost, "", false},
      {"SingleSlashShowsEmptyCut", kHost, "/a.bin", false, ""},
      {"RootOnly", kHost, "/", false, ""},
      {"SegmentsInOtherCase", kHost, "/ORBINA/velsetup/a.bin", false, "ORBINA/velsetup/"},
      {"OtherSecondSegment", kHost, "/orbina/velsetupx/a.bin", false, "orbina/velsetupx/"},
      {"EmptySegment", kHost, "/orbina//velsetup/a.bin", false, "orbina//"},
      {"PathAtLimit", kHost, "/orbina/velsetup/" + longName, true},
      {"PathOverLimit", kHost, "/orbina/velsetup/p" + longName, false},
      {"EncodedSlashesDecodedFirst", kHost, kPath, true, kNoLine,
       "http://update.orbina.com/orbina%2Fvelsetup%2Fa.bin"},
      // Where the request would not go where the test looked.
      {"UserInformation", kHost, kPath, false, kNoLine,
       "http://evil.example.net@update.orbina.com" + std::string(kPath)},
      {"UserAndPassword", kHost, kPath, false, kNoLine, "http://a:b@update.orbina.com/orbina/velsetup/a.bin"},
      {"EscapeInHost", kHost, kPath, false, kNoLine, "http://update%2Eorbina.com/orbina/velsetup/a.bin"},
      {"DotDotSegment", kHost, "/orbina/velsetup/../../secret", false, kNoLine,
       "http://update.orbina.com/orbina/velsetup/%2e%2e/%2E%2E/secret"},
      {"DotDotResolvedByTheCracker", kHost, kPath, false, kNoLine,
       "http://update.orbina.com/orbina/velsetup/x/../a.bin"},
      {"DotSegment", kHost, "/orbina/velsetup/./a.bin", false},
      {"DotDotBeforeQuery", kHost, "/orbina/velsetup/..?x=1", false},
      {"DotDotLast", kHost, "/orbina/velsetup/..", false},
      {"MismatchStillLoggedBeforeDotRule", kHost, "/ORBINA/velsetup/../a", false, "ORBINA/velsetup/"},
      {"BackslashInPath", kHost, "/orbina/velsetup/a\\..\\..\\b", false, kNoLine,
       "http://update.orbina.com/orbina/velsetup/a%5C..%5C..%5Cb"},
      {"BackslashInRawText", kHost, kPath, false, kNoLine,
       "http://update.orbina.com\\@x/orbina/velsetup/a.bin"},
      {"EncodedNulCutsThePath", kHost, kPath, false, kNoLine,
       "http://update.orbina.com/orbina/velsetup/a.bin%00.txt"},
      {"NulInDecodedPath", kHost, std::string(kPath) + std::string(1, '\0') + ".txt", false},
      {"LineBreakDecoded", kHost, "/orbina/velsetup/a.bin\r\nX: y", false, kNoLine,
       "http://update.orbina.com/orbina/velsetup/a.bin%0D%0AX:%20y"},
      {"BlankDecoded", kHost, "/orbina/velsetup/a b.bin", false, kNoLine,
       "http://update.orbina.com/orbina/velsetup/a%20b.bin"},
      {"BlankInRawText", kHost, kPath, false, kNoLine, "http://update.orbina.com/orbina/velsetup/a.bin "},
      {"TabInRawText", kHost, kPath, false, kNoLine, "http://update.orbina.com/orbina/velsetup/a\t.bin"},
      {"DeleteCharacter", kHost, "/orbina/velsetup/a\x7F.bin", false},
      {"BackslashInHost", "evil.example.net\\x.orbina.com", kPath, false, kNoLine,
       "http://x.orbina.com/orbina/velsetup/a.bin"},
      {"ControlInHost", "update\x01.orbina.com", kPath, false},
      // Schemes: https under the rules of http, nothing else.
      {"Https", kHost, kPath, true, kNoLine, "https://update.orbina.com/orbina/velsetup/a.bin"},
      {"HttpsInCapitalsWithPort", kHost, kPath, true, kNoLine,
       "HTTPS://update.orbina.com:8443/orbina/velsetup/a.bin"},
      {"HttpsOtherHost", "update.example.com", kPath, false, kNoLine,
       "https://update.example.com/orbina/velsetup/a.bin"},
      {"HttpsOtherPath", kHost, "/other/place/a", false, "other/place/",
       "https://update.orbina.com/other/place/a"},
      {"HttpsDotDot", kHost, kPath, false, kNoLine, "https://update.orbina.com/orbina/velsetup/x/../a.bin"},
      {"OtherScheme", kHost, kPath, false, kNoLine, "ftp://update.orbina.com/orbina/velsetup/a.bin"},
      {"SchemeWithoutSlashes", kHost, kPath, false, kNoLine, "https:update.orbina.com/orbina/velsetup/a.bin"},
      {"NoScheme", kHost, kPath, false, kNoLine, "update.orbina.com/orbina/velsetup/a.bin"},
  };
}

TEST(UrlCheckTest, Table) {
  for (const UrlCase& row : Cases()) {
    SCOPED_TRACE(row.name);
    LogInit(0, 2);
    const std::string raw = row.raw.empty() ? "http://" + row.host + row.path : row.raw;
    EXPECT_EQ(CheckDownloadUrlParts({raw, row.host, row.path}, kSuffix, kPrefix), row.accepted);
    std::vector<std::string> expected;
    if (row.strUrlPath != kNoLine)
      expected.push_back("[VelSetup][CheckDownloadURL] Failed, strUrlPath = " + row.strUrlPath);
    EXPECT_EQ(CapturedLogLines(), expected);
  }
}

}  // namespace
