// A throwaway update run inside the test program: the temporary folder and the destination below
// a test folder, the manifest and the files served by the portal, files placed before the run,
// and what is found afterwards. Texts may use %DEST% (the destination folder), %TEMP% (the
// temporary folder), %URL% (the served folder's URL, ending in "/") and %KEY% (a throwaway key
// below HKEY_CURRENT_USER).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DlgDownload.h"
#include "EngineTestSupport.h"
#include "NotifyWindow.h"

// A file put in place before the run: "dest/<name>" or "temp/<name>", its bytes and, when given,
// its last-write time as a local calendar text "year,month,day,hour,minute,second".
struct CPlacedFile {
  std::string path;
  std::string bytes;
  const char* time = nullptr;
};

// A file served below %URL%.
struct CServedFile {
  std::string path;
  std::string bytes;
};

class CUpdateRunFixture {
 public:
  CUpdateRunFixture();
  ~CUpdateRunFixture();
  CUpdateRunFixture(const CUpdateRunFixture&) = delete;
  CUpdateRunFixture& operator=(const CUpdateRunFixture&) = delete;

  std::string Expand(std::string text) const;
  // Serves the manifest (null: not served) and the files, places the local files, then runs
  // DownloadFileList and CreateUpdateList for `mode` as the dialog does. The log is cleared first.
  void Prepare(const char* mode, const std::string* manifest, const std::vector<CServedFile>& served,
               const std::vector<CPlacedFile>& placed);
  int Fetched() const { return m_fetched; }
  bool Built() const { return m_built; }
  CDlgDownload& Dialog() { return *m_dialog; }
  // The status codes the dialog reported so far, as "21", "22".
  std::vector<std::string> Statuses();

  // Every file below the test folder, relative with "/" separators, sorted: "Dest/a.dll",
  // "VelTemp/sub/b.txt".
  std::vector<std::string> Files() const;
  // The listed items and files: "A[a.dll,b.dll*]" with "*" for a ready file.
  std::string Listed() const;
  // Values below %KEY% as "sub\name=data" (REG_DWORD in decimal), and the uninstall records as
  // "item\file", sorted.
  std::vector<std::string> Registry() const;

 private:
  CTestFolder m_root{"velsetup-update"};
  CSavedRegistryValue m_home;
  std::unique_ptr<CNotifyWindowStandIn> m_control;
  std::unique_ptr<CDlgDownload> m_dialog;
  int m_fetched = 0;
  bool m_built = false;
};

// A ZIP archive of the entries (name, data), deflated or stored (method 0).
std::string ZipBytes(const std::vector<std::pair<std::string, std::string>>& entries, int method = 8);
// The bytes of a fixture binary (bin/fixtures).
std::string FixtureBytes(const std::string& name);
// `count` bytes of a repeating pattern.
std::string PatternBytes(size_t count);
// The log lines of this run that start with one of the prefixes, without "[VelSetup]".
std::vector<std::string> LogLinesWith(const std::vector<std::string>& prefixes);
