#include "InstallRules.h"

#include "AnsiText.h"

namespace {

const struct {
  const char* name;
  DeleteKeyRoot root;
} kDeleteKeyRoots[] = {
    {"HKEY_LOCAL_MACHINE", DeleteKeyRoot::kLocalMachine},
    {"HKEY_CURRENT_USER", DeleteKeyRoot::kCurrentUser},
    {"HKEY_CLASSES_ROOT", DeleteKeyRoot::kClassesRoot},
    {"HKEY_CURRENT_CONFIG", DeleteKeyRoot::kCurrentConfig},
    {"HKEY_USERS", DeleteKeyRoot::kUsers},
};

// The first backslash that is not the trail byte of a double-byte character.
size_t FirstBackslash(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsAnsiLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;
    } else if (text[i] == '\\') {
      return i;
    }
  }
  return std::string::npos;
}

}  // namespace

CDeleteKeyPath ParseDeleteKeyPath(const std::string& value) {
  CDeleteKeyPath path;
  const size_t backslash = FirstBackslash(value);
  if (backslash == std::string::npos) return path;
  path.hasBackslash = true;
  path.subKey = value.substr(backslash + 1);
  const std::string rootText = value.substr(0, backslash);
  for (const auto& candidate : kDeleteKeyRoots) {
    if (std::string(candidate.name).compare(0, rootText.size(), rootText) == 0) {
      path.root = candidate.root;
      break;
    }
  }
  return path;
}

void CInstalledFiles::Remember(const std::string& name, const std::string& source,
                               const std::string& localPath, bool moved) {
  m_records.push_back({name, source, localPath, moved});
}

bool CInstalledFiles::WasMovedTo(const std::string& localPath) const {
  for (const CRecord& record : m_records) {
    if (record.moved && EqualNoCase(record.localPath.c_str(), localPath.c_str())) return true;
  }
  return false;
}

bool CInstalledFiles::ConflictsWithEarlier(const std::string& name, const std::string& source,
                                           const std::string& localPath) const {
  for (const CRecord& record : m_records) {
    if (!EqualNoCase(record.name.c_str(), name.c_str())) continue;
    if (record.source != source || !EqualNoCase(record.localPath.c_str(), localPath.c_str())) return true;
  }
  return false;
}
