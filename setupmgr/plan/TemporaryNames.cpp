#include "TemporaryNames.h"

#include <cstring>

#include "AnsiText.h"
#include "PathMacros.h"

namespace {

// The offset just past the last separator of text[begin, end), stepping over double-byte
// characters whole, so that a trail byte is never read as a separator.
size_t LastSegmentStart(const std::string& text, size_t begin, size_t end, const char* separators) {
  size_t segment = begin;
  for (size_t i = begin; i < end; ++i) {
    if (IsAnsiLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < end) {
      ++i;
    } else if (std::strchr(separators, text[i]) != nullptr) {
      segment = i + 1;
    }
  }
  return segment;
}

bool EndsWithBackslash(const std::string& text) {
  return !text.empty() && LastSegmentStart(text, 0, text.size(), "\\") == text.size();
}

std::string NameExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Bytes that would make the name a folder path, a stream or a wildcard.
bool FitsFileName(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
  }
  return true;
}

}  // namespace

bool JoinFolderPath(const std::string& folder, const std::string& name, std::string& path) {
  path = EndsWithBackslash(folder) ? folder + name : folder + "\\" + name;
  return path.size() <= kMaxPathLength;
}

std::string UrlExtension(const std::string& url) {
  size_t pathBegin = 0;
  const size_t scheme = url.find("://");
  if (scheme != std::string::npos) {
    pathBegin = url.find_first_of("/?#", scheme + 3);
    if (pathBegin == std::string::npos || url[pathBegin] != '/') return std::string();
  }
  size_t pathEnd = url.find_first_of("?#", pathBegin);
  if (pathEnd == std::string::npos) pathEnd = url.size();
  const size_t segment = LastSegmentStart(url, pathBegin, pathEnd, "/\\");
  const size_t dot = url.rfind('.', pathEnd == 0 ? 0 : pathEnd - 1);
  if (dot == std::string::npos || dot < segment || pathEnd == segment) return std::string();
  return url.substr(dot, pathEnd - dot);
}

bool DownloadedCopyPath(const std::string& folder, const std::string& name, const std::string& url,
                        std::string& path) {
  const std::string extension = UrlExtension(url);
  if (!FitsFileName(extension)) {
    path.clear();
    return false;
  }
  const size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  return JoinFolderPath(folder, base + extension, path);
}

bool NeedsExtraction(const std::string& name, const std::string& url) {
  const std::string extension = UrlExtension(url);
  if (EqualNoCase(NameExtension(name).c_str(), extension.c_str())) return false;
  return EqualNoCase(extension.c_str(), ".zip");
}
