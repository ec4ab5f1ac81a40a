// One selected UPDATEITEM of the manifest and the files of it that need work.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "UpdateFile.h"

class CUpdateSet {
 public:
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
