#include "RegistryText.h"

#include "AnsiText.h"

RegistryRoot ParseRootName(const char* text) {
  if (text == nullptr) return RegistryRoot::kNone;
  if (EqualNoCase(text, "HKLM")) return RegistryRoot::kLocalMachine;
  if (EqualNoCase(text, "HKCU")) return RegistryRoot::kCurrentUser;
  if (EqualNoCase(text, "HKCR")) return RegistryRoot::kClassesRoot;
  return RegistryRoot::kNone;
}

bool NamesWholeRoot(const char* keyPath) {
  if (keyPath == nullptr) return true;
  for (const char* at = keyPath; *at != '\0'; ++at) {
    if (*at != '\\') return false;
  }
  return true;
}

std::string FileBaseName(const std::string& path) {
  // Walked character by character: a trail byte is never taken for a separator or a dot.
  size_t nameStart = 0;
  size_t lastDot = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(path[i]);
    if (IsAnsiLeadByte(byte) && i + 1 < path.size()) {
      ++i;
    } else if (byte == '\\' || byte == '/' || byte == ':') {
      nameStart = i + 1;
      lastDot = std::string::npos;
    } else if (byte == '.') {
      lastDot = i;
    }
  }
  const size_t nameEnd = lastDot == std::string::npos ? path.size() : lastDot;
  return path.substr(nameStart, nameEnd - nameStart);
}
