// One FILE of a selected update item: where it comes from, where it goes and what is done with
// it. Built from the manifest by GetUpdateInfo, then read by the download and the installation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <pugixml.hpp>

class CUpdateFile {
 public:
  // Fills the record from a FILE element; false when SOURCE or DEST is missing or unusable.
  bool GetUpdateInfo(const pugi::xml_node& element);

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

  std::string m_strName;                        // file name at the destination and in the temporary folder
  std::string m_strSource;                      // download URL
  std::optional<std::string> m_strSourceWin9x;  // download URL on Windows 9x
  std::string m_strLocalPath;                   // expanded DEST + "\" + name: the installed file
  std::optional<std::string> m_strClassID;      // class identifier without braces
  std::optional<std::string> m_strParam;        // arguments when the file is run
  int m_nExecute = 0;                           // run options: 1 run, 2 wait, 4 delete afterwards
  uint32_t m_dwVersionMS = 0;
  uint32_t m_dwVersionLS = 0;
  int m_nFileSize = 0;      // expected size, 0 = not given
  int m_nDownloadSize = 0;  // size the server announced, 0 when m_bReady
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
  uint64_t m_ftFileTime = 0;  // expected last-write time as UTC, 0 = not given
  int m_bReady = 0;           // a current copy is already in the temporary folder

 private:
  bool ParseRunFileElement(const pugi::xml_node& element);
};
