#include "BenchDownload.h"

#include <windows.h>
#include <wininet.h>

#include "BenchSupport.h"
#include "HttpDownload.h"
#include "WinHandles.h"

namespace {

constexpr char kAgent[] = "Orbina Setup";
constexpr DWORD kBlockSize = 4096;

CScopedInternet OpenInternet() {
  return CScopedInternet(::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

}  // namespace

bool ProductDownload(const char* url, const char* path) {
  const CScopedInternet internet = OpenInternet();
  CProgressWindow progress;
  return internet && progress.Window() != nullptr &&
         DownloadFile(internet.Get(), path, url, true, progress.Window(), progress.Cancel());
}

bool BareDownload(const char* url, const char* path) {
  const CScopedInternet internet = OpenInternet();
  if (!internet) return false;
  const CScopedInternet request(::InternetOpenUrlA(internet.Get(), url, nullptr, 0,
                                                   INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request) return false;
  const CScopedFile file(::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
  if (!file) return false;
  char block[kBlockSize];
  DWORD read = 0;
  while (::InternetReadFile(request.Get(), block, kBlockSize, &read) && read > 0) {
    DWORD written = 0;
    if (!::WriteFile(file.Get(), block, read, &written, nullptr) || written != read) return false;
  }
  return true;
}
