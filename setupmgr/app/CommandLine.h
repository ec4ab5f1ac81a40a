// The setup manager's command line: -x <install parameter>, -u, -w <window handle>.
#pragma once

#include <cstdint>

class CInstallSettings;

struct CCommandLineFlags {
  int m_bUninstall = 0;          // -u
  uint32_t m_nNotifyWindow = 0;  // -w, 0 when none
};

// Walks the arguments after the program name. An option is known by its first two characters,
// any letter case (-X, -Uninstall, -wnd); other arguments are skipped. Each -x value is parsed
// into the settings in turn and the last one decides the result; without any argument the
// settings get their no-argument defaults. Returns nonzero when the start is valid.
int ParseCommandLine(int argc, const char* const* argv, CInstallSettings& settings, CCommandLineFlags& flags);
