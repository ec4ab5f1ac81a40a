#include "NotifyWindow.h"

#include "SetupProtocol.h"

namespace {
constexpr wchar_t kClassName[] = L"VelSetupTestNotifyWindow";
}

CNotifyWindowStandIn::CNotifyWindowStandIn() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClassName;
  ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
  m_hWnd = ::CreateWindowExW(0, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), this);
}

CNotifyWindowStandIn::~CNotifyWindowStandIn() {
  if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
}

std::string CNotifyWindowStandIn::HandleArgument() const {
  return std::to_string(static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hWnd)));
}

std::vector<std::string> CNotifyWindowStandIn::Sequence() const {
  std::vector<std::string> sequence;
  for (const ReceivedNotification& received : m_received) {
    sequence.push_back(received.message == WM_SETUP_CLOSED ? "closed" : std::to_string(received.wParam));
  }
  return sequence;
}

LRESULT CALLBACK CNotifyWindowStandIn::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<CNotifyWindowStandIn*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  if (self != nullptr && (message == WM_SETUP_STATUS || message == WM_SETUP_CLOSED)) {
    DWORD pid = 0;
    const HWND asWindow = reinterpret_cast<HWND>(lParam);
    if (lParam != 0 && ::IsWindow(asWindow)) ::GetWindowThreadProcessId(asWindow, &pid);
    self->m_received.push_back({message, wParam, lParam, pid});
    return 0;
  }
  return ::DefWindowProcW(hWnd, message, wParam, lParam);
}
