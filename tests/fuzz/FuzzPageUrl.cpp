// The URL of the page that hosts the control comes from the page's browser: whatever it is, an
// accepted URL is an http or https URL whose authority is a plain host of the trusted suffix.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "PageUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr std::string_view kSuffix = ".orbina.com";
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  if (!IsTrustedPageUrl(url, kSuffix.data())) return 0;

  const size_t begin = url.find("://") + 3;
  const std::string_view scheme = url.substr(0, begin);
  if (scheme.size() != 7 && scheme.size() != 8) __builtin_trap();
  const size_t end = url.find_first_of("/\\?#", begin);
  const std::string_view authority =
      url.substr(begin, end == std::string_view::npos ? url.npos : end - begin);
  const std::string_view host = authority.substr(0, authority.find(':'));
  if (host.size() < kSuffix.size() || host.substr(host.size() - kSuffix.size()) != kSuffix) __builtin_trap();
  for (const char c : url.substr(0, begin + authority.size())) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '\x7F' || c == '@' || c == '%') __builtin_trap();
  }
  return 0;
}
