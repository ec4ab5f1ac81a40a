// The files of one recorded item and their removal: the records read back, COM servers
// unregistered, files deleted (ending the programs that hold them when the user agrees).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One file subkey of an item, as the uninstall records hold it.
struct UninstallEntry {
  std::string m_strFilePath;  // full path of the installed file
  DWORD m_dwUnregister = 0;   // exactly 1: a COM server to unregister
  DWORD m_dwSharedDll = 0;    // nonzero: shared, neither unregistered nor deleted
  std::string m_strClassID;   // without braces, or empty
};
using CUninstallEntryList = std::vector<UninstallEntry>;

// Appends the item's files in registry order. A file subkey whose "FilePath" is missing, of
// another type, too long for a path buffer or not a full path is skipped with a level-1 line.
// False when the item key cannot be opened.
bool GetFileList(const char* itemKeyPath, CUninstallEntryList& list);

// Unregisters every unshared, present file recorded with "Unregister" 1 and, with Internet
// Explorer 7, takes its class off the browser's pre-approved list. Always true.
bool UnregisterFiles(const CUninstallEntryList& list);

// Deletes every unshared, present file in list order; stops at the first one that stays, false.
bool UninstallFiles(const CUninstallEntryList& list);

// Deletes the file, ending the programs that hold it if the user agrees (question 61211) and then
// trying again up to twenty times. True when the file is gone.
bool ForceDelete(const char* path);

// Whether a recorded file is still on disk, by its attributes: a file that cannot be read, or whose
// attributes cannot be read for any reason but its absence, is there.
bool RecordedFilePresent(const char* path);

// The deletion ForceDelete uses: DeleteFileA unless a test replaced it; nullptr restores it.
using DeleteFileFunction = BOOL(WINAPI*)(LPCSTR path);
void SetDeleteFileForTesting(DeleteFileFunction function);
