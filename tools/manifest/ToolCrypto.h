// The manifest tool's cryptography: SHA-256 of release files, and the manifest key: a key pair,
// a signature, its verification. Natively through OpenSSL's libcrypto; the Windows build hashes
// and verifies with the setup manager's own CryptoAPI code and leaves keys and signing to the
// native tool. The key is RSA-2048; the public half is written as a DER SubjectPublicKeyInfo (what
// VELSETUP_MANIFEST_PUBLIC_KEY names), the private half as PEM; a signature is the raw PKCS#1
// v1.5 signature over SHA-256 of the manifest's bytes, most significant byte first.
#pragma once

#include <string>

#include "ManifestTrust.h"

bool Sha256Bytes(const std::string& bytes, CSha256Digest& digest);

// True when `signature` is `data`'s signature under the DER public key `publicKey`; `why` says
// what failed otherwise.
bool VerifySignature(const std::string& data, const std::string& signature, const std::string& publicKey,
                     std::string& why);

// Writes a new key pair: the private key (PEM, readable by its owner only; an existing file is
// never replaced) and the public key (DER). False with `error`.
bool MakeKeyPair(const std::string& privatePath, const std::string& publicPath, std::string& error);

// The signature of `data` with the PEM private key at `privatePath`. False with `error`.
bool SignBytes(const std::string& privatePath, const std::string& data, std::string& signature,
               std::string& error);
