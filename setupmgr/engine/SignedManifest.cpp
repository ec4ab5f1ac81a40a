#include "SignedManifest.h"

#include "ManifestSignature.h"
#include "ManifestTrust.h"
#include "SetupLog.h"
#include "WinHandles.h"
#include "XmlLookup.h"

namespace {

// The serial accepted before from the store name `name`: 0 when none was. False when the store
// cannot be read or holds no serial text.
bool ReadStoredSerial(const std::string& name, uint64_t& serial) {
  serial = 0;
  CScopedRegKey key;
  LONG result = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialStoreKey, 0, KEY_QUERY_VALUE, key.Put());
  if (result == ERROR_FILE_NOT_FOUND) return true;
  char text[32] = {};
  DWORD type = REG_NONE, size = sizeof text - 1;
  if (result == ERROR_SUCCESS) {
    result =
        ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  }
  if (result == ERROR_FILE_NOT_FOUND) return true;
  if (result != ERROR_SUCCESS || type != REG_SZ) return false;
  std::string value(text, size);
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return ReadSerialText(value, serial);
}

// ERROR_SUCCESS or the failing call's error.
LONG WriteStoredSerial(const std::string& name, uint64_t serial) {
  CScopedRegKey key;
  const LONG result = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialStoreKey, 0, nullptr, 0, KEY_SET_VALUE,
                                        nullptr, key.Put(), nullptr);
  if (result != ERROR_SUCCESS) return result;
  const std::string text = std::to_string(serial);
  return ::RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

}  // namespace

bool CMemorySink::Take(const char* data, DWORD size) {
  if (size > m_limit - m_bytes.size()) {
    LogWrite(1, "[DownloadFile] Body longer than %u bytes", static_cast<unsigned>(m_limit));
    return false;
  }
  m_bytes.append(data, size);
  return true;
}

bool AcceptSignedManifest(HINTERNET internet, const std::string& url, const std::string& manifest,
                          const std::string& signaturePath, const CManifestKey& key) {
  const std::string signatureUrl = url + ".sig";
  LogWrite(2, "[DownloadIniFile] Download File %s -> %s", signatureUrl.c_str(), signaturePath.c_str());
  std::string signature;
  CMemorySink sink(signature, kMaxSignatureSize);
  const bool downloaded =
      DownloadFile(internet, signaturePath.c_str(), signatureUrl.c_str(), true, nullptr, nullptr, &sink);
  ::DeleteFileA(signaturePath.c_str());
  if (!downloaded) {
    LogWrite(1, "[DownloadFileList] Manifest refused: no signature (%s)", signatureUrl.c_str());
    return false;
  }
  std::string why;
  if (!VerifyManifestSignature(manifest, signature, key.data, key.size, why)) {
    LogWrite(1, "[DownloadFileList] Manifest refused: signature not verified (%s)", why.c_str());
    return false;
  }

  // Verified: the bytes may be read now.
  pugi::xml_document document;
  LoadMinimal(document, manifest.data(), manifest.size());
  const char* serialText = FirstDescendant(document, "UPDATELIST").attribute("SERIAL").value();
  uint64_t serial = 0;
  if (!ReadSerialText(serialText, serial)) {
    LogWrite(1, "[DownloadFileList] Manifest refused: no valid SERIAL (%s)", serialText);
    return false;
  }
  const std::string name = SerialStoreName(url);
  uint64_t accepted = 0;
  if (!ReadStoredSerial(name, accepted)) {
    LogWrite(1, "[DownloadFileList] Manifest refused: accepted serial of %s unreadable", name.c_str());
    return false;
  }
  if (serial < accepted) {
    LogWrite(1, "[DownloadFileList] Manifest refused: serial %llu lower than accepted %llu",
             static_cast<unsigned long long>(serial), static_cast<unsigned long long>(accepted));
    return false;
  }
  const LONG kept = serial > accepted ? WriteStoredSerial(name, serial) : ERROR_SUCCESS;
  if (kept != ERROR_SUCCESS) {
    LogWrite(1, "[DownloadFileList] Manifest refused: serial %llu not kept, Error Code = %d",
             static_cast<unsigned long long>(serial), static_cast<int>(kept));
    return false;
  }
  LogWrite(2, "[DownloadFileList] Manifest signature verified, serial %llu",
           static_cast<unsigned long long>(serial));
  return true;
}
