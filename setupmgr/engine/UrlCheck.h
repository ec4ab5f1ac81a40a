// The trusted-location test of download URLs on a URL already split by the URL cracker. Needs no
// operating system, so that it is unit-tested and fuzzed natively.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The first two path segments of every download URL.
constexpr char kTrustedPathPrefix[] = "orbina/velsetup/";

constexpr size_t kUrlHostLimit = 255;   // characters of the host buffer, without the zero
constexpr size_t kUrlPathLimit = 1023;  // characters of the path buffer, without the zero

// The schemes of download URLs. An https URL keeps the host and path rules of an http one.
enum class UrlScheme { kOther, kHttp, kHttps };

// The scheme that `raw` begins with: "http://" or "https://", letter case aside; kOther for any
// other beginning. `length` receives the length of that beginning when it is not null.
UrlScheme SchemeOf(std::string_view raw, size_t* length = nullptr);

// A download URL and what the cracker made of it with escapes decoded.
struct CDownloadUrlParts {
  std::string_view raw;   // the URL as given
  std::string_view host;  // the host name, decoded
  std::string_view path;  // the URL path, decoded, with the query when there is one
};

// The text with its %XX escapes decoded; a "%" not followed by two hex digits stays as it is. The
// check decodes the raw path itself, whatever else the URL cracker does to it (some crackers also
// resolve "." and ".." segments, which would hide them from the test).
std::string DecodeEscapes(std::string_view text);

// The value of a hex digit of either case; -1 for any other character.
int HexDigitValue(char c);

// The host test of CheckDownloadUrlParts on its own, for a URL that names no download (the page
// that hosts the control): `raw` is the URL up to the end of its authority and `host` the host in
// it. True when the raw text holds no blank, control character, backslash or encoded NUL, its
// authority no user information or escape, and the host is plain and ends in `hostSuffix` as
// the download test wants it.
bool CheckUrlHost(std::string_view raw, std::string_view host, const char* hostSuffix);

// True when the URL lies inside the trusted location: its raw text begins with "http://" or
// "https://", its host ends in `hostSuffix` (exactly, case-sensitively, at a character boundary)
// and the first two segments of its path, each with its slash, are `pathPrefix`. A path whose
// first two segments differ is logged as "[CheckDownloadURL] Failed, strUrlPath = %s" (1); every
// other refusal is silent.
// Refused as well, since the request would not go where the test looked: user information or an
// escape in the authority; a host ending in a dot or holding a slash, a backslash or "@"; a "." or
// ".." segment, a backslash, a control character or a blank in the decoded path or in the raw
// path decoded here; an encoded NUL or a blank in the raw text.
bool CheckDownloadUrlParts(const CDownloadUrlParts& parts, const char* hostSuffix, const char* pathPrefix);
