#include "RunLock.h"

#include "SetupLog.h"

namespace {

// Visible to every session of the computer; systems without session namespaces refuse the
// prefix and take the plain name.
constexpr char kLockName[] = "Global\\OrbinaVelSetupRun";
constexpr char kPlainLockName[] = "OrbinaVelSetupRun";

// False when the thread was asked to quit; the request is left for its message loop.
bool DispatchWaitingMessages() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return true;
}

}  // namespace

bool CRunLock::Acquire(HANDLE stopEvent) {
  if (m_bHeld) return true;
  if (!m_hMutex) {
    m_hMutex.Reset(::CreateMutexA(nullptr, FALSE, kLockName));
    if (!m_hMutex) m_hMutex.Reset(::CreateMutexA(nullptr, FALSE, kPlainLockName));
    if (!m_hMutex) {
      LogWrite(1, "[RunLock] CreateMutex Failed, Error Code = %d", static_cast<int>(::GetLastError()));
      return true;
    }
  }
  const HANDLE handles[2] = {m_hMutex.Get(), stopEvent};
  const DWORD count = stopEvent != nullptr ? 2 : 1;
  DWORD result = ::WaitForMultipleObjects(count, handles, FALSE, 0);
  if (result == WAIT_TIMEOUT) {
    LogWrite(2, "[RunLock] Waiting for another setup run to end");
    for (;;) {
      result = ::MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
      if (result != WAIT_OBJECT_0 + count) break;
      if (!DispatchWaitingMessages()) return false;
    }
  }
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED_0) return false;
  if (result == WAIT_ABANDONED_0) LogWrite(1, "[RunLock] The previous setup run ended without finishing");
  m_bHeld = true;
  return true;
}

void CRunLock::Release() {
  if (m_bHeld) ::ReleaseMutex(m_hMutex.Get());
  m_bHeld = false;
}
