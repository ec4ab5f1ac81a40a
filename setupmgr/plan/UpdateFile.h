// One FILE of a selected update item: where it comes from, where it goes and what is done with
// it. Built from the manifest by GetUpdateInfo, then read by the download and the installation.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <pugixml.hpp>

#include "ManifestTrust.h"

#ifdef _WIN32
#include <windows.h>
#include <wininet.h>
#endif

class CCancelSignal;
class CInstalledFiles;
class CSha256;

// What the update check reads of a file found on disk.
struct CFoundFile {
  uint64_t size = 0;
  uint64_t lastWriteTime = 0;  // UTC file time
  bool hasVersion = false;     // the file has a readable fixed file version
  uint32_t versionMS = 0;
  uint32_t versionLS = 0;
  bool temporaryCopy = false;  // the copy in the temporary folder rather than the installed file
  // When set, reads the version in place of the three fields above, and only when the check
  // comes to it: the manifest gives a version, and size and time agree.
  std::function<bool(uint32_t& ms, uint32_t& ls)> readVersion;
};

class CUpdateFile {
 public:
  // Fills the record from a FILE element; false when SOURCE or DEST is missing or unusable, or a
  // SHA256 or RUNSHA256 text is malformed. With `requireHashes` (a build that verifies manifests)
  // a FILE without SHA256, or a run file without RUNSHA256, is refused too: the signature vouches
  // for the files only through their hashes.
  bool GetUpdateInfo(const pugi::xml_node& element, bool requireHashes = false);

  // 1 when the record must stay in the update list, 0 when the installed file is current. An
  // installed file is re-registered and, with `writeRecords`, recorded; a stale temporary copy is
  // deleted and a current one sets m_bReady.
  int CheckUpdateFile(const char* itemName, bool writeRecords);
  // 1 when `file` differs from the manifest in size, in time to the whole second (both read as
  // local calendar times with `biasMinutes`, UTC = local + bias) or is older than its version;
  // 0 when not. Size wins over time, time over version. A temporary copy without a readable
  // version is stale when the manifest gives one.
  int CheckUpdate(const CFoundFile& file, long biasMinutes) const;

  // Engine steps on the installed file (setupmgr/engine).
  // Fetches the run file when needed and runs it to its end; false when it was needed but could
  // not be fetched or started.
  bool RunFileAndWait();
  // Runs the installed file as EXECUTE says: started with PARAM, waited for, deleted afterwards.
  void ExecuteDownloadedFile();
  // Records the installed file under the item's uninstall key; false without a program path or
  // with an item name that would name the uninstall entry itself.
  bool RegistUninstaller(const char* itemName);
  // Registration of a COM server through the system's registration tool and, with Internet
  // Explorer 7, the browser's pre-approved list. True on success.
  bool RegisterServer();
  bool UnregisterServer();
  bool RegisterPreApproved();
  bool UnregisterPreApproved();

#ifdef _WIN32
  // Download pass (setupmgr/engine), on the worker thread.
  // Stores and returns the size the server announces for the file; 0 when it is ready.
  uint32_t GetDownloadSize(HINTERNET internet);
  // True when the file, or the contents of its ZIP archive, lies in the temporary folder.
  bool DownloadUpdateFile(HINTERNET internet, HWND window, const CCancelSignal* cancel);
  // True when `hash` ends in SHA256; false, with a level-1 line naming `path`, when not.
  bool MatchesHash(CSha256& hash, const std::string& path) const;
#endif
  // Installation steps (setupmgr/engine), on the dialog's thread.
  // Runs the run file, removes what DELETEREGCLASS and DELETEREGKEY name, puts the downloaded
  // copy in place, stamps its time, records it (with `recordUninstall`) and runs it as EXECUTE
  // says. True when the file is in place or waits for the next system start.
  bool InstallProcess(const char* itemName, int forceDelete, bool recordUninstall, int& needReboot,
                      CInstalledFiles& installed);
  // Replaces the installed file with the downloaded copy at `copyPath`. A file in use is replaced
  // at the next system start (REBOOT sets `needReboot`) or, with `forceDelete` 1 and the user's
  // consent, after the programs holding it were ended. False when the copy is missing, the old
  // file cannot be deleted for another reason or the copy cannot be moved.
  bool MoveInstallFiles(const char* copyPath, int forceDelete, int& needReboot);
  // Deletes the installed file unless it is shared; true when it is gone or kept on purpose.
  bool UninstallFile();

  // Gives the installed file at `path` the manifest's last-write time, if it has one.
  void ApplyFileTime(const char* path) const;

  std::string m_strName;                        // file name at the destination and in the temporary folder
  std::string m_strSource;                      // download URL
  std::optional<std::string> m_strSourceWin9x;  // download URL on Windows 9x
  std::string m_strLocalPath;                   // expanded DEST + "\" + name: the installed file
  std::optional<std::string> m_strClassID;      // class identifier without braces
  std::optional<std::string> m_strParam;        // arguments when the file is run
  int m_nExecute = 0;                           // run options: 1 run, 2 wait, 4 delete afterwards
  uint32_t m_dwVersionMS = 0;
  uint32_t m_dwVersionLS = 0;
  int m_nFileSize = 0;           // expected size, 0 = not given
  uint32_t m_nDownloadSize = 0;  // size the server announced, 0 when m_bReady
  int m_bRegister = 0;
  int m_bReboot = 0;
  int m_bSharedDll = 0;
  int m_bMainFile = 0;
  std::optional<std::string> m_strDeleteRegClass;  // class whose server file is removed first
  std::optional<std::string> m_strDeleteRegKey;    // key deleted first
  std::optional<std::string> m_strRunFile;         // program run before installing
  std::optional<std::string> m_strRunSource;
  std::optional<std::string> m_strRunDest;  // macros expanded
  std::optional<std::string> m_strRunParam;
  uint32_t m_dwRunVersionMS = 0;
  uint32_t m_dwRunVersionLS = 0;
  uint64_t m_ftFileTime = 0;                   // expected last-write time as UTC, 0 = not given
  int m_bReady = 0;                            // a current copy is already in the temporary folder
  std::string m_strScheduledCopy;              // the copy this run left to replace the file at the next start
  std::optional<CSha256Digest> m_hashFile;     // SHA256: what the installed file must hash to
  std::optional<CSha256Digest> m_hashRunFile;  // RUNSHA256: what the run file must hash to

 private:
  bool ParseRunFileElement(const pugi::xml_node& element, bool requireHashes);
};
