// The install parameter: a short XML text handed over with "-x" that names the manifest, the
// mode and two switches of the run.
#pragma once

#include <cstddef>
#include <string>

// Longest install parameter the command line accepts, in bytes.
constexpr size_t kInstallParamLimit = 4095;

// The run's settings; the download dialog holds them.
class CInstallSettings {
 public:
  std::string m_strSourceURL;  // manifest location
  std::string m_strMode;       // selects the manifest's update items
  int m_nShowDlg = 1;          // 0: the progress window is never shown
  int m_nForceDelete = 1;      // 1: programs holding a file to replace may be closed

  // Reads SOURCE, MODE, FORCEDELETE and SHOWDLG under PARAM; each element found sets its
  // setting, also to an empty value. True when the source URL and the mode are both non-empty.
  bool ParseXMLArgument(const char* text);

  // The settings of a run started without any argument.
  void SetNoArgumentDefaults();
};
