#include "Util.h"

#include <windows.h>

#include <string>

namespace {

// True when the folder was created or already exists.
bool CreateOneDirectory(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

bool CUtil::CreateRecursiveDirectory(const char* path) {
  const std::string text = path;
  // The part before the first backslash (the drive) is never created.
  const size_t first = text.find('\\');
  if (first != std::string::npos) {
    for (size_t at = text.find('\\', first + 1); at != std::string::npos; at = text.find('\\', at + 1)) {
      if (!CreateOneDirectory(text.substr(0, at))) return false;
    }
  }
  return CreateOneDirectory(text);
}

unsigned long CUtil::LastError() { return ::GetLastError(); }

long CUtil::CurrentTimeZoneBias() {
  TIME_ZONE_INFORMATION zone;
  switch (::GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_DAYLIGHT:
      return zone.Bias + zone.DaylightBias;
    case TIME_ZONE_ID_STANDARD:
      return zone.Bias + zone.StandardBias;
    case TIME_ZONE_ID_UNKNOWN:
      return zone.Bias;
    default:
      return 0;
  }
}
