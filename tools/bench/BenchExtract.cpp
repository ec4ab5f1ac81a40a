#include "BenchExtract.h"

#include <windows.h>

#include <unzip.h>

#include <cstdio>
#include <string>
#include <vector>

#include "AppMessages.h"
#include "BenchSupport.h"
#include "ExtractZip.h"

namespace {

constexpr unsigned kBufferSize = 65536;

// Creates the folders of `relative` below `folder`, up to its last backslash.
void MakeFolders(const std::string& folder, const std::string& relative) {
  for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1)) {
    ::CreateDirectoryA((folder + "\\" + relative.substr(0, at)).c_str(), nullptr);
  }
}

struct ZipCloser {
  unzFile zip;
  ~ZipCloser() { unzClose(zip); }
};

}  // namespace

bool ProductExtract(const char* archive, const char* folder) {
  CProgressWindow progress;
  return progress.Window() != nullptr &&
         ExtractZipFile(archive, folder, progress.Window(), WM_EXTRACT_PROGRESS);
}

bool HashedExtract(const char* archive, const char* folder) {
  CProgressWindow progress;
  CEntryHash entry;
  entry.name = "packed.bin";
  CSha256Digest digest;
  return progress.Window() != nullptr &&
         ExtractZipFile(archive, folder, progress.Window(), WM_EXTRACT_PROGRESS, &entry) && entry.written &&
         entry.hash.Finish(digest);
}

namespace {

// The bare loop; with `progress`, each block written is also sent to the window as the
// extraction's report, and its answer tested, as the dialog's Cancel asks.
bool Loop(const char* archive, const char* folder, const CProgressWindow* progress) {
  const ZipCloser zip{unzOpen64(archive)};
  if (zip.zip == nullptr) return false;
  std::vector<char> buffer(kBufferSize);
  for (int status = unzGoToFirstFile(zip.zip); status == UNZ_OK; status = unzGoToNextFile(zip.zip)) {
    char name[1024];
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip.zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
      return false;
    std::string relative = name;
    for (char& c : relative) {
      if (c == '/') c = '\\';
    }
    MakeFolders(folder, relative);
    if (!relative.empty() && relative.back() == '\\') continue;
    std::FILE* file = std::fopen((std::string(folder) + "\\" + relative).c_str(), "wb");
    if (file == nullptr || unzOpenCurrentFile(zip.zip) != UNZ_OK) {
      if (file != nullptr) std::fclose(file);
      return false;
    }
    int read;
    while ((read = unzReadCurrentFile(zip.zip, buffer.data(), kBufferSize)) > 0) {
      std::fwrite(buffer.data(), 1, static_cast<size_t>(read), file);
      if (progress != nullptr &&
          ::SendMessageA(progress->Window(), WM_EXTRACT_PROGRESS, EXTRACT_PROGRESS_PERCENT, 0) < 0) {
        read = -1;
        break;
      }
    }
    std::fclose(file);
    if (unzCloseCurrentFile(zip.zip) != UNZ_OK || read < 0) return false;
  }
  return true;
}

}  // namespace

bool BareExtract(const char* archive, const char* folder) { return Loop(archive, folder, nullptr); }

bool FloorExtract(const char* archive, const char* folder) {
  CProgressWindow progress;
  return progress.Window() != nullptr && Loop(archive, folder, &progress);
}
