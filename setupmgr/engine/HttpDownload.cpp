#include "HttpDownload.h"

#include <cstdint>
#include <string>

#include "AppMessages.h"
#include "BuildConfig.h"
#include "CancelSignal.h"
#include "SetupLog.h"
#include "UrlCheck.h"
#include "WinHandles.h"

namespace {

constexpr DWORD kBlockSize = 4096;
// Redirects followed per request. The HTTP layer's own following is switched off, because every
// hop has to pass the URL check.
constexpr int kRedirectLimit = 5;
constexpr DWORD kUrlBufferSize = INTERNET_MAX_URL_LENGTH + 1;

enum class OpenResult { kOpened, kRefused, kOpenFailed };

// The last request of a walk along redirects.
struct COpenedUrl {
  CScopedInternet connection;  // of a HEAD request
  CScopedInternet request;
  const char* url = nullptr;  // the URL of `request`: the caller's or one of `hops`
  DWORD status = 0;
  DWORD error = 0;  // of a failed open
  char hops[2][kUrlBufferSize];
  char location[kUrlBufferSize];
};

DWORD QueryNumber(HINTERNET request, DWORD info) {
  DWORD value = 0;
  DWORD size = sizeof value;
  return ::HttpQueryInfoA(request, info | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr) ? value : 0;
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The redirect target of the current response, resolved against its URL into `target`. False
// when there is none or it does not fit the buffers; the response then stands as it is.
bool ReadLocation(COpenedUrl& opened, char* target) {
  DWORD size = sizeof opened.location;
  if (!::HttpQueryInfoA(opened.request.Get(), HTTP_QUERY_LOCATION, opened.location, &size, nullptr)) {
    return false;
  }
  DWORD length = kUrlBufferSize;
  return ::InternetCombineUrlA(opened.url, opened.location, target, &length, ICU_NO_ENCODE) != FALSE;
}

// The host, the path and (when `extra` is given) the query of `url`, each into a buffer of
// kUrlBufferSize characters; false when the cracker refuses the URL.
bool CrackUrl(const char* url, DWORD flags, char* host, char* path, char* extra, URL_COMPONENTSA& parts) {
  parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = kUrlBufferSize;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kUrlBufferSize;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = extra != nullptr ? kUrlBufferSize : 0;
  return ::InternetCrackUrlA(url, 0, flags, &parts) != FALSE;
}

// A HEAD request of `url` in `opened`: status and headers without a body, so that closing it
// leaves nothing to read off the connection. `opened.request` stays empty when it cannot be sent.
void OpenHead(HINTERNET internet, const char* url, DWORD flags, COpenedUrl& opened) {
  char host[kUrlBufferSize];
  char path[kUrlBufferSize];
  char extra[kUrlBufferSize];
  URL_COMPONENTSA parts;
  // Not decoded: the request names the resource as the URL writes it.
  if (!CrackUrl(url, 0, host, path, extra, parts)) return;
  const std::string target =
      std::string(path, parts.dwUrlPathLength) + std::string(extra, parts.dwExtraInfoLength);
  opened.connection.Reset(
      ::InternetConnectA(internet, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!opened.connection) return;
  const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;
  opened.request.Reset(::HttpOpenRequestA(opened.connection.Get(), "HEAD", target.c_str(), nullptr, nullptr,
                                          nullptr, flags | secure, 0));
  if (opened.request && !::HttpSendRequestA(opened.request.Get(), nullptr, 0, nullptr, 0))
    opened.request.Reset();
}

// Opens `url` and follows redirects that stay inside the trusted location and never go from
// https back to http. kOpened leaves the last response in `opened`: a redirect status when the
// hop limit or an unusable Location ended the walk. The certificate of an https server is checked
// by the HTTP layer; one it does not trust fails the open with its error code.
OpenResult OpenTrustedUrl(HINTERNET internet, const char* url, DWORD flags, bool head, const char* caller,
                          COpenedUrl& opened) {
  const char* current = url;
  for (int hop = 0;; ++hop) {
    if (!CheckDownloadURL(current, VELSETUP_TRUSTED_HOST_SUFFIX, kTrustedPathPrefix)) {
      LogWrite(1, "[%s] CheckDownloadURL(%s) Failed", caller, current);
      return OpenResult::kRefused;
    }
    opened.request.Reset();
    opened.connection.Reset();
    opened.url = current;
    if (head) {
      OpenHead(internet, current, flags | INTERNET_FLAG_NO_AUTO_REDIRECT, opened);
    } else {
      opened.request.Reset(
          ::InternetOpenUrlA(internet, current, nullptr, 0, flags | INTERNET_FLAG_NO_AUTO_REDIRECT, 0));
    }
    if (!opened.request) {
      opened.error = ::GetLastError();
      return OpenResult::kOpenFailed;
    }
    opened.status = QueryNumber(opened.request.Get(), HTTP_QUERY_STATUS_CODE);
    if (!IsRedirect(opened.status) || hop == kRedirectLimit) return OpenResult::kOpened;
    char* next = opened.hops[hop % 2];
    if (!ReadLocation(opened, next)) return OpenResult::kOpened;
    if (SchemeOf(current) == UrlScheme::kHttps && SchemeOf(next) == UrlScheme::kHttp) {
      LogWrite(1, "[%s] Redirect from https to http refused (%s -> %s)", caller, current, next);
      return OpenResult::kRefused;
    }
    current = next;
  }
}

}  // namespace

bool CheckDownloadURL(const char* url, const char* hostSuffix, const char* pathPrefix) {
  // Decoding never lengthens a part, so buffers the size of the whole URL always hold it: no part
  // is ever cut, whatever the cracker does with a buffer that is too small.
  if (url == nullptr || ::lstrlenA(url) >= static_cast<int>(kUrlBufferSize)) return false;
  char host[kUrlBufferSize];
  char path[kUrlBufferSize];
  URL_COMPONENTSA parts;
  if (!CrackUrl(url, ICU_DECODE, host, path, nullptr, parts)) return false;
  // The cracker and the test of the text have to agree on the scheme.
  const UrlScheme scheme = SchemeOf(url);
  if (parts.nScheme != (scheme == UrlScheme::kHttps ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP))
    return false;
  if (parts.dwHostNameLength >= sizeof host || parts.dwUrlPathLength >= sizeof path) return false;
  const CDownloadUrlParts split = {url, {host, parts.dwHostNameLength}, {path, parts.dwUrlPathLength}};
  return CheckDownloadUrlParts(split, hostSuffix, pathPrefix);
}

bool DownloadFile(HINTERNET internet, const char* localPath, const char* url, bool bypassCache,
                  HWND progressWindow, const CCancelSignal* cancel, CDownloadSink* sink) {
  const DWORD flags =
      bypassCache ? INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE : INTERNET_FLAG_RESYNCHRONIZE;
  COpenedUrl opened;
  switch (OpenTrustedUrl(internet, url, flags, false, "DownloadFile", opened)) {
    case OpenResult::kRefused:
      return false;
    case OpenResult::kOpenFailed:
      LogWrite(1, "[DownloadFile] InternetOpenUrl(%s) Failed (Error Code = %d)", opened.url,
               static_cast<int>(opened.error));
      return false;
    case OpenResult::kOpened:
      break;
  }
  if (opened.status != HTTP_STATUS_OK) {
    LogWrite(1, "[DownloadFile] HttpQueryInfo(%s) = %d ", opened.url, static_cast<int>(opened.status));
    return false;
  }

  CScopedFile file(::CreateFileA(localPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
  if (!file) {
    LogWrite(1, "[DownloadFile] CreateFile(%s) Failed, Error Code = %d", localPath,
             static_cast<int>(::GetLastError()));
    return false;
  }
  const DWORD announced = QueryNumber(opened.request.Get(), HTTP_QUERY_CONTENT_LENGTH);

  // A broken transfer or a failed write never leaves a file that looks complete, whatever the
  // announced length says.
  bool failed = false;
  uint32_t received = 0;
  // Posted, never sent: the worker does not wait for the dialog here. Bytes are held back while
  // the bar could not show them, so that the dialog's thread is not kept busy by every block.
  DWORD unreported = 0;
  DWORD reportedAt = ::GetTickCount() - kProgressIntervalMs;
  const auto report = [&]() {
    if (progressWindow != nullptr && unreported != 0) {
      ::PostMessageA(progressWindow, WM_DOWNLOAD_PROGRESS, DOWNLOAD_PROGRESS_BYTES, unreported);
    }
    unreported = 0;
    reportedAt = ::GetTickCount();
  };
  char block[kBlockSize];
  DWORD read = 0;
  for (;;) {
    if (!::InternetReadFile(opened.request.Get(), block, sizeof block, &read)) {
      failed = true;
      break;
    }
    if (cancel != nullptr && cancel->IsSet()) {
      LogWrite(1, "[DownloadFile] User canceled downloading");
      break;
    }
    if (read == 0) break;
    if (read > UINT32_MAX - received) {
      LogWrite(1, "[DownloadFile] Body of %s longer than %u bytes", opened.url, UINT32_MAX);
      failed = true;
      break;
    }
    DWORD written = 0;
    if (!::WriteFile(file.Get(), block, read, &written, nullptr) || written != read) {
      LogWrite(1, "[DownloadFile] WriteFile(%s) Failed, Error Code = %d", localPath,
               static_cast<int>(::GetLastError()));
      failed = true;
      break;
    }
    received += written;
    unreported += written;
    if (sink != nullptr && !sink->Take(block, written)) {
      failed = true;
      break;
    }
    if (::GetTickCount() - reportedAt >= kProgressIntervalMs) report();
  }
  // Every byte written reaches the bar before the file counts as done.
  report();
  opened.request.Reset();
  file.Reset();

  if (failed || (announced != 0 && announced != received)) {
    ::DeleteFileA(localPath);
    return false;
  }
  return true;
}

DWORD GetUrlFileSize(HINTERNET internet, const char* url) {
  COpenedUrl opened;
  // A HEAD request: closing a GET whose body was not read would read that body off the connection.
  if (OpenTrustedUrl(internet, url, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, true,
                     "GetUrlFileSize", opened) != OpenResult::kOpened ||
      opened.status != HTTP_STATUS_OK) {
    return 0;
  }
  return QueryNumber(opened.request.Get(), HTTP_QUERY_CONTENT_LENGTH);
}
