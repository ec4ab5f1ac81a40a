// HTTP downloads from the one trusted location: the URL check, the file download and the size
// query. The internet handle comes from the caller (InternetOpen with "Orbina Setup" and the
// preconfigured proxy settings) and stays the caller's.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "UrlCheck.h"

class CCancelSignal;

// True when `url` is a plain HTTP or HTTPS URL whose host ends in `hostSuffix` and whose path
// starts with `pathPrefix` after escapes are decoded (see CheckDownloadUrlParts for what else is
// refused).
bool CheckDownloadURL(const char* url, const char* hostSuffix, const char* pathPrefix);

// Receives the body of a download block by block as it is written to the file; answering false
// fails the download (the receiver logs why).
class CDownloadSink {
 public:
  virtual ~CDownloadSink() = default;
  virtual bool Take(const char* data, DWORD size) = 0;
};

// Streams the body of `url` into `localPath` (replaced when it exists) and returns true when the
// file holds the complete body. Redirects are followed only inside the trusted location, and
// never from https to http. An https server's certificate must be trusted by the system. The
// bytes written are posted to `progressWindow` as WM_DOWNLOAD_PROGRESS, at most every
// kProgressIntervalMs and always at the end; `cancel` is tested after every block read. Both may
// be null. Without an announced length whatever arrived counts
// as complete, also after a cancel; a short, failed or cancelled transfer of known length leaves
// no file. `sink`, when given, sees every byte written, in order.
bool DownloadFile(HINTERNET internet, const char* localPath, const char* url, bool bypassCache,
                  HWND progressWindow, const CCancelSignal* cancel, CDownloadSink* sink = nullptr);

// How often a download reports its bytes: about as often as a progress bar can show a change.
constexpr DWORD kProgressIntervalMs = 50;

// The announced length of the resource at `url`; 0 when the URL lies outside the trusted
// location, the request fails, the final status is not 200 or no length is announced. The body
// is not read.
DWORD GetUrlFileSize(HINTERNET internet, const char* url);
