// Download URLs reach the program from the manifest and from redirects: whatever the parts, an
// accepted URL lies inside the trusted location and nothing worse than a refusal happens.
// Input: raw URL, decoded host and decoded path, separated by line feeds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "LogCapture.h"
#include "SetupLog.h"
#include "UrlCheck.h"

namespace {

constexpr char kSuffix[] = ".orbina.com";
constexpr char kPrefix[] = "orbina/velsetup/";
constexpr std::string_view kLineStart = "[VelSetup][CheckDownloadURL] Failed, strUrlPath = ";

std::string_view NextPart(std::string_view& rest) {
  const size_t end = rest.find('\n');
  const std::string_view part = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return part;
}

bool HasDotSegment(std::string_view path) {
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = path.find('/', begin);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(begin, end - begin);
    if (segment == "." || segment == "..") return true;
    begin = end + 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LogInit(0, 2);
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view raw = NextPart(rest);
  const std::string_view host = NextPart(rest);
  const std::string_view path = NextPart(rest);

  const bool accepted = CheckDownloadUrlParts({raw, host, path}, kSuffix, kPrefix);
  const auto& lines = CapturedLogLines();
  if (lines.size() > 1 || (accepted && !lines.empty())) __builtin_trap();
  if (!lines.empty() && lines[0].compare(0, kLineStart.size(), kLineStart) != 0) __builtin_trap();
  if (!accepted) return 0;
  if (SchemeOf(raw) == UrlScheme::kOther) __builtin_trap();

  const size_t first = path.find('/');
  if (first == std::string_view::npos || path.compare(first + 1, 16, kPrefix) != 0) __builtin_trap();
  if (host.size() < 11 || host.substr(host.size() - 11) != kSuffix || host.back() == '.') __builtin_trap();
  if (host.size() > kUrlHostLimit || path.size() > kUrlPathLimit) __builtin_trap();
  for (const std::string_view text : {raw, host, path}) {
    for (const char c : text) {
      if (static_cast<unsigned char>(c) <= ' ' || c == '\x7F' || c == '\\') __builtin_trap();
    }
  }
  // Neither a server that takes the query off first nor one that does not sees a dot segment.
  if (HasDotSegment(path) || HasDotSegment(path.substr(0, path.find_first_of("?#")))) __builtin_trap();
  if (raw.find("%00") != std::string_view::npos) __builtin_trap();
  return 0;
}
