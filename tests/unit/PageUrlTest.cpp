#include "PageUrl.h"

#include <gtest/gtest.h>

namespace {

constexpr char kSuffix[] = ".orbina.com";

struct PageCase {
  const char* url;
  bool trusted;
};

const PageCase kPages[] = {
    {"http://www.orbina.com/portal/index.html", true},
    {"https://www.orbina.com/portal/index.html?a=b#c", true},
    {"HTTPS://update.orbina.com", true},
    {"http://www.orbina.com:8080/", true},
    {"http://www.orbina.com:/", true},
    {"http://www.orbina.com?x", true},
    {"http://www.example.com/", false},
    {"http://evilorbina.com/", false},
    {"http://orbina.com/", false},
    {"http://orbina.com.evil.net/", false},
    {"http://www.orbina.com.evil.net/", false},
    {"http://www.orbina.com./", false},
    {"http://www.orbina.com@evil.net/", false},    // user information: the host is evil.net
    {"http://evil.net@www.orbina.com/", false},    // user information refused whatever follows
    {"http://evil.net\\@www.orbina.com/", false},  // a browser ends the host at the backslash
    {"http://evil.net#@www.orbina.com/", false},
    {"http://evil.net?.orbina.com/", false},
    {"http://evil.net%2F.orbina.com/", false},
    {"http://evil.net%00.orbina.com/", false},
    {"http://evil.net\t.orbina.com/", false},
    {"http://www.orbina.com:80x/", false},
    {"http://www.orbina.com:evil.net/", false},
    {"http://\xB0.orbina.com/", false},  // the dot is the trail byte of a character
    {"http:/www.orbina.com/", false},
    {"http:www.orbina.com", false},
    {"ftp://www.orbina.com/", false},
    {"file:///C:/portal/index.html", false},
    {"file://www.orbina.com/portal/index.html", false},
    {"about:blank", false},
    {"javascript:'http://www.orbina.com/'", false},
    {"res://ieframe.dll/http_404.htm#http://www.orbina.com/", false},
    {"www.orbina.com", false},
    {"", false},
};

TEST(PageUrl, OnlyPagesOfTheTrustedHostDriveTheControl) {
  for (const PageCase& row : kPages) EXPECT_EQ(IsTrustedPageUrl(row.url, kSuffix), row.trusted) << row.url;
}

}  // namespace
