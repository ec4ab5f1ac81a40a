#include "ZipEntryName.h"

#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, also with an extension ("nul.txt").
bool IsDeviceName(const std::string& component) {
  std::string stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = Upper(c);
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* name : kNames) {
    if (stem == name) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

bool IsPlainComponent(const std::string& component) {
  if (component.empty() || component == "." || component == "..") return false;
  for (const char c : component) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr(":*?\"<>|", c) != nullptr) return false;
  }
  const char last = component.back();
  return last != '.' && last != ' ' && !IsDeviceName(component);
}

}  // namespace

bool IsSafeZipEntryName(const std::string& name) {
  if (name.empty() || IsSeparator(name[0])) return false;
  size_t begin = 0;
  while (begin < name.size()) {
    size_t end = begin;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (!IsPlainComponent(name.substr(begin, end - begin))) return false;
    if (end + 1 == name.size()) return true;  // a folder entry
    begin = end + 1;
  }
  return true;
}
