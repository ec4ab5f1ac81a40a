#include "FileQueries.h"

#include <windows.h>

#include "Folders.h"
#include "WinHandles.h"

namespace {

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) { ::FindClose(value); }
};

}  // namespace

bool ReadFileVersion(const std::string& path, CFileVersion& version) {
  // The setup manager's checked reader, so that the control and the update check read one
  // resource alike.
  DWORD ms = 0, ls = 0;
  if (!::ReadFileVersion(path.c_str(), ms, ls)) return false;
  version.m_ms = ms;
  version.m_ls = ls;
  return true;
}

bool AnyFileMatches(const std::string& path) {
  WIN32_FIND_DATAA found;
  const CUniqueResource<FindHandleTraits> search(::FindFirstFileA(path.c_str(), &found));
  return search.IsValid();
}
