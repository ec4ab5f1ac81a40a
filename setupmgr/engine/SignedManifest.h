// What a build with a manifest key accepts: a manifest whose detached signature (its URL + ".sig")
// verifies on the bytes as downloaded, whose UPDATELIST carries a serial, and whose serial is not
// lower than the highest one accepted from that URL before.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "HttpDownload.h"
#include "ManifestKey.h"

// The highest serials accepted, one value per manifest URL (see SerialStoreName), as decimal text.
constexpr char kSerialStoreKey[] = "Software\\Orbina.Com\\Korean\\ManifestSerial";

// Keeps a download's bytes in memory; more than `limit` bytes fail the download.
class CMemorySink : public CDownloadSink {
 public:
  CMemorySink(std::string& bytes, size_t limit) : m_bytes(bytes), m_limit(limit) {}
  bool Take(const char* data, DWORD size) override;

 private:
  std::string& m_bytes;
  size_t m_limit;
};

// True when `manifest`, downloaded from `url`, is signed with `key`, and its serial may be
// accepted; the serial is then kept. The signature goes through `signaturePath` (deleted
// afterwards). Every refusal writes a level-1 line that says why; nothing is parsed before the
// signature verified.
bool AcceptSignedManifest(HINTERNET internet, const std::string& url, const std::string& manifest,
                          const std::string& signaturePath, const CManifestKey& key);
