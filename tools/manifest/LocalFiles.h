// The local files the manifest tool reads and writes: the release folder, the files published
// under the base URL, archives it packs and the scratch folder of archive checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CLocalFile {
  uint64_t size = 0;
  int64_t modified = 0;  // last write, seconds since 1970 (UTC)
};

// The names of the regular files directly in `folder`, sorted byte-wise; false when it cannot be
// read.
bool ListFolderFiles(const std::string& folder, std::vector<std::string>& names);
// False when `path` is not a regular file.
bool StatLocalFile(const std::string& path, CLocalFile& file);
bool ReadLocalFile(const std::string& path, std::string& bytes);
bool WriteLocalFile(const std::string& path, const std::string& bytes);

// A new empty folder below the system's temporary folder, removed with everything in it when
// the object goes.
class CScratchFolder {
 public:
  CScratchFolder();
  ~CScratchFolder();
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;

  bool Valid() const { return !m_path.empty(); }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

// "folder" + separator + "name".
std::string JoinLocalPath(const std::string& folder, const std::string& name);
