#include "ZipPack.h"

#include <zip.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "LocalFiles.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

constexpr uint64_t kZip64Threshold = 0xFFFFFFFFull;

}  // namespace

bool PackSingleFile(const std::string& archivePath, const std::string& filePath, const std::string& entryName,
                    const CZipEntryTime& time, std::string& error) {
  std::unique_ptr<std::FILE, FileCloser> input(std::fopen(filePath.c_str(), "rb"));
  if (!input) {
    error = "cannot read " + filePath;
    return false;
  }
  CLocalFile file;
  if (!StatLocalFile(filePath, file)) {
    error = "cannot read " + filePath;
    return false;
  }

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
  const int zip64 = file.size >= kZip64Threshold ? 1 : 0;
  bool written = zipOpenNewFileInZip64(archive, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                       Z_DEFLATED, Z_BEST_COMPRESSION, zip64) == ZIP_OK;
  if (written) {
    std::vector<char> buffer(1 << 16);
    size_t read;
    while (written && (read = std::fread(buffer.data(), 1, buffer.size(), input.get())) > 0) {
      written = zipWriteInFileInZip(archive, buffer.data(), static_cast<unsigned>(read)) == ZIP_OK;
    }
    written = written && std::ferror(input.get()) == 0;
    written = zipCloseFileInZip(archive) == ZIP_OK && written;
  }
  written = zipClose(archive, nullptr) == ZIP_OK && written;
  if (!written) {
    std::remove(archivePath.c_str());
    error = "cannot write " + archivePath;
  }
  return written;
}
