// Measures an update run with nothing to do: a manifest of 1,000 files (ten items of 100), all
// installed and current, none registered, from the start of VelSetup.exe to its status 100 and to
// its end, beside the start and end of a program that does nothing, in the same Wine session.
// Prints figures; it is no test and checks nothing but that the runs had nothing to do.
//   velsetup_noop_bench.exe [runs]      (inside a harness session: scripts/bench-noop)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "NotifyWindow.h"
#include "Portal.h"
#include "SetupProtocol.h"
#include "SetupRun.h"
#include "TestRegistry.h"
#include "WinHandles.h"

namespace {

constexpr int kItems = 10;
constexpr int kFilesPerItem = 100;
constexpr char kServed[] = "orbina/velsetup/bench/";
constexpr DWORD kLimitMs = 600000;

double Now() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

CScopedHandle Start(const std::string& program, const std::string& arguments) {
  std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created = {};
  if (!::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &created)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", program.c_str(), ::GetLastError());
    std::exit(1);
  }
  ::CloseHandle(created.hThread);
  return CScopedHandle(created.hProcess);
}

bool Received(const CNotifyWindowStandIn& control, WPARAM status) {
  for (const ReceivedNotification& received : control.Received()) {
    if (received.message == WM_SETUP_STATUS && received.wParam == status) return true;
  }
  return false;
}

struct Figures {
  std::vector<double> ms;
  void Print(const char* what) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.1f ms   min %7.1f ms   max %7.1f ms   (%zu runs)\n", what, ms[ms.size() / 2],
                ms.front(), ms.back(), ms.size());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  if (!portal::Available()) {
    std::fprintf(stderr, "run inside a harness session (scripts/bench-noop)\n");
    return 2;
  }
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const std::string root = std::string(temp) + "velsetup-bench";
  const std::string dest = root + "\\Dest";
  RemoveTree(root);
  ::CreateDirectoryA(root.c_str(), nullptr);
  ::CreateDirectoryA(dest.c_str(), nullptr);
  CSavedRegistryValue home(HKEY_CURRENT_USER, "SOFTWARE\\Orbina.Com\\KOREAN", "Home");
  home.SetText(root);

  const std::string bytes(64, 'x');
  std::string manifest = "<UPDATELIST>";
  for (int item = 0; item < kItems; ++item) {
    manifest += "<UPDATEITEM NAME='Item" + std::to_string(item) + "'><MODE NAME='velsetup'/>";
    for (int file = 0; file < kFilesPerItem; ++file) {
      const std::string name = "f" + std::to_string(item * kFilesPerItem + file) + ".dll";
      WriteFileBytes(dest + "\\" + name, bytes);
      manifest += "<FILE NAME='" + name + "'><SOURCE>http://update.orbina.com/" + kServed + name +
                  "</SOURCE><DEST>" + dest + "</DEST><FILESIZE>64</FILESIZE></FILE>";
    }
    manifest += "</UPDATEITEM>";
  }
  manifest += "</UPDATELIST>";
  portal::Put(std::string(kServed) + "list.xml", manifest);

  const std::string bin = TestBinaryFolder();
  const std::string param = "\"<PARAM><SOURCE>http://update.orbina.com/" + std::string(kServed) +
                            "list.xml</SOURCE><MODE>velsetup</MODE></PARAM>\"";
  Figures nothing, toStatus, toEnd;
  bool allNoOp = true;
  for (int i = 0; i <= runs; ++i) {  // the first round warms the caches and is not counted
    double start = Now();
    const CScopedHandle idle = Start(bin + "\\velsetup_do_nothing.exe", "");
    ::WaitForSingleObject(idle.Get(), kLimitMs);
    const double idleMs = Now() - start;

    CNotifyWindowStandIn control;
    start = Now();
    const CScopedHandle setup =
        Start(bin + "\\VelSetup.exe", "-x " + param + " -w " + control.HandleArgument());
    double statusMs = -1;
    while (::WaitForSingleObject(setup.Get(), 0) == WAIT_TIMEOUT && Now() - start < kLimitMs) {
      Pump();
      if (statusMs < 0 && Received(control, SETUP_STATUS_SUCCEEDED)) statusMs = Now() - start;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    const double endMs = Now() - start;
    Pump();
    if (statusMs < 0 && Received(control, SETUP_STATUS_SUCCEEDED)) statusMs = endMs;
    if (statusMs < 0 || Received(control, SETUP_STATUS_PROGRESS)) allNoOp = false;
    if (i == 0) continue;
    nothing.ms.push_back(idleMs);
    toStatus.ms.push_back(statusMs);
    toEnd.ms.push_back(endMs);
  }

  std::printf("No-op update run: %d items, %d current files, no REGISTER\n", kItems, kItems * kFilesPerItem);
  nothing.Print("program that does nothing: start to end");
  toStatus.Print("VelSetup.exe: start to status 100");
  toEnd.Print("VelSetup.exe: start to end");
  if (!allNoOp) std::printf("warning: a run downloaded something or did not end with 100\n");
  RemoveTree(root);
  DeleteUninstallRecords();
  return allNoOp ? 0 : 1;
}
