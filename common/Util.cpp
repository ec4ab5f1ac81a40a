#include "Util.h"

#include <windows.h>

#include <string>

namespace {

// True when the folder was created or already exists. A file of that name is no folder: what
// would be created under it cannot be.
bool CreateOneDirectory(const std::string& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
  if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  ::SetLastError(ERROR_ALREADY_EXISTS);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool CUtil::CreateRecursiveDirectory(const char* path) {
  // Most folders exist already: one look instead of one creation per part of the chain.
  const DWORD existing = ::GetFileAttributesA(path);
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
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
