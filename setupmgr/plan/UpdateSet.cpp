#include "UpdateSet.h"

#include "AnsiText.h"

int CUpdateSet::CheckMode(const pugi::xml_node& element, const char* mode) {
  for (const pugi::xml_node child : element.children("MODE")) {
    if (EqualNoCase(child.attribute("NAME").value(), mode)) return 1;
  }
  return 0;
}

CUpdateFile* CUpdateSet::FindUpdateFile(const std::string& name) const {
  for (const std::unique_ptr<CUpdateFile>& file : m_arrUpdateFile) {
    if (EqualNoCase(file->m_strName.c_str(), name.c_str())) return file.get();
  }
  return nullptr;
}

bool CUpdateSet::IsDownloadFailed(bool passFailed) const {
  if (passFailed) return true;
  for (const std::unique_ptr<CUpdateFile>& file : m_arrUpdateFile) {
    if (!file->m_bReady) return true;
  }
  return false;
}
