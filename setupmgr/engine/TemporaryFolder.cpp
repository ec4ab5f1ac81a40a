#include "TemporaryFolder.h"

#include <aclapi.h>

#include "Folders.h"
#include "SetupLog.h"
#include "Util.h"
#include "WinHandles.h"

namespace {

constexpr DWORD kReadAndExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
constexpr BYTE kPassedOn = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// The accounts that may own or change the folder, and Users, who may read it.
class CAccounts {
 public:
  CAccounts() {
    DWORD size = sizeof m_system;
    m_bValid = ::CreateWellKnownSid(WinLocalSystemSid, nullptr, m_system, &size) != FALSE;
    size = sizeof m_administrators;
    m_bValid =
        m_bValid && ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, m_administrators, &size);
    size = sizeof m_users;
    m_bValid = m_bValid && ::CreateWellKnownSid(WinBuiltinUsersSid, nullptr, m_users, &size);
    CScopedHandle token;
    DWORD needed = 0;
    m_bValid = m_bValid && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()) &&
               ::GetTokenInformation(token.Get(), TokenUser, m_user, sizeof m_user, &needed);
  }
  bool IsValid() const { return m_bValid; }
  PSID System() const { return const_cast<BYTE*>(m_system); }
  PSID Administrators() const { return const_cast<BYTE*>(m_administrators); }
  PSID Users() const { return const_cast<BYTE*>(m_users); }
  PSID RunningAccount() const { return reinterpret_cast<const TOKEN_USER*>(m_user)->User.Sid; }

  EAccount Classify(PSID sid) const {
    if (sid == nullptr || !::IsValidSid(sid)) return EAccount::kOther;
    if (::EqualSid(sid, System())) return EAccount::kSystem;
    if (::EqualSid(sid, Administrators())) return EAccount::kAdministrators;
    if (::EqualSid(sid, RunningAccount())) return EAccount::kRunningAccount;
    return EAccount::kOther;
  }

 private:
  BYTE m_system[SECURITY_MAX_SID_SIZE] = {};
  BYTE m_administrators[SECURITY_MAX_SID_SIZE] = {};
  BYTE m_users[SECURITY_MAX_SID_SIZE] = {};
  alignas(TOKEN_USER) BYTE m_user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  bool m_bValid = false;
};

bool QueryFolderFacts(const char* path, CFolderFacts& facts) {
  // The name's own attribute: where a link leads is never looked at.
  const DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  facts.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = ::GetNamedSecurityInfoA(const_cast<char*>(path), SE_FILE_OBJECT,
                                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                                              nullptr, nullptr, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) {
    ::SetLastError(error);
    return false;
  }
  const bool read = FolderFactsOf(descriptor, facts);
  ::LocalFree(descriptor);
  return read;
}

FolderFactsQuery g_queryFolderFacts = QueryFolderFacts;
bool g_bCopiesTrusted = true;
CScopedFile g_pinnedFolder;  // the checked folder, open without delete sharing until released

// Deletes everything inside `folder`. Links inside are removed themselves, never followed.
void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  const HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) EmptyFolder(path);
      ::RemoveDirectoryA(path.c_str());
    } else {
      ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(path.c_str());
    }
  } while (::FindNextFileA(find, &found));
  ::FindClose(find);
}

// Gives the folder the program's access list and deletes what others may have put in it. The
// folder is held open without delete sharing meanwhile, so that it cannot be swapped for a link.
bool SecureFolder(const std::string& folder) {
  CTemporaryFolderSecurity security;
  const CScopedFile opened(::CreateFileA(folder.c_str(), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!security.IsValid() || !opened || !::GetFileInformationByHandle(opened.Get(), &info)) return false;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  const DWORD error = ::SetSecurityInfo(opened.Get(), SE_FILE_OBJECT,
                                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, security.List(), nullptr);
  if (error != ERROR_SUCCESS) {
    ::SetLastError(error);
    return false;
  }
  EmptyFolder(folder);
  return true;
}

}  // namespace

void SetFolderFactsQueryForTesting(FolderFactsQuery query) {
  g_queryFolderFacts = query != nullptr ? query : QueryFolderFacts;
}

CTemporaryFolderSecurity::CTemporaryFolderSecurity() {
  const CAccounts accounts;
  const PACL list = List();
  m_bValid =
      accounts.IsValid() && ::InitializeAcl(list, sizeof m_list, ACL_REVISION) &&
      ::AddAccessAllowedAceEx(list, ACL_REVISION, kPassedOn, FILE_ALL_ACCESS, accounts.System()) &&
      ::AddAccessAllowedAceEx(list, ACL_REVISION, kPassedOn, FILE_ALL_ACCESS, accounts.Administrators()) &&
      ::AddAccessAllowedAceEx(list, ACL_REVISION, kPassedOn, FILE_ALL_ACCESS, accounts.RunningAccount()) &&
      ::AddAccessAllowedAceEx(list, ACL_REVISION, kPassedOn, kReadAndExecute, accounts.Users()) &&
      ::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
      ::SetSecurityDescriptorDacl(&m_descriptor, TRUE, list, FALSE) &&
      ::SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

bool FolderFactsOf(PSECURITY_DESCRIPTOR descriptor, CFolderFacts& facts) {
  const CAccounts accounts;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  BOOL present = FALSE;
  PACL list = nullptr;
  if (!accounts.IsValid() || !::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !::GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted)) {
    return false;
  }
  facts.owner = accounts.Classify(owner);
  facts.hasList = present && list != nullptr;
  facts.entries.clear();
  if (!facts.hasList) return true;
  ACL_SIZE_INFORMATION size = {};
  if (!::GetAclInformation(list, &size, sizeof size, AclSizeInformation)) return false;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(list, i, &ace)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    CAccessEntry entry;
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
      // Both kinds share one layout.
      auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      entry.allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
      entry.account = accounts.Classify(&allowed->SidStart);
      entry.mask = allowed->Mask;
    } else {
      entry.mask = 0xFFFFFFFFu;  // a kind not read here counts as granting anybody everything
    }
    facts.entries.push_back(entry);
  }
  return true;
}

bool PrepareTemporaryFolder(const std::string& folder) {
  g_bCopiesTrusted = true;
  const auto creationFailed = [&folder] {
    LogWrite(1, "[DownloadFileList] CUtil::CreateRecursiveDirectory(%s) Failed, Error Code = %d",
             folder.c_str(), static_cast<int>(::GetLastError()));
    return false;
  };
  // The family without security keeps the folder as it finds it.
  if (SystemFolders().m_dwPlatformId != VER_PLATFORM_WIN32_NT)
    return CUtil::CreateRecursiveDirectory(folder.c_str()) || creationFailed();

  std::string path = folder;
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  const size_t separator = path.rfind('\\');
  const std::string parent = separator == std::string::npos ? std::string() : path.substr(0, separator);
  CTemporaryFolderSecurity security;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, security.Descriptor(), FALSE};
  const bool created =
      security.IsValid() &&
      (parent.find('\\') == std::string::npos || CUtil::CreateRecursiveDirectory(parent.c_str())) &&
      ::CreateDirectoryA(path.c_str(), &attributes);
  if (!created && ::GetLastError() != ERROR_ALREADY_EXISTS) return creationFailed();

  // Held open from before the check to the end of the run: without delete sharing, neither this
  // folder nor one above it can be renamed away and replaced by another in the meantime.
  g_pinnedFolder.Reset(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  CFolderFacts facts;
  if (!g_pinnedFolder || !g_queryFolderFacts(path.c_str(), facts)) {
    LogWrite(1, "[DownloadFileList] Temporary folder cannot be checked (%s), Error Code = %d", folder.c_str(),
             static_cast<int>(::GetLastError()));
    return false;
  }
  switch (DecideFolderTrust(facts)) {
    case EFolderTrust::kTrusted:
      return true;
    case EFolderTrust::kSecure:
      g_bCopiesTrusted = false;
      if (!SecureFolder(path)) {
        LogWrite(1, "[DownloadFileList] Temporary folder cannot be secured (%s), Error Code = %d",
                 folder.c_str(), static_cast<int>(::GetLastError()));
        return false;
      }
      LogWrite(1, "[DownloadFileList] Temporary folder was open to other accounts, secured and emptied (%s)",
               folder.c_str());
      return true;
    case EFolderTrust::kLink:
      LogWrite(1, "[DownloadFileList] Temporary folder is a link or mount point, not used (%s)",
               folder.c_str());
      return false;
    case EFolderTrust::kForeign:
      LogWrite(1, "[DownloadFileList] Temporary folder is owned by another account, not used (%s)",
               folder.c_str());
      return false;
  }
  return false;
}

bool TemporaryCopiesTrusted() { return g_bCopiesTrusted; }

void ReleaseTemporaryFolder() { g_pinnedFolder.Reset(); }

bool MoveIntoPlace(const char* copyPath, const char* path) {
  if (!::MoveFileA(copyPath, path)) return false;
  if (SystemFolders().m_dwPlatformId != VER_PLATFORM_WIN32_NT) return true;
  // An empty list that is not protected: the file keeps only what its new folder passes on.
  ACL empty;
  DWORD error = ::InitializeAcl(&empty, sizeof empty, ACL_REVISION) ? ERROR_SUCCESS : ::GetLastError();
  if (error == ERROR_SUCCESS) {
    error = ::SetNamedSecurityInfoA(const_cast<char*>(path), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &empty, nullptr);
  }
  if (error != ERROR_SUCCESS) {
    LogWrite(1, "[MoveInstallFiles] SetNamedSecurityInfo(%s) Failed, Error Code = %d", path,
             static_cast<int>(error));
  }
  return true;
}
