#include "ManifestSignature.h"
#include "Sha256.h"
#include "ToolCrypto.h"

namespace {
constexpr char kNativeOnly[] =
    "keys are made and manifests signed by the native velsetup-manifest; this build hashes and verifies only";
}  // namespace

bool Sha256Bytes(const std::string& bytes, CSha256Digest& digest) {
  CSha256 hash;
  return hash.Add(bytes.data(), bytes.size()) && hash.Finish(digest);
}

bool VerifySignature(const std::string& data, const std::string& signature, const std::string& publicKey,
                     std::string& why) {
  return VerifyManifestSignature(data, signature, reinterpret_cast<const unsigned char*>(publicKey.data()),
                                 publicKey.size(), why);
}

bool MakeKeyPair(const std::string&, const std::string&, std::string& error) {
  error = kNativeOnly;
  return false;
}

bool SignBytes(const std::string&, const std::string&, std::string&, std::string& error) {
  error = kNativeOnly;
  return false;
}
