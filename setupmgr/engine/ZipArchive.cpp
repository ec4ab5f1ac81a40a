#include "ZipArchive.h"

#include <unzip.h>

#include <cstdio>
#include <memory>

#include "ZipEntryName.h"

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
constexpr size_t kMaxPathLength = 259;  // the program's path buffers hold 260 bytes

bool MakeFolder(const std::string& path) {
#ifdef _WIN32
  if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
  struct stat info;
  return ::mkdir(path.c_str(), 0777) == 0 || (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
#endif
}

// Creates the folders of `relative` (already checked) below `folder`, up to its last separator.
void MakeFolders(const std::string& folder, const std::string& relative) {
  for (size_t at = relative.find(kSeparator); at != std::string::npos;
       at = relative.find(kSeparator, at + 1)) {
    const std::string path = folder + kSeparator + relative.substr(0, at);
    if (!MakeFolder(path)) throw CFileException("cannot create folder " + path);
  }
}

#ifdef _WIN32
// The normal form of the target must still begin with the folder's.
bool LiesInside(const std::string& folder, const std::string& path) {
  char fullFolder[MAX_PATH];
  char fullPath[MAX_PATH];
  const DWORD folderLength = ::GetFullPathNameA(folder.c_str(), MAX_PATH, fullFolder, nullptr);
  const DWORD pathLength = ::GetFullPathNameA(path.c_str(), MAX_PATH, fullPath, nullptr);
  if (folderLength == 0 || folderLength >= MAX_PATH || pathLength == 0 || pathLength >= MAX_PATH)
    return false;
  std::string prefix(fullFolder, folderLength);
  if (prefix.back() != '\\') prefix += '\\';
  return std::string(fullPath, pathLength).compare(0, prefix.size(), prefix) == 0;
}
#else
bool LiesInside(const std::string&, const std::string&) { return true; }
#endif

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void CZipArchive::Open(const char* path) {
  Close();
  m_zip = unzOpen64(path);
  if (m_zip == nullptr) throw CZipException(CZipException::badArchive, std::string("cannot open ") + path);
  for (int status = unzGoToFirstFile(m_zip); status == UNZ_OK; status = unzGoToNextFile(m_zip)) {
    unz64_file_pos position;
    if (unzGetFilePos64(m_zip, &position) != UNZ_OK) break;
    m_entries.push_back({position.pos_in_zip_directory, position.num_of_file});
  }
}

void CZipArchive::Close() {
  if (m_zip != nullptr) unzClose(m_zip);
  m_zip = nullptr;
  m_entries.clear();
}

void CZipArchive::ExtractFile(int index, const char* folder, size_t bufferSize) {
  if (m_zip == nullptr || index < 0 || index >= GetCount()) {
    throw CZipException(CZipException::badEntry, "no such entry");
  }
  unz64_file_pos position = {m_entries[index].posInCentralDir, m_entries[index].numFile};
  unz_file_info64 info;
  char name[1024];
  if (unzGoToFilePos64(m_zip, &position) != UNZ_OK ||
      unzGetCurrentFileInfo64(m_zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
      info.size_filename >= sizeof name) {
    throw CZipException(CZipException::badArchive, "damaged central directory");
  }
  const std::string entryName(name, info.size_filename);
  if (!IsSafeZipEntryName(entryName)) throw CFileException("refused entry name " + entryName);

  std::string relative = entryName;
  for (char& c : relative) {
    if (c == '/' || c == '\\') c = kSeparator;
  }
  const bool isFolder = relative.back() == kSeparator;
  if (isFolder) relative.pop_back();
  const std::string base = folder;
  const std::string target = base + kSeparator + relative;
  if (target.size() > kMaxPathLength) throw CFileException("path too long " + target);
  if (!LiesInside(base, target)) throw CFileException("outside the folder " + target);

  MakeFolders(base, relative);
  if (isFolder) {
    if (!MakeFolder(target)) throw CFileException("cannot create folder " + target);
    return;
  }

  if (m_pCallback != nullptr) {
    m_pCallback->m_szFileInZip = entryName;
    m_pCallback->m_uTotalToProcess = static_cast<uint32_t>(info.uncompressed_size);
    m_pCallback->m_uProcessed = 0;
    m_pCallback->EntryStarted();
  }
  if (unzOpenCurrentFile(m_zip) != UNZ_OK)
    throw CZipException(CZipException::badEntry, "cannot read " + entryName);

  // Whatever ends the copy early, the entry's file does not stay half-written.
  bool complete = false;
  struct Cleanup {
    void* zip;
    const std::string& target;
    bool& complete;
    ~Cleanup() {
      unzCloseCurrentFile(zip);
      if (!complete) std::remove(target.c_str());
    }
  } cleanup{m_zip, target, complete};

  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(target.c_str(), "wb"));
  if (!file) throw CFileException("cannot create " + target);
  std::vector<char> buffer(bufferSize);
  uint64_t written = 0;
  for (;;) {
    const int read = unzReadCurrentFile(m_zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (read < 0) throw CZipException(CZipException::badEntry, "damaged data in " + entryName);
    if (read == 0) break;
    if (std::fwrite(buffer.data(), 1, static_cast<size_t>(read), file.get()) != static_cast<size_t>(read)) {
      throw CFileException("cannot write " + target);
    }
    written += static_cast<uint64_t>(read);
    if (m_pCallback != nullptr) {
      m_pCallback->m_uProcessed = static_cast<uint32_t>(written);
      if (!m_pCallback->EntryData(buffer.data(), static_cast<size_t>(read)) || !m_pCallback->Callback())
        throw CZipException(CZipException::aborted, "aborted");
    }
  }
  // An empty entry still reports once, complete.
  if (written == 0 && m_pCallback != nullptr && !m_pCallback->Callback()) {
    throw CZipException(CZipException::aborted, "aborted");
  }
  if (std::fclose(file.release()) != 0) throw CFileException("cannot write " + target);
  if (written != info.uncompressed_size)
    throw CFileException("size differs from the declared one: " + entryName);
  if (unzCloseCurrentFile(m_zip) != UNZ_OK)
    throw CFileException("CRC differs from the declared one: " + entryName);
  complete = true;
}
