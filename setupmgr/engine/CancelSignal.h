// The cancel of an update run: a manual-reset event for whatever waits on it (the run lock, other
// threads), and beside it a flag that the download worker reads after every block without a
// call into the system. Set by the dialog's Cancel, never reset.
#pragma once

#include <windows.h>

#include <atomic>

#include "WinHandles.h"

class CCancelSignal {
 public:
  // Creates the event, unsignalled; false when it cannot be created.
  bool Create() {
    m_event.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return static_cast<bool>(m_event);
  }
  // The flag first: whoever sees the event signalled sees the flag set too.
  void Set() {
    m_flag.store(true, std::memory_order_release);
    if (m_event) ::SetEvent(m_event.Get());
  }
  bool IsSet() const { return m_flag.load(std::memory_order_acquire); }
  HANDLE Event() const { return m_event.Get(); }
  void CloseEvent() { m_event.Reset(); }

 private:
  std::atomic<bool> m_flag{false};
  CScopedHandle m_event;
};
