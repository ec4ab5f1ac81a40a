// What every measurement of velsetup_bench shares: a clock, the process's peak working set, and
// a progress window on a thread of its own that stands in for the download dialog.
#pragma once

#include <windows.h>

#include <string>

#include "CancelSignal.h"
#include "WinHandles.h"

// Milliseconds since construction.
class CStopwatch {
 public:
  CStopwatch();
  double Milliseconds() const;

 private:
  LARGE_INTEGER m_start;
  LARGE_INTEGER m_frequency;
};

// The peak working set of this process so far, in bytes.
size_t PeakWorkingSet();

// A message-only window pumped by a thread of its own, as the dialog is by the user-interface
// thread while the worker downloads and extracts, with the run's cancel: posted messages are
// taken off the queue, an extraction's report is answered as the dialog answers it (-1 once
// cancelled) and other sent ones 0.
class CProgressWindow {
 public:
  CProgressWindow();
  ~CProgressWindow();
  CProgressWindow(const CProgressWindow&) = delete;
  CProgressWindow& operator=(const CProgressWindow&) = delete;

  HWND Window() const { return m_window; }
  const CCancelSignal* Cancel() const { return &m_cancel; }
  // Messages the window received.
  long Received() const { return m_received; }

 private:
  static DWORD WINAPI Pump(void* self);
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  CCancelSignal m_cancel;
  CScopedHandle m_thread;
  CScopedHandle m_ready;
  HWND m_window = nullptr;
  volatile long m_received = 0;
};

// "Z:\path" for a path of the machine running Wine; other paths as they are.
std::string WindowsPath(const std::string& path);
