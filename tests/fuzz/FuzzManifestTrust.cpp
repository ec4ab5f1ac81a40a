// The texts a keyed build checks before it trusts a manifest or a file: whatever the bytes, the
// readers accept only what they write back unchanged, and the store name never fails.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ManifestTrust.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CSha256Digest digest = {};
  if (ReadSha256Text(text, digest)) {
    CSha256Digest again = {};
    if (!ReadSha256Text(Sha256Text(digest), again) || again != digest) std::abort();
    for (size_t i = 0; i < text.size(); ++i) {
      const char lower = text[i] >= 'A' && text[i] <= 'F' ? static_cast<char>(text[i] + 32) : text[i];
      if (lower != Sha256Text(digest)[i]) std::abort();
    }
  }
  uint64_t serial = 0;
  if (ReadSerialText(text, serial)) {
    if (text.empty() || text.size() > 20) std::abort();
    const std::string written = std::to_string(serial);
    if (text.substr(text.find_first_not_of('0') == std::string_view::npos
                        ? text.size() - 1
                        : text.find_first_not_of('0')) != written) {
      std::abort();
    }
  }
  const std::string name = SerialStoreName(text);
  // Query and fragment never reach the name.
  if (name.size() > text.size() && text.find('%') == std::string_view::npos) std::abort();
  return 0;
}
