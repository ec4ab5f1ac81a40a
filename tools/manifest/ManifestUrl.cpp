#include "ManifestUrl.h"

#include <cstring>

#include "UrlCheck.h"

#ifdef _WIN32
#include "HttpDownload.h"
#endif

namespace {

#ifndef _WIN32
// The system's URL cracker holds a URL of at most INTERNET_MAX_URL_LENGTH characters.
constexpr size_t kCrackerUrlLimit = 2083;

// What the system's URL cracker makes of an http or https URL with escapes decoded: the host
// without user information and port, and the path with the query. False for another scheme.
bool SplitDownloadUrl(const std::string& url, std::string& host, std::string& path) {
  size_t schemeLength = 0;
  if (url.size() > kCrackerUrlLimit || SchemeOf(url, &schemeLength) == UrlScheme::kOther) return false;
  size_t authorityEnd = url.find_first_of("/?#", schemeLength);
  if (authorityEnd == std::string::npos) authorityEnd = url.size();
  std::string authority = url.substr(schemeLength, authorityEnd - schemeLength);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  const size_t colon = authority.find(':');
  if (colon != std::string::npos) authority.erase(colon);
  if (authority.empty()) return false;
  host = DecodeEscapes(authority);
  path = DecodeEscapes(url.substr(authorityEnd));
  return true;
}
#endif

}  // namespace

bool IsTrustedDownloadUrl(const std::string& url, const char* hostSuffix) {
#ifdef _WIN32
  return CheckDownloadURL(url.c_str(), hostSuffix, kTrustedPathPrefix);
#else
  std::string host;
  std::string path;
  if (!SplitDownloadUrl(url, host, path)) return false;
  return CheckDownloadUrlParts({url, host, path}, hostSuffix, kTrustedPathPrefix);
#endif
}

bool LocalPathUnder(const std::string& url, const std::string& baseUrl, const std::string& folder,
                    std::string& path) {
  if (baseUrl.empty() || url.compare(0, baseUrl.size(), baseUrl) != 0) return false;
  std::string rest = url.substr(baseUrl.size());
  rest = DecodeEscapes(rest.substr(0, rest.find_first_of("?#")));
  if (rest.empty() || rest.back() == '/' || rest.find('\\') != std::string::npos) return false;
  size_t begin = 0;
  while (begin <= rest.size()) {
    size_t end = rest.find('/', begin);
    if (end == std::string::npos) end = rest.size();
    const std::string segment = rest.substr(begin, end - begin);
    if (segment == "." || segment == "..") return false;
    begin = end + 1;
  }
  path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += rest[0] == '/' ? rest.substr(1) : rest;
  return true;
}

std::string EscapeUrlPath(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
        (c != '\0' && std::strchr("-._~/", c) != nullptr)) {
      escaped += c;
    } else {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 15];
    }
  }
  return escaped;
}
