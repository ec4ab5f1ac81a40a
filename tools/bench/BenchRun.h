// Process starts: the real setup manager from its start to its final status, and a bare
// process from its start to its end.
#pragma once

#include <cstddef>
#include <string>

struct CRunFigures {
  double milliseconds = 0;    // from the start to the final status, or to the end of the process
  int lastStatus = 0;         // the last status code received, 0 for none
  size_t peakWorkingSet = 0;  // of the started process
  bool timedOut = false;
  // When the manifest download (21), the list (22) and the installation (40) began; 0 when the
  // status never came.
  double manifestAt = 0;
  double listAt = 0;
  double installAt = 0;
};

// Starts `exe` as the control does ("-x <param> -w <window>"), receives its status messages and
// stops the clock at status 100 (or 90, 91, 101). A run that sends no status for `stallMs`, or
// ends in failure (its message box waits for an answer), is ended.
CRunFigures TimeSetupRun(const std::string& exe, const std::string& param, unsigned stallMs);

// Starts `exe` with `arguments` and waits for its end.
CRunFigures TimeProcessStart(const std::string& exe, const std::string& arguments);
