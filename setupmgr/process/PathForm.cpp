#include "PathForm.h"

#include "AnsiText.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string CollapseSeparators(const std::string& path) {
  std::string result;
  result.reserve(path.size());
  size_t i = 0;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    result = "\\\\";
    i = 2;
  }
  bool afterSeparator = !result.empty();
  while (i < path.size()) {
    const char c = path[i];
    if (IsAnsiLeadByte(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
      result.append(path, i, 2);
      i += 2;
      afterSeparator = false;
      continue;
    }
    if (IsSeparator(c)) {
      if (!afterSeparator) result += '\\';
      afterSeparator = true;
    } else {
      result += c;
      afterSeparator = false;
    }
    ++i;
  }
  return result;
}

std::string FileNamePart(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsAnsiLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;
    } else if (IsSeparator(path[i])) {
      start = i + 1;
    }
  }
  return path.substr(start);
}
