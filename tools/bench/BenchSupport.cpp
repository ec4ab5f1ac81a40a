#include "BenchSupport.h"

#include <psapi.h>

#include "AppMessages.h"

CStopwatch::CStopwatch() {
  ::QueryPerformanceFrequency(&m_frequency);
  ::QueryPerformanceCounter(&m_start);
}

double CStopwatch::Milliseconds() const {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - m_start.QuadPart) * 1000.0 /
         static_cast<double>(m_frequency.QuadPart);
}

size_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)
             ? counters.PeakWorkingSetSize
             : 0;
}

CProgressWindow::CProgressWindow() : m_ready(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  m_cancel.Create();
  m_thread.Reset(::CreateThread(nullptr, 0, Pump, this, 0, nullptr));
  if (m_thread) ::WaitForSingleObject(m_ready.Get(), INFINITE);
}

CProgressWindow::~CProgressWindow() {
  if (m_window != nullptr) ::PostMessageA(m_window, WM_CLOSE, 0, 0);
  if (m_thread) ::WaitForSingleObject(m_thread.Get(), INFINITE);
}

DWORD WINAPI CProgressWindow::Pump(void* self) {
  CProgressWindow* const owner = static_cast<CProgressWindow*>(self);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "VelSetupBenchProgress";
  ::RegisterClassA(&windowClass);
  owner->m_window = ::CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      windowClass.hInstance, nullptr);
  if (owner->m_window != nullptr)
    ::SetWindowLongPtrA(owner->m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  ::SetEvent(owner->m_ready.Get());
  MSG message;
  while (owner->m_window != nullptr && ::GetMessageA(&message, nullptr, 0, 0) > 0)
    ::DispatchMessageA(&message);
  return 0;
}

LRESULT CALLBACK CProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* owner = reinterpret_cast<CProgressWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_CLOSE) {
    ::DestroyWindow(window);
    ::PostQuitMessage(0);
    return 0;
  }
  if (message >= WM_USER && owner != nullptr) {
    ::InterlockedIncrement(&owner->m_received);
    return message == WM_EXTRACT_PROGRESS && owner->m_cancel.IsSet() ? -1 : 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}
