// Unpacking a downloaded ZIP archive into the temporary folder, with progress sent to the
// dialog.
#pragma once

#include <windows.h>

#include <string>

#include "Sha256.h"
#include "ZipArchive.h"

// The hash of the entry that becomes the file `name` in the extraction folder, made as the entry
// is written. When several entries land on that file, the last one written counts.
struct CEntryHash {
  std::string name;
  CSha256 hash;
  bool written = false;
};

// Reports the extraction to a window: once per archive the first entry's name (wParam 1), then
// every entry's percent (wParam 2). A negative answer aborts the extraction.
class CExtractCallback : public CZipActionCallback {
 public:
  CExtractCallback(HWND window, UINT message, CEntryHash* hash)
      : m_hWnd(window), m_uMessage(message), m_pHash(hash) {}
  bool Callback() override;
  void EntryStarted() override;
  bool EntryData(const char* data, size_t size) override;

 private:
  HWND m_hWnd;
  UINT m_uMessage;
  CEntryHash* m_pHash;
  bool m_bHashing = false;  // the entry being written is the hashed one
  bool m_bFirstCall = true;
};

// Extracts every entry of the archive below `folder` with its relative path. True when every
// entry was written complete; false for an archive that cannot be opened, holds no entries or
// has an entry that fails, is refused or is aborted (the half-written entry is deleted, later
// entries are not extracted). True as well when no file exists at `archivePath`. `window` and
// `message` may be 0: nothing is reported then. `hash`, when given, receives the hash of the file
// it names.
bool ExtractZipFile(const char* archivePath, const char* folder, HWND window, UINT message,
                    CEntryHash* hash = nullptr);
