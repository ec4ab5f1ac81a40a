// Verification of a manifest's detached signature with the public key the program was built
// with: RSA PKCS#1 v1.5 over SHA-256, through CryptoAPI (PROV_RSA_AES). The key is a DER
// SubjectPublicKeyInfo; the signature holds the signature bytes as the signer wrote them (most
// significant byte first).
#pragma once

#include <cstddef>
#include <string>

// True when `signature` is a valid signature of exactly `manifest` under `key`. Fails closed: a
// key that does not import, a missing algorithm or any failing call is a refusal, with `why`
// saying which check failed.
bool VerifyManifestSignature(const std::string& manifest, const std::string& signature,
                             const unsigned char* key, size_t keySize, std::string& why);
