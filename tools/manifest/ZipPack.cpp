#include "ZipPack.h"

#include <zip.h>

#include <cstdio>
#include <memory>

#include "LocalFiles.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

constexpr uint64_t kZip64Threshold = 0xFFFFFFFFull;

// Adds one entry; false with `error` when its file cannot be read or the archive written.
bool AddEntry(zipFile archive, const CZipPackEntry& entry, const zip_fileinfo& info, bool stored,
              std::string& error) {
  std::unique_ptr<std::FILE, FileCloser> input;
  uint64_t size = entry.bytes.size();
  if (!entry.filePath.empty()) {
    CLocalFile file;
    input.reset(std::fopen(entry.filePath.c_str(), "rb"));
    if (!input || !StatLocalFile(entry.filePath, file)) {
      error = "cannot read " + entry.filePath;
      return false;
    }
    size = file.size;
  }
  if (zipOpenNewFileInZip64(archive, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            stored ? 0 : Z_DEFLATED, stored ? 0 : Z_BEST_COMPRESSION,
                            size >= kZip64Threshold ? 1 : 0) != ZIP_OK) {
    return false;
  }
  bool written = true;
  if (input) {
    std::vector<char> buffer(1 << 16);
    size_t read;
    while (written && (read = std::fread(buffer.data(), 1, buffer.size(), input.get())) > 0) {
      written = zipWriteInFileInZip(archive, buffer.data(), static_cast<unsigned>(read)) == ZIP_OK;
    }
    if (std::ferror(input.get()) != 0) {
      error = "cannot read " + entry.filePath;
      written = false;
    }
  } else if (!entry.bytes.empty()) {
    written =
        zipWriteInFileInZip(archive, entry.bytes.data(), static_cast<unsigned>(entry.bytes.size())) == ZIP_OK;
  }
  return zipCloseFileInZip(archive) == ZIP_OK && written;
}

}  // namespace

bool PackEntries(const std::string& archivePath, const std::vector<CZipPackEntry>& entries,
                 const CZipEntryTime& time, bool stored, std::string& error) {
  error.clear();
  zipFile archive = zipOpen64(archivePath.c_str(), APPEND_STATUS_CREATE);
  if (archive == nullptr) {
    error = "cannot create " + archivePath;
    return false;
  }
  zip_fileinfo info = {};
  info.tmz_date.tm_year = static_cast<uInt>(time.year);
  info.tmz_date.tm_mon = static_cast<uInt>(time.month - 1);
  info.tmz_date.tm_mday = static_cast<uInt>(time.day);
  info.tmz_date.tm_hour = static_cast<uInt>(time.hour);
  info.tmz_date.tm_min = static_cast<uInt>(time.minute);
  info.tmz_date.tm_sec = static_cast<uInt>(time.second);
  bool written = true;
  for (size_t i = 0; written && i < entries.size(); ++i)
    written = AddEntry(archive, entries[i], info, stored, error);
  written = zipClose(archive, nullptr) == ZIP_OK && written;
  if (!written) {
    std::remove(archivePath.c_str());
    if (error.empty()) error = "cannot write " + archivePath;
  }
  return written;
}

bool PackSingleFile(const std::string& archivePath, const std::string& filePath, const std::string& entryName,
                    const CZipEntryTime& time, std::string& error) {
  return PackEntries(archivePath, {{entryName, {}, filePath}}, time, false, error);
}
