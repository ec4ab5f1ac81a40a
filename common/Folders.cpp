#include "Folders.h"

#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "PathMacros.h"
#include "PeVersion.h"
#include "SetupLog.h"
#include "WinHandles.h"

namespace {

// Read access plus set-value and create-subkey rights: the reader's documented access mask.
constexpr REGSAM kReaderAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
static_assert(kReaderAccess == 0x2001F, "registry reader access mask");
constexpr size_t kReaderLimit = 512;  // bytes, terminating zero included

// A file up to this size is read whole for its version; a larger one is mapped as plain data.
constexpr size_t kWholeReadLimit = 4 * 1024 * 1024;

constexpr char kHomeKey[] = "SOFTWARE\\Orbina.Com\\KOREAN";
constexpr char kTempFolderName[] = "VelTemp";
constexpr char kVersionVectorKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Version Vector";
constexpr char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct ItemIdListTraits {  // shell item lists, freed through the shell's allocator
  using Type = LPITEMIDLIST;
  static Type Invalid() { return nullptr; }
  static void Close(Type value) {
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&allocator))) {
      allocator->Free(value);
      allocator->Release();
    }
  }
};
using CScopedItemIdList = CUniqueResource<ItemIdListTraits>;

VersionSource g_versionSource = ::GetVersionExA;

CSystemFolders& Folders() {
  static CSystemFolders folders;
  return folders;
}

// A REG_SZ or REG_EXPAND_SZ value that fits `limit` bytes with its terminating zero, which the
// stored data need not contain.
bool ReadRegistryText(HKEY root, const char* key, const char* valueName, REGSAM access, size_t limit,
                      std::string& text) {
  CScopedRegKey opened;
  if (::RegOpenKeyExA(root, key, 0, access, opened.Put()) != ERROR_SUCCESS) return false;
  std::vector<char> buffer(limit);
  DWORD type = REG_NONE;
  DWORD size = static_cast<DWORD>(buffer.size());
  if (::RegQueryValueExA(opened.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS) {
    return false;
  }
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > buffer.size()) return false;
  const size_t length = strnlen(buffer.data(), size);
  if (length >= limit) return false;  // no room left for the terminating zero
  text.assign(buffer.data(), length);
  return true;
}

// The whole text a GetWindowsDirectoryA-style call reports, however long.
template <typename Call>
std::string ReadSystemPath(Call call) {
  std::vector<char> buffer(MAX_PATH);
  DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length);
    length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) return {};
  }
  return std::string(buffer.data(), length);
}

std::string ShellFolder(int csidl) {
  CScopedItemIdList list;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, list.Put()))) return {};
  char path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListA(list.Get(), path)) return {};
  return path;
}
ShellFolderSource g_shellFolderSource = ShellFolder;

// A value that is empty or does not fit a path buffer whole is left empty: never cut into
// another path, never used as the root of the current drive.
std::string AcceptFolder(const char* name, const std::string& value) {
  if (value.empty()) {
    LogWrite(1, "[InitFolders] %s is empty", name);
    return {};
  }
  if (value.size() > kMaxPathLength) {
    LogWrite(1, "[InitFolders] %s is too long (%u characters)", name, static_cast<unsigned>(value.size()));
    return {};
  }
  return value;
}

// A drive path such as C:\ or a UNC path; anything else depends on the current folder.
bool IsAbsolutePath(const std::string& path) {
  const bool drive = path.size() >= 3 &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && path[2] == '\\';
  const bool unc = path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
  return drive || unc;
}

bool ReadIE7Flag() {
  std::string version;
  return ReadRegistryText(HKEY_LOCAL_MACHINE, kVersionVectorKey, "IE", KEY_QUERY_VALUE, MAX_PATH, version) &&
         !version.empty() && version[0] == '7';
}

std::string TempFolder(const CSystemFolders& values) {
  std::string folder;
  if (values.m_dwPlatformId == VER_PLATFORM_WIN32_NT && values.m_dwMajorVersion >= 6) {
    // A "Home" that cannot take the folder name within a path buffer counts as not set.
    std::string home;
    if (ReadRegistryText(HKEY_CURRENT_USER, kHomeKey, "Home", KEY_QUERY_VALUE, MAX_PATH, home) &&
        !home.empty() && home.size() + 1 + std::strlen(kTempFolderName) <= kMaxPathLength) {
      folder = home + "\\" + kTempFolderName;
    } else {
      folder = values.m_strWindows.substr(0, 3) + kTempFolderName;  // on its drive root (C:\ of C:\Windows)
    }
  } else {
    folder = ReadSystemPath([](char* buffer, DWORD size) { return ::GetTempPathA(size, buffer); });
  }
  folder = AcceptFolder("Temporary folder", folder);
  if (!folder.empty() && !IsAbsolutePath(folder)) {
    LogWrite(1, "[InitFolders] Temporary folder is not an absolute path (%s)", folder.c_str());
    folder.clear();
  }
  return folder;
}

}  // namespace

const CSystemFolders& SystemFolders() { return Folders(); }

void SetVersionSourceForTesting(VersionSource source) { g_versionSource = source ? source : ::GetVersionExA; }
void SetShellFolderSourceForTesting(ShellFolderSource source) {
  g_shellFolderSource = source ? source : ShellFolder;
}

void InitFolders() {
  CSystemFolders values;
  values.m_bIE7 = ReadIE7Flag();

  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (g_versionSource(&version)) {
    values.m_dwMajorVersion = version.dwMajorVersion;
    values.m_dwMinorVersion = version.dwMinorVersion;
    values.m_dwBuildNumber = version.dwBuildNumber;
    values.m_dwPlatformId = version.dwPlatformId;
  } else {
    LogWrite(1, "[InitFolders] GetVersionEx failed (Error Code = %d)", static_cast<int>(::GetLastError()));
  }
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d", static_cast<int>(values.m_dwMajorVersion),
                static_cast<int>(values.m_dwMinorVersion));
  values.m_strOSVersion = text;

  if (values.m_dwMajorVersion <= 4) {
    values.m_strProgramFiles =
        AcceptFolder("Program Files folder",
                     ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", ""));
    values.m_strWindows = AcceptFolder("Windows folder", ReadSystemPath([](char* buffer, DWORD size) {
                                         return ::GetWindowsDirectoryA(buffer, size);
                                       }));
    values.m_strSystem = AcceptFolder("System folder", ReadSystemPath([](char* buffer, DWORD size) {
                                        return ::GetSystemDirectoryA(buffer, size);
                                      }));
  } else {
    values.m_strProgramFiles = AcceptFolder("Program Files folder", g_shellFolderSource(CSIDL_PROGRAM_FILES));
    values.m_strWindows = AcceptFolder("Windows folder", g_shellFolderSource(CSIDL_WINDOWS));
    values.m_strSystem = AcceptFolder("System folder", g_shellFolderSource(CSIDL_SYSTEM));
  }
  values.m_strTempFolder = TempFolder(values);
  // Without a Windows folder the name alone would be a path on the current drive.
  values.m_strDownloaded = AcceptFolder(
      "Downloaded Program Files folder",
      values.m_strWindows.empty() ? std::string() : values.m_strWindows + "\\Downloaded Program Files");
  values.m_strDesktop =
      AcceptFolder("Desktop folder", ReadRegistryString(HKEY_CURRENT_USER, kShellFoldersKey, "Desktop", ""));
  values.m_strProgramMenu = AcceptFolder(
      "Programs menu folder", ReadRegistryString(HKEY_CURRENT_USER, kShellFoldersKey, "Programs", ""));

  Folders() = values;
  CFolderValues& macros = MacroFolders();
  macros.m_strProgramFiles = values.m_strProgramFiles;
  macros.m_strWindows = values.m_strWindows;
  macros.m_strSystem = values.m_strSystem;
  macros.m_strProgramMenu = values.m_strProgramMenu;
  macros.m_strDesktop = values.m_strDesktop;
  macros.m_strOSVersion = values.m_strOSVersion;
  macros.m_strDownloaded = values.m_strDownloaded;
}

std::string ReadRegistryString(HKEY root, const char* key, const char* valueName, const char* defaultValue) {
  std::string text;
  if (!ReadRegistryText(root, key, valueName, kReaderAccess, kReaderLimit, text)) return defaultValue;
  return text;
}

bool ReadFileVersion(const char* path, DWORD& ms, DWORD& ls) {
  // The file's own bytes, never the loader's mapping of it: the same checked reader as the
  // manifest tool's. Shared as the loader shares a file it reads as data.
  const CScopedFile file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size;
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
      static_cast<uint64_t>(size.QuadPart) > SIZE_MAX) {
    return false;
  }
  const size_t length = static_cast<size_t>(size.QuadPart);
  uint32_t high = 0;
  uint32_t low = 0;
  bool read = false;
  if (length <= kWholeReadLimit) {
    std::vector<uint8_t> bytes(length);
    DWORD got = 0;
    read = ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(length), &got, nullptr) &&
           ReadPeFileVersion(bytes.data(), got, high, low);
  } else {
    const CScopedHandle mapping(::CreateFileMappingA(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    const void* view = mapping ? ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (view == nullptr) return false;
    read = ReadPeFileVersion(static_cast<const uint8_t*>(view), length, high, low);
    ::UnmapViewOfFile(view);
  }
  if (!read) return false;
  ms = high;
  ls = low;
  return true;
}
