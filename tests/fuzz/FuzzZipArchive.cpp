// An archive is downloaded data: whatever it holds, extracting it fails or succeeds, and never
// writes outside the folder it is extracted into.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "ZipArchive.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path root =
      fs::temp_directory_path() / ("velsetup-fuzz-zip-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "out");
  const fs::path archive = root / "in.zip";
  std::ofstream(archive, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  CZipArchive zip;
  try {
    zip.Open(archive.c_str());
    for (int i = 0; i < zip.GetCount() && i < 64; ++i) zip.ExtractFile(i, (root / "out").c_str());
  } catch (const CZipException&) {
  } catch (const CFileException&) {
  }
  zip.Close();
  // Nothing but the archive and the output folder may exist beside each other.
  for (const auto& item : fs::directory_iterator(root)) {
    if (item.path() != archive && item.path() != root / "out") __builtin_trap();
  }
  fs::remove_all(root);
  return 0;
}
