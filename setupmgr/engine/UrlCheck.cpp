#include "UrlCheck.h"

#include <string>
#include <utility>

#include "AnsiText.h"
#include "SetupLog.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HasControlOrBlank(std::string_view text) {
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F) return true;
  }
  return false;
}

// Where the authority (user information, host, port) begins and ends in the raw URL.
std::pair<size_t, size_t> AuthorityBounds(std::string_view raw) {
  size_t begin = raw.find(':');
  begin = begin == std::string_view::npos ? raw.size() : raw.find_first_not_of('/', begin + 1);
  if (begin == std::string_view::npos) begin = raw.size();
  const size_t end = raw.find_first_of("/?#", begin);
  return {begin, end == std::string_view::npos ? raw.size() : end};
}

bool IsPlainRawText(std::string_view raw) {
  if (HasControlOrBlank(raw) || raw.find('\\') != std::string_view::npos) return false;
  if (raw.find("%00") != std::string_view::npos) return false;
  const auto [begin, end] = AuthorityBounds(raw);
  return raw.substr(begin, end - begin).find_first_of("@%") == std::string_view::npos;
}

// The last characters of the host must start at a character boundary: a suffix that begins
// inside a double-byte character does not end this host.
bool HostEndsWith(std::string_view host, std::string_view suffix) {
  if (host.size() < suffix.size()) return false;
  const size_t start = host.size() - suffix.size();
  size_t at = 0;
  while (at < start) {
    at += (IsAnsiLeadByte(static_cast<unsigned char>(host[at])) && at + 1 < host.size()) ? 2 : 1;
  }
  return at == start && host.substr(start) == suffix;
}

bool PathPrefixMatches(std::string_view path, const char* prefix) {
  constexpr size_t npos = std::string_view::npos;
  const size_t first = path.find('/');
  if (first == npos) return false;
  const size_t second = path.find('/', first + 1);
  // Without a second slash the search starts over and finds the first one again.
  const size_t third = path.find('/', second == npos ? 0 : second + 1);
  if (third == npos) return false;
  const std::string cut(path.substr(first + 1, third - first));
  if (cut == prefix) return true;
  LogWrite(1, "[CheckDownloadURL] Failed, strUrlPath = %s", cut.c_str());
  return false;
}

// A server that normalises "." and ".." segments would serve a file outside the prefix.
bool HasDotSegment(std::string_view path) {
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = path.find('/', begin);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(begin, end - begin);
    segment = segment.substr(0, segment.find_first_of("?#"));
    if (segment == "." || segment == "..") return true;
    begin = end + 1;
  }
  return false;
}

bool IsPlainPath(std::string_view path) {
  return !HasControlOrBlank(path) && path.find('\\') == std::string_view::npos && !HasDotSegment(path);
}

bool IsPlainHost(std::string_view host) {
  if (HasControlOrBlank(host) || host.empty() || host.back() == '.') return false;
  return host.find_first_of("\\/@") == std::string_view::npos;
}

}  // namespace

UrlScheme SchemeOf(std::string_view raw, size_t* length) {
  static constexpr std::pair<std::string_view, UrlScheme> kSchemes[] = {{"http://", UrlScheme::kHttp},
                                                                        {"https://", UrlScheme::kHttps}};
  for (const auto& [text, scheme] : kSchemes) {
    if (raw.size() >= text.size() &&
        EqualNoCase(std::string(raw.substr(0, text.size())).c_str(), text.data())) {
      if (length != nullptr) *length = text.size();
      return scheme;
    }
  }
  if (length != nullptr) *length = 0;
  return UrlScheme::kOther;
}

std::string DecodeEscapes(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

bool CheckUrlHost(std::string_view raw, std::string_view host, const char* hostSuffix) {
  return IsPlainRawText(raw) && host.size() <= kUrlHostLimit && HostEndsWith(host, hostSuffix) &&
         IsPlainHost(host);
}

bool CheckDownloadUrlParts(const CDownloadUrlParts& parts, const char* hostSuffix, const char* pathPrefix) {
  if (SchemeOf(parts.raw) == UrlScheme::kOther || !IsPlainRawText(parts.raw)) return false;
  if (parts.host.size() > kUrlHostLimit || parts.path.size() > kUrlPathLimit) return false;
  if (!HostEndsWith(parts.host, hostSuffix)) return false;
  if (!PathPrefixMatches(parts.path, pathPrefix)) return false;
  if (!IsPlainHost(parts.host) || !IsPlainPath(parts.path)) return false;
  return IsPlainPath(DecodeEscapes(parts.raw.substr(AuthorityBounds(parts.raw).second)));
}

int HexDigitValue(char c) { return HexValue(c); }
