#include "UpdateFile.h"

#include "Decimal.h"
#include "ManifestText.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "Util.h"
#include "XmlLookup.h"

namespace {

// The element's text when it is present; an empty element is present with an empty text.
std::optional<std::string> FindText(const pugi::xml_node& root, const char* name) {
  const pugi::xml_node element = FirstDescendant(root, name);
  if (!element) return std::nullopt;
  return std::string(ElementText(element));
}

int FindFlag(const pugi::xml_node& root, const char* name) {
  return IsTrueText(ElementText(FirstDescendant(root, name))) ? 1 : 0;
}

// A name joined to a folder must stay in that folder: the downloaded copy is replaced and
// deleted in the temporary folder under this name. Every byte is tested, trail bytes too, so
// that no code page's reading of a double-byte character can hide a separator.
// An optional digest element: false, with a level-1 line, when it is malformed or, with
// `required`, missing.
bool FindDigest(const pugi::xml_node& root, const char* element, bool required, const char* operation,
                const std::string& fileName, std::optional<CSha256Digest>& digest) {
  const std::optional<std::string> text = FindText(root, element);
  digest.reset();
  if (!text) {
    if (required) LogWrite(1, "[%s] %s do not exist (FileName = %s)", operation, element, fileName.c_str());
    return !required;
  }
  CSha256Digest value;
  if (!ReadSha256Text(*text, value)) {
    LogWrite(1, "[%s] Invalid %s %s (FileName = %s)", operation, element, text->c_str(), fileName.c_str());
    return false;
  }
  LogWrite(2, "[%s] %s = %s (FileName = %s)", operation, element, text->c_str(), fileName.c_str());
  digest = value;
  return true;
}

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

}  // namespace

bool CUpdateFile::GetUpdateInfo(const pugi::xml_node& element, bool requireHashes) {
  m_strName = element.attribute("NAME").value();
  const char* name = m_strName.c_str();

  const std::optional<std::string> source = FindText(element, "SOURCE");
  if (!source) {
    LogWrite(1, "[GetUpdateInfo] Source do not exist (FileName = %s)", name);
    return false;
  }
  m_strSource = *source;
  m_strSourceWin9x = FindText(element, "SOURCE_WIN9X");

  const std::optional<std::string> dest = FindText(element, "DEST");
  if (!dest) {
    LogWrite(1, "[GetUpdateInfo] Dest do not exist (FileName = %s)", name);
    return false;
  }
  if (!IsPlainFileName(m_strName)) {
    LogWrite(1, "[GetUpdateInfo] Invalid file name (FileName = %s)", name);
    return false;
  }
  if (!FindDigest(element, "SHA256", requireHashes, "GetUpdateInfo", m_strName, m_hashFile)) return false;
  std::string folder;
  if (!ExpandPathMacros(dest->c_str(), folder)) {
    LogWrite(1, "[GetUpdateInfo] Invalid Dest %s (FileName = %s)", dest->c_str(), name);
    return false;
  }
  if (folder.size() + 1 + m_strName.size() > kMaxPathLength) {
    LogWrite(1, "[GetUpdateInfo] Path too long (%s\\%s)", folder.c_str(), name);
    return false;
  }
  if (!CUtil::CreateRecursiveDirectory(folder.c_str())) {
    LogWrite(1, "[GetUpdateInfo] CUtil::CreateRecursiveDirectory(%s) Failed, Error Code = %d", folder.c_str(),
             static_cast<int>(CUtil::LastError()));
  }
  m_strLocalPath = folder + "\\" + m_strName;

  m_dwVersionMS = m_dwVersionLS = 0;
  if (const std::optional<std::string> version = FindText(element, "VERSION")) {
    ReadVersionText(version->c_str(), m_dwVersionMS, m_dwVersionLS);
    LogWrite(2, "[GetUpdateInfo] Version = %s (FileName = %s)", version->c_str(), name);
  }

  m_nFileSize = ParseAtoi(ElementText(FirstDescendant(element, "FILESIZE")));
  LogWrite(2, "[GetUpdateInfo] FileSize = %d (FileName = %s)", m_nFileSize, name);

  m_ftFileTime = 0;
  if (const std::optional<std::string> fileTime = FindText(element, "FILETIME")) {
    LogWrite(2, "[GetUpdateInfo] FileTime = %s (FileName = %s)", fileTime->c_str(), name);
    // A text that is no valid local time counts as no time given.
    if (!ReadFileTimeText(fileTime->c_str(), CUtil::CurrentTimeZoneBias(), m_ftFileTime)) {
      LogWrite(1, "[GetUpdateInfo] Invalid FileTime = %s (FileName = %s)", fileTime->c_str(), name);
    }
  }

  m_bRegister = FindFlag(element, "REGISTER");
  LogWrite(2, "[GetUpdateInfo] Register = %d (FileName = %s)", m_bRegister, name);

  m_strDeleteRegClass = FindText(element, "DELETEREGCLASS");
  if (m_strDeleteRegClass) {
    LogWrite(2, "[GetUpdateInfo] DeleteRegClass=%s (FileName = %s)", m_strDeleteRegClass->c_str(), name);
  }
  m_strDeleteRegKey = FindText(element, "DELETEREGKEY");
  if (m_strDeleteRegKey) {
    LogWrite(2, "[GetUpdateInfo] DeleteRegKey=%s (FileName = %s)", m_strDeleteRegKey->c_str(), name);
  }

  m_bReboot = FindFlag(element, "REBOOT");
  LogWrite(2, "[GetUpdateInfo] Reboot = %d (FileName = %s)", m_bReboot, name);

  m_nExecute = ParseAtoi(ElementText(FirstDescendant(element, "EXECUTE")));
  LogWrite(2, "[GetUpdateInfo] ExecuteOption = %d (FileName = %s)", m_nExecute, name);

  m_strParam = FindText(element, "PARAM");
  if (m_strParam)
    LogWrite(2, "[GetUpdateInfo] ExecuteParam = %s (FileName  = %s)", m_strParam->c_str(), name);

  m_bSharedDll = FindFlag(element, "SHAREDDLL");
  LogWrite(2, "[GetUpdateInfo] SharedDll = %d (FileName = %s)", m_bSharedDll, name);

  if (const pugi::xml_node runFile = FirstDescendant(element, "RUNFILE")) {
    if (!ParseRunFileElement(runFile, requireHashes)) return false;
  }

  m_bMainFile = FindFlag(element, "MAINFILE");

  m_strClassID = FindText(element, "CLASSID");
  if (m_strClassID) LogWrite(2, "[GetUpdateInfo] ClassID=%s (FileName = %s)", m_strClassID->c_str(), name);
  return true;
}

bool CUpdateFile::ParseRunFileElement(const pugi::xml_node& element, bool requireHashes) {
  m_strRunFile = element.attribute("NAME").value();
  LogWrite(2, "[ParseRunFileElement] RunFile=%s", m_strRunFile->c_str());

  m_strRunSource = FindText(element, "RUNSOURCE");
  if (m_strRunSource) {
    LogWrite(2, "[GetUpdateInfo] RunFileSource = %s", m_strRunSource->c_str());
    // The run file is stored, run and deleted under its name.
    if (!IsPlainFileName(*m_strRunFile)) {
      LogWrite(1, "[ParseRunFileElement] Invalid run file name (FileName = %s)", m_strName.c_str());
      return false;
    }
  }
  // Only a run file that is fetched has to carry its hash.
  if (!FindDigest(element, "RUNSHA256", requireHashes && m_strRunSource.has_value(), "ParseRunFileElement",
                  m_strName, m_hashRunFile)) {
    return false;
  }

  if (const std::optional<std::string> runDest = FindText(element, "RUNDEST")) {
    std::string folder;
    if (!ExpandPathMacros(runDest->c_str(), folder) ||
        folder.size() + 1 + m_strRunFile->size() > kMaxPathLength) {
      LogWrite(1, "[ParseRunFileElement] Invalid RunDest %s (FileName = %s)", runDest->c_str(),
               m_strName.c_str());
      return false;
    }
    m_strRunDest = folder;
    LogWrite(2, "[GetUpdateInfo] RunFileDest = %s", folder.c_str());
  }

  m_strRunParam = FindText(element, "RUNPARAM");
  if (m_strRunParam) LogWrite(2, "[GetUpdateInfo] RunParam = %s", m_strRunParam->c_str());

  m_dwRunVersionMS = m_dwRunVersionLS = 0;
  if (const std::optional<std::string> version = FindText(element, "RUNVERSION")) {
    ReadVersionText(version->c_str(), m_dwRunVersionMS, m_dwRunVersionLS);
    LogWrite(2, "[GetUpdateInfo] Version = %s (FileName = %s)", version->c_str(), m_strName.c_str());
  }
  return true;
}
