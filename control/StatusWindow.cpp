#include "StatusWindow.h"

#include "SetupProtocol.h"

namespace {

const char kClassName[] = "Orbina Setup";

// Returns true for WM_SETUP_CLOSED.
bool Apply(CRunState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETUP_STATUS) {
    state.ApplyStatus(static_cast<int64_t>(wParam), static_cast<int64_t>(lParam));
    return false;
  }
  state.ApplyClosed();
  return true;
}

LRESULT CALLBACK StatusWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_SETUP_STATUS || message == WM_SETUP_CLOSED) {
    if (auto* state = reinterpret_cast<CRunState*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA))) {
      Apply(*state, message, wParam, lParam);
      return 0;
    }
  }
  return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

bool EnsureWindowClass(HINSTANCE module) {
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExA(module, kClassName, &existing)) return true;
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = StatusWindowProc;
  windowClass.hInstance = module;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  // Another thread of the process may have registered it in the meantime.
  return ::RegisterClassExA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HWND CreateStatusWindow(HINSTANCE module, CRunState* state) {
  if (!EnsureWindowClass(module)) return nullptr;
  return ::CreateWindowExA(0, kClassName, "VelSetup", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module, state);
}

void DestroyStatusWindow(HWND window) {
  if (window == nullptr) return;
  ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  // Only the creating thread can destroy it; from any other the window closes itself there.
  if (!::DestroyWindow(window)) ::PostMessageA(window, WM_CLOSE, 0, 0);
}

void CollectQueuedStatus(HWND window, CRunState& state, bool stopAtClosed) {
  // A null window would make PeekMessage take the thread's other messages.
  if (window == nullptr) return;
  MSG msg;
  while (::PeekMessageA(&msg, window, WM_SETUP_STATUS, WM_SETUP_CLOSED, PM_REMOVE)) {
    if (Apply(state, msg.message, msg.wParam, msg.lParam) && stopAtClosed) return;
  }
}
