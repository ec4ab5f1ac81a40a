#include "VersionText.h"

#include "Decimal.h"

namespace {

std::string TrimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

CFileVersion ParseVersionText(const std::string& text) {
  uint32_t numbers[4] = {};
  std::string rest = text;
  for (uint32_t& number : numbers) {
    const size_t comma = rest.find(',');
    if (comma == std::string::npos) {
      number = static_cast<uint32_t>(ParseAtoi(rest.c_str()));
    } else {
      number = static_cast<uint32_t>(ParseAtoi(rest.substr(0, comma).c_str()));
      rest = TrimSpaces(rest.substr(comma + 1));
    }
  }
  CFileVersion version;
  version.m_ms = (numbers[0] << 16) | (numbers[1] & 0xFFFFu);
  version.m_ls = (numbers[2] << 16) | (numbers[3] & 0xFFFFu);
  return version;
}

std::string FormatVersion(const CFileVersion& version) {
  return std::to_string(version.m_ms >> 16) + "," + std::to_string(version.m_ms & 0xFFFFu) + "," +
         std::to_string(version.m_ls >> 16) + "," + std::to_string(version.m_ls & 0xFFFFu);
}

bool IsOlderVersion(const CFileVersion& installed, const CFileVersion& wanted) {
  if (installed.m_ms != wanted.m_ms) return installed.m_ms < wanted.m_ms;
  return installed.m_ls < wanted.m_ls;
}
