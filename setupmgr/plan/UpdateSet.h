// One selected UPDATEITEM of the manifest and the files of it that need work.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "UpdateFile.h"

class CUpdateSet {
 public:
  std::string m_strName;       // key of the item's uninstall records
  int m_bSelfUninstaller = 0;  // the item brings its own uninstaller: no records are written
  std::vector<std::unique_ptr<CUpdateFile>> m_arrUpdateFile;  // in manifest order
};
