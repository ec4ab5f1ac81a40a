#include "RunState.h"

#include "SetupProtocol.h"

void CRunState::Reset() {
  m_nStatus = SETUP_STATUS_NONE;
  m_nPercent = 0;
  m_bRunning = 0;
}

void CRunState::Started() {
  m_bRunning = 1;
  m_nStatus = SETUP_STATUS_STARTED;
}

void CRunState::ApplyStatus(int64_t code, int64_t lParam) {
  m_nStatus = static_cast<int32_t>(code);
  if (m_nStatus != SETUP_STATUS_PROGRESS) return;
  // A percentage outside 0..100 would otherwise map onto other status codes (110 onto 41).
  m_nPercent = lParam < 0 ? 0 : lParam > 100 ? 100 : static_cast<int32_t>(lParam);
}

int16_t CRunState::Report(bool processEnded) {
  if (m_bRunning != 0 && processEnded) {
    m_bRunning = 0;
    return SETUP_STATUS_PROCESS_ENDED;
  }
  if (m_nStatus == SETUP_STATUS_PROGRESS) {
    const int32_t tenths = m_nPercent / 10;
    return static_cast<int16_t>(SETUP_STATUS_PROGRESS + (tenths == 10 ? 9 : tenths));
  }
  return static_cast<int16_t>(m_nStatus);
}
