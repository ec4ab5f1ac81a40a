#include "Pump.h"

namespace {

void DispatchPending() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace

void PumpMessagesFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  do {
    DispatchPending();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (::GetTickCount() - start < ms);
  DispatchPending();
}

bool WaitPumping(HANDLE handle, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    DispatchPending();
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeoutMs) return ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    const DWORD result = ::MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) {
      DispatchPending();
      return true;
    }
  }
}
