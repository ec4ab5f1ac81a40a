// One run at a time changes the computer: the setup manager holds this machine-wide lock in
// update and in uninstall mode, from before it reads what to change until the process ends, so
// that two runs never move, undo or record the same files at once.
#pragma once

#include <windows.h>

#include "WinHandles.h"

// The lock's name, visible to every session of the computer. Systems without session namespaces
// refuse the prefix and take the name after it.
constexpr char kRunLockName[] = "Global\\OrbinaVelSetupRun";

// Creates or opens the named mutex; CreateMutexA unless a test replaced it. nullptr restores it.
using MutexCreateFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES attributes, BOOL owned, LPCSTR name);
void SetRunLockCreateForTesting(MutexCreateFunction function);

enum class ERunLock {
  kHeld,     // this thread holds the lock
  kBusy,     // another run holds it (TryAcquire only)
  kStopped,  // the wait was stopped or the thread asked to quit
  kFailed,   // the lock cannot be created or opened: nothing may run unlocked (logged at level 1)
};

class CRunLock {
 public:
  CRunLock() = default;
  ~CRunLock() { Release(); }
  CRunLock(const CRunLock&) = delete;
  CRunLock& operator=(const CRunLock&) = delete;

  // Takes the lock if it is free at once.
  ERunLock TryAcquire();
  // Waits until this thread holds the lock, dispatching the thread's messages meanwhile, or
  // until `stopEvent` (may be null) is signalled or the thread is asked to quit. The lock counts
  // as held also when the previous holder ended without releasing it.
  ERunLock Acquire(HANDLE stopEvent);
  // Lets the next run go; only the thread that acquired the lock may release it.
  void Release();

 private:
  ERunLock Wait(HANDLE stopEvent, DWORD timeout);

  CScopedHandle m_hMutex;
  bool m_bHeld = false;
};
