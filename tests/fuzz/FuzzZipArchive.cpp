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
  // The output folder lies twelve levels down, so that a name that climbs out lands in the tree.
  fs::path out = root;
  for (int level = 0; level < 12; ++level) out /= "d";
  fs::create_directories(out);
  const fs::path archive = root / "in.zip";
  std::ofstream(archive, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  CZipArchive zip;
  try {
    zip.Open(archive.c_str());
    for (int i = 0; i < zip.GetCount() && i < 64; ++i) zip.ExtractFile(i, out.c_str());
  } catch (const CZipException&) {
  } catch (const CFileException&) {
  }
  zip.Close();
  // Besides the archive, only the output folder, its parents and what lies inside it may exist.
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const fs::path rest = item.path().lexically_relative(out);
    const bool inside = !rest.empty() && *rest.begin() != "..";
    const bool parent = out.lexically_relative(item.path()).begin()->native() != "..";
    if (item.path() != archive && !inside && !parent) __builtin_trap();
  }
  fs::remove_all(root);
  return 0;
}
