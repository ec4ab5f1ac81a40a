// A manifest is downloaded text: whatever it holds, reading its FILE elements only fills records
// or rejects them, and an accepted record names a file inside its destination folder.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FakeSystem.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "UpdateFile.h"
#include "XmlLookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LogInit(0, 2);
  FakeSystem() = {};
  CFolderValues& folders = MacroFolders();
  folders = {};
  folders.m_strProgramFiles = "C:\\Program Files";
  folders.m_strWindows = "C:\\WINDOWS";
  folders.m_strSystem = "C:\\WINDOWS\\system32";
  folders.m_strOSVersion = "5.1";

  pugi::xml_document document;
  LoadMinimal(document, data, size);
  int files = 0;
  for (pugi::xml_node element = FirstDescendant(document, "FILE"); element && files < 16;
       element = element.next_sibling("FILE"), ++files) {
    CUpdateFile file;
    // Every other FILE as a setup manager with a key reads it: accepted only with its hashes.
    const bool requireHashes = files % 2 == 1;
    if (!file.GetUpdateInfo(element, requireHashes)) continue;
    if (requireHashes && !file.m_hashFile) __builtin_trap();
    if (requireHashes && file.m_strRunSource && !file.m_hashRunFile) __builtin_trap();
    if (file.m_strLocalPath.size() > kMaxPathLength) __builtin_trap();
    if (file.m_strName.empty() || file.m_strName.find('\\') != std::string::npos) __builtin_trap();
  }
  return 0;
}
