// The temporary folder of an update run: the copies in it are moved into the program folders
// and run with administrator rights, so it is used only when nobody but SYSTEM, Administrators
// and the running account can change it (setupmgr/plan/FolderTrust.h decides).
#pragma once

#include <windows.h>

#include <string>

#include "FolderTrust.h"

// What the system reports of the folder at `path` itself (a link is not followed): its kind,
// owner and access list. False, with the system's error, when it cannot be asked.
using FolderFactsQuery = bool (*)(const char* path, CFolderFacts& facts);
// nullptr restores the system's answers.
void SetFolderFactsQueryForTesting(FolderFactsQuery query);

// The access list the program gives the folder: protected (nothing inherited), SYSTEM,
// Administrators and the running account full control, Users read and execute, passed on to
// everything inside. Valid for the life of the object.
class CTemporaryFolderSecurity {
 public:
  CTemporaryFolderSecurity();
  bool IsValid() const { return m_bValid; }
  PSECURITY_DESCRIPTOR Descriptor() { return &m_descriptor; }
  PACL List() { return reinterpret_cast<PACL>(m_list); }

 private:
  DWORD m_list[128];
  SECURITY_DESCRIPTOR m_descriptor = {};
  bool m_bValid = false;
};

// The facts of a security descriptor's owner and access list, each account classified.
bool FolderFactsOf(PSECURITY_DESCRIPTOR descriptor, CFolderFacts& facts);

// Creates the folder with the program's own access list, or checks an existing one: one that
// others can change is secured and emptied, its copies never trusted; a link or a folder of
// another owner is refused. False, with a level-1 line that says why, when it must not be used.
// The folder stays open, so that it cannot be replaced, until ReleaseTemporaryFolder.
bool PrepareTemporaryFolder(const std::string& folder);
// Lets go of the folder, so that it can be removed.
void ReleaseTemporaryFolder();

// False once PrepareTemporaryFolder found a folder that others could change: no copy found in
// it is current, whatever its size, time and version.
bool TemporaryCopiesTrusted();

// Moves the checked copy into place. The file then carries the access list its new folder passes
// on, not the temporary folder's. The move's result.
bool MoveIntoPlace(const char* copyPath, const char* path);
