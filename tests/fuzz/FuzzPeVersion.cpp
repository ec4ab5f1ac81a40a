// The manifest tool reads versions from whatever files a release folder holds: any bytes give a
// version or none, read only inside the bytes given, and the same bytes give the same answer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "PeVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is caught.
  const std::vector<uint8_t> bytes(data, data + size);
  uint32_t ms = 0, ls = 0;
  const bool read = ReadPeFileVersion(bytes.data(), bytes.size(), ms, ls);
  uint32_t againMs = 0, againLs = 0;
  if (read != ReadPeFileVersion(bytes.data(), bytes.size(), againMs, againLs)) __builtin_trap();
  if (read && (ms != againMs || ls != againLs)) __builtin_trap();
  return 0;
}
