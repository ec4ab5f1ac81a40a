// SHA-256 through the system's cryptography (CryptoAPI, CALG_SHA_256 of the PROV_RSA_AES
// provider), fed as the bytes pass by, and of a whole file.
#pragma once

#include <windows.h>

#include "HttpDownload.h"
#include "ManifestTrust.h"
#include "WinHandles.h"

#ifndef CALG_SHA_256
// XP SP3 has SHA-256 in PROV_RSA_AES; the headers show it only to builds for later systems.
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

// One running hash; the system's provider is reached only when bytes come, so an unused one
// costs nothing. A system without the algorithm fails closed: Finish returns false, with a
// level-1 line, and no digest ever matches.
class CSha256 : public CDownloadSink {
 public:
  // Starts again from no bytes.
  void Reset();
  bool Add(const void* data, size_t size);
  bool Take(const char* data, DWORD size) override { return Add(data, size); }
  // The digest of every byte added since the start; false when the hash could not be made.
  bool Finish(CSha256Digest& digest);

 private:
  // Makes the hash object of a start on first use; false when it cannot be made.
  bool Begin();

  CScopedCryptProvider m_provider;
  CScopedCryptHash m_hash;
  bool m_failed = false;
};

// The provider type the hash and the signature check ask for: PROV_RSA_AES, or for tests one the
// system lacks (0 puts PROV_RSA_AES back), so that the refusal of a system without it is seen.
DWORD CryptProviderType();
void SetCryptProviderTypeForTesting(DWORD type);

// The digest of the file at `path`; false, with a level-1 line, when it cannot be read or hashed.
bool HashFile(const char* path, CSha256Digest& digest);
