// One selected UPDATEITEM of the manifest and the files of it that need work.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "UpdateFile.h"

class CCancelSignal;
class CInstalledFiles;

class CUpdateSet {
 public:
  // 1 when one of the item's MODE children names `mode`, letter case aside; 0 otherwise.
  static int CheckMode(const pugi::xml_node& element, const char* mode);
  // Reads a selected UPDATEITEM: its files that need work, in order, and its registry edits,
  // applied at once in document order. `requireHashes` as for CUpdateFile::GetUpdateInfo.
  void CreateUpdateList(const pugi::xml_node& element, bool requireHashes = false);
  // The listed record of that name, letter case aside; null when there is none.
  CUpdateFile* FindUpdateFile(const std::string& name) const;
  // The item failed its download when the pass failed or any of its files is not ready.
  bool IsDownloadFailed(bool passFailed) const;

#ifdef _WIN32
  // Download pass (setupmgr/engine), on the worker thread.
  // The sum of the files' announced sizes.
  uint64_t GetTotalSize(HINTERNET internet);
  // Downloads every file in order, sending WM_FILE_DONE after each; true when all arrived.
  bool DownloadInstallFiles(HINTERNET internet, HWND window, const CCancelSignal* cancel);
#endif

  // Installation (setupmgr/engine), on the dialog's thread after the download pass.
  // Installs every file, then registers the servers when all are in place; an item that fails
  // anywhere is undone. `needReboot` becomes 1 when a file marked REBOOT waits for the restart.
  bool InstallFiles(int& needReboot, int forceDelete, CInstalledFiles& installed);
  // Unregisters and deletes the item's files (shared files are neither), cancels the replacements
  // at the next start that this run scheduled for them, and removes its uninstall records.
  void UndoInstall();

  // The item's ADDREG and DELREG edits (setupmgr/engine), applied while the item is read. True on
  // success; a failure is logged.
  bool AddRegistry(const pugi::xml_node& element);
  bool DeleteRegistry(const pugi::xml_node& element);
  // Records one of the item's installed files in the uninstall entry, unless the item brings its
  // own uninstaller. True when there was nothing to record or the record was written.
  bool RecordUninstall(CUpdateFile& file) const;

  std::string m_strName;       // key of the item's uninstall records
  int m_bSelfUninstaller = 0;  // the item brings its own uninstaller: no records are written
  std::vector<std::unique_ptr<CUpdateFile>> m_arrUpdateFile;  // in manifest order
};

// The download dialog's items of one run, in manifest order.
using CUpdateSetList = std::list<std::unique_ptr<CUpdateSet>>;
