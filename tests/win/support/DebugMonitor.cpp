#include "DebugMonitor.h"

namespace {

// The system's debug buffer: the sender's process id, then its text, zero-terminated.
constexpr DWORD kBufferSize = 4096;

}  // namespace

CDebugMonitor::CDebugMonitor() {
  m_buffer.Reset(
      ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER"));
  // Another listener already owns the buffer: two would take each other's texts.
  if (!m_buffer || ::GetLastError() == ERROR_ALREADY_EXISTS) return;
  m_bufferReady.Reset(::CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY"));
  m_dataReady.Reset(::CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY"));
  m_stop.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  m_view = static_cast<const char*>(::MapViewOfFile(m_buffer.Get(), FILE_MAP_READ, 0, 0, kBufferSize));
  if (m_bufferReady && m_dataReady && m_stop && m_view != nullptr)
    m_thread = std::thread(&CDebugMonitor::Run, this);
}

CDebugMonitor::~CDebugMonitor() {
  if (m_thread.joinable()) {
    ::SetEvent(m_stop.Get());
    m_thread.join();
  }
  if (m_view != nullptr) ::UnmapViewOfFile(m_view);
}

std::string CDebugMonitor::OutputOf(DWORD pid) {
  const std::lock_guard<std::mutex> hold(m_lock);
  return m_output[pid];
}

void CDebugMonitor::Run() {
  const HANDLE wake[] = {m_dataReady.Get(), m_stop.Get()};
  for (::SetEvent(m_bufferReady.Get()); ::WaitForMultipleObjects(2, wake, FALSE, INFINITE) == WAIT_OBJECT_0;
       ::SetEvent(m_bufferReady.Get())) {
    DWORD pid = 0;
    ::CopyMemory(&pid, m_view, sizeof pid);
    const char* text = m_view + sizeof pid;
    const std::lock_guard<std::mutex> hold(m_lock);
    m_output[pid].append(text, strnlen(text, kBufferSize - sizeof pid));
  }
}
