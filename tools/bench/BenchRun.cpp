#include "BenchRun.h"

#include <windows.h>

#include <psapi.h>

#include "BenchSupport.h"
#include "SetupProtocol.h"
#include "WinHandles.h"

namespace {

size_t PeakOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return ::GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

struct CStatusWindow {
  int lastStatus = 0;
  double lastAt = 0;
  bool final = false;
  double finalAt = 0;
  size_t finalPeak = 0;  // read while the process still runs: an ended one may have no figures
  double manifestAt = 0, listAt = 0, installAt = 0;
  const CStopwatch* clock = nullptr;
  HANDLE process = nullptr;
};

LRESULT CALLBACK StatusProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<CStatusWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_SETUP_STATUS && state != nullptr) {
    state->lastStatus = static_cast<int>(wParam);
    state->lastAt = state->clock->Milliseconds();
    if (wParam == SETUP_STATUS_GET_MANIFEST) state->manifestAt = state->lastAt;
    if (wParam == SETUP_STATUS_BUILD_LIST) state->listAt = state->lastAt;
    if (wParam == SETUP_STATUS_INSTALLING) state->installAt = state->lastAt;
    const bool final = wParam == SETUP_STATUS_SUCCEEDED || wParam == SETUP_STATUS_FAILED ||
                       wParam == SETUP_STATUS_REBOOT_DECLINED || wParam == SETUP_STATUS_REBOOT_ACCEPTED;
    if (final && !state->final) {
      state->final = true;
      state->finalAt = state->clock->Milliseconds();
      state->finalPeak = PeakOf(state->process);
    }
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

bool Start(const std::string& exe, const std::string& commandLine, CScopedHandle& process) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION information = {};
  std::string line = commandLine;
  if (!::CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &information)) {
    return false;
  }
  ::CloseHandle(information.hThread);
  process.Reset(information.hProcess);
  return true;
}

}  // namespace

CRunFigures TimeSetupRun(const std::string& exe, const std::string& param, unsigned stallMs) {
  CRunFigures figures;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = StatusProcedure;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "VelSetupBenchStatus";
  ::RegisterClassA(&windowClass);
  const HWND window = ::CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return figures;
  CStatusWindow state;
  ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));

  const std::string commandLine = "\"" + exe + "\" -x \"" + param + "\" -w " +
                                  std::to_string(static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window)));
  CStopwatch clock;
  state.clock = &clock;
  CScopedHandle process;
  if (Start(exe, commandLine, process)) {
    state.process = process.Get();
    // The status messages are posted: they arrive while this thread pumps.
    const HANDLE handles[] = {process.Get()};
    for (;;) {
      const DWORD waited = ::MsgWaitForMultipleObjects(1, handles, FALSE, 50, QS_ALLINPUT);
      MSG message;
      while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
      if (waited == WAIT_OBJECT_0) break;
      if (clock.Milliseconds() - state.lastAt > stallMs ||
          (state.final && state.lastStatus != SETUP_STATUS_SUCCEEDED)) {
        // A failed run waits for its message box to be answered.
        figures.timedOut = !state.final;
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), INFINITE);
        break;
      }
    }
    const size_t peak = PeakOf(process.Get());
    figures.peakWorkingSet = peak > state.finalPeak ? peak : state.finalPeak;
  }
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
  figures.lastStatus = state.lastStatus;
  figures.manifestAt = state.manifestAt;
  figures.listAt = state.listAt;
  figures.installAt = state.installAt;
  figures.milliseconds = state.final ? state.finalAt : clock.Milliseconds();
  ::DestroyWindow(window);
  return figures;
}

CRunFigures TimeProcessStart(const std::string& exe, const std::string& arguments) {
  CRunFigures figures;
  CStopwatch clock;
  CScopedHandle process;
  if (!Start(exe, "\"" + exe + "\" " + arguments, process)) return figures;
  ::WaitForSingleObject(process.Get(), INFINITE);
  figures.milliseconds = clock.Milliseconds();
  figures.peakWorkingSet = PeakOf(process.Get());
  return figures;
}
