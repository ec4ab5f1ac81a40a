#include "ManifestSignature.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "ManifestTrust.h"
#include "Sha256.h"
#include "WinHandles.h"

namespace {

std::string Failed(const char* call) {
  return std::string(call) + " Failed, Error Code = " + std::to_string(static_cast<int>(::GetLastError()));
}

// The decoded SubjectPublicKeyInfo, freed with LocalFree.
struct LocalInfo {
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  ~LocalInfo() {
    if (info != nullptr) ::LocalFree(info);
  }
};

}  // namespace

bool VerifyManifestSignature(const std::string& manifest, const std::string& signature,
                             const unsigned char* key, size_t keySize, std::string& why) {
  if (key == nullptr || keySize == 0 || keySize > 0x10000) {
    why = "no public key";
    return false;
  }
  if (signature.empty() || signature.size() > kMaxSignatureSize) {
    why = "signature of " + std::to_string(signature.size()) + " bytes";
    return false;
  }
  CScopedCryptProvider provider;
  if (!::CryptAcquireContextA(provider.Put(), nullptr, nullptr, CryptProviderType(),
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    why = Failed("CryptAcquireContext(PROV_RSA_AES)");
    return false;
  }
  LocalInfo decoded;
  DWORD infoSize = 0;
  if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, static_cast<DWORD>(keySize),
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded.info, &infoSize)) {
    why = Failed("CryptDecodeObjectEx(public key)");
    return false;
  }
  CScopedCryptKey publicKey;
  if (!::CryptImportPublicKeyInfo(provider.Get(), X509_ASN_ENCODING, decoded.info, publicKey.Put())) {
    why = Failed("CryptImportPublicKeyInfo");
    return false;
  }
  CScopedCryptHash hash;
  if (!::CryptCreateHash(provider.Get(), CALG_SHA_256, 0, 0, hash.Put())) {
    why = Failed("CryptCreateHash(CALG_SHA_256)");
    return false;
  }
  if (!manifest.empty() && !::CryptHashData(hash.Get(), reinterpret_cast<const BYTE*>(manifest.data()),
                                            static_cast<DWORD>(manifest.size()), 0)) {
    why = Failed("CryptHashData");
    return false;
  }
  // CryptoAPI takes the signature least significant byte first.
  const std::vector<BYTE> reversed(signature.rbegin(), signature.rend());
  if (!::CryptVerifySignatureA(hash.Get(), reversed.data(), static_cast<DWORD>(reversed.size()),
                               publicKey.Get(), nullptr, 0)) {
    why = Failed("CryptVerifySignature");
    return false;
  }
  return true;
}
