// Listens to the debugger output of every process, as a debug-output viewer does, and keeps
// each process's texts in the order they came.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "WinHandles.h"

class CDebugMonitor {
 public:
  CDebugMonitor();  // listening when it returns, unless Listening() says otherwise
  ~CDebugMonitor();
  CDebugMonitor(const CDebugMonitor&) = delete;
  CDebugMonitor& operator=(const CDebugMonitor&) = delete;

  bool Listening() const { return m_thread.joinable(); }
  // Everything process `pid` has sent so far, joined.
  std::string OutputOf(DWORD pid);

 private:
  void Run();
  CScopedHandle m_buffer, m_bufferReady, m_dataReady, m_stop;
  const char* m_view = nullptr;
  std::mutex m_lock;
  std::map<DWORD, std::string> m_output;
  std::thread m_thread;
};
