// Building the update list on the dialog's thread: which files of a selected item need work,
// with the side effects the check has on files already installed.
#include <windows.h>

#include <memory>

#include "Folders.h"
#include "ManifestText.h"
#include "Sha256.h"
#include "SetupLog.h"
#include "TemporaryFolder.h"
#include "TemporaryNames.h"
#include "UpdateSet.h"
#include "Util.h"

namespace {

// Size and time of an existing file, and how to read its version; false for a missing path and
// for a folder. No pattern matching: a name holding "*" or "?" names no other file.
bool FindFile(const std::string& path, bool temporaryCopy, CFoundFile& found) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  found.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  found.lastWriteTime =
      (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  found.readVersion = [path](uint32_t& ms, uint32_t& ls) {
    DWORD high = 0;
    DWORD low = 0;
    if (!ReadFileVersion(path.c_str(), high, low)) return false;
    ms = high;
    ls = low;
    return true;
  };
  found.temporaryCopy = temporaryCopy;
  return true;
}

// The record's temporary copy; false, with a level-1 line, when the path does not fit.
bool TemporaryCopyPath(const CUpdateFile& file, std::string& path) {
  const std::string& folder = SystemFolders().m_strTempFolder;
  if (folder.empty() || !JoinFolderPath(folder, file.m_strName, path)) {
    LogWrite(1, "[CreateUpdateList] Temp path too long (%s\\%s)", folder.c_str(), file.m_strName.c_str());
    return false;
  }
  return true;
}

// A copy with the right size, time and version is current only when it also has the manifest's
// hash, if there is one.
bool CopyMatchesHash(const CUpdateFile& file, const std::string& path) {
  if (!file.m_hashFile) return true;
  CSha256Digest digest;
  if (!HashFile(path.c_str(), digest)) return false;
  if (digest == *file.m_hashFile) return true;
  LogWrite(2, "[CreateUpdateList] Temp File SHA256 (%s) (U:%s) != (L:%s)", path.c_str(),
           Sha256Text(*file.m_hashFile).c_str(), Sha256Text(digest).c_str());
  return false;
}

}  // namespace

int CUpdateFile::CheckUpdateFile(const char* itemName, bool writeRecords) {
  const char* localPath = m_strLocalPath.c_str();
  CFoundFile installed;
  if (!FindFile(m_strLocalPath, false, installed)) {
    LogWrite(2, "[CreateUpdateList] File do not exist (%s)", localPath);
    return 1;
  }

  const bool registered = RegisterServer();
  if (writeRecords) RegistUninstaller(itemName);
  // A registration that fails deletes the file; the run then installs it again.
  if (!registered && !FindFile(m_strLocalPath, false, installed)) {
    LogWrite(2, "[CreateUpdateList] File do not exist (%s)", localPath);
    return 1;
  }

  const long bias = CUtil::CurrentTimeZoneBias();
  if (CheckUpdate(installed, bias) == 0) {
    LogWrite(2, "[CreateUpdateList] do not need to update file (%s)", localPath);
    return 0;
  }

  std::string tempPath;
  CFoundFile copy;
  if (!TemporaryCopyPath(*this, tempPath) || !FindFile(tempPath, true, copy)) return 1;
  LogWrite(2, "[CreateUpdateList] Temp File exist (%s)", tempPath.c_str());
  if (!TemporaryCopiesTrusted() || CheckUpdate(copy, bias) != 0 || !CopyMatchesHash(*this, tempPath)) {
    ::DeleteFileA(tempPath.c_str());
    return 1;
  }
  m_bReady = 1;
  return 1;
}

void CUpdateSet::CreateUpdateList(const pugi::xml_node& element, bool requireHashes) {
  m_strName = element.attribute("NAME").value();
  m_bSelfUninstaller = IsTrueText(element.attribute("SELFUNINSTALLER").value()) ? 1 : 0;

  for (const pugi::xml_node child : element.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "FILE") {
      auto file = std::make_unique<CUpdateFile>();
      if (!file->GetUpdateInfo(child, requireHashes)) {
        LogWrite(1, "[CreateUpdateList] GetUpdateInfo Failed (%s, %s)", m_strName.c_str(),
                 child.attribute("NAME").value());
        continue;
      }
      CUpdateFile* const listed = FindUpdateFile(file->m_strName);
      if (listed != nullptr) {
        LogWrite(2, "[CreateUpdateList] already exist In update array(%s)", file->m_strName.c_str());
      }
      const int needed = file->CheckUpdateFile(m_strName.c_str(), !m_bSelfUninstaller);
      if (listed != nullptr) {
        // The duplicate's check may have deleted the temporary copy the listed record counts on.
        std::string tempPath;
        CFoundFile copy;
        if (listed->m_bReady && (!TemporaryCopyPath(*listed, tempPath) || !FindFile(tempPath, true, copy))) {
          listed->m_bReady = 0;
        }
      } else if (needed == 1) {
        m_arrUpdateFile.push_back(std::move(file));
      }
    } else if (name == "ADDREG") {
      AddRegistry(child);
    } else if (name == "DELREG") {
      DeleteRegistry(child);
    }
  }
}
