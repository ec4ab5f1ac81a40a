#include "ExtractZip.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "AppMessages.h"
#include "DownloadProgress.h"
#include "SetupLog.h"

namespace {

// The tests slow an extraction down per entry, as their portal trickles a download, so that what
// a person does while an archive is unpacked does not depend on the machine's speed. At most a
// second; none unless the environment asks.
DWORD EntryDelayForTesting() {
  char text[8] = {};
  const DWORD length = ::GetEnvironmentVariableA("VELSETUP_TEST_ENTRY_DELAY_MS", text, sizeof text);
  if (length == 0 || length >= sizeof text) return 0;
  return std::min<DWORD>(std::strtoul(text, nullptr, 10), 1000);
}

}  // namespace

bool CExtractCallback::Callback() {
  if (m_hWnd == nullptr || m_uMessage == 0) return true;
  if (m_bFirstCall) {
    ::SendMessageA(m_hWnd, m_uMessage, EXTRACT_PROGRESS_START,
                   reinterpret_cast<LPARAM>(m_szFileInZip.c_str()));
    m_bFirstCall = false;
  }
  const LRESULT answer = ::SendMessageA(m_hWnd, m_uMessage, EXTRACT_PROGRESS_PERCENT,
                                        static_cast<LPARAM>(ExtractPercent(m_uProcessed, m_uTotalToProcess)));
  return answer >= 0;
}

void CExtractCallback::EntryStarted() {
  // The file system ignores letter case, so an entry in other letters lands on the same file.
  m_bHashing = m_pHash != nullptr && ::lstrcmpiA(m_szFileInZip.c_str(), m_pHash->name.c_str()) == 0;
  if (!m_bHashing) return;
  m_pHash->hash.Reset();
  m_pHash->written = true;
}

bool CExtractCallback::EntryData(const char* data, size_t size) {
  return !m_bHashing || m_pHash->hash.Add(data, size);
}

bool ExtractZipFile(const char* archivePath, const char* folder, HWND window, UINT message,
                    CEntryHash* hash) {
  const DWORD attributes = ::GetFileAttributesA(archivePath);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;

  CExtractCallback callback(window, message, hash);
  CZipArchive archive;
  if ((window != nullptr && message != 0) || hash != nullptr) archive.SetCallback(&callback);
  try {
    archive.Open(archivePath);
  } catch (const std::exception& e) {
    LogWrite(1, "[ExtractZipFile] Open Failed (%s): %s", archivePath, e.what());
    return false;
  } catch (...) {
    LogWrite(1, "[ExtractZipFile] Open Failed (%s)", archivePath);
    return false;
  }
  const int count = archive.GetCount();
  if (count == 0) {
    LogWrite(1, "[ExtractZipFile] No entries (%s)", archivePath);
    return false;
  }
  const DWORD entryDelay = EntryDelayForTesting();
  for (int i = 0; i < count; ++i) {
    if (entryDelay != 0) ::Sleep(entryDelay);
    // A partial archive never counts as extracted, whatever stopped it.
    try {
      archive.ExtractFile(i, folder, CZipArchive::kDefaultBufferSize);
    } catch (const std::exception& e) {
      LogWrite(1, "[ExtractZipFile] Entry %d Failed (%s): %s", i, archivePath, e.what());
      return false;
    } catch (...) {
      LogWrite(1, "[ExtractZipFile] Entry %d Failed (%s)", i, archivePath);
      return false;
    }
  }
  return true;
}
