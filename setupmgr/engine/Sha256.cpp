#include "Sha256.h"

#include "SetupLog.h"

namespace {
DWORD g_providerType = PROV_RSA_AES;
}  // namespace

DWORD CryptProviderType() { return g_providerType; }

void SetCryptProviderTypeForTesting(DWORD type) { g_providerType = type != 0 ? type : PROV_RSA_AES; }

void CSha256::Reset() {
  m_hash.Reset();
  m_failed = false;
}

bool CSha256::Begin() {
  if (m_failed) return false;
  if (m_hash) return true;
  if (!m_provider && !::CryptAcquireContextA(m_provider.Put(), nullptr, nullptr, CryptProviderType(),
                                             CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    LogWrite(1, "[Sha256] CryptAcquireContext(PROV_RSA_AES) Failed, Error Code = %d",
             static_cast<int>(::GetLastError()));
    m_failed = true;
    return false;
  }
  if (!::CryptCreateHash(m_provider.Get(), CALG_SHA_256, 0, 0, m_hash.Put())) {
    LogWrite(1, "[Sha256] CryptCreateHash(CALG_SHA_256) Failed, Error Code = %d",
             static_cast<int>(::GetLastError()));
    m_failed = true;
    return false;
  }
  return true;
}

bool CSha256::Add(const void* data, size_t size) {
  if (!Begin()) return false;
  const BYTE* bytes = static_cast<const BYTE*>(data);
  while (size > 0) {
    const DWORD part = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!::CryptHashData(m_hash.Get(), bytes, part, 0)) {
      LogWrite(1, "[Sha256] CryptHashData Failed, Error Code = %d", static_cast<int>(::GetLastError()));
      m_failed = true;
      return false;
    }
    bytes += part;
    size -= part;
  }
  return true;
}

bool CSha256::Finish(CSha256Digest& digest) {
  if (!Begin()) return false;
  DWORD size = static_cast<DWORD>(digest.size());
  if (!::CryptGetHashParam(m_hash.Get(), HP_HASHVAL, digest.data(), &size, 0) || size != digest.size()) {
    LogWrite(1, "[Sha256] CryptGetHashParam Failed, Error Code = %d", static_cast<int>(::GetLastError()));
    m_failed = true;
    return false;
  }
  return true;
}

bool HashFile(const char* path, CSha256Digest& digest) {
  const CScopedFile file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    LogWrite(1, "[HashFile] CreateFile(%s) Failed, Error Code = %d", path,
             static_cast<int>(::GetLastError()));
    return false;
  }
  CSha256 hash;
  char block[65536];
  DWORD read = 0;
  for (;;) {
    if (!::ReadFile(file.Get(), block, sizeof block, &read, nullptr)) {
      LogWrite(1, "[HashFile] ReadFile(%s) Failed, Error Code = %d", path,
               static_cast<int>(::GetLastError()));
      return false;
    }
    if (read == 0) break;
    if (!hash.Add(block, read)) return false;
  }
  return hash.Finish(digest);
}
