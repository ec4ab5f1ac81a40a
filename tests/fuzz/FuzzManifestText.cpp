// Version and file-time texts come from a downloaded manifest: any text gives a value or "no
// time", never a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ManifestText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose a time-zone bias within the range of real zones.
  const long bias = (static_cast<long>(data[0]) << 8 | data[1]) % 1681 - 840;
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

  uint32_t ms = 0, ls = 0;
  ReadVersionText(text.c_str(), ms, ls);

  uint64_t fileTime = 1;
  const bool valid = ReadFileTimeText(text.c_str(), bias, fileTime);
  if (valid != (fileTime != 0)) __builtin_trap();
  // Every valid time lies between 31 December 1899 and 2 January 3001 UTC.
  if (valid && (fileTime < 94353984000000000u || fileTime > 441797760000000000u)) __builtin_trap();
  return 0;
}
