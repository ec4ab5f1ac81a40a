#include "ControlMacros.h"

#include "AnsiText.h"

namespace {

struct Macro {
  const char* name;
  const std::string CControlFolders::*folder;
};

const Macro kMacros[] = {
    {"[PROGRAMS]", &CControlFolders::m_strPrograms},     {"[WINDOWS]", &CControlFolders::m_strWindows},
    {"[SYSTEM]", &CControlFolders::m_strSystem},         {"[DESKTOP]", &CControlFolders::m_strDesktop},
    {"[DOWNLOADED]", &CControlFolders::m_strDownloaded},
};

// Position of the first single-byte `c` that is not the second byte of a double-byte character.
size_t FindSingleByte(const std::string& text, char c) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == c) return i;
    if (IsAnsiLeadByte(static_cast<unsigned char>(text[i]))) ++i;
  }
  return std::string::npos;
}

std::string WithBackslashes(const std::string& text) {
  std::string result = text;
  for (size_t i = 0; i < result.size(); ++i) {
    if (result[i] == '/') result[i] = '\\';
    if (IsAnsiLeadByte(static_cast<unsigned char>(result[i]))) ++i;
  }
  return result;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$: the system opens the device whatever
// folder or extension the name carries.
bool IsDeviceName(std::string part) {
  part = part.substr(0, part.find('.'));
  while (!part.empty() && part.back() == ' ') part.pop_back();
  part = UpperCaseAnsi(part);
  if (part == "CON" || part == "PRN" || part == "AUX" || part == "NUL" || part == "CONIN$" ||
      part == "CONOUT$") {
    return true;
  }
  return part.size() == 4 && (part.compare(0, 3, "COM") == 0 || part.compare(0, 3, "LPT") == 0) &&
         part[3] >= '1' && part[3] <= '9';
}

}  // namespace

bool ExpandControlMacros(const CControlFolders& folders, const std::string& name, std::string& path) {
  std::string result = UpperCaseAnsi(name);
  for (const Macro& macro : kMacros) {
    const size_t at = result.find(macro.name);
    if (at == std::string::npos) continue;
    const std::string& folder = folders.*macro.folder;
    if (folder.empty()) return false;
    result.replace(at, std::char_traits<char>::length(macro.name), folder);
  }
  const size_t slash = FindSingleByte(result, '/');
  if (slash != std::string::npos) result[slash] = '\\';
  if (result.size() > kMaxQueryTextBytes) return false;
  path = result;
  return true;
}

bool IsLocalFileName(const std::string& path) {
  const std::string name = WithBackslashes(path);
  const size_t start = name.find_first_not_of(" \t");
  if (start == std::string::npos) return true;
  if (name.compare(start, 2, "\\\\") == 0 || name.compare(start, 4, "\\??\\") == 0) return false;
  // Every part between separators and drive colons, as the system looks for device names.
  std::string part;
  for (size_t i = start; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '\\' || name[i] == ':') {
      if (IsDeviceName(part)) return false;
      part.clear();
      continue;
    }
    part += name[i];
    if (IsAnsiLeadByte(static_cast<unsigned char>(name[i])) && i + 1 < name.size()) part += name[++i];
  }
  return true;
}
