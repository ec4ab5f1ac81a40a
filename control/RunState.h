// What the control knows of the setup manager's run, and the status it reports to the page.
#pragma once

#include <cstdint>

// The control's own status codes, beside those the setup manager posts (SetupProtocol.h).
enum ControlStatus {
  SETUP_STATUS_NONE = 0,             // nothing started since the last reset
  SETUP_STATUS_START_FAILED = 4,     // only as the result of StartUpdate and WaitUpdate
  SETUP_STATUS_PROCESS_ENDED = 103,  // only from GetStatus: the process ended unannounced
};

class CRunState {
 public:
  // Status, percentage and running flag back to 0.
  void Reset();
  // A start succeeded: running, status 20.
  void Started();

  // WM_SETUP_STATUS: any code is stored as it came; the percentage comes with code 30.
  void ApplyStatus(int64_t code, int64_t lParam);
  // WM_SETUP_CLOSED: the run is over.
  void ApplyClosed() { m_bRunning = 0; }

  bool IsRunning() const { return m_bRunning != 0; }
  // The stored code as WaitUpdate returns it: its low 16 bits.
  int16_t StoredStatus() const { return static_cast<int16_t>(m_nStatus); }

  // GetStatus: 103 once when the process of a running run has ended (the flag is cleared);
  // otherwise 30 to 39 for a download at 0 to 100 per cent, or the stored code.
  int16_t Report(bool processEnded);

 private:
  int32_t m_nStatus = SETUP_STATUS_NONE;
  int32_t m_nPercent = 0;
  int32_t m_bRunning = 0;
};
