// One run at a time changes the computer: the setup manager holds this machine-wide lock in
// update and in uninstall mode, from before it reads what to change until the process ends, so
// that two runs never move, undo or record the same files at once.
#pragma once

#include <windows.h>

#include "WinHandles.h"

class CRunLock {
 public:
  CRunLock() = default;
  ~CRunLock() { Release(); }
  CRunLock(const CRunLock&) = delete;
  CRunLock& operator=(const CRunLock&) = delete;

  // Waits until this thread holds the lock, dispatching the thread's messages meanwhile, or
  // until `stopEvent` (may be null) is signalled or the thread is asked to quit. True when the
  // lock is held, also when the previous holder ended without releasing it. A lock that cannot
  // be created at all is logged and counts as held.
  bool Acquire(HANDLE stopEvent);
  // Lets the next run go; only the thread that acquired the lock may release it.
  void Release();

 private:
  CScopedHandle m_hMutex;
  bool m_bHeld = false;
};
