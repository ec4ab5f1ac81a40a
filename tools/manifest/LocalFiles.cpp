#include "LocalFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct FolderCloser {
  void operator()(DIR* folder) const { closedir(folder); }
};

bool IsFolder(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

// Removes the folder's contents and the folder; links are removed, never followed.
void RemoveTree(const std::string& folder) {
  std::vector<std::string> pending = {folder};
  std::vector<std::string> folders;
  while (!pending.empty()) {
    const std::string current = pending.back();
    pending.pop_back();
    folders.push_back(current);
    std::unique_ptr<DIR, FolderCloser> listing(opendir(current.c_str()));
    if (!listing) continue;
    while (const dirent* entry = readdir(listing.get())) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      const std::string path = JoinLocalPath(current, name);
      if (IsFolder(path)) {
        pending.push_back(path);
      } else {
        std::remove(path.c_str());
      }
    }
  }
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
#ifdef _WIN32
    ::RemoveDirectoryA(it->c_str());
#else
    ::rmdir(it->c_str());
#endif
  }
}

}  // namespace

std::string JoinLocalPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/' || folder.back() == kSeparator) return folder + name;
  return folder + kSeparator + name;
}

bool ListFolderFiles(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  std::unique_ptr<DIR, FolderCloser> listing(opendir(folder.c_str()));
  if (!listing) return false;
  while (const dirent* entry = readdir(listing.get())) {
    const std::string name = entry->d_name;
    CLocalFile file;
    if (name != "." && name != ".." && StatLocalFile(JoinLocalPath(folder, name), file))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return true;
}

bool StatLocalFile(const std::string& path, CLocalFile& file) {
#ifdef _WIN32
  struct _stat64 info;
  if (::_stat64(path.c_str(), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return false;
#else
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
#endif
  file.size = static_cast<uint64_t>(info.st_size);
  file.modified = static_cast<int64_t>(info.st_mtime);
  return true;
}

bool ReadLocalFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  char buffer[65536];
  size_t read;
  while ((read = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, read);
  return std::ferror(file.get()) == 0;
}

bool WriteLocalFile(const std::string& path, const std::string& bytes) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
  return std::fclose(file.release()) == 0;
}

CScratchFolder::CScratchFolder() {
#ifdef _WIN32
  char temp[MAX_PATH];
  const DWORD length = ::GetTempPathA(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) return;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path =
        JoinLocalPath(temp, "velsetup-manifest-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                std::to_string(::GetTickCount() + attempt));
    if (::CreateDirectoryA(path.c_str(), nullptr)) {
      m_path = path;
      return;
    }
  }
#else
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      JoinLocalPath(base != nullptr && *base != '\0' ? base : "/tmp", "velsetup-manifest.XXXXXX");
  if (::mkdtemp(&pattern[0]) != nullptr) m_path = pattern;
#endif
}

CScratchFolder::~CScratchFolder() {
  if (!m_path.empty()) RemoveTree(m_path);
}
