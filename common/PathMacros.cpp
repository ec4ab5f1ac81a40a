#include "PathMacros.h"

#include "AnsiText.h"
#include "SetupLog.h"

namespace {

struct Macro {
  const char* name;
  const std::string CFolderValues::*folder;
};

// Searched in this order; only the first occurrence of each is replaced.
constexpr Macro kMacros[] = {
    {"[PROGRAMS]", &CFolderValues::m_strProgramFiles},   {"[WINDOWS]", &CFolderValues::m_strWindows},
    {"%SYSTEMROOT%", &CFolderValues::m_strWindows},      {"[SYSTEM]", &CFolderValues::m_strSystem},
    {"[PROGRAMMENU]", &CFolderValues::m_strProgramMenu}, {"[DESKTOP]", &CFolderValues::m_strDesktop},
    {"[OSVERSION]", &CFolderValues::m_strOSVersion},     {"[DOWNLOADED]", &CFolderValues::m_strDownloaded},
};

}  // namespace

CFolderValues& MacroFolders() {
  static CFolderValues folders;
  return folders;
}

bool ExpandPathMacros(const CFolderValues& folders, const char* text, std::string& path) {
  std::string result = text;
  std::string upper = UpperCaseAnsi(result);
  for (const Macro& macro : kMacros) {
    const size_t at = upper.find(macro.name);
    if (at == std::string::npos) continue;
    const std::string& folder = folders.*macro.folder;
    if (folder.empty()) {
      LogWrite(1, "[ExpandPathMacros] %s has no value (%s)", macro.name, text);
      return false;
    }
    result =
        result.substr(0, at) + folder + "\\" + result.substr(at + std::char_traits<char>::length(macro.name));
    upper = UpperCaseAnsi(result);
  }
  if (result.size() > 2 && result.back() == '\\') result.pop_back();
  if (result.empty()) {
    LogWrite(1, "[ExpandPathMacros] Empty path (%s)", text);
    return false;
  }
  if (result.size() > kMaxPathLength) {
    LogWrite(1, "[ExpandPathMacros] Path too long (%u > %u characters: %s)",
             static_cast<unsigned>(result.size()), static_cast<unsigned>(kMaxPathLength), text);
    return false;
  }
  path = result;
  return true;
}
