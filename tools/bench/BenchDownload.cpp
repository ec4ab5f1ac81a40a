#include "BenchDownload.h"

#include <windows.h>
#include <wininet.h>

#include "AppMessages.h"
#include "BenchSupport.h"
#include "HttpDownload.h"
#include "Sha256.h"
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

bool HashedDownload(const char* url, const char* path) {
  const CScopedInternet internet = OpenInternet();
  CProgressWindow progress;
  CSha256 hash;
  CSha256Digest digest;
  return internet && progress.Window() != nullptr &&
         DownloadFile(internet.Get(), path, url, true, progress.Window(), progress.Cancel(), &hash) &&
         hash.Finish(digest);
}

namespace {

// The bare loop; with `progress`, each block also makes the calls a literal reading of the
// download asks for: the cancel event tested and the block's bytes posted to the window.
bool Loop(const char* url, const char* path, const CProgressWindow* progress) {
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
    if (progress != nullptr && ::WaitForSingleObject(progress->Cancel()->Event(), 0) == WAIT_OBJECT_0)
      return false;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), block, read, &written, nullptr) || written != read) return false;
    if (progress != nullptr)
      ::PostMessageA(progress->Window(), WM_DOWNLOAD_PROGRESS, DOWNLOAD_PROGRESS_BYTES, written);
  }
  return true;
}

}  // namespace

bool BareDownload(const char* url, const char* path) { return Loop(url, path, nullptr); }

bool FloorDownload(const char* url, const char* path) {
  CProgressWindow progress;
  return progress.Window() != nullptr && Loop(url, path, &progress);
}

bool SizeRequest(const char* url) {
  const CScopedInternet internet = OpenInternet();
  return internet && GetUrlFileSize(internet.Get(), url) > 0;
}
