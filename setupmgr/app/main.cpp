// Entry point of the setup manager.
#include <windows.h>
#include <commctrl.h>

#include "MainFrame.h"
#include "SetupProtocol.h"
#include "WinHandles.h"

namespace {

// Libraries load from the system folder only, so that no DLL planted beside the program or in
// the current folder is picked up. Older systems lack the call; the current folder still leaves
// the search path there.
void RestrictLibrarySearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
  const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  if (auto setDirectory = GetProcAddressAs<SetDllDirectoryFn>(kernel, "SetDllDirectoryA")) {
    setDirectory("");
  }
  if (auto setDefault = GetProcAddressAs<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories")) {
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    setDefault(kSearchSystem32);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictLibrarySearch();

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);

  // The exit code carries the run's outcome (CMainFrame::ExitCode); a user the rights check
  // refused gets no run at all.
  CMainFrame frame;
  if (!frame.Create()) return SETUP_STATUS_FAILED;

  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (frame.PreTranslateMessage(&msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return frame.ExitCode();
}
