#include "RunLock.h"

#include "SetupLog.h"

namespace {

MutexCreateFunction g_createMutex = ::CreateMutexA;

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

// Only SYSTEM and Administrators may open the lock: no other account can hold it, nor make it
// one that no run can open.
class CLockSecurity {
 public:
  CLockSecurity() {
    BYTE system[SECURITY_MAX_SID_SIZE];
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof system;
    DWORD administratorsSize = sizeof administrators;
    const PACL list = reinterpret_cast<PACL>(m_list);
    m_bValid =
        ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize) &&
        ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize) &&
        ::InitializeAcl(list, sizeof m_list, ACL_REVISION) &&
        ::AddAccessAllowedAce(list, ACL_REVISION, MUTEX_ALL_ACCESS, system) &&
        ::AddAccessAllowedAce(list, ACL_REVISION, MUTEX_ALL_ACCESS, administrators) &&
        ::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        ::SetSecurityDescriptorDacl(&m_descriptor, TRUE, list, FALSE);
    m_attributes.nLength = sizeof m_attributes;
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
  }
  LPSECURITY_ATTRIBUTES Attributes() { return m_bValid ? &m_attributes : nullptr; }

 private:
  DWORD m_list[64] = {};
  SECURITY_DESCRIPTOR m_descriptor = {};
  SECURITY_ATTRIBUTES m_attributes = {};
  bool m_bValid = false;
};

}  // namespace

void SetRunLockCreateForTesting(MutexCreateFunction function) {
  g_createMutex = function != nullptr ? function : ::CreateMutexA;
}

ERunLock CRunLock::TryAcquire() { return Wait(nullptr, 0); }

ERunLock CRunLock::Acquire(HANDLE stopEvent) { return Wait(stopEvent, INFINITE); }

ERunLock CRunLock::Wait(HANDLE stopEvent, DWORD timeout) {
  if (m_bHeld) return ERunLock::kHeld;
  if (!m_hMutex) {
    CLockSecurity security;
    if (security.Attributes() == nullptr) {
      LogWrite(1, "[RunLock] Access list cannot be built, Error Code = %d",
               static_cast<int>(::GetLastError()));
      return ERunLock::kFailed;
    }
    m_hMutex.Reset(g_createMutex(security.Attributes(), FALSE, kRunLockName));
    const DWORD error = ::GetLastError();
    if (!m_hMutex &&
        (error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_PATHNAME || error == ERROR_INVALID_NAME))
      m_hMutex.Reset(g_createMutex(security.Attributes(), FALSE, kRunLockName + 7));
    if (!m_hMutex) {
      LogWrite(1, "[RunLock] CreateMutex Failed, Error Code = %d", static_cast<int>(::GetLastError()));
      return ERunLock::kFailed;
    }
  }
  const HANDLE handles[2] = {m_hMutex.Get(), stopEvent};
  const DWORD count = stopEvent != nullptr ? 2 : 1;
  DWORD result = ::WaitForMultipleObjects(count, handles, FALSE, 0);
  if (result == WAIT_TIMEOUT && timeout == 0) return ERunLock::kBusy;
  if (result == WAIT_TIMEOUT) {
    LogWrite(2, "[RunLock] Waiting for another setup run to end");
    for (;;) {
      result = ::MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
      if (result != WAIT_OBJECT_0 + count) break;
      if (!DispatchWaitingMessages()) return ERunLock::kStopped;
    }
  }
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED_0) return ERunLock::kStopped;
  if (result == WAIT_ABANDONED_0) LogWrite(1, "[RunLock] The previous setup run ended without finishing");
  m_bHeld = true;
  return ERunLock::kHeld;
}

void CRunLock::Release() {
  if (m_bHeld) ::ReleaseMutex(m_hMutex.Get());
  m_bHeld = false;
}
