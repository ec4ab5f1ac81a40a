#include "PageUrl.h"

#include <string>

#include "AnsiText.h"
#include "UrlCheck.h"

bool IsTrustedPageUrl(std::string_view url, const char* hostSuffix) {
  constexpr size_t npos = std::string_view::npos;
  const size_t colon = url.find(':');
  if (colon == npos) return false;
  const std::string scheme(url.substr(0, colon));
  if (!EqualNoCase(scheme.c_str(), "http") && !EqualNoCase(scheme.c_str(), "https")) return false;
  if (url.substr(colon + 1, 2) != "//") return false;
  // A browser ends the authority at a backslash as at a slash.
  const size_t begin = colon + 3;
  size_t end = url.find_first_of("/\\?#", begin);
  if (end == npos) end = url.size();
  std::string_view host = url.substr(begin, end - begin);
  const size_t port = host.find(':');
  if (port != npos) {
    if (host.find_first_not_of("0123456789", port + 1) != npos) return false;
    host = host.substr(0, port);
  }
  return CheckUrlHost(url.substr(0, end), host, hostSuffix);
}
