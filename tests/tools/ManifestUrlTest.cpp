// Download URLs of a manifest: the trusted-location verdict (natively through the stand-in of the
// URL cracker, under Wine through the system's), and where a published URL lies in a folder.
#include "ManifestUrl.h"

#include <gtest/gtest.h>

#include <string>

#include "ToolServices.h"

namespace {

struct TrustCase {
  std::string url;
  bool trusted;
};

TEST(IsTrustedDownloadUrl, Table) {
  const TrustCase cases[] = {
      {"http://update.orbina.com/orbina/velsetup/a.dll", true},
      {"HTTP://update.orbina.com/orbina/velsetup/a.dll", true},
      {"http://update.orbina.com:8080/orbina/velsetup/a.dll?v=1", true},
      {"http://update.orbina.com/orbina%2Fvelsetup%2Fa.dll", true},
      {"http://update.orbina.com/orbina/velsetup/%ED%95%9C.dll", true},
      {"https://update.orbina.com/orbina/velsetup/a.dll", true},
      {"HTTPS://update.orbina.com:8443/orbina/velsetup/a.dll", true},
      {"https://update.example.com/orbina/velsetup/a.dll", false},
      {"https:update.orbina.com/orbina/velsetup/a.dll", false},
      {"ftp://update.orbina.com/orbina/velsetup/a.dll", false},
      {"http://update.ORBINA.com/orbina/velsetup/a.dll", false},
      {"http://orbina.com/orbina/velsetup/a.dll", false},
      {"http://update.orbina.com.example.net/orbina/velsetup/a.dll", false},
      {"http://user@update.orbina.com/orbina/velsetup/a.dll", false},
      {"http://update.orbina.com/orbina/velsetup", false},
      {"http://update.orbina.com/Orbina/velsetup/a.dll", false},
      {"http://update.orbina.com/orbina/velsetup/../a.dll", false},
      {"http://update.orbina.com/orbina/velsetup/a b.dll", false},
      {"http://update.orbina.com/orbina/velsetup/" + std::string(2100, 'a'), false},
      {"update.orbina.com/orbina/velsetup/a.dll", false},
      {"", false},
  };
  for (const TrustCase& c : cases) {
    EXPECT_EQ(c.trusted, IsTrustedDownloadUrl(c.url, ".orbina.com")) << c.url;
    TakeFailureLines();
  }
}

struct LocalCase {
  std::string url;
  bool under;
  std::string path = {};
};

TEST(LocalPathUnder, Table) {
  const std::string base = "http://update.orbina.com/orbina/velsetup/t/";
  const LocalCase cases[] = {
      {base + "a.dll", true, "/srv/a.dll"},
      {base + "sub/a%20b.dll?v=2#x", true, "/srv/sub/a b.dll"},
      {base + "%ED%95%9C.dll", true, "/srv/\xED\x95\x9C.dll"},
      {"http://update.orbina.com/orbina/velsetup/a.dll", false},
      {base, false},
      {base + "sub/", false},
      {base + "../a.dll", false},
      {base + "sub/%2E%2E/a.dll", false},
      {base + "a\\b.dll", false},
  };
  for (const LocalCase& c : cases) {
    std::string path;
    EXPECT_EQ(c.under, LocalPathUnder(c.url, base, "/srv", path)) << c.url;
    if (c.under) {
      EXPECT_EQ(c.path, path) << c.url;
    }
  }
}

TEST(EscapeUrlPath, KeepsUnreservedBytesOnly) {
  EXPECT_EQ("a-b_c.d~e/f", EscapeUrlPath("a-b_c.d~e/f"));
  EXPECT_EQ("a%20b%25%3F%23%26", EscapeUrlPath("a b%?#&"));
  EXPECT_EQ("%B0%A1.dll", EscapeUrlPath("\xB0\xA1.dll"));
}

}  // namespace
