// Unpacking a downloaded ZIP archive into the temporary folder, with progress sent to the
// dialog.
#pragma once

#include <windows.h>

#include "ZipArchive.h"

// Reports the extraction to a window: once per archive the first entry's name (wParam 1), then
// every entry's percent (wParam 2). A negative answer aborts the extraction.
class CExtractCallback : public CZipActionCallback {
 public:
  CExtractCallback(HWND window, UINT message) : m_hWnd(window), m_uMessage(message) {}
  bool Callback() override;

 private:
  HWND m_hWnd;
  UINT m_uMessage;
  bool m_bFirstCall = true;
};

// Extracts every entry of the archive below `folder` with its relative path. True when every
// entry was written complete; false for an archive that cannot be opened, holds no entries or
// has an entry that fails, is refused or is aborted (the half-written entry is deleted, later
// entries are not extracted). True as well when no file exists at `archivePath`. `window` and
// `message` may be 0: nothing is reported then.
bool ExtractZipFile(const char* archivePath, const char* folder, HWND window, UINT message);
