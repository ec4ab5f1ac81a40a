// The numbers the download pass reports to the dialog.
#pragma once

#include <cstdint>

// Largest total the progress bar's 32-bit signed range can take.
constexpr uint32_t kMaxProgressTotal = 0x7FFFFFFF;

// The pass's total in bytes as handed to the dialog: summed in 64 bits, capped at the range.
inline uint32_t ProgressTotal(uint64_t total) {
  return total > kMaxProgressTotal ? kMaxProgressTotal : static_cast<uint32_t>(total);
}

// Percent of an archive entry written so far, rounded half up. An entry of 0 bytes is complete.
inline int ExtractPercent(uint32_t processed, uint32_t total) {
  if (total == 0) return 100;
  return static_cast<int>(static_cast<double>(processed) / total * 100.0 + 0.5);
}

// The share of the pass's bytes written so far, reported after each file: rounded half up, never
// above 100. With nothing announced (a total of 0) everything there is has arrived.
inline int DownloadPercent(uint64_t written, uint64_t total) {
  if (total == 0 || written >= total) return 100;
  return static_cast<int>(static_cast<double>(written) * 100.0 / static_cast<double>(total) + 0.5);
}
