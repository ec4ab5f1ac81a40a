#include "ManifestTrust.h"

#include "UrlCheck.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool ReadSha256Text(std::string_view text, CSha256Digest& digest) {
  if (text.size() != 2 * digest.size()) return false;
  for (size_t i = 0; i < digest.size(); ++i) {
    const int high = HexDigitValue(text[2 * i]), low = HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return true;
}

std::string Sha256Text(const CSha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

bool ReadSerialText(std::string_view text, uint64_t& serial) {
  if (text.empty() || text.size() > 20) return false;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  serial = value;
  return true;
}

std::string SerialStoreName(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
  url = url.substr(0, url.find_first_of("?#"));
  const std::string decoded = DecodeEscapes(url);
  std::string name;
  size_t begin = 0;
  for (bool first = true; begin <= decoded.size(); first = false) {
    size_t end = decoded.find('/', begin);
    if (end == std::string::npos) end = decoded.size();
    const std::string_view segment(decoded.data() + begin, end - begin);
    if (first || (!segment.empty() && segment != ".")) {
      if (!first) name += '/';
      for (const char c : segment) name += Lower(c);
    }
    begin = end + 1;
  }
  return name;
}
