#include "MainFrame.h"

#include <cstdlib>

#include "AppMessages.h"
#include "CommandLine.h"
#include "MainFrameRef.h"
#include "MessageBox.h"
#include "Rights.h"
#include "SetupLog.h"
#include "SetupProtocol.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr char kFrameClass[] = "VelMgrMainFrame";
constexpr char kLogLevelKey[] = "Software\\Orbina.Com\\Korean\\";
constexpr char kLogLevelValue[] = "VelSetUpLog";
constexpr unsigned char kDefaultLogLevel = 2;

HWND g_hMainFrame = nullptr;
bool g_bCloseRequested = false;

// Only the low 8 bits of the value count; its registry type is not looked at.
unsigned char ReadLogLevel() {
  CScopedRegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLogLevelKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
    return kDefaultLogLevel;
  }
  DWORD value = 0;
  DWORD size = sizeof value;
  if (::RegQueryValueExA(key.Get(), kLogLevelValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS) {
    return kDefaultLogLevel;
  }
  return static_cast<unsigned char>(value & 0xFF);
}

// The work area's centre, not the hidden zero-size frame, is the reference.
void CenterOnWorkArea(HWND hWnd) {
  RECT workArea;
  RECT window;
  if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0) || !::GetWindowRect(hWnd, &window)) return;
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  ::SetWindowPos(hWnd, nullptr, workArea.left + (workArea.right - workArea.left - width) / 2,
                 workArea.top + (workArea.bottom - workArea.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

HWND GetMainFrameWindow() { return g_hMainFrame; }
void SetMainFrameWindow(HWND frame) { g_hMainFrame = frame; }

void CloseMainFrame() {
  g_bCloseRequested = true;
  ::PostMessageA(g_hMainFrame, WM_CLOSE, 0, 0);
}

bool IsCloseRequestedByProgram() { return g_bCloseRequested; }

bool CMainFrame::Create() {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kFrameClass;
  ::RegisterClassA(&windowClass);

  const std::string title = LoadResourceString(IDS_APP_TITLE);
  ::CreateWindowExA(0, kFrameClass, title.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
  if (m_hWnd == nullptr) return false;
  ::UpdateWindow(m_hWnd);
  return true;
}

bool CMainFrame::PreTranslateMessage(MSG* msg) {
  for (const HWND dialog : {m_dlgDownload.GetSafeHwnd(), m_dlgUninstall.GetSafeHwnd()}) {
    if (dialog != nullptr && ::IsDialogMessageA(dialog, msg)) return true;
  }
  return false;
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<CMainFrame*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->m_hWnd = hWnd;
  }
  auto* self = reinterpret_cast<CMainFrame*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcA(hWnd, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_APP_START:
      OnAppStart();
      return 0;
    case WM_CLOSE:
      // The process must not end under the download worker or halfway through the installation.
      if (!IsCloseRequestedByProgram() && !m_bUninstall && m_dlgDownload.GetSafeHwnd() != nullptr) {
        m_dlgDownload.OnCloseRequest();
        return 0;
      }
      break;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
      m_hWnd = nullptr;
      SetMainFrameWindow(nullptr);
      break;
    default:
      break;
  }
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

bool CMainFrame::OnCreate() {
  const HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

  LogInit(LOG_FLAG_DEBUGGER, ReadLogLevel());
  SetMainFrameWindow(m_hWnd);

  if (!IsAdminOrPowerUser()) {
    ShowResourceMessage(nullptr, IDS_NOT_ADMINISTRATOR, MB_OK);
    return false;
  }
  ::PostMessageA(m_hWnd, WM_APP_START, 0, 0);
  return true;
}

void CMainFrame::OnAppStart() {
  if (ParseCommandLine() == 0) {
    ShowResourceMessage(nullptr, IDS_ABNORMAL_START, MB_OK);
    CloseMainFrame();
    return;
  }

  if (m_bUninstall) {
    ::ShowWindow(m_hWnd, SW_SHOW);
    if (m_dlgUninstall.GetSafeHwnd() != nullptr) ::DestroyWindow(m_dlgUninstall.GetSafeHwnd());
    if (!m_dlgUninstall.Create(m_hWnd)) {
      CloseMainFrame();
      return;
    }
    m_bModeStarted = true;
    ::PostMessageA(m_dlgUninstall.GetSafeHwnd(), WM_DIALOG_START, 0, 0);
    return;
  }

  m_bModeStarted = true;
  m_dlgDownload.Notify(SETUP_STATUS_STARTED, reinterpret_cast<LPARAM>(m_hWnd));
  if (m_dlgDownload.GetSafeHwnd() != nullptr) ::DestroyWindow(m_dlgDownload.GetSafeHwnd());
  if (!m_dlgDownload.Create(m_hWnd)) {
    m_dlgDownload.Notify(SETUP_STATUS_NO_DIALOG, 0);
    CloseMainFrame();
    return;
  }
  CenterOnWorkArea(m_dlgDownload.GetSafeHwnd());
  ::PostMessageA(m_dlgDownload.GetSafeHwnd(), WM_DIALOG_START, 0, 0);
}

int CMainFrame::ExitCode() const {
  if (!m_bModeStarted) return SETUP_STATUS_FAILED;
  return m_bUninstall ? 0 : RunExitCode(m_dlgDownload.LastStatus());
}

int CMainFrame::ParseCommandLine() {
  CCommandLineFlags flags;
  const int result = ::ParseCommandLine(__argc, __argv, m_dlgDownload, flags);
  m_bUninstall = flags.m_bUninstall;
  // A 32-bit handle value widens with its sign, as the system does between 32 and 64 bits.
  m_dlgDownload.SetNotifyWindow(
      reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<int32_t>(flags.m_nNotifyWindow))));
  return result;
}
