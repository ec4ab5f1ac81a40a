// Runs VelSetup.exe the way the control does and reports on the console what a person and the
// control would see: the status messages, and every message box, answered with OK (or No, so
// that no restart is ever requested).
//   velsetup_run.exe <VelSetup.exe> [arguments...]      ("-w <handle>" is appended)
//   velsetup_run.exe --page [--shot <file.bmp>] <program> [arguments...]
// With --page the command (a page's script under the Script Host) drives the control, which
// starts VelSetup.exe itself; the runner answers the message boxes of every VelSetup.exe and,
// with --shot, keeps a screenshot of the first progress window it sees.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>
#include <string>

#include "LaunchCommandLine.h"
#include "NotifyWindow.h"
#include "Pump.h"
#include "Screenshot.h"
#include "SetupRun.h"
#include "SetupProtocol.h"
#include "UiRobot.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

void Print(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], size, nullptr,
                        nullptr);
  utf8 += "\n";
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

void PrintNewNotifications(const CNotifyWindowStandIn& control, size_t& printed) {
  for (; printed < control.Received().size(); ++printed) {
    const ReceivedNotification& received = control.Received()[printed];
    Print(received.message == WM_SETUP_CLOSED ? L"closed"
                                              : L"status " + std::to_wstring(received.wParam) + L" (" +
                                                    std::to_wstring(received.lParam) + L")");
  }
}

// Answers the message box that `pid` shows, once.
void AnswerMessageBox(DWORD pid, std::set<HWND>& answered) {
  const HWND dialog = robot::FindShownDialog(pid);
  if (dialog == nullptr || answered.count(dialog) != 0) return;
  const robot::ShownDialog shown = robot::Describe(dialog);
  if (shown.text.empty()) return;  // the progress window or the uninstall list, not a message box
  answered.insert(dialog);
  const int button = ::GetDlgItem(dialog, IDNO) != nullptr ? IDNO : IDOK;
  Print(L"message box [" + shown.title + L"]: " + shown.text + (button == IDNO ? L" -> No" : L" -> OK"));
  robot::PressButton(dialog, button);
}

std::string CommandLine(int argc, char** argv, int first) {
  std::string commandLine;
  for (int i = first; i < argc; ++i) {
    if (i > first) commandLine += ' ';
    AppendQuotedArgument(commandLine, argv[i]);
  }
  return commandLine;
}

int RunPage(std::string commandLine, const char* shotPath) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", commandLine.c_str(), ::GetLastError());
    return 1;
  }
  ::CloseHandle(process.hThread);
  const CScopedHandle child(process.hProcess);
  std::set<HWND> answered;
  HWND progress = nullptr;
  int shownFor = 0;
  while (::WaitForSingleObject(child.Get(), 100) == WAIT_TIMEOUT) {
    for (DWORD pid : SetupManagerPids()) {
      AnswerMessageBox(pid, answered);
      const HWND dialog = robot::FindShownDialog(pid);
      if (shotPath == nullptr || dialog == nullptr || ::GetDlgItem(dialog, IDC_PROGRESS) == nullptr) continue;
      // Kept once the window has shown for a moment, painted and with some progress.
      shownFor = dialog == progress ? shownFor + 1 : 0;
      progress = dialog;
      if (shownFor == 5 && SaveWindowImage(dialog, shotPath)) {
        Print(L"screenshot of the progress window: " + Widen(shotPath));
        shotPath = nullptr;
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: velsetup_run <VelSetup.exe> [arguments...] | --page <command line>\n");
    return 2;
  }
  if (std::strcmp(argv[1], "--page") == 0) {
    const bool shot = argc > 3 && std::strcmp(argv[2], "--shot") == 0;
    const int program = shot ? 4 : 2;
    return argc > program ? RunPage(CommandLine(argc, argv, program), shot ? argv[3] : nullptr) : 2;
  }
  CNotifyWindowStandIn control;
  // Arguments are passed on as the shell split them.
  std::string commandLine = CommandLine(argc, argv, 1) + " -w " + control.HandleArgument();

  DWORD pid = 0;
  const CScopedHandle child = StartProcess(commandLine, argv[1], nullptr, &pid);
  if (!child) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", argv[1], ::GetLastError());
    return 1;
  }
  Print(L"started: " + Widen(commandLine));

  size_t printed = 0;
  std::set<HWND> answered;
  while (!WaitPumping(child.Get(), 100)) {
    PrintNewNotifications(control, printed);
    AnswerMessageBox(pid, answered);
  }
  PumpMessagesFor(100);
  PrintNewNotifications(control, printed);
  Print(L"ended");
  return 0;
}
