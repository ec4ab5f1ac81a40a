#include "FileQueries.h"

#include <windows.h>

#include <vector>

#include "WinHandles.h"

namespace {

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) { ::FindClose(value); }
};

}  // namespace

bool ReadFileVersion(const std::string& path, CFileVersion& version) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || info == nullptr ||
      length < sizeof *info) {
    return false;
  }
  version.m_ms = info->dwFileVersionMS;
  version.m_ls = info->dwFileVersionLS;
  return true;
}

bool AnyFileMatches(const std::string& path) {
  WIN32_FIND_DATAA found;
  const CUniqueResource<FindHandleTraits> search(::FindFirstFileA(path.c_str(), &found));
  return search.IsValid();
}
